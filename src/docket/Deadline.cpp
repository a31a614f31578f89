#include "docket/Deadline.h"

#include "rules/Dates.h"

namespace larkspire {

std::string CDeadline::Uid() const { return uid.empty() ? KeyedUid() : uid; }

std::string CDeadline::KeyedUid() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  int year = 0;
  int month = 0;
  int day = 0;
  CalendarFromDayNumber(opened_on, year, month, day);
  std::string uid = std::to_string(year * 10000 + month * 100 + day) + "-" + rule_key + "-";
  for (unsigned char c : entry_key) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      uid += static_cast<char>(c);
    } else {
      uid += '_';
      uid += kHex[c >> 4];
      uid += kHex[c & 15];
    }
  }
  return uid;
}

}  // namespace larkspire
