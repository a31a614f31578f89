// File > Import... and File > Export... through the window: the preview shows what will be added
// and what is refused and why, accepting it adds with the "entry added" notices, and the list
// survives export, delete all, import of the export and a second export byte for byte.
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "WidgetFinder.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/CsvCommands.h"
#include "ui/EntryListView.h"
#include "ui/ImportPreviewDialog.h"
#include "ui/MainActions.h"
#include "ui/MainWindow.h"

using namespace larkspire;

namespace {

QString Path(const CGuiTestApp& fixture, const char* name) {
  return QString::fromStdString(fixture.dir.File(name));
}

std::string ReadBytes(const QString& path) {
  std::string bytes;
  ReadWholeFile(path.toStdString(), bytes);
  return bytes;
}

void WriteBytes(const QString& path, const std::string& bytes) {
  QVERIFY(SaveFileAtomically(path.toStdString(), bytes));
}

std::vector<std::string> Column(QTreeWidget& table, int column) {
  std::vector<std::string> cells;
  for (int row = 0; row < table.topLevelItemCount(); ++row) {
    cells.push_back(table.topLevelItem(row)->text(column).toStdString());
  }
  return cells;
}

int CountWithPrefix(const std::vector<std::string>& names, const char* prefix) {
  return static_cast<int>(std::count_if(
      names.begin(), names.end(), [&](const std::string& n) { return n.starts_with(prefix); }));
}

}  // namespace

class CsvCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void exportDeleteAllImportExportAgainIsByteIdentical() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.SortBy(SortTrigger::kByField, kReference);
    CEntry patented = MakeEntry("R&D-1, \"main\"", "10/123,456", "2003-05-12", "KIM, JUNE H");
    patented.SetText(kPatNum, "7,091,234");
    patented.SetText(kStatus, "Patented Case");
    patented.SetText(kLastHistoryDate, "2006-08-15");
    patented.SetText(kLastHistoryText, "Recordation of Patent Grant Mailed");
    patented.SetText(kForeign, "GERMANY | 102 21 456.7; 2002-05-14");
    patented.frequency = kMonthly;
    patented.last_update = TodayDayNumber() - 3;
    patented.last_change = TodayDayNumber() - 40;
    CEntry published = MakeEntry("Caf\xE9-2\xAE", "", "", "");
    published.SetText(kPubNum, "US 2005-0064321 A1");
    published.frequency = kNever;
    CEntry pending = MakeEntry("=SUM(A1)", "11/456,789", "2005-09-01");
    pending.SetText(kError, "HttpGet: Operation timed out.");
    for (const CEntry& entry : {patented, published, pending}) {
      fixture->Entries().Insert(entry);
    }
    window.RefreshList();

    const QString first = Path(fixture, "first.csv");
    QVERIFY(ExportListFile(*fixture, first));
    Actions(window).Action(kCmdSelectAll)->trigger();
    fixture.Ui().answers.push_back(MsgAnswer::kYes);
    Actions(window).Action(kCmdDelete)->trigger();
    QVERIFY(fixture->Entries().Empty());

    std::vector<int> counts;
    QString add_text;
    WhenModal<CImportPreviewDialog>([&](CImportPreviewDialog* dialog) {
      counts = {dialog->Additions().topLevelItemCount(), dialog->Refusals().topLevelItemCount(),
                dialog->AddButton().isEnabled() ? 1 : 0};
      add_text = dialog->AddButton().text();
      dialog->AddButton().click();
    });
    QCOMPARE(ImportListFile(*fixture, &window, first), std::size_t{3});
    QCOMPARE(counts, (std::vector<int>{3, 0, 1}));
    QCOMPARE(add_text, QString("&Add 3 entries"));
    QCOMPARE(List(window).model()->rowCount(), 3);
    // Three "entry deleted" notices, then three "entry added" ones.
    const std::vector<std::string> queued = fixture.PendingList();
    QCOMPARE(CountWithPrefix(queued, "Larkspire_d"), 3);
    QCOMPARE(CountWithPrefix(queued, "Larkspire_a"), 3);

    const QString second = Path(fixture, "second.csv");
    QVERIFY(ExportListFile(*fixture, second));
    const std::string bytes = ReadBytes(first);
    QVERIFY(bytes.size() > 200);
    QCOMPARE(ReadBytes(second), bytes);
    QVERIFY(fixture.Ui().messages.size() == 1);  // the delete question alone
  }

  void thePreviewShowsWhatIsRefusedAndWhyAndCancelAddsNothing() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    fixture->Entries().Insert(MakeEntry("LISTED-1", "10/123,456"));
    window.RefreshList();
    // Excel's way: a byte order mark, semicolons, CR LF, a quoted field with a line break.
    const QString path = Path(fixture, "excel.csv");
    WriteBytes(path,
               "\xEF\xBB\xBFOur Ref;Application No\r\n"
               "NEW-1;12/345,001\r\n"
               "AGAIN;10/123,456\r\n"
               "BAD;12/34\r\n"
               ";11/456,789\r\n"
               "TWICE;12/345,001\r\n"
               "\"Two\r\nlines\";US 2005-0064321 A1\r\n");
    // What the preview shows, read while it is open and checked once it has closed.
    QString title;
    QString summary;
    std::vector<std::vector<std::string>> shown;
    WhenModal<CImportPreviewDialog>([&](CImportPreviewDialog* dialog) {
      title = dialog->windowTitle();
      summary = dialog->Summary().text();
      shown = {Column(dialog->Additions(), 1), Column(dialog->Additions(), 2),
               Column(dialog->Refusals(), 0), Column(dialog->Refusals(), 3)};
      dialog->reject();
    });
    QCOMPARE(ImportListFile(*fixture, &window, path), std::size_t{0});
    QCOMPARE(title, QString::fromLatin1("Larkspire\xAE - Import"));
    QCOMPARE(shown, (std::vector<std::vector<std::string>>{
                        {"NEW-1", "Two  lines"},
                        {"12/345,001", "US 2005-0064321 A1"},
                        {"3", "4", "5", "6"},
                        {"duplicate of LISTED-1 in the list", kImportInvalidNumber,
                         kImportNoReference, "duplicate of line 2"}}));
    QVERIFY2(summary.contains("2 entries will be added"), qPrintable(summary));
    QVERIFY2(summary.contains("4 rows are refused."), qPrintable(summary));
    QCOMPARE(fixture->Entries().Size(), std::size_t{1});
    QVERIFY(fixture.PendingList().empty());

    WhenModal<CImportPreviewDialog>(
        [](CImportPreviewDialog* dialog) { dialog->AddButton().click(); });
    QCOMPARE(ImportListFile(*fixture, &window, path), std::size_t{2});
    QCOMPARE(fixture->Entries().Size(), std::size_t{3});
    QCOMPARE(CountWithPrefix(fixture.PendingList(), "Larkspire_a"), 2);
    QVERIFY(fixture.Ui().messages.empty());
  }

  void failuresSayWhatAndWhereWithAWarning() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    const QString no_folder = Path(fixture, "missing/list.csv");
    QVERIFY(!ExportListFile(*fixture, no_folder));
    QVERIFY(ImportListFile(*fixture, &window, no_folder) == 0);
    const QString headers = Path(fixture, "headers.csv");
    WriteBytes(headers, "Number,Title\r\n10/123,456,Widget\r\n");
    QVERIFY(ImportListFile(*fixture, &window, headers) == 0);
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{3});
    QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption) + " - Export Failed");
    QCOMPARE(fixture.Ui().messages[0].text, "Couldn't write " + no_folder.toStdString() + ".");
    QCOMPARE(fixture.Ui().messages[1].caption, std::string(kCaption) + " - Import Failed");
    QCOMPARE(fixture.Ui().messages[1].text, "Couldn't read " + no_folder.toStdString() + ".");
    QCOMPARE(fixture.Ui().messages[2].text,
             headers.toStdString() + "\n\n" + std::string(kImportNoReferenceColumn));
    QVERIFY(fixture->Entries().Empty());
  }

  void aFileOverTheLimitIsRefusedUnreadWithItsNameAndTheLimit() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    fixture->Entries().Insert(MakeEntry("LISTED-1", "10/123,456"));
    window.RefreshList();
    const QString small = Path(fixture, "at-the-limit.csv");
    const QString large = Path(fixture, "over-the-limit.csv");
    // Sparse files: their sizes, without the bytes on disk.
    WriteBytes(small, "Reference,Number\r\nNEW-1,\"12/345,001\"\r\n");
    QCOMPARE(::truncate(small.toStdString().c_str(), static_cast<off_t>(kImportMaxBytes)), 0);
    WriteBytes(large, "Reference,Number\r\nNEW-2,\"12/345,002\"\r\n");
    QCOMPARE(::truncate(large.toStdString().c_str(), static_cast<off_t>(kImportMaxBytes) + 1), 0);

    QCOMPARE(ImportListFile(*fixture, &window, large), std::size_t{0});
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
    QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption) + " - Import Failed");
    QCOMPARE(fixture.Ui().messages[0].text,
             large.toStdString() + "\n\nThe file is larger than 20 MB, the most Import reads.");
    QCOMPARE(fixture->Entries().Size(), std::size_t{1});
    // The window is usable again.
    QVERIFY(Actions(window).Action(kCmdImport)->isEnabled());

    // At the limit the file is read (its padding of NUL bytes ends in the number's field).
    QString summary;
    WhenModal<CImportPreviewDialog>([&](CImportPreviewDialog* dialog) {
      summary = dialog->Summary().text();
      dialog->AddButton().click();
    });
    QCOMPARE(ImportListFile(*fixture, &window, small), std::size_t{1});
    QVERIFY2(summary.contains("1 entry will be added"), qPrintable(summary));
    QCOMPARE(fixture->Entries().Size(), std::size_t{2});
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
  }

  void theFileMenuOffersBothWhileIdle() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    for (int command : {kCmdImport, kCmdExport}) {
      QVERIFY(Actions(window).Action(command)->isEnabled());
      fixture->BeginBusy("Update Status", 1);
      QVERIFY(!Actions(window).Action(command)->isEnabled());
      fixture->EndBusy();
    }
    QCOMPARE(Actions(window).Action(kCmdImport)->text(), QString("&Import..."));
    QCOMPARE(Actions(window).Action(kCmdExport)->text(), QString("Ex&port..."));
  }
};

QTEST_MAIN(CsvCommandsTest)
#include "csv_commands_test.moc"
