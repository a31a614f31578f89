// One SMTP session kept open from message to message of a batch, so that a batch pays for the
// connection, the TLS handshake and the sign-in once. The first message's worker opens it, each
// next message's worker uses it in turn, and the batch ends it. The batch and the worker of the
// moment share it, so a worker abandoned after a time-out keeps its connection (and the TLS
// channel in it) for as long as it runs.
#pragma once

#include <atomic>
#include <memory>

#include "net/CancelFlag.h"
#include "net/Connection.h"
#include "net/FlowLog.h"
#include "net/SmtpDialogue.h"
#include "net/SmtpSecureStart.h"

namespace larkspire {

struct CKeptMailSession {
  explicit CKeptMailSession(std::shared_ptr<CFlowLog> log) : flow_log(std::move(log)) {}

  // Takes the session for one user at a time: a worker for one message, or the batch to end
  // it. False when it is taken; a session the batch has ended stays taken, so a worker that
  // starts only after its batch gave up on it never touches it.
  bool Claim() {
    bool taken = false;
    return in_use.compare_exchange_strong(taken, true);
  }
  void Release() { in_use = false; }

  // Gives the connection up, the dialogue first since it speaks through it.
  void Close() {
    smtp.reset();
    connection.reset();
    ready = false;
  }

  std::shared_ptr<CFlowLog> flow_log;  // the connection writes to it
  // The connection's cancel flag while no task is using it; never set.
  CCancelFlag idle_cancel;
  std::unique_ptr<CConnection> connection;  // null until opened
  std::unique_ptr<CSmtpDialogue> smtp;      // null until opened
  CSecureSession secure;
  // Opened, and the last message ended with its 250: the next one may begin with MAIL.
  bool ready = false;
  std::atomic<bool> in_use{false};
};

// The batch's side of a kept session. User-interface thread.
class CMailSession {
 public:
  CMailSession() = default;
  ~CMailSession() { End(); }
  CMailSession(const CMailSession&) = delete;
  CMailSession& operator=(const CMailSession&) = delete;

  // The session for the next message's worker: the one kept open, or a new one to open.
  std::shared_ptr<CKeptMailSession> ForMessage(const std::shared_ptr<CFlowLog>& flow_log);
  // Ends the session: QUIT when the server waits for a command (its reply is not waited for,
  // as after a single message), then the connection is closed. A session that a worker still
  // uses is only let go; the worker closes it when it ends.
  void End();

 private:
  std::shared_ptr<CKeptMailSession> kept_;
};

}  // namespace larkspire
