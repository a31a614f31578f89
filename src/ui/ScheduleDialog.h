// Options > Schedule Daily Run: the time of the unattended daily run, or Off.
#pragma once

#include <QDialog>
#include <optional>

#include "app/DailyRun.h"

class QRadioButton;
class QTimeEdit;

namespace larkspire {

class AppCore;

class CScheduleDialog : public QDialog {
  Q_OBJECT
 public:
  CScheduleDialog(std::optional<CDailyTime> current, QWidget* parent);
  // The time chosen; nothing for Off.
  std::optional<CDailyTime> Chosen() const;

 private:
  QRadioButton* daily_;
  QRadioButton* off_;
  QTimeEdit* time_;
};

// Shows the dialog with the current schedule and applies what the user chose; the outcome (or
// the crontab line to use instead) is shown in a message box.
void RunScheduleDailyRun(AppCore& app, QWidget* parent);

}  // namespace larkspire
