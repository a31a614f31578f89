// "Larkspire® - TCP/IP Communications": the tail of the TCP/IP flow log. The text itself lives
// in the run's transcript, so its length rule and the [TCPIPFlow] variable count characters the
// way the log writes them, CR LF included; the widget only shows it.
#pragma once

#include <string>
#include <vector>

#include "ui/ToolWindow.h"

class QPlainTextEdit;
class QPushButton;

namespace larkspire {

class AppCore;

class CFlowWindow : public CToolWindow {
  Q_OBJECT

 public:
  CFlowWindow(QWidget* main_window, AppCore& core);

  void AppendFlow(const std::string& text);
  // The same for many lines in a row, with one update of the widget.
  void AppendFlowLines(const std::vector<std::string>& texts);
  // "&Clear": empties the text; whether anything was ever appended stays known.
  void Clear();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  AppCore& core_;
  QPlainTextEdit* text_;
  QPushButton* clear_;
  // The widget follows the text only while it is shown: laying out lines nobody sees costs
  // font work on every network exchange. Showing the window brings it up to date.
  bool widget_stale_ = false;
};

}  // namespace larkspire
