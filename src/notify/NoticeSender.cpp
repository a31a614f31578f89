#include "notify/NoticeSender.h"

#include "net/MailSecurity.h"
#include "net/SendMail.h"
#include "notify/DigestItem.h"
#include "notify/EmailQueue.h"
#include "notify/MessageNames.h"
#include "notify/PendingList.h"
#include "platform/Files.h"
#include "run/Run.h"

namespace larkspire {

CNoticeSender::CNoticeSender(CRun& app)
    : app_(app),
      enabled_(app.Status().auto_run && !app.Settings().LogDir.Text().empty() &&
               ParseMailSecurity(app.Settings().SmtpSecurity.Text()) != MailSecurity::kNone) {}

CNoticeSender::~CNoticeSender() = default;

bool CNoticeSender::MaySend() const {
  // A message box turns the run into one with a user, who decides at the close.
  return enabled_ && app_.Status().auto_run && app_.AbortReason() == kAbortNone;
}

void CNoticeSender::Pump() {
  if (started_) {
    if (!started_->Ended()) return;
    TakeIn();
  }
  StartNext();
}

void CNoticeSender::Finish() {
  // What the last entries wrote goes over the session already open, rather than waiting for
  // the batch at the end to open one of its own.
  if (!started_) StartNext();
  while (started_) {
    TakeIn();
    StartNext();
  }
  enabled_ = false;
  session_.End();
}

void CNoticeSender::StartNext() {
  if (!MaySend()) return;
  for (const std::string& name : UncommittedMessages(app_)) {
    // The welcome report goes to the publisher, and a newer one may replace it: the batch at
    // the end sends it.
    if (MessageKind(name) == kWelcomeKind) continue;
    // Digest items are composed at the end; a message nobody receives is dropped there.
    if (MessageKind(name) == kDigestItemKind || NobodyReceives(app_, name)) continue;
    name_ = name;
    path_ = JoinPath(app_.Settings().LogDir.Text(), name);
    started_ =
        StartSendingEmailFile(app_, path_, name_, MailRecipient::kNotifyAddresses, &session_);
    return;
  }
}

void CNoticeSender::TakeIn() {
  const std::unique_ptr<CStartedSendEmail> started = std::move(started_);
  if (!FinishSendingEmailFile(app_, *started, path_, name_).empty()) {
    enabled_ = false;
    return;
  }
  RemoveFile(path_);
  // Posted, and gone without being listed: it counts as queued all the same.
  if (DropUncommittedMessage(app_, name_)) app_.Settings().CountEmailPost.Increment();
}

}  // namespace larkspire
