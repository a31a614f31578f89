#include "ui/MainActions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "entries/EntryList.h"
#include "ui/QtText.h"
#include "ui/SortRules.h"

namespace larkspire {
namespace {

constexpr const char* kFrequencyCaptions[] = {"&Daily", "&Weekly", "&Monthly", "&Yearly", "&Never"};

// Disabled while busy.
constexpr int kIdleOnly[] = {kCmdSelectAll,
                             kCmdAdd,
                             kCmdUpdateAll,
                             kCmdReport,
                             kCmdTestReturnAddress,
                             kCmdTestNotifyAddresses,
                             kCmdTestOdpKey,
                             kCmdConfigure,
                             kCmdUpgrade,
                             kCmdAbout,
                             kCmdReportProblem,
                             kCmdImport,
                             kCmdExport,
                             kCmdScheduleDailyRun};
// Disabled while busy or with no row selected.
constexpr int kNeedSelection[] = {
    kCmdDaily,  kCmdWeekly,     kCmdMonthly,        kCmdYearly,  kCmdNever,
    kCmdDelete, kCmdClearError, kCmdUpdateSelected, kCmdDetails, kCmdChangeField + kLastUpdate};
// Disabled while busy or unless exactly one row is selected.
constexpr int kNeedOneRow[] = {kCmdChangeField + kReference, kCmdWebpage};

}  // namespace

bool IsEditableField(int field_id) {
  return field_id == kFrequency || field_id == kLastUpdate || field_id == kReference;
}

CMainActions::CMainActions(QWidget* window, QMenuBar* menu_bar) : QObject(window) {
  QMenu* file = menu_bar->addMenu(tr("&File"));
  file->addAction(Add(kCmdSendEmail, tr("&Send E-Mail"), window));
  file->addAction(Add(kCmdDeleteEmail, tr("&Delete E-Mail"), window));
  file->addSeparator();
  file->addAction(Add(kCmdImport, tr("&Import..."), window));
  file->addAction(Add(kCmdExport, tr("Ex&port..."), window));
  file->addSeparator();
  file->addAction(Add(kCmdExit, tr("E&xit"), window));

  QMenu* edit = menu_bar->addMenu(tr("&Edit"));
  edit->addAction(Add(kCmdSelectAll, tr("Select &All"), window));
  Action(kCmdSelectAll)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  edit->addSeparator();
  edit->addAction(Add(kCmdAdd, tr("&Add..."), window));
  Action(kCmdAdd)->setShortcut(QKeySequence(Qt::Key_Insert));
  edit->addAction(Add(kCmdDelete, tr("&Delete"), window));
  Action(kCmdDelete)->setShortcut(QKeySequence(Qt::Key_Delete));
  QMenu* change = edit->addMenu(tr("&Change"));
  QMenu* frequency = change->addMenu(ToQt(kFields[kFrequency].menu_caption));
  // Without a focused row no frequency is marked, so one of them may be unmarked.
  QActionGroup* frequencies = RadioGroup(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int f = 0; f < 5; ++f) {
    QAction* action = Add(kCmdDaily + f, QString::fromLatin1(kFrequencyCaptions[f]), window);
    action->setCheckable(true);
    frequencies->addAction(action);
    frequency->addAction(action);
  }
  for (int id : {kLastUpdate, kReference}) {
    change->addAction(Add(kCmdChangeField + id, ToQt(kFields[id].menu_caption), window));
  }
  edit->addAction(Add(kCmdClearError, tr("Clear &Error"), window));

  QMenu* update = menu_bar->addMenu(tr("&Update"));
  update->addAction(Add(kCmdUpdateSelected, tr("&Selected"), window));
  Action(kCmdUpdateSelected)->setShortcut(QKeySequence(Qt::Key_F5));
  update->addAction(Add(kCmdUpdateAll, tr("&All"), window));
  Action(kCmdUpdateAll)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
  update->addSeparator();
  update->addAction(Add(kCmdCancel, tr("&Cancel"), window));
  Action(kCmdCancel)->setShortcut(QKeySequence(Qt::Key_Escape));

  QMenu* sort = menu_bar->addMenu(tr("&Sort"));
  QActionGroup* sort_fields = RadioGroup(QActionGroup::ExclusionPolicy::Exclusive);
  for (int id = 0; id < kFieldCount; ++id) {
    if (kFields[id].menu_caption == nullptr) continue;
    QAction* action = Add(kCmdSortByField + id, "By " + ToQt(kFields[id].menu_caption), window);
    action->setCheckable(true);
    sort_fields->addAction(action);
    sort->addAction(action);
  }
  QAction* by_deadline = Add(kCmdSortByField + kSortNextDeadline, tr("By &Next Deadline"), window);
  by_deadline->setCheckable(true);
  sort_fields->addAction(by_deadline);
  sort->addAction(by_deadline);
  sort->addSeparator();
  QActionGroup* directions = RadioGroup(QActionGroup::ExclusionPolicy::Exclusive);
  for (const auto& [command, text] :
       {std::pair{kCmdAscending, tr("&Ascending")}, std::pair{kCmdDescending, tr("&Descending")}}) {
    QAction* action = Add(command, text, window);
    action->setCheckable(true);
    directions->addAction(action);
    sort->addAction(action);
  }

  QMenu* view = menu_bar->addMenu(tr("&View"));
  view->addAction(Add(kCmdWebpage, tr("&Webpage"), window));
  Action(kCmdWebpage)->setShortcut(QKeySequence(Qt::Key_F9));
  view->addAction(Add(kCmdDetails, tr("&Details"), window));
  Action(kCmdDetails)->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  view->addAction(Add(kCmdReport, tr("&Report"), window));
  view->addAction(Add(kCmdLogFile, tr("&Log File"), window));
  view->addAction(Add(kCmdTcpIpFlow, tr("&TCP/IP Flow"), window));

  QMenu* test = menu_bar->addMenu(tr("&Test"));
  test->addAction(Add(kCmdTestReturnAddress, tr("Send E-Mail to &Return Address"), window));
  test->addAction(
      Add(kCmdTestNotifyAddresses, tr("Send E-Mail to &Notification Addresses"), window));
  test->addSeparator();
  test->addAction(Add(kCmdTestOdpKey, tr("Check Open Data Portal &Key"), window));

  QMenu* options = menu_bar->addMenu(tr("&Options"));
  options->addAction(Add(kCmdConfigure, tr("&Configure..."), window));
  options->addAction(Add(kCmdUpgrade, tr("&Upgrade"), window));
  options->addAction(Add(kCmdScheduleDailyRun, tr("&Schedule Daily Run..."), window));

  QMenu* help = menu_bar->addMenu(tr("&Help"));
  help->addAction(Add(kCmdHelpContents, tr("&Contents..."), window));
  Action(kCmdHelpContents)->setShortcut(QKeySequence(Qt::Key_F1));
  help->addAction(Add(kCmdGoToPublisher, tr("&Go to publisher's site"), window));
  help->addAction(Add(kCmdReportProblem, tr("&Report Problem..."), window));
  help->addSeparator();
  help->addAction(Add(kCmdAbout, tr("&About"), window));
}

QActionGroup* CMainActions::RadioGroup(QActionGroup::ExclusionPolicy policy) {
  // Items of an exclusive group are drawn as radio items; each is checkable.
  auto* group = new QActionGroup(this);
  group->setExclusionPolicy(policy);
  return group;
}

QAction* CMainActions::Add(int command, const QString& text, QWidget* window) {
  auto* action = new QAction(text, window);
  action->setData(command);
  // Shortcuts belong to the main window and its list, not to the tool windows.
  action->setShortcutContext(Qt::WindowShortcut);
  window->addAction(action);
  connect(action, &QAction::triggered, this, [this, command] { emit Triggered(command); });
  actions_[command] = action;
  return action;
}

QAction* CMainActions::Action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainActions::Apply(const CommandState& state) {
  for (auto& [command, action] : actions_) action->setEnabled(true);
  for (int command : kIdleOnly) Action(command)->setEnabled(!state.busy);
  for (int id = 0; id <= kSortNextDeadline; ++id) {
    if (QAction* action = Action(kCmdSortByField + id)) action->setEnabled(!state.busy);
  }
  Action(kCmdAscending)->setEnabled(!state.busy);
  Action(kCmdDescending)->setEnabled(!state.busy);
  for (int command : kNeedSelection) Action(command)->setEnabled(!state.busy && state.selected > 0);
  for (int command : kNeedOneRow) Action(command)->setEnabled(!state.busy && state.selected == 1);
  Action(kCmdSendEmail)->setEnabled(state.email_pending && !state.busy);
  Action(kCmdDeleteEmail)->setEnabled(state.email_pending && !state.busy);
  Action(kCmdCancel)->setEnabled(state.busy);

  for (int f = 0; f < 5; ++f) Action(kCmdDaily + f)->setChecked(state.focused_frequency == f);
  for (int id = 0; id <= kSortNextDeadline; ++id) {
    if (QAction* action = Action(kCmdSortByField + id)) action->setChecked(id == state.sort_field);
  }
  const bool ascending = IsAscending({state.sort_field, state.sort_reversed});
  Action(kCmdAscending)->setChecked(ascending);
  Action(kCmdDescending)->setChecked(!ascending);
}

QMenu* CMainActions::CreateFrequencyMenu(QWidget* parent) const {
  auto* menu = new QMenu(tr("Change &Frequency"), parent);
  for (int f = 0; f < 5; ++f) menu->addAction(Action(kCmdDaily + f));
  return menu;
}

QAction* CMainActions::ContextItem(int command, const QString& text, QMenu* menu) const {
  // The menu bar's items are named by their menu ("Update > Selected"); here they stand alone
  // and say in full what they do, with the same state and shortcut.
  QAction* source = Action(command);
  auto* item = new QAction(text, menu);
  item->setEnabled(source->isEnabled());
  item->setShortcut(source->shortcut());
  item->setShortcutContext(Qt::WidgetShortcut);
  connect(item, &QAction::triggered, source, &QAction::trigger);
  return item;
}

QMenu* CMainActions::CreateContextMenu(int field_id, QWidget* parent) const {
  auto* menu = new QMenu(parent);
  for (const auto& [command, text] :
       {std::pair{kCmdUpdateSelected, tr("Update &Selected")},
        std::pair{kCmdUpdateAll, tr("Update A&ll")}, std::pair{kCmdAdd, tr("&Add...")},
        std::pair{kCmdDelete, tr("&Delete")}, std::pair{kCmdClearError, tr("Clear &Error")},
        std::pair{kCmdWebpage, tr("View &Webpage")}, std::pair{kCmdDetails, tr("View De&tails")}}) {
    menu->addAction(ContextItem(command, text, menu));
  }
  if (!IsEditableField(field_id)) return menu;
  QAction* before = menu->actions().at(6);
  const QString caption = "Change " + ToQt(kFields[field_id].menu_caption);
  if (field_id == kFrequency) {
    QMenu* frequencies = CreateFrequencyMenu(menu);
    frequencies->setTitle(caption);
    menu->insertMenu(before, frequencies);
  } else {
    menu->insertAction(before, ContextItem(kCmdChangeField + field_id, caption, menu));
  }
  return menu;
}

}  // namespace larkspire
