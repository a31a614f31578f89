// Which status-site pages belong to an entry, whether a fetched page is a failure page, and
// how the entry's fields are read from its pages. Callers open a CExpansionScope on the entry
// around EntryPageUrls and ParseEntryPages so "[AppNum2]" and the like resolve to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "retrieval/Failure.h"
#include "retrieval/StatusUrl.h"

namespace larkspire {

class CRun;
class CEntry;

inline constexpr const char* kNoDataMessage = "No data in the patent office webpage.";
inline constexpr const char* kIncompletePageMessage =
    "The patent office webpage is not complete. You might want to try again.";

// StatusPageUrl, the first status page's address, comes with rules/StatusUrl.h because the
// StatusUrl variable needs it too.

// Whether a page holds a rules text: exact search, then ignoring case. An empty text (a key the
// rules file lacks) is held by every page.
bool PageContains(std::string_view page, std::string_view text);
// The status page, and with an application number also the foreign-priority and continuity
// pages. Always returns "".
std::string EntryPageUrls(CRun& app, const CEntry& entry, std::vector<std::string>& urls);
// Nothing, or the explanation of the rules' validate section for a failure page (some stop a
// whole update run).
CFailure ValidatePage(CRun& app, const std::string& page, bool skip_search_method);
// Fills the working entry from the pages (raw as fetched, and normalised); nothing on success.
CFailure ParseEntryPages(CRun& app, CEntry& entry, const std::vector<std::string>& urls,
                         const std::vector<std::string>& raw_pages,
                         const std::vector<std::string>& normalized_pages);

}  // namespace larkspire
