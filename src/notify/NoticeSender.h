// Sending an unattended run's notifications while the update goes on. When the office's mail
// goes over TLS (one session kept open for many messages), each notification the update writes
// is sent over that session while the update reads the following entries (the update hands the
// sender a turn twice per entry): the office has its news sooner, and the run ends sooner. A
// message sent this way never joins the pending list. The first one that fails stays where it
// is, with everything after it, for the send at the end of the run, which reports it as before;
// nothing more is sent early in that run. Runs with a user, and mail over the plain dialogue (a
// session of its own for each message), send everything at the end as they always did.
#pragma once

#include <memory>
#include <string>

#include "net/MailSession.h"

namespace larkspire {

class CRun;
class CStartedSendEmail;

class CNoticeSender {
 public:
  explicit CNoticeSender(CRun& app);
  // A message still on its way is let go of, its worker cancelled: it stays queued.
  ~CNoticeSender();
  CNoticeSender(const CNoticeSender&) = delete;
  CNoticeSender& operator=(const CNoticeSender&) = delete;

  // Takes in the message on its way once it has gone, then starts the next one written. Never
  // waits for the network.
  void Pump();
  // Waits for the message on its way, sends those still waiting one after the other, then
  // nothing more. Before the batch of the run's notifications is committed, so that a message
  // sent is never listed.
  void Finish();

 private:
  bool MaySend() const;
  void StartNext();
  void TakeIn();

  CRun& app_;
  bool enabled_;
  std::string name_;  // the message on its way, and its file
  std::string path_;
  std::unique_ptr<CStartedSendEmail> started_;
  CMailSession session_;
};

}  // namespace larkspire
