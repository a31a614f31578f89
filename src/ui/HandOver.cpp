#include "ui/HandOver.h"

#include <QProcess>

#include "ui/QtText.h"

namespace larkspire {
namespace {

std::string& Scheduled() {
  static std::string program;
  return program;
}

}  // namespace

void ScheduleProgramStart(const std::string& program) { Scheduled() = program; }

const std::string& ScheduledProgram() { return Scheduled(); }

bool StartScheduledProgram() {
  if (Scheduled().empty()) return false;
  return QProcess::startDetached(ToQt(Scheduled()), QStringList());
}

}  // namespace larkspire
