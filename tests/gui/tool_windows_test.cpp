// The TCP/IP window's bounded text and the Details window's summary.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTextTable>
#include <QtTest>

#include "WidgetFinder.h"
#include "entries/LastChanges.h"
#include "platform/Files.h"
#include "retrieval/ChangeDetection.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/ChangeSummary.h"
#include "ui/DetailsWindow.h"
#include "ui/FlowTail.h"
#include "ui/FlowWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"

using namespace larkspire;

class ToolWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void flowTextRule_data() {
    QTest::addColumn<int>("old_size");
    QTest::addColumn<int>("new_size");
    QTest::addColumn<int>("kept_old");  // characters of the old text kept at the front
    QTest::addColumn<int>("kept_new");
    QTest::newRow("below the limit") << 19000 << 999 << 19000 << 999;
    QTest::newRow("reaching the limit") << 19990 << 10 << 10000 << 10;
    QTest::newRow("short line past it") << 19995 << 40 << 10000 << 40;
    QTest::newRow("new text of exactly 10000") << 12000 << 10000 << 10000 << 10000;
    QTest::newRow("new text longer than 10000") << 500 << 25000 << 0 << 10000;
    QTest::newRow("short old text, long new") << 100 << 19900 << 0 << 10000;
  }

  void flowTextRule() {
    QFETCH(int, old_size);
    QFETCH(int, new_size);
    QFETCH(int, kept_old);
    QFETCH(int, kept_new);
    // Position-coded texts, so the test sees which characters survived.
    std::string old_text, new_text;
    for (int i = 0; i < old_size; ++i) old_text += static_cast<char>('a' + i % 26);
    for (int i = 0; i < new_size; ++i) new_text += static_cast<char>('0' + i % 10);
    std::string text = old_text;
    AppendFlowText(text, new_text);
    QCOMPARE(static_cast<int>(text.size()), kept_old + kept_new);
    QCOMPARE(text.substr(0, static_cast<std::size_t>(kept_old)),
             old_text.substr(old_text.size() - static_cast<std::size_t>(kept_old)));
    QCOMPARE(text.substr(static_cast<std::size_t>(kept_old)),
             new_text.substr(new_text.size() - static_cast<std::size_t>(kept_new)));
  }

  void flowWindowShowsTheCoreTextAndClearKeepsTheFlag() {
    CGuiTestApp fixture;
    QWidget main;
    CFlowWindow window(&main, *fixture);
    QVERIFY(!fixture->Transcript().has_content);
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - TCP/IP Communications"));
    const std::string line = "000.01 HttpGet(0): Connecting to 127.0.0.1:8080\r\n";
    for (int i = 0; i < 500; ++i) window.AppendFlow(line);
    QVERIFY(fixture->Transcript().has_content);
    const std::string& text = fixture->Transcript().text;
    QVERIFY(text.size() < kFlowTextLimit);
    QVERIFY(text.size() >= kFlowTextKeep);
    QVERIFY(text.ends_with(line));
    // A hidden window's widget is left alone; shown, it holds the same lines with LF alone.
    QVERIFY(Child<QPlainTextEdit>(window, "text").toPlainText().isEmpty());
    window.Present();
    QCOMPARE(Child<QPlainTextEdit>(window, "text").toPlainText(), ToQtLines(text));
    // Many lines at once come out as they would one by one, in the shown widget too.
    std::string one_by_one = text;
    std::vector<std::string> batch;
    for (int i = 0; i < 300; ++i) {
      batch.push_back(std::to_string(i) + " " + line);
      AppendFlowText(one_by_one, batch.back());
    }
    window.AppendFlowLines(batch);
    QCOMPARE(fixture->Transcript().text, one_by_one);
    QCOMPARE(Child<QPlainTextEdit>(window, "text").toPlainText(), ToQtLines(one_by_one));
    // Lines that come while the window is hidden are there when it shows again.
    window.hide();
    window.AppendFlow(line);
    AppendFlowText(one_by_one, line);
    window.Present();
    QCOMPARE(Child<QPlainTextEdit>(window, "text").toPlainText(), ToQtLines(one_by_one));
    Child<QPushButton>(window, "clear").click();
    QVERIFY(fixture->Transcript().text.empty());
    QVERIFY(Child<QPlainTextEdit>(window, "text").toPlainText().isEmpty());
    QVERIFY(fixture->Transcript().has_content);
    window.hide();
    window.Present();
    QVERIFY(Child<QPlainTextEdit>(window, "text").toPlainText().isEmpty());
  }

  void flowWindowRemembersPlaceAndVisibility() {
    CGuiTestApp fixture({{"TCPIPLeft", "30"},
                         {"TCPIPTop", "40"},
                         {"TCPIPRight", "530"},
                         {"TCPIPBottom", "340"},
                         {"TCPIPVisible", "1"}});
    QWidget main;
    {
      CFlowWindow window(&main, *fixture);
      QVERIFY(window.isVisible());
      QCOMPARE(window.geometry(), QRect(30, 40, 500, 300));
      window.close();
      QVERIFY(!window.isVisible());
      QCOMPARE(fixture->Settings().TCPIPVisible.Int(), 0LL);
      window.Present();
      QCOMPARE(fixture->Settings().TCPIPVisible.Int(), 1LL);
      window.setGeometry(60, 70, 400, 200);
      window.Retire();
      window.hide();
    }
    CSettings& settings = fixture->Settings();
    QCOMPARE(settings.TCPIPVisible.Int(), 1LL);
    QCOMPARE(settings.TCPIPLeft.Int(), 60LL);
    QCOMPARE(settings.TCPIPRight.Int(), 460LL);
    QCOMPARE(settings.TCPIPBottom.Int(), 270LL);
  }

  void summaryIsEmptyWithoutSelection() {
    CEntryList entries;
    entries.Insert(MakeEntry("A", "10/000,001"));
    QCOMPARE(BuildChangeSummary(entries), std::string());
  }

  void summaryOfOneEntry() {
    CEntryList entries;
    CEntry seven = MakeEntry("A", "10/000,001");
    seven.last_change = TodayDayNumber() - 7;
    seven.last_update = TodayDayNumber();
    seven.frequency = kWeekly;
    CEntry eight = MakeEntry("B", "10/000,002");
    eight.last_change = TodayDayNumber() - 8;
    entries.Insert(seven);
    entries.Insert(eight);
    entries.SelectAll(true);
    const std::string summary = BuildChangeSummary(entries);
    const std::string first =
        "Changed within the last week: Yes\r\nWeekly update needed: No\r\n\r\n" +
        FieldListing(seven);
    const std::string second =
        "Changed within the last week: No\r\nDaily update needed: Yes\r\n\r\n" +
        FieldListing(eight);
    // List order: the list sorts by frequency, Daily first.
    QCOMPARE(summary, second + "\r\n---\r\n\r\n" + first);
    QVERIFY(FieldListing(seven).starts_with("Frequency:\tWeekly\r\nLast Update:\t"));
    QVERIFY(FieldListing(seven).find("\r\nApp #:\t10/000,001\r\n") != std::string::npos);
    QVERIFY(FieldListing(seven).ends_with("Error:\t\r\n"));
  }

  void summaryStopsAtAnEntryBoundaryPast25000() {
    CEntryList entries;
    CEntry entry = MakeEntry("A", "10/000,001");
    entry.SetText(kLastHistoryText, std::string(1000, 'x'));
    for (int i = 0; i < 40; ++i) entries.Insert(entry);
    entries.SelectAll(true);
    entries.SetSelected(3, false);
    const std::string summary = BuildChangeSummary(entries);
    const std::string separator = "\r\n---\r\n\r\n";
    QVERIFY(summary.ends_with(separator + "truncated..."));
    const std::string body = summary.substr(0, summary.size() - separator.size() - 12);
    QVERIFY(body.ends_with("Error:\t\r\n"));
    // All entries are alike: the text stops after the first entry whose block (with the
    // separator before the next) carries it past the limit, not one later or earlier.
    const std::size_t block = body.find(separator) + separator.size();
    QCOMPARE((body.size() + separator.size()) % block, std::size_t{0});
    const std::size_t count = (body.size() + separator.size()) / block;
    QVERIFY(count * block > kChangeSummaryLimit);
    QVERIFY((count - 1) * block <= kChangeSummaryLimit);
    QVERIFY(count < 39);
  }

  void detailsWindowRefreshesOnlyWhenShown() {
    CGuiTestApp fixture;
    QWidget main;
    CDetailsWindow window(&main, fixture->Settings(), fixture->Entries());
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - Details"));
    fixture->Entries().Insert(MakeEntry("A", "10/000,001"));
    fixture->Entries().SelectAll(true);
    window.RequestDetailsRefresh();
    QVERIFY(!window.RefreshPending());
    window.show();
    QVERIFY(window.RefreshPending());
    QTRY_VERIFY(!window.RefreshPending());
    QVERIFY(window.SummaryText().starts_with("Changed within the last week: "));
    QCOMPARE(fixture->Settings().DetailsVisible.Int(), 1LL);
    fixture->Entries().SelectAll(false);
    window.RequestDetailsRefresh();
    window.RequestDetailsRefresh();
    QTRY_VERIFY(!window.RefreshPending());
    QVERIFY(window.SummaryText().empty());
  }

  void detailsShowWhatTheLastChangeChangedAsNowAndWas() {
    CGuiTestApp fixture;
    QWidget main;
    CDetailsWindow window(&main, fixture->Settings(), fixture->Entries());
    CEntry stored = MakeEntry("R-1", "10/123,456");
    stored.SetText(kStatus, "Pending");
    stored.last_change = TodayDayNumber() - 30;
    stored.last_update = TodayDayNumber() - 1;
    fixture->Entries().Insert(stored);
    CEntry fresh = stored;
    fresh.SetText(kStatus, "Allowed");
    fresh.last_update = TodayDayNumber();
    QCOMPARE(ApplyUpdate(*fixture, 0, fresh, stored), std::string());
    fixture->Entries().SelectAll(true);
    const std::string change = "Changed within the last week: Yes\r\nLast change (" +
                               FormatDayNumber(TodayDayNumber()) +
                               "):\r\nStatus (now):\tAllowed\r\nStatus (was):\tPending\r\n";
    window.show();
    QTRY_VERIFY(!window.RefreshPending());
    QVERIFY2(window.SummaryText().starts_with(change), window.SummaryText().c_str());
    QVERIFY(window.TextField().toPlainText().contains("Status (was):\tPending") ||
            window.TextField().toPlainText().contains("Status (was):\nPending"));
    // A damaged file only leaves the change unshown.
    const std::string file = JoinPath(fixture->Settings().LogDir.Text(), kLastChangesFileName);
    QVERIFY(SaveFileAtomically(file, "Larkspire last changes 1\nbroken"));
    window.RequestDetailsRefresh();
    QTRY_VERIFY(!window.RefreshPending());
    QVERIFY(window.SummaryText().starts_with("Changed within the last week: Yes\r\nDaily update "));
  }

  void escapeAndCtrlWCloseTheToolWindows() {
    CGuiTestApp fixture;
    CMainWindow main(*fixture);
    main.show();
    for (CToolWindow* tool :
         {static_cast<CToolWindow*>(&Details(main)), static_cast<CToolWindow*>(&Flow(main))}) {
      for (const QKeySequence& keys :
           {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        tool->Present();
        QApplication::setActiveWindow(tool);
        QVERIFY(QTest::qWaitForWindowActive(tool));
        QTest::keySequence(tool, keys);
        QVERIFY2(!tool->isVisible(), qPrintable(tool->windowTitle() + " " + keys.toString()));
      }
    }
    QCOMPARE(fixture->Settings().DetailsVisible.Int(), 0LL);
    QVERIFY(main.isVisible());
  }

  void detailsWrapLongValuesBesideCaptionsInOneColumn() {
    CGuiTestApp fixture;
    QWidget main;
    CDetailsWindow window(&main, fixture->Settings(), fixture->Entries());
    CEntry entry = MakeEntry("A & <B>", "10/000,001");
    std::string words;
    for (int i = 0; i < 60; ++i) words += "Response to Non-Final Office Action ";
    entry.SetText(kStatus, words);
    entry.SetText(kChildContinuity, "CON" + std::string(300, '1'));
    entry.SetText(kLastHistoryText, "Mail Notice of Allowance");
    fixture->Entries().Insert(entry);
    fixture->Entries().SelectAll(true);
    window.resize(420, 520);
    window.show();
    QTRY_VERIFY(!window.RefreshPending());
    QTextEdit& text = window.TextField();
    // Nothing runs off to the right.
    QCOMPARE(text.horizontalScrollBar()->maximum(), 0);
    QTextTable* table = nullptr;
    for (QTextFrame* frame : text.document()->rootFrame()->childFrames()) {
      if ((table = qobject_cast<QTextTable*>(frame))) break;
    }
    QVERIFY(table != nullptr);
    QCOMPARE(table->rows(), int(kFieldCount));
    QCOMPARE(table->columns(), 2);
    // Every value starts at the same place, just past the longest caption, on its caption's line.
    const int longest = text.fontMetrics().horizontalAdvance("Last History Description:");
    QSet<int> starts;
    for (int row = 0; row < table->rows(); ++row) {
      const QTextTableCell caption = table->cellAt(row, 0);
      const QTextTableCell value = table->cellAt(row, 1);
      const QRect at = text.cursorRect(value.firstCursorPosition());
      QCOMPARE(at.top(), text.cursorRect(caption.firstCursorPosition()).top());
      starts.insert(at.left());
    }
    QCOMPARE(starts.size(), 1);
    QVERIFY(*starts.begin() > longest);
    QVERIFY(*starts.begin() < longest + 40);
    QVERIFY(text.toPlainText().contains("A & <B>"));
  }
};

QTEST_MAIN(ToolWindowsTest)
#include "tool_windows_test.moc"
