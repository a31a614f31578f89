// An update run on the Open Data Portal. Before any entry is fetched, the search tells which
// of the due applications the service changed since they were last updated from it: groups of
// numbers, hits narrowed to the number and the last ingestion time, which is compared with the
// one the application's record had when it was fetched. Only the changed ones are fetched; the
// others count as updated with their fields as stored. When the rules name a range field, each
// group's search asks only for applications ingested since the group's oldest "as of" (the
// service's documentation does not list lastIngestionDateTime as a range field, so the built-in
// rules name none). An entry known only
// by its patent or publication number is found by one search and keeps the application number
// it learns. Everything after the fields (change detection, notifications, reports) is the
// update driver's, as for the status site.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "retrieval/DocketFeed.h"
#include "retrieval/Failure.h"
#include "retrieval/OdpClient.h"
#include "retrieval/OdpSeen.h"

namespace larkspire {

class CRun;
class CEntry;

// The rules keys of the change search, with their defaults: numbers asked for in one search,
// hits per page, and the days a group's oldest "as of" is moved back for a search index that
// lags behind the records.
inline constexpr std::size_t kOdpDefaultSearchGroup = 100;
inline constexpr int kOdpDefaultSearchMarginDays = 2;

// A time "days" days before an ISO date or date-time, as yyyy-mm-ddT00:00:00; "" when the
// text does not start with a date.
std::string DaysBefore(const std::string& time, int days);

class COdpUpdateRun {
 public:
  explicit COdpUpdateRun(CRun& app);

  // Loads what the service said before and asks the search about the due rows. "" or the
  // message that stops the run, for a key (or an odp section) that cannot work.
  std::string Prepare(const std::vector<std::size_t>& due_rows);
  // Reads one due entry into fresh (a copy of stored): nothing or the entry's failure, fatal
  // when it stops the run (a refused key).
  CFailure ReadEntry(std::size_t row, const CEntry& stored, CEntry& fresh);
  // After the run: keeps what the service said for the next run when the data file was
  // saved.
  void Finish(bool entries_saved);

  // What the last ReadEntry learnt of the application's events: nothing when the record was
  // not fetched (unchanged since) or not found, else its whole history (or, from a mapping
  // without one, its newest event).
  const CEventNews& News() const { return news_; }

  COdpClient& Client() { return client_; }
  const std::set<std::size_t>& UnchangedRows() const { return unchanged_; }

 private:
  // Searches one group of rows; "" or a message that stops the run.
  std::string SearchGroup(const std::vector<std::size_t>& rows);
  // The "not found" result, as the status site's not-found page gives it.
  void SetNotFound(CEntry& fresh);
  std::string SeenPath() const;

  CRun& app_;
  COdpClient client_;
  COdpSeen seen_;
  std::set<std::size_t> unchanged_;
  CEventNews news_;
  bool use_range_ = true;  // until the service refuses the rules' range filter
  bool ranged_ = false;    // the group being searched has the range filter
};

}  // namespace larkspire
