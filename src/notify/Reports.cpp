#include "notify/Reports.h"

#include "notify/Calendar.h"
#include "notify/DeadlineReport.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "platform/Markup.h"
#include "run/Run.h"

namespace larkspire {
namespace {

void AppendTemplate(CRun& app, int number, std::string& out) {
  if (std::optional<std::string> text = LoadTemplate(number)) {
    ExpandTemplate(app, *text, out, ValueEscaping::kHtml);
  }
}

// The five entities escaped, and every byte XML 1.0 forbids (the controls below 0x20 other than
// TAB, LF and CR) as a blank: one such byte would make the whole file unreadable.
std::string XmlText(std::string_view text) {
  std::string out = EncodeEntities(text);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') c = ' ';
  }
  return out;
}

}  // namespace

std::string HtmlReportPath(const CRun& app) {
  return JoinPath(app.Settings().ReportDir.Text(), kHtmlReportName);
}

void WriteReports(CRun& app) {
  // Without a report directory there is nowhere sensible to write (the Windows program would
  // have written to the root of the drive).
  if (app.Settings().ReportDir.Text().empty()) return;
  const CEntryList& entries = app.Entries();

  std::string html;
  {
    CExpansionScope no_entry(app, nullptr);
    AppendTemplate(app, kTemplateReportHeader, html);
  }
  InsertUpcomingDeadlines(html, UpcomingDeadlinesHtml(app.Docket(), entries));
  std::optional<std::string> row = LoadTemplate(kTemplateReportRow);
  for (std::size_t i = 0; row && i < entries.Size(); ++i) {
    CExpansionScope scope(app, &entries.At(i));
    ExpandTemplate(app, *row, html, ValueEscaping::kHtml);
  }
  {
    CExpansionScope no_entry(app, nullptr);
    AppendTemplate(app, kTemplateReportFooter, html);
  }
  SaveFileAtomically(HtmlReportPath(app), html);

  std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Entries>\n";
  for (std::size_t i = 0; i < entries.Size(); ++i) {
    const CEntry& entry = entries.At(i);
    xml += " <Entry>\n";
    for (int id = 0; id < kFieldCount; ++id) {
      const char* key = kFields[id].key;
      xml += "  <";
      xml += key;
      xml += '>';
      xml += XmlText(entry.GetText(id));
      xml += "</";
      xml += key;
      xml += ">\n";
    }
    xml += " </Entry>\n";
  }
  xml += "</Entries>\n";
  SaveFileAtomically(JoinPath(app.Settings().ReportDir.Text(), kXmlReportName), ToTextMode(xml));
  WriteCalendar(app);
}

}  // namespace larkspire
