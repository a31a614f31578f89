#include "retrieval/RulesUpdate.h"

#include "app/AppCore.h"
#include "platform/Files.h"
#include "retrieval/PublisherFetch.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

constexpr unsigned kRulesTimeoutMs = 30000;

void RefreshTitle(AppCore& app) {
  if (app.Ui()) app.Ui()->RefreshTitle();
}

}  // namespace

void UpdateRules(AppCore& app) {
  if (app.Busy() || !app.rules_update_due) {
    RefreshTitle(app);
    return;
  }
  app.rules_update_due = false;
  const std::string url = LookupRule(app, "location", "rules");
  const int attempts = app.Settings().ProxyServer.Text().empty() ? 1 : 2;

  app.timeout_fixed = true;
  app.TimeoutMs() = kRulesTimeoutMs;
  if (app.Ui()) app.Ui()->ShowTimeoutChoice(false);
  app.BeginBusy(PublisherCaption(url), attempts);
  if (app.Ui()) app.Ui()->SetStatusText("Update Rules");

  std::string text;
  const std::string error = FetchFromPublisher(app, url, false, text);
  app.EndBusy();
  app.timeout_fixed = false;
  app.ReloadTimeoutFromSetting();
  if (app.Ui()) app.Ui()->ShowTimeoutChoice(true);

  if (error.empty() && IsAcceptableRulesText(text)) {
    std::string version = ValueAfterMarker(text, kVersionMarker);
    if (version > app.rules_version) {
      app.rules_text = text;
      app.rules_version = version;
      app.rules_downloaded = true;
    }
  }
  RefreshTitle(app);
}

void SaveRules(AppCore& app) {
  if (!app.rules_downloaded || app.Settings().LogDir.Text().empty()) return;
  const std::string dir = JoinPath(app.Settings().LogDir.Text(), "Larkspire");
  // The folder is not created here: without it no copy is kept.
  if (!IsDirectory(dir)) return;
  SaveFileAtomically(JoinPath(dir, "rules.txt"), app.rules_text);
}

}  // namespace larkspire
