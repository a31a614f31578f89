// The INI settings backend keeps every value as one string, whatever it holds.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "platform/qt/QtSettingsBackend.h"

using larkspire::CQtSettingsBackend;

class SettingsBackendTest : public QObject {
  Q_OBJECT

 private slots:
  void valuesComeBackUnchanged() {
    QTemporaryDir dir;
    const QString path = dir.filePath("conf/Larkspire.ini");
    const std::string tricky[] = {"a@b.example, c@d.example", "/srv/a,b/log",
                                  "Org \xAE \"x\" ; #",       "",
                                  " leading and trailing ",   "100%"};
    {
      CQtSettingsBackend backend(path);
      int n = 0;
      for (const std::string& value : tricky)
        backend.Write("Settings", "V" + std::to_string(n++), value);
      backend.Write("", "Install", "/opt/x");
    }
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(static_cast<int>(st.st_mode & 0777), 0600);

    CQtSettingsBackend backend(path);
    int n = 0;
    for (const std::string& value : tricky) {
      auto read = backend.Read("Settings", "V" + std::to_string(n++));
      QVERIFY(read.has_value());
      QCOMPARE(*read, value);
    }
    QCOMPARE(*backend.Read("", "Install"), std::string("/opt/x"));
    QVERIFY(!backend.Read("Settings", "Install").has_value());
    QVERIFY(backend.Remove("Settings", "V0"));
    QVERIFY(!backend.Remove("Settings", "V0"));
  }

  void handEditedListIsReadAsOneString() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Larkspire.ini");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nNotifyAddress1=a@b.example, c@d.example\n");
    file.close();
    CQtSettingsBackend backend(path);
    QCOMPARE(*backend.Read("Settings", "NotifyAddress1"), std::string("a@b.example, c@d.example"));
  }
};

QTEST_GUILESS_MAIN(SettingsBackendTest)
#include "settings_backend_test.moc"
