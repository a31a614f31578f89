// Options > Upgrade in the real window against the simulator, which serves the publisher's rules
// and program files behind the proxy, each with a manifest signed by a key made for the test:
// the rules are brought up to date first, the compressed
// program (made by Debian's compressor, or by hand with an overlapping back-reference or one
// that wraps the window) or the plain one is downloaded and unpacked, the upgrade report is
// mailed, and the unpacked copy is the program that starts when the run ends.
#include "app/Upgrade.h"

#include <sys/stat.h>

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QtTest>
#include <optional>

#include "WidgetFinder.h"
#include "platform/Files.h"
#include "support/GuiTestApp.h"
#include "support/LzFile.h"
#include "support/RulesText.h"
#include "support/SmtpTestServer.h"
#include "support/TestSigningKey.h"
#include "ui/HandOver.h"
#include "ui/MainActions.h"
#include "ui/MainWindow.h"

using namespace larkspire;

namespace {

const std::string kData = LARKSPIRE_TEST_DATA;

std::string ReadData(const std::string& name) {
  std::string bytes;
  ReadWholeFile(kData + "/lz/" + name, bytes);
  return bytes;
}

// A compressed file around hand-made packed data: each item is a literal byte or a
// back-reference (window position, length), eight items to a flag byte.
struct PackedItem {
  char literal = 0;
  int position = -1;
  int length = 0;
};

std::string Compressed(const std::vector<PackedItem>& items, std::size_t unpacked_length) {
  std::string out;
  for (std::size_t group = 0; group < items.size(); group += 8) {
    std::string flags(1, '\0');
    std::string body;
    for (std::size_t i = group; i < items.size() && i < group + 8; ++i) {
      const PackedItem& item = items[i];
      if (item.position < 0) {
        flags[0] = static_cast<char>(flags[0] | (1 << (i - group)));
        body += item.literal;
      } else {
        body += static_cast<char>(item.position & 0xFF);
        body += static_cast<char>(((item.position >> 4) & 0xF0) | (item.length - 3));
      }
    }
    out += flags + body;
  }
  return LzFileAround(unpacked_length, out);
}

std::vector<PackedItem> Literals(const std::string& text) {
  std::vector<PackedItem> items;
  for (char c : text) items.push_back({c});
  return items;
}

const std::string kElf =
    "\x7F"
    "ELF";

// The first byte goes to window position 4080: "ab" sits at 4084, and ten bytes copied from
// there read the bytes the copy itself writes.
std::pair<std::string, std::string> OverlappingVector() {
  std::vector<PackedItem> items = Literals(kElf + "ab");
  items.push_back({0, 4084, 10});
  return {Compressed(items, 16), kElf + "ab" + "ababababab"};
}

// Twenty literals fill 4080..4095 and go on at 0..3; ten bytes from 4090 cross the window's end.
std::pair<std::string, std::string> WrappingVector() {
  std::vector<PackedItem> items = Literals(kElf + "ABCDEFGHIJKLMNOP");
  items.push_back({0, 4090, 10});
  return {Compressed(items, 30), kElf + "ABCDEFGHIJKLMNOP" + "GHIJKLMNOP"};
}

// larkspire-sim on a free port, with the given files; its request log is kept.
class CSimulator {
 public:
  explicit CSimulator(const QStringList& arguments) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(LARKSPIRE_SIM, QStringList{"--port", "0", "--date", "2008-06-30"} + arguments);
    if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(10000)) return;
    const QString line = QString::fromLatin1(process_.readLine()).trimmed();
    if (line.startsWith("listening on ")) address_ = line.mid(13).toStdString();
  }
  ~CSimulator() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  const std::string& Address() const { return address_; }
  // The request lines logged so far, once the one for path has come (or after five seconds).
  QString RequestsThrough(const QString& path) {
    QDeadlineTimer deadline(5000);
    for (;;) {
      log_ += QString::fromLatin1(process_.readAllStandardError());
      if (log_.contains(path) || deadline.hasExpired()) return log_;
      process_.waitForReadyRead(100);
    }
  }

 private:
  QProcess process_;
  std::string address_;
  QString log_;
};

}  // namespace

class UpgradeTest : public QObject {
  Q_OBJECT

 private:
  // Writes the rules the simulator serves, with their manifest: this version, the publisher's
  // default addresses, and "appc" only when compressed is true. Each file is named as the
  // publisher's address names it, since a manifest must name the file it is fetched for.
  std::string WriteRules(const CGuiTestApp& fixture, const std::string& version, bool compressed) {
    std::map<std::string, std::string> location;
    if (!compressed) location["appc"] = "";
    const std::string path = fixture.dir.File("larkspire.txt");
    key_.WriteSigned(path, "rules", version, RulesWithLocation(version, location));
    return path;
  }

  // Writes a program release of version 9.9.99 with its manifest.
  std::string WriteServed(const CGuiTestApp& fixture, const std::string& name,
                          const std::string& bytes) {
    const std::string path = fixture.dir.File(name);
    key_.WriteSigned(path, "program", "9.9.99", bytes);
    return path;
  }

  // The run checks the publisher's manifests with the test's key.
  void TrustTestKey(CGuiTestApp& fixture) { fixture->Rules().publisher_key = key_.PublicPem(); }

  // Options > Upgrade through the window against a simulator started with sim_args, the
  // question answered Yes, for an upgrade that must fail: nothing is scheduled and the window
  // stays. shown is the message after the question.
  void UpgradeThatFails(CGuiTestApp& fixture, const QStringList& sim_args,
                        CScriptedUi::Message& shown) {
    CSimulator sim(sim_args);
    QVERIFY(!sim.Address().empty());
    fixture->Settings().ProxyServer.Set(sim.Address());
    TrustTestKey(fixture);
    fixture.Ui().answers = {MsgAnswer::kYes};
    CMainWindow window(*fixture);
    window.show();

    Actions(window).Action(kCmdUpgrade)->trigger();

    QCOMPARE(fixture.Ui().messages.size(), std::size_t{2});
    shown = fixture.Ui().messages[1];
    QCOMPARE(ScheduledProgram(), std::string());
    QTest::qWait(50);
    QVERIFY(window.isVisible());
  }

  CTestSigningKey key_;

 private slots:
  void init() { ScheduleProgramStart(""); }
  void cleanup() { ScheduleProgramStart(""); }

  void downloadsUnpacksReportsAndHandsOver_data() {
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QByteArray>("program");
    const std::string program = ReadData("program");
    const auto bytes = [](const std::string& s) { return QByteArray(s.data(), s.size()); };
    QTest::newRow("made by mscompress") << bytes(ReadData("program_")) << true << bytes(program);
    const auto [overlapping, overlapping_program] = OverlappingVector();
    QTest::newRow("overlapping reference")
        << bytes(overlapping) << true << bytes(overlapping_program);
    const auto [wrapping, wrapping_program] = WrappingVector();
    QTest::newRow("wrapping reference") << bytes(wrapping) << true << bytes(wrapping_program);
    QTest::newRow("uncompressed") << bytes(program) << false << bytes(program);
  }

  void downloadsUnpacksReportsAndHandsOver() {
    QFETCH(QByteArray, served);
    QFETCH(bool, compressed);
    QFETCH(QByteArray, program);
    CSmtpTestServer smtp;
    CGuiTestApp fixture({{"SmtpServer", smtp.HostPort()},
                         {"ReturnAddress", "docket@example.com"},
                         {"Timeout", "1m"}});
    const std::string file =
        WriteServed(fixture, compressed ? "larkspire.ex_" : "larkspire.exe", served.toStdString());
    CSimulator sim(
        {"--rules", QString::fromStdString(WriteRules(fixture, "9.9.99.000", compressed)),
         compressed ? "--program-compressed" : "--program", QString::fromStdString(file)});
    QVERIFY(!sim.Address().empty());
    fixture->Settings().ProxyServer.Set(sim.Address());
    TrustTestKey(fixture);
    // The user's private directory, where the upgrade unpacks.
    const std::string runtime = fixture.dir.File("runtime");
    QVERIFY(::mkdir(runtime.c_str(), 0700) == 0);
    const QByteArray old_runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    fixture.Ui().answers = {MsgAnswer::kYes};  // download and install
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(!window.windowTitle().contains("available"));

    Actions(window).Action(kCmdUpgrade)->trigger();

    // The rules came first, and the title advertised the version they name.
    const QString requests =
        sim.RequestsThrough(compressed ? "/support/larkspire.ex_" : "/support/larkspire.exe");
    const qsizetype rules_at = requests.indexOf("/support/larkspire.txt");
    const qsizetype program_at =
        requests.indexOf(compressed ? "/support/larkspire.ex_" : "/support/larkspire.exe");
    QVERIFY2(rules_at >= 0 && program_at > rules_at, qPrintable(requests));
    QVERIFY(window.windowTitle().contains("(v9.9.99 available - use Options|Upgrade)"));
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
    QCOMPARE(fixture.Ui().messages[0].text,
             std::string("Do you want to download and install the latest version?"));

    qputenv("XDG_RUNTIME_DIR", old_runtime);
    // Started from a new directory of the user's private directory, by the file held open
    // since it was checked.
    const std::string unpacked = ScheduledProgram();
    QCOMPARE(unpacked.rfind(JoinPath(runtime, kUpgradeFolderPrefix), 0), std::size_t{0});
    QVERIFY(ScheduledUnpackedProgram() != nullptr);
    QVERIFY(IsIntact(*ScheduledUnpackedProgram()));
    std::string bytes;
    QVERIFY(ScheduledUnpackedProgram()->file.ReadBytes(bytes));
    QCOMPARE(QByteArray(bytes.data(), bytes.size()), program);
    QVERIFY(smtp.WaitForSessions(1));
    QVERIFY(smtp.Data().find("Upgrade for Example Patent Group") != std::string::npos);
    // The window closes so that this run saves everything before the new copy starts.
    QTRY_VERIFY(!window.isVisible());
  }

  void aFailedDownloadIsShownAndTheWindowStays() {
    CGuiTestApp fixture({{"Timeout", "1m"}});
    // The rules name a newer program, but the simulator has no program file to give.
    CScriptedUi::Message shown;
    UpgradeThatFails(fixture,
                     {"--rules", QString::fromStdString(WriteRules(fixture, "9.9.99.000", true))},
                     shown);
    QCOMPARE(shown.caption, std::string(kCaption) + " - Download Failed");
    QVERIFY2(shown.text.find("404") != std::string::npos, shown.text.c_str());
  }

  void aProgramItsManifestDoesNotVouchForIsRefusedAndTheWindowStays() {
    CGuiTestApp fixture({{"Timeout", "1m"}});
    const std::string program = ReadData("program_");
    const std::string file = WriteServed(fixture, "larkspire.ex_", program);
    // One byte changed after signing, as on a path that rewrites the download.
    std::string changed = program;
    changed[changed.size() / 2] ^= 0x01;
    SaveFileAtomically(file, changed);
    CScriptedUi::Message shown;
    UpgradeThatFails(fixture,
                     {"--rules", QString::fromStdString(WriteRules(fixture, "9.9.99.000", true)),
                      "--program-compressed", QString::fromStdString(file)},
                     shown);
    QCOMPARE(shown.caption, std::string(kCaption) + " - Upgrade Refused");
    QCOMPARE(shown.text,
             std::string("The downloaded program was refused: the file's SHA-256 differs from "
                         "its manifest's. The program in use stays."));
    // Nothing was unpacked.
    QVERIFY(QDir(QString::fromStdString(fixture.dir.Path()))
                .entryList({QString(kUpgradeFolderPrefix) + "*"}, QDir::Dirs)
                .isEmpty());
  }

  void aCurrentProgramSaysSoAndDownloadsNothing() {
    CGuiTestApp fixture;
    const std::string current = fixture->VersionText() + ".000";
    CSimulator sim({"--rules", QString::fromStdString(WriteRules(fixture, current, true)),
                    "--program-compressed", QString::fromStdString(kData + "/lz/program_")});
    QVERIFY(!sim.Address().empty());
    fixture->Settings().ProxyServer.Set(sim.Address());
    TrustTestKey(fixture);
    CMainWindow window(*fixture);
    window.show();

    Actions(window).Action(kCmdUpgrade)->trigger();

    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
    QCOMPARE(fixture.Ui().messages[0].text,
             std::string("You are using the latest version available."));
    QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption));
    const QString requests = sim.RequestsThrough("/support/larkspire.txt");
    QVERIFY2(requests.contains("/support/larkspire.txt"), qPrintable(requests));
    QVERIFY2(!requests.contains("/support/larkspire.ex"), qPrintable(requests));
    QVERIFY(!window.windowTitle().contains("available"));
    QCOMPARE(ScheduledProgram(), std::string());
  }
};

QTEST_MAIN(UpgradeTest)
#include "upgrade_test.moc"
