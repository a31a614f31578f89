// An update run on the Open Data Portal, against a scripted service over HTTPS: which due
// entries the search finds unchanged, what is fetched, entries known by a patent or
// publication number, the "not found" result, and what is kept for the next run.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "entries/Entry.h"
#include "net/PasswordScramble.h"
#include "platform/Files.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/OdpSearch.h"
#include "retrieval/OdpSeen.h"
#include "retrieval/OdpUpdate.h"
#include "support/HttpsTestServer.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr const char* kApplications = "/api/v1/patent/applications/";
constexpr const char* kNoMatch = "{\"detailedMessage\":\"No matching records found\"}";
constexpr const char* kNotServed =
    "Not served by the Open Data Portal: it may be unpublished (only applications filed since "
    "2001 that are published or patented are served).";

// The service as the tests script it: records from the fixtures, one search answer.
class CScriptedService {
 public:
  std::string Respond(const std::string& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string line = request.substr(0, request.find("\r\n"));
    if (line.starts_with("POST /api/v1/patent/applications/search ")) {
      searches.push_back(request.substr(request.find("\r\n\r\n") + 4));
      if (!search_refusal.empty()) {
        std::string refusal = search_refusal;
        if (refuse_once) search_refusal.clear();
        return refusal;
      }
      if (hits.empty()) return CHttpsTestServer::Answer(404, "Not Found", kNoMatch);
      std::string body =
          "{\"count\":" + std::to_string(hits.size()) + ",\"patentFileWrapperDataBag\":[";
      for (std::size_t i = 0; i < hits.size(); ++i) {
        body += (i > 0 ? "," : "") + std::string("{\"applicationNumberText\":\"") + hits[i].first +
                "\",\"lastIngestionDateTime\":\"" + hits[i].second + "\"}";
      }
      return CHttpsTestServer::Answer(200, "OK", body + "]}");
    }
    const std::string prefix = std::string("GET ") + kApplications;
    if (line.starts_with(prefix)) {
      const std::string number =
          line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
      fetched.push_back(number);
      std::string json;
      if (!ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/odp/application-" + number + ".json",
                         json)) {
        return CHttpsTestServer::Answer(404, "Not Found", kNoMatch);
      }
      if (!record_edit.first.empty())
        json = ReplaceOnce(json, record_edit.first, record_edit.second);
      return CHttpsTestServer::Answer(200, "OK", json);
    }
    return CHttpsTestServer::Answer(400, "Bad Request", "{}");
  }

  std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> hits;  // number, ingestion time
  std::string search_refusal;                             // answered to every search when set
  bool refuse_once = false;
  std::pair<std::string, std::string> record_edit;  // a text of every record and its stand-in
  std::vector<std::string> searches;                // bodies
  std::vector<std::string> fetched;                 // numbers
};

class OdpUpdateTest : public ::testing::Test {
 protected:
  OdpUpdateTest() {
    app_->Settings().LogDir.Set(dir_.Path());
    app_->Settings().OdpServer.Set(server_.HostPort());
    app_->Settings().CaFile.Set(server_.CaFile());
    app_->Settings().OdpKey.Set(ScramblePassword("any key the service accepts"));
  }

  void AddEntry(const std::string& app_num, int32_t last_update = 46000) {
    CEntry entry;
    entry.SetText(kAppNum, app_num);
    entry.SetText(kReference, "R-" + app_num);
    entry.last_update = last_update;
    app_->Entries().Insert(entry);
  }
  // The row of an entry: inserting keeps the list's order, so rows are looked up after.
  std::size_t RowOf(const std::string& text, int field = kAppNum) {
    for (std::size_t row = 0; row < app_->Entries().Size(); ++row) {
      if (app_->Entries().At(row).Text(field) == text) return row;
    }
    ADD_FAILURE() << "no entry " << text;
    return 0;
  }

  void Remember(const std::map<std::string, COdpSeenRecord>& records) {
    std::string text;
    for (const auto& [number, record] : records) {
      text += number + "\t" + record.ingested + "\t" + record.as_of + "\r\n";
    }
    ASSERT_TRUE(SaveFileAtomically(dir_.File(kOdpSeenFileName), text));
  }

  std::vector<std::size_t> AllRows() {
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < app_->Entries().Size(); ++row) rows.push_back(row);
    return rows;
  }

  std::string SeenFile() const {
    std::string text;
    ReadWholeFile(dir_.File(kOdpSeenFileName), text);
    return text;
  }

  CTempDir dir_;
  CTestApp app_;
  CScriptedService service_;
  CHttpsTestServer server_{
      [this](const std::string& request) { return service_.Respond(request); }};
};

TEST_F(OdpUpdateTest, EntriesNeverFetchedFromTheServiceAreFetchedWithoutASearch) {
  AddEntry("10/123,456");
  AddEntry("11/456,789", 0);
  COdpUpdateRun run(*app_);
  ASSERT_EQ(run.Prepare(AllRows()), "");
  EXPECT_TRUE(service_.searches.empty());
  EXPECT_TRUE(run.UnchangedRows().empty());

  CEntry fresh;
  const std::size_t first = RowOf("10/123,456");
  ASSERT_EQ(run.ReadEntry(first, app_->Entries().At(first), fresh).text, "");
  EXPECT_EQ(fresh.Text(kStatus), "Patented Case");
  EXPECT_EQ(fresh.Text(kPatNum), "7,091,234");
  EXPECT_EQ(fresh.Text(kReference), "R-10/123,456");
  EXPECT_EQ(app_->LastFetch().urls,
            std::vector<std::string>{server_.Url(std::string(kApplications) + "10123456")});
  const std::size_t second = RowOf("11/456,789");
  ASSERT_EQ(run.ReadEntry(second, app_->Entries().At(second), fresh).text, "");
  EXPECT_EQ(service_.fetched, (std::vector<std::string>{"10123456", "11456789"}));

  // Kept only once the data file is saved: what each record said, as of the latest time seen.
  run.Finish(false);
  EXPECT_FALSE(FileExists(dir_.File(kOdpSeenFileName)));
  run.Finish(true);
  COdpSeen seen;
  seen.Load(dir_.File(kOdpSeenFileName));
  ASSERT_NE(seen.Find("10123456"), nullptr);
  EXPECT_EQ(seen.Find("10123456")->ingested, "2009-01-15T03:14:15");
  EXPECT_EQ(seen.Find("10123456")->as_of, seen.Watermark());
  EXPECT_NE(seen.Find("11456789"), nullptr);
  EXPECT_TRUE(SeenFile().ends_with("\r\n"));
}

TEST_F(OdpUpdateTest, TheSearchTellsWhichDueApplicationsChangedAndOnlyThoseAreFetched) {
  AddEntry("10/123,456");
  AddEntry("10/987,654");
  AddEntry("11/234,567");
  AddEntry("11/456,789", 0);
  const std::size_t same = RowOf("10/123,456");
  Remember({{"10123456", {"2008-02-11T02:28:34", "2008-06-30T05:00:00"}},
            {"10987654", {"2008-02-11T05:04:57", "2008-06-30T05:00:00"}},
            {"11234567", {"2008-03-24T03:58:04", "2008-06-30T05:00:00"}},
            {"11456789", {"2008-05-02T05:04:46", "2008-06-30T05:00:00"}},
            {"99999999", {"2001-01-01T00:00:00", "2008-06-30T05:00:00"}}});
  service_.hits = {{"10123456", "2008-02-11T02:28:34"}, {"10987654", "2008-12-02T04:00:00"}};

  COdpUpdateRun run(*app_);
  ASSERT_EQ(run.Prepare(AllRows()), "");
  ASSERT_EQ(service_.searches.size(), 1u);
  // The due entries with a stored time, in one group; hits narrowed to number and time.
  EXPECT_EQ(service_.searches[0],
            "{\"q\":\"applicationNumberText:(10123456 OR 10987654 OR 11234567)\","
            "\"fields\":[\"applicationNumberText\",\"lastIngestionDateTime\"],"
            "\"pagination\":{\"offset\":0,\"limit\":100}}");
  EXPECT_EQ(run.UnchangedRows(), (std::set<std::size_t>{same}));

  for (std::size_t row : AllRows()) {
    CEntry fresh;
    ASSERT_EQ(run.ReadEntry(row, app_->Entries().At(row), fresh).text, "") << row;
    EXPECT_EQ(fresh.SameStatus(app_->Entries().At(row)), row == same) << row;
  }
  // Not among the hits: the service no longer serves it, which its fetch tells.
  EXPECT_EQ(service_.fetched, (std::vector<std::string>{"10987654", "11234567", "11456789"}));
  run.Finish(true);
  COdpSeen seen;
  seen.Load(dir_.File(kOdpSeenFileName));
  EXPECT_EQ(seen.Find("99999999"), nullptr);  // no longer listed
  EXPECT_EQ(seen.Find("10123456")->ingested, "2008-02-11T02:28:34");
  EXPECT_EQ(seen.Watermark(), "2009-01-15T03:14:15");
  EXPECT_EQ(seen.Find("10123456")->as_of, "2009-01-15T03:14:15");
}

TEST_F(OdpUpdateTest, ARangeFieldLimitsTheSearchAndARefusedRangeFilterIsDroppedForTheRun) {
  app_->Rules().text = ReplaceOnce(app_->Rules().text, " ; range: lastIngestionDateTime",
                                   " range: lastIngestionDateTime");
  AddEntry("10/123,456");
  AddEntry("10/987,654");
  const std::size_t quiet = RowOf("10/123,456");
  Remember({{"10123456", {"2008-02-11T02:28:34", "2008-06-30T05:00:00"}},
            {"10987654", {"2008-02-11T05:04:57", "2008-07-03T05:00:00"}}});
  service_.hits = {{"10987654", "2008-12-02T04:00:00"}};

  {
    COdpUpdateRun run(*app_);
    ASSERT_EQ(run.Prepare(AllRows()), "");
    ASSERT_EQ(service_.searches.size(), 1u);
    // From the group's oldest "as of", less the margin for a search index that lags.
    EXPECT_NE(service_.searches[0].find(
                  "\"rangeFilters\":[{\"field\":\"lastIngestionDateTime\","
                  "\"valueFrom\":\"2008-06-28T00:00:00\",\"valueTo\":\"9999-12-31T23:59:59\"}]"),
              std::string::npos)
        << service_.searches[0];
    // With a range, an application that is not a hit was not ingested since.
    EXPECT_EQ(run.UnchangedRows(), (std::set<std::size_t>{quiet}));
  }

  service_.searches.clear();
  service_.search_refusal = CHttpsTestServer::Answer(400, "Bad Request", "{}");
  service_.refuse_once = true;
  COdpUpdateRun run(*app_);
  ASSERT_EQ(run.Prepare(AllRows()), "");
  ASSERT_EQ(service_.searches.size(), 2u);
  EXPECT_EQ(service_.searches[1].find("rangeFilters"), std::string::npos);
  // Without a range every served application is a hit: the missing one is fetched.
  EXPECT_TRUE(run.UnchangedRows().empty());
  std::string log;
  ReadWholeFile(app_->Log().Path(), log);
  EXPECT_NE(log.find("Open Data Portal search without a range filter"), std::string::npos);
}

TEST_F(OdpUpdateTest, AFailedSearchLeavesItsEntriesToBeFetchedButARefusedKeyStopsTheRun) {
  AddEntry("10/123,456");
  const std::size_t row = RowOf("10/123,456");
  Remember({{"10123456", {"2008-02-11T02:28:34", "2008-06-30T05:00:00"}}});
  service_.search_refusal = CHttpsTestServer::Answer(400, "Bad Request", "{\"message\":\"no\"}");
  {
    COdpUpdateRun run(*app_);
    ASSERT_EQ(run.Prepare(AllRows()), "");
    EXPECT_TRUE(run.UnchangedRows().empty());
    CEntry fresh;
    EXPECT_EQ(run.ReadEntry(row, app_->Entries().At(row), fresh).text, "");
  }
  service_.search_refusal =
      CHttpsTestServer::Answer(403, "Forbidden", "{\"detailedMessage\":\"Key revoked\"}");
  COdpUpdateRun run(*app_);
  const std::string error = run.Prepare(AllRows());
  EXPECT_TRUE(
      error.starts_with("The Open Data Portal refused the API key (it answered 403 "
                        "Forbidden: Key revoked)."))
      << error;
}

TEST_F(OdpUpdateTest, EntriesByPatentOrPublicationNumberLearnTheirApplicationWithOneSearch) {
  struct Case {
    int field;
    std::string number;
    std::vector<std::pair<std::string, std::string>> hits;
    std::string query;
    std::string app_num;  // "" when the service does not know the number
  };
  const std::vector<Case> cases = {
      {kPatNum,
       "7,091,234",
       {{"10123456", "2009-01-15T03:14:15"}},
       "applicationMetaData.patentNumber:7091234",
       "10/123,456"},
      {kPubNum,
       "US 2004-0234567 A1",
       {{"10123456", "2009-01-15T03:14:15"}},
       "applicationMetaData.earliestPublicationNumber:US20040234567A1",
       "10/123,456"},
      {kPatNum, "7,999,999", {}, "applicationMetaData.patentNumber:7999999", ""},
  };
  for (const Case& c : cases) {
    service_.searches.clear();
    service_.hits = c.hits;
    CEntry stored;
    stored.SetText(c.field, c.number);
    app_->Entries().Clear();
    app_->Entries().Insert(stored);
    const std::size_t row = 0;
    COdpUpdateRun run(*app_);
    ASSERT_EQ(run.Prepare({row}), "");
    CEntry fresh;
    ASSERT_EQ(run.ReadEntry(row, app_->Entries().At(row), fresh).text, "") << c.number;
    ASSERT_EQ(service_.searches.size(), 1u);
    EXPECT_NE(service_.searches[0].find("\"q\":\"" + c.query + "\""), std::string::npos)
        << service_.searches[0];
    EXPECT_NE(service_.searches[0].find("\"limit\":1}"), std::string::npos);
    EXPECT_EQ(fresh.Text(kAppNum), c.app_num) << c.number;
    if (c.app_num.empty()) {
      // The status site's not-found page gives the same: only the last history says so.
      EXPECT_EQ(fresh.Text(kLastHistoryDate), "????-??-??");
      EXPECT_EQ(fresh.Text(kLastHistoryText), kNotServed);
      EXPECT_EQ(fresh.Text(c.field), c.number);
    } else {
      EXPECT_EQ(fresh.Text(kStatus), "Patented Case");
    }
  }
}

TEST_F(OdpUpdateTest, AnApplicationTheServiceDoesNotServeIsNotFoundAndABadRecordIsTheEntrysError) {
  AddEntry("12/345,001", 0);
  const std::size_t unpublished = RowOf("12/345,001");
  COdpUpdateRun run(*app_);
  ASSERT_EQ(run.Prepare(AllRows()), "");
  CEntry fresh;
  ASSERT_EQ(run.ReadEntry(unpublished, app_->Entries().At(unpublished), fresh).text, "");
  // In this source's words, not the status site's.
  EXPECT_EQ(fresh.Text(kLastHistoryText), kNotServed);
  EXPECT_EQ(fresh.Text(kAppNum), "12/345,001");

  // A record the mapping cannot read for one value of its own fails its entry; an answer whose
  // shape the mapping does not know would fail every entry, so it stops the run.
  AddEntry("10/123,456", 0);
  const std::size_t row = RowOf("10/123,456");
  const std::string rules = app_->Rules().text;
  const struct {
    const char* name;
    std::string rules;
    std::pair<std::string, std::string> record_edit;
    std::string error;
    bool fatal;
  } cases[] = {
      {"a renamed bag",
       ReplaceOnce(rules, " bag: /patentFileWrapperDataBag", " bag: /patentBag"),
       {},
       "The Open Data Portal's answer has no /patentBag; the rules file may need an update.",
       true},
      {"renamed events",
       ReplaceOnce(rules, "{/eventDataBag/newest(eventDate)/eventDate",
                   "{/transactionContentBag/newest(eventDate)/eventDate"),
       {},
       "The Open Data Portal's answer has nothing at /patentFileWrapperDataBag/0/"
       "transactionContentBag/newest(eventDate)/eventDate, which the LastHistoryDate field needs.",
       true},
      {"one record's unreadable date",
       rules,
       {"\"filingDate\": \"2003-05-12\"", "\"filingDate\": \"soon\""},
       "The Open Data Portal's answer has \"soon\" at "
       "/patentFileWrapperDataBag/0/applicationMetaData/filingDate where the FilingDate field "
       "needs a date.",
       false},
  };
  for (const auto& c : cases) {
    app_->Rules().text = c.rules;
    service_.record_edit = c.record_edit;
    COdpUpdateRun run_case(*app_);
    ASSERT_EQ(run_case.Prepare(AllRows()), "") << c.name;
    const CFailure failure = run_case.ReadEntry(row, app_->Entries().At(row), fresh);
    EXPECT_EQ(failure.text, c.error) << c.name;
    EXPECT_EQ(failure.fatal, c.fatal) << c.name;
  }
}

TEST_F(OdpUpdateTest, ARefusedCertificateStopsTheRunAtTheFirstRequest) {
  AddEntry("10/123,456");
  AddEntry("10/345,678", 0);
  Remember({{"10123456", {"2008-02-11T02:28:34", "2008-06-30T05:00:00"}}});
  app_->Settings().CaFile.Set("");
  COdpUpdateRun run(*app_);
  // The search of the entries read before meets it first; an entry's own fetch as well.
  EXPECT_TRUE(run.Prepare(AllRows()).starts_with("TLS: certificate of localhost not accepted"));
  const std::size_t row = RowOf("10/345,678");
  CEntry fresh;
  const CFailure failure = run.ReadEntry(row, app_->Entries().At(row), fresh);
  EXPECT_TRUE(failure.fatal);
  EXPECT_TRUE(failure.text.starts_with("TLS: certificate of localhost not accepted"))
      << failure.text;
}

TEST(OdpSeenTest, TheStoreReadsItsOwnLinesAndPassesOverOthers) {
  CTempDir dir;
  const std::string path = dir.File(kOdpSeenFileName);
  ASSERT_TRUE(SaveFileAtomically(path,
                                 "10123456\t2008-02-11T02:28:34\t2008-06-30T05:00:00\r\n"
                                 "broken line\r\n"
                                 "10/987,654\t2008-01-01T00:00:00\t2008-06-30T05:00:00\r\n"
                                 "11234567\t\t2008-07-30T05:00:00\n"
                                 "11456789\t2008-05-02T05:04:46\t\r\n"));
  COdpSeen seen;
  seen.Load(path);
  ASSERT_NE(seen.Find("10123456"), nullptr);
  EXPECT_EQ(seen.Find("10123456")->as_of, "2008-06-30T05:00:00");
  EXPECT_EQ(seen.Find("10/987,654"), nullptr);
  EXPECT_EQ(seen.Find("10987654"), nullptr);
  ASSERT_NE(seen.Find("11234567"), nullptr);  // a record without a time is fetched each run
  EXPECT_EQ(seen.Find("11234567")->ingested, "");
  EXPECT_EQ(seen.Find("11456789"), nullptr);
  EXPECT_EQ(seen.Watermark(), "2008-07-30T05:00:00");

  seen.Confirm("10123456", "2009-01-15T03:14:15");
  seen.Confirm("12050321", "");
  seen.Observe("2009-01-20T01:00:00");
  ASSERT_TRUE(seen.Save(path, [](const std::string& number) { return number != "11234567"; }));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, text));
  EXPECT_EQ(text,
            "10123456\t2009-01-15T03:14:15\t2009-01-20T01:00:00\r\n"
            "12050321\t\t2009-01-20T01:00:00\r\n");

  EXPECT_EQ(OdpNumber("10/123,456"), "10123456");
  EXPECT_EQ(OdpNumber("PCT/EP05/012345"), "PCTEP05012345");
  EXPECT_EQ(DaysBefore("2008-03-01T05:00:00", 2), "2008-02-28T00:00:00");
  EXPECT_EQ(DaysBefore("2008-03-01", 0), "2008-03-01T00:00:00");
  EXPECT_EQ(DaysBefore("soon", 2), "");
}

TEST(OdpSearchBodyTest, TheServicesDocumentedBodyWithTextEscaped) {
  COdpQuery query{"a:\"b\\c\" \x01 caf\xE9", {"x", "y"}, "", ""};
  EXPECT_EQ(OdpSearchBody(query, 200, 100),
            "{\"q\":\"a:\\\"b\\\\c\\\" \\u0001 caf\\u00e9\",\"fields\":[\"x\",\"y\"],"
            "\"pagination\":{\"offset\":200,\"limit\":100}}");
  EXPECT_EQ(SplitFields(" applicationNumberText , lastIngestionDateTime,,"),
            (std::vector<std::string>{"applicationNumberText", "lastIngestionDateTime"}));
}

}  // namespace
}  // namespace larkspire
