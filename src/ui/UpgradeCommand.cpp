#include "ui/UpgradeCommand.h"

#include "app/Upgrade.h"
#include "ui/HandOver.h"

namespace larkspire {

void RunUpgrade(AppCore& app) { UpgradeProgram(app, ScheduleUnpackedProgramStart); }

}  // namespace larkspire
