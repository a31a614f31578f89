#include "retrieval/StatusUrl.h"

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"

namespace larkspire {

std::string StatusPageUrl(CRun& app, const CEntry& entry) {
  CExpansionScope scope(app, &entry);
  if (!entry.Text(kAppNum).empty()) return LookupRule(app, "fetch1", "page[AppNum]");
  if (!entry.Text(kPatNum).empty()) return LookupRule(app, "fetch1", "page[PatNum]");
  return ReplaceAll(LookupRule(app, "fetch1", "page[PubNum]"), " ", "%20");
}

void InstallStatusUrlBuilder(CRun& app) {
  SetStatusUrlBuilder([&app](const CEntry& entry) { return StatusPageUrl(app, entry); });
}

}  // namespace larkspire
