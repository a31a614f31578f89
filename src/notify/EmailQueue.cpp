#include "notify/EmailQueue.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>
#include <vector>

#include "entries/Identifier.h"
#include "net/MailSession.h"
#include "net/PasswordScramble.h"
#include "net/SendMail.h"
#include "notify/Digest.h"
#include "notify/MessageNames.h"
#include "notify/PublisherConsent.h"
#include "notify/Reminders.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kActivityFileName = "Larkspire_activity.tmp";
constexpr const char* kTestFileName = "Larkspire_emailtest.txt";

// The part of a message file name after its first "_", which the busy display shows.
std::string ShortName(const std::string& name) {
  std::size_t underscore = name.find('_');
  return underscore == std::string::npos ? name : name.substr(underscore + 1);
}

bool IsWelcomeReport(const std::string& name) { return MessageKind(name) == kWelcomeKind; }

// Whether the send that failed with this error found the configured server unreachable.
bool MadeUnreachable(const CRun& app, const std::string& error) {
  return !error.empty() && app.Status().unreachable_mail_error == error &&
         app.Status().unreachable_mail_server == app.Settings().SmtpServer.Text();
}

// The error of the configured mail server when it already timed out or could not be reached
// in this unattended run; "" when it may be tried. A run with a user tries at each batch: the
// user may have put the server right meanwhile.
std::string UnreachableMailError(CRun& app) {
  const CRunStatus& status = app.Status();
  if (!status.auto_run || status.unreachable_mail_server != app.Settings().SmtpServer.Text()) {
    return "";
  }
  return status.unreachable_mail_error;
}

// The names of the list that are of the queue's own form; any other line is logged and
// dropped, never used as a path.
std::vector<std::string> AcceptedNames(CRun& app, const std::vector<std::string>& names) {
  std::vector<std::string> accepted;
  for (const std::string& name : names) {
    if (MessageKind(name)) {
      accepted.push_back(name);
    } else {
      app.Log().Write("Pending e-mail name refused '%s'\n", name.c_str());
    }
  }
  return accepted;
}

// Why SendEmail found nothing to send in the file.
std::string NothingToSendError(const std::string& path, const std::string& description) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    return "SendEmail: Can't read the e-mail file " + description + " (" +
           std::system_category().message(errno) + ").";
  }
  return "SendEmail: The e-mail file " + description + " holds no message.";
}

// After a failed try of the welcome report: true when that was the last try and the report is
// gone. A report to the publisher never matters more than the office's own mail, and one that
// can never be sent must not keep the queue (and the question at every close) for ever.
bool DropWelcomeReportAfterTries(CRun& app, const std::string& path, const std::string& error) {
  CSetting& tries = app.Settings().WelcomeReportTries;
  tries.Increment();
  if (tries.Int(0) < kWelcomeReportTries) return false;
  RemoveFile(path);
  app.Log().Write("Welcome report dropped after %lld failed tries '%s'\n", tries.Int(0),
                  error.c_str());
  tries.SetInt(0);
  return true;
}

// A welcome report queued without the user's yes (by a version that did not ask) leaves the
// queue unsent.
void DropUnagreedWelcomeReport(CRun& app, const std::string& path) {
  RemoveFile(path);
  app.Log().Write("Welcome report dropped: sending it was not agreed to '%s'\n", path.c_str());
}

// A name for a new message that no waiting one has, logged as posted.
std::string NewMessageName(CRun& app, const std::string& kind, const std::string& key) {
  const auto taken = [&app](const std::string& name) { return PendingNameTaken(app, name); };
  const std::string name = UnusedMessageName(kind, key, taken);
  app.Log().Write("Post E-Mail '%s'\n", name.c_str());
  return name;
}

// Writes the new message under the name and queues it, committed at once or with its batch.
std::string QueueMessageFile(CRun& app, const std::string& name, const std::string& text) {
  const std::string dir = app.Settings().LogDir.Text();
  const std::string path = JoinPath(dir, name);
  // The name is not queued, so nothing waiting is overwritten: the file is written as it is
  // and joins the list when committed.
  if (dir.empty() || !WriteFreshFile(path, text)) {
    return "PostEmail: Can't create the pending e-mail file.";
  }
  AddUncommittedMessage(app, name);
  if (!InEmailBatch(app) && !CommitPendingMessages(app)) {
    if (DropUncommittedMessage(app, name)) RemoveFile(path);
    return "PostEmail: Can't create the e-mail notification file.";
  }
  return "";
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

MailKind MailKindOf(std::string_view name) {
  const std::optional<std::string> kind = MessageKind(name);
  if (kind == "s") return MailKind::kChange;
  if (kind == kDeadlineChangeKind) return MailKind::kDeadlineChange;
  if (kind == "a") return MailKind::kNewEntry;
  if (kind == kReminderKind) return MailKind::kReminder;
  if (kind == kDigestKind) return MailKind::kDigest;
  return MailKind::kOther;
}

bool NobodyReceives(CRun& app, std::string_view name) {
  const CMailChoices choices = MailChoicesOf(app);
  return !choices.addresses.empty() && choices.Receivers(MailKindOf(name)).empty();
}

CMailAddresses MailAddressesOf(CRun& app, MailKind kind) {
  CExpansionScope no_entry(app, nullptr);
  CMailAddresses addresses{app.Settings().ReturnAddress.Text(), MailChoicesOf(app).Receivers(kind),
                           LookupRule(app, "location", "activity"),
                           LookupRule(app, "location", "support")};
  if (addresses.activity.empty()) addresses.activity = kDefaultActivityAddress;
  if (addresses.support.empty()) addresses.support = kDefaultSupportAddress;
  return addresses;
}

std::unique_ptr<CStartedSendEmail> StartSendingEmailFile(CRun& app, const std::string& path,
                                                         const std::string& description,
                                                         MailRecipient recipient,
                                                         CMailSession* session) {
  // A queued message's description is its name, which tells its kind.
  return std::make_unique<CStartedSendEmail>(app, MailServerOf(app),
                                             MailAddressesOf(app, MailKindOf(description)), path,
                                             description, recipient, session);
}

std::string FinishSendingEmailFile(CRun& app, CStartedSendEmail& started, const std::string& path,
                                   const std::string& description) {
  const bool was_fixed = app.TimeoutFixed();
  app.SetTimeoutFixed(true);
  const std::optional<std::string> result = started.Finish();
  app.SetTimeoutFixed(was_fixed);
  if (started.ServerUnreachable()) {
    app.Status().unreachable_mail_server = app.Settings().SmtpServer.Text();
    app.Status().unreachable_mail_error = *result;
  }
  // A file with nothing to send is not sent: it stays where it is, with its error.
  const std::string error = result ? *result : NothingToSendError(path, description);
  if (!result) app.Log().Write("Send E-Mail error '%s'\n", error.c_str());
  if (!error.empty()) {
    app.Settings().CountEmailBatchFailed.Increment();
  } else {
    app.Settings().CountEmailBatchSucceeded.Increment();
  }
  return error;
}

std::string SendEmailFile(CRun& app, const std::string& path, const std::string& description,
                          MailRecipient recipient, CMailSession* session) {
  const std::unique_ptr<CStartedSendEmail> started =
      StartSendingEmailFile(app, path, description, recipient, session);
  return FinishSendingEmailFile(app, *started, path, description);
}

bool EmailPending(const CRun& app) {
  return !app.Settings().LogDir.Text().empty() && CanReadFile(PendingListPath(app));
}

std::string PostEmail(CRun& app, const CEntry& entry, int template_number,
                      const std::string& kind) {
  // Where an address takes the digest, the status change or new entry is its item; the mail
  // of its own is still written when another address receives such mails.
  const bool digest_kind = kind == "s" || kind == "a";
  if (digest_kind && DigestWanted(app)) {
    const std::string error =
        PostDigestItem(app, entry, kind == "s" ? DigestItemKind::kChange : DigestItemKind::kNew);
    if (!error.empty()) app.ShowError("E-Mail Creation Failed", error);
    if (!error.empty() || !SingleMailsWanted(app)) return error;
  }
  std::string error;
  std::optional<std::string> text = LoadTemplate(template_number);
  const std::string dir = app.Settings().LogDir.Text();
  if (!text) {
    error = "PostEmail: Can't find e-mail template file.";
  } else {
    // One welcome report at most: a newer one replaces the one still waiting.
    const std::optional<std::string> waiting_welcome =
        kind == kWelcomeKind ? FirstWaitingName(app, IsWelcomeReport) : std::nullopt;
    const std::string name =
        waiting_welcome ? *waiting_welcome : NewMessageName(app, kind, FileSafeIdentifier(entry));
    if (kind == kWelcomeKind) app.Settings().WelcomeReportTries.SetInt(0);
    std::string message;
    {
      CExpansionScope scope(app, &entry, app.Slots().previous);
      ExpandTemplate(app, *text, message);
    }
    if (!waiting_welcome) {
      error = QueueMessageFile(app, name, message);
    } else if (dir.empty() || !SaveFileAtomically(JoinPath(dir, name), message)) {
      // The waiting report is replaced whole: a crash leaves its old text or the new.
      error = "PostEmail: Can't create the pending e-mail file.";
    }
  }
  if (!error.empty()) app.ShowError("E-Mail Creation Failed", error);
  return error;
}

std::string QueueMessage(CRun& app, const std::string& kind, const std::string& key,
                         const std::string& text) {
  return QueueMessageFile(app, NewMessageName(app, kind, key), text);
}

void MarkDeadlineChange(CRun& app, const CEntry& entry) {
  if (!MailChoicesOf(app).AnyChooses(MailChoice::kDeadlines)) return;
  const std::string stem = "Larkspire_s" + FileSafeIdentifier(entry);
  const std::vector<std::string>& written = UncommittedMessages(app);
  const auto posted = std::find_if(written.rbegin(), written.rend(), [&](const std::string& name) {
    return name.starts_with(stem) &&
           (name.compare(stem.size(), 1, ".") == 0 || name.compare(stem.size(), 1, "~") == 0);
  });
  if (posted == written.rend()) return;
  const std::string name = *posted;
  const std::string dir = app.Settings().LogDir.Text();
  const auto taken = [&](const std::string& candidate) {
    return PendingNameTaken(app, candidate) || FileExists(JoinPath(dir, candidate));
  };
  const std::string marked =
      UnusedMessageName(kDeadlineChangeKind, FileSafeIdentifier(entry), taken);
  // Renamed before it is listed: the list names the one or the other, never a file not there.
  if (std::rename(JoinPath(dir, name).c_str(), JoinPath(dir, marked).c_str()) != 0) return;
  DropUncommittedMessage(app, name);
  AddUncommittedMessage(app, marked);
  app.Log().Write("Post E-Mail '%s' opens or closes a deadline\n", marked.c_str());
}

bool SendPendingEmail(CRun& app, bool exiting, bool delete_mode) {
  const std::string dir = app.Settings().LogDir.Text();
  // Whatever was posted is in the list before the list is read.
  CommitEmailQueue(app);
  if (!delete_mode) ComposeQueuedDigest(app);
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

  const std::vector<std::string> names = AcceptedNames(app, ReadPendingNames(list_bytes));
  const bool activity_due = !delete_mode && !PublisherReportsRefused(app) &&
                            app.Settings().CountEmailBatchSucceeded.Int(0) % 5 == 0;
  const int first = activity_due ? 0 : 1;
  const int item_count = static_cast<int>(names.size()) + (activity_due ? 1 : 0);
  if (!delete_mode) app.BeginBusy("Sending E-Mail", item_count);
  // Let go of before any question is asked, however long it waits.
  std::optional<CLogKeptOpen> log_open(std::in_place, app.Log());
  // Over TLS the batch signs in once and sends every message in one session; the plain
  // dialogue keeps a session of its own for each message.
  CMailSession session;
  const bool secure = ParseMailSecurity(app.Settings().SmtpSecurity.Text()) != MailSecurity::kNone;
  CMailSession* batch_session = secure ? &session : nullptr;

  CReminderCheck reminders(app);
  std::vector<std::string> remainder;
  std::vector<std::string> publisher_reports_kept;
  // A server that made this run wait out its time-out (or could not be reached) is not tried
  // again: everything stays queued for the next run.
  std::string error = delete_mode ? "" : UnreachableMailError(app);
  if (!error.empty()) {
    app.Log().Write("Send E-Mail not tried: %zu message(s) stay queued for the next run '%s'\n",
                    names.size(), error.c_str());
  }
  for (int k = first; k <= static_cast<int>(names.size()); ++k) {
    std::string name;
    if (k == 0) {
      // The activity report is written afresh for the batch that sends it.
      if (!error.empty()) continue;
      bool found = false;
      std::string report = ExpandTemplateText(app, kTemplateActivity, found);
      if (!found || !SaveFileAtomically(JoinPath(dir, kActivityFileName), report)) continue;
      name = kActivityFileName;
    } else {
      name = names[static_cast<std::size_t>(k - 1)];
      if (IsWelcomeReport(name) && !delete_mode && !PublisherReportsAgreed(app)) {
        DropUnagreedWelcomeReport(app, JoinPath(dir, name));
        continue;
      }
    }
    // An item not composed into a digest waits for the next send; it never goes by itself.
    if (!error.empty() || (!delete_mode && MessageKind(name) == kDigestItemKind)) {
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
    // A name whose file is gone has nothing left to send: a run ended between sending a
    // message (and deleting its file) and rewriting the list. Kept, it would stop every later
    // batch; it leaves the list without counting as sent.
    if (!FileExists(path)) {
      app.Log().Write("Pending e-mail file missing '%s'\n", name.c_str());
      continue;
    }
    // A reminder whose deadline closed since it was queued has nothing left to remind of.
    if (k != 0 && !reminders.StillWanted(name)) {
      app.Log().Write("Reminder dropped, its deadline is closed '%s'\n", name.c_str());
      RemoveFile(path);
      continue;
    }
    const bool to_publisher = k == 0 || IsWelcomeReport(name);
    if (!to_publisher && NobodyReceives(app, name)) {
      app.Log().Write("No notification address receives this e-mail, it is not sent '%s'\n",
                      name.c_str());
      RemoveFile(path);
      continue;
    }
    std::string result = SendEmailFile(
        app, path, name, to_publisher ? MailRecipient::kActivity : MailRecipient::kNotifyAddresses,
        batch_session);
    if (result.empty()) {
      RemoveFile(path);
      if (k != 0 && to_publisher) app.Settings().WelcomeReportTries.SetInt(0);
    } else if (to_publisher) {
      // A mail server that will not relay outside the office must not hold back the office's
      // own notifications: the report is passed over (the welcome report stays queued for its
      // next tries).
      if (k != 0 && !DropWelcomeReportAfterTries(app, path, result)) {
        publisher_reports_kept.push_back(name);
      }
      // Passed over for a refusal of its own, never for a server every message would wait for.
      if (MadeUnreachable(app, result)) error = result;
    } else {
      error = result;
      remainder.push_back(name);
    }
  }
  session.End();
  remainder.insert(remainder.end(), publisher_reports_kept.begin(), publisher_reports_kept.end());
  if (remainder.empty()) {
    RemoveFile(PendingListPath(app));
  } else {
    SaveFileAtomically(PendingListPath(app), FormatPendingNames(remainder));
  }
  if (!delete_mode) app.EndBusy();
  log_open.reset();

  if (error.empty()) return true;
  app.Status().had_failures = true;
  const std::string& text = error;
  app.Log().Write("%s '%s'\n", "Send Nofications Failed", text.c_str());
  if (exiting) {
    return app.MessageBox(text + "\n\nDo you want to exit anyway?", MsgButtons::kYesNo,
                          MsgAnswer::kNo, "Send Nofications Failed",
                          MsgAnswer::kYes) == MsgAnswer::kYes;
  }
  app.MessageBox(text, MsgButtons::kOk, MsgAnswer::kOk, "Send Nofications Failed", std::nullopt,
                 MsgIcon::kWarning);
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
    const char* title = recipient == MailRecipient::kReturnAddress ? "Send E-Mail to Return Address"
                        : recipient == MailRecipient::kNotifyAddresses
                            ? "Send E-Mail to Notify Addresses"
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
