// The TCP/IP window keeps a bounded tail of the flow log: small enough to redraw quickly, long
// enough to show the last exchanges in full.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkspire {

inline constexpr std::size_t kFlowTextLimit = 20000;
inline constexpr std::size_t kFlowTextKeep = 10000;

// Appends while the whole stays below the limit; past it, keeps the last kFlowTextKeep
// characters of the old text followed by the new text (or only the new text's tail when the
// new text alone is longer than that). Returns whether the old text was cut.
bool AppendFlowText(std::string& text, std::string_view addition);

}  // namespace larkspire
