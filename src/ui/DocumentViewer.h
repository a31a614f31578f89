// The program's own viewer for a local file the desktop has no program to open (the help page,
// the HTML report, the log): a window with the file's path and its text, HTML shown as a page
// with its pictures, any other file as plain text.
#pragma once

#include <QWidget>
#include <string>

class QTextBrowser;

namespace larkspire {

class CDocumentViewer : public QWidget {
  Q_OBJECT

 public:
  // The local file a path or file:// address names, with a #section as the address's fragment;
  // an empty path when it names none (a web address).
  struct LocalDocument {
    std::string path;
    std::string section;
  };
  static LocalDocument LocalDocumentOf(const std::string& path_or_address);

  // Shows the document in a new window that deletes itself when closed; false (and nothing
  // shown) when the file cannot be read.
  static bool Show(const LocalDocument& document, QWidget* parent);

 private:
  CDocumentViewer(const LocalDocument& document, QWidget* parent);

  QTextBrowser* text_;
};

}  // namespace larkspire
