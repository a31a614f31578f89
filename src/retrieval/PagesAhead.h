// Pages asked for ahead of their turn, in the order the turns come: reading a page costs about
// as much as waiting for the next, and the two then overlap. A turn takes its pages only when
// they are the first asked for, under its own key and at its own addresses; otherwise everything
// asked for ahead is cancelled and the turn fetches its own. Whatever is let go of untaken is
// cancelled.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

class CRun;
class CStartedHttpGet;

class CPagesAhead {
 public:
  explicit CPagesAhead(CRun& app);
  ~CPagesAhead();
  CPagesAhead(const CPagesAhead&) = delete;
  CPagesAhead& operator=(const CPagesAhead&) = delete;

  // How many of keys, from the first, are asked for already in that order; anything else asked
  // for is cancelled.
  std::size_t Keep(const std::vector<std::string>& keys);
  // Asks for the pages at urls now, as the turn after those asked for.
  void Ask(const std::string& key, const std::vector<std::string>& urls);
  // The pages of the turn under key at urls, as FetchPages gives them.
  std::string Fetch(const std::string& key, const std::vector<std::string>& urls,
                    std::vector<std::string>& pages);

 private:
  struct CAsked {
    std::string key;
    std::vector<std::string> urls;
    std::unique_ptr<CStartedHttpGet> started;
  };

  CRun& app_;
  std::deque<CAsked> asked_;
};

}  // namespace larkspire
