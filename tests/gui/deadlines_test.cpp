// The docket as the office sees it in the window: the list's Next Deadline column, its sort and
// its marking of near deadlines, and the Details window's Deadlines part with mark done and undo,
// which the docket file keeps.
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "WidgetFinder.h"
#include "docket/DocketFile.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/DeadlinesPanel.h"
#include "ui/EntryListModel.h"

using namespace larkspire;

namespace {

CDeadline Deadline(const std::string& entry_key, const char* rule_key, const char* what,
                   int32_t due) {
  CDeadline d;
  d.entry_key = entry_key;
  d.reference = "ref";
  d.rule_key = rule_key;
  d.what = what;
  d.opening_event = "Non-Final Rejection";
  d.opened_on = due - 92;
  d.computed_due = d.due = d.last_date = due;
  return d;
}

std::string ApplicationKey(const char* app_num) { return std::string("application ") + app_num; }

std::vector<std::string> References(AppCore& core) {
  std::vector<std::string> references;
  for (std::size_t row = 0; row < core.Entries().Size(); ++row) {
    references.push_back(core.Entries().At(row).Text(kReference));
  }
  return references;
}

void ClickHeader(CMainWindow& window, int column) {
  QHeaderView* header = List(window).horizontalHeader();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                  header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

QVariant Cell(CMainWindow& window, int row, int column, int role) {
  QAbstractItemModel* model = List(window).model();
  return model->data(model->index(row, column), role);
}

int RowOf(AppCore& core, const char* reference) {
  const std::vector<std::string> references = References(core);
  return static_cast<int>(std::find(references.begin(), references.end(), reference) -
                          references.begin());
}

}  // namespace

class DeadlinesTest : public QObject {
  Q_OBJECT

 private slots:
  void theColumnShowsTheNextOpenDeadlineAndSortsByIt() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    const int32_t today = TodayDayNumber();
    for (auto [reference, app_num] : {std::pair{"A", "10/000,001"},
                                      {"B", "10/000,002"},
                                      {"C", "10/000,003"},
                                      {"D", "10/000,004"}}) {
      fixture->Entries().Insert(MakeEntry(reference, app_num));
    }
    CDeadline done_earlier =
        Deadline(ApplicationKey("10/000,004"), "r1", "Done already", today + 1);
    done_earlier.done = true;
    fixture->Docket().Replace(
        {Deadline(ApplicationKey("10/000,001"), "r1", "Issue fee", today + 60),
         Deadline(ApplicationKey("10/000,002"), "r1", "Reply", today + 40),
         Deadline(ApplicationKey("10/000,002"), "r2", "Earlier reply", today + 50), done_earlier,
         Deadline(ApplicationKey("10/000,004"), "r2", "Missing parts", today + 45)});
    window.RefreshList();

    QCOMPARE(Cell(window, RowOf(*fixture, "B"), kNextDeadlineColumn, Qt::DisplayRole).toString(),
             ToQt(FormatDayNumber(today + 40) + " Reply"));
    QCOMPARE(Cell(window, RowOf(*fixture, "D"), kNextDeadlineColumn, Qt::DisplayRole).toString(),
             ToQt(FormatDayNumber(today + 45) + " Missing parts"));
    QVERIFY(!Cell(window, RowOf(*fixture, "C"), kNextDeadlineColumn, Qt::DisplayRole).isValid());

    ClickHeader(window, kNextDeadlineColumn);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"B", "D", "A", "C"}));
    QVERIFY(Actions(window).Action(kCmdSortByField + kSortNextDeadline)->isChecked());
    QVERIFY(Actions(window).Action(kCmdAscending)->isChecked());
    ClickHeader(window, kNextDeadlineColumn);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"C", "A", "D", "B"}));
    Actions(window).Action(kCmdSortByField + kReference)->trigger();
    Actions(window).Action(kCmdSortByField + kSortNextDeadline)->trigger();
    QCOMPARE(References(*fixture), (std::vector<std::string>{"B", "D", "A", "C"}));
  }

  void rowsWithinSevenAndThirtyDaysAreMarkedWithAReason() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    const int32_t today = TodayDayNumber();
    struct Case {
      const char* reference;
      int days;  // from today; the entry has no deadline when it is 1000
      DeadlineNearness nearness;
    };
    const Case cases[] = {{"past", -2, DeadlineNearness::kWithin7Days},
                          {"today", 0, DeadlineNearness::kWithin7Days},
                          {"seven", 7, DeadlineNearness::kWithin7Days},
                          {"eight", 8, DeadlineNearness::kWithin30Days},
                          {"thirty", 30, DeadlineNearness::kWithin30Days},
                          {"thirty-one", 31, DeadlineNearness::kLater},
                          {"none", 1000, DeadlineNearness::kLater}};
    std::vector<CDeadline> deadlines;
    int number = 0;
    for (const Case& c : cases) {
      const std::string app_num = "10/000,00" + std::to_string(++number);
      fixture->Entries().Insert(MakeEntry(c.reference, app_num.c_str()));
      if (c.days != 1000) {
        deadlines.push_back(
            Deadline(ApplicationKey(app_num.c_str()), "r", "Reply", today + c.days));
      }
    }
    fixture->Docket().Replace(deadlines);
    window.RefreshList();

    std::map<DeadlineNearness, QSet<QRgb>> colours;
    for (const Case& c : cases) {
      const int row = RowOf(*fixture, c.reference);
      const QVariant background = Cell(window, row, kReference, Qt::BackgroundRole);
      const QString tip = Cell(window, row, kStatus, Qt::ToolTipRole).toString();
      if (c.nearness == DeadlineNearness::kLater) {
        QVERIFY2(!background.isValid(), c.reference);
        QVERIFY2(tip.isEmpty(), c.reference);
        continue;
      }
      QVERIFY2(background.isValid(), c.reference);
      // The same shade on every cell of the row, the text on it in black.
      QCOMPARE(Cell(window, row, kNextDeadlineColumn, Qt::BackgroundRole), background);
      QCOMPARE(Cell(window, row, kReference, Qt::ForegroundRole).value<QBrush>().color(),
               QColor(Qt::black));
      colours[c.nearness].insert(background.value<QBrush>().color().rgb());
      const QString days = c.nearness == DeadlineNearness::kWithin7Days ? "7 days" : "30 days";
      QVERIFY2(tip.contains(days) && tip.contains(ToQt(FormatDayNumber(today + c.days))),
               qPrintable(tip));
    }
    QCOMPARE(colours[DeadlineNearness::kWithin7Days].size(), 1);
    QCOMPARE(colours[DeadlineNearness::kWithin30Days].size(), 1);
    QVERIFY(colours[DeadlineNearness::kWithin7Days] != colours[DeadlineNearness::kWithin30Days]);
  }

  void detailsListEveryDeadlineAndMarkDoneAndUndoAreSaved() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    const int32_t today = TodayDayNumber();
    const std::string key = ApplicationKey("10/000,001");
    CDeadline open = Deadline(key, "nonfinal", "Reply to non-final rejection", today + 20);
    open.extendable = true;
    open.last_date = today + 110;
    CDeadline done = Deadline(key, "restriction", "Reply to restriction", today - 200);
    done.done = true;
    CDeadline closed = Deadline(key, "missing", "Missing parts", today - 100);
    closed.closed_on = today - 120;
    closed.closing_event = "Response filed";
    CDeadline other = Deadline(ApplicationKey("10/000,002"), "allowance", "Issue fee", today + 5);
    fixture->Docket().Replace({open, done, closed, other});
    fixture->Entries().Insert(MakeEntry("A", "10/000,001"));
    fixture->Entries().Insert(MakeEntry("B", "10/000,002"));
    window.RefreshList();
    const int row_a = RowOf(*fixture, "A");
    List(window).selectRow(row_a);
    Details(window).Present();

    auto& panel = Child<CDeadlinesPanel>(Details(window), "deadlines");
    auto& table = Child<QTableWidget>(panel, "deadlinesTable");
    QTRY_VERIFY(panel.isVisible());
    QCOMPARE(table.rowCount(), 3);
    const auto cell = [&](int row, int column) { return FromQt(table.item(row, column)->text()); };
    // Earliest due first: the done one, the closed one, the open one.
    QCOMPARE(cell(0, kDeadlineState), std::string("Done"));
    QCOMPARE(cell(1, kDeadlineState), "Closed: Response filed on " + FormatDayNumber(today - 120));
    QCOMPARE(cell(2, kDeadlineState), std::string("Open"));
    QCOMPARE(cell(2, kDeadlineWhat), std::string("Reply to non-final rejection"));
    QCOMPARE(cell(2, kDeadlineOpenedBy), "Non-Final Rejection, " + FormatDayNumber(today - 72));
    QCOMPARE(cell(2, kDeadlineDue), FormatDayNumber(today + 20));
    QCOMPARE(cell(2, kDeadlineLastDate), FormatDayNumber(today + 110));
    QCOMPARE(cell(1, kDeadlineLastDate), std::string("not extendable"));

    auto& mark_done = Child<QPushButton>(panel, "markDone");
    auto& undo_done = Child<QPushButton>(panel, "undoDone");
    table.setCurrentCell(1, 0);
    QVERIFY(!mark_done.isEnabled() && !undo_done.isEnabled());
    table.setCurrentCell(2, 0);
    QVERIFY(mark_done.isEnabled() && !undo_done.isEnabled());

    const std::string docket_path = JoinPath(fixture.dir.Path(), kDocketFileName);
    const auto saved_done = [&] {
      CDocket saved;
      if (!LoadDocket(docket_path, saved).empty()) return -1;
      const CDeadline* found = saved.Find(open.Uid());
      return found == nullptr ? -1 : int(found->done);
    };
    QTest::mouseClick(&mark_done, Qt::LeftButton);
    QVERIFY(fixture->Docket().Find(open.Uid())->done);
    QCOMPARE(saved_done(), 1);
    QTRY_COMPARE(table.item(2, kDeadlineState)->text(), QString("Done"));
    QVERIFY(!Cell(window, row_a, kNextDeadlineColumn, Qt::DisplayRole).isValid());

    table.setCurrentCell(2, 0);
    QVERIFY(undo_done.isEnabled());
    QTest::mouseClick(&undo_done, Qt::LeftButton);
    QVERIFY(!fixture->Docket().Find(open.Uid())->done);
    QCOMPARE(saved_done(), 0);
    QCOMPARE(Cell(window, row_a, kNextDeadlineColumn, Qt::DisplayRole).toString(),
             ToQt(FormatDayNumber(today + 20) + " Reply to non-final rejection"));
  }

  // A settings file written before the column existed keeps its widths, hidden columns and sort;
  // the new column takes its default width and is saved beside the others.
  void storedWidthsAndSortFromBeforeStayAsTheyWere() {
    CGuiTestApp fixture({{"ColWidthReference", "123"},
                         {"ColWidthExaminer", "0"},
                         {"SortBy", "Status"},
                         {"SortReversed", "1"}});
    {
      CMainWindow window(*fixture);
      CEntryListView& list = List(window);
      QCOMPARE(list.columnWidth(kReference), 123);
      QVERIFY(list.isColumnHidden(kExaminer));
      QVERIFY(!list.isColumnHidden(kNextDeadlineColumn));
      QCOMPARE(list.columnWidth(kNextDeadlineColumn), list.DefaultColumnWidth(kNextDeadlineColumn));
      QCOMPARE(fixture->Entries().SortField(), int(kStatus));
      QVERIFY(fixture->Entries().SortReversed());
      list.setColumnWidth(kNextDeadlineColumn, 77);
      list.SaveColumnWidths(fixture->Settings());
    }
    QCOMPARE(fixture.Backend().Read(kSettingsGroup, "ColWidthNextDeadline").value_or(""),
             std::string("77"));
    QCOMPARE(fixture->Settings().SortBy.Text(), std::string("Status"));
    QCOMPARE(fixture->Settings().ColumnWidth(kReference)->Text(), std::string("123"));
  }
};

QTEST_MAIN(DeadlinesTest)
#include "deadlines_test.moc"
