#include "ui/QtUiHost.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

#include "run/Log.h"
#include "run/Run.h"
#include "run/Terminal.h"
#include "ui/DocumentViewer.h"
#include "ui/MessageBoxTitle.h"
#include "ui/OpenWithDesktop.h"
#include "ui/PromptDialog.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

QMessageBox::StandardButton ToQt(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::kOk:
      return QMessageBox::Ok;
    case MsgAnswer::kCancel:
      return QMessageBox::Cancel;
    case MsgAnswer::kYes:
      return QMessageBox::Yes;
    case MsgAnswer::kNo:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

MsgAnswer FromQtButton(int button) {
  switch (button) {
    case QMessageBox::Cancel:
      return MsgAnswer::kCancel;
    case QMessageBox::Yes:
      return MsgAnswer::kYes;
    case QMessageBox::No:
      return MsgAnswer::kNo;
    default:
      return MsgAnswer::kOk;
  }
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return QMessageBox::Ok;
    case MsgButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MsgIcon icon, MsgButtons buttons) {
  if (icon == MsgIcon::kWarning) return QMessageBox::Warning;
  return buttons == MsgButtons::kOk ? QMessageBox::Information : QMessageBox::Question;
}

}  // namespace

CQtUiHost::CQtUiHost(QWidget* parent, CLog& log)
    : parent_(parent), log_(log), waker_(std::make_unique<QObject>()) {}

CQtUiHost::~CQtUiHost() = default;

void SetMessageHookForTesting(MessageHook hook) { Hook() = std::move(hook); }

bool IsHeadless() {
  return !Hook() && QGuiApplication::platformName() == QLatin1String("offscreen");
}

MsgAnswer ShowQtMessage(QWidget* parent, CLog* log, const std::string& text,
                        const std::string& caption, MsgButtons buttons, MsgAnswer default_answer,
                        MsgIcon icon) {
  if (Hook()) return Hook()(text, caption, buttons, default_answer);
  if (IsHeadless()) {
    // Nobody can answer: record the box and take its default, so the run goes on.
    if (log != nullptr) log->Write("Message box '%s' '%s'\n", caption.c_str(), text.c_str());
    PrintLine(stderr, caption + ": " + text);
    return default_answer;
  }
  return FromQtButton(
      BuildMessageBox(parent, text, caption, buttons, default_answer, icon)->exec());
}

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const std::string& text,
                                             const std::string& caption, MsgButtons buttons,
                                             MsgAnswer default_answer, MsgIcon icon) {
  auto box = std::make_unique<QMessageBox>(IconOf(icon, buttons), larkspire::ToQt(caption),
                                           larkspire::ToQt(text), ButtonsOf(buttons), parent);
  box->setTextFormat(Qt::PlainText);
  box->setDefaultButton(ToQt(default_answer));
  MakeRoomForTitle(*box);
  return box;
}

MsgAnswer CQtUiHost::ShowMessage(const std::string& text, const std::string& caption,
                                 MsgButtons buttons, MsgAnswer default_answer, MsgIcon icon) {
  return ShowQtMessage(parent_, &log_, text, caption, buttons, default_answer, icon);
}

bool CQtUiHost::Prompt(const std::string& caption, const std::string& prompt, std::string& text) {
  if (IsHeadless()) return false;
  return RunPrompt(parent_, caption, prompt, text);
}

void CQtUiHost::OpenDocument(const std::string& path_or_address) {
  OpenWithDesktop(larkspire::ToQt(path_or_address), waker_.get(), [this, path_or_address] {
    // A file is shown in the program's own viewer; what it cannot show (a web address, a file
    // that cannot be read) is said with the path, so the user can open it by hand.
    if (!IsHeadless() &&
        CDocumentViewer::Show(CDocumentViewer::LocalDocumentOf(path_or_address), parent_)) {
      return;
    }
    ShowQtMessage(parent_, &log_,
                  "Couldn't open " + path_or_address +
                      "\n\nThe desktop has no program set to open it; open it by hand.",
                  std::string(kCaption) + " - Open Failed", MsgButtons::kOk, MsgAnswer::kOk,
                  MsgIcon::kWarning);
  });
}

void CQtUiHost::PumpEvents(int max_wait_ms) {
  // Events are dispatched here, not in a nested event loop: once a quit has been asked for, Qt
  // ends every nested loop the moment it starts (the quit stays pending for the main loop), so
  // a wait made of nested loops would spin without handling the Cancel button or its timers.
  // Waiting for events with a timer that ends the slice keeps the quit for the main loop and
  // the wait alive until then.
  bool done = false;
  QTimer slice;
  slice.setSingleShot(true);
  QObject::connect(&slice, &QTimer::timeout, [&done] { done = true; });
  slice.start(max_wait_ms);
  // The outer wait's flag comes back however this one ends.
  struct CRestore {
    bool*& slot;
    bool* saved;
    ~CRestore() { slot = saved; }
  } restore{pump_done_, pump_done_};
  pump_done_ = &done;
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

void CQtUiHost::WakeUp() {
  // Queued to the user-interface thread, where the wait runs; when the wake-up is handled
  // outside a pump (the wait has ended already) it does nothing.
  QMetaObject::invokeMethod(
      waker_.get(),
      [this] {
        if (pump_done_ != nullptr) *pump_done_ = true;
      },
      Qt::QueuedConnection);
}

}  // namespace larkspire
