#include "net/MailSession.h"

#include "net/AppError.h"

namespace larkspire {

std::shared_ptr<CKeptMailSession> CMailSession::ForMessage(
    const std::shared_ptr<CFlowLog>& flow_log) {
  if (kept_ == nullptr) kept_ = std::make_shared<CKeptMailSession>(flow_log);
  return kept_;
}

void CMailSession::End() {
  const std::shared_ptr<CKeptMailSession> kept = std::move(kept_);
  if (kept == nullptr || !kept->Claim()) return;
  if (kept->smtp != nullptr && kept->smtp->AwaitsCommand() && kept->connection->StillOpen()) {
    try {
      kept->connection->Send("QUIT\r\n");
    } catch (const CAppError&) {
      // The server went away as it was told goodbye; there is nothing left to end.
    }
  }
  kept->Close();
}

}  // namespace larkspire
