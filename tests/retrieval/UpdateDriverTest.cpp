// What an update run shows while it works and when it ends: the status names each entry by its
// reference as it is written, and a run in which an entry failed ends with a warning.
#include <gtest/gtest.h>

#include "entries/Identifier.h"
#include "retrieval/UpdateDriver.h"
#include "rules/RulesFile.h"
#include "support/ScriptedUi.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

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
