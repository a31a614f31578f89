// The running log, Larkspire.log in the logging directory: one UTC-stamped record per call,
// opened and closed each time so it can be read while the program runs, cut back to its last
// 10000 characters once it passes 100000 bytes. Logging never reports a failure. Records carry
// page and server text, so their control bytes are escaped as the flow log escapes them: a
// record is always exactly one line, and no text can forge one.
#pragma once

#include <string>

namespace larkspire {

class CSetting;

inline constexpr const char* kLogFileName = "Larkspire.log";

class CLog {
 public:
  // Reads the directory from the setting at every record, so a reconfigured LogDir takes
  // effect at once.
  explicit CLog(const CSetting& log_dir) : log_dir_(log_dir) {}

  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Appends an already formatted record: its one closing line feed ends the line, every other
  // control byte is escaped.
  void WriteText(const std::string& text);
  // Empty when there is no logging directory.
  std::string Path() const;

 private:
  const CSetting& log_dir_;
};

}  // namespace larkspire
