#include "retrieval/StatusUrl.h"

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {

std::string StatusPageUrl(CRun& app, const CEntry& entry) {
  if (UsesOdp(app.Settings())) {
    // Patent Center's search, where the patent or publication number can be looked up, until
    // the entry's first read learns its application number.
    if (entry.Text(kAppNum).empty()) return kPatentCenterAddress;
    return std::string(kPatentCenterAddress) + "applications/" + entry.AppNum2();
  }
  CExpansionScope scope(app, &entry);
  if (!entry.Text(kAppNum).empty()) return LookupRule(app, "fetch1", "page[AppNum]");
  if (!entry.Text(kPatNum).empty()) return LookupRule(app, "fetch1", "page[PatNum]");
  return ReplaceAll(LookupRule(app, "fetch1", "page[PubNum]"), " ", "%20");
}

void InstallStatusUrlBuilder(CRun& app) {
  SetStatusUrlBuilder([&app](const CEntry& entry) { return StatusPageUrl(app, entry); });
}

}  // namespace larkspire
