#include "AppState.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "SimDate.h"

namespace larkspire::sim {
namespace {

struct CRelation {
  const char* name;
  const char* parent_text;  // how the child describes its parent
  const char* child_text;   // how the parent describes its child
};

const CRelation kRelations[] = {
    {"Continuation", "This application is a Continuation of", "Continuation of this application"},
    {"Division", "This application is a Division of", "Division of this application"},
    {"Continuation in part", "This application is a Continuation in part of",
     "Continuation in part of this application"},
    {"Provisional", "This application Claims Priority from Provisional Application",
     "Claims priority from this provisional application"},
    {"National stage", "This application is a National Stage Entry of",
     "National Stage Entry of this application"},
};

const CRelation* FindRelation(const std::string& name) {
  for (const CRelation& relation : kRelations) {
    if (name == relation.name) return &relation;
  }
  return nullptr;
}

std::string LatestValue(const CSimApplication& app, std::string_view key, int day,
                        int* from = nullptr) {
  const CDatedLine* line = app.Latest(key, day);
  if (from) *from = line ? line->from : 0;
  return line ? line->value : "";
}

// The short status and the patent number a continuity table gives a related application.
void FillRelated(const CSimApplication& related, int day, CContinuityRow& row) {
  row.filed = FormatSiteDate(related.filed);
  row.patent = LatestValue(related, "patent", day);
  if (!row.patent.empty()) {
    row.status = "Patented";
  } else if (LatestValue(related, "status", day).rfind("Abandoned", 0) == 0) {
    row.status = "Abandoned";
  } else {
    row.status = "Pending";
  }
}

// A parent line: RELATION | NUMBER, with the rest taken from the data, or
// RELATION | NUMBER | FILED | STATUS [| PATENT] for a parent the site holds no page for.
std::optional<CContinuityRow> ParentRow(const CSimData& data, const CSimApplication& app,
                                        const std::string& line, int day) {
  const std::vector<std::string> cells = SplitCells(line);
  const CRelation* relation = FindRelation(cells[0]);
  CContinuityRow row;
  row.relation = cells[0];
  row.description = relation ? relation->parent_text : cells[0];
  row.number = cells[1];
  if (cells.size() >= 4) {
    const auto filed = ParseIsoDate(cells[2]);
    row.filed = filed ? FormatSiteDate(*filed) : cells[2];
    row.status = cells[3];
    row.patent = cells.size() > 4 ? cells[4] : "";
    return row;
  }
  const CSimApplication* parent = data.FindApplication(NumberKey(row.number));
  if (!parent || parent == &app || parent->filed > day) return std::nullopt;
  row.related = parent;
  FillRelated(*parent, day, row);
  return row;
}

std::vector<CContinuityRow> ChildRows(const CSimData& data, const CSimApplication& app, int day) {
  std::vector<CContinuityRow> rows;
  for (const CSimApplication* other : data.ChildrenOf(app.digits)) {
    if (other->filed > day) continue;
    for (const CDatedLine& line : other->UpTo("parent", day)) {
      const std::vector<std::string> cells = SplitCells(line.value);
      if (cells.size() != 2 || NumberKey(cells[1]) != app.digits) continue;
      const CRelation* relation = FindRelation(cells[0]);
      CContinuityRow row;
      row.relation = cells[0];
      row.description = relation ? relation->child_text : cells[0];
      row.number = other->app_num;
      row.related = other;
      FillRelated(*other, day, row);
      rows.push_back(row);
    }
  }
  return rows;
}

}  // namespace

std::optional<CAppState> StateOnDay(const CSimData& data, const CSimApplication& app, int day,
                                    StateDetail detail) {
  if (app.filed > day) return std::nullopt;
  CAppState state;
  state.app = &app;
  state.customer = LatestValue(app, "customer", day);
  state.confirmation = LatestValue(app, "confirmation", day);
  state.docket = LatestValue(app, "docket", day);
  state.title = LatestValue(app, "title", day);
  state.class_text = LatestValue(app, "class", day);
  state.examiner = LatestValue(app, "examiner", day);
  state.art_unit = LatestValue(app, "art-unit", day);
  state.status = LatestValue(app, "status", day, &state.status_day);
  state.location = LatestValue(app, "location", day, &state.location_day);
  state.pub_num = LatestValue(app, "publication", day, &state.pub_day);
  state.pat_num = LatestValue(app, "patent", day, &state.issue_day);
  const CDatedLine* pta = app.Latest("pta", day);
  state.pta = pta != nullptr;
  state.pta_days = pta ? std::atoi(pta->value.c_str()) : 0;
  state.pte = app.Latest("pte", day) != nullptr;
  if (detail == StateDetail::kListRow) return state;
  for (const CDatedLine& line : app.UpTo("event", day)) {
    state.history.push_back({line.from == kAlways ? app.filed : line.from, line.value});
  }
  // Newest first; events of one day keep the reverse of their file order, like a log read
  // backwards.
  std::reverse(state.history.begin(), state.history.end());
  std::stable_sort(state.history.begin(), state.history.end(),
                   [](const CHistoryEvent& a, const CHistoryEvent& b) { return a.day > b.day; });
  for (const CDatedLine& line : app.UpTo("foreign", day)) {
    std::vector<std::string> cells = SplitCells(line.value);
    for (std::string& cell : cells) {
      if (auto date = ParseIsoDate(cell)) cell = FormatSiteDate(*date);
    }
    state.foreign.push_back(cells);
  }
  for (const CDatedLine& line : app.UpTo("parent", day)) {
    if (auto row = ParentRow(data, app, line.value, day)) state.parents.push_back(*row);
  }
  state.children = ChildRows(data, app, day);
  return state;
}

std::vector<CAppState> CustomerApplications(const CSimData& data, const std::string& customer,
                                            int day) {
  std::vector<CAppState> states;
  for (const CSimApplication& app : data.applications) {
    auto state = StateOnDay(data, app, day, StateDetail::kListRow);
    if (state && state->customer == customer) states.push_back(std::move(*state));
  }
  std::sort(states.begin(), states.end(),
            [](const CAppState& a, const CAppState& b) { return a.app->digits > b.app->digits; });
  return states;
}

const CSimApplication* FindByPatent(const CSimData& data, const std::string& number, int day) {
  const std::string key = NumberKey(number);
  for (const CSimApplication& app : data.applications) {
    const CDatedLine* patent = app.Latest("patent", day);
    if (patent && app.filed <= day && NumberKey(patent->value) == key) return &app;
  }
  return nullptr;
}

const CSimApplication* FindByPublication(const CSimData& data, const std::string& number, int day) {
  // "US 2004-0234567 A1", "2004/0234567 A1" and "20040234567A1" name the same publication.
  auto strip = [](std::string key) { return key.rfind("US", 0) == 0 ? key.substr(2) : key; };
  const std::string key = strip(NumberKey(number));
  for (const CSimApplication& app : data.applications) {
    const CDatedLine* publication = app.Latest("publication", day);
    if (publication && app.filed <= day && strip(NumberKey(publication->value)) == key) {
      return &app;
    }
  }
  return nullptr;
}

}  // namespace larkspire::sim
