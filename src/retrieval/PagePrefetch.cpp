#include "retrieval/PagePrefetch.h"

#include "entries/EntryList.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "retrieval/EntryFetch.h"
#include "retrieval/Fetch.h"
#include "run/Run.h"

namespace larkspire {

CPagePrefetch::CPagePrefetch(CRun& app) : app_(app) {}

CPagePrefetch::~CPagePrefetch() = default;

void CPagePrefetch::Start(std::size_t row) {
  started_.reset();
  const CEntry& entry = app_.Entries().At(row);
  {
    CExpansionScope scope(app_, &entry);
    EntryPageUrls(app_, entry, urls_);
  }
  if (!TakeRulesError(app_).empty()) return;
  row_ = row;
  started_ = StartFetchingPages(app_, urls_);
}

std::string CPagePrefetch::FetchPages(std::size_t row, const std::vector<std::string>& urls,
                                      std::vector<std::string>& pages) {
  const std::unique_ptr<CStartedHttpGet> started = std::move(started_);
  if (started && row_ == row && urls_ == urls) return started->Finish(pages);
  return larkspire::FetchPages(app_, urls, 0, 0, pages);
}

}  // namespace larkspire
