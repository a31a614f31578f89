#include "app/EntryCommands.h"

#include "app/AppCore.h"
#include "entries/DataFile.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

void RefreshList(AppCore& app) {
  if (app.Ui()) app.Ui()->RefreshList();
}

std::string DataFilePath(const AppCore& app) {
  return JoinPath(app.Settings().LogDir.Text(), kDataFileName);
}

}  // namespace

std::string AddEntry(AppCore& app, CEntry entry, int flags, std::size_t* added_row) {
  CEntryList& entries = app.Entries();
  if ((flags & kAddCheckDuplicate) && entries.FindDuplicate(entry)) {
    if (flags & kAddQuietDuplicate) return std::string();
    app.MessageBox(kDuplicateEntryMessage, MsgButtons::kOk, MsgAnswer::kOk, "Duplicate Entry");
    return kDuplicateEntryMessage;
  }
  std::size_t row = entries.Insert(entry);
  if (added_row) *added_row = row;
  if (!(flags & kAddNoRefresh)) RefreshList(app);
  if (!(flags & kAddNotify)) return std::string();
  CExpansionScope no_previous(nullptr, nullptr);
  return PostEmail(app, entry, kTemplateEntryAdded, "a");
}

std::string ReplaceEntry(AppCore& app, std::size_t row, CEntry entry, int flags) {
  CEntryList& entries = app.Entries();
  if (row >= entries.Size()) return std::string();
  const CEntry old = entries.At(row);
  entries.Replace(row, entry);
  if (app.Ui()) app.Ui()->RedrawRow(static_cast<int>(row));
  if (!(flags & kReplaceNotifyReference) || entry.CompareField(old, kReference) == 0) {
    return std::string();
  }
  CExpansionScope with_old(nullptr, &old);
  return PostEmail(app, entry, kTemplateEntryChanged, "c");
}

void DeleteSelectedEntries(AppCore& app) {
  CEntryList& entries = app.Entries();
  if (entries.SelectedCount() == 0) return;
  if (app.MessageBox("Are you sure that you want to delete these entries?", MsgButtons::kYesNo,
                     MsgAnswer::kNo) != MsgAnswer::kYes) {
    return;
  }
  bool notices_failed = false;
  for (std::size_t row = entries.Size(); row-- > 0;) {
    if (!entries.IsSelected(row)) continue;
    const CEntry entry = entries.At(row);
    entries.Remove(row);
    if (!notices_failed) {
      CExpansionScope no_previous(nullptr, nullptr);
      notices_failed = !PostEmail(app, entry, kTemplateEntryDeleted, "d").empty();
    }
  }
  RefreshList(app);
  SaveEntries(app);
}

void LoadEntries(AppCore& app) {
  std::string error;
  app.loaded = true;
  if (!app.Settings().LogDir.Text().empty() &&
      !LoadDataFile(DataFilePath(app), app.Entries(), error)) {
    app.loaded = false;
    app.MessageBox(error);
  }
  RefreshList(app);
}

bool SaveEntries(AppCore& app) {
  if (!app.loaded || app.Settings().LogDir.Text().empty()) return true;
  return SaveDataFile(DataFilePath(app), app.Entries());
}

}  // namespace larkspire
