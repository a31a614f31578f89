// The main window's commands: each one checks what the window knows (selection, busy state),
// hands the work to the core, and shows the result in the list.
#include <QAction>
#include <QMenu>

#include "app/AppCore.h"
#include "app/Help.h"
#include "app/ProblemReport.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/Reports.h"
#include "retrieval/OdpKeyCheck.h"
#include "retrieval/UpdateDriver.h"
#include "ui/AboutBox.h"
#include "ui/AddReferenceDialog.h"
#include "ui/BusyPanel.h"
#include "ui/ConfigureCommand.h"
#include "ui/DetailsWindow.h"
#include "ui/EntryListView.h"
#include "ui/FlowWindow.h"
#include "ui/MainActions.h"
#include "ui/MainWindow.h"
#include "ui/ScheduleDialog.h"
#include "ui/UpgradeCommand.h"

namespace larkspire {

void CMainWindow::RunCoreCommand(int command) {
  switch (command) {
    case kCmdSendEmail:
      SendPendingEmail(core_, false, false);
      break;
    case kCmdDeleteEmail:
      SendPendingEmail(core_, false, true);
      break;
    case kCmdUpdateSelected:
    case kCmdUpdateAll:
      UpdateStatus(core_, command == kCmdUpdateSelected);
      RefreshList();
      break;
    case kCmdTestReturnAddress:
      SendTestEmail(core_, MailRecipient::kReturnAddress);
      break;
    case kCmdTestNotifyAddresses:
      SendTestEmail(core_, MailRecipient::kNotifyAddresses);
      break;
    case kCmdTestOdpKey:
      core_.MessageBox(CheckOdpKey(core_, ""), MsgButtons::kOk, MsgAnswer::kOk,
                       "Open Data Portal Key");
      break;
    case kCmdConfigure:
      RunConfigure(core_, this);
      RefreshTitle();
      break;
    case kCmdUpgrade:
      RunUpgrade(core_);
      break;
    case kCmdScheduleDailyRun:
      RunScheduleDailyRun(core_, this);
      break;
    case kCmdHelpContents:
      ShowHelp(core_);
      break;
    case kCmdGoToPublisher:
      GoToPublisherSite(core_);
      break;
    case kCmdReportProblem:
      ReportProblem(core_);
      break;
    case kCmdAbout:
      ShowAbout(core_, this);
      break;
    default:
      break;
  }
}

void CMainWindow::AddEntryCommand() {
  CEntry entry;
  CAddReferenceDialog dialog(this, core_, entry, [this](std::size_t listed) {
    CEntryList& entries = core_.Entries();
    entries.SelectAll(false);
    entries.SetSelected(listed, true);
    RefreshList();
    list_->FocusEntry(&entries.At(listed));
  });
  dialog.exec();
  if (!entry.Text(kError).empty()) return;
  std::size_t row = 0;
  if (!AddNewEntry(core_, std::move(entry), &row).empty()) return;
  // The new row alone is selected; the sort keeps the selection with it.
  CEntryList& entries = core_.Entries();
  entries.SelectAll(false);
  if (row < entries.Size()) entries.SetSelected(row, true);
  entries.Sort();
  RefreshList();
  const std::vector<std::size_t> selected = entries.SelectedRows();
  if (!selected.empty()) {
    const QModelIndex index = list_->model()->index(static_cast<int>(selected.front()), 0);
    list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    list_->scrollTo(index);
  }
}

void CMainWindow::DeleteCommand() {
  list_->setFocus();
  if (core_.Entries().SelectedCount() == 0) return;
  DeleteSelectedEntries(core_);
  RefreshList();
}

void CMainWindow::SetFrequencyCommand(int frequency) {
  const CEntry* focused = list_->FocusedEntry();
  SetSelectedFrequency(core_, frequency);
  RefreshList();
  list_->FocusEntry(focused);
}

void CMainWindow::ClearErrorCommand() {
  ClearSelectedErrors(core_);
  for (std::size_t row : core_.Entries().SelectedRows()) RedrawRow(static_cast<int>(row));
}

void CMainWindow::SelectAllCommand() {
  core_.Entries().SelectAll(true);
  RefreshList();
}

void CMainWindow::ClearLastUpdateEdit() {
  if (!ClearSelectedLastUpdates(core_)) return;
  for (std::size_t row : core_.Entries().SelectedRows()) RedrawRow(static_cast<int>(row));
}

void CMainWindow::ChangeReferenceEdit() {
  CEntryList& entries = core_.Entries();
  const std::vector<std::size_t> selected = entries.SelectedRows();
  if (selected.empty()) return;
  std::string value = entries.At(selected.front()).Text(kReference);
  if (!Prompt("Change", std::string(kFields[kReference].column_caption) + ":", value)) return;
  ChangeSelectedReferences(core_, value);
  for (std::size_t row : selected) RedrawRow(static_cast<int>(row));
}

void CMainWindow::OpenWebpageCommand() {
  const std::vector<std::size_t> selected = core_.Entries().SelectedRows();
  if (selected.size() != 1) return;
  // The address comes from the downloadable rules: hand only web addresses to the desktop,
  // never a local file or another kind of link.
  const std::string url = core_.Entries().At(selected.front()).StatusUrl();
  if (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) OpenDocument(url);
}

void CMainWindow::OpenReportCommand() {
  WriteReports(core_);
  OpenDocument(HtmlReportPath(core_));
}

void CMainWindow::ShowDetailsCommand() { details_->Present(); }

}  // namespace larkspire
