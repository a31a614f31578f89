#include "ui/DetailsWindow.h"

#include <QTextEdit>
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
      settings_(settings),
      entries_(entries),
      text_(new QTextEdit(this)) {
  text_->setObjectName("text");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QTextEdit::WidgetWidth);
  // A value with no blank in it (an address, a continuity list) still breaks at the edge.
  text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
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
  summary_ = BuildChangeSummary(entries_, ReadLastChanges(settings_.LogDir.Text()));
  text_->setHtml(SummaryHtml(summary_));
  emit Refreshed();
}

QString SummaryHtml(const std::string& summary) {
  QString html;
  bool in_table = false;
  const auto end_table = [&] {
    if (in_table) html += QStringLiteral("</table>");
    in_table = false;
  };
  const QStringList lines = ToQtLines(summary).split(QLatin1Char('\n'));
  for (const QString& line : lines) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab >= 0) {
      if (!in_table) {
        html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">");
      }
      in_table = true;
      // The caption column never wraps, so it is as wide as the longest caption.
      html +=
          QStringLiteral("<tr><td valign=\"top\" style=\"white-space:pre; padding-right:8px\">") +
          line.left(tab).toHtmlEscaped() + QStringLiteral("</td><td valign=\"top\">") +
          line.mid(tab + 1).toHtmlEscaped() + QStringLiteral("</td></tr>");
      continue;
    }
    end_table();
    if (line == QLatin1String("---")) {
      html += QStringLiteral("<hr>");
    } else if (!line.isEmpty()) {
      html +=
          QStringLiteral("<p style=\"margin:0\">") + line.toHtmlEscaped() + QStringLiteral("</p>");
    } else if (&line != &lines.back()) {  // the text's own last line end makes no line
      html += QStringLiteral("<p style=\"margin:0\">&nbsp;</p>");
    }
  }
  end_table();
  return html;
}

}  // namespace larkspire
