// The HTML report's "Upcoming deadlines" section: the open deadlines of the docket, earliest
// first, above the table of entries.
#pragma once

#include <string>

namespace larkspire {

class CDocket;
class CEntryList;

// The section's markup (CR LF line ends, every value escaped, also inside href="..."), or ""
// when no deadline is open, so a report without deadlines keeps its bytes.
std::string UpcomingDeadlinesHtml(const CDocket& docket, const CEntryList& entries);

// Puts the section into the report's header: before its table of entries, or at its end when
// the header has none.
void InsertUpcomingDeadlines(std::string& header_html, const std::string& section);

}  // namespace larkspire
