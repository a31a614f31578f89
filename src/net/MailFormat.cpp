#include "net/MailFormat.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Clock.h"

namespace larkspire {
namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::vector<std::string> SplitAddressList(std::string_view list) {
  std::vector<std::string> addresses;
  if (list.empty()) return addresses;
  std::size_t position = 0;
  for (;;) {
    const std::size_t stop = list.find_first_of(",(", position);
    std::string_view address = list.substr(
        position, stop == std::string_view::npos ? std::string_view::npos : stop - position);
    while (!address.empty() && (address.back() == ' ' || address.back() == '\t')) {
      address.remove_suffix(1);
    }
    addresses.emplace_back(address);
    if (stop == std::string_view::npos) break;
    std::size_t comma = stop;
    if (list[stop] == '(') {
      const std::size_t close = list.find(')', stop);
      if (close == std::string_view::npos) break;
      comma = list.find(',', close);
      if (comma == std::string_view::npos) break;
    }
    position = list.find_first_not_of(" \t", comma + 1);
    if (position == std::string_view::npos) break;
  }
  return addresses;
}

std::string BracketAddress(std::string_view address) {
  const std::size_t open = address.find('<');
  if (open == std::string_view::npos) return "<" + std::string(address) + ">";
  const std::size_t close = address.find('>', open);
  return std::string(
      address.substr(open, close == std::string_view::npos ? close : close - open + 1));
}

std::string FormatDateLine(int64_t unix_seconds) {
  const CalendarTime local = LocalCalendar(unix_seconds);
  const long offset_minutes = UtcOffsetSeconds(unix_seconds) / 60;
  const long magnitude = std::labs(offset_minutes);
  char line[80];
  std::snprintf(line, sizeof line, "Date: %s, %.2d %s %.4d %.2d:%.2d:%.2d %c%02ld%02ld\r\n",
                kWeekdays[local.weekday % 7], local.day, kMonths[(local.month + 11) % 12],
                local.year, local.hour, local.minute, local.second, offset_minutes < 0 ? '-' : '+',
                magnitude / 60, magnitude % 60);
  return line;
}

std::string DotStuff(std::string_view message) {
  std::string out;
  out.reserve(message.size() + 16);
  bool line_start = true;
  for (std::size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == '\r' || c == '\n') {
      // CR LF, a bare CR and a bare LF each end one line.
      out += "\r\n";
      if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
      line_start = true;
      continue;
    }
    if (c == '.' && line_start) out += '.';
    out += c;
    line_start = false;
  }
  return out;
}

}  // namespace larkspire
