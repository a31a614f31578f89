// Page text normalisation and the string helpers every reader of pages and rules uses.
// All text is 8-bit (Windows-1252); byte 0xA0 is a non-breaking space.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

// Brings a fetched page into the one shape the patterns are written for: CR LF line ends,
// no comments, no entities for spaces, tags lower-case and without attributes (which start at
// the first blank, CR or LF after the name), no white space around tags or at line starts, and
// a line break before <p>, <form>, <input>, <table>, <td> and after <br>, <br/>.
std::string NormalizePage(std::string_view page);
std::string NormalizeTags(std::string_view text);
// Each "<!--" through the first "-->" after it removed; an unterminated comment stays.
std::string RemoveComments(std::string_view text);
// Tags and comments removed, &nbsp; as a blank, the five XML entities decoded (&amp; last).
std::string PlainText(std::string_view text);
// White space (blank, tab, CR, LF, 0xA0) trimmed at both ends and folded to one blank inside.
std::string CollapseSpace(std::string_view text);
// Blanks trimmed at both ends; exactly "-" becomes "".
std::string TrimDash(std::string_view text);
// The text before the first separator; source keeps what follows it. Without a separator the
// whole source is returned and source becomes empty.
std::string SplitHead(std::string& source, std::string_view separator);
// Every occurrence replaced, left to right, never rescanning a replacement; empty find is a no-op.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);
// text.find(needle, start), by the C library's substring search: the standard one compares
// at every occurrence of the needle's first byte, and a page's needles start with "<" or CR.
std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t start = 0);
// Exact search first, then the same search as on upper-cased copies (made without copying).
std::optional<std::size_t> FindText(std::string_view text, std::string_view needle,
                                    std::size_t start = 0);
// The system's ANSI upper-casing (A-z letters and the Latin-1 letters of Windows-1252).
std::string UpperAnsi(std::string_view text);

}  // namespace larkspire
