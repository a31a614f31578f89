// Text placed inside markup the program writes: the HTML report, the XML export, the desktop's
// menu files.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// <, &, >, " and ' as character references, so the text reads as itself in element content
// and in quoted attributes. The apostrophe's reference is given: HTML 4 has no "&apos;".
std::string EncodeEntities(std::string_view text, std::string_view apostrophe = "&apos;");

}  // namespace larkspire
