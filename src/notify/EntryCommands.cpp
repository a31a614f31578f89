#include "notify/EntryCommands.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "entries/DataFile.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "run/Run.h"

namespace larkspire {
namespace {

void RefreshList(CRun& app) {
  if (app.Ui()) app.Ui()->RefreshList();
}

std::string DataFilePath(const CRun& app) {
  return JoinPath(app.Settings().LogDir.Text(), kDataFileName);
}

// An entry keyed anew (a patent number learnt at the grant, an application number found for a
// patent) keeps its deadlines and their done marks under the new key.
void MoveDeadlines(CRun& app, const std::string& old_key, const std::string& new_key) {
  if (old_key == new_key || app.Docket().ForEntry(old_key).empty()) return;
  std::vector<CDeadline> deadlines = app.Docket().All();
  for (CDeadline& deadline : deadlines) {
    if (deadline.entry_key == old_key) deadline.entry_key = new_key;
  }
  app.Docket().Replace(std::move(deadlines));
  app.Status().docket_unsaved = true;
}

// The docket's changes are written before the data file that records the updates which made
// them: a kill between the two leaves the entries due again, and their next update finds the
// same events, which change the docket no further. The other order would lose a deadline for
// good, as an entry whose update was saved is not read again that day, and the Open Data
// Portal's unchanged applications not at all. A docket refused at the start is never written.
bool SaveDocketChanges(CRun& app) {
  if (!app.Status().docket_unsaved || app.DocketReadOnly()) return true;
  if (!app.SaveDocketNow()) return false;
  app.Status().docket_unsaved = false;
  return true;
}

}  // namespace

std::string AddEntry(CRun& app, CEntry entry, AddFlags flags, std::size_t* added_row) {
  CEntryList& entries = app.Entries();
  if (HasFlag(flags, AddFlags::kCheckDuplicate) && entries.FindDuplicate(entry)) {
    if (HasFlag(flags, AddFlags::kQuietDuplicate)) return std::string();
    app.MessageBox(kDuplicateEntryMessage, MsgButtons::kOk, MsgAnswer::kOk, "Duplicate Entry",
                   std::nullopt, MsgIcon::kWarning);
    return kDuplicateEntryMessage;
  }
  std::size_t row = entries.Insert(entry);
  if (added_row) *added_row = row;
  if (!HasFlag(flags, AddFlags::kNoRefresh)) RefreshList(app);
  if (!HasFlag(flags, AddFlags::kNotify)) return std::string();
  CExpansionScope no_previous(app, nullptr, nullptr);
  return PostEmail(app, entry, kTemplateEntryAdded, "a");
}

std::string ReplaceEntry(CRun& app, std::size_t row, CEntry entry, ReplaceNotice notice) {
  CEntryList& entries = app.Entries();
  if (row >= entries.Size()) return std::string();
  const CEntry old = entries.At(row);
  entries.Replace(row, entry);
  MoveDeadlines(app, old.Identifier(), entry.Identifier());
  if (app.Ui()) app.Ui()->RedrawRow(static_cast<int>(row));
  if (notice != ReplaceNotice::kReferenceChange || entry.CompareField(old, kReference) == 0) {
    return std::string();
  }
  CExpansionScope with_old(app, nullptr, &old);
  return PostEmail(app, entry, kTemplateEntryChanged, "c");
}

void DeleteSelectedEntries(CRun& app) {
  CEntryList& entries = app.Entries();
  if (entries.SelectedCount() == 0) return;
  if (app.MessageBox("Are you sure that you want to delete these entries?", MsgButtons::kYesNo,
                     MsgAnswer::kNo) != MsgAnswer::kYes) {
    return;
  }
  CEmailBatch notices(app);
  bool notices_failed = false;
  for (std::size_t row = entries.Size(); row-- > 0;) {
    if (!entries.IsSelected(row)) continue;
    const CEntry entry = entries.At(row);
    entries.Remove(row);
    if (app.Docket().RemoveEntry(entry.Identifier())) app.Status().docket_unsaved = true;
    if (!notices_failed) {
      CExpansionScope no_previous(app, nullptr, nullptr);
      notices_failed = !PostEmail(app, entry, kTemplateEntryDeleted, "d").empty();
    }
  }
  RefreshList(app);
  SaveEntries(app);
}

std::string AddNewEntry(CRun& app, CEntry entry, std::size_t* added_row) {
  const std::size_t before = app.Entries().Size();
  const std::string error =
      AddEntry(app, std::move(entry), AddFlags::kCheckDuplicate | AddFlags::kNotify, added_row);
  if (app.Entries().Size() != before) SaveEntries(app);
  return error;
}

void SetSelectedFrequency(CRun& app, int frequency) {
  CEntryList& entries = app.Entries();
  if (entries.SelectedCount() == 0) return;
  for (std::size_t row : entries.SelectedRows()) entries.At(row).frequency = frequency;
  entries.Sort();
  SaveEntries(app);
}

void ClearSelectedErrors(CRun& app) {
  CEntryList& entries = app.Entries();
  if (entries.SelectedCount() == 0) return;
  for (std::size_t row : entries.SelectedRows()) entries.At(row).SetText(kError, "");
  SaveEntries(app);
}

bool ClearSelectedLastUpdates(CRun& app) {
  const MsgAnswer answer = app.MessageBox(
      "Clearing the last update time will allow you to update the selected entries today.\n\n"
      "Do you want to clear the last update time?",
      MsgButtons::kYesNo, MsgAnswer::kNo, "Clear Last Update");
  if (answer != MsgAnswer::kYes) return false;
  CEntryList& entries = app.Entries();
  for (std::size_t row : entries.SelectedRows()) entries.At(row).ClearLastUpdate();
  SaveEntries(app);
  return true;
}

void ChangeSelectedReferences(CRun& app, const std::string& reference) {
  CEntryList& entries = app.Entries();
  const std::vector<std::size_t> selected = entries.SelectedRows();
  if (selected.empty()) return;
  for (std::size_t row : selected) {
    CEntry changed = entries.At(row);
    changed.SetText(kReference, reference);
    ReplaceEntry(app, row, std::move(changed), ReplaceNotice::kReferenceChange);
  }
  SaveEntries(app);
}

void LoadEntries(CRun& app) {
  std::string error;
  app.Status().loaded = true;
  if (!app.Settings().LogDir.Text().empty() &&
      !LoadDataFile(DataFilePath(app), app.Entries(), error)) {
    app.Status().loaded = false;
    app.MessageBox(error, MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt, MsgIcon::kWarning);
  }
  RefreshList(app);
}

bool SaveEntries(CRun& app) {
  if (!app.Status().loaded || app.Settings().LogDir.Text().empty()) return true;
  // A change is saved only once its notification is safely queued: a crash or a power cut
  // before that leaves the old file, and the next run finds the change and mails it again.
  if (!CommitEmailQueue(app)) return false;
  if (!SaveDocketChanges(app)) return false;
  const std::string path = DataFilePath(app);
  if (SaveDataFile(path, app.Entries())) return true;
  const std::string reason = std::system_category().message(errno);
  app.Status().had_failures = true;
  app.ShowError("Save Failed", "The application data file " + path + " could not be saved (" +
                                   reason + "); it keeps what it held before.");
  return false;
}

}  // namespace larkspire
