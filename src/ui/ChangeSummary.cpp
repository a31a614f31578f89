#include "ui/ChangeSummary.h"

#include "entries/EntryList.h"
#include "rules/Dates.h"

namespace larkspire {

std::string FieldListing(const CEntry& entry) {
  std::string text;
  for (int id = 0; id < kFieldCount; ++id) {
    text += kFields[id].column_caption;
    text += ":\t";
    text += entry.GetText(id);
    text += "\r\n";
  }
  return text;
}

std::string BuildChangeSummary(const CEntryList& entries, const LastChanges& changes) {
  std::string text;
  bool first = true;
  for (std::size_t row = 0; row < entries.Size(); ++row) {
    if (!entries.IsSelected(row)) continue;
    if (!first) text += "\r\n---\r\n\r\n";
    first = false;
    if (text.size() > kChangeSummaryLimit) {
      text += kChangeSummaryTruncated;
      break;
    }
    const CEntry& entry = entries.At(row);
    text += "Changed within the last week: ";
    text += entry.IsRecentChange() ? "Yes" : "No";
    text += "\r\n";
    if (const CLastChange* change = LastChangeOf(changes, entry)) {
      text += "Last change (" + FormatDayNumber(change->day) + "):\r\n";
      for (const CFieldChange& field : change->fields) {
        const std::string caption = kFields[field.field].column_caption;
        text += caption + " (now):\t" + field.now + "\r\n";
        text += caption + " (was):\t" + field.was + "\r\n";
      }
    }
    text += entry.GetText(kFrequency);
    text += " update needed: ";
    text += entry.IsUpToDate() ? "No" : "Yes";
    text += "\r\n\r\n";
    text += FieldListing(entry);
  }
  return text;
}

}  // namespace larkspire
