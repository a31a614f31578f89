#include "rules/Pattern.h"

#include <algorithm>

#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view kSplitMarker = "[--]";

// "[[]" and "[]]" leave their bracket right after the "[" that opened them (forwards) or right
// before the "]" that closed them (backwards); the two characters of the escape that remain
// are dropped together.
bool TakeEscapedBracket(std::string_view& pattern, MatchDirection direction, std::string& out) {
  if (pattern.empty()) return false;
  const char c = direction == MatchDirection::kForward ? pattern.front() : pattern.back();
  if (c != '[' && c != ']') return false;
  out.push_back(c);
  const std::size_t drop = std::min<std::size_t>(2, pattern.size());
  if (direction == MatchDirection::kForward) {
    pattern.remove_prefix(drop);
  } else {
    pattern.remove_suffix(drop);
  }
  return true;
}

// The token after a literal: up to the next "]" forwards, back to the previous "[" backwards;
// the rest of the pattern when there is none.
std::string_view TakeToken(std::string_view& pattern, MatchDirection direction) {
  std::string_view token;
  if (direction == MatchDirection::kForward) {
    const std::size_t close = pattern.find(']');
    token = pattern.substr(0, close);
    pattern = close == npos ? std::string_view() : pattern.substr(close + 1);
  } else {
    const std::size_t open = pattern.rfind('[');
    token = open == npos ? pattern : pattern.substr(open + 1);
    pattern = open == npos ? std::string_view() : pattern.substr(0, open);
  }
  return token;
}

// A capture token stores its modifier in its slot and returns the slot, which receives the
// text up to the next literal; any other token returns nothing.
CaptureSlot* ReadCaptureToken(std::string_view token, CaptureSlots& slots) {
  if (token.empty() || token[0] != '*') return nullptr;
  std::size_t index = 0;
  std::string_view modifier = token.substr(1);
  if (token.size() >= 2 && token[1] >= '1' && token[1] <= '9') {
    index = static_cast<std::size_t>(token[1] - '1');
    modifier = token.substr(2);
  }
  slots[index].modifier.assign(modifier);
  return &slots[index];
}

// A slot's captured text rewritten by its modifier.
std::string ApplyModifier(const CaptureSlot& slot) {
  std::string value(slot.text);
  std::string_view modifier = slot.modifier;
  if (modifier.starts_with('\'')) {
    value.append(modifier.substr(1));
    return value;
  }
  if (!modifier.starts_with('#')) return value;
  while (!modifier.empty()) {
    modifier.remove_prefix(1);  // the "#"
    const std::size_t next = modifier.find('#');
    const std::string_view piece = modifier.substr(0, next);
    modifier = next == npos ? std::string_view() : modifier.substr(next);
    if (piece.empty()) continue;
    if (piece[0] == '\'') {
      value.append(piece.substr(1));
    } else if (piece[0] == '*') {
      value.append(slot.text);
    } else if (const std::size_t equals = piece.find('='); equals == npos) {
      value = ConvertDate(slot.text, piece);
    } else {
      value = ReplaceAll(value, NormalizeTags(piece.substr(0, equals)), piece.substr(equals + 1));
    }
  }
  return value;
}

}  // namespace

std::string NextLiteral(std::string_view& pattern, MatchDirection direction) {
  const bool forward = direction == MatchDirection::kForward;
  // Backwards the pieces are gathered right to left and turned round at the end.
  std::string literal;
  do {
    if (forward) {
      const std::size_t open = pattern.find('[');
      literal.append(pattern.substr(0, open));
      pattern = open == npos ? std::string_view() : pattern.substr(open + 1);
    } else {
      const std::size_t close = pattern.rfind(']');
      const std::string_view piece = close == npos ? pattern : pattern.substr(close + 1);
      literal.append(piece.rbegin(), piece.rend());
      pattern = close == npos ? std::string_view() : pattern.substr(0, close);
    }
    if (literal.empty()) return literal;
  } while (TakeEscapedBracket(pattern, direction, literal));
  if (!forward) std::reverse(literal.begin(), literal.end());
  return NormalizeTags(literal);
}

std::optional<std::size_t> MatchPattern(std::string_view text, std::string_view pattern,
                                        CaptureSlots& slots, MatchDirection direction) {
  const bool forward = direction == MatchDirection::kForward;
  // Forwards the position is the left edge of what is still to be searched, backwards the
  // right edge.
  std::size_t position = forward ? 0 : text.size();
  CaptureSlot* pending = nullptr;
  while (true) {
    const std::string literal = NextLiteral(pattern, direction);
    if (literal.empty()) return position;
    std::size_t found;
    if (forward) {
      found = FindBytes(text, literal, position);
    } else {
      found = literal.size() > position ? npos : text.substr(0, position).rfind(literal);
    }
    if (found == npos) return std::nullopt;
    if (forward) {
      if (pending != nullptr) pending->text = text.substr(position, found - position);
      position = found + literal.size();
    } else {
      const std::size_t after = found + literal.size();
      if (pending != nullptr) pending->text = text.substr(after, position - after);
      position = found;
    }
    pending = ReadCaptureToken(TakeToken(pattern, direction), slots);
  }
}

std::string ExtractValue(std::string_view page, std::string_view pattern) {
  std::string_view head = pattern;
  std::string_view tail;
  if (const std::size_t split = pattern.find(kSplitMarker); split != npos) {
    head = pattern.substr(0, split);
    tail = pattern.substr(split + kSplitMarker.size());
  }

  CaptureSlots slots{};
  const std::optional<std::size_t> head_end =
      MatchPattern(page, head, slots, MatchDirection::kForward);
  if (!head_end) return std::string();

  // The tail is read backwards within the region that ends with its last literal.
  std::string_view rest = tail;
  const std::string last_literal = NextLiteral(rest, MatchDirection::kBackward);
  const std::size_t last_at = FindBytes(page, last_literal, *head_end);
  if (last_at == npos) return std::string();
  const std::string_view region = page.substr(*head_end, last_at + last_literal.size() - *head_end);
  if (!MatchPattern(region, tail, slots, MatchDirection::kBackward)) return std::string();

  std::string value;
  for (const CaptureSlot& slot : slots) value += ApplyModifier(slot);
  return value;
}

std::string ExtractField(const CRules& rules, std::string_view page, std::string_view section,
                         std::string_view key, bool raw) {
  std::string value = ExtractValue(page, LookupRule(rules, section, key));
  if (!raw) value = TrimDash(CollapseSpace(PlainText(value)));
  if (value == kUnknownDate) value.clear();

  std::string none_key = "none";
  none_key += key;
  std::string rule = LookupRule(rules, section, none_key);
  const std::size_t separator = rule.find("==");
  const std::string_view match = std::string_view(rule).substr(0, separator);
  if (value == match) {
    value = separator == npos ? std::string() : rule.substr(separator + 2);
  }
  return value;
}

}  // namespace larkspire
