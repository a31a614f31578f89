// The next due entry's pages, asked for while the current entry is read (see PagesAhead.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "retrieval/PagesAhead.h"

namespace larkspire {

class CRun;

class CPagePrefetch {
 public:
  explicit CPagePrefetch(CRun& app);

  // Asks for the pages of the entry in row, replacing any earlier prefetch; asks nothing when
  // a rules value its addresses need cannot be given (the entry's own turn reports that).
  void Start(std::size_t row);
  // The pages of the entry in row at urls: the prefetched ones when they are those, else
  // fetched now. Returns the error text, as FetchPages does.
  std::string FetchPages(std::size_t row, const std::vector<std::string>& urls,
                         std::vector<std::string>& pages);

 private:
  CRun& app_;
  CPagesAhead ahead_;
};

}  // namespace larkspire
