// The unattended run once a day: a systemd user service and timer that start the program with
// -auto, or, where the user has no systemd instance, the crontab line that does the same.
#pragma once

#include <optional>
#include <string>

namespace larkspire {

inline constexpr const char* kDailyRunUnit = "larkspire-auto";

struct CDailyTime {
  int hour = 0;
  int minute = 0;
  bool operator==(const CDailyTime&) const = default;
};

// "HH:MM" on the 24-hour clock ("7:05" too); nothing for anything else.
std::optional<CDailyTime> ParseDailyTime(const std::string& text);
std::string DailyTimeText(CDailyTime time);
// The message for a time ParseDailyTime refused.
std::string BadDailyTimeMessage(const std::string& text);

// $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user when it is not set).
std::string UserUnitDirectory();
// The units as written; settings_file is LARKSPIRE_SETTINGS when it was set (empty otherwise),
// so the run reads the configuration of whoever scheduled it.
std::string DailyRunServiceText(const std::string& program, const std::string& settings_file);
std::string DailyRunTimerText(CDailyTime time);
std::string DailyRunCrontabLine(const std::string& program, const std::string& settings_file,
                                CDailyTime time);
// The time of the timer this user has, if any.
std::optional<CDailyTime> ScheduledDailyRun();

struct CScheduleResult {
  bool done = false;
  std::string message;  // what the user is told, ended without a line feed
};
// Writes and enables the units (a time), or disables and removes them (nothing).
CScheduleResult ScheduleDailyRun(const std::string& program, std::optional<CDailyTime> time);

}  // namespace larkspire
