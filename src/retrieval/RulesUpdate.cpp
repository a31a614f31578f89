#include "retrieval/RulesUpdate.h"

#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/PublisherFetch.h"
#include "retrieval/PublisherTrust.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr unsigned kRulesTimeoutMs = 30000;

void RefreshTitle(CRun& app) {
  if (app.Ui()) app.Ui()->RefreshTitle();
}

std::string SavedManifestPath(const std::string& rules_path) {
  return rules_path + std::string(kManifestSuffix);
}

void UseRules(CRun& app, std::string text, std::string manifest_text) {
  app.Rules().version = ValueAfterMarker(text, kVersionMarker);
  app.Rules().text = std::move(text);
  app.Rules().manifest = std::move(manifest_text);
}

}  // namespace

void UpdateRules(CRun& app) {
  // The office's own rules are its business: nothing of the publisher's replaces them.
  if (app.Busy() || !app.Rules().update_due || app.Rules().office_file) {
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

  CSignedFile file;
  std::string reason;
  const SignedFetch result = FetchSignedFromPublisher(app, url, kManifestKindRules,
                                                      app.Rules().version, false, file, reason);
  app.EndBusy();
  app.ReleaseTimeout();
  if (app.Ui()) app.Ui()->ShowTimeoutChoice(true);

  if (result == SignedFetch::kTaken) {
    UseRules(app, std::move(file.bytes), std::move(file.manifest_text));
    app.Rules().downloaded = true;
  } else if (result == SignedFetch::kRefused) {
    // The rules in use stay; a failed transfer is only in the log's update line, as before.
    app.Log().Write("Rules update refused: %s.\n", reason.c_str());
  }
  RefreshTitle(app);
}

void SaveRules(CRun& app) {
  if (!app.Rules().downloaded || app.Settings().LogDir.Text().empty()) return;
  const std::string dir = JoinPath(app.Settings().LogDir.Text(), "Larkspire");
  // The folder is not created here: without it no copy is kept.
  if (!IsDirectory(dir)) return;
  const std::string path = RulesFilePath(app.Settings().LogDir.Text());
  // The rules first: a copy whose manifest did not follow it fails its check at the next
  // start and the built-in rules are used, never an unchecked text.
  if (SaveFileAtomically(path, app.Rules().text)) {
    SaveFileAtomically(SavedManifestPath(path), app.Rules().manifest);
  }
}

void LoadSavedRules(CRun& app) {
  const std::string path = RulesFilePath(app.Settings().LogDir.Text());
  if (app.Rules().office_file || path.empty() || !FileExists(path)) return;
  const std::string text = ReadRulesFile(path);
  std::string manifest_text;
  PublisherManifest manifest;
  const std::string reason =
      ReadWholeFile(SavedManifestPath(path), manifest_text)
          ? CheckSignedFile(app, kManifestKindRules, manifest_text, text, manifest)
          : "it has no manifest beside it";
  if (!reason.empty()) {
    app.Log().Write("Saved rules %s not used: %s.\n", path.c_str(), reason.c_str());
    return;
  }
  // A copy no newer than the rules in use (the program was upgraded since) is simply passed by.
  if (CompareVersions(manifest.version, app.Rules().version) > 0) {
    UseRules(app, text, manifest_text);
    // Rules once taken stay in use: the expiry only stops new downloads. Said once per run.
    if (ManifestExpired(manifest, TodayUtcDayNumber())) {
      app.Log().Write("Saved rules %s kept in use; their manifest expired on %s.\n", path.c_str(),
                      manifest.expires.c_str());
    }
  }
}

}  // namespace larkspire
