#include "app/ProblemReport.h"

#include "app/AppCore.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "retrieval/RulesUpdate.h"

namespace larkspire {

void ReportProblem(AppCore& app) {
  if (!app.Transcript().has_content) {
    app.MessageBox(kNoActivityYetMessage);
    return;
  }
  UpdateRules(app);
  const std::string prompt =
      "Please describe your problem in some detail. When you click OK an email message will be "
      "sent to \"" +
      MailAddressesOf(app).support + "\".";
  std::string description = app.Status().problem_desc;
  if (app.Ui() == nullptr || !app.Ui()->Prompt("Report Problem", prompt, description)) return;
  app.Status().problem_desc = description;
  SendTemplateNow(app, kTemplateProblem, MailRecipient::kSupport, true);
}

void SendTestEmail(AppCore& app, MailRecipient recipient) {
  SendTemplateNow(app, kTemplateTestEmail, recipient, true);
}

}  // namespace larkspire
