#include "notify/DeadlineReport.h"

#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "notify/EntriesByKey.h"
#include "platform/Markup.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

// HTML 4 has no "&apos;", as the templates' values are escaped.
std::string Html(std::string_view text) { return EncodeEntities(text, "&#39;"); }

void AppendCell(std::string& out, const std::string& markup) {
  out += "    <td>";
  out += markup;
  out += "</td>\r\n";
}

std::string DueCell(const CDeadline& deadline) {
  std::string cell = "<nobr>" + FormatDayNumber(deadline.due) + "</nobr>";
  if (deadline.due != deadline.computed_due) {
    cell += "<br>(computed " + FormatDayNumber(deadline.computed_due) + ")";
  }
  return cell;
}

std::string NumberCell(const CDeadline& deadline, const CEntry* entry) {
  if (entry == nullptr) return Html(deadline.entry_key);
  const std::string& number =
      entry->Text(kAppNum).empty() ? deadline.entry_key : entry->Text(kAppNum);
  const std::string url = entry->StatusUrl();
  if (url.empty()) return Html(number);
  return "<a href=\"" + Html(url) + "\">" + Html(number) + "</a>";
}

std::string OpenedCell(const CDeadline& deadline) {
  const std::string date = "<nobr>" + FormatDayNumber(deadline.opened_on) + "</nobr>";
  if (deadline.opening_event.empty()) return date;
  return Html(deadline.opening_event) + "<br>" + date;
}

}  // namespace

std::string UpcomingDeadlinesHtml(const CDocket& docket, const CEntryList& entries) {
  const std::vector<const CDeadline*> open = docket.OpenEarliestFirst();
  if (open.empty()) return {};
  const CEntriesByKey by_key(entries);

  std::string out =
      "<h3>Upcoming deadlines</h3>\r\n"
      "\r\n"
      "<table border=\"1\" width=\"100%\">\r\n"
      "  <tr>\r\n"
      "    <th>Due</th>\r\n"
      "    <th>Reference</th>\r\n"
      "    <th>App #</th>\r\n"
      "    <th>What Is Due</th>\r\n"
      "    <th>Opened By</th>\r\n"
      "    <th>Last Date with Extensions</th>\r\n"
      "  </tr>\r\n";
  for (const CDeadline* deadline : open) {
    const CEntry* entry = by_key.Find(deadline->entry_key);
    out += "  <tr>\r\n";
    AppendCell(out, DueCell(*deadline));
    AppendCell(out, Html(entry != nullptr ? entry->Text(kReference) : deadline->reference));
    AppendCell(out, NumberCell(*deadline, entry));
    AppendCell(out, Html(deadline->what));
    AppendCell(out, OpenedCell(*deadline));
    AppendCell(out, deadline->extendable
                        ? "<nobr>" + FormatDayNumber(deadline->last_date) + "</nobr>"
                        : std::string("not extendable"));
    out += "  </tr>\r\n";
  }
  out +=
      "</table>\r\n"
      "\r\n"
      "<p><i>Deadlines are computed from the status events as an aid; the office action itself "
      "governs.</i></p>\r\n"
      "\r\n";
  return out;
}

void InsertUpcomingDeadlines(std::string& header_html, const std::string& section) {
  if (section.empty()) return;
  const std::size_t table = header_html.find("<table");
  header_html.insert(table == std::string::npos ? header_html.size() : table, section);
}

}  // namespace larkspire
