#include "net/MimeHeaders.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cstdio>

#include "net/AppError.h"
#include "net/Base64.h"
#include "net/TextChecks.h"

namespace larkspire {
namespace {

constexpr std::size_t kMessageIdRandomBytes = 16;
// RFC 2047: an encoded word is at most 75 characters, its charset and markers included.
constexpr std::size_t kEncodedWordLength = 75;
constexpr std::size_t kBoundaryRandomBytes = 12;
// RFC 5322: a line holds at most 998 characters before its CR LF.
constexpr std::size_t kLongestLine = 998;
// 57 bytes make one base64 line of 76 characters.
constexpr std::size_t kBase64LineBytes = 57;
// The fixed lines of a multipart message: its headers, preamble, part headers and boundaries.
constexpr std::size_t kMultipartOverhead = 512;

std::string RandomHex(std::size_t bytes, const char* what) {
  std::string random(bytes, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(random.data()), static_cast<int>(bytes)) != 1) {
    throw CAppError(std::string("SMTP: No random number for the ") + what + ".");
  }
  std::string hex;
  char digits[3];
  for (unsigned char byte : random) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    hex += digits;
  }
  return hex;
}

bool HasLongLine(std::string_view text) {
  std::size_t line = 0;
  for (char c : text) {
    line = c == '\n' || c == '\r' ? 0 : line + 1;
    if (line > kLongestLine) return true;
  }
  return false;
}

// One part of a multipart body: its header lines, an empty line and its text.
std::string MimePart(std::string_view text, const char* type) {
  std::string part = std::string("Content-Type: ") + type + "; charset=" + TextCharset(text) +
                     "\r\nContent-Transfer-Encoding: ";
  if (!HasEightBitBytes(text) && !HasLongLine(text)) {
    part += "7bit\r\n\r\n";
    part += text;
    if (!part.ends_with("\r\n")) part += "\r\n";
    return part;
  }
  part += "base64\r\n\r\n";
  for (std::size_t at = 0; at < text.size(); at += kBase64LineBytes) {
    part += Base64Encode(text.substr(at, kBase64LineBytes)) + "\r\n";
  }
  return part;
}

std::size_t PartBound(std::size_t bytes) {
  // Base64 is the longer form; a 7bit part may gain a line end.
  return (bytes / kBase64LineBytes + 1) * 78 + 2;
}

// The length of the UTF-8 sequence at text[i], or 0 when none starts there (overlong forms,
// surrogates and code points past U+10FFFF are not UTF-8).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// One character in the "Q" encoding of an encoded word.
std::string QEncoded(unsigned char c) {
  if (c == ' ') return "_";
  const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '!' || c == '*' || c == '+' || c == '-' || c == '/';
  if (plain) return std::string(1, static_cast<char>(c));
  char hex[4];
  std::snprintf(hex, sizeof hex, "=%02X", c);
  return hex;
}

// The text as encoded words joined by folding, the first after lead characters of its line; a
// UTF-8 character is never split between words.
std::string EncodedWords(std::string_view text, const char* charset, std::size_t lead) {
  const std::string open = std::string("=?") + charset + "?Q?";
  const bool utf8 = std::string_view(charset) == "utf-8";
  std::string out;
  std::string word;
  for (std::size_t i = 0; i < text.size();) {
    // A folded line starts with one blank, so at most 76 characters hold an encoded word.
    const std::size_t room = kEncodedWordLength - open.size() - 2 - (out.empty() ? lead - 1 : 0);
    const std::size_t length = utf8 ? std::max<std::size_t>(1, Utf8SequenceLength(text, i)) : 1;
    std::string encoded;
    for (std::size_t k = 0; k < length; ++k) {
      encoded += QEncoded(static_cast<unsigned char>(text[i + k]));
    }
    if (!word.empty() && word.size() + encoded.size() > room) {
      out += (out.empty() ? "" : "\r\n ") + open + word + "?=";
      word.clear();
    }
    word += encoded;
    i += length;
  }
  if (!word.empty()) out += (out.empty() ? "" : "\r\n ") + open + word + "?=";
  return out;
}

}  // namespace

bool HasEightBitBytes(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

const char* TextCharset(std::string_view text) {
  if (!HasEightBitBytes(text)) return "us-ascii";
  return IsUtf8(text) ? "utf-8" : "windows-1252";
}

std::string MimeHeaderLines(std::string_view message) {
  std::size_t header_end = message.find("\r\n\r\n");
  if (header_end == std::string_view::npos) header_end = message.size();
  for (std::size_t at = 0; at < header_end;) {
    std::size_t end = message.find("\r\n", at);
    if (end == std::string_view::npos || end > header_end) end = header_end;
    if (StartsWithIgnoringCase(message.substr(at, end - at), "MIME-Version:")) return "";
    at = end + 2;
  }
  return std::string("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=") +
         TextCharset(message) +
         "\r\nContent-Transfer-Encoding: " + (HasEightBitBytes(message) ? "8bit" : "7bit") + "\r\n";
}

std::string MessageIdLine(std::string_view domain) {
  return "Message-ID: <" + RandomHex(kMessageIdRandomBytes, "Message-ID") + "@" +
         std::string(domain) + ">\r\n";
}

std::string MultipartAlternative(std::string_view plain, std::string_view html) {
  const std::string text_part = MimePart(plain, "text/plain");
  const std::string html_part = MimePart(html, "text/html");
  // "=_" never occurs in base64, and a 7bit part is searched for the boundary itself.
  std::string boundary;
  do {
    boundary = "=_" + RandomHex(kBoundaryRandomBytes, "MIME boundary");
  } while (text_part.find(boundary) != std::string::npos ||
           html_part.find(boundary) != std::string::npos);
  return "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"" + boundary +
         "\"\r\n\r\nThis is a message in MIME format.\r\n\r\n--" + boundary + "\r\n" + text_part +
         "\r\n--" + boundary + "\r\n" + html_part + "\r\n--" + boundary + "--\r\n";
}

std::size_t MultipartAlternativeBound(std::size_t plain_bytes, std::size_t html_bytes) {
  return kMultipartOverhead + PartBound(plain_bytes) + PartBound(html_bytes);
}

std::string EncodeSubjectLine(std::string_view message) {
  constexpr std::string_view kSubject = "Subject:";
  if (!StartsWithIgnoringCase(message, kSubject)) return std::string(message);
  std::size_t end = message.find("\r\n");
  if (end == std::string_view::npos) end = message.size();
  std::string_view value = message.substr(kSubject.size(), end - kSubject.size());
  if (!HasEightBitBytes(value)) return std::string(message);
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  constexpr std::string_view kLead = "Subject: ";
  return std::string(kLead) + EncodedWords(value, TextCharset(message), kLead.size()) +
         std::string(message.substr(end));
}

}  // namespace larkspire
