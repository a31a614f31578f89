// Which status-site pages belong to an entry, whether a fetched page is a failure page, and
// how the entry's fields are read from its pages. Callers open a CExpansionScope on the entry
// around EntryPageUrls and ParseEntryPages so "[AppNum2]" and the like resolve to it. The first
// page's address, StatusPageUrl, lives in rules/StatusUrl.h.
#pragma once

#include <string>
#include <vector>

namespace larkspire {

class AppCore;
class CEntry;

inline constexpr const char* kNoDataMessage = "No data in the patent office webpage.";
inline constexpr const char* kIncompletePageMessage =
    "The patent office webpage is not complete. You might want to try again.";

// The status page, and with an application number also the foreign-priority and continuity
// pages. Always returns "".
std::string EntryPageUrls(AppCore& app, const CEntry& entry, std::vector<std::string>& urls);
// "" or the explanation of the rules' validate section for a failure page; explanations that
// begin with "!" stop a whole update run.
std::string ValidatePage(AppCore& app, const std::string& page, bool skip_search_method);
// Fills the working entry from the pages (raw as fetched, and normalised); "" on success.
std::string ParseEntryPages(AppCore& app, CEntry& entry, const std::vector<std::string>& urls,
                            const std::vector<std::string>& raw_pages,
                            const std::vector<std::string>& normalized_pages);

}  // namespace larkspire
