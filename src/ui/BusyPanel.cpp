#include "ui/BusyPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <cstdlib>

#include "run/Settings.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

constexpr uint64_t kLightHoldMs = 300;

// A transparent picture of the logical size drawn for the device pixel ratio, so it is as
// sharp on a screen at scale 2 as at scale 1.
QPixmap Canvas(QSize size, qreal scale) {
  QPixmap pixmap(size * scale);
  pixmap.setDevicePixelRatio(scale);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

QPixmap Light(const QColor& color, qreal scale) {
  QPixmap pixmap = Canvas(QSize(12, 12), scale);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(80, 80, 80), 1));
  p.setBrush(color);
  p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
  return pixmap;
}

QPixmap Envelope(qreal scale) {
  QPixmap pixmap = Canvas(QSize(20, 14), scale);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 120), 1));
  p.setBrush(QColor(255, 240, 170));
  p.drawRect(QRectF(0.5, 0.5, 19, 13));
  p.drawPolyline(QPolygonF({QPointF(0.5, 0.5), QPointF(10, 8), QPointF(19.5, 0.5)}));
  return pixmap;
}

const QColor kLightOff(200, 200, 200);
const QColor kSendOn(40, 200, 60);
const QColor kReceiveOn(230, 160, 0);

}  // namespace

CBusyPanel::CBusyPanel(QWidget* parent)
    : QWidget(parent),
      status_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      timeout_bar_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      timeout_choice_(new QComboBox(this)),
      date_(new QLabel(this)),
      email_(new QLabel(this)),
      send_light_(new QLabel(this)),
      receive_light_(new QLabel(this)) {
  status_->setObjectName("status");
  progress_->setObjectName("progress");
  timeout_bar_->setObjectName("timeoutBar");
  cancel_->setObjectName("cancel");
  timeout_choice_->setObjectName("timeoutChoice");
  email_->setObjectName("emailSign");
  status_->setMinimumWidth(180);
  status_->setTextFormat(Qt::PlainText);
  progress_->setTextVisible(false);
  progress_->setMaximumHeight(14);
  timeout_bar_->setTextVisible(false);
  timeout_bar_->setMaximumHeight(8);
  timeout_bar_->setToolTip(tr("Time-out"));
  for (unsigned ms : kTimeoutChoicesMs) {
    timeout_choice_->addItem(ToQt(TimeoutChoiceText(ms)), ms);
  }
  timeout_choice_->setToolTip(tr("Time-out"));
  email_->setPixmap(Envelope(devicePixelRatioF()));
  email_->setToolTip(tr("E-mail notifications are waiting to be sent"));
  send_light_->setPixmap(Light(kLightOff, devicePixelRatioF()));
  send_light_->setToolTip(tr("Sending"));
  receive_light_->setPixmap(Light(kLightOff, devicePixelRatioF()));
  receive_light_->setToolTip(tr("Receiving"));

  auto* bars = new QVBoxLayout;
  bars->setSpacing(2);
  bars->addWidget(progress_);
  bars->addWidget(timeout_bar_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addWidget(status_, 2);
  layout->addLayout(bars, 3);
  layout->addWidget(cancel_);
  layout->addWidget(timeout_choice_);
  layout->addStretch(1);
  layout->addWidget(email_);
  layout->addWidget(send_light_);
  layout->addWidget(receive_light_);
  layout->addWidget(date_);

  connect(timeout_choice_, &QComboBox::activated, this,
          [this](int index) { emit TimeoutChosen(timeout_choice_->itemData(index).toUInt()); });
  UpdateVisibility();
}

void CBusyPanel::Begin(const std::string& caption, int range) {
  busy_ = true;
  progress_->setRange(0, std::max(range, 0));
  progress_->setValue(0);
  status_->setText(ToQt(caption));
  timeout_bar_->setValue(timeout_bar_->minimum());
  UpdateVisibility();
}

void CBusyPanel::SetProgress(int position) { progress_->setValue(position); }

void CBusyPanel::SetStatusText(const std::string& text) { status_->setText(ToQt(text)); }

void CBusyPanel::End() {
  busy_ = false;
  timeout_choice_offered_ = true;
  status_->clear();
  progress_->reset();
  timeout_bar_->reset();
  UpdateVisibility();
}

void CBusyPanel::ShowTimeoutChoice(bool visible) {
  timeout_choice_offered_ = visible;
  UpdateVisibility();
}

void CBusyPanel::SetTimeoutProgress(int elapsed_seconds, int total_seconds) {
  timeout_bar_->setRange(0, std::max(total_seconds, 0));
  timeout_bar_->setValue(std::clamp(elapsed_seconds, 0, std::max(total_seconds, 0)));
}

void CBusyPanel::SetTimeoutChoice(unsigned ms) {
  int best = 0;
  for (int i = 1; i < timeout_choice_->count(); ++i) {
    const auto distance = [&](int index) {
      return std::llabs(static_cast<long long>(timeout_choice_->itemData(index).toUInt()) -
                        static_cast<long long>(ms));
    };
    if (distance(i) < distance(best)) best = i;
  }
  timeout_choice_->setCurrentIndex(best);
}

void CBusyPanel::SetDate(const std::string& text) { date_->setText(ToQt(text)); }

void CBusyPanel::SetEmailPending(bool pending) {
  // Drawn again for the screen the window is on now.
  if (pending && !email_pending_) email_->setPixmap(Envelope(devicePixelRatioF()));
  email_pending_ = pending;
  UpdateVisibility();
}

void CBusyPanel::LightSend(uint64_t now_ms) {
  if (send_lit_at_ == 0) send_light_->setPixmap(Light(kSendOn, devicePixelRatioF()));
  send_lit_at_ = now_ms == 0 ? 1 : now_ms;
}

void CBusyPanel::LightReceive(uint64_t now_ms) {
  if (receive_lit_at_ == 0) receive_light_->setPixmap(Light(kReceiveOn, devicePixelRatioF()));
  receive_lit_at_ = now_ms == 0 ? 1 : now_ms;
}

void CBusyPanel::DimLights(uint64_t now_ms) {
  if (send_lit_at_ != 0 && now_ms - send_lit_at_ >= kLightHoldMs) {
    send_lit_at_ = 0;
    send_light_->setPixmap(Light(kLightOff, devicePixelRatioF()));
  }
  if (receive_lit_at_ != 0 && now_ms - receive_lit_at_ >= kLightHoldMs) {
    receive_lit_at_ = 0;
    receive_light_->setPixmap(Light(kLightOff, devicePixelRatioF()));
  }
}

void CBusyPanel::UpdateVisibility() {
  progress_->setVisible(busy_);
  timeout_bar_->setVisible(busy_);
  cancel_->setVisible(busy_);
  timeout_choice_->setVisible(busy_ && timeout_choice_offered_);
  email_->setVisible(!busy_ && email_pending_);
}

}  // namespace larkspire
