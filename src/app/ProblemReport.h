// Reports the user asks for: a problem report to the publisher's support mailbox with the
// diagnostics of this run, and the test e-mails.
#pragma once

#include "net/SendMail.h"

namespace larkspire {

class AppCore;

inline constexpr const char* kNoActivityYetMessage =
    "Please attempt to do an update prior to reporting the problem.";

// Help > Report Problem...: refused before any network work of this run; otherwise the rules
// are brought up to date (for the current support address), the user describes the problem,
// and template 13 goes out at once with the result shown.
void ReportProblem(AppCore& app);

// Test > Send E-Mail to Return Address and to Notification Addresses.
void SendTestEmail(AppCore& app, MailRecipient recipient);

}  // namespace larkspire
