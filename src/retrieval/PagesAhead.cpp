#include "retrieval/PagesAhead.h"

#include "net/HttpGet.h"
#include "retrieval/Fetch.h"

namespace larkspire {

CPagesAhead::CPagesAhead(CRun& app) : app_(app) {}

CPagesAhead::~CPagesAhead() = default;

std::size_t CPagesAhead::Keep(const std::vector<std::string>& keys) {
  std::size_t kept = 0;
  while (kept < keys.size() && kept < asked_.size() && asked_[kept].key == keys[kept]) ++kept;
  asked_.resize(kept);
  return kept;
}

void CPagesAhead::Ask(const std::string& key, const std::vector<std::string>& urls) {
  asked_.push_back({key, urls, StartFetchingPages(app_, urls)});
}

std::string CPagesAhead::Fetch(const std::string& key, const std::vector<std::string>& urls,
                               std::vector<std::string>& pages) {
  if (asked_.empty() || asked_.front().key != key || asked_.front().urls != urls) {
    asked_.clear();
    return FetchPages(app_, urls, 0, 0, pages);
  }
  const std::unique_ptr<CStartedHttpGet> started = std::move(asked_.front().started);
  asked_.pop_front();
  return started->Finish(pages);
}

}  // namespace larkspire
