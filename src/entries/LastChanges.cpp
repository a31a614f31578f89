#include "entries/LastChanges.h"

#include <charconv>
#include <iterator>
#include <optional>

#include "entries/Entry.h"
#include "entries/TabFields.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr std::string_view kHeader = "Larkspire last changes 1";

std::string FilePath(const std::string& directory) {
  return JoinPath(directory, kLastChangesFileName);
}

}  // namespace

std::vector<CFieldChange> ChangedFields(const CEntry& was, const CEntry& now) {
  std::vector<CFieldChange> fields;
  for (int id : kChangeList) {
    if (CEntry::FieldDiffers(was, now, id))
      fields.push_back({id, was.GetText(id), now.GetText(id)});
  }
  return fields;
}

std::string FormatLastChanges(const LastChanges& changes) {
  std::string text(kHeader);
  text += '\n';
  for (const auto& [key, change] : changes) {
    text += Escaped(key) + '\t' + std::to_string(change.day) + '\n';
    for (const CFieldChange& field : change.fields) {
      text += '\t';
      text += kFields[field.field].key;
      text += '\t' + Escaped(field.was) + '\t' + Escaped(field.now) + '\n';
    }
  }
  return text;
}

bool ParseLastChanges(const std::string& text, LastChanges& changes) {
  changes.clear();
  std::string_view rest(text);
  if (!rest.starts_with(kHeader) || rest.substr(kHeader.size(), 1) != "\n") return false;
  rest.remove_prefix(kHeader.size() + 1);
  CLastChange* current = nullptr;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return false;  // a file cut short
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    const std::vector<std::string_view> parts = SplitTabs(line);
    if (parts.size() == 2) {
      const std::optional<std::string> key = Unescaped(parts[0]);
      int32_t day = 0;
      const auto [end_of_day, error] =
          std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), day);
      if (!key || key->empty() || error != std::errc() ||
          end_of_day != parts[1].data() + parts[1].size()) {
        return false;
      }
      current = &changes[*key];
      *current = {day, {}};
    } else if (parts.size() == 4 && parts[0].empty() && current != nullptr) {
      const int id = FindFieldByKey(parts[1]);
      std::optional<std::string> was = Unescaped(parts[2]);
      std::optional<std::string> now = Unescaped(parts[3]);
      if (id < 0 || !was || !now) return false;
      current->fields.push_back({id, std::move(*was), std::move(*now)});
    } else {
      return false;
    }
  }
  return true;
}

LastChanges ReadLastChanges(const std::string& directory) {
  LastChanges changes;
  std::string text;
  if (directory.empty() || !ReadWholeFile(FilePath(directory), text) ||
      !ParseLastChanges(text, changes)) {
    changes.clear();
  }
  return changes;
}

bool RecordLastChange(const std::string& directory, const CEntry& entry, CLastChange change) {
  if (directory.empty()) return false;
  LastChanges changes = ReadLastChanges(directory);
  std::erase_if(changes, [&change](const auto& record) {
    return change.day - record.second.day > kLastChangesKeptDays;
  });
  changes[entry.Identifier()] = std::move(change);
  return SaveFileAtomically(FilePath(directory), FormatLastChanges(changes));
}

const CLastChange* LastChangeOf(const LastChanges& changes, const CEntry& entry) {
  const auto found = changes.find(entry.Identifier());
  if (found == changes.end() || found->second.day != entry.last_change) return nullptr;
  return &found->second;
}

}  // namespace larkspire
