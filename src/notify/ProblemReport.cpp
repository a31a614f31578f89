#include "notify/ProblemReport.h"

#include "app/AppCore.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "retrieval/RulesUpdate.h"

namespace larkspire {

void ReportProblem(AppCore& app) {
  if (!app.flow_has_content) {
    app.MessageBox(kNoActivityYetMessage);
    return;
  }
  UpdateRules(app);
  const std::string prompt =
      "Please describe your problem in some detail. When you click OK an email message will be "
      "sent to \"" +
      PublisherMailboxes(app).support + "\".";
  std::string description = app.problem_desc;
  if (app.Ui() == nullptr || !app.Ui()->Prompt("Report Problem", prompt, description)) return;
  app.problem_desc = description;
  SendTemplateNow(app, kTemplateProblem, kMailToSupport, true);
}

void SendTestEmail(AppCore& app, int mode) { SendTemplateNow(app, kTemplateTestEmail, mode, true); }

}  // namespace larkspire
