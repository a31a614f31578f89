// The list model over the core's entries, the state images, the sort rules and the prompt
// dialog.
#include <QAction>
#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <algorithm>

#include "WidgetFinder.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/EntryListModel.h"
#include "ui/EntryListView.h"
#include "ui/MainActions.h"
#include "ui/PromptDialog.h"
#include "ui/SortRules.h"
#include "ui/StateImages.h"

using namespace larkspire;

Q_DECLARE_METATYPE(larkspire::SortTrigger)

class EntryListTest : public QObject {
  Q_OBJECT

 private slots:
  void modelShowsEveryFieldInDisplayForm() {
    CEntryList entries;
    CEntry entry = MakeEntry("ACME-1", "10/123,456", "2004-05-06", "SMITH, JOHN");
    entry.frequency = kMonthly;
    entry.last_update = *DayNumberFromCalendar(2007, 1, 2);
    entry.SetText(kError, "WinSock: Disconnected by server.");
    entries.Insert(entry);
    CEntryListModel model(entries);
    QCOMPARE(model.columnCount(), kFieldCount + 1);
    QCOMPARE(model.headerData(kNextDeadlineColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
             "Next Deadline");
    QCOMPARE(model.rowCount(), 1);
    for (int id = 0; id < kFieldCount; ++id) {
      QCOMPARE(model.headerData(id, Qt::Horizontal, Qt::DisplayRole).toString(),
               QString::fromLatin1(kFields[id].column_caption));
      QCOMPARE(model.data(model.index(0, id), Qt::DisplayRole).toString(),
               QString::fromLatin1(entry.GetText(id)));
    }
    QCOMPARE(model.data(model.index(0, kFrequency), Qt::DisplayRole).toString(), "Monthly");
    QCOMPARE(model.data(model.index(0, kLastUpdate), Qt::DisplayRole).toString(), "2007-01-02");
    QCOMPARE(model.data(model.index(0, kLastChange), Qt::DisplayRole).toString(), "");
    QCOMPARE(model.headerData(kAppNum, Qt::Horizontal, Qt::DisplayRole).toString(), "App #");
  }

  void textCrossesAsLatin1() {
    CEntryList entries;
    entries.Insert(MakeEntry("M\xFCller \xAE", "10/123,456"));
    CEntryListModel model(entries);
    QCOMPARE(model.data(model.index(0, kReference), Qt::DisplayRole).toString(),
             QString::fromUtf8("M\u00fcller \u00ae"));
  }

  void decorationIsTheRowStateImage() {
    CEntryList entries;
    CEntry fresh = MakeEntry("A", "10/000,001");
    fresh.last_update = TodayDayNumber();
    fresh.last_change = TodayDayNumber();
    fresh.frequency = kDaily;
    entries.Insert(fresh);
    CEntryListModel model(entries);
    CStateImages images;
    const auto icon_of = [&] {
      return model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    };
    QCOMPARE(entries.At(0).StateImage(), 3);
    QCOMPARE(icon_of(), images.Icon(3).pixmap(16).toImage());
    entries.SetUpdating(0, true);
    QCOMPARE(icon_of(), images.Icon(kStateImageUpdating).pixmap(16).toImage());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
  }

  void theStateImageTellsItsMeaningAsTheTooltip() {
    CEntry fresh = MakeEntry("A", "10/000,001");
    fresh.last_update = TodayDayNumber();
    fresh.last_change = TodayDayNumber();
    fresh.frequency = kDaily;
    CEntry due = MakeEntry("B", "10/000,002");
    CEntry failed = due;
    failed.SetText(kError, "WinSock: Disconnected by server.");
    struct Case {
      CEntry entry;
      bool updating;
      const char* meaning;
    };
    const Case cases[] = {
        {fresh, false, "Up to date, changed within the last week."},
        {due, false, "Due for an update."},
        {failed, false, "Due for an update, the last update failed (see the Error column)."},
        {due, true, "Being updated now."},
    };
    for (const Case& c : cases) {
      CEntryList entries;
      entries.Insert(c.entry);
      entries.SetUpdating(0, c.updating);
      CEntryListModel model(entries);
      QCOMPARE(model.data(model.index(0, 0), Qt::ToolTipRole).toString(), QString(c.meaning));
      QVERIFY(!model.data(model.index(0, kReference), Qt::ToolTipRole).isValid());
    }
  }

  void stateImagesAreNineDistinctPictures() {
    const QPixmap strip = DrawStateImageStrip();
    QCOMPARE(strip.size(), QSize(144, 16));
    const QImage image = strip.toImage();
    for (int a = 0; a < kStateImageCount; ++a) {
      const QImage first = image.copy(a * 16, 0, 16, 16);
      QVERIFY(first.pixelColor(0, 15).alpha() == 0);  // a corner stays clear
      for (int b = a + 1; b < kStateImageCount; ++b) {
        QVERIFY2(first != image.copy(b * 16, 0, 16, 16),
                 qPrintable(QString("%1 %2").arg(a).arg(b)));
      }
    }
  }

  void rowRedrawsComeAFewTimesASecond() {
    CEntryList entries;
    for (int i = 0; i < 60; ++i) entries.Insert(MakeEntry("R" + std::to_string(100 + i), ""));
    CEntryListView view(entries);
    QSignalSpy changed(view.model(), &QAbstractItemModel::dataChanged);
    // The rows each signal covers, as the view hears of them.
    QSet<int> covered;
    connect(view.model(), &QAbstractItemModel::dataChanged, this,
            [&covered](const QModelIndex& first, const QModelIndex& last) {
              for (int row = first.row(); row <= last.row(); ++row) covered.insert(row);
            });
    // A burst like a run's: the first change shows at once, the others wait for the interval
    // (a machine that stalls past it may show one more each time).
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < 2000; ++k) view.RedrawRow(5 + k % 40);
    const qint64 spent = clock.elapsed();
    QVERIFY(changed.count() >= 1);
    QVERIFY(changed.count() <= 1 + spent / kRowRedrawMs);
    QCOMPARE(changed.first().at(0).value<QModelIndex>().row(), 5);
    // The rest come together when the interval is over: every changed row, and no other.
    const int before = changed.count();
    QTRY_VERIFY(changed.count() > before);
    QCOMPARE(covered.size(), 40);
    QCOMPARE(*std::min_element(covered.begin(), covered.end()), 5);
    QCOMPARE(*std::max_element(covered.begin(), covered.end()), 44);
    // A reload redraws everything: changes still waiting are dropped with it.
    QTest::qWait(kRowRedrawMs);
    view.RedrawRow(1);
    view.RedrawRow(2);
    const int after_burst = changed.count();
    view.Reload();
    QTest::qWait(2 * kRowRedrawMs);
    QCOMPARE(changed.count(), after_burst);
    // A row past the end (the list shrank meanwhile) is not redrawn.
    view.RedrawRow(500);
    QCOMPARE(changed.count(), after_burst);
  }

  void stateImagesAreDrawnForEachScaleInFullColourInEveryState() {
    CStateImages images;
    for (int scale : {1, 2, 3}) {
      const QImage strip = DrawStateImageStrip(scale).toImage();
      QCOMPARE(strip.size(), QSize(144, 16) * scale);
      const int side = 16 * scale;
      for (int index = 0; index < kStateImageCount; ++index) {
        const QImage drawn = strip.copy(index * side, 0, side, side);
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Selected}) {
          const QPixmap shown = images.Icon(index).pixmap(QSize(16, 16), scale, mode);
          QCOMPARE(shown.size(), QSize(side, side));
          QVERIFY2(
              shown.toImage().convertToFormat(drawn.format()) == drawn,
              qPrintable(QString("scale %1 image %2 mode %3").arg(scale).arg(index).arg(mode)));
        }
      }
    }
    // Drawn, not enlarged: the 2x picture has detail the 1x one scaled up lacks.
    const QImage sharp = DrawStateImageStrip(2).toImage().copy(0, 0, 32, 32);
    const QImage enlarged = DrawStateImageStrip(1).toImage().copy(0, 0, 16, 16).scaled(32, 32);
    QVERIFY(sharp.convertToFormat(enlarged.format()) != enlarged);
  }

  void sortTriggers_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<SortTrigger>("trigger");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("new_field");
    QTest::addColumn<bool>("new_reversed");
    QTest::newRow("by field resets the direction")
        << int(kReference) << true << SortTrigger::kByField << int(kExaminer) << int(kExaminer)
        << false;
    QTest::newRow("header on another field") << int(kReference) << true << SortTrigger::kHeaderClick
                                             << int(kFilingDate) << int(kFilingDate) << false;
    QTest::newRow("header on the same field toggles")
        << int(kReference) << false << SortTrigger::kHeaderClick << int(kReference)
        << int(kReference) << true;
    QTest::newRow("ascending on a text field")
        << int(kExaminer) << true << SortTrigger::kAscending << 0 << int(kExaminer) << false;
    QTest::newRow("ascending on a date field")
        << int(kIssueDate) << false << SortTrigger::kAscending << 0 << int(kIssueDate) << true;
    QTest::newRow("descending on a text field")
        << int(kExaminer) << false << SortTrigger::kDescending << 0 << int(kExaminer) << true;
    QTest::newRow("descending on Frequency")
        << int(kFrequency) << true << SortTrigger::kDescending << 0 << int(kFrequency) << false;
  }

  void sortTriggers() {
    QFETCH(int, field);
    QFETCH(bool, reversed);
    QFETCH(SortTrigger, trigger);
    QFETCH(int, target);
    QFETCH(int, new_field);
    QFETCH(bool, new_reversed);
    const SortOrder next = SortOrderAfter({field, reversed}, trigger, target);
    QCOMPARE(next.field, new_field);
    QCOMPARE(next.reversed, new_reversed);
  }

  void ascendingMarkFollowsTheDateLikeRule() {
    for (int id = 0; id < kFieldCount; ++id) {
      QCOMPARE(IsAscending({id, false}), !kFields[id].date_like);
      QCOMPARE(IsAscending({id, true}), kFields[id].date_like);
    }
  }

  void menusCarryEveryCommandAndAccelerator() {
    QWidget window;
    QMenuBar bar(&window);
    CMainActions actions(&window, &bar);
    QStringList titles;
    for (QAction* menu : bar.actions()) titles << menu->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&Update", "&Sort", "&View", "&Test",
                                  "&Options", "&Help"}));
    for (int command = kCmdSendEmail; command <= kCmdAbout; ++command) {
      QVERIFY2(actions.Action(command) != nullptr, qPrintable(QString::number(command)));
    }
    const std::pair<int, QKeySequence> keys[] = {
        {kCmdSelectAll, QKeySequence(Qt::CTRL | Qt::Key_A)},
        {kCmdAdd, QKeySequence(Qt::Key_Insert)},
        {kCmdDelete, QKeySequence(Qt::Key_Delete)},
        {kCmdUpdateSelected, QKeySequence(Qt::Key_F5)},
        {kCmdUpdateAll, QKeySequence(Qt::SHIFT | Qt::Key_F5)},
        {kCmdCancel, QKeySequence(Qt::Key_Escape)},
        {kCmdWebpage, QKeySequence(Qt::Key_F9)},
        {kCmdDetails, QKeySequence(Qt::Key_Return)},
        {kCmdHelpContents, QKeySequence(Qt::Key_F1)}};
    for (const auto& [command, key] : keys) QCOMPARE(actions.Action(command)->shortcut(), key);
    // One Sort item per field with a menu caption; Error has none.
    for (int id = 0; id < kFieldCount; ++id) {
      QCOMPARE(actions.Action(kCmdSortByField + id) != nullptr, id != kError);
    }
    QCOMPARE(actions.Action(kCmdSortByField + kPubNum)->text(), QString("By P&ublication Number"));
    QVERIFY(actions.Action(kCmdChangeField + kLastUpdate) != nullptr);
    QVERIFY(actions.Action(kCmdChangeField + kReference) != nullptr);
    QVERIFY(actions.Action(kCmdChangeField + kExaminer) == nullptr);
  }

  void contextMenuOffersTheColumnEdit() {
    QWidget window;
    QMenuBar bar(&window);
    CMainActions actions(&window, &bar);
    const auto texts = [&](int field) {
      std::unique_ptr<QMenu> menu(actions.CreateContextMenu(field, &window));
      QStringList list;
      for (QAction* action : menu->actions()) list << action->text();
      return list;
    };
    // Standing alone, each item says in full what it does.
    const QStringList plain = {"Update &Selected", "Update A&ll",   "&Add...",      "&Delete",
                               "Clear &Error",     "View &Webpage", "View De&tails"};
    QCOMPARE(texts(kExaminer), plain);
    QStringList with_reference = plain;
    with_reference.insert(6, "Change &Reference");
    QCOMPARE(texts(kReference), with_reference);
    QStringList with_frequency = plain;
    with_frequency.insert(6, "Change &Frequency");
    QCOMPARE(texts(kFrequency), with_frequency);

    // Each runs its command, shows its shortcut and is enabled as the command is.
    std::vector<int> triggered;
    QObject::connect(&actions, &CMainActions::Triggered,
                     [&](int command) { triggered.push_back(command); });
    actions.Action(kCmdDelete)->setEnabled(false);
    std::unique_ptr<QMenu> menu(actions.CreateContextMenu(kReference, &window));
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items[0]->shortcut(), QKeySequence(Qt::Key_F5));
    QVERIFY(!items[3]->isEnabled());
    items[0]->trigger();
    items[6]->trigger();
    items[7]->trigger();
    QCOMPARE(triggered,
             (std::vector<int>{kCmdUpdateSelected, kCmdChangeField + kReference, kCmdDetails}));
  }

  void exclusiveItemsAreRadioGroups() {
    QWidget window;
    QMenuBar bar(&window);
    CMainActions actions(&window, &bar);
    const auto group_of = [&](int command) { return actions.Action(command)->actionGroup(); };
    for (const std::vector<int>& members :
         {std::vector<int>{kCmdDaily, kCmdWeekly, kCmdMonthly, kCmdYearly, kCmdNever},
          std::vector<int>{kCmdSortByField + kFrequency, kCmdSortByField + kReference,
                           kCmdSortByField + kPTE},
          std::vector<int>{kCmdAscending, kCmdDescending}}) {
      QActionGroup* group = group_of(members.front());
      QVERIFY(group != nullptr);
      QVERIFY(group->isExclusive());
      for (int command : members) {
        QCOMPARE(group_of(command), group);
        QVERIFY(actions.Action(command)->isCheckable());
      }
    }
    QVERIFY(group_of(kCmdDaily) != group_of(kCmdAscending));
    // Without a focused row no frequency is marked.
    CommandState state;
    state.focused_frequency = kWeekly;
    actions.Apply(state);
    QVERIFY(actions.Action(kCmdWeekly)->isChecked());
    state.focused_frequency = -1;
    actions.Apply(state);
    for (int f = kCmdDaily; f <= kCmdNever; ++f) QVERIFY(!actions.Action(f)->isChecked());
  }

  void promptDialogListModeCopiesBackOnlyOnOk() {
    PromptRows rows = {{"First:", "one"}, {"Second:", "two"}};
    for (bool ok : {false, true}) {
      QTimer::singleShot(0, [ok] {
        auto* dialog = qobject_cast<CPromptDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QString::fromLatin1("Larkspire\xAE - Values"));
        Child<QLineEdit>(*dialog, "value1").setText("changed");
        ok ? dialog->accept() : dialog->reject();
      });
      QCOMPARE(RunPromptList(nullptr, "Values", rows), ok);
      QCOMPARE(rows[1].second, std::string(ok ? "changed" : "two"));
      QCOMPARE(rows[0].second, std::string("one"));
    }
  }

  void promptDialogShowsAtMostTwelveRows() {
    PromptRows rows;
    for (int i = 0; i < 14; ++i) rows.push_back({"Row " + std::to_string(i), ""});
    CPromptDialog dialog(nullptr, "Many", rows);
    QCOMPARE(static_cast<std::size_t>(dialog.findChildren<QLineEdit*>().size()),
             kPromptListMaxRows);
  }
};

QTEST_MAIN(EntryListTest)
#include "entry_list_test.moc"
