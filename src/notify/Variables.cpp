#include "notify/Variables.h"

#include <optional>

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// 1970-01-01 as days since 1899-12-30.
constexpr double kUnixEpochAutomation = 25569.0;

// Variable names are plain ASCII, so ASCII folding is the ANSI comparison for them.
char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string Unresolved(std::string_view name) {
  std::string text = "[";
  text += name;
  text += ']';
  return text;
}

std::string OrDash(std::string value) { return value.empty() ? std::string("-") : value; }

std::string InstalledTime(AppCore& app, bool utc) {
  std::optional<int64_t> seconds = LastWriteTime(DirectoryOf(app.ProgramPath()));
  if (!seconds) return std::string();
  return FormatDateTime(static_cast<double>(*seconds) / 86400.0 + kUnixEpochAutomation, utc, false);
}

std::string RulesAddress(AppCore& app, const char* key, const char* fallback) {
  std::string address = LookupRule(app, "location", key);
  return address.empty() ? std::string(fallback) : address;
}

std::string ReadLogFile(AppCore& app) {
  std::string text;
  const std::string path = app.Log().Path();
  if (!path.empty()) ReadWholeFile(path, text);
  return text;
}

struct ApplicationVariable {
  const char* name;
  std::string (*value)(AppCore& app);
};

// Looked up in this order; the first name that matches wins.
const ApplicationVariable kApplicationVariables[] = {
    {"NowLocal", [](AppCore&) { return FormatDateTime(NowUtcAutomation(), false, false); }},
    {"NowUTC", [](AppCore&) { return FormatDateTime(NowUtcAutomation(), true, false); }},
    {"Version", [](AppCore& app) { return app.VersionText(); }},
    {"RulesVersion", [](AppCore& app) { return app.rules_version; }},
    {"ActivityAddress",
     [](AppCore& app) { return RulesAddress(app, "activity", kDefaultActivityAddress); }},
    {"MasterListCookie", [](AppCore& app) { return app.master_list_cookie; }},
    {"MasterListIndex", [](AppCore& app) { return std::to_string(app.master_list_index); }},
    {"ProblemDesc", [](AppCore& app) { return app.problem_desc; }},
    {"SupportAddress",
     [](AppCore& app) { return RulesAddress(app, "support", kDefaultSupportAddress); }},
    {"TCPIPFlow", [](AppCore& app) { return app.flow_text; }},
    {"CountExec", [](AppCore& app) { return app.Settings().CountExec.Text(); }},
    {"CountStatusChange", [](AppCore& app) { return app.Settings().CountStatusChange.Text(); }},
    {"CountUpdateSucceeded",
     [](AppCore& app) { return app.Settings().CountUpdateSucceeded.Text(); }},
    {"CountUpdateFailed", [](AppCore& app) { return app.Settings().CountUpdateFailed.Text(); }},
    {"CountEmailPost", [](AppCore& app) { return app.Settings().CountEmailPost.Text(); }},
    {"CountEmailBatchSucceeded",
     [](AppCore& app) { return app.Settings().CountEmailBatchSucceeded.Text(); }},
    {"CountEmailBatchFailed",
     [](AppCore& app) { return app.Settings().CountEmailBatchFailed.Text(); }},
    {"CountEntry", [](AppCore& app) { return std::to_string(app.Entries().Size()); }},
    {"InstalledLocal", [](AppCore& app) { return InstalledTime(app, false); }},
    {"InstalledUTC", [](AppCore& app) { return InstalledTime(app, true); }},
    {"OS", [](AppCore&) { return OsDescription(); }},
    {"GUID", [](AppCore& app) { return app.Settings().GUID.Text(); }},
    {"Timeout", [](AppCore& app) { return app.Settings().Timeout.Text(); }},
    {"ProxyServer", [](AppCore& app) { return app.Settings().ProxyServer.Text(); }},
    {"OrgName", [](AppCore& app) { return app.Settings().OrgName.Text(); }},
    {"SmtpServer", [](AppCore& app) { return app.Settings().SmtpServer.Text(); }},
    {"ReturnAddress", [](AppCore& app) { return app.Settings().ReturnAddress.Text(); }},
    {"NotifyAddresses", [](AppCore& app) { return app.Settings().NotifyAddress.Joined(); }},
    {"AppDir", [](AppCore& app) { return app.Settings().Install.Text(); }},
    {"LogDir", [](AppCore& app) { return app.Settings().LogDir.Text(); }},
    {"LogFile", [](AppCore& app) { return ReadLogFile(app); }},
    {"ReportDir", [](AppCore& app) { return app.Settings().ReportDir.Text(); }},
    {"AppName", [](AppCore&) { return std::string(kAppName); }},
    {"Courtesy",
     [](AppCore&) {
       return std::string("Courtesy of Harrowgate Patent Law Firm LLP, ") + kProductPageAddress +
              ".";
     }},
    {"CourtesyHtml",
     [](AppCore&) {
       return std::string("<p><i>Courtesy of Harrowgate Patent Law Firm LLP, <a href=\"") +
              kProductPageAddress + "\">" + kProductPageAddress + "</a>.</i></p>";
     }},
    {"DataKind", [](AppCore&) { return std::string("Patent"); }},
    {"DataSource", [](AppCore&) { return std::string("PAIR"); }},
};

void AppendChange(const CEntry& current, const CEntry& previous, int id, std::string& out) {
  if (!CEntry::FieldDiffers(current, previous, id)) return;
  if (!out.empty()) out += "\r\n\r\n";
  const std::string caption = kFields[id].column_caption;
  out += caption + " (now): " + current.GetText(id) + "\r\n";
  out += caption + " (was): " + previous.GetText(id);
}

}  // namespace

std::string LookupVariable(AppCore& app, std::string_view name) {
  for (const ApplicationVariable& variable : kApplicationVariables) {
    if (EqualsIgnoreCase(name, variable.name)) return OrDash(variable.value(app));
  }
  if (EqualsIgnoreCase(name, "LastFetch")) return OrDash(LastFetch(app));

  std::string value;
  const CEntry* current = CurrentEntry();
  const CEntry* previous = PreviousEntry();
  if (current != nullptr) {
    if (current->GetTextByName(name, value)) return OrDash(std::move(value));
    if (previous == nullptr) return Unresolved(name);
    if (EqualsIgnoreCase(name, "AllChanges")) return OrDash(AllChanges(*current, *previous));
  }
  constexpr std::string_view kOld = "Old";
  if (previous != nullptr && name.size() > kOld.size() &&
      EqualsIgnoreCase(name.substr(name.size() - kOld.size()), kOld) &&
      previous->GetTextByName(name.substr(0, name.size() - kOld.size()), value)) {
    return OrDash(std::move(value));
  }
  return Unresolved(name);
}

std::string AllChanges(const CEntry& current, const CEntry& previous) {
  std::string out;
  for (int id : kChangeList) AppendChange(current, previous, id, out);
  return out;
}

std::string LastFetch(const AppCore& app) {
  std::string out;
  for (std::size_t i = 0; i < app.last_fetch_urls.size(); ++i) {
    out += "***LastFetch(" + std::to_string(i + 1) + "): ";
    out += app.last_fetch_urls[i];
    out += "\r\n";
    if (i < app.last_fetch_pages.size()) out += app.last_fetch_pages[i];
    out += "\r\n";
  }
  return out;
}

}  // namespace larkspire
