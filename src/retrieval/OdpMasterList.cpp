#include "retrieval/OdpMasterList.h"

#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "entries/ListedNumbers.h"
#include "notify/EntryCommands.h"
#include "retrieval/OdpClient.h"
#include "retrieval/OdpFormats.h"
#include "retrieval/OdpSearch.h"
#include "retrieval/OdpSettings.h"
#include "run/Run.h"

namespace larkspire {

CFailure ImportFromOdp(CRun& app, const std::vector<std::string>& customer_numbers, bool notify_new,
                       bool& closed) {
  COdpClient client(app);
  if (!client.SetupError().empty()) return {client.SetupError(), true};
  app.BeginBusy("Update Master List", static_cast<int>(customer_numbers.size()));
  app.Log().Write("Update Master List...\n");
  const AddFlags add_flags =
      AddFlags::kNoRefresh | (notify_new ? AddFlags::kNotify : AddFlags::kNone);
  CListedNumbers listed(app.Entries());
  const auto page = static_cast<std::uint64_t>(client.RuleNumber(
      "search-page", static_cast<std::int64_t>(kOdpDefaultSearchPage), 1, kOdpSearchCap));
  std::string error;
  bool stops_run = false;
  for (std::size_t k = 0; error.empty() && k < customer_numbers.size(); ++k) {
    if (app.AbortReason() == kAbortClosing) {
      ++app.Status().failure_count;
      closed = true;
      break;
    }
    const std::string& number = customer_numbers[k];
    if (!IsCustomerNumber(number)) {
      error = "\"" + number + "\" is not a customer number.";
      break;
    }
    const std::string progress = "Reading " + number + " (" + std::to_string(k + 1) + " of " +
                                 std::to_string(customer_numbers.size()) + ")";
    if (app.Ui()) app.Ui()->SetStatusText(progress);
    app.Log().Write("%s...\n", progress.c_str());
    app.MasterList().cookie = number;
    COdpQuery query;
    query.q = client.Rule("query[CustNum]");
    query.fields = SplitFields(client.Rule("import-fields"));
    if (query.fields.empty()) query.fields = SplitFields(client.Rule("search-fields"));
    std::uint64_t total = 0;
    std::size_t read = 0;
    const COdpReply reply = RunOdpSearch(
        client, client.Address("search"), query, page,
        [&](const COdpSearchHit& hit) {
          ++read;
          // As a row of the status site's result table: the reference, and the application
          // number alone of the numbers.
          CEntry entry;
          entry.SetText(kReference, hit.reference);
          entry.Normalize();
          if (!error.empty() || SetIdentifier(entry, FormatApplicationNumber(hit.number))) return;
          if (listed.Find(entry)) return;
          listed.Add(entry, 0);
          error = AddEntry(app, std::move(entry), add_flags);
        },
        total);
    if (app.Ui()) app.Ui()->RefreshList();
    stops_run = error.empty() && StopsRun(reply.outcome);
    if (error.empty() && reply.outcome != EOdpOutcome::kAnswered) error = reply.message;
    if (error.empty() && total > read && read >= kOdpSearchCap) {
      error = "The Open Data Portal lists " + std::to_string(total) +
              " applications under customer number " + number + "; one search returns at most " +
              std::to_string(kOdpSearchCap) + ", so the others were not imported.";
    }
    app.Log().Write("Urls: %zu...\n", read);
    if (app.Ui()) app.Ui()->SetProgress(static_cast<int>(k + 1));
  }
  app.EndBusy();
  app.Entries().Sort();
  if (app.Ui()) app.Ui()->RefreshList();
  return {error, stops_run};
}

}  // namespace larkspire
