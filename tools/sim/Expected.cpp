// The field values the pages of one day carry, derived from the data rather than from the
// pages, in the form the built-in rules' patterns and the page clean-up leave them.
#include "AppState.h"
#include "Markup.h"
#include "PageWriter.h"
#include "Pages.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

std::string IsoOrEmpty(int day) { return day ? FormatIsoDate(day) : ""; }

// Table captures keep a row end as "|" and a cell end as " , "; the line break the page has
// before every cell then folds into one blank.
std::string TableValue(const std::vector<std::vector<std::string>>& rows) {
  std::string value;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r) value += "| ";
    for (size_t c = 0; c < rows[r].size(); ++c) value += (c ? " , " : "") + rows[r][c];
  }
  return Collapse(value);
}

std::string ContinuityValue(const std::vector<CContinuityRow>& rows, const char* side) {
  if (rows.empty()) return std::string("No ") + side + " Continuity Data Found.";
  std::vector<std::vector<std::string>> cells;
  for (const CContinuityRow& row : rows) {
    cells.push_back({row.description, row.number, row.filed, row.status, row.patent});
  }
  return TableValue(cells);
}

void AddField(std::string& text, const char* key, const std::string& value) {
  text += std::string(key) + ": " + Collapse(value) + "\n";
}

}  // namespace

std::string ExpectedValues(const CSimData& data, int day) {
  std::string text =
      "# Field values the built-in rules extract from the pages of this directory, as the entry\n"
      "# fetch leaves them (before the entry record's own normalisation, which clears\n"
      "# \"No Parent Continuity Data Found.\" and \"No Child Continuity Data Found.\").\n"
      "# Written by larkspire-sim --write-pages from its data; do not edit.\n"
      "# Lists: rows end in \"| \", cells in \" , \" (foreign priority, continuity); Row lines\n"
      "# of a result set give the AppNum, PatNum, PubNum and Reference cells joined by \" | \".\n";
  text += "date: " + FormatIsoDate(day) + "\n";

  text += "\n[search]\npage: search.html\nCustomerNumbers:";
  for (const CSimCustomer& customer : data.customers) {
    text += (&customer == &data.customers.front() ? " " : ", ") + customer.number;
  }
  text += "\n";

  for (const CSimApplication& app : data.applications) {
    const auto state = StateOnDay(data, app, day);
    if (!state) continue;
    text += "\n[application " + app.app_num + "]\n";
    text += "pages: status-" + app.digits + ".html foreign-" + app.digits + ".html continuity-" +
            app.digits + ".html\n";
    AddField(text, "AppNum", app.app_num);
    AddField(text, "FilingDate", FormatIsoDate(app.filed));
    AddField(text, "IssueDate", IsoOrEmpty(state->issue_day));
    AddField(text, "DocketNumber", state->docket);
    AddField(text, "Examiner", state->examiner);
    AddField(text, "ArtUnit", state->art_unit);
    AddField(text, "PubNum", state->pub_num);
    AddField(text, "PubDate", IsoOrEmpty(state->pub_day));
    AddField(text, "ConfirmNum", state->confirmation);
    AddField(text, "PatNum", state->pat_num);
    AddField(text, "Class", state->class_text);
    AddField(text, "Location", state->location);
    AddField(text, "Status", state->status);
    AddField(text, "CustNum", state->customer);
    AddField(text, "LastHistoryDate",
             state->history.empty() ? "" : FormatIsoDate(state->history.front().day));
    AddField(text, "LastHistoryText", state->history.empty() ? "" : state->history.front().text);
    AddField(text, "PTA", state->pta ? "yes" : "");
    AddField(text, "PTE", state->pte ? "yes" : "");
    AddField(text, "Foreign", TableValue(state->foreign));
    const bool continuity = !state->parents.empty() || !state->children.empty();
    AddField(text, "ParentContinuity", continuity ? ContinuityValue(state->parents, "Parent") : "");
    AddField(text, "ChildContinuity", continuity ? ContinuityValue(state->children, "Child") : "");
  }

  for (const CSimCustomer& customer : data.customers) {
    const int count = ResultSetCount(data, customer.number, day);
    text += "\n[customer " + customer.number + "]\n";
    text += "Count: " + std::to_string(count) + "\n";
    const std::vector<CAppState> states = CustomerApplications(data, customer.number, day);
    for (size_t i = 0; i < states.size(); ++i) {
      const CAppState& state = states[i];
      text += "Row" + std::to_string(i / data.page_size + 1) + ": " + state.app->app_num + " | " +
              Collapse(state.pat_num) + " | " + Collapse(state.pub_num) + " | " +
              Collapse(state.docket) + "\n";
    }
  }

  text += "\n[other pages]\n";
  text +=
      std::string("notfound-application.html: required[AppNum] (") + kUnknownApplication + ")\n";
  text += std::string("notfound-patent.html: required[PatNum] (") + kUnknownPatent + ")\n";
  text +=
      std::string("notfound-publication.html: required[PubNum] (") + kUnknownPublication + ")\n";
  text += "error1.html: error1, bold text \"Proxy timeout\"\n";
  text += "error2.html: error2\n";
  text += "error3.html: error3 (the search page)\n";
  text += "error4.html: error4\n";
  for (const CSimApplication& app : data.applications) {
    if (StateOnDay(data, app, day)) {
      text += "truncated-status-" + app.digits + ".html: lacks fetch1 required\n";
      break;
    }
  }
  return text;
}

}  // namespace larkspire::sim
