// The running log, Larkspire.log in the logging directory: one UTC-stamped record per call,
// opened and closed each time (within a CLogKeptOpen, kept open between records), cut back to
// its last 10000 characters once it passes 100000 bytes. Logging never reports a failure.
// Records carry page and server text, so their control bytes are escaped as the flow log
// escapes them: a record is always exactly one line, and no text can forge one.
#pragma once

#include <string>

#include "platform/Files.h"

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
  friend class CLogKeptOpen;

  const CSetting& log_dir_;
  int kept_open_ = 0;  // live CLogKeptOpen scopes
  CAppendFile file_;
};

// While one lives, the log stays open from record to record, for work that writes thousands of
// them (an update run). The file is opened anew whenever its name stands for another file (a
// cut, or another instance's cut). Outside, the program holds nothing open in the logging
// directory, which may be a share to unmount or a disk to make read-only while it sits idle.
class CLogKeptOpen {
 public:
  explicit CLogKeptOpen(CLog& log) : log_(log) { ++log_.kept_open_; }
  ~CLogKeptOpen() {
    if (--log_.kept_open_ == 0) log_.file_.Close();
  }
  CLogKeptOpen(const CLogKeptOpen&) = delete;
  CLogKeptOpen& operator=(const CLogKeptOpen&) = delete;

 private:
  CLog& log_;
};

}  // namespace larkspire
