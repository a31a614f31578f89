// The first read of an entry after the office changed its status source: what only the switch
// changed is stored without a mail, a real change is still mailed, and a configuration that
// never left the status site keeps no record of sources.
#include <gtest/gtest.h>

#include <string>

#include "entries/Entry.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/OdpSeen.h"
#include "retrieval/SourceSwitch.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

class SourceSwitchTest : public ::testing::Test {
 protected:
  SourceSwitchTest() {
    app_->Settings().LogDir.Set(dir_.Path());
    stored_.Text(kAppNum) = "10/123,456";
    stored_.Text(kReference) = "HM-0042";
    stored_.Text(kStatus) = "Non Final Action Mailed";
    stored_.Text(kLastHistoryDate) = "2008-06-01";
    stored_.Text(kLastHistoryText) = "Mail Non-Final Rejection";
    stored_.Text(kLocation) = "ELECTRONIC";
    stored_.Text(kPTE) = "0";
    stored_.Text(kParentContinuity) = "This application is a Continuation of , 09/123,456";
    stored_.last_update = 39000;
    stored_.last_change = 38900;
    app_->Entries().Insert(stored_);
  }

  // As the Open Data Portal reads the same application: no Location or PTE, its own writing
  // of the continuity.
  CEntry FromOdp() const {
    CEntry fresh = stored_;
    fresh.Text(kLocation) = "";
    fresh.Text(kPTE) = "";
    fresh.Text(kParentContinuity) = "This application is a Continuation of , 09/123,456 ,";
    return fresh;
  }

  void UseSource(const char* source) { app_->Settings().StatusSource.Set(source); }
  std::string SourceFile() {
    std::string text;
    ReadWholeFile(dir_.File(kSourceFileName), text);
    return text;
  }

  CTempDir dir_;
  CTestApp app_;
  CEntry stored_;
};

TEST_F(SourceSwitchTest, TheFirstReadAfterASwitchMailsOnlyTheStatusFacts) {
  CEntry changed = FromOdp();
  changed.Text(kStatus) = "Final Rejection Mailed";
  changed.Text(kLastHistoryDate) = "2008-12-02";
  changed.Text(kLastHistoryText) = "Mail Final Rejection";
  const struct {
    const char* name;
    const char* last_source;  // "" for no record
    const char* source;
    CEntry fresh;
    std::string changes;  // [AllChanges] of the mail, "" for none
  } cases[] = {
      {"site to the service, nothing new", "", kSourceOdp, FromOdp(), ""},
      {"site to the service, a new event", "", kSourceOdp, changed,
       "Status (now): Final Rejection Mailed\r\nStatus (was): Non Final Action Mailed\r\n\r\n"
       "Last History (now): 2008-12-02\r\nLast History (was): 2008-06-01\r\n\r\n"
       "Last History Description (now): Mail Final Rejection\r\n"
       "Last History Description (was): Mail Non-Final Rejection"},
      {"the service to the site", kSourceOdp, kSourceSite, stored_, ""},
      // Read from the same source as before, every difference is mailed as it always was.
      {"the service again", kSourceOdp, kSourceOdp, FromOdp(),
       "Location (now): \r\nLocation (was): ELECTRONIC\r\n\r\n"
       "Parent Continuity (now): This application is a Continuation of , 09/123,456 ,\r\n"
       "Parent Continuity (was): This application is a Continuation of , 09/123,456\r\n\r\n"
       "PTE (now): \r\nPTE (was): 0"},
  };
  for (const auto& c : cases) {
    std::remove(dir_.File(kSourceFileName).c_str());
    if (*c.last_source != '\0') {
      ASSERT_TRUE(SaveFileAtomically(dir_.File(kSourceFileName),
                                     std::string("10123456\t") + c.last_source + "\r\n"));
    }
    UseSource(c.source);
    CSourceSwitch sources(*app_);
    const CEntry& stored = c.source == kSourceSite && *c.last_source != '\0' ? FromOdp() : stored_;
    EXPECT_EQ(AllChanges(c.fresh, sources.Baseline(stored, c.fresh)), c.changes) << c.name;
  }
}

TEST_F(SourceSwitchTest, TheSourceOfEachReadIsKeptForTheNextRunAndTheSiteAloneKeepsNone) {
  // An office that never left the status site: no file, and every difference counts.
  UseSource(kSourceSite);
  {
    CSourceSwitch sources(*app_);
    EXPECT_EQ(AllChanges(FromOdp(), sources.Baseline(stored_, FromOdp())).empty(), false);
    sources.Read(stored_);
    sources.Finish(true);
  }
  EXPECT_FALSE(FileExists(dir_.File(kSourceFileName)));

  // An office on the service before this record existed: the service's own record of the
  // applications it served tells which entries were read there.
  ASSERT_TRUE(SaveFileAtomically(dir_.File(kOdpSeenFileName),
                                 "10123456\t2008-02-11T02:28:34\t2008-06-30T05:00:00\r\n"));
  UseSource(kSourceOdp);
  {
    CSourceSwitch sources(*app_);
    EXPECT_NE(AllChanges(FromOdp(), sources.Baseline(stored_, FromOdp())), "");
    sources.Read(FromOdp());
    sources.Finish(false);
    EXPECT_FALSE(FileExists(dir_.File(kSourceFileName)));
    sources.Finish(true);
  }
  EXPECT_EQ(SourceFile(), "10123456\tODP\r\n");

  // Back on the site: the first read there is quiet about the service's writing, and kept.
  UseSource(kSourceSite);
  CSourceSwitch back(*app_);
  EXPECT_EQ(AllChanges(stored_, back.Baseline(FromOdp(), stored_)), "");
  back.Read(stored_);
  back.Finish(true);
  EXPECT_EQ(SourceFile(), "10123456\tSite\r\n");
}

}  // namespace
}  // namespace larkspire
