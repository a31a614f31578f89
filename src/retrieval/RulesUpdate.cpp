#include "retrieval/RulesUpdate.h"

#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/PublisherFetch.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr unsigned kRulesTimeoutMs = 30000;

void RefreshTitle(CRun& app) {
  if (app.Ui()) app.Ui()->RefreshTitle();
}

}  // namespace

void UpdateRules(CRun& app) {
  if (app.Busy() || !app.Rules().update_due) {
    RefreshTitle(app);
    return;
  }
  app.Rules().update_due = false;
  const std::string url = LookupRule(app, "location", "rules");
  const int attempts = app.Settings().ProxyServer.Text().empty() ? 1 : 2;

  app.FixTimeout(kRulesTimeoutMs);
  if (app.Ui()) app.Ui()->ShowTimeoutChoice(false);
  app.BeginBusy(PublisherCaption(url), attempts);
  if (app.Ui()) app.Ui()->SetStatusText("Update Rules");

  std::string text;
  const std::string error = FetchFromPublisher(app, url, false, text);
  app.EndBusy();
  app.ReleaseTimeout();
  if (app.Ui()) app.Ui()->ShowTimeoutChoice(true);

  if (error.empty() && IsAcceptableRulesText(text)) {
    std::string version = ValueAfterMarker(text, kVersionMarker);
    if (version > app.Rules().version) {
      app.Rules().text = text;
      app.Rules().version = version;
      app.Rules().downloaded = true;
    }
  }
  RefreshTitle(app);
}

void SaveRules(CRun& app) {
  if (!app.Rules().downloaded || app.Settings().LogDir.Text().empty()) return;
  const std::string dir = JoinPath(app.Settings().LogDir.Text(), "Larkspire");
  // The folder is not created here: without it no copy is kept.
  if (!IsDirectory(dir)) return;
  SaveFileAtomically(JoinPath(dir, "rules.txt"), app.Rules().text);
}

}  // namespace larkspire
