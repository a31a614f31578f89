#include "SimDate.h"

#include <cstdio>
#include <ctime>

namespace larkspire::sim {
namespace {

// Days from 1970-01-01 to 1899-12-30 are -25569.
constexpr int kUnixEpochDay = 25569;

// Howard Hinnant's days-from-civil, shifted to the 1899-12-30 epoch.
int DayFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + kUnixEpochDay;
}

void CivilFromDay(int day, int& y, int& m, int& d) {
  const int z = day - kUnixEpochDay + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

bool ReadDigits(std::string_view text, int& value) {
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

std::optional<int> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int y = 0, m = 0, d = 0;
  if (!ReadDigits(text.substr(0, 4), y) || !ReadDigits(text.substr(5, 2), m) ||
      !ReadDigits(text.substr(8, 2), d)) {
    return std::nullopt;
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  const int day = DayFromCivil(y, m, d);
  int y2 = 0, m2 = 0, d2 = 0;
  CivilFromDay(day, y2, m2, d2);
  if (m2 != m || d2 != d) return std::nullopt;  // 02-30 and the like
  return day;
}

std::string FormatIsoDate(int day) {
  int y = 0, m = 0, d = 0;
  CivilFromDay(day, y, m, d);
  // Room for any int in each field, so optimised builds see no possible truncation.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  return buffer;
}

std::string FormatSiteDate(int day) {
  int y = 0, m = 0, d = 0;
  CivilFromDay(day, y, m, d);
  char buffer[40];  // as in FormatIsoDate
  std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", m, d, y);
  return buffer;
}

std::optional<int> ParseSiteDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '-' || text[5] != '-') return std::nullopt;
  const std::string iso = std::string(text.substr(6, 4)) + "-" + std::string(text.substr(0, 5));
  return ParseIsoDate(iso);
}

std::string FormatHttpDate(int day) {
  static const char* const kWeekdays[] = {"Sat", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int y = 0, m = 0, d = 0;
  CivilFromDay(day, y, m, d);
  const int weekday = ((day % 7) + 7) % 7;  // day 0, 1899-12-30, was a Saturday
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d 12:00:00 GMT", kWeekdays[weekday], d,
                kMonths[m - 1], y);
  return buffer;
}

int TodayUtc() { return static_cast<int>(std::time(nullptr) / 86400) + kUnixEpochDay; }

}  // namespace larkspire::sim
