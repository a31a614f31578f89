#include "ui/HandOver.h"

#include <QProcess>

#include "ui/QtText.h"

namespace larkspire {
namespace {

struct CScheduled {
  std::string path;
  CUnpackedProgram unpacked;
};

CScheduled& Scheduled() {
  static CScheduled scheduled;
  return scheduled;
}

}  // namespace

void ScheduleProgramStart(const std::string& program) {
  Scheduled().unpacked = CUnpackedProgram();
  Scheduled().path = program;
}

void ScheduleUnpackedProgramStart(CUnpackedProgram&& program) {
  Scheduled().path = program.file.Path();
  Scheduled().unpacked = std::move(program);
}

const std::string& ScheduledProgram() { return Scheduled().path; }

const CUnpackedProgram* ScheduledUnpackedProgram() {
  return Scheduled().unpacked.file.IsOpen() ? &Scheduled().unpacked : nullptr;
}

bool StartScheduledProgram() {
  if (const CUnpackedProgram* unpacked = ScheduledUnpackedProgram()) {
    return StartUnpackedProgram(*unpacked);
  }
  if (Scheduled().path.empty()) return false;
  return QProcess::startDetached(ToQt(Scheduled().path), QStringList());
}

}  // namespace larkspire
