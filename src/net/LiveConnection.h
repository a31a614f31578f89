// The connection a task is using at the moment, so that an abort on the user-interface thread
// can reach it. Lock order on the cancel path: group lock, this lock, the connection's lock.
#pragma once

#include <mutex>

namespace larkspire {

class CConnection;

class CLiveConnection {
 public:
  CLiveConnection() = default;
  // A task record is copied into its worker before any connection exists; the copy starts
  // empty and has a lock of its own.
  CLiveConnection(const CLiveConnection&) {}
  CLiveConnection& operator=(const CLiveConnection&) { return *this; }

  void Set(CConnection* connection);
  void Clear();
  // Cancels the registered connection, if any, and forgets it.
  void Cancel();

  // Registers a connection for one scope. Declared after the connection it names, it is
  // destroyed first, so the pointer is cleared on every way out of a task, exceptions
  // included, before the connection goes away.
  class Registration {
   public:
    Registration(CLiveConnection& live, CConnection& connection) : live_(live) {
      live_.Set(&connection);
    }
    ~Registration() { live_.Clear(); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

   private:
    CLiveConnection& live_;
  };

 private:
  std::mutex mutex_;
  CConnection* connection_ = nullptr;
};

}  // namespace larkspire
