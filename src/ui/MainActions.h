// The main window's commands as actions: the menu bar with every item, its accelerators, and
// the rules that enable, disable and check them. The rules are applied whenever the busy state,
// the selection or the sort changes, because a shortcut fires without its menu being opened.
#pragma once

#include <QActionGroup>
#include <QObject>
#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace larkspire {

struct SortOrder;

// Command identifiers: fixed commands from 32768 in menu order, field edits at 10000 + field
// id, sorting by a field at 10100 + field id. Commands the Windows program did not have follow
// its own, so its numbers stay as they were.
enum Command : int {
  kCmdSendEmail = 32768,
  kCmdDeleteEmail,
  kCmdExit,
  kCmdSelectAll,
  kCmdDaily,
  kCmdWeekly,
  kCmdMonthly,
  kCmdYearly,
  kCmdNever,
  kCmdAdd,
  kCmdDelete,
  kCmdClearError,
  kCmdUpdateSelected,
  kCmdUpdateAll,
  kCmdCancel,
  kCmdAscending,
  kCmdDescending,
  kCmdWebpage,
  kCmdDetails,
  kCmdReport,
  kCmdLogFile,
  kCmdTcpIpFlow,
  kCmdConfigure,
  kCmdUpgrade,
  kCmdTestReturnAddress,
  kCmdTestNotifyAddresses,
  kCmdHelpContents,
  kCmdGoToPublisher,
  kCmdReportProblem,
  kCmdAbout,
  kCmdImport,
  kCmdExport,
  kCmdTestOdpKey,
  kCmdScheduleDailyRun,
};
inline constexpr int kCmdChangeField = 10000;
inline constexpr int kCmdSortByField = 10100;

// The fields whose column can be edited: Frequency, Last Update and Reference.
bool IsEditableField(int field_id);

// What the enabled and checked states depend on.
struct CommandState {
  bool busy = false;
  std::size_t selected = 0;
  bool email_pending = false;
  int focused_frequency = -1;  // -1 without a focused row
  int sort_field = 0;
  bool sort_reversed = false;
};

class CMainActions : public QObject {
  Q_OBJECT

 public:
  // Creates the actions (parented to window, so their shortcuts work there) and the menus.
  CMainActions(QWidget* window, QMenuBar* menu_bar);

  // Null for an unknown id.
  QAction* Action(int command) const;
  void Apply(const CommandState& state);

  // The right-click menu: the list's usual commands in full ("Update Selected", "View Details")
  // with "Change " + caption of the column under the cursor when that column can be edited (a
  // submenu of frequencies for Frequency). The caller owns it.
  QMenu* CreateContextMenu(int field_id, QWidget* parent) const;
  // The frequency menu popped up by editing the Frequency column. The caller owns it.
  QMenu* CreateFrequencyMenu(QWidget* parent) const;

 signals:
  // Every action, with its command identifier.
  void Triggered(int command);

 private:
  QAction* Add(int command, const QString& text, QWidget* window);
  // Exclusive items (frequency, sort field, direction) show as radio items.
  QActionGroup* RadioGroup(QActionGroup::ExclusionPolicy policy);
  // A context-menu item with its own text that runs the command's action.
  QAction* ContextItem(int command, const QString& text, QMenu* menu) const;

  std::map<int, QAction*> actions_;
};

}  // namespace larkspire
