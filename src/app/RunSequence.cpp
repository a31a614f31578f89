#include "app/RunSequence.h"

#include <cstdlib>

#include "app/AppCore.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/Reminders.h"
#include "notify/Reports.h"
#include "notify/Variables.h"
#include "retrieval/PublisherTrust.h"
#include "retrieval/RulesUpdate.h"
#include "retrieval/StatusUrl.h"
#include "retrieval/UpdateDriver.h"
#include "rules/RulesFile.h"

namespace larkspire {

void InitializeRun(AppCore& app) {
  LoadEntries(app);
  if (app.Status().loaded) app.LoadDocketFile();
  if (const char* key_file = std::getenv(kPublisherKeyVariable); key_file && *key_file) {
    UsePublisherKeyFile(app, key_file);
  }
  LoadRules(app);
  LoadSavedRules(app);
  InstallStatusUrlBuilder(app);
  app.Entries().Sort();
}

FirstShowAction DecideFirstShow(const AppCore& app) {
  if (!app.Status().loaded) return FirstShowAction::kClose;
  if (app.Settings().OrgName.Text().empty()) return FirstShowAction::kConfigure;
  return FirstShowAction::kRunInstallationAndUpdate;
}

void StartUnattendedWork(AppCore& app) {
  if (!app.Status().auto_run) return;
  UpdateStatus(app, false);
  if (app.Status().auto_run && app.Ui()) app.Ui()->RequestClose();
}

bool ConfirmClose(AppCore& app) {
  if (app.Busy()) {
    app.SetAbort(kAbortClosing);
    return false;
  }
  // The docket is as current as this run makes it; the reminders go with the run's other mail.
  QueueReminders(app);
  return SendPendingEmail(app, true, false);
}

void SaveAtExit(AppCore& app) {
  SaveEntries(app);
  SaveRules(app);
  WriteReports(app);
}

}  // namespace larkspire
