// The Details window's text: for each selected entry whether it changed lately, whether it is
// due, and every field with its caption.
#pragma once

#include <cstddef>
#include <string>

namespace larkspire {

class CEntry;
class CEntryList;

inline constexpr std::size_t kChangeSummaryLimit = 25000;
inline constexpr const char* kChangeSummaryTruncated = "truncated...";

// Each field's column caption, ":\t", its display text and CR LF, in field id order.
std::string FieldListing(const CEntry& entry);
// The selected entries in list order, separated by "\r\n---\r\n\r\n"; once the text has passed
// kChangeSummaryLimit before an entry, "truncated..." ends it, so it always stops at an entry
// boundary.
std::string BuildChangeSummary(const CEntryList& entries);

}  // namespace larkspire
