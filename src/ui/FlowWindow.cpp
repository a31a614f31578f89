#include "ui/FlowWindow.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "ui/FlowTail.h"
#include "ui/QtText.h"

namespace larkspire {

CFlowWindow::CFlowWindow(QWidget* main_window, AppCore& core)
    : CToolWindow(main_window, std::string(kCaption) + " - TCP/IP Communications",
                  {core.Settings().TCPIPLeft, core.Settings().TCPIPTop, core.Settings().TCPIPRight,
                   core.Settings().TCPIPBottom},
                  core.Settings().TCPIPVisible),
      core_(core),
      text_(new QPlainTextEdit(this)),
      clear_(new QPushButton(tr("&Clear"), this)) {
  text_->setObjectName("text");
  clear_->setObjectName("clear");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed = text_->font();
  fixed.setStyleHint(QFont::Monospace);
  fixed.setFamily(QStringLiteral("monospace"));
  text_->setFont(fixed);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  connect(clear_, &QPushButton::clicked, this, &CFlowWindow::Clear);
  resize(560, 360);
  RestoreState();
}

void CFlowWindow::AppendFlow(const std::string& text) { AppendFlowLines({text}); }

void CFlowWindow::AppendFlowLines(const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  core_.Transcript().has_content = true;
  // Each text follows the length rule on its own; the widget then shows the outcome once.
  bool cut = false;
  std::string added;
  for (const std::string& text : texts) {
    if (AppendFlowText(core_.Transcript().text, text)) {
      cut = true;
      added.clear();
    } else {
      added += text;
    }
  }
  if (!isVisible()) {
    widget_stale_ = true;
    return;
  }
  if (cut) {
    text_->setPlainText(ToQtLines(core_.Transcript().text));
  } else {
    text_->moveCursor(QTextCursor::End);
    text_->insertPlainText(ToQtLines(added));
  }
  text_->moveCursor(QTextCursor::End);
  text_->ensureCursorVisible();
}

void CFlowWindow::Clear() {
  core_.Transcript().text.clear();
  text_->clear();
  widget_stale_ = false;
}

void CFlowWindow::showEvent(QShowEvent* event) {
  CToolWindow::showEvent(event);
  if (!widget_stale_) return;
  widget_stale_ = false;
  text_->setPlainText(ToQtLines(core_.Transcript().text));
  text_->moveCursor(QTextCursor::End);
  text_->ensureCursorVisible();
}

}  // namespace larkspire
