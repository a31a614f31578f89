#include "app/DailyRun.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kSettingsVariable = "LARKSPIRE_SETTINGS";
constexpr const char* kOnCalendarKey = "OnCalendar=*-*-* ";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ServicePath() {
  return JoinPath(UserUnitDirectory(), std::string(kDailyRunUnit) + ".service");
}
std::string TimerPath() {
  return JoinPath(UserUnitDirectory(), std::string(kDailyRunUnit) + ".timer");
}
std::string TimerName() { return std::string(kDailyRunUnit) + ".timer"; }

// One word of a unit file's command or assignment: quoted, with systemd's escapes and its "%"
// specifiers doubled, so any path arrives unchanged.
std::string UnitWord(const std::string& text) {
  std::string word = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') word += '\\';
    if (c == '%') word += '%';
    word += c;
  }
  return word + "\"";
}

// A word of a crontab command, for /bin/sh, with cron's "%" escaped.
std::string CrontabWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) {
    if (c == '\'') {
      word += "'\\''";
    } else if (c == '%') {
      word += "\\%";
    } else {
      word += c;
    }
  }
  return word + "'";
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string Systemctl(const std::string& verb) { return "systemctl --user " + verb; }

std::optional<CProgramResult> RunSystemctl(std::vector<std::string> args) {
  args.insert(args.begin(), {"systemctl", "--user"});
  return RunProgram(args);
}

// Why this user has no systemd instance to hand the timer to; empty when there is one.
std::string MissingUserInstance() {
  if (Environment("XDG_RUNTIME_DIR").empty()) {
    return "There is no systemd user instance here (XDG_RUNTIME_DIR is not set).";
  }
  const std::optional<CProgramResult> state = RunSystemctl({"is-system-running"});
  if (!state) return "There is no systemd user instance here (systemctl is not installed).";
  // A degraded instance (some unit failed) still runs timers.
  for (const char* usable : {"running", "degraded", "starting", "initializing"}) {
    if (state->output.rfind(usable, 0) == 0) return std::string();
  }
  std::string said = state->output.substr(0, state->output.find('\n'));
  return "There is no systemd user instance here (systemctl --user is-system-running: " +
         (said.empty() ? "exit status " + std::to_string(state->exit_code) : said) + ").";
}

// Empty when systemctl did it; else what went wrong, for the user.
std::string RunSystemctlStep(const std::vector<std::string>& args) {
  const std::optional<CProgramResult> result = RunSystemctl(args);
  std::string command = "systemctl --user";
  for (const std::string& arg : args) command += " " + arg;
  if (!result) return command + " could not be started.";
  if (result->exit_code == 0) return std::string();
  std::string said = result->output;
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  return command + " failed (exit status " + std::to_string(result->exit_code) + ")" +
         (said.empty() ? "." : ": " + said);
}

CScheduleResult Failed(std::string message) { return {false, std::move(message)}; }

CScheduleResult Remove(const std::string& missing) {
  if (missing.empty()) {
    // A timer that is not loaded cannot be disabled; removing its files is what matters.
    RunSystemctl({"disable", "--now", TimerName()});
  }
  for (const std::string& path : {TimerPath(), ServicePath()}) {
    if (FileExists(path) && !RemoveFile(path)) return Failed("Couldn't remove " + path + ".");
  }
  if (!missing.empty()) {
    return {true, missing +
                      "\nThe daily run's unit files are removed; a crontab line that "
                      "starts " +
                      std::string(kProgramFileName) + " -auto is removed with crontab -e."};
  }
  if (std::string error = RunSystemctlStep({"daemon-reload"}); !error.empty()) {
    return Failed(error);
  }
  return {true, "The daily run is off."};
}

}  // namespace

std::optional<CDailyTime> ParseDailyTime(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != colon && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  }
  const CDailyTime time{std::atoi(text.substr(0, colon).c_str()),
                        std::atoi(text.substr(colon + 1).c_str())};
  if (time.hour > 23 || time.minute > 59) return std::nullopt;
  return time;
}

std::string DailyTimeText(CDailyTime time) {
  return TwoDigits(time.hour) + ":" + TwoDigits(time.minute);
}

std::string BadDailyTimeMessage(const std::string& text) {
  return "\"" + text +
         "\" is no time of day: give the daily run's time as HH:MM on the 24-hour clock "
         "(for instance 06:30), or off.";
}

std::string UserUnitDirectory() {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) config = JoinPath(Environment("HOME"), ".config");
  return JoinPath(JoinPath(config, "systemd"), "user");
}

std::string DailyRunServiceText(const std::string& program, const std::string& settings_file) {
  std::string text =
      "[Unit]\n"
      "Description=Larkspire unattended run: update every due entry and send the e-mail\n"
      "Documentation=man:larkspire(1)\n"
      "\n"
      "[Service]\n"
      "Type=oneshot\n"
      // A display in the user manager's environment would put the window and its questions on
      // a screen nobody watches; without one the run answers them itself and goes to its end.
      "UnsetEnvironment=DISPLAY WAYLAND_DISPLAY\n";
  if (!settings_file.empty()) {
    text += "Environment=" + UnitWord(std::string(kSettingsVariable) + "=" + settings_file) + "\n";
  }
  text += "ExecStart=" + UnitWord(program) + " -auto\n";
  return text;
}

std::string DailyRunTimerText(CDailyTime time) {
  return "[Unit]\n"
         "Description=Larkspire unattended run every day at " +
         DailyTimeText(time) +
         "\n"
         "\n"
         "[Timer]\n" +
         kOnCalendarKey + DailyTimeText(time) +
         ":00\n"
         // A run missed while the machine was off happens as soon as it is on again.
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string DailyRunCrontabLine(const std::string& program, const std::string& settings_file,
                                CDailyTime time) {
  std::string line = std::to_string(time.minute) + " " + std::to_string(time.hour) + " * * * ";
  if (!settings_file.empty()) {
    line += std::string(kSettingsVariable) + "=" + CrontabWord(settings_file) + " ";
  }
  return line + CrontabWord(program) + " -auto";
}

std::optional<CDailyTime> ScheduledDailyRun() {
  std::string text;
  if (!ReadWholeFile(TimerPath(), text)) return std::nullopt;
  const std::size_t at = text.find(kOnCalendarKey);
  if (at == std::string::npos) return std::nullopt;
  return ParseDailyTime(text.substr(at + std::string(kOnCalendarKey).size(), 5));
}

CScheduleResult ScheduleDailyRun(const std::string& program, std::optional<CDailyTime> time) {
  const std::string missing = MissingUserInstance();
  if (!time) return Remove(missing);
  const std::string settings_file = Environment(kSettingsVariable);
  if (!missing.empty()) {
    return Failed(missing + "\nTo run " + kCaption + " every day at " + DailyTimeText(*time) +
                  ", add this line with crontab -e:\n" +
                  DailyRunCrontabLine(program, settings_file, *time));
  }
  MakeDirectories(UserUnitDirectory());
  if (!SaveFileAtomically(ServicePath(), DailyRunServiceText(program, settings_file))) {
    return Failed("Couldn't write " + ServicePath() + ".");
  }
  if (!SaveFileAtomically(TimerPath(), DailyRunTimerText(*time))) {
    return Failed("Couldn't write " + TimerPath() + ".");
  }
  for (const std::vector<std::string>& step :
       {std::vector<std::string>{"daemon-reload"},
        std::vector<std::string>{"enable", "--now", TimerName()}}) {
    if (std::string error = RunSystemctlStep(step); !error.empty()) return Failed(error);
  }
  return {true, std::string(kCaption) + " runs unattended every day at " + DailyTimeText(*time) +
                    " (" + Systemctl("list-timers " + TimerName()) +
                    "). Its output goes to the journal (journalctl --user -u " + kDailyRunUnit +
                    "); a failed run shows in " +
                    Systemctl("status " + std::string(kDailyRunUnit)) + "."};
}

}  // namespace larkspire
