// The main window: the entry list with its menus, the busy display, and the Details and TCP/IP
// windows. It is the core's UiHost. Commands that change entries or reach the network call
// the core; this class only decides when they may run and shows what they did.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include "ui/QtUiHost.h"
#include "ui/SortRules.h"

namespace larkspire {

class AppCore;
class CBusyPanel;
class CDetailsWindow;
class CEntryListView;
class CFlowWindow;
class CMainActions;

class CMainWindow : public QMainWindow, public CQtUiHost {
  Q_OBJECT

 public:
  // Initialisation: menus, list, busy display and tool windows; the data file and the rules
  // are loaded and the stored placement, column widths and sort applied.
  explicit CMainWindow(AppCore& core);
  ~CMainWindow() override;

  // UiHost.
  void BeginBusy(const std::string& caption, int range) override;
  void SetProgress(int position) override;
  void SetStatusText(const std::string& text) override;
  void EndBusy() override;
  void ShowTimeoutChoice(bool visible) override;
  void RedrawRow(int row) override;
  void RefreshList() override;
  void RefreshTitle() override;
  void RequestClose() override;

  // The first show: title and the top row; then the run closes when the data file was
  // rejected or nothing is configured yet, and an unattended run starts its work once the
  // event loop runs.
  void Start();

  // Runs one menu command by its identifier (see MainActions.h).
  void RunCommand(int command);
  // Sorting by any of the ways the user has; re-sorts only when the order changes.
  void SortBy(SortTrigger trigger, int field);
  // Double-click, Change menu items and the context menu's "Change ..." item.
  void EditColumn(int field);

  // Moves waiting TCP/IP flow lines into the TCP/IP window and lights the indicators; the
  // window's timer calls it every 100 ms.
  void DrainFlowLog();
  // The time-out watch, also on the 100 ms timer: the bar, and abort reason 2 once the time-out
  // has passed.
  void CheckTimeout();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Enabled and checked states of every command, after any change of the busy state, the
  // selection, the focused row or the sort.
  void RefreshCommandStates();
  // The list's next-deadline column and sort, and the Details window's Deadlines part.
  void ConnectDeadlines();
  // The header arrow on the sorted column, the way the Sort menu marks it.
  void ShowSortIndicator();
  void SelectionChanged();
  void ShowContextMenu(int field, const QPoint& global_pos);
  void OnTimeoutChosen(unsigned ms);
  // Window destruction's saving, once: the core's files, then placement, top row, widths and
  // sort. The accepted close does it; a window destroyed without one does it then.
  void SaveAtDestruction();

  void RunCoreCommand(int command);
  void AddEntryCommand();
  void DeleteCommand();
  void SetFrequencyCommand(int frequency);
  void ClearErrorCommand();
  void SelectAllCommand();
  void ClearLastUpdateEdit();
  void ChangeReferenceEdit();
  void OpenWebpageCommand();
  void OpenReportCommand();
  void ShowDetailsCommand();

  AppCore& core_;
  // No display: the window is never shown, and the busy display is the core's text progress.
  const bool headless_;
  CMainActions* actions_;
  CBusyPanel* busy_;
  CEntryListView* list_;
  CDetailsWindow* details_ = nullptr;
  CFlowWindow* flow_ = nullptr;
  QTimer tick_;
  bool saved_ = false;
};

// "Larkspire®", " - " and the organisation when set, and the advertisement of a newer program
// version when the rules file names one that differs from the running version.
std::string WindowTitle(const AppCore& core);

}  // namespace larkspire
