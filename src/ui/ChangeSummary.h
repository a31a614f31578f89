// The Details window's text: for each selected entry whether it changed lately, what its last
// change changed (when it is kept), whether it is due, and every field with its caption.
#pragma once

#include <cstddef>
#include <string>

#include "entries/LastChanges.h"

namespace larkspire {

class CEntry;
class CEntryList;

inline constexpr std::size_t kChangeSummaryLimit = 25000;
inline constexpr const char* kChangeSummaryTruncated = "truncated...";

// Each field's column caption, ":\t", its display text and CR LF, in field id order.
std::string FieldListing(const CEntry& entry);
// The selected entries in list order, separated by "\r\n---\r\n\r\n"; once the text has passed
// kChangeSummaryLimit before an entry, "truncated..." ends it, so it always stops at an entry
// boundary. An entry whose last change is among the changes shows its fields after the first
// line, each as "caption (now):\tnow" and "caption (was):\twas", as the change mail words it.
std::string BuildChangeSummary(const CEntryList& entries, const LastChanges& changes = {});

}  // namespace larkspire
