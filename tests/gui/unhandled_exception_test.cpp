// An exception that escapes an event handler shows "Unhandled Exception" and ends the process
// at once; the exit code 9999 reaches a parent process as 9999 % 256 = 15. Each case runs in a
// child process, which reports the box it showed through a pipe.
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <stdexcept>

#include "support/GuiTestApp.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/UnhandledException.h"

using namespace larkspire;

namespace {

class CThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("boom in a handler");
    return QObject::event(event);
  }
};

struct ChildResult {
  int exit_code = -1;
  std::string shown;  // caption, "|", text
};

// Runs body in a child process; body installs the hook it is given (after any fixture of its
// own), which writes the boxes to a pipe.
template <typename Body>
ChildResult RunInChild(Body body) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    body([fd = fds[1]](const std::string& text, const std::string& caption, MsgButtons,
                       MsgAnswer answer) {
      const std::string line = caption + "|" + text;
      if (::write(fd, line.data(), line.size()) < 0) ::_exit(2);
      return answer;
    });
    ::_exit(1);  // the exception did not end the process
  }
  ::close(fds[1]);
  ChildResult result;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) result.shown.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace

class UnhandledExceptionTest : public QObject {
  Q_OBJECT

 private slots:
  void escapingAnyHandlerEndsTheRun() {
    const ChildResult result = RunInChild([](MessageHook hook) {
      SetMessageHookForTesting(hook);
      CThrowingObject object;
      QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
      QCoreApplication::processEvents();
    });
    QCOMPARE(result.exit_code, kUnhandledExceptionExitCode % 256);
    QCOMPARE(result.shown, std::string("Unhandled Exception|boom in a handler"));
  }

  void escapingAWindowHandlerEndsTheRun() {
    const ChildResult result = RunInChild([](MessageHook hook) {
      CGuiTestApp fixture;
      CMainWindow window(*fixture);
      SetMessageHookForTesting(hook);
      QMetaObject::invokeMethod(
          &window, [] { throw std::runtime_error(""); }, Qt::QueuedConnection);
      QCoreApplication::processEvents();
    });
    QCOMPARE(result.exit_code, 15);
    QCOMPARE(result.shown, std::string("Unhandled Exception|Unknown exception."));
  }
};

int main(int argc, char** argv) {
  CApplication app(argc, argv);
  UnhandledExceptionTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "unhandled_exception_test.moc"
