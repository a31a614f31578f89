// The Open Data Portal mapping: the rules file's odp section compiled, and the service's JSON
// answers read through it into the texts the status-site source writes for the same
// application.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/OdpAnswer.h"
#include "retrieval/OdpMapping.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "support/SimExpected.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

using FieldTexts = std::map<std::string, std::string>;

std::string BuiltInRules() { return LoadTemplate(kTemplateRules).value_or(""); }

// A rules text whose odp section is the given lines (each without its leading blank).
std::string RulesWithOdp(const std::vector<std::string>& lines) {
  std::string rules = "version: 1\r\nodp:\r\n";
  for (const std::string& line : lines) rules += " " + line + "\r\n";
  return rules + "end-of-rules\r\n";
}

COdpMapping Compile(const std::string& rules) {
  COdpMapping mapping;
  const std::string error = ReadOdpMapping(rules, mapping);
  EXPECT_EQ(error, "");
  return mapping;
}

FieldTexts Texts(const COdpApplication& answer) {
  FieldTexts texts;
  for (const COdpField& field : answer.fields) texts[kFields[field.id].key] = field.text;
  return texts;
}

std::string Application(const std::string& digits) {
  return ReadFixture("odp/application-" + digits + ".json");
}

class OdpMappingTest : public ::testing::Test {
 protected:
  COdpApplication Read(std::string_view json) { return reader_.ReadApplication(json); }
  FieldTexts ReadTexts(std::string_view json) {
    const COdpApplication answer = Read(json);
    EXPECT_EQ(answer.result, EOdpResult::kMapped) << answer.error;
    return Texts(answer);
  }

  COdpAnswerReader reader_{Compile(BuiltInRules())};
};

// Every simulated application the service would serve (published by the simulated day),
// field by field against what the status site's pages of that day give. The service carries
// no Location and no PTE; the site's "No ... Continuity Data Found." becomes empty in the entry
// record either way.
TEST_F(OdpMappingTest, SimApplicationsReadAsTheStatusSiteWritesThem) {
  int compared = 0;
  for (const CSimSection& section : ReadSimExpected(ReadFixture("sim/2009-01-15/expected.txt"))) {
    if (!section.name.starts_with("application ")) continue;
    std::string digits = section.Get("AppNum");
    std::erase(digits, '/');
    std::erase(digits, ',');
    const std::filesystem::path fixture =
        std::string(LARKSPIRE_TEST_DATA) + "/odp/application-" + digits + ".json";
    if (section.Get("PubNum").empty()) {
      EXPECT_FALSE(std::filesystem::exists(fixture)) << "unpublished, so not served: " << digits;
      continue;
    }
    SCOPED_TRACE(section.name);
    const COdpApplication answer = Read(Application(digits));
    ASSERT_EQ(answer.result, EOdpResult::kMapped) << answer.error;
    ASSERT_EQ(answer.fields.size(), kOdpFetchedFields.size());
    for (std::size_t i = 0; i < kOdpFetchedFields.size(); ++i) {
      const int id = kOdpFetchedFields[i];
      const std::string key = kFields[id].key;
      std::string expected = section.Get(key);
      if (id == kLocation || id == kPTE || expected == "No Parent Continuity Data Found." ||
          expected == "No Child Continuity Data Found.") {
        expected.clear();
      }
      EXPECT_EQ(answer.fields[i].id, id);
      EXPECT_EQ(answer.fields[i].text, expected) << key;
    }
    ++compared;
  }
  EXPECT_EQ(compared, 7);
}

TEST_F(OdpMappingTest, FieldsLandInTheEntry) {
  const COdpApplication answer = Read(Application("10987654"));
  ASSERT_EQ(answer.result, EOdpResult::kMapped) << answer.error;
  CEntry entry;
  entry.SetText(kReference, "our reference");
  entry.SetText(kLocation, "stale location");
  ApplyOdpFields(answer.fields, entry);
  EXPECT_EQ(entry.Text(kAppNum), "10/987,654");
  EXPECT_EQ(entry.Text(kPatNum), "7,460,123");
  EXPECT_EQ(entry.Text(kParentContinuity),
            "This application is a Continuation of , 10/123,456 , 05-12-2003 , Patented , "
            "7,091,234");
  // The service has no location: the field is written empty, as a page without one leaves it.
  EXPECT_EQ(entry.Text(kLocation), "");
  EXPECT_EQ(entry.Text(kReference), "our reference");
}

// Each bad answer is refused whole: a message that says what is wrong, and no fields.
TEST_F(OdpMappingTest, BadAnswers) {
  const std::string good = Application("10123456");
  const std::string record = "/patentFileWrapperDataBag/0";
  const std::string meta = record + "/applicationMetaData";
  const std::string not_json =
      "The Open Data Portal's answer is not valid JSON: The JSON document has an improper "
      "structure: missing or superfluous commas, braces, missing keys, etc.";
  struct Case {
    const char* what;
    std::string json;
    EOdpResult result;
    std::string error;
  };
  const Case cases[] = {
      {"cut short", good.substr(0, good.find("\"eventDataBag\"")), EOdpResult::kBadAnswer,
       not_json},
      {"a stray comma", ReplaceOnce(good, "\"count\": 1,", "\"count\": 1,,"),
       EOdpResult::kBadAnswer, not_json},
      {"text after the answer", good + "}", EOdpResult::kBadAnswer, not_json},
      {"nothing", "", EOdpResult::kBadAnswer,
       "The Open Data Portal's answer is not valid JSON: Empty: no JSON found"},
      {"bytes that are not UTF-8", ReplaceOnce(good, "KIM, JUNE H", "KIM, J\xDCNE H"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer is not valid JSON: The input is not valid UTF-8"},
      {"a list at the top", "[]", EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has a list at the top level where the count of records "
       "needs an object."},
      {"count 0", R"({"count": 0, "patentFileWrapperDataBag": []})", EOdpResult::kNotFound,
       "The Open Data Portal has no application with this number."},
      {"count 0 without a bag", R"({"count": 0})", EOdpResult::kNotFound,
       "The Open Data Portal has no application with this number."},
      {"an empty bag", R"({"count": 1, "patentFileWrapperDataBag": []})", EOdpResult::kNotFound,
       "The Open Data Portal has no application with this number."},
      {"the bag under an older name", ReplaceOnce(good, "patentFileWrapperDataBag", "patentBag"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has no /patentFileWrapperDataBag; the rules file may need "
       "an update."},
      {"the bag an object", R"({"count": 1, "patentFileWrapperDataBag": {}})",
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has an object at /patentFileWrapperDataBag where the list "
       "of records needs a list."},
      {"a record that is text", R"({"patentFileWrapperDataBag": ["10123456"]})",
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at " + record +
           " where the list of records needs an object."},
      {"the count as text", ReplaceOnce(good, "\"count\": 1", "\"count\": \"1\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at /count where the count of records needs a "
       "whole number."},
      {"no application number", ReplaceOnce(good, "\"applicationNumberText\": \"10123456\",", ""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + record +
           "/applicationNumberText, which the AppNum field needs."},
      {"a null application number",
       ReplaceOnce(good, "\"applicationNumberText\": \"10123456\"",
                   "\"applicationNumberText\": null"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + record +
           "/applicationNumberText, which the AppNum field needs."},
      {"a blank application number",
       ReplaceOnce(good, "\"applicationNumberText\": \"10123456\"",
                   "\"applicationNumberText\": \" \""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + record +
           "/applicationNumberText, which the AppNum field needs."},
      {"a number for text", ReplaceOnce(good, "\"KIM, JUNE H\"", "17"), EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has a number at " + meta +
           "/examinerNameText where the Examiner field needs text."},
      {"text for a number",
       ReplaceOnce(good, "\"customerNumber\": 23456", "\"customerNumber\": \"23456\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at " + meta +
           "/customerNumber where the CustNum field needs a whole number."},
      {"a fraction for a code",
       ReplaceOnce(good, "\"applicationConfirmationNumber\": 4821",
                   "\"applicationConfirmationNumber\": 4821.5"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has a number at " + meta +
           "/applicationConfirmationNumber where the ConfirmNum field needs text or a whole "
           "number."},
      {"true for a code",
       ReplaceOnce(good, "\"applicationConfirmationNumber\": 4821",
                   "\"applicationConfirmationNumber\": true"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has true or false at " + meta +
           "/applicationConfirmationNumber where the ConfirmNum field needs text or a whole "
           "number."},
      {"a date in another layout", ReplaceOnce(good, "\"2003-05-12\"", "\"05/12/2003\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has \"05/12/2003\" at " + meta +
           "/filingDate where the FilingDate field needs a date."},
      {"a day that does not exist", ReplaceOnce(good, "\"2003-05-12\"", "\"2003-02-30\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has \"2003-02-30\" at " + meta +
           "/filingDate where the FilingDate field needs a date."},
      {"a date as a number", ReplaceOnce(good, "\"2003-05-12\"", "20030512"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has a number at " + meta +
           "/filingDate where the FilingDate field needs a date."},
      {"a long bad date cut in the message",
       ReplaceOnce(good, "\"2003-05-12\"", "\"" + std::string(100, '7') + "\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has \"" + std::string(40, '7') + "...\" at " + meta +
           "/filingDate where the FilingDate field needs a date."},
      {"the metadata as text",
       ReplaceOnce(good, "\"applicationMetaData\": {",
                   "\"applicationMetaData\": \"x\", \"old\": {"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at " + meta +
           " where the FilingDate field needs an object."},
      {"an event date that is not one", ReplaceOnce(good, "\"2006-07-27\"", "\"yesterday\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has \"yesterday\" at " + record +
           "/eventDataBag/2/eventDate where the LastHistoryDate field needs a date."},
      {"the events an object",
       ReplaceOnce(ReplaceOnce(good, "\"eventDataBag\": [", "\"eventDataBag\": {\"x\": ["),
                   "],\n      \"parentContinuityBag\"", "]},\n      \"parentContinuityBag\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has an object at " + record +
           "/eventDataBag where the LastHistoryDate field needs a list."},
      {"a foreign priority that is text",
       ReplaceOnce(
           good,
           R"({"ipOfficeName": "GERMANY", "applicationNumberText": "102 21 456.7", "filingDate": "2002-05-14"})",
           "\"GERMANY\""),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at " + record +
           "/foreignPriorityBag/0 where the Foreign field needs an object."},
      {"a foreign priority bag that is text",
       ReplaceOnce(good, "\"foreignPriorityBag\": [", "\"foreignPriorityBag\": \"none\", \"x\": ["),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has text at " + record +
           "/foreignPriorityBag where the Foreign field needs a list."},
      // A filing date and events are required: every served application has them, so their
      // absence means the record's parts were renamed, not that the fields became empty.
      {"the metadata under another name",
       ReplaceOnce(good, "\"applicationMetaData\": {", "\"otherMetaData\": {"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + meta +
           "/filingDate, which the FilingDate field needs."},
      {"the events under an older name",
       ReplaceOnce(good, "\"eventDataBag\": [", "\"transactionContentBag\": ["),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + record +
           "/eventDataBag/newest(eventDate)/eventDate, which the LastHistoryDate field needs."},
      {"no events", ReplaceOnce(good, "\"eventDataBag\": [", "\"eventDataBag\": [], \"x\": ["),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has nothing at " + record +
           "/eventDataBag/newest(eventDate)/eventDate, which the LastHistoryDate field needs."},
      {"a child's patent number as a list",
       ReplaceOnce(good, "\"childPatentNumber\": \"7460123\"", "\"childPatentNumber\": [7460123]"),
       EOdpResult::kBadAnswer,
       "The Open Data Portal's answer has a list at " + record +
           "/childContinuityBag/0/childPatentNumber where the ChildContinuity field needs a "
           "patent number."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const COdpApplication answer = Read(c.json);
    EXPECT_EQ(answer.result, c.result);
    EXPECT_EQ(answer.error, c.error);
    EXPECT_TRUE(answer.fields.empty());
  }
}

// What the mapping cannot find is empty, not an error; only the named fields change.
TEST_F(OdpMappingTest, MissingValuesLeaveTheirFieldsEmpty) {
  const std::string good = Application("10123456");
  const FieldTexts full = ReadTexts(good);
  struct Case {
    const char* what;
    std::string json;
    std::vector<std::string> emptied;
  };
  const Case cases[] = {
      {"no examiner",
       ReplaceOnce(good, "\"examinerNameText\": \"KIM, JUNE H\",", ""),
       {"Examiner"}},
      {"a null examiner", ReplaceOnce(good, "\"KIM, JUNE H\"", "null"), {"Examiner"}},
      {"a dash for the docket", ReplaceOnce(good, "\"CH-0412-US\"", "\" - \""), {"DocketNumber"}},
      {"no grant date", ReplaceOnce(good, "\"grantDate\": \"2006-08-15\",", ""), {"IssueDate"}},
      {"an empty grant date",
       ReplaceOnce(good, "\"grantDate\": \"2006-08-15\"", "\"grantDate\": \"\""),
       {"IssueDate"}},
      {"no adjustment data",
       ReplaceOnce(good, "{\"adjustmentTotalQuantity\": 127, \"applicantDayDelayQuantity\": 14}",
                   "null"),
       {"PTA"}},
      {"empty adjustment data",
       ReplaceOnce(good, "{\"adjustmentTotalQuantity\": 127, \"applicantDayDelayQuantity\": 14}",
                   "{}"),
       {"PTA"}},
      {"no foreign priority",
       ReplaceOnce(good, "\"foreignPriorityBag\": [", "\"x\": ["),
       {"Foreign"}},
      {"no class symbol, and no class/subclass to fall back on",
       ReplaceOnce(good, "\"uspcSymbolText\": \"435/006000\",", ""),
       {"Class"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FieldTexts expected = full;
    for (const std::string& key : c.emptied) expected[key] = "";
    EXPECT_EQ(ReadTexts(c.json), expected);
  }
}

// Events without a date are passed over; the newest of the rest is found by date, wherever it
// stands in the list.
TEST_F(OdpMappingTest, NewestEventIsChosenByDateNotPosition) {
  std::string json = Application("10123456");
  json = ReplaceOnce(json, "\"eventDate\": \"2006-08-15\"}", "\"eventDay\": 1}");
  json = ReplaceOnce(json, "\"eventDate\": \"2006-08-15\"}", "\"eventDay\": 1}");
  const FieldTexts texts = ReadTexts(json);
  EXPECT_EQ(texts.at("LastHistoryDate"), "2006-07-27");
  EXPECT_EQ(texts.at("LastHistoryText"), "Issue Notification Mailed");
}

// The docket's history: every dated event in the service's order, with its code and text; an
// event without a date is passed by. A section without events, or an answer whose events the
// mapping cannot find, gives no history rather than an empty one.
TEST_F(OdpMappingTest, WholeHistoryForTheDocket) {
  std::string json = Application("10123456");
  const COdpApplication full = Read(json);
  ASSERT_TRUE(full.history.has_value()) << full.error;
  ASSERT_FALSE(full.history->empty());
  std::size_t events = 0;
  for (std::size_t at = 0; (at = json.find("\"eventDate\"", at)) != std::string::npos; ++at) {
    ++events;
  }
  EXPECT_EQ(full.history->size(), events);
  const CStatusEvent& newest = full.history->front();
  EXPECT_EQ(FormatDayNumber(newest.day), Texts(full).at("LastHistoryDate"));
  EXPECT_EQ(newest.text, Texts(full).at("LastHistoryText"));
  const auto rejection = std::find_if(full.history->begin(), full.history->end(),
                                      [](const CStatusEvent& e) { return e.code == "MCTNF"; });
  ASSERT_NE(rejection, full.history->end());
  EXPECT_EQ(rejection->text, "Mail Non-Final Rejection");
  EXPECT_EQ(FormatDayNumber(rejection->day), "2005-02-14");

  json = ReplaceOnce(json, "\"eventDate\": \"2005-02-14\"", "\"eventDay\": 1");
  const COdpApplication undated = Read(json);
  ASSERT_TRUE(undated.history.has_value());
  EXPECT_EQ(undated.history->size(), events - 1);
  EXPECT_TRUE(std::none_of(undated.history->begin(), undated.history->end(),
                           [](const CStatusEvent& e) { return e.code == "MCTNF"; }));

  const std::string renamed = ReplaceAll(json, "\"eventDataBag\"", "\"eventBag\"");
  const std::string rules_renamed = ReplaceAll(BuiltInRules(), "{/eventDataBag/", "{/eventBag/");
  COdpAnswerReader follows_fields(Compile(rules_renamed));
  const COdpApplication lost = follows_fields.ReadApplication(renamed);
  EXPECT_EQ(lost.result, EOdpResult::kMapped) << lost.error;
  EXPECT_FALSE(lost.history.has_value());

  COdpAnswerReader older(Compile(ReplaceOnce(BuiltInRules(), " events: /eventDataBag/*", "")));
  EXPECT_FALSE(older.ReadApplication(Application("10123456")).history.has_value());
}

// The service sends the confirmation number sometimes as a number, sometimes as text.
TEST_F(OdpMappingTest, ConfirmationNumberAsNumberOrText) {
  const std::string good = Application("10123456");
  for (const char* value : {"4821", "\"4821\"", "\" 4821 \""}) {
    SCOPED_TRACE(value);
    const std::string json =
        ReplaceOnce(good, "\"applicationConfirmationNumber\": 4821",
                    std::string("\"applicationConfirmationNumber\": ") + value);
    EXPECT_EQ(ReadTexts(json).at("ConfirmNum"), "4821");
  }
}

// A release that answers with the older names fails on the built-in mapping and reads the same
// as today's answer once the rules carry those names: no program change.
TEST_F(OdpMappingTest, RenamedFieldsAreFollowedByARulesUpdate) {
  const std::string today = Application("10123456");
  const std::string older =
      ReplaceAll(ReplaceAll(today, "\"patentFileWrapperDataBag\"", "\"patentBag\""),
                 "\"eventDataBag\"", "\"transactionContentBag\"");
  EXPECT_EQ(Read(older).error,
            "The Open Data Portal's answer has no /patentFileWrapperDataBag; the rules file may "
            "need an update.");

  const std::string updated_rules =
      ReplaceAll(ReplaceAll(BuiltInRules(), "bag: /patentFileWrapperDataBag", "bag: /patentBag"),
                 "{/eventDataBag/", "{/transactionContentBag/");
  COdpAnswerReader updated(Compile(updated_rules));
  const COdpApplication answer = updated.ReadApplication(older);
  ASSERT_EQ(answer.result, EOdpResult::kMapped) << answer.error;
  EXPECT_EQ(Texts(answer), ReadTexts(today));
  EXPECT_EQ(Texts(answer).at("LastHistoryText"), "Patent Issue Date Used in PTA Calculation");
  // And today's answer no longer fits the updated rules.
  EXPECT_EQ(updated.ReadApplication(today).result, EOdpResult::kBadAnswer);
}

TEST_F(OdpMappingTest, AnswersOverTheSizeCap) {
  const std::string good = Application("10123456");
  COdpAnswerReader small(Compile(
      RulesWithOdp({"limit: " + std::to_string(good.size()), "bag: /patentFileWrapperDataBag",
                    "[AppNum]: {/applicationNumberText application required}"})));
  EXPECT_EQ(small.ReadApplication(good).result, EOdpResult::kMapped);
  const COdpApplication over = small.ReadApplication(good + " ");
  EXPECT_EQ(over.result, EOdpResult::kBadAnswer);
  EXPECT_EQ(over.error,
            "The Open Data Portal's answer is too large: " + std::to_string(good.size() + 1) +
                " bytes, more than the " + std::to_string(good.size()) + " read.");
  EXPECT_TRUE(over.fields.empty());

  // The built-in cap: valid JSON, refused for its size alone.
  const std::string padded = good + std::string(kDefaultOdpAnswerLimit + 1 - good.size(), ' ');
  const COdpApplication built_in = Read(padded);
  EXPECT_EQ(built_in.result, EOdpResult::kBadAnswer);
  EXPECT_TRUE(built_in.error.starts_with("The Open Data Portal's answer is too large: "))
      << built_in.error;
  EXPECT_EQ(Read(padded.substr(0, kDefaultOdpAnswerLimit)).result, EOdpResult::kMapped);
}

// The path language, templates and value tables on small answers of their own.
TEST(OdpMappingSyntaxTest, PathsTemplatesAndTables) {
  const std::string rules = RulesWithOdp({
      "bag: /records",
      "[AppNum]: {/number application}",
      "[Examiner]: {/names/1/last} {{not a reference}}",
      "[ArtUnit]: {/odd~1key/a~0b code}",
      "[Status]: {/missing|/also~1missing|/status map=status}",
      "[CustNum]: {/list/*/n number}",
      "[Class]: {/uspc uspc}",
      "[LastHistoryDate]: {/events/newest(at)/at yyyy-mm-dd}",
      "[LastHistoryText]: {/events/newest(at)/what}",
      "[PTA]: {/flag present}",
      "[PTE]: {/empty present}",
      "[Location]: {/list/0/n code} and {/list/9/n code}",
      "[Foreign]: {/rows/* rows=r}",
      "row[r]: {/a} , {/d mm-dd-yyyy} , {/s map=status}",
      "map[status]: patented case=Patented#Abandoned*=Abandoned#*Expired=Expired#*pend*=Pending",
      "[Status]: {/status} written twice: the first counts",
  });
  COdpAnswerReader reader(Compile(rules));
  const COdpApplication answer = reader.ReadApplication(R"({"records": [{
      "number": 8123456,
      "names": [{"last": "ONE"}, {"last": "M\u00dcLLER"}],
      "odd/key": {"a~b": 2163},
      "status": "PATENTED CASE",
      "list": [{"n": 1}, {"n": null}, {"x": 3}, {"n": 4}],
      "uspc": "707/3",
      "events": [{"at": "2008-01-02", "what": "first of the day"},
                 {"what": "undated"},
                 {"at": "2008-01-02T00:00:00", "what": "later the same day"},
                 {"at": "2008-01-02", "what": "second of the day"},
                 {"at": "2007-12-31", "what": "older"}],
      "flag": false,
      "empty": [],
      "rows": [{"a": "X", "d": "2001-02-03", "s": "Provisional Application Expired"},
               {"a": "Y", "d": "2002-03-04", "s": "Abandoned -- Failure to Respond"},
               {"a": "Z", "d": "2003-04-05", "s": "Pending, awaiting"},
               {"a": "W", "s": "Something Else"}]
    }]})");
  ASSERT_EQ(answer.result, EOdpResult::kMapped) << answer.error;
  const FieldTexts texts = Texts(answer);
  EXPECT_EQ(texts.at("AppNum"), "08/123,456");
  EXPECT_EQ(texts.at("Examiner"), "M\xDCLLER {not a reference}");
  EXPECT_EQ(texts.at("ArtUnit"), "2163");
  EXPECT_EQ(texts.at("Status"), "Patented");
  EXPECT_EQ(texts.at("CustNum"), "1| 4");
  EXPECT_EQ(texts.at("Class"), "707/003.000");
  EXPECT_EQ(texts.at("LastHistoryDate"), "2008-01-02");
  EXPECT_EQ(texts.at("LastHistoryText"), "later the same day");
  EXPECT_EQ(texts.at("PTA"), "");
  EXPECT_EQ(texts.at("PTE"), "");
  EXPECT_EQ(texts.at("Location"), "1 and");
  EXPECT_EQ(texts.at("Foreign"),
            "X , 02-03-2001 , Expired| Y , 03-04-2002 , Abandoned| Z , 04-05-2003 , Pending| W , "
            ", Something Else");
  // Fields the section does not name are empty.
  EXPECT_EQ(texts.at("FilingDate"), "");
  EXPECT_EQ(texts.size(), kOdpFetchedFields.size());
}

TEST(OdpMappingSyntaxTest, PresentMeansThereAndNotEmpty) {
  COdpAnswerReader reader(Compile(RulesWithOdp({"bag: /r", "[PTA]: {/v present}"})));
  const struct {
    const char* value;
    const char* text;
  } cases[] = {{"{}", ""},       {"[]", ""},     {"\"\"", ""},         {"\" - \"", ""},
               {"null", ""},     {"false", ""},  {"true", "yes"},      {"0", "yes"},
               {"\"x\"", "yes"}, {"[0]", "yes"}, {"{\"a\": 1}", "yes"}};
  for (const auto& c : cases) {
    const COdpApplication answer =
        reader.ReadApplication(std::string(R"({"r": [{"v": )") + c.value + "}]}");
    ASSERT_EQ(answer.result, EOdpResult::kMapped) << c.value << ": " << answer.error;
    EXPECT_EQ(Texts(answer).at("PTA"), c.text) << c.value;
  }
}

TEST(OdpMappingSyntaxTest, SectionsThatCannotBeUsed) {
  const std::string prefix = "The rules file's odp section cannot be used: ";
  struct Case {
    std::vector<std::string> lines;
    std::string error;
  };
  const Case cases[] = {
      {{"[Examiner]: {/e}"}, prefix + "it has no bag."},
      {{"bag: b"}, prefix + "bag: \"b\" does not begin with /."},
      {{"bag: /b", "[Examner]: {/e}"},
       prefix + "[Examner]: [Examner] is not a field the service can fill."},
      {{"bag: /b", "[Reference]: {/r}"},
       prefix + "[Reference]: [Reference] is not a field the service can fill."},
      {{"bag: /b", "[examiner]: {/e}"},
       prefix + "[examiner]: [examiner] is not a field the service can fill."},
      {{"bag: /b", "[Examiner]: {/e txt}"},
       prefix + "[Examiner]: \"txt\" is neither a format nor map=, rows= or required."},
      {{"bag: /b", "[Examiner]: {/e text code}"},
       prefix + "[Examiner]: {/e text code} has two formats."},
      {{"bag: /b", "[Examiner]: {/e"}, prefix + "[Examiner]: a { without its }."},
      {{"bag: /b", "[Examiner]: /e}"}, prefix + "[Examiner]: a } without its {."},
      {{"bag: /b", "[Examiner]: {}"}, prefix + "[Examiner]: {} names no value."},
      {{"bag: /b", "[Examiner]: {/e|x}"}, prefix + "[Examiner]: \"x\" does not begin with /."},
      {{"bag: /b", "[Examiner]: {/e/newest(}"},
       prefix + "[Examiner]: \"newest(\" is not newest(MEMBER)."},
      {{"bag: /b", "[Examiner]: {/e/newest()}"},
       prefix + "[Examiner]: \"newest()\" is not newest(MEMBER)."},
      {{"bag: /b", "[Examiner]: {/a~2b}"},
       prefix + "[Examiner]: \"a~2b\" has a ~ that is neither ~0 nor ~1."},
      {{"bag: /b", "[Foreign]: {/f/* rows=foreign}"},
       prefix + "[Foreign]: row[foreign] is missing."},
      {{"bag: /b", "[Status]: {/s map=short}"}, prefix + "[Status]: map[short] is missing."},
      {{"bag: /b", "[Foreign]: {/f/* rows=r}", "row[r]: {/g/* rows=r}"},
       prefix + "row[r]: a row template cannot hold rows=r."},
      {{"bag: /b", "map[m]: a=b#c"}, prefix + "map[m]: \"c\" has no =."},
      {{"bag: /b", "limit: 10k"}, prefix + "limit: limit \"10k\" is not a number of bytes."},
      {{"bag: /b", "limit: "}, prefix + "limit: limit \"\" is not a number of bytes."},
      {{"bag: /b", "events: /e/*", "event-code: {/c}", "event-text: {/t}"},
       prefix + "events needs event-date."},
      {{"bag: /b", "events: /e/*", "event-date: {/d yyyy-mm-dd}", "event-code: {/c rows=r}",
        "event-text: {/t}", "row[r]: {/x}"},
       prefix + "event-code: a row template cannot hold rows=r."},
  };
  for (const Case& c : cases) {
    COdpMapping mapping;
    EXPECT_EQ(ReadOdpMapping(RulesWithOdp(c.lines), mapping), c.error) << c.lines.back();
  }
  COdpMapping mapping;
  EXPECT_EQ(ReadOdpMapping("version: 1\r\nfetch1:\r\n a: b\r\nend-of-rules\r\n", mapping),
            "The rules file's odp section is missing.");
}

// The request addresses are ordinary rules values: LookupRule substitutes the entry's values.
TEST(OdpMappingSyntaxTest, RequestAddressesTakeTheEntrysValues) {
  CTestApp app;
  CEntry entry;
  entry.SetText(kAppNum, "12/050,321");
  entry.SetText(kPatNum, "7,460,123");
  entry.SetText(kPubNum, "US 2008-0228234 A1");
  CExpansionScope scope(*app, &entry);
  EXPECT_EQ(LookupRule(*app, "odp", "page[AppNum]"),
            "https://api.uspto.gov/api/v1/patent/applications/12050321");
  EXPECT_EQ(LookupRule(*app, "odp", "search"),
            "https://api.uspto.gov/api/v1/patent/applications/search");
  EXPECT_EQ(LookupRule(*app, "odp", "query[PatNum]"), "applicationMetaData.patentNumber:7460123");
  EXPECT_EQ(LookupRule(*app, "odp", "query[PubNum]"),
            "applicationMetaData.earliestPublicationNumber:US20080228234A1");
}

class OdpSearchPageTest : public ::testing::Test {
 protected:
  COdpAnswerReader reader_{Compile(BuiltInRules())};
};

TEST_F(OdpSearchPageTest, HitsAndTotal) {
  const COdpSearchPage page = reader_.ReadSearchPage(ReadFixture("odp/search-page.json"));
  ASSERT_EQ(page.error, "");
  EXPECT_EQ(page.total, 7u);
  ASSERT_EQ(page.hits.size(), 3u);
  EXPECT_EQ(page.hits[0].number, "12050321");
  EXPECT_EQ(page.hits[0].ingested, "2008-09-19T04:00:00");
  EXPECT_EQ(page.hits[1].number, "11678901");
  EXPECT_EQ(page.hits[2].number, "11456789");
  EXPECT_EQ(page.hits[2].ingested, "");
}

TEST_F(OdpSearchPageTest, PagesWithoutHitsAndBadPages) {
  struct Case {
    const char* what;
    std::string json;
    std::string error;
    std::uint64_t total;
    std::size_t hits;
  };
  const Case cases[] = {
      {"no hits", R"({"count": 0})", "", 0, 0},
      {"no hits, an empty bag", R"({"count": 0, "patentFileWrapperDataBag": []})", "", 0, 0},
      {"no count", R"({"patentFileWrapperDataBag": [{"applicationNumberText": "1"}]})", "", 1, 1},
      {"a number sent as a number",
       R"({"count": 1, "patentFileWrapperDataBag": [{"applicationNumberText": 10123456}]})", "", 1,
       1},
      {"a hit without a number",
       R"({"count": 1, "patentFileWrapperDataBag": [{"lastIngestionDateTime": "2009-01-01"}]})",
       "The Open Data Portal's answer has nothing at "
       "/patentFileWrapperDataBag/0/applicationNumberText, which a search hit needs.",
       0, 0},
      {"a time that is a number",
       R"({"count": 1, "patentFileWrapperDataBag": [{"applicationNumberText": "1", "lastIngestionDateTime": 5}]})",
       "The Open Data Portal's answer has a number at "
       "/patentFileWrapperDataBag/0/lastIngestionDateTime where a search hit needs text.",
       0, 0},
      {"the bag renamed", R"({"count": 1, "patentBag": [{"applicationNumberText": "1"}]})",
       "The Open Data Portal's answer has no /patentFileWrapperDataBag; the rules file may need "
       "an update.",
       0, 0},
      {"cut short", R"({"count": 1, "patentFileWrapperDataBag": [{"applicationNumb)",
       "The Open Data Portal's answer is not valid JSON: A string is opened, but never closed.", 0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const COdpSearchPage page = reader_.ReadSearchPage(c.json);
    EXPECT_EQ(page.error, c.error);
    EXPECT_EQ(page.total, c.total);
    EXPECT_EQ(page.hits.size(), c.hits);
  }
  COdpAnswerReader without_search(Compile(RulesWithOdp({"bag: /b"})));
  EXPECT_EQ(without_search.ReadSearchPage(R"({"b": []})").error,
            "The rules file's odp section has no search-number.");
}

}  // namespace
}  // namespace larkspire
