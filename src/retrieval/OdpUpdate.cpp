#include "retrieval/OdpUpdate.h"

#include <algorithm>
#include <map>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/OdpFormats.h"
#include "retrieval/OdpSearch.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr std::string_view kNumbersMarker = "[AppNums]";

// The search fields and hits are read through the mapping; a rule naming none asks for all.
COdpQuery QueryOf(COdpClient& client, std::string q) {
  COdpQuery query;
  query.q = std::move(q);
  query.fields = SplitFields(client.Rule("search-fields"));
  return query;
}

}  // namespace

std::string DaysBefore(const std::string& time, int days) {
  const int32_t day = ParseDayNumber(std::string_view(time).substr(0, 10));
  if (day <= days || day == kUnknownDayNumber) return "";
  return FormatDayNumber(day - days) + "T00:00:00";
}

COdpUpdateRun::COdpUpdateRun(CRun& app) : app_(app), client_(app) {}

std::string COdpUpdateRun::SeenPath() const {
  const std::string& dir = app_.Settings().LogDir.Text();
  return dir.empty() ? "" : JoinPath(dir, kOdpSeenFileName);
}

std::string COdpUpdateRun::Prepare(const std::vector<std::size_t>& due_rows) {
  if (!client_.SetupError().empty()) return client_.SetupError();
  if (!SeenPath().empty()) seen_.Load(SeenPath());
  if (client_.Rule("query[AppNums]").find(kNumbersMarker) == std::string::npos) return "";

  // Rows the service has answered for before, oldest "as of" first, so a group's range
  // starts near each of its members' own.
  CEntryList& list = app_.Entries();
  std::vector<std::pair<std::string, std::size_t>> known;
  for (std::size_t row : due_rows) {
    const CEntry& entry = list.At(row);
    if (entry.last_update == 0 || entry.Text(kAppNum).empty()) continue;
    // Without a stored ingestion time nothing tells whether the application changed.
    const COdpSeenRecord* seen = seen_.Find(OdpNumber(entry.Text(kAppNum)));
    if (seen != nullptr && !seen->ingested.empty()) known.emplace_back(seen->as_of, row);
  }
  std::sort(known.begin(), known.end());

  const auto group_size = static_cast<std::size_t>(
      client_.RuleNumber("search-group", kOdpDefaultSearchGroup, 1, 100000));
  const std::size_t groups = (known.size() + group_size - 1) / group_size;
  for (std::size_t first = 0; first < known.size(); first += group_size) {
    if (app_.AbortFlag()) break;
    if (app_.Ui()) {
      app_.Ui()->SetStatusText("Asking the Open Data Portal what changed (" +
                               std::to_string(first / group_size + 1) + " of " +
                               std::to_string(groups) + ")");
    }
    std::vector<std::size_t> rows;
    for (std::size_t i = first; i < std::min(first + group_size, known.size()); ++i) {
      rows.push_back(known[i].second);
    }
    std::string error = SearchGroup(rows);
    if (!error.empty()) return error;
  }
  app_.Log().Write("Open Data Portal: %zu of %zu due entries unchanged\n", unchanged_.size(),
                   due_rows.size());
  return "";
}

std::string COdpUpdateRun::SearchGroup(const std::vector<std::size_t>& rows) {
  CEntryList& list = app_.Entries();
  std::string numbers;
  std::string oldest;
  for (std::size_t row : rows) {
    const std::string number = OdpNumber(list.At(row).Text(kAppNum));
    numbers += (numbers.empty() ? "" : " OR ") + number;
    const std::string& as_of = seen_.Find(number)->as_of;
    if (oldest.empty() || as_of < oldest) oldest = as_of;
  }
  std::string q = client_.Rule("query[AppNums]");
  q.replace(q.find(kNumbersMarker), kNumbersMarker.size(), numbers);
  COdpQuery query = QueryOf(client_, std::move(q));
  const int margin =
      static_cast<int>(client_.RuleNumber("search-margin", kOdpDefaultSearchMarginDays, 0, 365));
  const std::string range_field = client_.Rule("range");
  const std::string range_from = DaysBefore(oldest, margin);
  const auto page = static_cast<std::uint64_t>(client_.RuleNumber(
      "search-page", static_cast<std::int64_t>(kOdpDefaultSearchPage), 1, kOdpSearchCap));

  std::map<std::string, std::string> hits;
  for (;;) {
    ranged_ = use_range_ && !range_field.empty() && !range_from.empty();
    query.range_field = ranged_ ? range_field : "";
    query.range_from = ranged_ ? range_from : "";
    hits.clear();
    std::uint64_t total = 0;
    const COdpReply reply = RunOdpSearch(
        client_, client_.Address("search"), query, page,
        [&](const COdpSearchHit& hit) { hits[OdpNumber(hit.number)] = hit.ingested; }, total);
    if (reply.outcome == EOdpOutcome::kAnswered) break;
    if (reply.outcome == EOdpOutcome::kKeyRefused) return reply.message;
    if (ranged_ && reply.status == 400) {
      // The service refuses the range filter: every group is then asked for all its members'
      // times.
      app_.Log().Write("Open Data Portal search without a range filter: %s\n",
                       reply.message.c_str());
      use_range_ = false;
      continue;
    }
    app_.Log().Write("Open Data Portal search failed, %zu entries fetched one by one: %s\n",
                     rows.size(), reply.message.c_str());
    return "";
  }

  for (const auto& [number, ingested] : hits) seen_.Observe(ingested);
  for (std::size_t row : rows) {
    const std::string number = OdpNumber(list.At(row).Text(kAppNum));
    const auto hit = hits.find(number);
    if (hit == hits.end()) {
      // Without a range filter every application the service still serves is a hit, so a
      // missing one is fetched (and found gone); with one, it was not ingested since the
      // group's oldest "as of", so not since its own either.
      if (ranged_) unchanged_.insert(row);
    } else if (hit->second == seen_.Find(number)->ingested) {
      unchanged_.insert(row);
    }
  }
  return "";
}

void COdpUpdateRun::SetNotFound(CEntry& fresh) {
  std::string rule = client_.Rule("none[LastHistory]", &fresh);
  if (rule.empty()) {
    CExpansionScope scope(app_, &fresh);
    rule = LookupRule(app_, "fetch1", "none[LastHistory]");
  }
  const std::size_t separator = rule.find("==");
  std::string value = separator == std::string::npos ? "" : rule.substr(separator + 2);
  const std::string date = SplitHead(value, " - ");
  fresh.SetText(kLastHistoryDate, date);
  fresh.SetText(kLastHistoryText, value);
}

CFailure COdpUpdateRun::ReadEntry(std::size_t row, const CEntry& stored, CEntry& fresh) {
  fresh = stored;
  news_ = {EEventNews::kNone, {}};
  if (unchanged_.contains(row)) {
    seen_.Confirm(OdpNumber(stored.Text(kAppNum)), "");
    return {};
  }

  CEntry target = stored;
  if (target.Text(kAppNum).empty()) {
    const bool by_patent = !stored.Text(kPatNum).empty();
    COdpQuery query =
        QueryOf(client_, client_.Rule(by_patent ? "query[PatNum]" : "query[PubNum]", &stored));
    std::string number;
    std::uint64_t total = 0;
    const COdpReply reply = RunOdpSearch(
        client_, client_.Address("search"), query, 1,
        [&](const COdpSearchHit& hit) { number = hit.number; }, total, 1);
    if (reply.outcome == EOdpOutcome::kKeyRefused) return {reply.message, true};
    if (reply.outcome != EOdpOutcome::kAnswered) return {reply.message};
    if (number.empty()) {
      SetNotFound(fresh);
      return {};
    }
    target.SetText(kAppNum, FormatApplicationNumber(number));
  }

  const std::string url = client_.Address("page[AppNum]", &target);
  const COdpReply reply = client_.Get(url);
  if (reply.outcome == EOdpOutcome::kKeyRefused) return {reply.message, true};
  if (reply.outcome == EOdpOutcome::kNotFound) {
    SetNotFound(fresh);
    return {};
  }
  if (reply.outcome != EOdpOutcome::kAnswered) return {reply.message};
  app_.LastFetch().urls = {url};
  app_.LastFetch().pages = {reply.body};

  const COdpApplication answer = client_.Reader().ReadApplication(reply.body);
  if (answer.result == EOdpResult::kNotFound) {
    SetNotFound(fresh);
    return {};
  }
  if (answer.result != EOdpResult::kMapped) return {answer.error};
  ApplyOdpFields(answer.fields, fresh);
  if (answer.history) {
    news_ = {EEventNews::kHistory, std::move(*answer.history)};
  } else {
    news_.kind = EEventNews::kLastEvent;
  }
  seen_.Confirm(OdpNumber(fresh.Text(kAppNum)), answer.ingested);
  return {};
}

void COdpUpdateRun::Finish(bool entries_saved) {
  if (!entries_saved || SeenPath().empty()) return;
  std::set<std::string, std::less<>> listed;
  const CEntryList& list = app_.Entries();
  for (std::size_t row = 0; row < list.Size(); ++row) {
    listed.insert(OdpNumber(list.At(row).Text(kAppNum)));
  }
  if (!seen_.Save(SeenPath(), [&](const std::string& number) { return listed.contains(number); })) {
    app_.Log().Write("Open Data Portal: %s not written\n", kOdpSeenFileName);
  }
}

}  // namespace larkspire
