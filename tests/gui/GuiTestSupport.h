// Helpers for the Qt Test programs: a window-less application object whose message boxes are
// answered by a script, and a way to act on a modal dialog once it is open.
#pragma once

#include <QApplication>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "notify/Variables.h"
#include "app/AppCore.h"
#include "platform/SettingsBackend.h"
#include "rules/RulesFile.h"
#include "ui/QtUiHost.h"

namespace larkspire {

// Runs act on the dialog of type T as soon as it is the active modal widget (the caller then
// opens it with exec()).
template <typename T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start();
}

// The Qt host, with documents recorded instead of opened.
class CTestQtUiHost : public CQtUiHost {
 public:
  explicit CTestQtUiHost(CLog& log) : CQtUiHost(nullptr, log) {}
  void OpenDocument(const std::string& path_or_address) override {
    opened.push_back(path_or_address);
  }
  void RequestClose() override { ++close_requests; }
  std::vector<std::string> opened;
  int close_requests = 0;
};

// An application object on in-memory settings whose message boxes are answered by rules: the
// first rule whose text fragment occurs in the message gives the answer, else the default.
class CGuiTestApp {
 public:
  explicit CGuiTestApp(std::string program_path = "/nonexistent/larkspire")
      : app_(std::make_unique<AppCore>(backend_, std::move(program_path), "")), ui_(app_->Log()) {
    LoadRules(*app_);
    app_->SetUi(&ui_);
    SetMessageHookForTesting([this](const std::string& text, const std::string& caption, MsgButtons,
                                    MsgAnswer default_answer) {
      messages.push_back(text);
      captions.push_back(caption);
      for (const auto& [fragment, answer] : answers) {
        if (text.find(fragment) != std::string::npos) return answer;
      }
      return default_answer;
    });
  }
  ~CGuiTestApp() {
    SetMessageHookForTesting(nullptr);
    app_->SetUi(nullptr);
  }

  AppCore& App() { return *app_; }
  CMemorySettingsBackend& Backend() { return backend_; }
  CTestQtUiHost& Ui() { return ui_; }

  std::vector<std::pair<std::string, MsgAnswer>> answers;
  std::vector<std::string> messages;
  std::vector<std::string> captions;

 private:
  CMemorySettingsBackend backend_;
  std::unique_ptr<AppCore> app_;
  CTestQtUiHost ui_;
};

}  // namespace larkspire
