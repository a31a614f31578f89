// How sent texts and received chunks appear in the TCP/IP flow log: long texts shortened to
// their two ends, control bytes made visible.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// LF as \n, CR as \r, a backslash doubled, other bytes below 0x20 as \0x and two lowercase hex
// digits; the rest unchanged. Text from outside can then never start a line of its own.
std::string EscapeControlBytes(std::string_view text);

// Over 80 characters: the first 40, "...", the last 40; then EscapeControlBytes.
std::string EscapeFlowText(std::string_view text);

}  // namespace larkspire
