// The main window. For now it carries the title and the unattended run's close; the entry list
// and its commands build on it.
#pragma once

#include <QMainWindow>

#include "ui/QtUiHost.h"

namespace larkspire {

class AppCore;

class CMainWindow : public QMainWindow, public CQtUiHost {
  Q_OBJECT

 public:
  explicit CMainWindow(AppCore& core);
  ~CMainWindow() override;

  void RefreshTitle() override;
  void RequestClose() override;

  // The first show: title, then (unattended) the run's work and the close.
  void Start();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppCore& core_;
};

// "Larkspire®", " - " and the organisation when set.
std::string WindowTitle(const AppCore& core);

}  // namespace larkspire
