#include "ui/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace larkspire {
namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  // Only async-signal-safe work here: wake the event loop through the pipe.
  char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

void RouteTerminationSignalsTo(QWidget* window) {
  if (g_signal_pipe[0] < 0 &&
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0)
    return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, window);
  QPointer<QWidget> target(window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
    if (target) target->close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace larkspire
