// Starting a program by the file that was checked rather than by its name: the file is kept open
// from the check to the start, and the start execs the open descriptor. Whoever can rename
// entries on the way to the name may swap what the name stands for; they cannot swap the file a
// descriptor holds.
#pragma once

#include <string>

namespace larkspire {

class CHeldProgram {
 public:
  CHeldProgram() = default;
  // Opens the regular file at path read-only (a symbolic link is refused); !IsOpen() when that
  // fails, with errno telling why.
  explicit CHeldProgram(std::string path);
  ~CHeldProgram();
  CHeldProgram(CHeldProgram&& other) noexcept;
  CHeldProgram& operator=(CHeldProgram&& other) noexcept;
  CHeldProgram(const CHeldProgram&) = delete;
  CHeldProgram& operator=(const CHeldProgram&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // The name it was opened under (what the started program sees as its own path).
  const std::string& Path() const { return path_; }
  // The bytes of the file held, read through the descriptor; false when it cannot be read.
  bool ReadBytes(std::string& out) const;
  // Starts the file held as a program of its own session, detached from this one, with this
  // process's environment; false with errno when it cannot be started.
  bool StartDetached() const;

 private:
  void Close();

  std::string path_;
  int fd_ = -1;
};

}  // namespace larkspire
