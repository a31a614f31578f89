#include "retrieval/MasterListCommand.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "entries/Entry.h"
#include "entries/EntryList.h"
#include "entries/TextOrder.h"
#include "notify/EntryCommands.h"
#include "notify/Variables.h"
#include "retrieval/Fetch.h"
#include "retrieval/MasterList.h"
#include "retrieval/OdpMasterList.h"
#include "retrieval/OdpSettings.h"
#include "retrieval/RulesUpdate.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

struct ResultPage {
  std::string customer_number;
  int index;
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

// Fetches one master-list page (customer numbers set on the app beforehand) and normalises it.
std::string FetchPage(CRun& app, int page_index, std::string& page) {
  std::string raw;
  std::string error = FetchPage(app, MasterListUrl(app, page_index), false, false, raw);
  if (error.empty()) page = NormalizePage(raw);
  return error;
}

// The cookie phase: the customer numbers and, for each, how many result sets it has.
std::string CountResultPages(CRun& app, std::vector<std::string>& numbers,
                             std::vector<ResultPage>& pages) {
  app.BeginBusy("Update Master List", 100);
  app.Log().Write("Update Master List...\n");
  if (app.Ui()) app.Ui()->SetStatusText("Reading Cookies");
  std::string page;
  std::string error = FetchPage(app, -1, page);
  if (error.empty()) error = ReadCustomerNumbers(app, page, numbers);
  for (std::size_t k = 0; error.empty() && k < numbers.size(); ++k) {
    if (app.AbortReason() == kAbortClosing) break;
    const std::string& number = numbers[k];
    ShowProgress(app, "Counting " + number + " (" + std::to_string(k + 1) + " of " +
                          std::to_string(numbers.size()) + ")");
    app.MasterList().cookie = number;
    app.MasterList().index = 0;
    int count = 0;
    error = FetchPage(app, 0, page);
    if (error.empty()) error = ReadMasterListCount(app, page, number, count);
    if (!error.empty()) break;
    for (int index = 1; index <= count; ++index) pages.push_back({number, index, count});
    app.Log().Write("Urls: %d...\n", count);
    SetProgress(app, k + 1);
  }
  app.EndBusy();
  return error;
}

// The page phase: each result set's table, its rows added as entries.
std::string ReadResultPages(CRun& app, std::size_t cookie_steps,
                            const std::vector<ResultPage>& pages, bool notify_new, bool& closed) {
  app.BeginBusy("Update Master List", static_cast<int>(pages.size() + cookie_steps));
  SetProgress(app, cookie_steps);
  // Duplicates are skipped quietly through the listed numbers; the view is refreshed once per
  // result page, not once per row.
  const AddFlags add_flags =
      AddFlags::kNoRefresh | (notify_new ? AddFlags::kNotify : AddFlags::kNone);
  CListedNumbers listed(app.Entries());
  std::string error;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (app.AbortReason() == kAbortClosing) {
      ++app.Status().failure_count;
      closed = true;
      break;
    }
    // Both variables name this page: every result page has its own customer number.
    app.MasterList().cookie = pages[p].customer_number;
    app.MasterList().index = pages[p].index;
    ShowProgress(app, "Reading " + pages[p].customer_number + " (" +
                          std::to_string(pages[p].index) + " of " + std::to_string(pages[p].count) +
                          ")");
    std::string page;
    error = FetchPage(app, pages[p].index, page);
    if (error.empty()) {
      error = ReadMasterListTable(app, page, [&](CEntry entry) {
        if (listed.Contains(entry)) return std::string();
        listed.Add(entry);
        return AddEntry(app, std::move(entry), add_flags);
      });
      if (app.Ui()) app.Ui()->RefreshList();
    }
    if (!error.empty()) break;
    SetProgress(app, cookie_steps + p + 1);
  }
  app.EndBusy();
  app.Entries().Sort();
  if (app.Ui()) app.Ui()->RefreshList();
  return error;
}

// Both phases on the status site; "" or the error that stopped them.
std::string ImportFromSite(CRun& app, const std::string& cookie_page, bool notify_new,
                           bool& closed) {
  std::vector<std::string> numbers;
  std::vector<ResultPage> pages;
  std::string error;
  if (cookie_page == "*none*") {
    // No customer-number page: one pass over the result sets with no customer number.
    numbers.push_back(std::string());
    pages.push_back({std::string(), 1, 1});
  } else {
    error = CountResultPages(app, numbers, pages);
  }
  closed = app.AbortReason() == kAbortClosing;
  if (error.empty() && !closed) {
    error = ReadResultPages(app, numbers.size(), pages, notify_new, closed);
  }
  return error;
}

}  // namespace

bool RunMasterListStep(CRun& app) {
  UpdateRules(app);
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

  bool closed = app.AbortReason() == kAbortClosing;
  std::string error;
  if (!closed) {
    error = odp ? ImportFromOdp(app, customer_numbers, !was_empty, closed)
                : ImportFromSite(app, cookie_page, !was_empty, closed);
  }
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
  // A refused key would fail every request of the status update as well.
  if (odp && error.starts_with('!')) return false;

  const std::size_t added = app.Entries().Size() - before;
  const bool succeeded = error.empty() && !closed;
  if ((succeeded && app.Status().auto_run) || added == 0 || was_empty) return true;
  std::string question = succeeded ? "The master list was successfully processed."
                                   : "The master list was not completely processed.";
  question += "\n\n" + std::to_string(added) + " reference(s) added." +
              "\n\nDo you want to finish updating the status of all entries?";
  return app.MessageBox(question, MsgButtons::kYesNo, MsgAnswer::kYes, "", MsgAnswer::kYes) ==
         MsgAnswer::kYes;
}

}  // namespace larkspire
