#include "app/RunSequence.h"

#include "app/AppCore.h"
#include "app/EntryCommands.h"
#include "notify/Reports.h"
#include "retrieval/RulesUpdate.h"
#include "rules/RulesFile.h"

namespace larkspire {

void InitializeRun(AppCore& app) {
  LoadEntries(app);
  LoadRules(app);
  InstallStatusUrlBuilder(app);
  app.Entries().Sort();
}

FirstShowAction DecideFirstShow(const AppCore& app) {
  if (!app.loaded) return FirstShowAction::kClose;
  if (app.Settings().OrgName.Text().empty()) return FirstShowAction::kConfigure;
  return FirstShowAction::kRunInstallationAndUpdate;
}

void SaveAtExit(AppCore& app) {
  SaveEntries(app);
  SaveRules(app);
  WriteReports(app);
}

}  // namespace larkspire
