#include "notify/PublisherConsent.h"

#include <string>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "run/Run.h"

namespace larkspire {

bool PublisherReportsAgreed(const CRun& app) {
  return app.Settings().PublisherReports.Text() == kPublisherReportsYes;
}

bool PublisherReportsRefused(const CRun& app) {
  return app.Settings().PublisherReports.Text() == kPublisherReportsNo;
}

std::string PublisherReportsQuestion(CRun& app) {
  std::string welcome;
  if (std::optional<std::string> text = LoadTemplate(kTemplateWelcome)) {
    const CEntry blank;
    CExpansionScope scope(app, &blank, nullptr);
    ExpandTemplate(app, *text, welcome);
  }
  // The message file's CR LF line ends, shown as the lines they are.
  std::erase(welcome, '\r');
  return "May Larkspire tell its publisher (" + LookupVariable(app, "ActivityAddress") +
         ") that your office uses it? This welcome report would go with your next e-mail "
         "batch, exactly as follows:\n\n" +
         welcome +
         "\n\nWith your yes, every fifth e-mail batch also starts with an activity report: the "
         "same details with the counts of starts, entries, status changes, updates and "
         "messages, and the rules version. With your no, neither is sent, nor the note after a "
         "program upgrade, which carries the same details. Larkspire keeps your answer and does "
         "not ask again.\n\n"
         "Do you want to send these reports to the publisher?";
}

}  // namespace larkspire
