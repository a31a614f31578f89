// The main window against a real AppCore: adding and deleting through the commands, sorting by
// the header, column edits, the enabled rules while busy and by selection, the busy display
// and the saving at close.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "GuiFixture.h"
#include "platform/Shortcuts.h"
#include "rules/Dates.h"
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
  CEntryListView& list = window.List();
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
  QHeaderView* header = window.List().horizontalHeader();
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
  return window.Actions().Action(command)->isEnabled();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void addThroughTheDialogWithAnInvalidNumberFirst() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    WithDialog<CAddReferenceDialog>(window.Actions().Action(kCmdAdd), [&](auto& dialog) {
      dialog.ReferenceField().setText("ACME-7");
      dialog.NumberField().setText("12/34");
      dialog.accept();
      // The parser's message, and the dialog stays open with the typed text.
      QCOMPARE(fixture.boxes.size(), std::size_t{1});
      QVERIFY(fixture.boxes[0].text.starts_with("Invalid Patent/Application/Publication Number."));
      QCOMPARE(fixture.boxes[0].caption, std::string(kCaption));
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.NumberField().text(), QString("12/34"));
      dialog.NumberField().setText("10/123,456");
      dialog.accept();
    });
    QCOMPARE(fixture.core->Entries().Size(), std::size_t{1});
    const CEntry& added = fixture.core->Entries().At(0);
    QCOMPARE(added.Text(kReference), std::string("ACME-7"));
    QCOMPARE(added.Text(kAppNum), std::string("10/123,456"));
    QVERIFY(fixture.core->Entries().IsSelected(0));
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{1});
    QVERIFY(pending[0].starts_with("Larkspire_a"));
    // The queue now shows: the sign in the busy strip and the File menu's two items.
    QVERIFY(window.Busy().EmailSignShown());
    QVERIFY(Enabled(window, kCmdSendEmail));
    QVERIFY(Enabled(window, kCmdDeleteEmail));
  }

  void changingTheReferenceGoesThroughThePrompt() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    ListSelected(window, *fixture.core, MakeEntry("OLD-1", "10/000,001"));
    WithDialog<CPromptDialog>(
        window.Actions().Action(kCmdChangeField + kReference), [](auto& dialog) {
          QCOMPARE(dialog.windowTitle(), QString::fromLatin1("Larkspire\xAE - Change"));
          QCOMPARE(dialog.Fields().size(), std::size_t{1});
          QCOMPARE(dialog.Fields()[0]->text(), QString("OLD-1"));
          dialog.Fields()[0]->setText("NEW-2");
          dialog.accept();
        });
    QCOMPARE(fixture.core->Entries().At(0).Text(kReference), std::string("NEW-2"));
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{1});
    QVERIFY(pending[0].starts_with("Larkspire_c"));
    // Cancel leaves the reference alone.
    WithDialog<CPromptDialog>(window.Actions().Action(kCmdChangeField + kReference),
                              [](auto& dialog) {
                                dialog.Fields()[0]->setText("OTHER");
                                dialog.reject();
                              });
    QCOMPARE(fixture.core->Entries().At(0).Text(kReference), std::string("NEW-2"));
  }

  void viewCommandsOpenTheirDocuments() {
    CGuiFixture fixture;
    CRecordingWindow window(*fixture.core);
    ListSelected(window, *fixture.core, MakeEntry("A", "10/123,456"));
    const std::string status_url = fixture.core->Entries().At(0).StatusUrl();
    QVERIFY(!status_url.empty());
    window.Actions().Action(kCmdWebpage)->trigger();
    window.Actions().Action(kCmdLogFile)->trigger();
    window.Actions().Action(kCmdReport)->trigger();
    QCOMPARE(window.opened, (std::vector<std::string>{status_url, fixture.dir.File("Larkspire.log"),
                                                      fixture.dir.File("Larkspire.html")}));
    QVERIFY(QFile::exists(QString::fromStdString(fixture.dir.File("Larkspire.html"))));
  }

  void enterShowsTheDetailsOfTheSelection() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ListSelected(window, *fixture.core, MakeEntry("A", "10/000,001"));
    window.List().setFocus();
    QVERIFY(!window.Details().isVisible());
    QTest::keyClick(&window.List(), Qt::Key_Return);
    QVERIFY(window.Details().isVisible());
    QTRY_VERIFY(window.Details().SummaryText().find("Reference:\tA\r\n") != std::string::npos);
    // A new selection refreshes the open window.
    fixture.core->Entries().Insert(MakeEntry("B", "10/000,002"));
    window.RefreshList();
    Select(window, {1});
    QTRY_VERIFY(window.Details().SummaryText().find("Reference:\tB\r\n") != std::string::npos);
  }

  void flowLinesReachTheTcpIpWindow() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    fixture.core->FlowLog().Write("HttpGet(0): GET / HTTP/1.0", kFlowSent);
    fixture.core->FlowLog().Write("HttpGet(0): HTTP/1.0 200 OK", kFlowReceived);
    window.DrainFlowLog();
    QVERIFY(fixture.core->Transcript().has_content);
    QVERIFY(window.Flow().FlowText().find("HttpGet(0): GET / HTTP/1.0\r\n") != std::string::npos);
    QVERIFY(window.Flow().FlowText().ends_with("HttpGet(0): HTTP/1.0 200 OK\r\n"));
  }

  void theStoredTopRowComesBackAtTheTop() {
    CGuiFixture fixture({{"TopIndex", "40"}});
    for (int i = 0; i < 100; ++i) {
      char number[16];
      std::snprintf(number, sizeof number, "10/000,%03d", i);
      fixture.core->Entries().Insert(MakeEntry(number, number));
    }
    CMainWindow window(*fixture.core);
    window.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.List().TopIndex(), 40);
    window.List().ScrollToTopIndex(55);
    QVERIFY(window.close());
    QCOMPARE(fixture.core->Settings().TopIndex.Int(), 55LL);
  }

  void addedEntryIsSelectedAloneInItsSortedPlace() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.SortBy(SortTrigger::kByField, kReference);
    for (const char* reference : {"B", "D"}) {
      fixture.core->Entries().Insert(MakeEntry(reference, std::string("10/000,00") + reference[0]));
    }
    window.RefreshList();
    Select(window, {0, 1});
    WithDialog<CAddReferenceDialog>(window.Actions().Action(kCmdAdd), [](auto& dialog) {
      dialog.ReferenceField().setText("C");
      dialog.NumberField().setText("10/111,111");
      dialog.accept();
    });
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"B", "C", "D"}));
    QCOMPARE(fixture.core->Entries().SelectedRows(), std::vector<std::size_t>{1});
    QCOMPARE(window.List().selectionModel()->selectedRows().size(), 1);
    QCOMPARE(window.List().selectionModel()->selectedRows()[0].row(), 1);
  }

  void cancelInTheDialogAddsAndQueuesNothing() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    WithDialog<CAddReferenceDialog>(window.Actions().Action(kCmdAdd), [](auto& dialog) {
      dialog.ReferenceField().setText("ACME-8");
      dialog.NumberField().setText("10/123,457");
      dialog.reject();
    });
    QVERIFY(fixture.core->Entries().Empty());
    QVERIFY(fixture.PendingList().empty());
    QVERIFY(fixture.boxes.empty());
  }

  void deletingThreeQueuesThreeNoticesBottomRowFirst() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.SortBy(SortTrigger::kByField, kReference);
    const char* numbers[] = {"10/000,001", "10/000,002", "10/000,003", "10/000,004", "10/000,005"};
    for (int i = 0; i < 5; ++i) {
      fixture.core->Entries().Insert(
          MakeEntry(std::string(1, static_cast<char>('A' + i)), numbers[i]));
    }
    window.RefreshList();
    Select(window, {1, 2, 4});
    fixture.answers.push_back(MsgAnswer::kYes);
    window.Actions().Action(kCmdDelete)->trigger();
    QCOMPARE(fixture.boxes.size(), std::size_t{1});
    QCOMPARE(fixture.boxes[0].text,
             std::string("Are you sure that you want to delete these entries?"));
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"A", "D"}));
    QCOMPARE(window.List().model()->rowCount(), 2);
    const std::vector<std::string> pending = fixture.PendingList();
    QCOMPARE(pending.size(), std::size_t{3});
    const char* expected[] = {"10_000005", "10_000003", "10_000002"};
    for (int i = 0; i < 3; ++i) {
      QVERIFY2(pending[i].starts_with("Larkspire_d"), pending[i].c_str());
      QVERIFY2(pending[i].find(expected[i]) != std::string::npos, pending[i].c_str());
    }
  }

  void deleteAnsweredNoKeepsEverything() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    ListSelected(window, *fixture.core, MakeEntry("A", "10/000,001"));
    fixture.answers.push_back(MsgAnswer::kNo);
    window.Actions().Action(kCmdDelete)->trigger();
    QCOMPARE(fixture.core->Entries().Size(), std::size_t{1});
    QVERIFY(fixture.PendingList().empty());
  }

  void headerClicksSortReferenceBothWaysAndFiledNewestFirst() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    fixture.core->Entries().Insert(MakeEntry("b-2", "10/000,001", "2004-05-06"));
    fixture.core->Entries().Insert(MakeEntry("A-3", "10/000,002", "2006-01-02"));
    fixture.core->Entries().Insert(MakeEntry("c1", "10/000,003", "2001-12-31"));
    window.RefreshList();

    ClickHeader(window, kReference);
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"A-3", "b-2", "c1"}));
    QVERIFY(window.Actions().Action(kCmdAscending)->isChecked());
    ClickHeader(window, kReference);
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"c1", "b-2", "A-3"}));
    QVERIFY(window.Actions().Action(kCmdDescending)->isChecked());
    ClickHeader(window, kFilingDate);
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"A-3", "b-2", "c1"}));
    QCOMPARE(window.List().model()->data(window.List().model()->index(0, kFilingDate)).toString(),
             QString("2006-01-02"));
    // Newest first is the natural order of a date: the Descending item carries the mark.
    QVERIFY(window.Actions().Action(kCmdDescending)->isChecked());
    QVERIFY(window.Actions().Action(kCmdSortByField + kFilingDate)->isChecked());
    window.Actions().Action(kCmdAscending)->trigger();
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"c1", "b-2", "A-3"}));
  }

  void theFocusStaysWithItsEntryWhenTheListIsResorted() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.SortBy(SortTrigger::kByField, kReference);
    fixture.core->Entries().Insert(MakeEntry("A", "10/000,001", "2001-01-01"));
    fixture.core->Entries().Insert(MakeEntry("B", "10/000,002", "2009-01-01"));
    fixture.core->Entries().Insert(MakeEntry("C", "10/000,003", "2005-01-01"));
    window.RefreshList();
    CEntryListView& list = window.List();
    const auto focused_reference = [&] { return list.FocusedEntry()->Text(kReference); };
    list.setCurrentIndex(list.model()->index(0, 0));
    QCOMPARE(focused_reference(), std::string("A"));
    // Newest filing first: A moves from the top to the bottom, and the focus with it.
    ClickHeader(window, kFilingDate);
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"B", "C", "A"}));
    QCOMPARE(list.FocusedRow(), 2);
    QCOMPARE(focused_reference(), std::string("A"));
    // A frequency change re-sorts too: A, set to Never, goes from the top to the bottom.
    window.SortBy(SortTrigger::kByField, kFrequency);
    QCOMPARE(References(*fixture.core), (std::vector<std::string>{"A", "B", "C"}));
    Select(window, {0});
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0),
                                           QItemSelectionModel::NoUpdate);
    window.Actions().Action(kCmdNever)->trigger();
    QCOMPARE(list.FocusedRow(), 2);
    QCOMPARE(focused_reference(), std::string("A"));
    QCOMPARE(fixture.core->Entries().At(static_cast<std::size_t>(list.FocusedRow())).frequency,
             int32_t{kNever});
  }

  void anEmptyListSaysHowItFills() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.resize(900, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* viewport = window.List().viewport();
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
    fixture.core->Entries().Insert(MakeEntry("A", "10/000,001"));
    window.RefreshList();
    QCOMPARE(ink_in_the_middle(), 0);
  }

  void doubleClickOnExaminerCannotBeEdited() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    fixture.core->Entries().Insert(MakeEntry("A", "10/000,001", "", "SMITH, JOHN"));
    window.RefreshList();
    CEntryListView& list = window.List();
    list.scrollTo(list.model()->index(0, kExaminer));
    const QRect cell = list.visualRect(list.model()->index(0, kExaminer));
    QVERIFY(list.viewport()->rect().contains(cell.center()));
    // An item view takes a double click on the cell that the click before it pressed.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(fixture.boxes.size(), std::size_t{1});
    QCOMPARE(fixture.boxes[0].text, std::string("This column cannot be edited."));
    QCOMPARE(fixture.boxes[0].caption, std::string(kCaption));
  }

  void clearingLastUpdateAsksFirst() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    CEntry entry = MakeEntry("A", "10/000,001");
    entry.last_update = TodayDayNumber();
    ListSelected(window, *fixture.core, entry);
    fixture.answers = {MsgAnswer::kNo, MsgAnswer::kYes};
    window.EditColumn(kLastUpdate);
    QCOMPARE(fixture.core->Entries().At(0).last_update, TodayDayNumber());
    window.EditColumn(kLastUpdate);
    QCOMPARE(fixture.core->Entries().At(0).last_update, 0);
    QCOMPARE(fixture.boxes[0].caption, std::string(kCaption) + " - Clear Last Update");
    QCOMPARE(fixture.boxes[0].buttons, MsgButtons::kYesNo);
  }

  void enabledStatesFollowSelectionAndBusy() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    for (const char* number : {"10/000,001", "10/000,002", "10/000,003"}) {
      fixture.core->Entries().Insert(MakeEntry(number, number));
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
      if (c.busy) fixture.core->BeginBusy("Update Status", 3);
      const std::size_t n = c.rows.size();
      for (int command : need_selection) QCOMPARE(Enabled(window, command), !c.busy && n > 0);
      for (int command : need_one) QCOMPARE(Enabled(window, command), !c.busy && n == 1);
      for (int command : idle_only) QCOMPARE(Enabled(window, command), !c.busy);
      for (int command : always) QVERIFY(Enabled(window, command));
      QCOMPARE(Enabled(window, kCmdCancel), c.busy);
      QVERIFY(!Enabled(window, kCmdSendEmail));
      QVERIFY(!Enabled(window, kCmdDeleteEmail));
      if (c.busy) fixture.core->EndBusy();
    }
  }

  void frequencyMarkFollowsTheFocusedRowAndTheCommandSetsTheSelection() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    CEntry weekly = MakeEntry("A", "10/000,001");
    weekly.frequency = kWeekly;
    CEntry yearly = MakeEntry("B", "10/000,002");
    yearly.frequency = kYearly;
    fixture.core->Entries().Insert(weekly);
    fixture.core->Entries().Insert(yearly);
    window.RefreshList();
    CEntryListView& list = window.List();
    list.setCurrentIndex(list.model()->index(0, 0));
    QVERIFY(window.Actions().Action(kCmdWeekly)->isChecked());
    QVERIFY(!window.Actions().Action(kCmdYearly)->isChecked());
    list.setCurrentIndex(list.model()->index(1, 0));
    QVERIFY(window.Actions().Action(kCmdYearly)->isChecked());
    QVERIFY(!window.Actions().Action(kCmdWeekly)->isChecked());
    Select(window, {0, 1});
    window.Actions().Action(kCmdNever)->trigger();
    QCOMPARE(fixture.core->Entries().At(0).frequency, int32_t{kNever});
    QCOMPARE(fixture.core->Entries().At(1).frequency, int32_t{kNever});
    QCOMPARE(list.model()->data(list.model()->index(0, kFrequency)).toString(), QString("Never"));
  }

  void shortcutsOfDisabledCommandsDoNothingWhileBusy() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ListSelected(window, *fixture.core, MakeEntry("A", "10/000,001"));
    fixture.core->BeginBusy("Update Status", 1);
    QTest::keyClick(&window, Qt::Key_Delete);
    QTest::keyClick(&window, Qt::Key_Insert);
    QVERIFY(fixture.boxes.empty());
    QCOMPARE(fixture.core->Entries().Size(), std::size_t{1});
    QTest::keyClick(&window, Qt::Key_Escape);
    QCOMPARE(fixture.core->AbortReason(), kAbortCanceled);
    fixture.core->EndBusy();
    QVERIFY(!Enabled(window, kCmdCancel));
  }

  void busyDisplayShowsCancelAndTimesOut() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    CBusyPanel& busy = window.Busy();
    QVERIFY(busy.CancelButton().isHidden());
    fixture.core->BeginBusy("Update Status", 5);
    QVERIFY(!busy.CancelButton().isHidden());
    QVERIFY(!busy.TimeoutBar().isHidden());
    QVERIFY(!window.List().isEnabled());
    QCOMPARE(busy.StatusLabel().text(), QString("Update Status"));
    QCOMPARE(busy.Progress().maximum(), 5);
    fixture.core->SetTimeoutMs(60000);
    fixture.core->BeginNetworkWait(60);
    window.CheckTimeout();
    QCOMPARE(busy.TimeoutBar().maximum(), 60);
    QCOMPARE(fixture.core->AbortReason(), kAbortNone);
    fixture.core->SetTimeoutMs(0);
    window.CheckTimeout();
    QCOMPARE(fixture.core->AbortReason(), kAbortTimedOut);
    fixture.core->EndNetworkWait();
    busy.CancelButton().click();
    QCOMPARE(fixture.core->AbortReason(), kAbortCanceled);
    fixture.core->EndBusy();
    QVERIFY(busy.CancelButton().isHidden());
    QVERIFY(busy.TimeoutBar().isHidden());
    QVERIFY(window.List().isEnabled());
  }

  void timeoutChoiceIsStoredInTheSetting() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    CBusyPanel& busy = window.Busy();
    QComboBox& choice = busy.TimeoutChoice();
    const int index = choice.findData(300000u);
    QVERIFY(index >= 0);
    QCOMPARE(choice.itemText(index).toStdString(), TimeoutChoiceText(300000));
    emit choice.activated(index);
    QCOMPARE(fixture.core->Settings().Timeout.Text(), TimeoutChoiceText(300000));
    QCOMPARE(fixture.core->TimeoutMs(), 300000u);
  }

  void closingWhileBusyWaitsForTheWorkToEnd() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.show();
    fixture.core->BeginBusy("Update Status", 1);
    QVERIFY(!window.close());
    QCOMPARE(fixture.core->AbortReason(), kAbortClosing);
    QVERIFY(window.isVisible());
    fixture.core->EndBusy();
    QTRY_VERIFY(!window.isVisible());
  }

  void closingSavesPlacementWidthsAndSort() {
    CGuiFixture fixture({{"ColWidthError", "0"}, {"ColWidthReference", "123"}});
    {
      CMainWindow window(*fixture.core);
      QVERIFY(window.List().isColumnHidden(kError));
      QCOMPARE(window.List().columnWidth(kReference), 123);
      QVERIFY(!window.List().isColumnHidden(kExaminer));
      QCOMPARE(window.List().columnWidth(kExaminer), window.List().DefaultColumnWidth(kExaminer));
      window.show();
      window.SortBy(SortTrigger::kByField, kFilingDate);
      window.SortBy(SortTrigger::kAscending, 0);
      window.setGeometry(40, 50, 700, 400);
      window.List().setColumnWidth(kExaminer, 77);
      QVERIFY(window.close());
    }
    CSettings& settings = fixture.core->Settings();
    QCOMPARE(settings.SortBy.Text(), std::string("FilingDate"));
    QCOMPARE(settings.SortReversed.Int(), 1LL);
    QCOMPARE(settings.ColumnWidth(kExaminer)->Int(), 77LL);
    QCOMPARE(settings.ColumnWidth(kError)->Int(), 0LL);
    QCOMPARE(settings.ColumnWidth(kReference)->Int(), 123LL);
    CMainWindow again(*fixture.core);
    QCOMPARE(again.geometry(), QRect(40, 50, 700, 400));
    QCOMPARE(again.List().columnWidth(kExaminer), 77);
    QVERIFY(again.List().isColumnHidden(kError));
  }

  void everyWindowCarriesTheProgramIcon() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    for (int size : kIconSizes)
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QCOMPARE(window.Details().windowIcon().cacheKey(), window.windowIcon().cacheKey());
    QCOMPARE(window.Flow().windowIcon().cacheKey(), window.windowIcon().cacheKey());
    QVERIFY(!ProgramIcon().pixmap(48).isNull());
  }

  void titleAdvertisesANewerVersionNamedByTheRules() {
    CGuiFixture fixture;
    CMainWindow window(*fixture.core);
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - Example Patent Group"));
    fixture.core->Rules().version = fixture.core->VersionText() + ".000";
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(), QString::fromLatin1("Larkspire\xAE - Example Patent Group"));
    fixture.core->Rules().version = "4.3.01.000";
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(),
             QString::fromLatin1("Larkspire\xAE - Example Patent Group (v4.3.01 available - use "
                                 "Options|Upgrade)"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
