#include "net/LiveConnection.h"

#include "net/Connection.h"

namespace larkspire {

void CLiveConnection::Set(CConnection* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  connection_ = connection;
}

void CLiveConnection::Clear() { Set(nullptr); }

void CLiveConnection::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ == nullptr) return;
  connection_->Cancel();
  connection_ = nullptr;
}

}  // namespace larkspire
