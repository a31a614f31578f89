// The address of an entry's status page, which the entry record itself cannot build because
// it lives in the rules file.
#pragma once

#include <string>

namespace larkspire {

class CRun;
class CEntry;

// The Open Data Portal serves no pages a reader can open; its applications are shown by the
// patent office's Patent Center, at this address + "applications/" + the eight digits.
inline constexpr const char* kPatentCenterAddress = "https://patentcenter.uspto.gov/";

// On the Open Data Portal: the application's page on Patent Center (Patent Center itself for
// an entry not yet read, known only by its patent or publication number). On the site:
// fetch1 page[AppNum] when the entry has an application number, else page[PatNum] when it has a
// patent number, else page[PubNum] with its blanks sent as "%20". The entry is made the
// current entry for the lookup, so the address's references resolve to it.
std::string StatusPageUrl(CRun& app, const CEntry& entry);

// Makes CEntry::StatusUrl (and so the StatusUrl variable) answer with StatusPageUrl. The
// application must outlive the installation; SetStatusUrlBuilder({}) removes it.
void InstallStatusUrlBuilder(CRun& app);

}  // namespace larkspire
