// Reads a multipart/alternative message back into its parts, decoded, as a mail reader does.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "net/Base64.h"

namespace larkspire {

struct CReadMultipart {
  std::string subject;
  std::string boundary;
  std::map<std::string, std::string> parts;  // by content type: "text/plain", "text/html"
  std::map<std::string, std::string> encodings;
};

inline std::optional<CReadMultipart> ReadMultipart(const std::string& message) {
  CReadMultipart read;
  const std::size_t header_end = message.find("\r\n\r\n");
  if (header_end == std::string::npos || message.rfind("Subject: ", 0) != 0) return std::nullopt;
  read.subject = message.substr(9, message.find("\r\n") - 9);
  const std::string headers = message.substr(0, header_end);
  const std::size_t at = headers.find("multipart/alternative; boundary=\"");
  if (at == std::string::npos) return std::nullopt;
  const std::size_t start = headers.find('"', at) + 1;
  read.boundary = headers.substr(start, headers.find('"', start) - start);
  const std::string delimiter = "\r\n--" + read.boundary;
  std::size_t part = message.find(delimiter, header_end);
  while (part != std::string::npos) {
    const std::size_t begin = part + delimiter.size();
    if (message.compare(begin, 2, "--") == 0) return read;  // the closing delimiter
    const std::size_t next = message.find(delimiter, begin);
    if (next == std::string::npos) return std::nullopt;
    const std::string whole = message.substr(begin + 2, next - begin - 2);
    const std::size_t blank = whole.find("\r\n\r\n");
    if (blank == std::string::npos) return std::nullopt;
    const std::string part_headers = whole.substr(0, blank);
    std::string body = whole.substr(blank + 4);
    const std::size_t type_at = part_headers.find("Content-Type: ") + 14;
    const std::string type =
        part_headers.substr(type_at, part_headers.find(';', type_at) - type_at);
    const std::size_t encoding_at = part_headers.find("Content-Transfer-Encoding: ") + 27;
    const std::string encoding = part_headers.substr(encoding_at);
    if (encoding == "base64") {
      std::string joined;
      for (char c : body) {
        if (c != '\r' && c != '\n') joined += c;
      }
      body = Base64Decode(joined);
    }
    read.parts[type] = body;
    read.encodings[type] = encoding;
    part = next;
  }
  return std::nullopt;
}

}  // namespace larkspire
