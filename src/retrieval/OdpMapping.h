// Where the Open Data Portal keeps each of an entry's fields, read from the rules file's "odp"
// section, so a field the service renames is followed by a rules update instead of a program
// upgrade. The section's syntax is described in docs/odp-mapping.md; in short:
//
//   bag: /patentFileWrapperDataBag                       the list the application record is in
//   [FilingDate]: {/applicationMetaData/filingDate yyyy-mm-dd}
//   [Foreign]: {/foreignPriorityBag/* rows=foreign}      every element, one row each
//   row[foreign]: {/ipOfficeName} , {/applicationNumberText code} , {/filingDate mm-dd-yyyy}
//
// Request addresses in the same section (page[AppNum], search, query[...]) are read with
// LookupRule like the status site's, so the entry's values are substituted into them.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "entries/Entry.h"

namespace larkspire {

inline constexpr std::string_view kOdpSection = "odp";
// Answers above this many bytes are refused when the section names no limit. The service
// itself refuses to send more than 6 MB.
inline constexpr std::size_t kDefaultOdpAnswerLimit = 8'000'000;

// The fields an update from the service writes: those the status-site fetch writes.
inline constexpr std::array<int, 21> kOdpFetchedFields = {
    kAppNum,  kFilingDate,       kIssueDate,       kDocketNumber,    kExaminer, kArtUnit,
    kPubNum,  kPubDate,          kConfirmNum,      kPatNum,          kClass,    kLocation,
    kStatus,  kCustNum,          kLastHistoryDate, kLastHistoryText, kPTA,      kPTE,
    kForeign, kParentContinuity, kChildContinuity};

enum class EOdpFormat {
  kText,         // text                 a JSON string
  kNumber,       // number               a whole JSON number
  kCode,         // code                 either (confirmation numbers come both ways)
  kIsoDate,      // yyyy-mm-dd           a date string, written yyyy-mm-dd
  kTableDate,    // mm-dd-yyyy           a date string, written mm-dd-yyyy
  kPatent,       // patent               "7,460,123"
  kPublication,  // publication          "US 2008-0228234 A1"
  kApplication,  // application          "10/123,456"
  kUspc,         // uspc                 "435/006.000"
  kPresent,      // present              "yes" when the value is there and not empty
  kRows,         // rows=NAME            each object through the row template row[NAME]
};

struct COdpStep {
  enum class EKind {
    kMember,  // an object member, or an array index when the value is an array
    kEvery,   // "*": every element of an array
    kNewest,  // "newest(NAME)": the array element whose NAME is the latest date
  };
  EKind kind = EKind::kMember;
  std::string name;
};

struct COdpPath {
  std::string text;  // as written, for messages
  // JSON Pointers with the two additions, tried in order: the first that finds a value wins.
  std::vector<std::vector<COdpStep>> alternatives;
};

struct COdpReference {
  COdpPath path;
  EOdpFormat format = EOdpFormat::kText;
  std::string rows;  // the row template's name, for kRows
  std::string map;   // a value table applied to each formatted value, or ""
  bool required = false;
};

// Literal text with references between; a field's text is the parts joined, with white space
// folded as the status site's page text is.
using COdpTemplate = std::vector<std::variant<std::string, COdpReference>>;

// "from=to" pairs tried in order on a whole value, ignoring case; "*" at either end of a from
// text matches any text there, and "*" alone matches everything. No match keeps the value.
using COdpValueMap = std::vector<std::pair<std::string, std::string>>;

struct COdpMapping {
  std::size_t limit = kDefaultOdpAnswerLimit;
  COdpPath bag;                                      // from the top of an answer
  COdpPath count;                                    // from the top; may be empty
  COdpPath search_number;                            // from a search hit; may be empty
  COdpPath search_time;                              // from a search hit; may be empty
  COdpPath search_reference;                         // from a search hit; may be empty
  std::vector<std::pair<int, COdpTemplate>> fields;  // field id and its template
  // The whole event history, for the docket: the events (a path from the record, usually
  // ending in *) and each one's date (yyyy-mm-dd), code and text. No events path: the section
  // predates the docket, which then takes the newest event alone, as from the status site.
  COdpPath events;
  COdpTemplate event_date;
  COdpTemplate event_code;
  COdpTemplate event_text;
  std::map<std::string, COdpTemplate, std::less<>> rows;
  std::map<std::string, COdpValueMap, std::less<>> maps;
};

// Compiles the rules text's odp section. Returns "" and fills mapping, or says what in the
// section cannot be used (mapping is then left unspecified). Keys the mapping does not use,
// such as the request addresses, are skipped; of a key written twice the first counts, as
// for LookupRule.
std::string ReadOdpMapping(std::string_view rules_text, COdpMapping& mapping);

}  // namespace larkspire
