// Once per run, before the first network command, the publisher's rules file is fetched and
// used when it is newer; a downloaded copy is saved at exit for later runs.
#pragma once

namespace larkspire {

class AppCore;

void UpdateRules(AppCore& app);
void SaveRules(AppCore& app);

}  // namespace larkspire
