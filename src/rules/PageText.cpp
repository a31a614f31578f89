#include "rules/PageText.h"

#include <string.h>

#include <algorithm>
#include <array>

namespace larkspire {
namespace {

// Status pages run to tens of kilobytes and thousands are read in one update, so every step
// below copies forward through the text once instead of erasing in place, and copies runs of
// untouched text whole rather than byte by byte.

constexpr char kNbsp = '\xA0';

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || IsLineBreak(c) || c == kNbsp; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compared byte by byte: the texts are a few bytes long and a library call costs more.
bool HasAt(std::string_view text, std::size_t pos, std::string_view what) {
  if (pos > text.size() || text.size() - pos < what.size()) return false;
  for (std::size_t i = 0; i < what.size(); ++i) {
    if (text[pos + i] != what[i]) return false;
  }
  return true;
}

// Pages served with bare LF line ends get CR LF; a page with any CR LF is taken as it is.
std::string ExpandLineFeeds(std::string_view page) {
  if (page.find("\r\n") != std::string_view::npos) return std::string(page);
  std::string out;
  out.reserve(page.size() + page.size() / 32);
  std::size_t pos = 0;
  for (std::size_t lf = page.find('\n'); lf != std::string_view::npos; lf = page.find('\n', pos)) {
    out.append(page, pos, lf - pos).append("\r\n");
    pos = lf + 1;
  }
  out.append(page, pos);
  return out;
}

// "&nbsp;", "&#160;", byte 0xA0 and tab all become a blank. None of the four can be formed by
// replacing another, so one scan gives what four successive replacements would.
std::string BlankSpaceEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // The next "&", tab and 0xA0 each, found with a fast search and advanced past the one used;
  // neither entity contains the other two characters, so skipping one never passes them.
  constexpr char kStarts[] = {'&', '\t', kNbsp};
  std::size_t next[3];
  for (int k = 0; k < 3; ++k) next[k] = text.find(kStarts[k]);
  std::size_t run = 0;  // start of the text not yet copied
  for (;;) {
    int k = 0;
    if (next[1] < next[k]) k = 1;
    if (next[2] < next[k]) k = 2;
    const std::size_t i = next[k];
    if (i == std::string_view::npos) break;
    std::size_t length = 1;
    if (k == 0) {
      if (!HasAt(text, i, "&nbsp;") && !HasAt(text, i, "&#160;")) {
        next[0] = text.find('&', i + 1);
        continue;
      }
      length = 6;
    }
    out.append(text, run, i - run) += ' ';
    run = i + length;
    next[k] = text.find(kStarts[k], run);
  }
  out.append(text, run);
  return out;
}

// Every tag loses its attributes (a closing "/" stays), is lower-cased, and loses the white space
// before it and the blanks after it.
std::string SimplifyTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = text.find('<', pos);
    if (open == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    // Only what follows the previous ">" (never white space itself) can be trimmed here.
    while (!out.empty() && (out.back() == ' ' || IsLineBreak(out.back()))) out.pop_back();
    pos = open;
    const std::size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;

    // The name ends at the first blank or line break inside the tag (a tag broken across lines
    // has its attributes on the next line); looking no further than the ">" keeps a page
    // without blanks from being rescanned for every tag.
    std::size_t name_end = open + 1;
    while (name_end < close && text[name_end] != ' ' && !IsLineBreak(text[name_end])) ++name_end;
    for (std::size_t i = open; i < name_end; ++i) out += LowerAscii(text[i]);
    if (name_end < close && text[close - 1] == '/') out += '/';
    out += '>';

    pos = text.find_first_not_of(' ', close + 1);
    if (pos == std::string_view::npos) {
      // Trailing blanks after the last tag are left where they are.
      pos = close + 1;
      break;
    }
  }
  out.append(text, pos);
  return out;
}

// Blanks at the start of the text and after every CR or LF go.
std::string TrimLineStarts(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // The next CR and LF are found each with a fast search: find_first_of with a set of
  // characters would search the set once per byte.
  const std::size_t size = text.size();
  std::size_t next_cr = text.find('\r');
  std::size_t next_lf = text.find('\n');
  std::size_t pos = 0;
  while (pos < size) {
    while (pos < size && text[pos] == ' ') ++pos;
    if (pos == size) break;
    // Up to and including the next line break; a run of breaks needs no trimming between.
    if (next_cr < pos) next_cr = text.find('\r', pos);
    if (next_lf < pos) next_lf = text.find('\n', pos);
    std::size_t end = std::min(std::min(next_cr, next_lf), size);
    while (end < size && IsLineBreak(text[end])) ++end;
    out.append(text, pos, end - pos);
    pos = end;
  }
  return out;
}

// Each "<" through the first ">" after it goes; a "<" without a ">" after it stays.
std::string RemoveTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = text.find('<', pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    pos = close + 1;
  }
  out.append(text, pos);
  return out;
}

// "&lt;", "&gt;", "&quot;", "&apos;" and then "&amp;": no decoded character can start an entity
// and the entities cannot overlap, so one scan that never rereads its output gives what the
// successive replacements would (&amp;lt; stays &lt;).
std::string DecodeXmlEntities(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
      {{"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '&') {
      for (const auto& [entity, decoded] : kEntities) {
        if (HasAt(text, i, entity)) {
          c = decoded;
          i += entity.size() - 1;
          break;
        }
      }
    }
    out += c;
  }
  return out;
}

// text.find("<!--", pos), found through the "!" (rare in pages) instead of stopping at
// every "<" (one per tag).
std::size_t FindCommentStart(std::string_view text, std::size_t pos) {
  for (std::size_t bang = text.find("!--", pos + 1); bang != std::string_view::npos;
       bang = text.find("!--", bang + 1)) {
    if (text[bang - 1] == '<') return bang - 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::string RemoveComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = FindCommentStart(text, pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find("-->", open + 4);
    if (close == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    pos = close + 3;
  }
  out.append(text, pos);
  return out;
}

std::string NormalizePage(std::string_view page) {
  std::string text = ExpandLineFeeds(page);
  text = RemoveComments(text);
  text = BlankSpaceEntities(text);
  text = SimplifyTags(text);
  text = TrimLineStarts(text);
  return NormalizeTags(text);
}

std::string NormalizeTags(std::string_view text) {
  // The tags are whole and distinct, so at most one matches at any "<" and an inserted CR LF
  // never completes another: one scan equals the successive replacements.
  static constexpr std::string_view kBreakBefore[] = {"<p>", "<form>", "<input>", "<table>",
                                                      "<td>"};
  static constexpr std::string_view kBreakAfter[] = {"<br>", "<br/>"};
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  std::size_t pos = 0;  // start of the text not yet copied
  for (std::size_t open = text.find('<'); open != std::string_view::npos;
       open = text.find('<', open + 1)) {
    // Most tags are none of these; their second letter says so without comparing.
    const char second = open + 1 < text.size() ? text[open + 1] : '\0';
    if (second != 'p' && second != 'f' && second != 'i' && second != 't' && second != 'b') {
      continue;
    }
    std::string_view tag;
    std::string_view before;
    std::string_view after;
    for (std::string_view candidate : kBreakBefore) {
      if (HasAt(text, open, candidate)) {
        tag = candidate;
        before = "\r\n";
      }
    }
    for (std::string_view candidate : kBreakAfter) {
      if (HasAt(text, open, candidate)) {
        tag = candidate;
        after = "\r\n";
      }
    }
    if (tag.empty()) continue;
    out.append(text, pos, open - pos).append(before).append(tag).append(after);
    pos = open + tag.size();
    open = pos - 1;  // the next search starts after the tag
  }
  out.append(text, pos);
  return out;
}

std::string PlainText(std::string_view text) {
  std::string plain = RemoveComments(text);
  plain = RemoveTags(plain);
  plain = ReplaceAll(plain, "&nbsp;", " ");
  plain = TrimLineStarts(plain);
  return DecodeXmlEntities(plain);
}

std::string CollapseSpace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool pending_space = false;
  for (char c : text) {
    if (IsWhiteSpace(c)) {
      pending_space = !out.empty();
    } else {
      if (pending_space) out += ' ';
      pending_space = false;
      out += c;
    }
  }
  return out;
}

std::string TrimDash(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  const std::size_t last = text.find_last_not_of(' ');
  std::string_view trimmed = text.substr(first, last - first + 1);
  return trimmed == "-" ? "" : std::string(trimmed);
}

std::string SplitHead(std::string& source, std::string_view separator) {
  // An empty separator counts as absent, so a caller looping until the source is empty ends.
  const std::size_t pos = separator.empty() ? std::string::npos : source.find(separator);
  if (pos == std::string::npos) {
    std::string head = std::move(source);
    source.clear();
    return head;
  }
  std::string head = source.substr(0, pos);
  source.erase(0, pos + separator.size());
  return head;
}

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit = text.find(find); hit != std::string_view::npos;
       hit = text.find(find, pos)) {
    out.append(text, pos, hit - pos);
    out.append(replacement);
    pos = hit + find.size();
  }
  out.append(text, pos);
  return out;
}

std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t start) {
  if (start > text.size()) return std::string_view::npos;
  if (needle.empty()) return start;
  const void* hit =
      ::memmem(text.data() + start, text.size() - start, needle.data(), needle.size());
  return hit == nullptr ? std::string_view::npos
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

namespace {

const std::array<char, 256>& UpperTable() {
  static const std::array<char, 256> kUpper = [] {
    std::array<char, 256> table{};
    for (int b = 0; b < 256; ++b) {
      int upper = b;
      if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) upper = b - 0x20;
      if (b == 0x9A || b == 0x9C || b == 0x9E) upper = b - 0x10;
      if (b == 0xFF) upper = 0x9F;
      table[static_cast<std::size_t>(b)] = static_cast<char>(upper);
    }
    return table;
  }();
  return kUpper;
}

// UpperAnsi(text).find(UpperAnsi(needle), start) without the copies: a miss of the exact
// search (every error text a valid page lacks) would otherwise copy the whole page.
std::size_t FindIgnoringCase(std::string_view text, std::string_view needle, std::size_t start) {
  if (start > text.size()) return std::string_view::npos;
  if (needle.empty()) return start;
  if (needle.size() > text.size() - start) return std::string_view::npos;
  const std::array<char, 256>& upper = UpperTable();
  const auto up = [&upper](char c) { return upper[static_cast<unsigned char>(c)]; };
  const char first = up(needle[0]);
  const std::size_t last = text.size() - needle.size();
  for (std::size_t at = start; at <= last; ++at) {
    if (up(text[at]) != first) continue;
    std::size_t i = 1;
    while (i < needle.size() && up(text[at + i]) == up(needle[i])) ++i;
    if (i == needle.size()) return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::optional<std::size_t> FindText(std::string_view text, std::string_view needle,
                                    std::size_t start) {
  std::size_t pos = FindBytes(text, needle, start);
  if (pos == std::string_view::npos) pos = FindIgnoringCase(text, needle, start);
  if (pos == std::string::npos) return std::nullopt;
  return pos;
}

std::string UpperAnsi(std::string_view text) {
  const std::array<char, 256>& upper = UpperTable();
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = upper[static_cast<unsigned char>(text[i])];
  return out;
}

}  // namespace larkspire
