// A status cell that carries a NUL (or any control byte) reaches the office's mail whole: the
// mail writer reads message files only up to a NUL, so a value that kept one cut the message
// short there and lost the rest.
#include <gtest/gtest.h>

#include "entries/Entry.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "support/NetTestApp.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

TEST(ControlBytesInMail, AStatusWithANulArrivesWholeInTheNotification) {
  CTempDir dir;
  CNetTestApp net;
  CRun& app = net.App();
  app.Settings().LogDir.Set(dir.Path());
  app.Settings().ReturnAddress.Set("docketing@office.example");
  app.Settings().NotifyAddress.Items() = {"partners@office.example"};
  LoadRules(app);
  CSmtpTestServer server;
  app.Settings().SmtpServer.Set(server.HostPort());

  CEntry previous;
  previous.SetText(kPatNum, "7,123,456");
  previous.SetText(kReference, "R-1");
  previous.SetText(kStatus, "Pending");
  CEntry current = previous;
  const char kCell[] = "Patented\0Case\x01\x0B";
  current.SetText(kStatus, std::string(kCell, sizeof kCell - 1));
  {
    CExpansionScope scope(app, &current, &previous);
    ASSERT_EQ(PostEmail(app, current, kTemplateStatusChange, "s"), "");
  }
  EXPECT_TRUE(SendPendingEmail(app, false, false));

  const std::string data = server.Data();
  EXPECT_NE(data.find("Status (now): Patented Case  \r\nStatus (was): Pending\r\n"),
            std::string::npos)
      << data;
  // The message runs on to its last lines.
  EXPECT_NE(data.find("Courtesy of "), std::string::npos) << data;
  EXPECT_NE(data.find("Local Date-Time: "), std::string::npos) << data;
}

}  // namespace
}  // namespace larkspire
