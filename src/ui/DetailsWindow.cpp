#include "ui/DetailsWindow.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "ui/ChangeSummary.h"
#include "ui/QtText.h"

namespace larkspire {

CDetailsWindow::CDetailsWindow(QWidget* main_window, CSettings& settings, const CEntryList& entries)
    : CToolWindow(main_window, std::string(kCaption) + " - Details",
                  {settings.DetailsLeft, settings.DetailsTop, settings.DetailsRight,
                   settings.DetailsBottom},
                  settings.DetailsVisible),
      entries_(entries),
      text_(new QPlainTextEdit(this)) {
  text_->setObjectName("text");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // A tab stop at 60 dialog units: a dialog unit is a quarter of the average character width.
  text_->setTabStopDistance(60.0 * QFontMetrics(text_->font()).averageCharWidth() / 4.0);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text_);
  resize(420, 520);
  RestoreState();
}

void CDetailsWindow::RequestDetailsRefresh() {
  if (refresh_pending_ || !isVisible()) return;
  PostRefresh();
}

void CDetailsWindow::showEvent(QShowEvent* event) {
  CToolWindow::showEvent(event);
  PostRefresh();
}

void CDetailsWindow::PostRefresh() {
  refresh_pending_ = true;
  QMetaObject::invokeMethod(this, &CDetailsWindow::Refresh, Qt::QueuedConnection);
}

void CDetailsWindow::Refresh() {
  refresh_pending_ = false;
  text_->setPlainText(ToQtLines(BuildChangeSummary(entries_)));
}

}  // namespace larkspire
