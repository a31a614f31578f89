// The MIME header lines a message gains when it goes out over STARTTLS or TLS: a Message-ID, the
// MIME version and a Content-Type naming the charset the text's bytes really are (the program
// writes Windows-1252; a template saved as UTF-8 stays UTF-8). The plain dialogue's messages
// stay as they always were.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// "us-ascii" for 7-bit text, "utf-8" for valid UTF-8 with other characters, otherwise
// "windows-1252".
const char* TextCharset(std::string_view text);
bool HasEightBitBytes(std::string_view text);

// "MIME-Version: 1.0", "Content-Type: text/plain; charset=..." and
// "Content-Transfer-Encoding: 7bit" or "8bit" for the message text, each ended by CR LF.
// Nothing for a message whose own header lines (before its first empty line) already name its
// MIME form, as a multipart message does.
std::string MimeHeaderLines(std::string_view message);

// The header lines and body of a multipart/alternative message of a plain text and an HTML
// rendering of it, to follow the "Subject:" line: "MIME-Version", "Content-Type" with a random
// boundary that neither text holds, an empty line, then the two parts. A part goes 7bit when it
// is 7-bit text with lines a server takes, else base64 in lines of 76 characters.
std::string MultipartAlternative(std::string_view plain, std::string_view html);
// The most bytes MultipartAlternative returns for texts of these sizes.
std::size_t MultipartAlternativeBound(std::size_t plain_bytes, std::size_t html_bytes);

// "Message-ID: <32 random hex digits@domain>" and CR LF.
std::string MessageIdLine(std::string_view domain);

// The message with a leading "Subject:" line of 8-bit text rewritten as RFC 2047 encoded
// words in the message's charset, folded so no line grows past 76 characters; anything else
// unchanged.
std::string EncodeSubjectLine(std::string_view message);

}  // namespace larkspire
