// The one way the core reaches the user. The Qt main window implements it; tests use a
// scripted implementation that records what was shown and answers from a script.
#pragma once

#include <string>

namespace larkspire {

enum class MsgButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MsgAnswer { kOk, kCancel, kYes, kNo };
// kDefault: information for a box with OK alone, a question for a box that asks.
enum class MsgIcon { kDefault, kWarning };

class UiHost {
 public:
  virtual ~UiHost() = default;

  // A modal message box; returns the button chosen. AppCore clears the unattended flag before
  // it calls this, so callers go through AppCore::MessageBox.
  virtual MsgAnswer ShowMessage(const std::string& text, const std::string& caption,
                                MsgButtons buttons, MsgAnswer default_answer, MsgIcon icon) = 0;

  // The busy display. AppCore tracks nesting: BeginBusy comes for every level (an inner one
  // sets a new caption and range), EndBusy only when the outermost period ends.
  virtual void BeginBusy(const std::string& caption, int range) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void EndBusy() = 0;
  // Whether the time-out choice is offered during the current busy period.
  virtual void ShowTimeoutChoice(bool /*visible*/) {}

  // The prompt dialog: false on Cancel; the text starts with what it is given.
  virtual bool Prompt(const std::string& caption, const std::string& prompt, std::string& text) = 0;

  virtual void RedrawRow(int /*row*/) {}
  virtual void RefreshList() {}
  virtual void RefreshTitle() {}
  virtual void OpenDocument(const std::string& path_or_address) = 0;
  virtual void RequestClose() {}

  // Waits up to max_wait_ms for user input, then dispatches what arrived. Network waits call
  // it every pass so the window stays responsive.
  virtual void PumpEvents(int max_wait_ms) = 0;
  // Ends a PumpEvents wait early; called from worker threads when their work is done.
  virtual void WakeUp() {}
};

}  // namespace larkspire
