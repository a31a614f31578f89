// The pattern language of the rules file and its matcher. A pattern is literal page text with
// bracketed tokens between: "[-]" skips, "[*]" / "[*N...]" capture into slot N with an optional
// modifier, and "[--]" splits a forward head from a tail read backwards. Literals match exactly,
// at their first occurrence, without backtracking. Inside a literal "[[]" is "[" and "[]]" is "]".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

struct CRules;

enum class MatchDirection { kForward, kBackward };

struct CaptureSlot {
  std::string_view text;  // a piece of the page being matched
  std::string modifier;
};
using CaptureSlots = std::array<CaptureSlot, 9>;

// Removes the next literal from the pattern (from its front forwards, from its end backwards)
// with the escapes in it, and returns it with its tags normalised as page text is. Empty when
// the pattern is empty or continues with a token.
std::string NextLiteral(std::string_view& pattern, MatchDirection direction);

// Walks the text literal by literal, filling the slots of the capture tokens met on the way.
// Forward: returns the position just after the last literal matched. Backward: literals are
// taken from the pattern's end and found at their last occurrence before the current right
// edge; returns the start of the last literal matched. Nothing when a literal is missing.
std::optional<std::size_t> MatchPattern(std::string_view text, std::string_view pattern,
                                        CaptureSlots& slots, MatchDirection direction);

// The value a pattern describes in a normalised page: the nine slots, each rewritten by its
// modifier, joined in slot order. "" when the pattern does not match.
std::string ExtractValue(std::string_view page, std::string_view pattern);

// ExtractValue with the pattern of section/key, the value cleaned to display text (unless
// raw), an unknown date emptied, and the section's "none" + key rule applied.
std::string ExtractField(const CRules& rules, std::string_view page, std::string_view section,
                         std::string_view key, bool raw = false);

}  // namespace larkspire
