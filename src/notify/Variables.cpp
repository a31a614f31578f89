#include "notify/Variables.h"

#include <optional>
#include <utility>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "rules/Dates.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

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

std::string InstalledTime(CRun& app, bool utc) {
  std::optional<int64_t> seconds = LastWriteTime(DirectoryOf(app.ProgramPath()));
  if (!seconds) return std::string();
  return FormatDateTime(static_cast<double>(*seconds) / 86400.0 + kUnixEpochAutomation, utc, false);
}

std::string RulesAddress(CRun& app, const char* key, const char* fallback) {
  std::string address = LookupRule(app, "location", key);
  return address.empty() ? std::string(fallback) : address;
}

std::string ReadLogFile(CRun& app) {
  std::string text;
  const std::string path = app.Log().Path();
  if (!path.empty()) ReadWholeFile(path, text);
  return text;
}

struct ApplicationVariable {
  const char* name;
  std::string (*value)(CRun& app);
};

// Looked up in this order; the first name that matches wins.
const ApplicationVariable kApplicationVariables[] = {
    {"NowLocal", [](CRun&) { return FormatDateTime(NowUtcAutomation(), false, false); }},
    {"NowUTC", [](CRun&) { return FormatDateTime(NowUtcAutomation(), true, false); }},
    {"Version", [](CRun& app) { return app.VersionText(); }},
    {"RulesVersion", [](CRun& app) { return app.Rules().version; }},
    {"ActivityAddress",
     [](CRun& app) { return RulesAddress(app, "activity", kDefaultActivityAddress); }},
    {"MasterListCookie", [](CRun& app) { return app.MasterList().cookie; }},
    {"MasterListIndex", [](CRun& app) { return std::to_string(app.MasterList().index); }},
    {"ProblemDesc", [](CRun& app) { return app.Status().problem_desc; }},
    {"SupportAddress",
     [](CRun& app) { return RulesAddress(app, "support", kDefaultSupportAddress); }},
    {"TCPIPFlow", [](CRun& app) { return app.Transcript().text; }},
    {"CountExec", [](CRun& app) { return app.Settings().CountExec.Text(); }},
    {"CountStatusChange", [](CRun& app) { return app.Settings().CountStatusChange.Text(); }},
    {"CountUpdateSucceeded", [](CRun& app) { return app.Settings().CountUpdateSucceeded.Text(); }},
    {"CountUpdateFailed", [](CRun& app) { return app.Settings().CountUpdateFailed.Text(); }},
    {"CountEmailPost", [](CRun& app) { return app.Settings().CountEmailPost.Text(); }},
    {"CountEmailBatchSucceeded",
     [](CRun& app) { return app.Settings().CountEmailBatchSucceeded.Text(); }},
    {"CountEmailBatchFailed",
     [](CRun& app) { return app.Settings().CountEmailBatchFailed.Text(); }},
    {"CountEntry", [](CRun& app) { return std::to_string(app.Entries().Size()); }},
    {"InstalledLocal", [](CRun& app) { return InstalledTime(app, false); }},
    {"InstalledUTC", [](CRun& app) { return InstalledTime(app, true); }},
    {"OS", [](CRun&) { return OsDescription(); }},
    {"GUID", [](CRun& app) { return app.Settings().GUID.Text(); }},
    {"Timeout", [](CRun& app) { return app.Settings().Timeout.Text(); }},
    {"ProxyServer", [](CRun& app) { return app.Settings().ProxyServer.Text(); }},
    {"OrgName", [](CRun& app) { return app.Settings().OrgName.Text(); }},
    {"SmtpServer", [](CRun& app) { return app.Settings().SmtpServer.Text(); }},
    {"ReturnAddress", [](CRun& app) { return app.Settings().ReturnAddress.Text(); }},
    {"NotifyAddresses", [](CRun& app) { return app.Settings().NotifyAddress.Joined(); }},
    {"AppDir", [](CRun& app) { return app.Settings().Install.Text(); }},
    {"LogDir", [](CRun& app) { return app.Settings().LogDir.Text(); }},
    {"LogFile", [](CRun& app) { return ReadLogFile(app); }},
    {"ReportDir", [](CRun& app) { return app.Settings().ReportDir.Text(); }},
    {"AppName", [](CRun&) { return std::string(kAppName); }},
    {"Courtesy",
     [](CRun&) {
       return std::string("Courtesy of Harrowgate Patent Law Firm LLP, ") + kProductPageAddress +
              ".";
     }},
    {"CourtesyHtml",
     [](CRun&) {
       return std::string("<p><i>Courtesy of Harrowgate Patent Law Firm LLP, <a href=\"") +
              kProductPageAddress + "\">" + kProductPageAddress + "</a>.</i></p>";
     }},
    {"DataKind", [](CRun&) { return std::string("Patent"); }},
    // The source a reader can open: the Open Data Portal serves no pages, Patent Center does.
    {"DataSource",
     [](CRun& app) { return std::string(UsesOdp(app.Settings()) ? "Patent Center" : "PAIR"); }},
};

void AppendChange(const CEntry& current, const CEntry& previous, int id, std::string& out) {
  if (!CEntry::FieldDiffers(current, previous, id)) return;
  if (!out.empty()) out += "\r\n\r\n";
  const std::string caption = kFields[id].column_caption;
  out += caption + " (now): " + current.GetText(id) + "\r\n";
  out += caption + " (was): " + previous.GetText(id);
}

}  // namespace

bool IsMarkupVariable(std::string_view name) { return EqualsIgnoreCase(name, "CourtesyHtml"); }

std::string LookupVariable(CRun& app, std::string_view name) {
  for (const ApplicationVariable& variable : kApplicationVariables) {
    if (EqualsIgnoreCase(name, variable.name)) return OrDash(variable.value(app));
  }
  if (EqualsIgnoreCase(name, "LastFetch")) return OrDash(LastFetch(app));

  std::string value;
  const CEntry* current = app.Slots().current;
  const CEntry* previous = app.Slots().previous;
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

std::string LastFetch(const CRun& app) {
  std::string out;
  for (std::size_t i = 0; i < app.LastFetch().urls.size(); ++i) {
    out += "***LastFetch(" + std::to_string(i + 1) + "): ";
    out += app.LastFetch().urls[i];
    out += "\r\n";
    if (i < app.LastFetch().pages.size()) out += app.LastFetch().pages[i];
    out += "\r\n";
  }
  return out;
}

CRules RulesOf(CRun& app) {
  return {app.Rules().text, [&app](std::string_view name) { return LookupVariable(app, name); },
          [&app](const std::string& message) {
            // Once until it is taken: a value used for every entry would fill the log.
            if (!app.Rules().value_error.empty()) return;
            app.Rules().value_error = message;
            app.Log().Write("%s\n", message.c_str());
          }};
}

std::string TakeRulesError(CRun& app) { return std::exchange(app.Rules().value_error, {}); }

std::string LookupRule(CRun& app, std::string_view section, std::optional<std::string_view> key) {
  return LookupRule(RulesOf(app), section, key);
}

std::string ExtractField(CRun& app, std::string_view page, std::string_view section,
                         std::string_view key, bool raw) {
  return ExtractField(RulesOf(app), page, section, key, raw);
}

void LoadRules(CRun& app) {
  const std::string& log_dir = app.Settings().LogDir.Text();
  CRulesInUse& rules = app.Rules();
  std::string passed_by;
  rules.text = ChooseRulesText(log_dir, &rules.office_file, &passed_by);
  rules.version = ValueAfterMarker(rules.text, kVersionMarker);
  rules.manifest.clear();
  const std::string office_path = OfficeRulesFilePath(log_dir);
  if (!passed_by.empty()) {
    app.Log().Write("Rules: %s is not used: %s\n", office_path.c_str(), passed_by.c_str());
  } else if (rules.office_file) {
    app.Log().Write(
        "Rules: the office's own %s, version %s, is in use; the publisher's rules are "
        "not fetched while it is there\n",
        office_path.c_str(), rules.version.c_str());
  } else if (!office_path.empty() && FileExists(office_path)) {
    app.Log().Write(
        "Rules: %s is not used: it does not begin with a version line or has no "
        "end-of-rules line\n",
        office_path.c_str());
  }
}

}  // namespace larkspire
