// The text rules of the SMTP client: address lists, angle brackets, the Date line and
// dot-stuffing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// Addresses separated by commas; each one runs to the next ',' or '(' with trailing blanks
// and tabs removed, a parenthesised name after it is skipped, and blanks and tabs after a
// comma are skipped. An empty list has no addresses.
std::vector<std::string> SplitAddressList(std::string_view list);

// The form sent in MAIL and RCPT commands: "<" + address + ">", or, for an address that
// already has brackets ("Name <a@b>"), only the part from "<" through ">".
std::string BracketAddress(std::string_view address);

// "Date: Wed, 09 Dec 2026 18:30:00 -0330\r\n" for the local time at that instant; the sign
// belongs to the whole offset, so half an hour west of UTC is "-0030".
std::string FormatDateLine(int64_t unix_seconds);

// Every line end made CR LF (a bare CR and a bare LF each become one), then a '.' that starts
// a line doubled, so that no line of the message can end the DATA phase early however a server
// reads line ends.
std::string DotStuff(std::string_view message);

}  // namespace larkspire
