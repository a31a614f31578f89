#include "notify/EmailQueue.h"

#include <strings.h>

#include <vector>

#include "run/Run.h"
#include "net/SendMail.h"
#include "net/PasswordScramble.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "entries/Identifier.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

constexpr const char* kActivityFileName = "Larkspire_activity.tmp";
constexpr const char* kTestFileName = "Larkspire_emailtest.txt";
constexpr const char* kWelcomeSuffix = "welcome.tmp";

std::string PendingListPath(const CRun& app) {
  return JoinPath(app.Settings().LogDir.Text(), kPendingListName);
}

// The list's names in order; a last line without a line end counts, empty lines do not.
std::vector<std::string> ReadPendingNames(const std::string& bytes) {
  std::vector<std::string> names;
  std::string text = FromTextMode(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

std::string FormatPendingNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return ToTextMode(text);
}

// The part of a message file name after its first "_", which the busy display shows.
std::string ShortName(const std::string& name) {
  std::size_t underscore = name.find('_');
  return underscore == std::string::npos ? name : name.substr(underscore + 1);
}

bool IsWelcomeReport(const std::string& name) {
  return strcasecmp(ShortName(name).c_str(), kWelcomeSuffix) == 0;
}

// A notification must never replace one still waiting: the same kind for the same entry
// queued twice before a send gets "~2", "~3", ... before ".tmp".
std::string UnusedMessageName(const std::string& base, const std::vector<std::string>& queued) {
  auto taken = [&](const std::string& name) {
    for (const std::string& q : queued) {
      if (q == name) return true;
    }
    return false;
  };
  std::string name = base + ".tmp";
  for (int n = 2; taken(name); ++n) name = base + "~" + std::to_string(n) + ".tmp";
  return name;
}

std::string ExpandTemplateText(CRun& app, int template_number, bool& found) {
  std::optional<std::string> text = LoadTemplate(template_number);
  found = text.has_value();
  std::string out;
  if (found) ExpandTemplate(app, *text, out);
  return out;
}

}  // namespace

CMailServer MailServerOf(CRun& app) {
  const CSettings& settings = app.Settings();
  return {settings.SmtpServer.Text(),
          settings.UserName.Text(),
          UnscramblePassword(settings.Password.Text()),
          settings.ReturnAddress.Text(),
          kAppName,
          ParseMailSecurity(settings.SmtpSecurity.Text()),
          ParseMailAuth(settings.SmtpAuth.Text()),
          settings.SmtpTokenCommand.Text(),
          settings.CaFile.Text()};
}

CMailAddresses MailAddressesOf(CRun& app) {
  CExpansionScope no_entry(app, nullptr);
  CMailAddresses addresses{app.Settings().ReturnAddress.Text(),
                           app.Settings().NotifyAddress.Joined(),
                           LookupRule(app, "location", "activity"),
                           LookupRule(app, "location", "support")};
  if (addresses.activity.empty()) addresses.activity = kDefaultActivityAddress;
  if (addresses.support.empty()) addresses.support = kDefaultSupportAddress;
  return addresses;
}

std::string SendEmailFile(CRun& app, const std::string& path, const std::string& description,
                          MailRecipient recipient) {
  const bool was_fixed = app.TimeoutFixed();
  app.SetTimeoutFixed(true);
  const std::optional<std::string> result =
      SendEmail(app, MailServerOf(app), MailAddressesOf(app), path, description, recipient);
  app.SetTimeoutFixed(was_fixed);
  if (!result) return std::string();
  const std::string& error = *result;
  if (!error.empty()) {
    app.Settings().CountEmailBatchFailed.Increment();
  } else {
    app.Settings().CountEmailBatchSucceeded.Increment();
  }
  return error;
}

bool EmailPending(const CRun& app) {
  if (app.Settings().LogDir.Text().empty()) return false;
  std::string bytes;
  return ReadWholeFile(PendingListPath(app), bytes);
}

std::string PostEmail(CRun& app, const CEntry& entry, int template_number,
                      const std::string& kind) {
  std::string error;
  std::optional<std::string> text = LoadTemplate(template_number);
  const std::string dir = app.Settings().LogDir.Text();
  if (!text) {
    error = "PostEmail: Can't find e-mail template file.";
  } else {
    std::string list_bytes;
    ReadWholeFile(PendingListPath(app), list_bytes);
    std::vector<std::string> queued = ReadPendingNames(list_bytes);
    const std::string name = UnusedMessageName("Larkspire_" + kind + FileSafeIdentifier(entry),
                                               queued);
    app.Log().Write("Post E-Mail '%s'\n", name.c_str());
    std::string message;
    {
      CExpansionScope scope(app, &entry, app.Slots().previous);
      ExpandTemplate(app, *text, message);
    }
    const std::string path = JoinPath(dir, name);
    if (dir.empty() || !SaveFileAtomically(path, message)) {
      error = "PostEmail: Can't create the pending e-mail file.";
    } else {
      queued.push_back(name);
      // The list is replaced whole, so a crash leaves either the old or the new list.
      if (!SaveFileAtomically(PendingListPath(app), FormatPendingNames(queued))) {
        RemoveFile(path);
        error = "PostEmail: Can't create the e-mail notification file.";
      } else {
        app.Settings().CountEmailPost.Increment();
      }
    }
  }
  if (!error.empty()) app.ShowError("E-Mail Creation Failed", error);
  return error;
}

bool SendPendingEmail(CRun& app, bool exiting, bool delete_mode) {
  const std::string dir = app.Settings().LogDir.Text();
  std::string list_bytes;
  if (dir.empty() || !ReadWholeFile(PendingListPath(app), list_bytes)) {
    if (!exiting) app.MessageBox("There aren't any e-mail notifications waiting to be sent.");
    return true;
  }
  if (delete_mode) {
    if (app.MessageBox("Do you really want to delete the pending e-mail notifications?",
                       MsgButtons::kYesNo, MsgAnswer::kNo, "", MsgAnswer::kNo) != MsgAnswer::kYes) {
      return false;
    }
  } else if (exiting && !app.Status().auto_run) {
    // An unattended run sends without asking: asking would end it and nothing would be sent.
    MsgAnswer answer =
        app.MessageBox("There are e-mail notifications waiting to be sent. Send them now?",
                       MsgButtons::kYesNoCancel, MsgAnswer::kYes, "", MsgAnswer::kNo);
    if (answer == MsgAnswer::kCancel) return false;
    if (answer == MsgAnswer::kNo) return true;
  }

  const std::vector<std::string> names = ReadPendingNames(list_bytes);
  const bool activity_due =
      !delete_mode && app.Settings().CountEmailBatchSucceeded.Int(0) % 5 == 0;
  const int first = activity_due ? 0 : 1;
  const int item_count = static_cast<int>(names.size()) + (activity_due ? 1 : 0);
  if (!delete_mode) app.BeginBusy("Sending E-Mail", item_count);

  std::vector<std::string> remainder;
  std::vector<std::string> publisher_reports_kept;
  std::string error;
  for (int k = first; k <= static_cast<int>(names.size()); ++k) {
    std::string name;
    if (k == 0) {
      bool found = false;
      std::string report = ExpandTemplateText(app, kTemplateActivity, found);
      if (!found || !SaveFileAtomically(JoinPath(dir, kActivityFileName), report)) continue;
      name = kActivityFileName;
    } else {
      name = names[static_cast<std::size_t>(k - 1)];
    }
    if (!error.empty()) {
      remainder.push_back(name);
      continue;
    }
    if (app.Ui()) {
      app.Ui()->SetProgress(k - first);
      app.Ui()->SetStatusText(ShortName(name));
    }
    const std::string path = JoinPath(dir, name);
    if (delete_mode) {
      RemoveFile(path);
      continue;
    }
    const bool to_publisher = k == 0 || IsWelcomeReport(name);
    std::string result = SendEmailFile(
        app, path, name,
        to_publisher ? MailRecipient::kActivity : MailRecipient::kNotifyAddresses);
    if (result.empty()) {
      RemoveFile(path);
    } else if (to_publisher) {
      // A mail server that will not relay outside the office must not hold back the office's
      // own notifications: the report is passed over (the welcome report stays queued).
      if (k != 0) publisher_reports_kept.push_back(name);
    } else {
      error = result;
      remainder.push_back(name);
    }
  }
  remainder.insert(remainder.end(), publisher_reports_kept.begin(), publisher_reports_kept.end());
  if (remainder.empty()) {
    RemoveFile(PendingListPath(app));
  } else {
    SaveFileAtomically(PendingListPath(app), FormatPendingNames(remainder));
  }
  if (!delete_mode) app.EndBusy();

  if (error.empty()) return true;
  app.Status().had_failures = true;
  std::string text = error;
  if (!text.empty() && text[0] == '!') text.erase(0, 1);
  app.Log().Write("%s '%s'\n", "Send Nofications Failed", text.c_str());
  if (exiting) {
    return app.MessageBox(text + "\n\nDo you want to exit anyway?", MsgButtons::kYesNo,
                          MsgAnswer::kNo, "Send Nofications Failed",
                          MsgAnswer::kYes) == MsgAnswer::kYes;
  }
  app.MessageBox(text, MsgButtons::kOk, MsgAnswer::kOk, "Send Nofications Failed");
  return true;
}

std::string SendTemplateNow(CRun& app, int template_number, MailRecipient recipient,
                            bool show_result) {
  const std::string dir = app.Settings().LogDir.Text();
  const std::string path = JoinPath(dir, kTestFileName);
  bool found = false;
  std::string message;
  {
    CExpansionScope scope(app, nullptr);
    message = ExpandTemplateText(app, template_number, found);
  }
  std::string error;
  if (dir.empty() || !SaveFileAtomically(path, message)) {
    error = "Can't create the temporary e-mail file.";
  } else {
    const char* title =
        recipient == MailRecipient::kReturnAddress     ? "Send E-Mail to Return Address"
        : recipient == MailRecipient::kNotifyAddresses ? "Send E-Mail to Notify Addresses"
                                                       : "Send E-Mail";
    app.BeginBusy(title, 1);
    if (app.Ui()) app.Ui()->SetStatusText("");
    error = SendEmailFile(app, path, kTestFileName, recipient);
    RemoveFile(path);
    app.EndBusy();
  }
  if (show_result) {
    if (!error.empty()) {
      app.ShowError("E-Mail Failed", error);
    } else {
      app.MessageBox("E-mail was sent successfully.");
    }
  }
  return error;
}

}  // namespace larkspire
