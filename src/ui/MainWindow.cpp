#include "ui/MainWindow.h"

#include <QTimer>

#include "app/AppCore.h"
#include "ui/QtText.h"

namespace larkspire {

std::string WindowTitle(const AppCore& core) {
  std::string title = kCaption;
  const std::string& org = core.Settings().OrgName.Text();
  if (!org.empty()) title += " - " + org;
  return title;
}

CMainWindow::CMainWindow(AppCore& core) : CQtUiHost(this, core.Log()), core_(core) {
  core_.SetUi(this);
  core_.FlowLog().SetEnabled(true);
  resize(800, 500);
}

CMainWindow::~CMainWindow() {
  core_.FlowLog().SetEnabled(false);
  core_.SetUi(nullptr);
}

void CMainWindow::RefreshTitle() { setWindowTitle(ToQt(WindowTitle(core_))); }

void CMainWindow::RequestClose() {
  QTimer::singleShot(0, this, &QWidget::close);
}

void CMainWindow::Start() {
  RefreshTitle();
  show();
  if (core_.auto_run) RequestClose();
}

}  // namespace larkspire
