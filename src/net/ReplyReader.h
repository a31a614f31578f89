// Expect's reading of a numbered reply (SMTP) as it arrives, chunk by chunk. Each byte is looked
// at once, when its chunk arrives, so an endless line without a line feed costs no more than its
// length; and a reply that passes its cap is refused instead of growing without end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkspire {

// Far beyond any real reply (a long EHLO list is a few hundred bytes).
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;
inline constexpr const char* kReplyTooLongMessage =
    "SMTP: The server's reply is longer than 64 KB.";

// The decimal number at the start of the reply (saturating); -1 when there is none.
long ReplyCode(std::string_view reply);

class CReplyReader {
 public:
  enum class Progress { kMore, kComplete, kTooLong };

  explicit CReplyReader(std::size_t max_bytes = kMaxReplyBytes) : max_bytes_(max_bytes) {}

  // Appends a chunk and reads the lines it finishes. A line with '-' as its fourth character
  // announces another line of the same reply; any other finished line ends it. A chunk that
  // would take the reply past the cap is not kept.
  Progress Add(std::string_view chunk);

  const std::string& Text() const { return reply_; }
  // Once complete: cuts off and returns what came after the reply's last line (the replies to
  // commands sent together with this one).
  std::string TakeRest();
  long Code() const { return ReplyCode(reply_); }

 private:
  std::size_t max_bytes_;
  std::string reply_;
  // Where the first line not yet known to be finished starts.
  std::size_t line_start_ = 0;
  std::size_t end_ = std::string::npos;  // just past the last line, once complete
};

}  // namespace larkspire
