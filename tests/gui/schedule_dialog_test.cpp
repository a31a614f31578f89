// Options > Schedule Daily Run: the dialog shows the schedule there is and gives back the choice.
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>

#include "ui/ScheduleDialog.h"

using namespace larkspire;

class ScheduleDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheCurrentScheduleAndGivesBackTheChoice() {
    const struct {
      std::optional<CDailyTime> current;
      QTime shown;
    } cases[] = {{CDailyTime{7, 15}, QTime(7, 15)}, {std::nullopt, QTime(6, 30)}};
    for (const auto& c : cases) {
      CScheduleDialog dialog(c.current, nullptr);
      auto* daily = dialog.findChild<QRadioButton*>("scheduleDaily");
      auto* off = dialog.findChild<QRadioButton*>("scheduleOff");
      auto* time = dialog.findChild<QTimeEdit*>("scheduleTime");
      QCOMPARE(daily->isChecked(), c.current.has_value());
      QCOMPARE(off->isChecked(), !c.current.has_value());
      QCOMPARE(time->time(), c.shown);
      QCOMPARE(time->isEnabled(), c.current.has_value());
      QVERIFY(dialog.Chosen() == c.current);

      daily->setChecked(true);
      QVERIFY(time->isEnabled());
      time->setTime(QTime(22, 5));
      QVERIFY(dialog.Chosen() == (CDailyTime{22, 5}));
      off->setChecked(true);
      QVERIFY(!time->isEnabled());
      QVERIFY(!dialog.Chosen());
    }
  }
};

QTEST_MAIN(ScheduleDialogTest)
#include "schedule_dialog_test.moc"
