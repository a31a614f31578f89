// Handing the run over to another copy of the program (an installed or an upgraded one). The
// other copy starts only after this run has saved its data, settings and reports, so the
// program's entry point starts it as its very last step.
#pragma once

#include <string>

namespace larkspire {

// Remembers the program to start when this run ends (the last call wins).
void ScheduleProgramStart(const std::string& program);
// The program remembered, or "".
const std::string& ScheduledProgram();
// Starts the remembered program, detached; false when there is none or it cannot start.
// Called by the entry point after everything is saved and the instance lock released.
bool StartScheduledProgram();

}  // namespace larkspire
