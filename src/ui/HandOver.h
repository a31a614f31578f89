// Handing the run over to another copy of the program (an installed or an upgraded one). The
// other copy starts only after this run has saved its data, settings and reports, so the
// program's entry point starts it as its very last step.
#pragma once

#include <string>

#include "app/Upgrade.h"

namespace larkspire {

// Remembers the program to start when this run ends (the last call of either wins): an
// installed copy by its path, an upgrade's unpacked copy by the file held open since its check.
void ScheduleProgramStart(const std::string& program);
void ScheduleUnpackedProgramStart(CUnpackedProgram&& program);
// The path of the program remembered, or "".
const std::string& ScheduledProgram();
// The unpacked program remembered, or null.
const CUnpackedProgram* ScheduledUnpackedProgram();
// Starts the remembered program, detached; false when there is none or it cannot start (an
// unpacked copy also when its bytes are no longer the ones checked).
// Called by the entry point after everything is saved and the instance lock released.
bool StartScheduledProgram();

}  // namespace larkspire
