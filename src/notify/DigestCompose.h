// The digest's messages, composed from its items and the docket's coming deadlines. Pure: the
// queue (Digest.h) reads the items and writes the messages.
//
// A message is a "Subject:" line and a multipart/alternative body: plain text and the same as
// HTML tables, every value escaped. Changes are grouped by application (its reference and
// number, then each changed field as it is now and as it was), in the order first seen; then
// the deadlines, the failures and the new entries. A digest larger than the limit is split into
// several whole messages ("part 1 of 2"): an application's changes, a failure and a new entry
// each go whole into one part, and the deadlines into the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "notify/DigestItem.h"

namespace larkspire {

struct CDeadline;

inline constexpr int kDigestDeadlineDays = 14;
inline constexpr std::size_t kDigestMessageLimit = 5 * 1024 * 1024;

struct CDigestDeadline {
  int32_t due = 0;
  std::string what;
  std::string reference;
  std::string number;
};

struct CDigestContent {
  std::string org_name;
  int32_t today = 0;
  std::vector<CDigestItem> items;
  std::vector<CDigestDeadline> deadlines;
};

// The open deadlines due from today through kDigestDeadlineDays days on, earliest first.
std::vector<CDigestDeadline> DigestDeadlines(const std::vector<const CDeadline*>& open,
                                             int32_t today);

// The messages, each no larger than the limit unless one application's changes alone are; none
// when there are no items.
std::vector<std::string> ComposeDigestMessages(const CDigestContent& content,
                                               std::size_t limit = kDigestMessageLimit);

}  // namespace larkspire
