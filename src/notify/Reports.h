// The HTML status report and the XML export, rewritten whole in the report directory, and the
// calendar of open deadlines beside them (notify/Calendar.h).
#pragma once

#include <string>

namespace larkspire {

class CRun;

inline constexpr const char* kHtmlReportName = "Larkspire.html";
inline constexpr const char* kXmlReportName = "Larkspire.xml";

void WriteReports(CRun& app);
std::string HtmlReportPath(const CRun& app);

}  // namespace larkspire
