#include "OdpRecord.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "SimDate.h"

namespace larkspire::sim {
namespace {

constexpr const char* kServiceStart = "2001-01-01";

// Status codes of the texts the demo data uses; any other text gets a code of its own in the
// 900s, stable for the text, so that clients see a number but cannot look it up.
struct CStatusCode {
  const char* text;
  int code;
};
const CStatusCode kStatusCodes[] = {
    {"Application Undergoing Preexam Processing", 19},
    {"Application Dispatched from Preexam, Not Yet Docketed", 20},
    {"Docketed New Case - Ready for Examination", 30},
    {"Non Final Action Mailed", 41},
    {"Final Rejection Mailed", 61},
    {"Response to Non-Final Office Action Entered and Forwarded to Examiner", 71},
    {"Notice of Allowance Mailed -- Application Received in Office of Publications", 93},
    {"Patented Case", 150},
    {"Abandoned -- Failure to Respond to an Office Action", 161},
};

// Event codes of the file history texts the demo data and the tests use, as the service sends
// them: among them every event the built-in deadline rules open or close a deadline on, and
// the IDS, which does neither. Any other text is coded by the initials of its first words.
struct CEventCode {
  const char* text;
  const char* code;
};
const CEventCode kEventCodes[] = {
    {"Initial Exam Team nn", "IEXX"},
    {"Application Dispatched from OIPE", "OIPE"},
    {"Case Docketed to Examiner in GAU", "DOCK"},
    {"Mail Non-Final Rejection", "MCTNF"},
    {"Response after Non-Final Action", "A..."},
    {"Mail Final Rejection (PTOL - 326)", "MCTFR"},
    {"Response after Final Action", "A.NE"},
    {"Request for Continued Examination (RCE)", "RCEX"},
    {"Mail Notice of Allowance", "MN/=."},
    {"Issue Fee Payment Verified", "N084"},
    {"Issue Notification Mailed", "WPIR"},
    {"Recordation of Patent Grant Mailed", "PGM/"},
    {"Patent Issue Date Used in PTA Calculation", "PTAC"},
    {"Abandonment for Failure to Respond to Office Action", "ABN2"},
    {"Mail Abandonment for Failure to Respond to Office Action", "MABN2"},
    {"Information Disclosure Statement (IDS) Filed", "IDS"},
};

struct CParentage {
  const char* relation;  // as the data file names it
  const char* code;
  const char* text;
};
const CParentage kParentages[] = {
    {"Continuation", "CON", "is a Continuation of"},
    {"Division", "DIV", "is a Division of"},
    {"Continuation in part", "CIP", "is a Continuation in part of"},
    {"Provisional", "PRO", "Claims Priority from Provisional Application"},
    {"National stage", "NST", "is a National Stage Entry of"},
};

int StatusCode(const std::string& text) {
  for (const CStatusCode& known : kStatusCodes) {
    if (text == known.text) return known.code;
  }
  unsigned hash = 0;
  for (const char c : text) hash = hash * 31 + static_cast<unsigned char>(c);
  return 900 + static_cast<int>(hash % 100);
}

std::string EventCode(const std::string& text) {
  for (const CEventCode& known : kEventCodes) {
    if (text == known.text) return known.code;
  }
  std::string code;
  bool word_start = true;
  for (const char c : text) {
    if (word_start && std::isalnum(static_cast<unsigned char>(c)) && code.size() < 5) {
      code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    word_start = c == ' ';
  }
  return code;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The service writes US application numbers as their digits, anything else (a PCT number) as
// it stands.
std::string ServiceAppNumber(const std::string& number) {
  const bool us = number.size() == 10 && number[2] == '/' && number[6] == ',';
  return us ? NumberKey(number) : number;
}

// "US 2004-0234567 A1" whatever spacing the data file used; anything else as it stands.
std::string ServicePublicationNumber(const std::string& number) {
  const std::string key = NumberKey(number);
  const bool usual = key.size() == 15 && key.rfind("US", 0) == 0 && AllDigits(key.substr(2, 11)) &&
                     std::isalpha(static_cast<unsigned char>(key[13]));
  if (!usual) return number;
  return "US " + key.substr(2, 4) + "-" + key.substr(6, 7) + " " + key.substr(13);
}

CJson NumberOrString(const std::string& text, bool as_number) {
  return as_number && AllDigits(text) ? CJson::Integer(std::atoll(text.c_str()))
                                      : CJson::String(text);
}

void SetText(CJson& object, std::string_view key, const std::string& text) {
  if (!text.empty()) object.Set(key, CJson::String(text));
}

void SetDate(CJson& object, std::string_view key, int day) {
  if (day) object.Set(key, CJson::String(FormatIsoDate(day)));
}

void SetSiteDate(CJson& object, std::string_view key, const std::string& site_date) {
  if (const auto day = ParseSiteDate(site_date)) SetDate(object, key, *day);
}

CJson MetaData(const CAppState& state) {
  const CSimApplication& app = *state.app;
  CJson meta = CJson::Object();
  meta.Set("applicationTypeCode", CJson::String("UTL"));
  meta.Set("applicationTypeLabelName", CJson::String("Utility"));
  SetDate(meta, "filingDate", app.filed);
  if (!state.status.empty()) {
    meta.Set("applicationStatusCode", CJson::Integer(StatusCode(state.status)));
    meta.Set("applicationStatusDescriptionText", CJson::String(state.status));
    SetDate(meta, "applicationStatusDate", state.status_day);
  }
  SetText(meta, "examinerNameText", state.examiner);
  SetText(meta, "groupArtUnitNumber", state.art_unit);
  if (!state.class_text.empty()) {
    // "435/006.000" on the status page is class 435, subclass 006000 here.
    const size_t slash = state.class_text.find('/');
    std::string subclass = slash == std::string::npos ? "" : state.class_text.substr(slash + 1);
    subclass.erase(std::remove(subclass.begin(), subclass.end(), '.'), subclass.end());
    const std::string main_class = state.class_text.substr(0, slash);
    meta.Set("class", CJson::String(main_class));
    SetText(meta, "subclass", subclass);
    meta.Set("uspcSymbolText",
             CJson::String(subclass.empty() ? main_class : main_class + "/" + subclass));
  }
  // The service writes the confirmation number as a number for some applications and as a
  // string for others; here the last digit of the application number decides.
  if (!state.confirmation.empty()) {
    const bool as_number = (app.digits.back() - '0') % 2 == 0;
    meta.Set("applicationConfirmationNumber", NumberOrString(state.confirmation, as_number));
  }
  if (!state.customer.empty()) meta.Set("customerNumber", NumberOrString(state.customer, true));
  SetText(meta, "docketNumber", state.docket);
  if (!state.pat_num.empty()) {
    meta.Set("patentNumber", CJson::String(NumberKey(state.pat_num)));
    SetDate(meta, "grantDate", state.issue_day);
  }
  if (!state.pub_num.empty()) {
    meta.Set("earliestPublicationNumber", CJson::String(ServicePublicationNumber(state.pub_num)));
    SetDate(meta, "earliestPublicationDate", state.pub_day);
  }
  SetText(meta, "inventionTitle", state.title);
  return meta;
}

CJson EventBag(const CAppState& state) {
  CJson bag = CJson::Array();
  for (const CHistoryEvent& event : state.history) {
    CJson item = CJson::Object();
    item.Set("eventCode", CJson::String(EventCode(event.text)));
    item.Set("eventDescriptionText", CJson::String(event.text));
    SetDate(item, "eventDate", event.day);
    bag.Push(std::move(item));
  }
  return bag;
}

// One continuity row, seen from `side` ("parent" or "child") for the other application.
CJson ContinuityItem(const CContinuityRow& row, const std::string& own_digits, const char* side,
                     int day) {
  const std::string other = ServiceAppNumber(row.number);
  const bool parent_side = std::string(side) == "parent";
  CJson item = CJson::Object();
  item.Set("parentApplicationNumberText", CJson::String(parent_side ? other : own_digits));
  item.Set("childApplicationNumberText", CJson::String(parent_side ? own_digits : other));
  const std::string prefix = side;
  SetSiteDate(item, prefix + "ApplicationFilingDate", row.filed);
  // The related application's own status text where the file holds it, else the short status
  // the data file gives.
  const CDatedLine* status = row.related ? row.related->Latest("status", day) : nullptr;
  if (status) {
    item.Set(prefix + "ApplicationStatusCode", CJson::Integer(StatusCode(status->value)));
    item.Set(prefix + "ApplicationStatusDescriptionText", CJson::String(status->value));
  } else {
    SetText(item, prefix + "ApplicationStatusDescriptionText", row.status);
  }
  if (!row.patent.empty()) item.Set(prefix + "PatentNumber", CJson::String(NumberKey(row.patent)));
  for (const CParentage& parentage : kParentages) {
    if (row.relation != parentage.relation) continue;
    item.Set("claimParentageTypeCode", CJson::String(parentage.code));
    item.Set("claimParentageTypeCodeDescriptionText", CJson::String(parentage.text));
    return item;
  }
  item.Set("claimParentageTypeCodeDescriptionText", CJson::String(row.relation));
  return item;
}

CJson ContinuityBag(const std::vector<CContinuityRow>& rows, const std::string& own_digits,
                    const char* side, int day) {
  CJson bag = CJson::Array();
  for (const CContinuityRow& row : rows) bag.Push(ContinuityItem(row, own_digits, side, day));
  return bag;
}

CJson ForeignBag(const CAppState& state) {
  CJson bag = CJson::Array();
  for (const std::vector<std::string>& cells : state.foreign) {
    CJson item = CJson::Object();
    SetText(item, "ipOfficeName", cells.size() > 0 ? cells[0] : "");
    SetText(item, "applicationNumberText", cells.size() > 1 ? cells[1] : "");
    if (cells.size() > 2) SetSiteDate(item, "filingDate", cells[2]);
    bag.Push(std::move(item));
  }
  return bag;
}

CJson CorrespondenceBag(const CSimData& data, const CAppState& state) {
  static const char* const kLineNames[] = {"One", "Two", "Three", "Four", "Five", "Six"};
  CJson bag = CJson::Array();
  const CSimCustomer* customer = data.FindCustomer(state.customer);
  if (!customer) return bag;
  CJson address = CJson::Object();
  SetText(address, "nameLineOneText", customer->name);
  for (size_t i = 0; i < customer->address.size() && i < std::size(kLineNames); ++i) {
    address.Set(std::string("addressLine") + kLineNames[i] + "Text",
                CJson::String(customer->address[i]));
  }
  bag.Push(std::move(address));
  return bag;
}

CJson RecordAttorney(const CSimData& data, const CAppState& state) {
  CJson attorney = CJson::Object();
  const CSimCustomer* customer = data.FindCustomer(state.customer);
  if (!customer) return attorney;
  CJson correspondence = CJson::Object();
  correspondence.Set("patronIdentifier", NumberOrString(customer->number, true));
  SetText(correspondence, "organizationStandardName", customer->name);
  CJson bag = CJson::Array();
  bag.Push(std::move(correspondence));
  attorney.Set("customerNumberCorrespondenceData", std::move(bag));
  return attorney;
}

void ConsiderLines(const CSimApplication& app, std::string_view key, int day, int& latest) {
  for (const CDatedLine& line : app.UpTo(key, day)) latest = std::max(latest, line.from);
}

// What a continuity row shows of another application: its filing, status and patent.
void ConsiderRelated(const CSimApplication& other, int day, int& latest) {
  if (other.filed > day) return;
  latest = std::max(latest, other.filed);
  ConsiderLines(other, "status", day, latest);
  ConsiderLines(other, "patent", day, latest);
}

}  // namespace

bool HeldByOdp(const CAppState& state) {
  return state.app->filed >= *ParseIsoDate(kServiceStart) &&
         (!state.pub_num.empty() || !state.pat_num.empty());
}

CJson OdpRecord(const CSimData& data, const CAppState& state, int day) {
  const std::string& digits = state.app->digits;
  CJson record = CJson::Object();
  record.Set("applicationNumberText", CJson::String(digits));
  record.Set("applicationMetaData", MetaData(state));
  record.Set("correspondenceAddressBag", CorrespondenceBag(data, state));
  record.Set("recordAttorney", RecordAttorney(data, state));
  record.Set("eventDataBag", EventBag(state));
  record.Set("parentContinuityBag", ContinuityBag(state.parents, digits, "parent", day));
  record.Set("childContinuityBag", ContinuityBag(state.children, digits, "child", day));
  record.Set("foreignPriorityBag", ForeignBag(state));
  if (state.pta) {
    CJson pta = CJson::Object();
    pta.Set("adjustmentTotalQuantity", CJson::Integer(state.pta_days));
    record.Set("patentTermAdjustmentData", std::move(pta));
  }
  record.Set("lastIngestionDateTime",
             CJson::String(IngestionDateTime(*state.app, LastChangeDay(data, *state.app, day))));
  return record;
}

int LastChangeDay(const CSimData& data, const CSimApplication& app, int day) {
  int latest = app.filed;
  for (const auto& [key, lines] : app.facts) {
    if (key != "location" && key != "pte") ConsiderLines(app, key, day, latest);
  }
  for (const CDatedLine& line : app.UpTo("parent", day)) {
    const std::vector<std::string> cells = SplitCells(line.value);
    if (cells.size() != 2) continue;
    const CSimApplication* parent = data.FindApplication(NumberKey(cells[1]));
    if (parent && parent != &app) ConsiderRelated(*parent, day, latest);
  }
  for (const CSimApplication* child : data.ChildrenOf(app.digits)) {
    ConsiderRelated(*child, day, latest);
    if (child->filed <= day) ConsiderLines(*child, "parent", day, latest);
  }
  return std::min(latest, day);
}

std::string IngestionDateTime(const CSimApplication& app, int change_day) {
  const long number = std::atol(app.digits.c_str());
  char time[16];
  std::snprintf(time, sizeof time, "T%02ld:%02ld:%02ld", 1 + number % 5, (number / 7) % 60,
                (number / 11) % 60);
  return FormatIsoDate(change_day) + time;
}

}  // namespace larkspire::sim
