#include "retrieval/PublisherTrust.h"

#include "platform/Files.h"
#include "retrieval/PublisherKey.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {

std::string_view PublisherKeyInUse(const CRun& app) {
  const std::optional<std::string>& replaced = app.Rules().publisher_key;
  return replaced ? std::string_view(*replaced) : kPublisherPublicKey;
}

void UsePublisherKeyFile(CRun& app, const std::string& path) {
  std::string key;
  if (!ReadWholeFile(path, key)) key.clear();
  app.Rules().publisher_key = key;
  app.Log().Write("**publisher key replaced by %s (%s)%s**\n", path.c_str(), kPublisherKeyVariable,
                  key.empty() ? ", which cannot be read: no publisher file is accepted" : "");
}

std::string CheckSignedFile(const CRun& app, std::string_view kind, std::string_view manifest_text,
                            std::string_view bytes, PublisherManifest& manifest) {
  PublisherManifest read;
  std::string why = VerifyManifest(manifest_text, PublisherKeyInUse(app), kind, read);
  if (why.empty()) why = CheckFileAgainstManifest(read, bytes);
  if (why.empty() && kind == kManifestKindRules && !IsAcceptableRulesText(bytes)) {
    why = "the rules file is not complete";
  }
  if (why.empty()) manifest = read;
  return why;
}

}  // namespace larkspire
