// A user interface for core tests that answers from a script: message boxes take the next
// scripted answer (or their default when the script is used up), the prompt takes a scripted
// text or is cancelled, and everything shown is recorded.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/UiHost.h"

namespace larkspire {

class CScriptedUi : public UiHost {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MsgButtons buttons;
    MsgAnswer default_answer;
    MsgIcon icon;
  };

  MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                        MsgAnswer default_answer, MsgIcon icon) override {
    messages.push_back({text, caption, buttons, default_answer, icon});
    if (answers.empty()) return default_answer;
    const MsgAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void BeginBusy(const std::string& caption, int) override { busy_captions.push_back(caption); }
  void SetProgress(int) override {}
  void SetStatusText(const std::string& text) override { status_texts.push_back(text); }
  void EndBusy() override {}
  bool Prompt(const std::string& caption, const std::string& prompt, std::string& text) override {
    prompts.push_back({caption, prompt, text});
    if (!prompt_answer) return false;
    text = *prompt_answer;
    return true;
  }
  void RefreshTitle() override { ++title_refreshes; }
  void OpenDocument(const std::string& path_or_address) override {
    opened.push_back(path_or_address);
  }
  void RequestClose() override { ++close_requests; }
  void PumpEvents(int max_wait_ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(max_wait_ms));
  }

  // The texts of the message boxes shown so far.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Message& m : messages) texts.push_back(m.text);
    return texts;
  }

  struct PromptCall {
    std::string caption;
    std::string prompt;
    std::string initial;
  };

  std::deque<MsgAnswer> answers;
  std::optional<std::string> prompt_answer;
  std::vector<Message> messages;
  std::vector<PromptCall> prompts;
  std::vector<std::string> busy_captions;
  std::vector<std::string> status_texts;
  std::vector<std::string> opened;
  int title_refreshes = 0;
  int close_requests = 0;
};

}  // namespace larkspire
