// A run of the client for one test: a temporary logging directory, settings in memory, an
// AppCore, and message boxes answered from a script and recorded.
#pragma once

#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "platform/SettingsBackend.h"
#include "support/TempDir.h"
#include "ui/QtUiHost.h"

namespace larkspire {

struct ShownBox {
  std::string text;
  std::string caption;
  MsgButtons buttons;
};

class CGuiFixture {
 public:
  // Settings given here are in place before AppCore reads them.
  explicit CGuiFixture(std::initializer_list<std::pair<std::string, std::string>> settings = {}) {
    backend.Write(kSettingsGroup, "LogDir", dir.Path());
    backend.Write(kSettingsGroup, "ReportDir", dir.Path());
    backend.Write(kSettingsGroup, "OrgName", "Example Patent Group");
    for (const auto& [name, value] : settings) backend.Write(kSettingsGroup, name, value);
    core = std::make_unique<AppCore>(backend, dir.File("larkspire"), "");
    SetMessageHookForTesting([this](const std::string& text, const std::string& caption,
                                    MsgButtons buttons, MsgAnswer default_answer) {
      boxes.push_back({text, caption, buttons});
      if (answers.empty()) return default_answer;
      MsgAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }
  ~CGuiFixture() { SetMessageHookForTesting(nullptr); }

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

  CTempDir dir;
  CMemorySettingsBackend backend;
  std::unique_ptr<AppCore> core;
  std::vector<ShownBox> boxes;
  std::deque<MsgAnswer> answers;
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

}  // namespace larkspire
