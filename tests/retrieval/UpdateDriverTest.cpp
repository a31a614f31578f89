// The update commands in process, against a loopback stand-in for the local proxy that answers
// each entry's status page as the case says: a good page, one that lost three fields, a fatal
// page, or none at all while the user presses Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "entries/Identifier.h"
#include "notify/Templates.h"
#include "retrieval/EntryFetch.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/PagePrefetch.h"
#include "retrieval/UpdateDriver.h"
#include "rules/Dates.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr const char* kCanceled = "Operation canceled.";
constexpr const char* kCanceledByUser = "Possible update problem, update canceled by user.";
constexpr const char* kMasterListQuestion =
    "Do you want to update the master list before updating the status of all the entries?";

// What the proxy does with an entry's status page.
enum class Page {
  kGood,
  // Valid, but Examiner, Art Unit and Status come back empty.
  kThreeFieldsLost,
  // The proxy's own error page, which stops the whole update.
  kFatal,
  // Never answered; the user presses Cancel while it is fetched.
  kCancelWhileFetched,
};

struct EntrySpec {
  Page page = Page::kGood;
  int frequency = kDaily;
  bool up_to_date = false;
  bool selected = true;
};

// What became of one entry.
struct Outcome {
  bool fetched;
  std::string error;
  bool updated;  // stored with today's LastUpdate
};

// One run of an update command over entries E1, E2, ... (in this order in the list), each with
// a patent number of its own and the fields the pages may take away.
class CUpdateRun {
 public:
  explicit CUpdateRun(const std::vector<EntrySpec>& specs) : specs_(specs) {
    CRun& app = net_.App();
    app.Settings().LogDir.Set(dir_.Path());
    app.Settings().ProxyServer.Set(proxy_.HostPort());
    app.Rules().update_due = false;
    app.Entries().SetSort(kReference, false);
    for (std::size_t i = 0; i < specs.size(); ++i) {
      CEntry entry;
      // Two digits, so that the list's order by Reference is the order of the specs.
      entry.Text(kReference) = (i < 9 ? "E0" : "E") + std::to_string(i + 1);
      entry.Text(kPatNum) = Number(i);
      entry.Text(kExaminer) = "SMITH, JOHN";
      entry.Text(kArtUnit) = "1634";
      entry.Text(kStatus) = "Pending";
      entry.frequency = specs[i].frequency;
      entry.last_update = specs[i].up_to_date ? TodayDayNumber() : 0;
      const std::size_t row = app.Entries().Insert(entry);
      app.Entries().SetSelected(row, specs[i].selected);
    }
    net_.Ui().answer_when = {{kMasterListQuestion, MsgAnswer::kNo}};
    net_.Ui().on_pump = [this] {
      for (std::size_t i = 0; i < specs_.size(); ++i) {
        if (specs_[i].page == Page::kCancelWhileFetched && Fetched(i)) {
          net_.App().SetAbort(kAbortCanceled);
        }
      }
    };
  }

  CScriptedUi& Ui() { return net_.Ui(); }

  void Run(bool selected_only) { UpdateStatus(net_.App(), selected_only); }

  std::vector<Outcome> Outcomes() {
    std::vector<Outcome> outcomes;
    const std::vector<std::string>& status = Ui().status_texts;
    for (std::size_t i = 0; i < specs_.size(); ++i) {
      const CEntry& entry = net_.App().Entries().At(i);
      EXPECT_EQ(entry.Text(kPatNum), Number(i)) << "the list kept its order";
      // The status line names exactly the entries the run fetches.
      const bool announced = std::find(status.begin(), status.end(),
                                       "Updating " + entry.Text(kReference)) != status.end();
      EXPECT_EQ(announced, Fetched(i)) << entry.Text(kReference);
      outcomes.push_back({Fetched(i), entry.Text(kError), entry.last_update == TodayDayNumber()});
    }
    return outcomes;
  }

  // The message boxes shown, without the master-list question that every "All" run asks first.
  std::vector<std::string> Shown() {
    std::vector<std::string> texts = Ui().Texts();
    std::erase(texts, std::string(kMasterListQuestion));
    return texts;
  }

  const CEntry& Entry(std::size_t i) { return net_.App().Entries().At(i); }
  CRun& App() { return net_.App(); }

  // The addresses the entry in row i asks for.
  std::vector<std::string> Urls(std::size_t i) {
    std::vector<std::string> urls;
    CExpansionScope scope(App(), &Entry(i));
    EntryPageUrls(App(), Entry(i), urls);
    return urls;
  }

  long long Succeeded() { return net_.App().Settings().CountUpdateSucceeded.Int(0); }
  long long Failed() { return net_.App().Settings().CountUpdateFailed.Int(0); }

  static std::string Number(std::size_t i) { return "7,000,0" + std::to_string(i + 10); }

  // How often the proxy was asked for entry i's page.
  long Requests(std::size_t i) {
    const std::string wanted = "patentnumber=" + Number(i) + " ";
    const std::vector<std::string> requests = proxy_.Requests();
    return std::count_if(requests.begin(), requests.end(), [&](const std::string& request) {
      return CHttpTestServer::RequestLine(request).find(wanted) != std::string::npos;
    });
  }

 private:
  bool Fetched(std::size_t i) { return Requests(i) > 0; }

  void Answer(const std::string& request, CTestConnection& connection) {
    const std::string line = CHttpTestServer::RequestLine(request);
    for (std::size_t i = 0; i < specs_.size(); ++i) {
      if (line.find("patentnumber=" + Number(i) + " ") == std::string::npos) continue;
      switch (specs_[i].page) {
        case Page::kGood:
          connection.Write(CHttpTestServer::Ok(status_page_));
          return;
        case Page::kThreeFieldsLost:
          connection.Write(CHttpTestServer::Ok(lost_page_));
          return;
        case Page::kFatal:
          connection.Write(CHttpTestServer::Ok(fatal_page_));
          return;
        case Page::kCancelWhileFetched:
          connection.Stall();
          return;
      }
    }
    connection.Write("HTTP/1.0 404 Not Found\r\n\r\n");
  }

  static std::string ThreeFieldsLost(std::string page) {
    page = ReplaceOnce(page, "<TD>NGUYEN,&nbsp;THU&nbsp;&nbsp;V</TD>", "<TD></TD>");
    page = ReplaceOnce(page, "<TD>\t 2161 </TD>", "<TD></TD>");
    return ReplaceOnce(page, "<TD>Patented Case</TD>", "<TD></TD>");
  }

  std::vector<EntrySpec> specs_;
  // Read before the proxy runs: its threads only use them.
  std::string status_page_ = ReadFixture("retrieval/status-application.html");
  std::string lost_page_ = ThreeFieldsLost(status_page_);
  std::string fatal_page_ = ReadFixture("sim/error2.html");
  CTempDir dir_;
  CHttpTestServer proxy_{
      [this](const std::string& request, CTestConnection& c) { Answer(request, c); }};
  CNetTestApp net_;
};

void ExpectOutcomes(const std::vector<Outcome>& actual, const std::vector<Outcome>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("E" + std::to_string(i + 1));
    EXPECT_EQ(actual[i].fetched, expected[i].fetched);
    EXPECT_EQ(actual[i].error, expected[i].error);
    EXPECT_EQ(actual[i].updated, expected[i].updated);
  }
}

TEST(UpdateDriverTest, EachEntryOutcomeAndWhetherTheRunGoesOn) {
  const std::string fatal = "There is a problem with USPTO/Direct. Please restart it.";
  struct Case {
    const char* name;
    bool selected_only;
    std::vector<EntrySpec> entries;
    MsgAnswer reverted_answer;
    std::vector<Outcome> outcomes;
    std::vector<std::string> shown;
    long long succeeded;
    long long failed;
  };
  const Case cases[] = {
      {"every page good",
       false,
       {{}, {}, {}},
       MsgAnswer::kNo,
       {{true, "", true}, {true, "", true}, {true, "", true}},
       {"All entries have been successfully updated."},
       3,
       0},
      // The entry being fetched fails with the cancel; the later due ones are marked without
      // a request.
      {"cancel during the second fetch",
       false,
       {{}, {Page::kCancelWhileFetched}, {}, {}},
       MsgAnswer::kNo,
       {{true, "", true},
        {true, kCanceled, false},
        {false, kCanceled, false},
        {false, kCanceled, false}},
       {"Some entries were not updated."},
       1,
       3},
      {"cancel, selected entries only",
       true,
       {{Page::kCancelWhileFetched}, {}, {Page::kGood, kDaily, false, false}},
       MsgAnswer::kNo,
       {{true, kCanceled, false}, {false, kCanceled, false}, {false, "", false}},
       {"Some selected entries were not updated."},
       0,
       2},
      // A fatal page stops the run at once: its entry keeps an empty Error and neither counter
      // moves for it; the later entries are neither fetched nor marked.
      {"fatal page stops the run",
       false,
       {{}, {Page::kFatal}, {}},
       MsgAnswer::kNo,
       {{true, "", true}, {true, "", false}, {false, "", false}},
       {fatal, "Some entries were not updated."},
       1,
       0},
      {"Cancel to the reverted-fields question",
       false,
       {{}, {Page::kThreeFieldsLost}, {}},
       MsgAnswer::kCancel,
       {{true, "", true}, {true, kCanceledByUser, false}, {false, kCanceled, false}},
       {"reverted", "Some entries were not updated."},
       1,
       2},
      {"No to the reverted-fields question stores the entry",
       false,
       {{}, {Page::kThreeFieldsLost}, {}},
       MsgAnswer::kNo,
       {{true, "", true}, {true, "", true}, {true, "", true}},
       {"reverted", "All entries have been successfully updated."},
       3,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CUpdateRun run(c.entries);
    run.Ui().answer_when.push_back({"reverted to nothing", c.reverted_answer});
    run.Run(c.selected_only);
    ExpectOutcomes(run.Outcomes(), c.outcomes);
    std::vector<std::string> shown = run.Shown();
    // The reverted-fields question is long; its first words stand for it here.
    for (std::string& text : shown) {
      if (text.starts_with("Three or more fields for ")) text = "reverted";
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(run.Succeeded(), c.succeeded);
    EXPECT_EQ(run.Failed(), c.failed);
  }
}

TEST(UpdateDriverTest, FatalPageIsShownUnderItsCaption) {
  CUpdateRun run({{Page::kFatal}, {}});
  run.Run(true);
  ASSERT_EQ(run.Ui().messages.size(), 2u);
  EXPECT_EQ(run.Ui().messages[0].caption, std::string(kCaption) + " - Webpage Read(s) Failed");
  EXPECT_EQ(run.Ui().messages[0].buttons, MsgButtons::kOk);
}

TEST(UpdateDriverTest, NothingDueAsksToRedoAndRedoesAsTheCommandSays) {
  struct Case {
    const char* name;
    bool selected_only;
    MsgAnswer answer;
    std::vector<EntrySpec> entries;
    std::string question;
    std::vector<bool> fetched;
  };
  const EntrySpec daily{Page::kGood, kDaily, true, true};
  const EntrySpec never{Page::kGood, kNever, true, true};
  const EntrySpec weekly_unselected{Page::kGood, kWeekly, true, false};
  const std::string all =
      "All of the entries are already up-to-date.\n\nDo you want redo the update?";
  const std::string selected =
      "All the selected entries are already up-to-date.\n\nDo you want redo the update?";
  const Case cases[] = {
      // Every entry but those set to Never, selected or not.
      {"All, Yes",
       false,
       MsgAnswer::kYes,
       {daily, never, weekly_unselected},
       all,
       {true, false, true}},
      // Every selected entry, Never included; the others stay as they are.
      {"Selected, Yes",
       true,
       MsgAnswer::kYes,
       {daily, never, weekly_unselected},
       selected,
       {true, true, false}},
      {"All, No", false, MsgAnswer::kNo, {daily, never}, all, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CUpdateRun run(c.entries);
    run.Ui().answer_when.push_back({"Do you want redo the update?", c.answer});
    run.Run(c.selected_only);
    const std::vector<std::string> shown = run.Shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0], c.question);
    const std::vector<Outcome> outcomes = run.Outcomes();
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
      EXPECT_EQ(outcomes[i].fetched, c.fetched[i]) << "E" << i + 1;
      EXPECT_EQ(outcomes[i].error, "") << "E" << i + 1;
    }
    // No: nothing else is shown, and the run never went busy.
    if (c.answer == MsgAnswer::kNo) {
      EXPECT_EQ(shown.size(), 1u);
      EXPECT_TRUE(run.Ui().busy_captions.empty());
    }
  }
}

TEST(UpdateDriverTest, NothingConsideredAsksNothing) {
  CUpdateRun run({{Page::kGood, kDaily, true, false}});
  run.Run(true);
  EXPECT_TRUE(run.Ui().messages.empty());
  EXPECT_FALSE(run.Outcomes()[0].fetched);
}

TEST(UpdateDriverTest, RevertedFieldsAreAskedAboutForTheFirstSixEntriesOfARunAtMost) {
  struct Case {
    MsgAnswer answer;
    std::size_t questions;
  };
  // No: asked again for each of the first six entries. Yes: "don't warn me again".
  const Case cases[] = {{MsgAnswer::kNo, 6}, {MsgAnswer::kYes, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.questions);
    CUpdateRun run(std::vector<EntrySpec>(8, EntrySpec{Page::kThreeFieldsLost}));
    run.Ui().answer_when.push_back({"reverted to nothing", c.answer});
    run.Run(false);
    std::vector<std::string> asked_for;
    for (const std::string& text : run.Shown()) {
      if (text.starts_with("Three or more fields for ")) {
        asked_for.push_back(text.substr(25, text.find(" reverted") - 25));
      }
    }
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < c.questions; ++i) {
      expected.push_back(CUpdateRun::Number(i));
    }
    EXPECT_EQ(asked_for, expected);
    for (const Outcome& outcome : run.Outcomes()) {
      EXPECT_TRUE(outcome.fetched);
      EXPECT_EQ(outcome.error, "");
      EXPECT_TRUE(outcome.updated);
    }
  }
}

// Once the reverted-fields question can no longer stop the run, the next due entry's page is
// asked for while the current one is read: each page still goes to its own entry, is asked for
// once, and an entry that is not due is passed over.
TEST(UpdateDriverTest, PastTheSixthEntryTheNextPageIsAskedForWhileTheCurrentIsRead) {
  struct Case {
    const char* name;
    Page ninth;
    // Per entry E1..E12: how often its page was asked for ('?' either 0 or 1: a prefetch let
    // go of may be cancelled before its request went out), and 'u' where it was updated, 'c'
    // where it is marked "Operation canceled.", '-' where it is left as it was.
    const char* requests;
    const char* outcome;
  };
  const Case cases[] = {
      {"every page good", Page::kGood, "111101111111", "uuuu-uuuuuuu"},
      // E10 was asked for before E9's fatal page was read; the run stops all the same and
      // nothing of E10 is stored.
      {"fatal ninth page", Page::kFatal, "111101111?00", "uuuu-uuu----"},
      {"cancel during the ninth fetch", Page::kCancelWhileFetched, "111101111000", "uuuu-uuucccc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<EntrySpec> entries(12);
    entries[4].up_to_date = true;
    entries[8].page = c.ninth;
    CUpdateRun run(entries);
    run.Run(false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      SCOPED_TRACE("E" + std::to_string(i + 1));
      const CEntry& entry = run.Entry(i);
      if (c.requests[i] != '?') {
        EXPECT_EQ(run.Requests(i), c.requests[i] - '0');
      }
      const bool updated = c.outcome[i] == 'u';
      EXPECT_EQ(entry.Text(kStatus), updated ? "Patented Case" : "Pending");
      EXPECT_EQ(entry.Text(kError), c.outcome[i] == 'c' ? kCanceled : "");
    }
  }
}

TEST(UpdateDriverTest, APrefetchGoesOutAtOnceAndIsTakenOnlyByItsOwnEntryAtItsOwnAddresses) {
  CUpdateRun run(std::vector<EntrySpec>(2));
  const auto wait_for_requests = [&run](std::size_t i, long count) {
    for (int pass = 0; pass < 1000 && run.Requests(i) < count; ++pass) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return run.Requests(i);
  };
  std::vector<std::string> pages;
  CPagePrefetch prefetch(run.App());

  // Asked for without anyone waiting, and then taken as it is.
  prefetch.Start(0);
  EXPECT_EQ(wait_for_requests(0, 1), 1);
  EXPECT_EQ(prefetch.FetchPages(0, run.Urls(0), pages), "");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NE(pages[0].find("Patented Case"), std::string::npos);
  EXPECT_EQ(run.Requests(0), 1);

  // Another entry, or the same entry at other addresses, is fetched anew.
  prefetch.Start(0);
  EXPECT_EQ(wait_for_requests(0, 2), 2);
  EXPECT_EQ(prefetch.FetchPages(1, run.Urls(1), pages), "");
  EXPECT_EQ(run.Requests(1), 1);
  prefetch.Start(0);
  EXPECT_EQ(wait_for_requests(0, 3), 3);
  EXPECT_EQ(prefetch.FetchPages(0, run.Urls(1), pages), "");
  EXPECT_EQ(run.Requests(1), 2);
  EXPECT_EQ(run.Requests(0), 3);
}

TEST(UpdateDriverTest, StatusShowsTheReferenceAsWrittenAndAFailedRunEndsWithAWarning) {
  CTestApp app;
  CScriptedUi ui;
  app->SetUi(&ui);
  // Nothing listens there, so the fetch fails at once.
  app->Settings().ProxyServer.Set("127.0.0.1:1");
  app->Rules().update_due = false;
  CEntry entry;
  ASSERT_FALSE(SetIdentifier(entry, "10/123,456"));
  entry.Text(kReference) = "R&D-1";
  app->Entries().SetSelected(app->Entries().Insert(entry), true);

  UpdateStatus(*app, true);

  EXPECT_EQ(ui.status_texts, std::vector<std::string>{"Updating R&D-1"});
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().text, "Some selected entries were not updated.");
  EXPECT_EQ(ui.messages.back().icon, MsgIcon::kWarning);
  app->SetUi(nullptr);
}

}  // namespace
}  // namespace larkspire
