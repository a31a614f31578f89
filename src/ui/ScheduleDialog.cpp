#include "ui/ScheduleDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "platform/ProgramInfo.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// A new schedule starts in the early morning, before the office opens.
constexpr CDailyTime kProposedTime{6, 30};

}  // namespace

CScheduleDialog::CScheduleDialog(std::optional<CDailyTime> current, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("Schedule Daily Run"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      tr("Update every due entry and send the e-mail unattended, once a day. A run missed while "
         "the computer was off happens when it is on again."),
      this);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  daily_ = new QRadioButton(tr("&Every day at"), this);
  daily_->setObjectName("scheduleDaily");
  time_ = new QTimeEdit(this);
  time_->setObjectName("scheduleTime");
  time_->setDisplayFormat("HH:mm");
  const CDailyTime shown = current.value_or(kProposedTime);
  time_->setTime(QTime(shown.hour, shown.minute));
  row->addWidget(daily_);
  row->addWidget(time_);
  row->addStretch();
  layout->addLayout(row);
  off_ = new QRadioButton(tr("O&ff"), this);
  off_->setObjectName("scheduleOff");
  layout->addWidget(off_);
  (current ? daily_ : off_)->setChecked(true);
  time_->setEnabled(current.has_value());
  connect(daily_, &QRadioButton::toggled, time_, &QWidget::setEnabled);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::optional<CDailyTime> CScheduleDialog::Chosen() const {
  if (off_->isChecked()) return std::nullopt;
  return CDailyTime{time_->time().hour(), time_->time().minute()};
}

void RunScheduleDailyRun(AppCore& app, QWidget* parent) {
  const std::optional<CDailyTime> current = ScheduledDailyRun();
  CScheduleDialog dialog(current, parent);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::optional<CDailyTime> chosen = dialog.Chosen();
  if (chosen == current) return;
  const CScheduleResult result = ScheduleDailyRun(RunningProgramPath(), chosen);
  app.MessageBox(result.message, MsgButtons::kOk, MsgAnswer::kOk, "Schedule Daily Run",
                 std::nullopt, result.done ? MsgIcon::kDefault : MsgIcon::kWarning);
}

}  // namespace larkspire
