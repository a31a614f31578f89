// The main window against a real AppCore: adding and deleting through the commands, sorting by
// the header, column edits, the enabled rules while busy and by selection, the busy display
// and the saving at close.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "WidgetFinder.h"
#include "entries/DataFile.h"
#include "platform/Files.h"
#include "platform/Shortcuts.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/AddReferenceDialog.h"
#include "ui/BusyPanel.h"
#include "ui/DetailsWindow.h"
#include "ui/EntryListView.h"
#include "ui/FlowWindow.h"
#include "ui/MainActions.h"
#include "ui/MainWindow.h"
#include "ui/ProgramIcon.h"
#include "ui/PromptDialog.h"

using namespace larkspire;

namespace {

std::vector<std::string> References(AppCore& core) {
  std::vector<std::string> references;
  for (std::size_t row = 0; row < core.Entries().Size(); ++row) {
    references.push_back(core.Entries().At(row).Text(kReference));
  }
  return references;
}

void Select(CMainWindow& window, std::initializer_list<int> rows) {
  CEntryListView& list = List(window);
  list.clearSelection();
  for (int row : rows) {
    list.selectionModel()->select(list.model()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

// Puts the entry into the list as its only selected row.
void ListSelected(CMainWindow& window, AppCore& core, const CEntry& entry) {
  core.Entries().Insert(entry);
  window.RefreshList();
  Select(window, {0});
}

void ClickHeader(CMainWindow& window, int column) {
  QHeaderView* header = List(window).horizontalHeader();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                  header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Runs the action while a timer plays the part of the user in the modal dialog it opens.
template <typename Dialog, typename Play>
void WithDialog(QAction* action, Play play) {
  bool played = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    play(*dialog);
    played = true;
  });
  action->trigger();
  QVERIFY(played);
}

// Records what it would open instead of starting the desktop's handler.
class CRecordingWindow : public CMainWindow {
 public:
  using CMainWindow::CMainWindow;
  void OpenDocument(const std::string& path_or_address) override {
    opened.push_back(path_or_address);
  }
  std::vector<std::string> opened;
};

bool Enabled(CMainWindow& window, int command) {
  return Actions(window).Action(command)->isEnabled();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void addThroughTheDialogWithAnInvalidNumberFirst() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    WithDialog<CAddReferenceDialog>(Actions(window).Action(kCmdAdd), [&](auto& dialog) {
      Child<QLineEdit>(dialog, "reference").setText("ACME-7");
      Child<QLineEdit>(dialog, "number").setText("12/34");
      dialog.accept();
      // The parser's message, and the dialog stays open with the typed text.
      QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
      QVERIFY(fixture.Ui().messages[0].text.starts_with(
          "Invalid Patent/Application/Publication Number."));
      QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption));
      QVERIFY(dialog.isVisible());
      QCOMPARE(Child<QLineEdit>(dialog, "number").text(), QString("12/34"));
      Child<QLineEdit>(dialog, "number").setText("10/123,456");
      dialog.accept();
    });
    QCOMPARE(fixture->Entries().Size(), std::size_t{1});
    const CEntry& added = fixture->Entries().At(0);
    QCOMPARE(added.Text(kReference), std::string("ACME-7"));
    QCOMPARE(added.Text(kAppNum), std::string("10/123,456"));
    QVERIFY(fixture->Entries().IsSelected(0));
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{1});
    QVERIFY(pending[0].starts_with("Larkspire_a"));
    // The queue now shows: the sign in the busy strip and the File menu's two items.
    QVERIFY(!Child<QLabel>(Busy(window), "emailSign").isHidden());
    QVERIFY(Enabled(window, kCmdSendEmail));
    QVERIFY(Enabled(window, kCmdDeleteEmail));
  }

  void changingTheReferenceGoesThroughThePrompt() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    ListSelected(window, *fixture, MakeEntry("OLD-1", "10/000,001"));
    WithDialog<CPromptDialog>(
        Actions(window).Action(kCmdChangeField + kReference), [](auto& dialog) {
          QCOMPARE(dialog.windowTitle(), QString::fromLatin1("Larkspire\xAE - Change"));
          QCOMPARE(dialog.template findChildren<QLineEdit*>().size(), std::size_t{1});
          QCOMPARE(Child<QLineEdit>(dialog, "value0").text(), QString("OLD-1"));
          Child<QLineEdit>(dialog, "value0").setText("NEW-2");
          dialog.accept();
        });
    QCOMPARE(fixture->Entries().At(0).Text(kReference), std::string("NEW-2"));
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{1});
    QVERIFY(pending[0].starts_with("Larkspire_c"));
    // Cancel leaves the reference alone.
    WithDialog<CPromptDialog>(Actions(window).Action(kCmdChangeField + kReference),
                              [](auto& dialog) {
                                Child<QLineEdit>(dialog, "value0").setText("OTHER");
                                dialog.reject();
                              });
    QCOMPARE(fixture->Entries().At(0).Text(kReference), std::string("NEW-2"));
  }

  // Each edit is in patent.dat as soon as the command returns, before the window closes.
  void everyEditIsSavedAtOnce() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    const auto stored = [&] {
      CEntryList list;
      std::string error;
      if (!LoadDataFile(fixture.dir.File(kDataFileName), list, error)) list = CEntryList();
      return list.Size() == 1 ? list.At(0) : CEntry();
    };
    WithDialog<CAddReferenceDialog>(Actions(window).Action(kCmdAdd), [](auto& dialog) {
      Child<QLineEdit>(dialog, "reference").setText("ACME-7");
      Child<QLineEdit>(dialog, "number").setText("10/123,456");
      dialog.accept();
    });
    QCOMPARE(stored().Text(kReference), std::string("ACME-7"));

    Actions(window).Action(kCmdMonthly)->trigger();
    QCOMPARE(stored().frequency, int32_t{kMonthly});

    fixture->Entries().At(0).SetText(kError, "Old error.");
    Actions(window).Action(kCmdClearError)->trigger();
    QCOMPARE(stored().Text(kError), std::string());

    fixture->Entries().At(0).last_update = TodayDayNumber();
    fixture.Ui().answers.push_back(MsgAnswer::kYes);
    window.EditColumn(kLastUpdate);
    QCOMPARE(stored().last_update, int32_t{0});

    WithDialog<CPromptDialog>(Actions(window).Action(kCmdChangeField + kReference),
                              [](auto& dialog) {
                                Child<QLineEdit>(dialog, "value0").setText("ACME-8");
                                dialog.accept();
                              });
    QCOMPARE(stored().Text(kReference), std::string("ACME-8"));
  }

  void viewCommandsOpenTheirDocuments() {
    CGuiTestApp fixture;
    CRecordingWindow window(*fixture);
    ListSelected(window, *fixture, MakeEntry("A", "10/123,456"));
    const std::string status_url = fixture->Entries().At(0).StatusUrl();
    QVERIFY(!status_url.empty());
    Actions(window).Action(kCmdWebpage)->trigger();
    Actions(window).Action(kCmdLogFile)->trigger();
    Actions(window).Action(kCmdReport)->trigger();
    QCOMPARE(window.opened, (std::vector<std::string>{status_url, fixture.dir.File("Larkspire.log"),
                                                      fixture.dir.File("Larkspire.html")}));
    QVERIFY(QFile::exists(QString::fromStdString(fixture.dir.File("Larkspire.html"))));
  }

  void enterShowsTheDetailsOfTheSelection() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ListSelected(window, *fixture, MakeEntry("A", "10/000,001"));
    List(window).setFocus();
    QVERIFY(!Details(window).isVisible());
    QTest::keyClick(&List(window), Qt::Key_Return);
    QVERIFY(Details(window).isVisible());
    QTRY_VERIFY(Details(window).SummaryText().find("Reference:\tA\r\n") != std::string::npos);
    // A new selection refreshes the open window.
    fixture->Entries().Insert(MakeEntry("B", "10/000,002"));
    window.RefreshList();
    Select(window, {1});
    QTRY_VERIFY(Details(window).SummaryText().find("Reference:\tB\r\n") != std::string::npos);
  }

  void flowLinesReachTheTcpIpWindow() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    fixture->FlowLog().Write("HttpGet(0): GET / HTTP/1.0", kFlowSent);
    fixture->FlowLog().Write("HttpGet(0): HTTP/1.0 200 OK", kFlowReceived);
    window.DrainFlowLog();
    QVERIFY(fixture->Transcript().has_content);
    QVERIFY(fixture->Transcript().text.find("HttpGet(0): GET / HTTP/1.0\r\n") != std::string::npos);
    QVERIFY(fixture->Transcript().text.ends_with("HttpGet(0): HTTP/1.0 200 OK\r\n"));
  }

  void theStoredTopRowComesBackAtTheTop() {
    CGuiTestApp fixture({{"TopIndex", "40"}});
    for (int i = 0; i < 100; ++i) {
      char number[16];
      std::snprintf(number, sizeof number, "10/000,%03d", i);
      fixture->Entries().Insert(MakeEntry(number, number));
    }
    CMainWindow window(*fixture);
    window.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(List(window).TopIndex(), 40);
    List(window).ScrollToTopIndex(55);
    QVERIFY(window.close());
    QCOMPARE(fixture->Settings().TopIndex.Int(), 55LL);
  }

  void addedEntryIsSelectedAloneInItsSortedPlace() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.SortBy(SortTrigger::kByField, kReference);
    for (const char* reference : {"B", "D"}) {
      fixture->Entries().Insert(MakeEntry(reference, std::string("10/000,00") + reference[0]));
    }
    window.RefreshList();
    Select(window, {0, 1});
    WithDialog<CAddReferenceDialog>(Actions(window).Action(kCmdAdd), [](auto& dialog) {
      Child<QLineEdit>(dialog, "reference").setText("C");
      Child<QLineEdit>(dialog, "number").setText("10/111,111");
      dialog.accept();
    });
    QCOMPARE(References(*fixture), (std::vector<std::string>{"B", "C", "D"}));
    QCOMPARE(fixture->Entries().SelectedRows(), std::vector<std::size_t>{1});
    QCOMPARE(List(window).selectionModel()->selectedRows().size(), 1);
    QCOMPARE(List(window).selectionModel()->selectedRows()[0].row(), 1);
  }

  void aDuplicateIsNamedAndSelectedAndTheDialogKeepsWhatWasTyped() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    window.SortBy(SortTrigger::kByField, kReference);
    CEntry patent = MakeEntry("P-9", "10/222,222");
    patent.SetText(kPatNum, "7,654,321");
    for (const CEntry& entry : {MakeEntry("A-1", "10/000,001"), MakeEntry("R&D-1", "10/123,456"),
                                MakeEntry("", "10/333,333"), patent}) {
      fixture->Entries().Insert(entry);
    }
    window.RefreshList();
    Select(window, {0});
    struct Case {
      const char* number;
      const char* message;
      int listed_row;  // sorted by reference: "", A-1, P-9, R&D-1
    };
    const Case cases[] = {
        {"10/123,456", "This entry already exists: \"R&D-1\", application 10/123,456.", 3},
        {"10/333,333", "This entry already exists: application 10/333,333.", 0},
        {"7,654,321", "This entry already exists: \"P-9\", patent 7,654,321.", 2},
    };
    WithDialog<CAddReferenceDialog>(Actions(window).Action(kCmdAdd), [&](auto& dialog) {
      for (const Case& c : cases) {
        fixture.Ui().messages.clear();
        Child<QLineEdit>(dialog, "reference").setText("NEW-1");
        Child<QLineEdit>(dialog, "number").setText(c.number);
        dialog.accept();
        QCOMPARE(fixture.Ui().Texts(), std::vector<std::string>{c.message});
        QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption) + " - Duplicate Entry");
        QVERIFY(dialog.isVisible());
        QCOMPARE(Child<QLineEdit>(dialog, "reference").text(), QString("NEW-1"));
        QCOMPARE(Child<QLineEdit>(dialog, "number").text(), QString(c.number));
        // The listed entry is the one selection, and it has the focus in the list.
        QCOMPARE(fixture->Entries().SelectedRows(),
                 std::vector<std::size_t>{static_cast<std::size_t>(c.listed_row)});
        QCOMPARE(List(window).selectionModel()->selectedRows().size(), 1);
        QCOMPARE(List(window).selectionModel()->selectedRows()[0].row(), c.listed_row);
        QCOMPARE(List(window).FocusedRow(), c.listed_row);
      }
      dialog.reject();
    });
    QCOMPARE(fixture->Entries().Size(), std::size_t{4});
    QVERIFY(fixture.PendingList().empty());
  }

  void cancelInTheDialogAddsAndQueuesNothing() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    WithDialog<CAddReferenceDialog>(Actions(window).Action(kCmdAdd), [](auto& dialog) {
      Child<QLineEdit>(dialog, "reference").setText("ACME-8");
      Child<QLineEdit>(dialog, "number").setText("10/123,457");
      dialog.reject();
    });
    QVERIFY(fixture->Entries().Empty());
    QVERIFY(fixture.PendingList().empty());
    QVERIFY(fixture.Ui().messages.empty());
  }

  void deletingThreeQueuesThreeNoticesBottomRowFirst() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.SortBy(SortTrigger::kByField, kReference);
    const char* numbers[] = {"10/000,001", "10/000,002", "10/000,003", "10/000,004", "10/000,005"};
    for (int i = 0; i < 5; ++i) {
      fixture->Entries().Insert(MakeEntry(std::string(1, static_cast<char>('A' + i)), numbers[i]));
    }
    window.RefreshList();
    Select(window, {1, 2, 4});
    fixture.Ui().answers.push_back(MsgAnswer::kYes);
    Actions(window).Action(kCmdDelete)->trigger();
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
    QCOMPARE(fixture.Ui().messages[0].text,
             std::string("Are you sure that you want to delete these entries?"));
    QCOMPARE(References(*fixture), (std::vector<std::string>{"A", "D"}));
    QCOMPARE(List(window).model()->rowCount(), 2);
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{3});
    const char* expected[] = {"10_000005", "10_000003", "10_000002"};
    for (int i = 0; i < 3; ++i) {
      QVERIFY2(pending[i].starts_with("Larkspire_d"), pending[i].c_str());
      QVERIFY2(pending[i].find(expected[i]) != std::string::npos, pending[i].c_str());
    }
  }

  void deleteAnsweredNoKeepsEverything() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    ListSelected(window, *fixture, MakeEntry("A", "10/000,001"));
    fixture.Ui().answers.push_back(MsgAnswer::kNo);
    Actions(window).Action(kCmdDelete)->trigger();
    QCOMPARE(fixture->Entries().Size(), std::size_t{1});
    QVERIFY(fixture.PendingList().empty());
  }

  void headerClicksSortReferenceBothWaysAndFiledNewestFirst() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    fixture->Entries().Insert(MakeEntry("b-2", "10/000,001", "2004-05-06"));
    fixture->Entries().Insert(MakeEntry("A-3", "10/000,002", "2006-01-02"));
    fixture->Entries().Insert(MakeEntry("c1", "10/000,003", "2001-12-31"));
    window.RefreshList();

    ClickHeader(window, kReference);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"A-3", "b-2", "c1"}));
    QVERIFY(Actions(window).Action(kCmdAscending)->isChecked());
    ClickHeader(window, kReference);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"c1", "b-2", "A-3"}));
    QVERIFY(Actions(window).Action(kCmdDescending)->isChecked());
    ClickHeader(window, kFilingDate);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"A-3", "b-2", "c1"}));
    QCOMPARE(List(window).model()->data(List(window).model()->index(0, kFilingDate)).toString(),
             QString("2006-01-02"));
    // Newest first is the natural order of a date: the Descending item carries the mark.
    QVERIFY(Actions(window).Action(kCmdDescending)->isChecked());
    QVERIFY(Actions(window).Action(kCmdSortByField + kFilingDate)->isChecked());
    Actions(window).Action(kCmdAscending)->trigger();
    QCOMPARE(References(*fixture), (std::vector<std::string>{"c1", "b-2", "A-3"}));
  }

  void theSortedColumnCarriesTheArrowTheSortMenuMarks() {
    CGuiTestApp fixture({{"SortBy", "Examiner"}});
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QHeaderView* header = List(window).horizontalHeader();
    // The stored sort shows from the start.
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), int(kExaminer));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    struct Step {
      std::function<void()> act;
      int section;
      Qt::SortOrder order;
    };
    const Step steps[] = {
        {[&] { ClickHeader(window, kReference); }, kReference, Qt::AscendingOrder},
        {[&] { ClickHeader(window, kReference); }, kReference, Qt::DescendingOrder},
        // A date sorts newest first, which the Sort menu calls descending.
        {[&] { ClickHeader(window, kFilingDate); }, kFilingDate, Qt::DescendingOrder},
        {[&] { Actions(window).Action(kCmdAscending)->trigger(); }, kFilingDate,
         Qt::AscendingOrder},
        {[&] { Actions(window).Action(kCmdSortByField + kStatus)->trigger(); }, kStatus,
         Qt::AscendingOrder},
    };
    for (const Step& step : steps) {
      step.act();
      QCOMPARE(header->sortIndicatorSection(), step.section);
      QCOMPARE(header->sortIndicatorOrder(), step.order);
      QCOMPARE(Actions(window).Action(kCmdAscending)->isChecked(),
               step.order == Qt::AscendingOrder);
    }
    // The indicator only shows the order: the list itself is not re-sorted by the view.
    QVERIFY(!List(window).isSortingEnabled());
  }

  void theHeaderMenuHidesAndShowsColumnsAndTheChoiceIsKept() {
    CGuiTestApp fixture({{"ColWidthExaminer", "88"}, {"ColWidthError", "0"}});
    {
      CMainWindow window(*fixture);
      window.show();
      CEntryListView& list = List(window);
      QHeaderView* header = list.horizontalHeader();
      // The menu the header opens, with one checked item per shown column.
      const auto open_menu = [&]() -> QMenu& {
        emit header->customContextMenuRequested(QPoint(5, 5));
        QMenu* menu = nullptr;
        for (QMenu* m : list.findChildren<QMenu*>("columnMenu")) {
          if (m->isVisible()) menu = m;
        }
        if (menu == nullptr) qFatal("no column menu");
        return *menu;
      };
      const auto item = [](QMenu& menu, const char* caption) {
        for (QAction* action : menu.actions()) {
          if (action->text() == QString(caption)) return action;
        }
        qFatal("no item %s", caption);
      };
      QMenu& menu = open_menu();
      QCOMPARE(menu.actions().size(), list.model()->columnCount());
      QVERIFY(item(menu, "Examiner")->isChecked());
      QVERIFY(!item(menu, "Error")->isChecked());  // hidden by a stored width of 0
      item(menu, "Examiner")->trigger();
      menu.close();
      QVERIFY(list.isColumnHidden(kExaminer));
      // The Error column comes back at its default width.
      QMenu& second = open_menu();
      QVERIFY(!item(second, "Examiner")->isChecked());
      item(second, "Error")->trigger();
      second.close();
      QVERIFY(!list.isColumnHidden(kError));
      QCOMPARE(list.columnWidth(kError), list.DefaultColumnWidth(kError));
      // Hiding all but one: the last item cannot be unchecked.
      for (int id = 0; id < list.model()->columnCount(); ++id) {
        if (id != kStatus) list.SetColumnShown(id, false);
      }
      QVERIFY(!list.isColumnHidden(kStatus));
      list.SetColumnShown(kStatus, false);
      QVERIFY(!list.isColumnHidden(kStatus));
      QMenu& last = open_menu();
      QVERIFY(!item(last, "Status")->isEnabled());
      last.close();
      for (int id = 0; id < list.model()->columnCount(); ++id) {
        if (id != kExaminer) list.SetColumnShown(id, true);
      }
      QVERIFY(window.close());
    }
    CSettings& settings = fixture->Settings();
    QCOMPARE(settings.HiddenColumns.Text(), std::string("Examiner"));
    // A column hidden by choice keeps its width for when it comes back.
    QCOMPARE(settings.ColumnWidth(kExaminer)->Int(), 88LL);
    CMainWindow again(*fixture);
    QVERIFY(List(again).isColumnHidden(kExaminer));
    QVERIFY(!List(again).isColumnHidden(kError));
    List(again).SetColumnShown(kExaminer, true);
    QCOMPARE(List(again).columnWidth(kExaminer), 88);
  }

  void theFocusStaysWithItsEntryWhenTheListIsResorted() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.SortBy(SortTrigger::kByField, kReference);
    fixture->Entries().Insert(MakeEntry("A", "10/000,001", "2001-01-01"));
    fixture->Entries().Insert(MakeEntry("B", "10/000,002", "2009-01-01"));
    fixture->Entries().Insert(MakeEntry("C", "10/000,003", "2005-01-01"));
    window.RefreshList();
    CEntryListView& list = List(window);
    const auto focused_reference = [&] { return list.FocusedEntry()->Text(kReference); };
    list.setCurrentIndex(list.model()->index(0, 0));
    QCOMPARE(focused_reference(), std::string("A"));
    // Newest filing first: A moves from the top to the bottom, and the focus with it.
    ClickHeader(window, kFilingDate);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"B", "C", "A"}));
    QCOMPARE(list.FocusedRow(), 2);
    QCOMPARE(focused_reference(), std::string("A"));
    // A frequency change re-sorts too: A, set to Never, goes from the top to the bottom.
    window.SortBy(SortTrigger::kByField, kFrequency);
    QCOMPARE(References(*fixture), (std::vector<std::string>{"A", "B", "C"}));
    Select(window, {0});
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0),
                                           QItemSelectionModel::NoUpdate);
    Actions(window).Action(kCmdNever)->trigger();
    QCOMPARE(list.FocusedRow(), 2);
    QCOMPARE(focused_reference(), std::string("A"));
    QCOMPARE(fixture->Entries().At(static_cast<std::size_t>(list.FocusedRow())).frequency,
             int32_t{kNever});
  }

  void anEmptyListSaysHowItFills() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.resize(900, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* viewport = List(window).viewport();
    // Pixels not of the list's background in the middle of the list, where rows never reach
    // with one entry.
    const auto ink_in_the_middle = [&] {
      const QImage image = viewport->grab().toImage();
      const QColor base = image.pixelColor(2, image.height() - 3);
      const QRect middle(image.width() / 4, image.height() / 3, image.width() / 2,
                         image.height() / 3);
      int ink = 0;
      for (int y = middle.top(); y <= middle.bottom(); ++y) {
        for (int x = middle.left(); x <= middle.right(); ++x) ink += image.pixelColor(x, y) != base;
      }
      return ink;
    };
    QVERIFY(CEntryListView::PlaceholderText().contains("Update > All"));
    QVERIFY(CEntryListView::PlaceholderText().contains("Edit > Add..."));
    QVERIFY(ink_in_the_middle() > 100);
    fixture->Entries().Insert(MakeEntry("A", "10/000,001"));
    window.RefreshList();
    QCOMPARE(ink_in_the_middle(), 0);
  }

  void doubleClickOnExaminerCannotBeEdited() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    fixture->Entries().Insert(MakeEntry("A", "10/000,001", "", "SMITH, JOHN"));
    window.RefreshList();
    CEntryListView& list = List(window);
    list.scrollTo(list.model()->index(0, kExaminer));
    const QRect cell = list.visualRect(list.model()->index(0, kExaminer));
    QVERIFY(list.viewport()->rect().contains(cell.center()));
    // An item view takes a double click on the cell that the click before it pressed.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(fixture.Ui().messages.size(), std::size_t{1});
    QCOMPARE(fixture.Ui().messages[0].text, std::string("This column cannot be edited."));
    QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption));
  }

  void clearingLastUpdateAsksFirst() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    CEntry entry = MakeEntry("A", "10/000,001");
    entry.last_update = TodayDayNumber();
    ListSelected(window, *fixture, entry);
    fixture.Ui().answers = {MsgAnswer::kNo, MsgAnswer::kYes};
    window.EditColumn(kLastUpdate);
    QCOMPARE(fixture->Entries().At(0).last_update, TodayDayNumber());
    window.EditColumn(kLastUpdate);
    QCOMPARE(fixture->Entries().At(0).last_update, 0);
    QCOMPARE(fixture.Ui().messages[0].caption, std::string(kCaption) + " - Clear Last Update");
    QCOMPARE(fixture.Ui().messages[0].buttons, MsgButtons::kYesNo);
  }

  void enabledStatesFollowSelectionAndBusy() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    for (const char* number : {"10/000,001", "10/000,002", "10/000,003"}) {
      fixture->Entries().Insert(MakeEntry(number, number));
    }
    window.RefreshList();
    const int need_selection[] = {kCmdDaily,
                                  kCmdNever,
                                  kCmdDelete,
                                  kCmdClearError,
                                  kCmdUpdateSelected,
                                  kCmdDetails,
                                  kCmdChangeField + kLastUpdate};
    const int need_one[] = {kCmdChangeField + kReference, kCmdWebpage};
    const int idle_only[] = {
        kCmdSelectAll,           kCmdAdd,        kCmdUpdateAll, kCmdSortByField + kReference,
        kCmdAscending,           kCmdDescending, kCmdReport,    kCmdTestReturnAddress,
        kCmdTestNotifyAddresses, kCmdConfigure,  kCmdUpgrade,   kCmdAbout,
        kCmdReportProblem};
    const int always[] = {kCmdExit, kCmdLogFile, kCmdTcpIpFlow, kCmdHelpContents,
                          kCmdGoToPublisher};
    struct Case {
      std::initializer_list<int> rows;
      bool busy;
    };
    for (const Case& c : {Case{{}, false}, Case{{1}, false}, Case{{0, 2}, false}, Case{{1}, true},
                          Case{{0, 2}, true}}) {
      Select(window, c.rows);
      if (c.busy) fixture->BeginBusy("Update Status", 3);
      const std::size_t n = c.rows.size();
      for (int command : need_selection) QCOMPARE(Enabled(window, command), !c.busy && n > 0);
      for (int command : need_one) QCOMPARE(Enabled(window, command), !c.busy && n == 1);
      for (int command : idle_only) QCOMPARE(Enabled(window, command), !c.busy);
      for (int command : always) QVERIFY(Enabled(window, command));
      QCOMPARE(Enabled(window, kCmdCancel), c.busy);
      QVERIFY(!Enabled(window, kCmdSendEmail));
      QVERIFY(!Enabled(window, kCmdDeleteEmail));
      if (c.busy) fixture->EndBusy();
    }
  }

  void frequencyMarkFollowsTheFocusedRowAndTheCommandSetsTheSelection() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    CEntry weekly = MakeEntry("A", "10/000,001");
    weekly.frequency = kWeekly;
    CEntry yearly = MakeEntry("B", "10/000,002");
    yearly.frequency = kYearly;
    fixture->Entries().Insert(weekly);
    fixture->Entries().Insert(yearly);
    window.RefreshList();
    CEntryListView& list = List(window);
    list.setCurrentIndex(list.model()->index(0, 0));
    QVERIFY(Actions(window).Action(kCmdWeekly)->isChecked());
    QVERIFY(!Actions(window).Action(kCmdYearly)->isChecked());
    list.setCurrentIndex(list.model()->index(1, 0));
    QVERIFY(Actions(window).Action(kCmdYearly)->isChecked());
    QVERIFY(!Actions(window).Action(kCmdWeekly)->isChecked());
    Select(window, {0, 1});
    Actions(window).Action(kCmdNever)->trigger();
    QCOMPARE(fixture->Entries().At(0).frequency, int32_t{kNever});
    QCOMPARE(fixture->Entries().At(1).frequency, int32_t{kNever});
    QCOMPARE(list.model()->data(list.model()->index(0, kFrequency)).toString(), QString("Never"));
  }

  void shortcutsOfDisabledCommandsDoNothingWhileBusy() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ListSelected(window, *fixture, MakeEntry("A", "10/000,001"));
    fixture->BeginBusy("Update Status", 1);
    QTest::keyClick(&window, Qt::Key_Delete);
    QTest::keyClick(&window, Qt::Key_Insert);
    QVERIFY(fixture.Ui().messages.empty());
    QCOMPARE(fixture->Entries().Size(), std::size_t{1});
    QTest::keyClick(&window, Qt::Key_Escape);
    QCOMPARE(fixture->AbortReason(), kAbortCanceled);
    fixture->EndBusy();
    QVERIFY(!Enabled(window, kCmdCancel));
  }

  void busyDisplayShowsCancelAndTimesOut() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    CBusyPanel& busy = Busy(window);
    QVERIFY(Child<QPushButton>(busy, "cancel").isHidden());
    fixture->BeginBusy("Update Status", 5);
    QVERIFY(!Child<QPushButton>(busy, "cancel").isHidden());
    QVERIFY(!Child<QProgressBar>(busy, "timeoutBar").isHidden());
    QVERIFY(!List(window).isEnabled());
    QCOMPARE(Child<QLabel>(busy, "status").text(), QString("Update Status"));
    QCOMPARE(Child<QProgressBar>(busy, "progress").maximum(), 5);
    fixture->SetTimeoutMs(60000);
    fixture->BeginNetworkWait(60);
    window.CheckTimeout();
    QCOMPARE(Child<QProgressBar>(busy, "timeoutBar").maximum(), 60);
    QCOMPARE(fixture->AbortReason(), kAbortNone);
    fixture->SetTimeoutMs(0);
    window.CheckTimeout();
    QCOMPARE(fixture->AbortReason(), kAbortTimedOut);
    fixture->EndNetworkWait();
    Child<QPushButton>(busy, "cancel").click();
    QCOMPARE(fixture->AbortReason(), kAbortCanceled);
    fixture->EndBusy();
    QVERIFY(Child<QPushButton>(busy, "cancel").isHidden());
    QVERIFY(Child<QProgressBar>(busy, "timeoutBar").isHidden());
    QVERIFY(List(window).isEnabled());
  }

  void timeoutChoiceIsStoredInTheSetting() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    CBusyPanel& busy = Busy(window);
    QComboBox& choice = Child<QComboBox>(busy, "timeoutChoice");
    const int index = choice.findData(300000u);
    QVERIFY(index >= 0);
    QCOMPARE(choice.itemText(index).toStdString(), TimeoutChoiceText(300000));
    emit choice.activated(index);
    QCOMPARE(fixture->Settings().Timeout.Text(), TimeoutChoiceText(300000));
    QCOMPARE(fixture->TimeoutMs(), 300000u);
  }

  void closingWhileBusyWaitsForTheWorkToEnd() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.show();
    fixture->BeginBusy("Update Status", 1);
    QVERIFY(!window.close());
    QCOMPARE(fixture->AbortReason(), kAbortClosing);
    QVERIFY(window.isVisible());
    fixture->EndBusy();
    QTRY_VERIFY(!window.isVisible());
  }

  void closingSavesPlacementWidthsAndSort() {
    CGuiTestApp fixture({{"ColWidthError", "0"}, {"ColWidthReference", "123"}});
    {
      CMainWindow window(*fixture);
      QVERIFY(List(window).isColumnHidden(kError));
      QCOMPARE(List(window).columnWidth(kReference), 123);
      QVERIFY(!List(window).isColumnHidden(kExaminer));
      QCOMPARE(List(window).columnWidth(kExaminer), List(window).DefaultColumnWidth(kExaminer));
      window.show();
      window.SortBy(SortTrigger::kByField, kFilingDate);
      window.SortBy(SortTrigger::kAscending, 0);
      window.setGeometry(40, 50, 700, 400);
      List(window).setColumnWidth(kExaminer, 77);
      QVERIFY(window.close());
    }
    CSettings& settings = fixture->Settings();
    QCOMPARE(settings.SortBy.Text(), std::string("FilingDate"));
    QCOMPARE(settings.SortReversed.Int(), 1LL);
    QCOMPARE(settings.ColumnWidth(kExaminer)->Int(), 77LL);
    QCOMPARE(settings.ColumnWidth(kError)->Int(), 0LL);
    QCOMPARE(settings.ColumnWidth(kReference)->Int(), 123LL);
    CMainWindow again(*fixture);
    QCOMPARE(again.geometry(), QRect(40, 50, 700, 400));
    QCOMPARE(List(again).columnWidth(kExaminer), 77);
    QVERIFY(List(again).isColumnHidden(kError));
  }

  void withoutADisplayNothingIsShownAndTheBusyDisplayIsText() {
    CGuiTestApp fixture({{"Left", "40"},
                         {"Top", "50"},
                         {"Right", "740"},
                         {"Bottom", "450"},
                         {"TopIndex", "3"},
                         {"ColWidthReference", "123"},
                         {"DetailsVisible", "1"},
                         {"TCPIPVisible", "1"},
                         {"TCPIPLeft", "30"},
                         {"TCPIPRight", "530"}});
    fixture->Status().headless = true;
    for (int i = 0; i < 10; ++i) fixture->Entries().Insert(MakeEntry("R" + std::to_string(i), ""));
    {
      CMainWindow window(*fixture);
      window.Start();
      QVERIFY(!window.isVisible());
      QVERIFY(!Details(window).isVisible());
      QVERIFY(!Flow(window).isVisible());
      // The busy display goes to the log; the panel nobody sees is left alone.
      fixture->BeginBusy("Update Status (All)", 2);
      window.SetStatusText("Updating R1");
      window.SetProgress(1);
      window.RedrawRow(1);
      fixture->EndBusy();
      QVERIFY(Child<QLabel>(Busy(window), "status").text().isEmpty());
      QCOMPARE(Child<QProgressBar>(Busy(window), "progress").maximum(), 100);
      // Flow lines still reach the text problem reports quote, not the hidden widget.
      fixture->FlowLog().Write("HttpGet(0): GET / HTTP/1.0", kFlowSent);
      window.DrainFlowLog();
      QVERIFY(fixture->Transcript().text.ends_with("HttpGet(0): GET / HTTP/1.0\r\n"));
      QVERIFY(ShownText(Flow(window)).empty());
      // Message boxes are answered for nobody, logged, and keep the run unattended.
      fixture->Status().auto_run = true;
      QCOMPARE(fixture->MessageBox("Really?", MsgButtons::kYesNo, MsgAnswer::kNo), MsgAnswer::kNo);
      QVERIFY(fixture->Status().auto_run);
      QVERIFY(fixture.Ui().messages.empty());
      QVERIFY(window.close());
    }
    std::string log;
    QVERIFY(ReadWholeFile(fixture->Log().Path(), log));
    QVERIFY(log.find("Progress 'Update Status (All)' 0 of 2\r\n") != std::string::npos);
    QVERIFY(log.find("Progress 'Update Status (All)' 1 of 2 in ") != std::string::npos);
    QVERIFY(log.find("Message 'Larkspire\xAE' 'Really?'\r\n") != std::string::npos);
    // What only the user could have changed stays as the user left it.
    CSettings& settings = fixture->Settings();
    const std::vector<std::pair<CSetting*, std::string>> kept = {
        {&settings.Left, "40"},          {&settings.Top, "50"},
        {&settings.Right, "740"},        {&settings.Bottom, "450"},
        {&settings.TopIndex, "3"},       {settings.ColumnWidth(kReference), "123"},
        {&settings.DetailsVisible, "1"}, {&settings.TCPIPVisible, "1"},
        {&settings.TCPIPLeft, "30"},     {&settings.TCPIPRight, "530"}};
    for (const auto& [setting, value] : kept) QCOMPARE(setting->Text(), value);
  }

  void everyWindowCarriesTheProgramIcon() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    for (int size : kIconSizes)
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QCOMPARE(Details(window).windowIcon().cacheKey(), window.windowIcon().cacheKey());
    QCOMPARE(Flow(window).windowIcon().cacheKey(), window.windowIcon().cacheKey());
    QVERIFY(!ProgramIcon().pixmap(48).isNull());
  }

  void titleAdvertisesANewerVersionNamedByTheRules() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - Example Patent Group"));
    fixture->Rules().version = fixture->VersionText() + ".000";
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - Example Patent Group"));
    fixture->Rules().version = "4.3.01.000";
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(),
             QString::fromLatin1("Larkspire\xAE - Example Patent Group (v4.3.01 available - use "
                                 "Options|Upgrade)"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
