// The last link of the fixture chain: the test run with the Qt client around it, for the Qt Test
// programs. Message boxes take the way the window's take (through the message hook) and reach
// the scripted user interface, which records and answers them; without a main window the run's
// door is the window-less Qt host, whose opened documents and close requests are recorded there
// too. Also: an entry as the list shows it, and acting on a modal dialog once it is open.
#pragma once

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"
#include "ui/QtUiHost.h"

namespace larkspire {

// Comes first among the bases, so the settings can name the directory before the run reads them.
struct CGuiTestDir {
  CTempDir dir;
};

class CGuiTestApp : public CGuiTestDir, public CNetTestAppOf<AppCore> {
 public:
  // A configured run in a temporary directory: the logging and report directory there, an
  // organisation name, and the given settings on top.
  explicit CGuiTestApp(std::initializer_list<std::pair<std::string, std::string>> settings = {})
      : CNetTestAppOf<AppCore>(std::nullopt, dir.File("larkspire"), Configured(dir, settings)),
        door_(*this) {
    Start();
  }
  // A run with nothing configured yet, started from the given program file.
  struct Unconfigured {};
  explicit CGuiTestApp(Unconfigured, std::string program_path = "/nonexistent/larkspire")
      : CNetTestAppOf<AppCore>(std::nullopt, std::move(program_path)), door_(*this) {
    Start();
  }
  ~CGuiTestApp() {
    SetMessageHookForTesting(nullptr);
    App().SetUi(nullptr);
  }

  // The lines of the pending e-mail list, without their line ends.
  std::vector<std::string> PendingList() const {
    std::ifstream in(dir.File("Larkspire_pending.tmp"), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

 private:
  class CDoor : public CQtUiHost {
   public:
    explicit CDoor(CGuiTestApp& test) : CQtUiHost(nullptr, test.App().Log()), test_(test) {}
    void OpenDocument(const std::string& path_or_address) override {
      test_.Ui().OpenDocument(path_or_address);
    }
    void RequestClose() override { test_.Ui().RequestClose(); }

   private:
    CGuiTestApp& test_;
  };

  static TestSettings Configured(
      const CTempDir& dir, std::initializer_list<std::pair<std::string, std::string>> settings) {
    TestSettings all = {
        {"LogDir", dir.Path()}, {"ReportDir", dir.Path()}, {"OrgName", "Example Patent Group"}};
    all.insert(all.end(), settings.begin(), settings.end());
    return all;
  }

  void Start() {
    App().SetUi(&door_);
    SetMessageHookForTesting([this](const std::string& text, const std::string& caption,
                                    MsgButtons buttons, MsgAnswer default_answer) {
      return Ui().ShowMessage(text, caption, buttons, default_answer, MsgIcon::kDefault);
    });
  }

  CDoor door_;
};

// An entry with a reference, an application number and the other fields the list shows.
inline CEntry MakeEntry(const std::string& reference, const std::string& app_num,
                        const std::string& filed = "", const std::string& examiner = "") {
  CEntry entry;
  entry.SetText(kReference, reference);
  entry.SetText(kAppNum, app_num);
  entry.SetText(kFilingDate, filed);
  entry.SetText(kExaminer, examiner);
  return entry;
}

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

}  // namespace larkspire
