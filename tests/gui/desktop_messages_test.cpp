// Message boxes wide enough for their titles, and opening a document the desktop cannot open
// saying so with the path.
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "WidgetFinder.h"
#include "support/GuiTestApp.h"
#include "ui/MessageBoxTitle.h"
#include "ui/OpenWithDesktop.h"

using namespace larkspire;

namespace {

// An opener that ends with the exit code, as xdg-open does.
QString Opener(const QTemporaryDir& dir, const QString& name, int exit_code) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  file.write(QByteArray("#!/bin/sh\nexit ") + QByteArray::number(exit_code) + "\n");
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

}  // namespace

class DesktopMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void aShortMessageIsAsWideAsItsTitle() {
    const QString title = QString::fromLatin1("Larkspire\xAE - Update Master List Failed");
    QMessageBox plain(QMessageBox::Warning, title, "Operation canceled.", QMessageBox::Ok);
    plain.show();
    QMessageBox widened(QMessageBox::Warning, title, "Operation canceled.", QMessageBox::Ok);
    MakeRoomForTitle(widened);
    widened.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widened));
    QVERIFY(plain.width() < TitleWidth(widened));
    QVERIFY(widened.width() >= TitleWidth(widened));
    // A long text is not made narrower.
    QMessageBox wide(QMessageBox::Warning, "x", QString(400, 'w'), QMessageBox::Ok);
    wide.show();
    const int before = wide.width();
    QMessageBox wide_too(QMessageBox::Warning, "x", QString(400, 'w'), QMessageBox::Ok);
    MakeRoomForTitle(wide_too);
    wide_too.show();
    QCOMPARE(wide_too.width(), before);
  }

  void theOpenerIsToldOfOnlyWhenItFails() {
    QTemporaryDir dir;
    QObject context;
    struct Case {
      const char* name;
      QString opener;
      bool fails;
    };
    for (const Case& c : {Case{"opened", Opener(dir, "ok", 0), false},
                          Case{"no program for it", Opener(dir, "none", 3), true},
                          Case{"no opener at all", dir.filePath("missing"), true}}) {
      int failures = 0;
      bool done = false;
      OpenWithDesktop(
          "/tmp/Larkspire.html", &context, [&] { ++failures; }, c.opener);
      // A second opener that always ends tells when the first has had its time.
      OpenWithDesktop(
          "x", &context, [&] { done = true; }, Opener(dir, "done", 1));
      QTRY_VERIFY(done);
      QTest::qWait(100);
      QCOMPARE(failures, c.fails ? 1 : 0);
    }
  }

  void aFailedOpenSaysSoWithThePath() {
    QTemporaryDir dir;
    QVERIFY(QFile::rename(Opener(dir, "xdg", 4), dir.filePath("xdg-open")));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toLocal8Bit());
    CGuiTestApp test;
    CQtUiHost host(nullptr, test.App().Log());
    host.OpenDocument("/var/lib/larkspire/Larkspire.log");
    QTRY_COMPARE(test.Ui().messages.size(), std::size_t{1});
    qputenv("PATH", path);
    QCOMPARE(test.Ui().messages[0].caption, std::string("Larkspire\xAE - Open Failed"));
    QVERIFY(test.Ui().messages[0].text.find("/var/lib/larkspire/Larkspire.log") !=
            std::string::npos);
  }

  void aFileTheDesktopCannotOpenIsShownInTheProgramsOwnViewer() {
    QTemporaryDir dir;
    QVERIFY(QFile::rename(Opener(dir, "xdg", 4), dir.filePath("xdg-open")));
    const QString page = dir.filePath("help.html");
    const QString log = dir.filePath("Larkspire.log");
    {
      QFile file(page);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(
          "<html><body><h1>Larkspire Help</h1><h2 id=\"config\">Configure</h2>"
          "</body></html>");
    }
    {
      QFile file(log);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("Start 'Larkspire'\r\nPost E-Mail 'Larkspire_s1.tmp'\r\n");
    }
    struct Case {
      QString address;
      QString path;
      QString shown;
    };
    const Case cases[] = {
        {"file://" + page + "#config", page, "Larkspire Help\nConfigure"},
        {page, page, "Larkspire Help\nConfigure"},
        {log, log, "Start 'Larkspire'\nPost E-Mail 'Larkspire_s1.tmp'\n"},
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toLocal8Bit());
    CGuiTestApp test;
    CQtUiHost host(nullptr, test.App().Log());
    const auto viewer = []() -> QWidget* {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "documentViewer" && w->isVisible()) return w;
      }
      return nullptr;
    };
    for (const Case& c : cases) {
      host.OpenDocument(c.address.toStdString());
      QTRY_VERIFY(viewer() != nullptr);
      QWidget* shown = viewer();
      QCOMPARE(Child<QLabel>(*shown, "path").text(), c.path);
      QCOMPARE(Child<QTextBrowser>(*shown, "text").toPlainText(), c.shown);
      QVERIFY(shown->windowTitle().endsWith(QFileInfo(c.path).fileName()));
      QVERIFY(shown->close());
      QTRY_VERIFY(viewer() == nullptr);
    }
    QVERIFY(test.Ui().messages.empty());
    // A web address is not the viewer's: it is still said with the address.
    host.OpenDocument("https://data.uspto.gov/myodp");
    QTRY_COMPARE(test.Ui().messages.size(), std::size_t{1});
    qputenv("PATH", path);
    QVERIFY(test.Ui().messages[0].text.find("https://data.uspto.gov/myodp") != std::string::npos);
  }
};

QTEST_MAIN(DesktopMessagesTest)
#include "desktop_messages_test.moc"
