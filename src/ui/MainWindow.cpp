#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QTimer>

#include "app/AppCore.h"
#include "app/RunSequence.h"
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
  InitializeRun(core_);
}

CMainWindow::~CMainWindow() {
  SaveAtExit(core_);
  core_.FlowLog().SetEnabled(false);
  core_.SetUi(nullptr);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
  if (ConfirmClose(core_)) {
    event->accept();
  } else {
    event->ignore();
  }
}

void CMainWindow::RefreshTitle() { setWindowTitle(ToQt(WindowTitle(core_))); }

void CMainWindow::RequestClose() {
  QTimer::singleShot(0, this, &QWidget::close);
}

void CMainWindow::Start() {
  show();
  switch (DecideFirstShow(core_)) {
    case FirstShowAction::kClose:
      RequestClose();
      return;
    case FirstShowAction::kConfigure:
      RefreshTitle();
      core_.MessageBox("Larkspire has not been configured yet: set the organisation name, the "
                       "SMTP server and the addresses first.");
      RequestClose();
      return;
    case FirstShowAction::kRunInstallationAndUpdate:
      RefreshTitle();
      QTimer::singleShot(0, this, [this] { StartUnattendedWork(core_); });
      return;
  }
}

}  // namespace larkspire
