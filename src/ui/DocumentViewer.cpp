#include "ui/DocumentViewer.h"

#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/Files.h"
#include "run/Run.h"
#include "ui/QtText.h"

namespace larkspire {

CDocumentViewer::LocalDocument CDocumentViewer::LocalDocumentOf(
    const std::string& path_or_address) {
  constexpr std::string_view kFileScheme = "file://";
  std::string path = path_or_address;
  if (path.starts_with(kFileScheme)) {
    path.erase(0, kFileScheme.size());
  } else if (!path.starts_with('/')) {
    return {};
  }
  std::string section;
  if (const std::size_t hash = path.find('#'); hash != std::string::npos) {
    section = path.substr(hash + 1);
    path.erase(hash);
  }
  return {path, section};
}

bool CDocumentViewer::Show(const LocalDocument& document, QWidget* parent) {
  if (document.path.empty() || !CanReadFile(document.path)) return false;
  auto* viewer = new CDocumentViewer(document, parent);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return true;
}

CDocumentViewer::CDocumentViewer(const LocalDocument& document, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName("documentViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  const QString path = ToQt(document.path);
  setWindowTitle(ToQt(std::string(kCaption) + " - ") + QFileInfo(path).fileName());

  // The path, so the user can find the file again or open it elsewhere.
  auto* path_label = new QLabel(path, this);
  path_label->setObjectName("path");
  path_label->setTextFormat(Qt::PlainText);
  path_label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_ = new QTextBrowser(this);
  text_->setObjectName("text");
  text_->setOpenExternalLinks(true);

  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
    // Loaded from its place, so its pictures and links beside it are found.
    QUrl url = QUrl::fromLocalFile(path);
    if (!document.section.empty()) url.setFragment(ToQt(document.section));
    text_->setSource(url, QTextDocument::HtmlResource);
  } else {
    std::string bytes;
    ReadWholeFile(document.path, bytes);
    text_->setPlainText(ToQtLines(bytes));
    // A log is read from its end, where the last run wrote.
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(path_label);
  layout->addWidget(text_, 1);
  resize(760, 560);
}

}  // namespace larkspire
