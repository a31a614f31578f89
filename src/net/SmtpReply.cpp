#include "net/SmtpReply.h"

#include <algorithm>
#include <cctype>

#include "net/TextChecks.h"

namespace larkspire {
namespace {

// The reply's lines without their line ends; a last line without one counts.
std::vector<std::string_view> ReplyLines(std::string_view reply) {
  std::vector<std::string_view> lines;
  while (!reply.empty()) {
    const std::size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    reply.remove_prefix(end + 1);
  }
  return lines;
}

// A line's text after its code and the separator that follows it.
std::string_view LineText(std::string_view line) {
  return line.size() > 4 ? line.substr(4) : std::string_view();
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Adds the blank-separated words of text to the list, upper-cased, each once.
void AddWords(std::string_view text, std::vector<std::string>& words) {
  std::size_t start = 0;
  while ((start = text.find_first_not_of(" \t", start)) != std::string_view::npos) {
    const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
    std::string word = Upper(text.substr(start, end - start));
    if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
    start = end;
  }
}

}  // namespace

bool SmtpCapabilities::OffersAuth(std::string_view mechanism) const {
  return std::find(auth.begin(), auth.end(), Upper(mechanism)) != auth.end();
}

SmtpCapabilities ParseEhloReply(std::string_view reply) {
  SmtpCapabilities offered;
  const std::vector<std::string_view> lines = ReplyLines(reply);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view text = LineText(lines[i]);
    const std::string keyword = Upper(text.substr(0, text.find_first_of(" \t=")));
    if (keyword == "STARTTLS") offered.starttls = true;
    if (keyword == "8BITMIME") offered.eight_bit_mime = true;
    if (keyword == "PIPELINING") offered.pipelining = true;
    if (keyword == "AUTH" && text.size() > 4) AddWords(text.substr(5), offered.auth);
  }
  return offered;
}

bool IsTemporaryReply(std::string_view reply) {
  return reply.size() >= 3 && reply[0] == '4' &&
         std::isdigit(static_cast<unsigned char>(reply[1])) &&
         std::isdigit(static_cast<unsigned char>(reply[2]));
}

bool DemandsTls(std::string_view reply) {
  if (!StartsWithIgnoringCase(reply, "530") && !StartsWithIgnoringCase(reply, "538")) return false;
  const std::string text = Upper(reply);
  return text.find("TLS") != std::string::npos || text.find("ENCRYPT") != std::string::npos;
}

std::string ReplyLine(std::string_view reply) {
  std::string line;
  const std::vector<std::string_view> lines = ReplyLines(reply);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 0) {
      line.append(lines[i]);
      // "250-first" reads as "250 first" once the lines are joined.
      if (line.size() > 3 && line[3] == '-') line[3] = ' ';
    } else {
      line.append(" ").append(LineText(lines[i]));
    }
    if (line.size() > kMaxReplyLineBytes) break;
  }
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  if (line.size() > kMaxReplyLineBytes)
    line.replace(kMaxReplyLineBytes - 3, std::string::npos, "...");
  return line;
}

}  // namespace larkspire
