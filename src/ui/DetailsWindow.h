// "Larkspire® - Details": every field of the selected entries with a short summary. It is
// rebuilt lazily: requests while one is pending, or while the window is hidden, cost nothing.
#pragma once

#include "ui/ToolWindow.h"

class QPlainTextEdit;

namespace larkspire {

class CEntryList;
class CSettings;

class CDetailsWindow : public CToolWindow {
  Q_OBJECT

 public:
  CDetailsWindow(QWidget* main_window, CSettings& settings, const CEntryList& entries);

  void RequestDetailsRefresh();
  // A rebuild has been asked for and not yet run.
  bool RefreshPending() const { return refresh_pending_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void PostRefresh();
  void Refresh();

  const CEntryList& entries_;
  QPlainTextEdit* text_;
  bool refresh_pending_ = false;
};

}  // namespace larkspire
