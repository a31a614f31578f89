// Widgets found the way a user finds them, by their object name, instead of through accessors
// the client would carry only for tests; and the parts of the main window by name.
#pragma once

#include <QObject>
#include <QPlainTextEdit>
#include <QtGlobal>
#include <string>

#include "ui/BusyPanel.h"
#include "ui/DetailsWindow.h"
#include "ui/EntryListView.h"
#include "ui/FlowWindow.h"
#include "ui/MainActions.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"

namespace larkspire {

// The child of the given type and object name; a missing one ends the test program, since no
// check after it would mean anything.
template <typename T>
T& Child(const QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) {
    qFatal("%s has no %s named \"%s\"", parent.metaObject()->className(),
           T::staticMetaObject.className(), name);
  }
  return *child;
}

// What a tool window's text field shows, with the CR LF line ends of the text it was given.
inline std::string ShownText(QWidget& window) {
  std::string text;
  for (char c : FromQt(Child<QPlainTextEdit>(window, "text").toPlainText())) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

inline CEntryListView& List(CMainWindow& window) {
  return Child<CEntryListView>(window, "entryList");
}
inline CMainActions& Actions(CMainWindow& window) { return Child<CMainActions>(window, "actions"); }
inline CBusyPanel& Busy(CMainWindow& window) { return Child<CBusyPanel>(window, "busy"); }
inline CDetailsWindow& Details(CMainWindow& window) {
  return Child<CDetailsWindow>(window, "details");
}
inline CFlowWindow& Flow(CMainWindow& window) { return Child<CFlowWindow>(window, "tcpIpFlow"); }

}  // namespace larkspire
