// "Larkspire® - Details": every field of the selected entries with a short summary, and what
// each one's last change changed when the logging directory keeps it. It is
// rebuilt lazily: requests while one is pending, or while the window is hidden, cost nothing.
// Each entry's fields show as two columns, the captions as wide as the longest and the values
// wrapped in the rest of the width, so nothing hides behind a scroll bar.
#pragma once

#include <QString>
#include <string>

#include "ui/ToolWindow.h"

class QTextEdit;

namespace larkspire {

class CEntryList;
class CSettings;

class CDetailsWindow : public CToolWindow {
  Q_OBJECT

 public:
  CDetailsWindow(QWidget* main_window, CSettings& settings, const CEntryList& entries);

  void RequestDetailsRefresh();
  // The summary shown now, with CR LF line ends.
  const std::string& SummaryText() const { return summary_; }
  QTextEdit& TextField() { return *text_; }
  bool RefreshPending() const { return refresh_pending_; }

 signals:
  // After each rebuild, so parts added below the summary show the same selection.
  void Refreshed();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void PostRefresh();
  void Refresh();

  CSettings& settings_;
  const CEntryList& entries_;
  QTextEdit* text_;
  std::string summary_;
  bool refresh_pending_ = false;
};

// The summary as the window shows it: each run of "caption:\tvalue" lines a table of two
// columns, other lines paragraphs, "---" a rule.
QString SummaryHtml(const std::string& summary);

}  // namespace larkspire
