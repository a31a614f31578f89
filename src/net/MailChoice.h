// What each notification address receives. The office's MailMode ("each", the default, or
// "digest") says what every address receives; a choice stored beside an address (NotifyChoice)
// says it for that address alone. Messages are sorted into kinds so the addresses of a message
// can be picked when it is sent.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

enum class MailChoice {
  kAll,        // every notification, one mail each (what every address received before)
  kDeadlines,  // of the status changes, only those that open or close a deadline
  kReminders,  // of the status changes, none; deadline reminders and the rest
  kDigest,     // the run's digest in place of the status changes and new entries
};

enum class MailKind {
  kChange,          // a status change that neither opens nor closes a deadline
  kDeadlineChange,  // a status change that opens or closes a deadline
  kNewEntry,        // an entry added
  kReminder,        // a deadline reminder
  kDigest,          // a digest of runs' changes
  kOther,           // reference changes, deletions, test mails: every address, as before
};

inline constexpr const char* kMailModeEach = "each";
inline constexpr const char* kMailModeDigest = "digest";

// "all", "deadlines", "reminders", "digest" (any case); nothing for other text.
std::optional<MailChoice> ParseMailChoice(std::string_view text);
const char* MailChoiceName(MailChoice choice);
// The choice of an address without one: kDigest for a MailMode of "digest" (any case), else
// kAll.
MailChoice ChoiceOfMailMode(std::string_view mail_mode);

bool ChoiceReceives(MailChoice choice, MailKind kind);

// What an office wrote by hand into the settings file that this program does not know: a
// MailMode other than "each" or "digest", a NotifyChoice other than the four (the n-th choice
// is NotifyChoice<n>). Each is taken as if it were absent; a line per value says so.
std::vector<std::string> UnknownMailSettings(std::string_view mail_mode,
                                             const std::vector<std::string>& choices);

// The addresses and their choices: the i-th choice belongs to the i-th address; an address past
// the end of the choices, or with an empty or unknown choice, has the mode's.
struct CMailChoices {
  std::vector<std::string> addresses;
  std::vector<std::string> choices;
  MailChoice mode = MailChoice::kAll;

  MailChoice ChoiceAt(std::size_t index) const;
  // Whether any address (or, with none, the mode) has the choice.
  bool AnyChooses(MailChoice choice) const;
  // The addresses that receive the kind, joined with ", ".
  std::string Receivers(MailKind kind) const;
};

}  // namespace larkspire
