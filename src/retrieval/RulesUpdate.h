// Once per run, before the first network command, the publisher's rules file is fetched and
// used when it is newer; a downloaded copy is saved at exit for later runs.
#pragma once

namespace larkspire {

class CRun;

void UpdateRules(CRun& app);
void SaveRules(CRun& app);

}  // namespace larkspire
