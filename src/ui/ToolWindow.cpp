#include "ui/ToolWindow.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QShortcut>

#include "run/Settings.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// A main window that is never put on a screen (a run without a display) keeps its tool
// windows off it too, and leaves their stored place and visibility as the user left them.
bool OffScreen(const QWidget* window) {
  return window->parentWidget() != nullptr &&
         window->parentWidget()->testAttribute(Qt::WA_DontShowOnScreen);
}

}  // namespace

CToolWindow::CToolWindow(QWidget* main_window, const std::string& title,
                         const PlacementSettings& placement, CSetting& visible)
    : QWidget(main_window, Qt::Tool), placement_(placement), visible_(visible) {
  setWindowTitle(ToQt(title));
  if (main_window != nullptr) setWindowIcon(main_window->windowIcon());
  // Closed from the keyboard as a dialog is; closing only hides it.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, &QWidget::close);
  }
}

CToolWindow::~CToolWindow() {
  if (!retired_) SavePlacement(*this, placement_);
}

void CToolWindow::RestoreState() {
  RestorePlacement(*this, placement_, parentWidget());
  if (visible_.Int() == 1 && !OffScreen(this)) show();
}

void CToolWindow::Present() {
  // The first showing of the run places the window again: with nothing saved it goes beside the
  // main window where that is now, not where it was when both were made.
  if (!shown_) RestorePlacement(*this, placement_, parentWidget());
  show();
  raise();
  activateWindow();
}

void CToolWindow::Retire() {
  if (retired_) return;
  retired_ = true;
  if (OffScreen(this)) return;
  SavePlacement(*this, placement_);
  visible_.SetInt(isVisible() ? 1 : 0);
}

void CToolWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  shown_ = true;
  if (!retired_ && !event->spontaneous()) visible_.SetInt(1);
}

void CToolWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!retired_ && !event->spontaneous()) visible_.SetInt(0);
}

void CToolWindow::closeEvent(QCloseEvent* event) {
  hide();
  event->ignore();
}

}  // namespace larkspire
