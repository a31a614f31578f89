// The busy display of a run nobody watches. The log gets a line as a busy period begins, every
// half minute while it lasts and as it ends; on a terminal, one line on standard error shows
// the count, the current item and the rate, redrawn in place the way command-line tools show
// long work.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace larkspire {

class CLog;

inline constexpr uint64_t kTextProgressRedrawMs = 100;
inline constexpr uint64_t kTextProgressLogMs = 30000;

class CTextProgress {
 public:
  // terminal: where the one-line display goes (standard error when that is a terminal), null
  // for none; columns: its width. clock_ms: a monotonic clock in milliseconds.
  CTextProgress(CLog& log, std::FILE* terminal, int columns, std::function<uint64_t()> clock_ms);

  // A period begun while another lasts replaces it (an inner period sets a new caption and
  // range, as the window's busy display does).
  void Begin(const std::string& caption, int range);
  void SetProgress(int position);
  // The window's status text: "&&" stands for one "&" there.
  void SetStatusText(const std::string& text);
  void End();
  // Ends the display's line, so text written next to the terminal starts on a line of its
  // own; the display starts a new line at its next redraw.
  void BreakLine();

  // The display's text, cut to the width: caption, count and range, rate, status text.
  std::string Line() const;

 private:
  void Draw(bool at_once);
  void LogProgress();
  double Rate() const;

  CLog& log_;
  std::FILE* terminal_;
  int columns_;
  std::function<uint64_t()> clock_ms_;
  bool active_ = false;
  std::string caption_;
  std::string status_;
  int range_ = 0;
  int position_ = 0;
  uint64_t began_ms_ = 0;
  uint64_t drawn_ms_ = 0;
  uint64_t logged_ms_ = 0;
  bool line_open_ = false;
};

// Standard error when it is a terminal (null otherwise), and that terminal's width.
std::FILE* ProgressTerminal();
int TerminalColumns(std::FILE* terminal);

}  // namespace larkspire
