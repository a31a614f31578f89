#include "net/MailChoice.h"

#include "net/TextChecks.h"

namespace larkspire {
namespace {

constexpr const char* kChoiceNames[] = {"all", "deadlines", "reminders", "digest"};

bool SameIgnoringCase(std::string_view text, std::string_view word) {
  return text.size() == word.size() && StartsWithIgnoringCase(text, word);
}

}  // namespace

std::optional<MailChoice> ParseMailChoice(std::string_view text) {
  for (int k = 0; k < 4; ++k) {
    if (SameIgnoringCase(text, kChoiceNames[k])) return static_cast<MailChoice>(k);
  }
  return std::nullopt;
}

const char* MailChoiceName(MailChoice choice) { return kChoiceNames[static_cast<int>(choice)]; }

MailChoice ChoiceOfMailMode(std::string_view mail_mode) {
  return SameIgnoringCase(mail_mode, kMailModeDigest) ? MailChoice::kDigest : MailChoice::kAll;
}

std::vector<std::string> UnknownMailSettings(std::string_view mail_mode,
                                             const std::vector<std::string>& choices) {
  std::vector<std::string> lines;
  if (!mail_mode.empty() && !SameIgnoringCase(mail_mode, kMailModeEach) &&
      !SameIgnoringCase(mail_mode, kMailModeDigest)) {
    lines.push_back("MailMode \"" + std::string(mail_mode) +
                    "\" is neither each nor digest: each change is mailed on its own");
  }
  for (std::size_t k = 0; k < choices.size(); ++k) {
    if (!choices[k].empty() && !ParseMailChoice(choices[k])) {
      lines.push_back("NotifyChoice" + std::to_string(k + 1) + " \"" + choices[k] +
                      "\" is not all, deadlines, reminders or digest: its address receives "
                      "what MailMode gives");
    }
  }
  return lines;
}

bool ChoiceReceives(MailChoice choice, MailKind kind) {
  switch (kind) {
    case MailKind::kChange:
      return choice == MailChoice::kAll;
    case MailKind::kDeadlineChange:
      return choice == MailChoice::kAll || choice == MailChoice::kDeadlines;
    case MailKind::kNewEntry:
      return choice == MailChoice::kAll;
    case MailKind::kDigest:
      return choice == MailChoice::kDigest;
    case MailKind::kReminder:
    case MailKind::kOther:
      return true;
  }
  return true;
}

MailChoice CMailChoices::ChoiceAt(std::size_t index) const {
  if (index >= choices.size()) return mode;
  return ParseMailChoice(choices[index]).value_or(mode);
}

bool CMailChoices::AnyChooses(MailChoice choice) const {
  if (addresses.empty()) return mode == choice;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (ChoiceAt(i) == choice) return true;
  }
  return false;
}

std::string CMailChoices::Receivers(MailKind kind) const {
  std::string out;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (!ChoiceReceives(ChoiceAt(i), kind)) continue;
    if (!out.empty()) out += ", ";
    out += addresses[i];
  }
  return out;
}

}  // namespace larkspire
