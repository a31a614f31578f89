#include "retrieval/MasterListCommand.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "entries/Entry.h"
#include "entries/EntryList.h"
#include "entries/TextOrder.h"
#include "notify/EntryCommands.h"
#include "notify/PendingList.h"
#include "notify/Variables.h"
#include "retrieval/Fetch.h"
#include "retrieval/MasterList.h"
#include "retrieval/OdpMasterList.h"
#include "retrieval/OdpSettings.h"
#include "retrieval/PagesAhead.h"
#include "retrieval/RulesUpdate.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// A customer number and how many result sets it has. The pages are addressed one at a time
// as they are read, never listed up front: a count is a figure read from a page.
struct ResultSets {
  std::string customer_number;
  int count;
};

// The application and patent numbers already listed, in the form the duplicate check compares
// them (upper case), so each imported row is checked at once instead of against every row: the
// list's own check made an import of thousands of rows cost the square of them.
class CListedNumbers {
 public:
  explicit CListedNumbers(const CEntryList& list) {
    for (std::size_t row = 0; row < list.Size(); ++row) Add(list.At(row));
  }
  // What CEntryList::FindDuplicate finds: the same patent number, or without one the same
  // application number.
  bool Contains(const CEntry& entry) const {
    const bool by_patent = !entry.Text(kPatNum).empty();
    const std::string& number = entry.Text(by_patent ? kPatNum : kAppNum);
    if (number.empty()) return false;
    return (by_patent ? patents_ : applications_).contains(Key(number));
  }
  void Add(const CEntry& entry) {
    if (!entry.Text(kAppNum).empty()) applications_.insert(Key(entry.Text(kAppNum)));
    if (!entry.Text(kPatNum).empty()) patents_.insert(Key(entry.Text(kPatNum)));
  }

 private:
  static std::string Key(const std::string& number) {
    std::string key(number.size(), '\0');
    for (std::size_t i = 0; i < number.size(); ++i) {
      key[i] = static_cast<char>(UpperCaseCp1252(static_cast<unsigned char>(number[i])));
    }
    return key;
  }
  std::unordered_set<std::string> applications_;
  std::unordered_set<std::string> patents_;
};

void ShowProgress(CRun& app, const std::string& text) {
  if (app.Ui()) app.Ui()->SetStatusText(text);
  app.Log().Write("%s...\n", text.c_str());
}

void SetProgress(CRun& app, std::size_t position) {
  if (app.Ui()) app.Ui()->SetProgress(static_cast<int>(position));
}

// A rules value that could not be given explains whatever a page then seemed to say, so its
// error wins over the reader's.
std::string WithRulesError(CRun& app, std::string error) {
  std::string rules_error = TakeRulesError(app);
  return rules_error.empty() ? error : rules_error;
}

// Fetches one master-list page (customer numbers set on the app beforehand) and normalises it.
std::string FetchPage(CRun& app, int page_index, std::string& page) {
  const std::string url = MasterListUrl(app, page_index);
  if (std::string rules_error = TakeRulesError(app); !rules_error.empty()) return rules_error;
  std::string raw;
  std::string error = FetchPage(app, url, false, false, raw);
  if (error.empty()) page = NormalizePage(raw);
  return error;
}

// The cookie phase: the customer numbers and, for each, how many result sets it has.
std::string CountResultPages(CRun& app, std::vector<std::string>& numbers,
                             std::vector<ResultSets>& sets) {
  app.BeginBusy("Update Master List", 100);
  app.Log().Write("Update Master List...\n");
  if (app.Ui()) app.Ui()->SetStatusText("Reading Cookies");
  std::string page;
  std::string error = FetchPage(app, -1, page);
  if (error.empty()) error = WithRulesError(app, ReadCustomerNumbers(app, page, numbers));
  for (std::size_t k = 0; error.empty() && k < numbers.size(); ++k) {
    if (app.AbortReason() == kAbortClosing) break;
    const std::string& number = numbers[k];
    ShowProgress(app, "Counting " + number + " (" + std::to_string(k + 1) + " of " +
                          std::to_string(numbers.size()) + ")");
    app.MasterList().cookie = number;
    app.MasterList().index = 0;
    int count = 0;
    error = FetchPage(app, 0, page);
    if (error.empty()) error = WithRulesError(app, ReadMasterListCount(app, page, number, count));
    if (!error.empty()) break;
    sets.push_back({number, count});
    app.Log().Write("Urls: %d...\n", count);
    SetProgress(app, k + 1);
  }
  app.EndBusy();
  return error;
}

// Every result page counted, for the progress display.
std::size_t TotalPages(const std::vector<ResultSets>& sets) {
  std::size_t total = 0;
  for (const ResultSets& set : sets) total += static_cast<std::size_t>(set.count);
  return total;
}

// One result page: its customer number and its index within that number's result sets.
struct ResultPage {
  std::string customer_number;
  int index;
  std::string Key() const { return customer_number + " " + std::to_string(index); }
};

// How many result pages are asked for ahead of the one read: the server takes longer to answer
// than a page takes to read.
constexpr std::size_t kResultPagesAhead = 4;

// Up to count result pages after the one given, in the order they are read.
std::vector<ResultPage> NextResultPages(const std::vector<ResultSets>& sets, std::size_t set,
                                        int index, std::size_t count) {
  std::vector<ResultPage> next;
  for (; set < sets.size() && next.size() < count; ++set, index = 0) {
    for (int i = index + 1; i <= sets[set].count && next.size() < count; ++i) {
      next.push_back({sets[set].customer_number, i});
    }
  }
  return next;
}

// Asks for the result pages ahead, each at the address the rules give with its own customer
// number and index (the current ones are put back afterwards); those already asked for stay.
// Stops at a page for which a rules value is missing: its own turn reports it.
void AskResultPagesAhead(CRun& app, CPagesAhead& ahead, const std::vector<ResultPage>& next) {
  std::vector<std::string> keys;
  for (const ResultPage& page : next) keys.push_back(page.Key());
  CMasterListState& state = app.MasterList();
  const CMasterListState current = state;
  for (std::size_t i = ahead.Keep(keys); i < next.size(); ++i) {
    state.cookie = next[i].customer_number;
    state.index = next[i].index;
    const std::string url = MasterListUrl(app, next[i].index);
    if (!TakeRulesError(app).empty()) break;
    ahead.Ask(keys[i], {url});
  }
  state = current;
}

// The result page of the current customer number and index, normalised: the one asked for
// ahead when it is that page at that address, else fetched now.
std::string FetchResultPage(CRun& app, CPagesAhead& ahead, std::string& page) {
  const CMasterListState& state = app.MasterList();
  const std::string url = MasterListUrl(app, state.index);
  if (std::string rules_error = TakeRulesError(app); !rules_error.empty()) return rules_error;
  std::vector<std::string> pages;
  const std::string error = ahead.Fetch(ResultPage{state.cookie, state.index}.Key(), {url}, pages);
  if (error.empty()) page = NormalizePage(pages[0]);
  return error;
}

// The page phase: each result set's table, its rows added as entries.
std::string ReadResultPages(CRun& app, std::size_t cookie_steps,
                            const std::vector<ResultSets>& sets, bool notify_new, bool& closed) {
  const std::size_t range = TotalPages(sets) + cookie_steps;
  app.BeginBusy("Update Master List",
                static_cast<int>(std::min<std::size_t>(range, std::numeric_limits<int>::max())));
  SetProgress(app, cookie_steps);
  // Duplicates are skipped quietly through the listed numbers; the view is refreshed once per
  // result page, not once per row.
  const AddFlags add_flags =
      AddFlags::kNoRefresh | (notify_new ? AddFlags::kNotify : AddFlags::kNone);
  CListedNumbers listed(app.Entries());
  CPagesAhead pages_ahead(app);
  std::string error;
  std::size_t done = 0;
  for (std::size_t set_number = 0; set_number < sets.size(); ++set_number) {
    const ResultSets& set = sets[set_number];
    for (int index = 1; index <= set.count && error.empty() && !closed; ++index) {
      if (app.AbortReason() == kAbortClosing) {
        ++app.Status().failure_count;
        closed = true;
        break;
      }
      // Both variables name this page: every result page has its own customer number.
      app.MasterList().cookie = set.customer_number;
      app.MasterList().index = index;
      ShowProgress(app, "Reading " + set.customer_number + " (" + std::to_string(index) + " of " +
                            std::to_string(set.count) + ")");
      std::string page;
      error = FetchResultPage(app, pages_ahead, page);
      if (error.empty()) {
        AskResultPagesAhead(app, pages_ahead,
                            NextResultPages(sets, set_number, index, kResultPagesAhead));
        error = WithRulesError(app, ReadMasterListTable(app, page, [&](CEntry entry) {
                                 if (listed.Contains(entry)) return std::string();
                                 listed.Add(entry);
                                 return AddEntry(app, std::move(entry), add_flags);
                               }));
        if (app.Ui()) app.Ui()->RefreshList();
      }
      if (error.empty()) SetProgress(app, cookie_steps + ++done);
    }
    if (!error.empty() || closed) break;
  }
  app.EndBusy();
  app.Entries().Sort();
  if (app.Ui()) app.Ui()->RefreshList();
  return error;
}

// Both phases on the status site; "" or the error that stopped them. A close cuts the fetch
// under way short with a cancel error: that ends the import quietly, as it ends an update run,
// and the page phase counts it as a failure.
std::string ImportFromSite(CRun& app, const std::string& cookie_page, bool notify_new,
                           bool& closed) {
  std::vector<std::string> numbers;
  std::vector<ResultSets> sets;
  std::string error;
  if (cookie_page == "*none*") {
    // No customer-number page: one pass over the result sets with no customer number.
    numbers.push_back(std::string());
    sets.push_back({std::string(), 1});
  } else {
    error = CountResultPages(app, numbers, sets);
  }
  closed = app.AbortReason() == kAbortClosing;
  if (closed) return "";
  if (error.empty()) {
    error = ReadResultPages(app, numbers.size(), sets, notify_new, closed);
    if (!closed && app.AbortReason() == kAbortClosing) {
      ++app.Status().failure_count;
      closed = true;
    }
    if (closed) error.clear();
  }
  return error;
}

}  // namespace

bool RunMasterListStep(CRun& app) {
  UpdateRules(app);
  TakeRulesError(app);  // an earlier lookup's, not this import's
  const bool odp = UsesOdp(app.Settings());
  const std::vector<std::string> customer_numbers =
      odp ? OdpCustomerNumbersOf(app.Settings()) : std::vector<std::string>();
  const std::string cookie_page = odp ? "" : LookupRule(app, "masterlist", "cookiepage");
  if (odp ? customer_numbers.empty() : cookie_page.empty()) return true;

  const std::size_t before = app.Entries().Size();
  const bool was_empty = before == 0;
  if (!app.Status().auto_run && !was_empty) {
    MsgAnswer answer = app.MessageBox(
        "Do you want to update the master list before updating the status of all the entries?",
        MsgButtons::kYesNoCancel, MsgAnswer::kYes, "", MsgAnswer::kYes);
    if (answer == MsgAnswer::kCancel) return false;
    if (answer == MsgAnswer::kNo) return true;
  }

  // The notices of added entries are committed together, before the data file is saved.
  CEmailBatch notices(app);
  bool closed = app.AbortReason() == kAbortClosing;
  CFailure failure;
  if (!closed) {
    failure = odp ? ImportFromOdp(app, customer_numbers, !was_empty, closed)
                  : CFailure{ImportFromSite(app, cookie_page, !was_empty, closed)};
  }
  const std::string& error = failure.text;
  if (error.empty() && !closed) {
    app.MasterList().last_day = TodayDayNumber();
    app.Log().Write("Update Master List Succeeded\n");
  }
  if (!error.empty()) {
    ++app.Status().failure_count;
    app.Status().had_failures = true;
    app.ShowError("Update Master List Failed", error);
  }
  SaveEntries(app);
  // A refused key or certificate would fail every request of the status update as well.
  if (failure.fatal) return false;

  const std::size_t added = app.Entries().Size() - before;
  const bool succeeded = error.empty() && !closed;
  if (closed || (succeeded && app.Status().auto_run) || added == 0 || was_empty) return true;
  std::string question = succeeded ? "The master list was successfully processed."
                                   : "The master list was not completely processed.";
  question += "\n\n" + std::to_string(added) + " reference(s) added." +
              "\n\nDo you want to finish updating the status of all entries?";
  return app.MessageBox(question, MsgButtons::kYesNo, MsgAnswer::kYes, "", MsgAnswer::kYes) ==
         MsgAnswer::kYes;
}

}  // namespace larkspire
