// The Qt side of UiHost that does not depend on the main window's widgets: message boxes,
// the prompt dialog, the event pump and opening documents.
#pragma once

#include <functional>
#include <memory>

#include "run/UiHost.h"

class QMessageBox;
class QObject;
class QWidget;

namespace larkspire {

class CLog;

// Tests answer message boxes through this instead of a person.
using MessageHook = std::function<MsgAnswer(const std::string& text, const std::string& caption,
                                            MsgButtons buttons, MsgAnswer default_answer)>;
void SetMessageHookForTesting(MessageHook hook);

// True when no one can see or answer a window (the offscreen platform outside tests).
bool IsHeadless();

// The box ShowQtMessage shows. Its text is plain text: messages carry server and page text (a
// status line, a proxy's bold text, a rules version), which must never be read as markup or
// offer links.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const std::string& text,
                                             const std::string& caption, MsgButtons buttons,
                                             MsgAnswer default_answer, MsgIcon icon);

// A message box with exactly this caption, through the test hook when one is set; headless, the
// box is logged (when a log is given) and written to stderr, and its default answer taken.
MsgAnswer ShowQtMessage(QWidget* parent, CLog* log, const std::string& text,
                        const std::string& caption, MsgButtons buttons, MsgAnswer default_answer,
                        MsgIcon icon = MsgIcon::kDefault);

class CQtUiHost : public UiHost {
 public:
  CQtUiHost(QWidget* parent, CLog& log);
  ~CQtUiHost() override;

  MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                        MsgAnswer default_answer, MsgIcon icon) override;
  void BeginBusy(const std::string&, int) override {}
  void SetProgress(int) override {}
  void SetStatusText(const std::string&) override {}
  void EndBusy() override {}
  bool Prompt(const std::string& caption, const std::string& prompt, std::string& text) override;
  void OpenDocument(const std::string& path_or_address) override;
  void PumpEvents(int max_wait_ms) override;
  void WakeUp() override;

 private:
  QWidget* parent_;
  CLog& log_;
  // Receives the wake-ups posted by workers; while it lives, a posted wake-up may still run.
  std::unique_ptr<QObject> waker_;
  // Set to end the innermost PumpEvents wait (user-interface thread only); null outside one.
  bool* pump_done_ = nullptr;
};

}  // namespace larkspire
