#include "retrieval/PagePrefetch.h"

#include "entries/EntryList.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "retrieval/EntryFetch.h"
#include "run/Run.h"

namespace larkspire {

CPagePrefetch::CPagePrefetch(CRun& app) : app_(app), ahead_(app) {}

void CPagePrefetch::Start(std::size_t row) {
  ahead_.Keep({});
  const CEntry& entry = app_.Entries().At(row);
  std::vector<std::string> urls;
  {
    CExpansionScope scope(app_, &entry);
    EntryPageUrls(app_, entry, urls);
  }
  if (!TakeRulesError(app_).empty()) return;
  ahead_.Ask(std::to_string(row), urls);
}

std::string CPagePrefetch::FetchPages(std::size_t row, const std::vector<std::string>& urls,
                                      std::vector<std::string>& pages) {
  return ahead_.Fetch(std::to_string(row), urls, pages);
}

}  // namespace larkspire
