// The status-site simulator's pages read with the built-in rules, compared with the values the
// simulator says it put on them (tests/data/sim/expected.txt).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "retrieval/EntryFetch.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/MasterList.h"
#include "rules/PageText.h"
#include "support/MarkedFailure.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

// The fields the entry fetch writes; every application section must give all of them.
constexpr int kFetchedFields[] = {
    kAppNum,  kFilingDate,       kIssueDate,       kDocketNumber,    kExaminer, kArtUnit,
    kPubNum,  kPubDate,          kConfirmNum,      kPatNum,          kClass,    kLocation,
    kStatus,  kCustNum,          kLastHistoryDate, kLastHistoryText, kPTA,      kPTE,
    kForeign, kParentContinuity, kChildContinuity};

struct CSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;

  std::string Get(const std::string& key) const {
    for (const auto& [k, v] : values) {
      if (k == key) return v;
    }
    ADD_FAILURE() << "[" << name << "] has no " << key;
    return "";
  }
  std::vector<std::string> GetAll(const std::string& key) const {
    std::vector<std::string> all;
    for (const auto& [k, v] : values) {
      if (k == key) all.push_back(v);
    }
    return all;
  }
};

// "[name]" starts a section; "key: value" lines belong to it ("key:" alone is an empty value).
std::vector<CSection> ReadExpected() {
  std::string text = ReadFixture("sim/expected.txt");
  std::vector<CSection> sections(1);
  while (!text.empty()) {
    std::string line = SplitHead(text, "\n");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[' && line.back() == ']') {
      sections.push_back({line.substr(1, line.size() - 2), {}});
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    sections.back().values.emplace_back(line.substr(0, colon), value);
  }
  return sections;
}

std::vector<std::string> Split(std::string text, std::string_view separator) {
  std::vector<std::string> parts;
  while (!text.empty()) parts.push_back(SplitHead(text, separator));
  return parts;
}

std::string SimPage(const std::string& file) { return ReadFixture("sim/" + file); }

class SimPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_->Settings().LogDir.Set(dir_.Path());
    for (CSection& section : ReadExpected()) {
      if (section.name.starts_with("application ")) {
        applications_.push_back(std::move(section));
      } else if (section.name.starts_with("customer ")) {
        customers_.push_back(std::move(section));
      } else if (section.name == "search") {
        search_ = std::move(section);
      }
    }
    ASSERT_FALSE(applications_.empty());
    ASSERT_FALSE(customers_.empty());
  }

  std::string Parse(CEntry& entry, const std::vector<std::string>& files) {
    CExpansionScope scope(*app_, &entry);
    std::vector<std::string> urls;
    EntryPageUrls(*app_, entry, urls);
    EXPECT_EQ(urls.size(), files.size());
    std::vector<std::string> raw;
    std::vector<std::string> normalized;
    for (const std::string& file : files) {
      raw.push_back(SimPage(file));
      normalized.push_back(NormalizePage(raw.back()));
    }
    return Marked(ParseEntryPages(*app_, entry, urls, raw, normalized));
  }

  CTempDir dir_;
  CTestApp app_;
  std::vector<CSection> applications_;
  std::vector<CSection> customers_;
  CSection search_;
};

TEST_F(SimPagesTest, EveryFieldOfEveryApplication) {
  for (const CSection& section : applications_) {
    SCOPED_TRACE(section.name);
    CEntry entry;
    entry.SetText(kAppNum, section.Get("AppNum"));
    entry.SetText(kReference, "our reference");
    ASSERT_EQ(Parse(entry, Split(section.Get("pages"), " ")), "");
    for (int id : kFetchedFields) {
      EXPECT_EQ(entry.Text(id), section.Get(kFields[id].key)) << kFields[id].key;
    }
    EXPECT_EQ(entry.Text(kReference), "our reference");
  }
}

TEST_F(SimPagesTest, PatentEntryReadsTheSameStatusPage) {
  int patents = 0;
  for (const CSection& section : applications_) {
    const std::string pat_num = section.Get("PatNum");
    if (pat_num.empty()) continue;
    ++patents;
    SCOPED_TRACE(section.name);
    CEntry entry;
    entry.SetText(kPatNum, pat_num);
    ASSERT_EQ(Parse(entry, {Split(section.Get("pages"), " ")[0]}), "");
    for (int id : kFetchedFields) {
      const bool second_page = id == kForeign || id == kParentContinuity || id == kChildContinuity;
      EXPECT_EQ(entry.Text(id), second_page ? "" : section.Get(kFields[id].key)) << kFields[id].key;
    }
  }
  EXPECT_GT(patents, 0);
}

TEST_F(SimPagesTest, UnknownNumbersGetTheNotFoundHistoryOnly) {
  struct Case {
    const char* file;
    int id;
    const char* number;
  };
  const Case cases[] = {{"notfound-application.html", kAppNum, "10/999,999"},
                        {"notfound-patent.html", kPatNum, "9,999,999"},
                        {"notfound-publication.html", kPubNum, "US 2099-0999999 A1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CEntry entry;
    entry.SetText(c.id, c.number);
    entry.SetText(kStatus, "Pending");
    entry.SetText(kLastHistoryText, "Old history");
    entry.SetText(kForeign, "old foreign");
    entry.SetText(kParentContinuity, "old parent");
    CEntry expected = entry;
    expected.SetText(kLastHistoryDate, "????-??-??");
    expected.SetText(kLastHistoryText, "Not found in the PAIR database.");
    std::vector<std::string> files = {c.file};
    // An application number brings the other two pages; their lists are not read.
    if (c.id == kAppNum) {
      files.insert(files.end(), {"foreign-11234567.html", "continuity-10987654.html"});
    }
    ASSERT_EQ(Parse(entry, files), "");
    for (int id = kReference; id < kFieldCount; ++id) {
      EXPECT_EQ(entry.Text(id), expected.Text(id)) << kFields[id].key;
    }
  }
}

TEST_F(SimPagesTest, FailurePagesAreExplained) {
  struct Case {
    const char* file;
    const char* error;
  };
  const Case cases[] = {
      {"error1.html", "!Proxy timeout"},
      {"error2.html", "!There is a problem with USPTO/Direct. Please restart it."},
      {"error3.html", "!You need to start USPTO/Direct."},
      {"error4.html", "!Unable to connect to the PAIR database. Please try again later."},
      {"truncated-status-10123456.html", kIncompletePageMessage},
  };
  for (const Case& c : cases) {
    CEntry entry;
    entry.SetText(kPatNum, "7,091,234");
    EXPECT_EQ(Parse(entry, {c.file}), c.error) << c.file;
  }
}

TEST_F(SimPagesTest, CustomerNumbersOfTheSearchPage) {
  std::vector<std::string> numbers;
  ASSERT_EQ(ReadCustomerNumbers(*app_, NormalizePage(SimPage(search_.Get("page"))), numbers), "");
  EXPECT_EQ(numbers, Split(search_.Get("CustomerNumbers"), ", "));
}

TEST_F(SimPagesTest, ResultSetsOfEachCustomer) {
  for (const CSection& section : customers_) {
    SCOPED_TRACE(section.name);
    const std::string customer = section.name.substr(section.name.find(' ') + 1);
    int count = -1;
    ASSERT_EQ(ReadMasterListCount(*app_, NormalizePage(SimPage("results-" + customer + "-1.html")),
                                  customer, count),
              "");
    ASSERT_EQ(std::to_string(count), section.Get("Count"));
    for (int set = 1; set <= count; ++set) {
      std::vector<CEntry> added;
      const std::string page = SimPage("results-" + customer + "-" + std::to_string(set) + ".html");
      ASSERT_EQ(ReadMasterListTable(*app_, NormalizePage(page),
                                    [&](CEntry entry) {
                                      added.push_back(std::move(entry));
                                      return std::string();
                                    }),
                "");
      const std::vector<std::string> rows = section.GetAll("Row" + std::to_string(set));
      ASSERT_EQ(added.size(), rows.size()) << "result set " << set;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string> cells = Split(rows[i], " | ");
        ASSERT_GE(cells.size(), 1u);
        EXPECT_EQ(added[i].Text(kAppNum), cells[0]);
        EXPECT_EQ(added[i].Text(kPatNum), "");
        EXPECT_EQ(added[i].Text(kPubNum), "");
        EXPECT_EQ(added[i].Text(kReference), cells.size() >= 4 ? cells[3] : "");
      }
    }
  }
  std::string log;
  ReadWholeFile(app_->Log().Path(), log);
  EXPECT_EQ(log.find("**bad master list"), std::string::npos);
}

}  // namespace
}  // namespace larkspire
