// Once per run, before the first network command, the publisher's rules file is fetched and
// used when its signed manifest vouches for it and names a newer version; a downloaded copy is
// saved at exit with its manifest, and taken again at the next start only when that manifest
// still vouches for it.
#pragma once

namespace larkspire {

class CRun;

void UpdateRules(CRun& app);
void SaveRules(CRun& app);
// After LoadRules at start: the saved copy in place of the rules in use when its manifest
// passes and it is newer. A copy that does not pass is logged and left alone; one whose
// manifest has expired is used all the same, and logged.
void LoadSavedRules(CRun& app);

}  // namespace larkspire
