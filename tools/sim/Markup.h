// Small helpers for writing the site's HTML.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace larkspire::sim {

// &, < and > as entities; the site printed everything else as it was.
std::string Escape(std::string_view text);
// The escaped text, or "-" (which the site printed for an empty field).
std::string EscapeOrDash(std::string_view text);
// Every "{NAME}" in the template replaced by its value (values are not rescanned).
std::string Fill(std::string_view templ,
                 std::initializer_list<std::pair<std::string_view, std::string>> values);
// Every LF that is not already preceded by CR becomes CR LF.
std::string ToCrLf(std::string_view text);
// Blanks trimmed at both ends and runs of white space folded to one blank.
std::string Collapse(std::string_view text);

// The parts every page of the site shares.
std::string PageHead(std::string_view title);
std::string Banner();
std::string PageFoot();

}  // namespace larkspire::sim
