// The strip above the list: while a command works, its caption or status text, a progress bar,
// the time-out bar, Cancel and the time-out choice; always today's date, the send and receive
// lights of the TCP/IP flow and, when idle, the sign that e-mail is waiting to be sent.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace larkspire {

class CBusyPanel : public QWidget {
  Q_OBJECT

 public:
  explicit CBusyPanel(QWidget* parent = nullptr);

  // An inner period sets a new caption and range.
  void Begin(const std::string& caption, int range);
  void SetProgress(int position);
  void SetStatusText(const std::string& text);
  void End();
  // Whether the time-out choice is offered during this busy period.
  void ShowTimeoutChoice(bool visible);
  // Seconds waited so far and allowed in all; a range of 0 empties the bar.
  void SetTimeoutProgress(int elapsed_seconds, int total_seconds);
  // The choice that matches the milliseconds (the nearest offered one otherwise).
  void SetTimeoutChoice(unsigned ms);
  void SetDate(const std::string& text);
  void SetEmailPending(bool pending);
  // The lights stay on for a moment after the last activity.
  void LightSend(uint64_t now_ms);
  void LightReceive(uint64_t now_ms);
  void DimLights(uint64_t now_ms);

  QPushButton& CancelButton() { return *cancel_; }

 signals:
  void TimeoutChosen(unsigned ms);

 private:
  void UpdateVisibility();

  bool busy_ = false;
  bool timeout_choice_offered_ = true;
  bool email_pending_ = false;
  QLabel* status_;
  QProgressBar* progress_;
  QProgressBar* timeout_bar_;
  QPushButton* cancel_;
  QComboBox* timeout_choice_;
  QLabel* date_;
  QLabel* email_;
  QLabel* send_light_;
  QLabel* receive_light_;
  uint64_t send_lit_at_ = 0;
  uint64_t receive_lit_at_ = 0;
};

}  // namespace larkspire
