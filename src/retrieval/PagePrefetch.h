// The next due entry's pages, asked for while the current entry is read: reading an entry's
// pages costs about as much as waiting for them, and the two then overlap. The pages are taken
// only when the entry asks for the same addresses when its turn comes; otherwise the requests
// are cancelled and the entry fetched anew.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

class CRun;
class CStartedHttpGet;

class CPagePrefetch {
 public:
  explicit CPagePrefetch(CRun& app);
  ~CPagePrefetch();
  CPagePrefetch(const CPagePrefetch&) = delete;
  CPagePrefetch& operator=(const CPagePrefetch&) = delete;

  // Asks for the pages of the entry in row, replacing any earlier prefetch; asks nothing when
  // a rules value its addresses need cannot be given (the entry's own turn reports that).
  void Start(std::size_t row);
  // The pages of the entry in row at urls: the prefetched ones when they are those, else
  // fetched now. Returns the error text, as FetchPages does.
  std::string FetchPages(std::size_t row, const std::vector<std::string>& urls,
                         std::vector<std::string>& pages);

 private:
  CRun& app_;
  std::size_t row_ = 0;
  std::vector<std::string> urls_;
  std::unique_ptr<CStartedHttpGet> started_;
};

}  // namespace larkspire
