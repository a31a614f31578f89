// Options > Upgrade and the About box's upgrade button.
#pragma once

namespace larkspire {

class AppCore;

// Downloads and unpacks the newest program (app/Upgrade.h); on success the window's close is
// requested and the new copy starts once this run has saved everything (ui/HandOver.h).
void RunUpgrade(AppCore& app);

}  // namespace larkspire
