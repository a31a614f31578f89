#include "run/TextProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <utility>

#include "platform/Clock.h"
#include "run/Log.h"

namespace larkspire {
namespace {

constexpr int kDefaultColumns = 80;

std::string FormatRate(double per_second) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", per_second);
  return text;
}

// The window's labels double "&" so it is not taken for a shortcut mark.
std::string PlainStatusText(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    plain += text[i];
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
  }
  return plain;
}

}  // namespace

CTextProgress::CTextProgress(CLog& log, std::FILE* terminal, int columns,
                             std::function<uint64_t()> clock_ms)
    : log_(log), terminal_(terminal), columns_(columns), clock_ms_(std::move(clock_ms)) {}

void CTextProgress::Begin(const std::string& caption, int range) {
  active_ = true;
  caption_ = caption;
  status_.clear();
  range_ = range;
  position_ = 0;
  began_ms_ = clock_ms_();
  logged_ms_ = began_ms_;
  log_.Write("Progress '%s' 0 of %d\n", caption_.c_str(), range_);
  Draw(true);
}

void CTextProgress::SetProgress(int position) {
  if (!active_) return;
  position_ = position;
  if (clock_ms_() - logged_ms_ >= kTextProgressLogMs) LogProgress();
  Draw(false);
}

void CTextProgress::SetStatusText(const std::string& text) {
  if (!active_) return;
  status_ = PlainStatusText(text);
  Draw(false);
}

void CTextProgress::End() {
  if (!active_) return;
  const double seconds = static_cast<double>(clock_ms_() - began_ms_) / 1000.0;
  log_.Write("Progress '%s' %d of %d in %.1f s, %s a second\n", caption_.c_str(), position_, range_,
             seconds, FormatRate(Rate()).c_str());
  Draw(true);
  BreakLine();
  active_ = false;
}

void CTextProgress::BreakLine() {
  if (!line_open_) return;
  std::fputc('\n', terminal_);
  std::fflush(terminal_);
  line_open_ = false;
}

std::string CTextProgress::Line() const {
  std::string line = caption_ + ": " + std::to_string(position_) + " of " + std::to_string(range_) +
                     ", " + FormatRate(Rate()) + "/s";
  if (!status_.empty()) line += ", " + status_;
  // One column short of the width, so the cursor never wraps and \r returns to this line.
  const std::size_t width = columns_ > 1 ? static_cast<std::size_t>(columns_ - 1) : 0;
  if (line.size() > width) line.resize(width);
  return line;
}

void CTextProgress::Draw(bool at_once) {
  if (terminal_ == nullptr) return;
  const uint64_t now = clock_ms_();
  if (!at_once && line_open_ && now - drawn_ms_ < kTextProgressRedrawMs) return;
  drawn_ms_ = now;
  std::string line = Line();
  // Blanks over what a longer line before left behind.
  line.resize(static_cast<std::size_t>(columns_ > 1 ? columns_ - 1 : 0), ' ');
  std::fputc('\r', terminal_);
  std::fputs(line.c_str(), terminal_);
  std::fflush(terminal_);
  line_open_ = true;
}

void CTextProgress::LogProgress() {
  logged_ms_ = clock_ms_();
  log_.Write("Progress '%s' %d of %d, %s a second\n", caption_.c_str(), position_, range_,
             FormatRate(Rate()).c_str());
}

double CTextProgress::Rate() const {
  const uint64_t elapsed = clock_ms_() - began_ms_;
  if (elapsed == 0) return 0.0;
  return static_cast<double>(position_) * 1000.0 / static_cast<double>(elapsed);
}

std::FILE* ProgressTerminal() { return ::isatty(STDERR_FILENO) == 1 ? stderr : nullptr; }

int TerminalColumns(std::FILE* terminal) {
  struct winsize size {};
  if (terminal != nullptr && ::ioctl(::fileno(terminal), TIOCGWINSZ, &size) == 0 &&
      size.ws_col > 0) {
    return size.ws_col;
  }
  return kDefaultColumns;
}

}  // namespace larkspire
