#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "app/AppCore.h"
#include "app/RunSequence.h"
#include "app/Upgrade.h"
#include "notify/EmailQueue.h"
#include "platform/Clock.h"
#include "rules/Dates.h"
#include "ui/BusyPanel.h"
#include "ui/ConfigureCommand.h"
#include "ui/CsvCommands.h"
#include "ui/DeadlinesPanel.h"
#include "ui/DetailsWindow.h"
#include "ui/EntryListView.h"
#include "ui/FlowWindow.h"
#include "ui/MainActions.h"
#include "ui/NextDeadlines.h"
#include "ui/ProgramIcon.h"
#include "ui/QtText.h"
#include "ui/UnhandledException.h"
#include "ui/WindowPlacement.h"

namespace larkspire {
namespace {

constexpr int kTickMs = 100;

PlacementSettings MainPlacement(CSettings& settings) {
  return {settings.Left, settings.Top, settings.Right, settings.Bottom};
}

}  // namespace

std::string WindowTitle(const AppCore& core) {
  std::string title = kCaption;
  const std::string& org = core.Settings().OrgName.Text();
  if (!org.empty()) title += " - " + org;
  return title + TitleVersionSuffix(core);
}

CMainWindow::CMainWindow(AppCore& core)
    : CQtUiHost(this, core.Log()),
      core_(core),
      headless_(core.Status().headless),
      actions_(new CMainActions(this, menuBar())),
      busy_(new CBusyPanel(this)),
      list_(new CEntryListView(core.Entries(), this)) {
  core_.SetUi(this);
  core_.FlowLog().SetEnabled(true);
  actions_->setObjectName("actions");
  busy_->setObjectName("busy");
  list_->setObjectName("entryList");
  // Nobody can see a window without a display: it is never shown, so nothing is laid out,
  // painted or rasterised for it, and its tool windows stay hidden as well.
  if (headless_) setAttribute(Qt::WA_DontShowOnScreen);
  // Its own, so the tool windows, which take the main window's, have it too.
  setWindowIcon(ProgramIcon());

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(busy_);
  layout->addWidget(list_, 1);
  setCentralWidget(central);
  resize(900, 560);

  connect(actions_, &CMainActions::Triggered, this, &CMainWindow::RunCommand);
  connect(&busy_->CancelButton(), &QPushButton::clicked, actions_->Action(kCmdCancel),
          &QAction::trigger);
  connect(busy_, &CBusyPanel::TimeoutChosen, this, &CMainWindow::OnTimeoutChosen);
  connect(list_, &CEntryListView::HeaderClicked, this,
          [this](int field) { SortBy(SortTrigger::kHeaderClick, field); });
  connect(list_, &CEntryListView::CellDoubleClicked, this, &CMainWindow::EditColumn);
  connect(list_, &CEntryListView::ContextMenuRequested, this, &CMainWindow::ShowContextMenu);
  connect(list_, &CEntryListView::SelectionEdited, this, &CMainWindow::SelectionChanged);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CMainWindow::RefreshCommandStates);
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
    connect(menu, &QMenu::aboutToShow, this, &CMainWindow::RefreshCommandStates);
  }

  // Placed first, so the tool windows can go beside it; they exist before the load, which
  // already asks the window to show the list.
  RestorePlacement(*this, MainPlacement(core_.Settings()));
  details_ = new CDetailsWindow(this, core_.Settings(), core_.Entries());
  flow_ = new CFlowWindow(this, core_);
  details_->setObjectName("details");
  flow_->setObjectName("tcpIpFlow");
  ConnectDeadlines();
  InitializeRun(core_);
  list_->RestoreColumnWidths(core_.Settings());
  list_->Reload();
  ShowSortIndicator();
  busy_->SetDate(FormatDayNumber(TodayDayNumber()));
  busy_->SetTimeoutChoice(core_.TimeoutMs());

  RefreshCommandStates();
  connect(&tick_, &QTimer::timeout, this, [this] {
    DrainFlowLog();
    CheckTimeout();
  });
  tick_.start(kTickMs);
}

CMainWindow::~CMainWindow() {
  if (!saved_) SaveAtDestruction();
  core_.FlowLog().SetEnabled(false);
  core_.SetUi(nullptr);
}

void CMainWindow::Start() {
  if (!headless_) {
    show();
    list_->ScrollToTopIndex(static_cast<int>(core_.Settings().TopIndex.Int()));
  }
  switch (DecideFirstShow(core_)) {
    case FirstShowAction::kClose:
      RequestClose();
      return;
    case FirstShowAction::kConfigure:
      RefreshTitle();
      // The first-run path: disclaimer, configuration, welcome report, installation step.
      QTimer::singleShot(0, this, [this] {
        if (RunConfigure(core_, this)) RefreshTitle();
        RefreshCommandStates();
      });
      return;
    case FirstShowAction::kRunInstallationAndUpdate:
      RefreshTitle();
      QTimer::singleShot(0, this, [this] {
        if (RunInstallationStep(core_, this, false)) StartUnattendedWork(core_);
        RefreshCommandStates();
      });
      return;
  }
}

void CMainWindow::ConnectDeadlines() {
  list_->SetDocket(core_.Docket());
  // One index of the docket per sort, so a sort reads each entry's next deadline once.
  core_.Entries().SetSortKeySource([this]() -> SortKeyOfEntry {
    auto next = std::make_shared<const CNextDeadlines>(core_.Docket());
    return [next](const CEntry& entry) -> int64_t {
      const CNextDeadline* found = next->Find(entry.Identifier());
      return found != nullptr ? found->due : INT64_MAX;
    };
  });
  auto* deadlines = new CDeadlinesPanel(core_, details_);
  deadlines->setObjectName("deadlines");
  details_->layout()->addWidget(deadlines);
  connect(details_, &CDetailsWindow::Refreshed, deadlines, &CDeadlinesPanel::Refresh);
  connect(deadlines, &CDeadlinesPanel::DocketChanged, this, [this] {
    CEntryList& entries = core_.Entries();
    const CEntry* focused = list_->FocusedEntry();
    if (entries.SortField() == kSortNextDeadline) entries.Sort();
    RefreshList();
    list_->FocusEntry(focused);
  });
}

// UiHost -------------------------------------------------------------------------------------

void CMainWindow::BeginBusy(const std::string& caption, int range) {
  if (headless_) {
    core_.TextProgress().Begin(caption, range);
    return;
  }
  busy_->Begin(caption, range);
  busy_->SetTimeoutChoice(core_.TimeoutMs());
  list_->setEnabled(false);
  RefreshCommandStates();
}

void CMainWindow::SetProgress(int position) {
  if (headless_) {
    core_.TextProgress().SetProgress(position);
  } else {
    busy_->SetProgress(position);
  }
}

void CMainWindow::SetStatusText(const std::string& text) {
  if (headless_) {
    core_.TextProgress().SetStatusText(text);
  } else {
    busy_->SetStatusText(text);
  }
}

void CMainWindow::EndBusy() {
  if (headless_) {
    core_.TextProgress().End();
    return;
  }
  busy_->End();
  list_->setEnabled(true);
  RefreshCommandStates();
}

void CMainWindow::ShowTimeoutChoice(bool visible) {
  if (!headless_) busy_->ShowTimeoutChoice(visible);
}

void CMainWindow::RedrawRow(int row) {
  if (headless_) return;
  list_->RedrawRow(row);
  details_->RequestDetailsRefresh();
}

void CMainWindow::RefreshList() {
  list_->Reload();
  ShowSortIndicator();
  details_->RequestDetailsRefresh();
  RefreshCommandStates();
}

void CMainWindow::RefreshTitle() { setWindowTitle(ToQt(WindowTitle(core_))); }

void CMainWindow::RequestClose() { QTimer::singleShot(0, this, &QWidget::close); }

// Events -------------------------------------------------------------------------------------

bool CMainWindow::event(QEvent* event) {
  try {
    return QMainWindow::event(event);
  } catch (...) {
    EndOnUnhandledException(this, std::current_exception());
  }
}

void CMainWindow::closeEvent(QCloseEvent* event) {
  if (saved_) return;
  // While busy the work stops at its next step and ends the busy period, which closes the
  // window; otherwise the pending e-mail decides.
  if (!ConfirmClose(core_)) {
    event->ignore();
    return;
  }
  SaveAtDestruction();
  event->accept();
  // Qt ends the event loop when the last window on a screen closes; one never shown ends it
  // itself.
  if (headless_) QCoreApplication::quit();
}

void CMainWindow::SaveAtDestruction() {
  saved_ = true;
  tick_.stop();
  details_->Retire();
  flow_->Retire();
  SaveAtExit(core_);
  CSettings& settings = core_.Settings();
  // A window nobody saw keeps the place, top row and column widths the user left.
  if (!headless_) {
    SavePlacement(*this, MainPlacement(settings));
    settings.TopIndex.SetInt(list_->TopIndex());
    list_->SaveColumnWidths(settings);
  }
  const int sort_field = core_.Entries().SortField();
  settings.SortBy.Set(SortFieldKey(sort_field));
  settings.SortReversed.SetInt(core_.Entries().SortReversed() ? 1 : 0);
  details_->hide();
  flow_->hide();
}

// State --------------------------------------------------------------------------------------

void CMainWindow::RefreshCommandStates() {
  CommandState state;
  state.busy = core_.Busy();
  state.selected = core_.Entries().SelectedCount();
  state.email_pending = !state.busy && EmailPending(core_);
  const int focused = list_->FocusedRow();
  if (focused >= 0 && static_cast<std::size_t>(focused) < core_.Entries().Size()) {
    state.focused_frequency = core_.Entries().At(static_cast<std::size_t>(focused)).frequency;
  }
  state.sort_field = core_.Entries().SortField();
  state.sort_reversed = core_.Entries().SortReversed();
  actions_->Apply(state);
  busy_->SetEmailPending(state.email_pending);
}

void CMainWindow::SelectionChanged() {
  details_->RequestDetailsRefresh();
  RefreshCommandStates();
}

void CMainWindow::OnTimeoutChosen(unsigned ms) {
  core_.Settings().Timeout.Set(TimeoutChoiceText(ms));
  // A transfer with a time-out of its own (the program download) keeps it.
  core_.ReloadTimeoutUnlessFixed();
}

void CMainWindow::DrainFlowLog() {
  const uint64_t now = MonotonicMillis();
  std::vector<std::string> texts;
  for (FlowLine& line : core_.FlowLog().Drain()) {
    if (!headless_ && line.activity == kFlowSent) busy_->LightSend(now);
    if (!headless_ && line.activity == kFlowReceived) busy_->LightReceive(now);
    texts.push_back(std::move(line.text));
  }
  flow_->AppendFlowLines(texts);
  if (!headless_) busy_->DimLights(now);
}

void CMainWindow::CheckTimeout() {
  if (!core_.NetworkWaiting()) return;
  const uint64_t elapsed = MonotonicMillis() - core_.NetworkWaitStart();
  if (!headless_) {
    busy_->SetTimeoutProgress(static_cast<int>(elapsed / 1000),
                              static_cast<int>(core_.TimeoutMs() / 1000));
  }
  if (core_.TimeoutElapsed() && !core_.AbortFlag()) core_.SetAbort(kAbortTimedOut);
}

// Sorting and column edits -------------------------------------------------------------------

void CMainWindow::ShowSortIndicator() {
  const CEntryList& entries = core_.Entries();
  list_->ShowSortIndicator(entries.SortField(),
                           IsAscending({entries.SortField(), entries.SortReversed()}));
}

void CMainWindow::SortBy(SortTrigger trigger, int field) {
  if (core_.Busy()) return;
  CEntryList& entries = core_.Entries();
  const SortOrder current{entries.SortField(), entries.SortReversed()};
  const SortOrder next = SortOrderAfter(current, trigger, field);
  if (next == current) return;
  const CEntry* focused = list_->FocusedEntry();
  entries.SetSort(next.field, next.reversed);
  RefreshList();
  list_->FocusEntry(focused);
}

void CMainWindow::EditColumn(int field) {
  if (core_.Busy()) return;
  switch (field) {
    case kFrequency: {
      QMenu* menu = actions_->CreateFrequencyMenu(this);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->popup(QCursor::pos());
      break;
    }
    case kLastUpdate:
      ClearLastUpdateEdit();
      break;
    case kReference:
      ChangeReferenceEdit();
      break;
    default:
      core_.MessageBox("This column cannot be edited.");
      break;
  }
}

void CMainWindow::ShowContextMenu(int field, const QPoint& global_pos) {
  RefreshCommandStates();
  QMenu* menu = actions_->CreateContextMenu(field, this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(global_pos);
}

void CMainWindow::RunCommand(int command) {
  if (command >= kCmdSortByField && command <= kCmdSortByField + kSortNextDeadline) {
    SortBy(SortTrigger::kByField, command - kCmdSortByField);
  } else if (command >= kCmdChangeField && command < kCmdChangeField + kFieldCount) {
    EditColumn(command - kCmdChangeField);
  } else if (command >= kCmdDaily && command <= kCmdNever) {
    SetFrequencyCommand(command - kCmdDaily);
  } else {
    switch (command) {
      case kCmdExit:
        close();
        break;
      case kCmdSelectAll:
        SelectAllCommand();
        break;
      case kCmdAdd:
        AddEntryCommand();
        break;
      case kCmdDelete:
        DeleteCommand();
        break;
      case kCmdClearError:
        ClearErrorCommand();
        break;
      case kCmdCancel:
        if (core_.Busy()) core_.SetAbort(kAbortCanceled);
        break;
      case kCmdAscending:
        SortBy(SortTrigger::kAscending, 0);
        break;
      case kCmdDescending:
        SortBy(SortTrigger::kDescending, 0);
        break;
      case kCmdWebpage:
        OpenWebpageCommand();
        break;
      case kCmdDetails:
        ShowDetailsCommand();
        break;
      case kCmdReport:
        OpenReportCommand();
        break;
      case kCmdLogFile:
        OpenDocument(core_.Log().Path());
        break;
      case kCmdTcpIpFlow:
        flow_->Present();
        break;
      case kCmdImport:
        ImportListCommand(core_, this);
        break;
      case kCmdExport:
        ExportListCommand(core_, this);
        break;
      default:
        RunCoreCommand(command);
        break;
    }
  }
  RefreshCommandStates();
}

}  // namespace larkspire
