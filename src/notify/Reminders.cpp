#include "notify/Reminders.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "docket/Docket.h"
#include "entries/Entry.h"
#include "notify/MessageNames.h"
#include "notify/PendingList.h"
#include "notify/ReminderSchedule.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr std::string_view kRecordHeader = "Larkspire reminders 1";
constexpr std::size_t kKeyDigits = 16;
// The queued offsets of each deadline, by UID.
using CReminderRecord = std::map<std::string, std::set<int>>;

// A deadline's part of its reminders' names: UIDs may be longer than a name of the queue may
// be, so they go in as a 64-bit FNV-1a hash.
std::string MessageKey(std::string_view uid) {
  uint64_t hash = 14695981039346656037ULL;
  for (unsigned char c : uid) hash = (hash ^ c) * 1099511628211ULL;
  char digits[kKeyDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

std::string ReminderName(std::string_view uid, int offset) {
  return UnusedMessageName(kReminderKind, MessageKey(uid) + "-" + std::to_string(offset),
                           [](const std::string&) { return false; });
}

// A value from the docket goes into the message on one line, whatever the page held.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return text;
}

// "" when read (a missing file is an empty record), else what is wrong.
std::string LoadRecord(const std::string& path, CReminderRecord& record) {
  std::string bytes;
  if (!FileExists(path)) return "";
  if (!ReadWholeFile(path, bytes)) return "Can't read " + path + ".";
  std::string_view rest = bytes;
  bool header = true;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (header) {
      if (line != kRecordHeader) return path + " is not a record of reminders.";
      header = false;
      continue;
    }
    const std::size_t tab = line.find('\t');
    const std::string_view digits =
        tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    int offset = -1;
    const auto [stop, failure] =
        std::from_chars(digits.data(), digits.data() + digits.size(), offset);
    if (tab == 0 || digits.empty() || failure != std::errc() ||
        stop != digits.data() + digits.size() || offset < 0 || offset > kMaxReminderDays) {
      return path + " is damaged near \"" + std::string(line) + "\".";
    }
    record[std::string(line.substr(0, tab))].insert(offset);
  }
  return "";
}

std::string FormatRecord(const CReminderRecord& record) {
  std::string out(kRecordHeader);
  out += '\n';
  for (const auto& [uid, offsets] : record) {
    for (int offset : offsets) out += uid + '\t' + std::to_string(offset) + '\n';
  }
  return out;
}

std::string ReplaceName(std::string text, std::string_view name, const std::string& value) {
  const std::string marker = "[" + std::string(name) + "]";
  for (std::size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + value.size())) {
    text.replace(at, marker.size(), value);
  }
  return text;
}

// The reminder's message: the rules file's "templates" section, key "reminder", when it has
// one, else the built-in template; the deadline's own names are filled in after the others.
std::string ComposeReminder(CRun& app, const CDeadline& deadline, const CEntry* entry,
                            const CReminderDue& due, int32_t today) {
  std::string text;
  {
    CExpansionScope scope(app, entry);
    text = LookupRule(app, "templates", "reminder");
    if (text.empty()) {
      if (std::optional<std::string> built_in = LoadTemplate(kTemplateReminder)) {
        ExpandTemplate(app, *built_in, text);
      }
    }
  }
  std::string what = OneLine(deadline.what);
  if (!what.empty()) what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
  const std::string number = entry != nullptr && !entry->GetText(kAppNum).empty()
                                 ? entry->GetText(kAppNum)
                                 : deadline.entry_key;
  const std::pair<std::string_view, std::string> values[] = {
      {"DueWhen", DueWhenText(deadline.due, today, due.late)},
      {"DueWhat", what},
      {"DueDate", IsoDayText(deadline.due)},
      {"DueNumber", OneLine(number)},
      {"DueReference", OneLine(entry != nullptr ? entry->GetText(kReference) : deadline.reference)},
      {"DueLastDate", IsoDayText(std::max(deadline.last_date, deadline.due))},
      {"DueOpeningEvent", deadline.opening_event.empty() ? "-" : OneLine(deadline.opening_event)},
      {"DueOpenedOn", IsoDayText(deadline.opened_on)},
  };
  for (const auto& [name, value] : values) text = ReplaceName(std::move(text), name, value);
  return text;
}

}  // namespace

void QueueReminders(CRun& app) {
  const std::string dir = app.Settings().LogDir.Text();
  if (dir.empty()) return;
  const std::optional<std::string> setting =
      app.Settings().Backend().Read(kSettingsGroup, "ReminderDays");
  const std::optional<std::vector<int>> offsets =
      ParseReminderDays(setting ? *setting : kDefaultReminderDays);
  if (!offsets) {
    app.ShowError("Reminders Not Queued", "The ReminderDays setting \"" + *setting +
                                              "\" is not a list of days such as 30,7,1.");
    return;
  }
  const std::string record_path = JoinPath(dir, kReminderRecordName);
  CReminderRecord record;
  if (std::string problem = LoadRecord(record_path, record); !problem.empty()) {
    app.ShowError("Reminders Not Queued", problem + " It is left as it is.");
    return;
  }

  // Recorded but not listed: the run before was ended between the record and the list.
  for (const auto& [uid, queued] : record) {
    for (int offset : queued) {
      const std::string name = ReminderName(uid, offset);
      if (FileExists(JoinPath(dir, name)) && !PendingNameTaken(app, name)) {
        AddUncommittedMessage(app, name);
      }
    }
  }

  const int32_t today = TodayDayNumber();
  std::unordered_map<std::string, const CEntry*> entries;
  const auto entry_of = [&](const std::string& key) -> const CEntry* {
    if (entries.empty()) {
      for (std::size_t row = 0; row < app.Entries().Size(); ++row) {
        entries.emplace(app.Entries().At(row).Identifier(), &app.Entries().At(row));
      }
    }
    const auto found = entries.find(key);
    return found == entries.end() ? nullptr : found->second;
  };
  CReminderRecord kept;
  std::vector<std::string> written;
  std::string error;
  for (const CDeadline* deadline : app.Docket().OpenEarliestFirst()) {
    const std::string uid = deadline->Uid();
    const auto recorded = record.find(uid);
    std::set<int> queued = recorded == record.end() ? std::set<int>() : recorded->second;
    const std::optional<CReminderDue> due = DueReminder(
        deadline->due, deadline->opened_on, deadline->last_date, today, *offsets, queued);
    if (due && error.empty()) {
      const std::string name = ReminderName(uid, due->offset);
      const std::string message =
          ComposeReminder(app, *deadline, entry_of(deadline->entry_key), *due, today);
      if (!SaveFileAtomically(JoinPath(dir, name), message)) {
        error = "Can't create the reminder file " + name + ".";
      } else {
        app.Log().Write("Post E-Mail '%s'\n", name.c_str());
        written.push_back(name);
        queued.insert(due->offset);
      }
    }
    if (!queued.empty()) kept[uid] = std::move(queued);
  }
  // The record keeps the deadlines the docket still has (closed and done ones too: one undone
  // or opened again goes on where it was).
  for (const CDeadline& deadline : app.Docket().All()) {
    const std::string uid = deadline.Uid();
    if (!deadline.IsOpen() && record.contains(uid)) kept[uid] = record[uid];
  }
  if (kept != record && !SaveFileAtomically(record_path, FormatRecord(kept))) {
    error = "Can't write " + record_path + ".";
    for (const std::string& name : written) RemoveFile(JoinPath(dir, name));
    written.clear();
  }
  for (const std::string& name : written) AddUncommittedMessage(app, name);
  CommitEmailQueue(app);
  if (!error.empty()) app.ShowError("Reminders Not Queued", error);
}

bool CReminderCheck::StillWanted(std::string_view name) {
  if (MessageKind(name) != kReminderKind || app_.DocketReadOnly()) return true;
  if (!read_) {
    for (const CDeadline* deadline : app_.Docket().OpenEarliestFirst()) {
      open_keys_.insert(MessageKey(deadline->Uid()));
    }
    read_ = true;
  }
  const std::size_t key_at = name.find('_') + 1 + std::string_view(kReminderKind).size();
  return open_keys_.contains(std::string(name.substr(key_at, kKeyDigits)));
}

}  // namespace larkspire
