#include "run/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "net/FlowText.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "run/Settings.h"

namespace larkspire {
namespace {

constexpr int64_t kCutAboveBytes = 100000;
constexpr std::size_t kKeepCharacters = 10000;

std::string UtcPrefix() {
  CalendarTime t = UtcCalendar(NowUnixMillis() / 1000);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d> ", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

}  // namespace

std::string CLog::Path() const {
  if (log_dir_.Text().empty()) return std::string();
  return JoinPath(log_dir_.Text(), kLogFileName);
}

void CLog::Write(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<std::size_t>(needed));
  }
  va_end(args);
  WriteText(text);
}

void CLog::WriteText(const std::string& text) {
  const std::string path = Path();
  if (path.empty()) return;
  const std::optional<FileIdentity> named = FileIdentityOf(path);
  if (named && named->size > kCutAboveBytes) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return;
    std::string kept = FromTextMode(bytes);
    if (kept.size() > kKeepCharacters) kept.erase(0, kept.size() - kKeepCharacters);
    // Rewritten whole, so a crash during the cut cannot leave half a log.
    if (!SaveFileAtomically(path, ToTextMode("--log discarded before here--\n" + kept))) return;
    file_.Close();  // the name stands for the new file now
  }
  const bool ends_line = !text.empty() && text.back() == '\n';
  std::string record = UtcPrefix();
  record += EscapeControlBytes(std::string_view(text).substr(0, text.size() - ends_line));
  if (ends_line) record += '\n';
  file_.Append(path, named, ToTextMode(record));
  if (kept_open_ == 0) file_.Close();
}

}  // namespace larkspire
