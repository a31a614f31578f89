#include <gtest/gtest.h>

#include <string>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "retrieval/StatusUrl.h"
#include "run/Run.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

class StatusUrlTest : public ::testing::Test {
 protected:
  CTestApp app_;
};

TEST_F(StatusUrlTest, StatusPageAddressFollowsTheNumberKnown) {
  CEntry by_app, by_pat, by_pub;
  by_app.Text(kAppNum) = "10/123,456";
  by_app.Text(kPatNum) = "7,123,456";
  by_pat.Text(kPatNum) = "7,123,456";
  by_pub.Text(kPubNum) = "US 2007-0123456 A1";
  EXPECT_TRUE(StatusPageUrl(*app_, by_app).ends_with("ApplicationNumber=10123456"));
  EXPECT_TRUE(StatusPageUrl(*app_, by_pat).ends_with("patentnumber=7,123,456"));
  EXPECT_TRUE(StatusPageUrl(*app_, by_pub).ends_with("publicationnumber=US%202007-0123456%20A1"));

  InstallStatusUrlBuilder(*app_);
  EXPECT_EQ(by_pat.StatusUrl(), StatusPageUrl(*app_, by_pat));
  // Building an address inside an expansion leaves that expansion's entries in place.
  CEntry previous;
  CExpansionScope scope(*app_, &by_pub, &previous);
  std::string url;
  ASSERT_TRUE(by_app.GetTextByName("StatusUrl", url));
  EXPECT_TRUE(url.ends_with("ApplicationNumber=10123456"));
  EXPECT_EQ(app_->Slots().current, &by_pub);
  EXPECT_EQ(app_->Slots().previous, &previous);
}

}  // namespace
}  // namespace larkspire
