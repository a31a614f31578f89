#include "retrieval/DocketFeed.h"

#include "entries/Entry.h"
#include "rules/Dates.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// A day number of a yyyy-mm-dd field; 0 when it holds none (empty, or the site's ????-??-??).
int32_t DayOf(const std::string& text) {
  const int32_t day = ParseDayNumber(text);
  return day == kUnknownDayNumber ? 0 : day;
}

}  // namespace

CEntryFacts EntryFacts(const CEntry& entry) {
  CEntryFacts facts;
  facts.entry_key = entry.Identifier();
  facts.reference = entry.Text(kReference);
  facts.application_number = entry.Text(kAppNum);
  facts.patent_number = entry.Text(kPatNum);
  facts.grant_day = DayOf(entry.Text(kIssueDate));
  facts.today = TodayDayNumber();
  return facts;
}

bool FeedDocket(CRun& app, const CEntry& entry, const CEventNews& news) {
  app.Docket().Reserve(app.Entries().Size());
  bool changed = false;
  if (news.kind == EEventNews::kHistory) {
    changed = app.Docket().ApplyHistory(app.DeadlineRules(), EntryFacts(entry), news.history);
  } else if (news.kind == EEventNews::kLastEvent) {
    // An undated last event (the site's "not found", say) opens nothing; the entry's grant
    // still counts.
    CStatusEvent last;
    last.day = DayOf(entry.Text(kLastHistoryDate));
    if (last.day != 0) last.text = entry.Text(kLastHistoryText);
    changed = app.Docket().ApplyLastEvent(app.DeadlineRules(), EntryFacts(entry), last);
  }
  if (changed) app.Status().docket_unsaved = true;
  return changed;
}

}  // namespace larkspire
