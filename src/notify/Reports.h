// The HTML status report and the XML export, rewritten whole in the report directory.
#pragma once

#include <string>

namespace larkspire {

class AppCore;

inline constexpr const char* kHtmlReportName = "Larkspire.html";
inline constexpr const char* kXmlReportName = "Larkspire.xml";

void WriteReports(AppCore& app);
std::string HtmlReportPath(const AppCore& app);

}  // namespace larkspire
