#include "ui/OpenWithDesktop.h"

#include <QPointer>
#include <QProcess>

namespace larkspire {

void OpenWithDesktop(const QString& path_or_address, QObject* context,
                     std::function<void()> on_failure, const QString& opener) {
  // No parent: the process object must not be destroyed (which would kill the opener and what
  // it waits for) when the window goes; it deletes itself once the opener has ended.
  auto* process = new QProcess;
  QPointer<QObject> alive(context);
  const auto report = [process, alive, on_failure = std::move(on_failure)](bool failed) {
    process->deleteLater();
    if (failed && alive && on_failure) on_failure();
  };
  // Other errors (a crash, a lost pipe) come after a start and end with finished().
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [report](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) report(true);
                   });
  QObject::connect(process, &QProcess::finished, process,
                   [report](int code, QProcess::ExitStatus status) {
                     report(status == QProcess::NormalExit && code != 0);
                   });
  // What the opener says goes nowhere: the failure is told by the caller, in the window.
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  process->start(opener, {path_or_address});
}

}  // namespace larkspire
