#include "net/ReplyReader.h"

#include "net/TextChecks.h"

namespace larkspire {

long ReplyCode(std::string_view reply) { return LeadingDecimal(reply); }

CReplyReader::Progress CReplyReader::Add(std::string_view chunk) {
  if (chunk.size() > max_bytes_ - reply_.size()) return Progress::kTooLong;
  const std::size_t first_new = reply_.size();
  reply_.append(chunk);
  for (std::size_t end = reply_.find('\n', first_new); end != std::string::npos;
       end = reply_.find('\n', end + 1)) {
    if (end - line_start_ >= 4 && reply_[line_start_ + 3] == '-') {
      line_start_ = end + 1;
      continue;
    }
    end_ = end + 1;
    return Progress::kComplete;
  }
  return Progress::kMore;
}

std::string CReplyReader::TakeRest() {
  if (end_ >= reply_.size()) return std::string();
  std::string rest = reply_.substr(end_);
  reply_.resize(end_);
  return rest;
}

}  // namespace larkspire
