// What the status site shows about one application on one simulated day.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SimData.h"

namespace larkspire::sim {

struct CHistoryEvent {
  int day = 0;
  std::string text;
};

struct CContinuityRow {
  std::string relation;  // as the data file names it: "Continuation", "Provisional", ...
  std::string description;
  std::string number;
  std::string filed;  // mm-dd-yyyy, or "" when unknown
  std::string status;
  std::string patent;
  const CSimApplication* related = nullptr;  // the other application when the file holds it
};

// Every text is plain (not HTML); dates are day numbers, 0 when the event has not happened.
struct CAppState {
  const CSimApplication* app = nullptr;
  std::string customer;  // customer number
  std::string confirmation;
  std::string docket;
  std::string title;
  std::string class_text;
  std::string examiner;
  std::string art_unit;
  std::string status;
  int status_day = 0;
  std::string location;
  int location_day = 0;
  std::string pub_num;
  int pub_day = 0;
  std::string pat_num;
  int issue_day = 0;
  bool pta = false;
  int pta_days = 0;  // the adjustment the term carries, once `pta`
  bool pte = false;
  std::vector<CHistoryEvent> history;             // newest first
  std::vector<std::vector<std::string>> foreign;  // country, number, date (mm-dd-yyyy)
  std::vector<CContinuityRow> parents;
  std::vector<CContinuityRow> children;
};

// How much of the state to work out: a result-set row shows only the single-valued facts, and
// leaving out the lists (continuity looks at every other application) keeps a result page of a
// customer with thousands of applications from costing the square of them.
enum class StateDetail { kFull, kListRow };

// Nothing before the application's filing date: the site does not know it yet.
std::optional<CAppState> StateOnDay(const CSimData& data, const CSimApplication& app, int day,
                                    StateDetail detail = StateDetail::kFull);

// The applications of a customer number the site lists on the day, highest number first.
std::vector<CAppState> CustomerApplications(const CSimData& data, const std::string& customer,
                                            int day);

// Finds the application a patent or publication number search names, if issued or published by
// the day.
const CSimApplication* FindByPatent(const CSimData& data, const std::string& number, int day);
const CSimApplication* FindByPublication(const CSimData& data, const std::string& number, int day);

}  // namespace larkspire::sim
