// The user interface of every test run: it records everything shown, answers message boxes and
// the prompt from a script, and pumps the way the window does, letting the test act after
// each pump as the window would (its timer, the Cancel button).
//
// A message box is answered by the first rule whose text fragment occurs in its text, else by
// the next scripted answer, else with its default.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
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
  struct PromptCall {
    std::string caption;
    std::string prompt;
    std::string initial;
  };

  MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                        MsgAnswer default_answer, MsgIcon icon) override {
    messages.push_back({text, caption, buttons, default_answer, icon});
    for (const auto& [fragment, answer] : answer_when) {
      if (text.find(fragment) != std::string::npos) return answer;
    }
    if (answers.empty()) return default_answer;
    const MsgAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void BeginBusy(const std::string& caption, int range) override {
    busy_captions.push_back(caption);
    busy_ranges.push_back(range);
  }
  void SetProgress(int) override {}
  void SetStatusText(const std::string& text) override { status_texts.push_back(text); }
  void EndBusy() override { ++busy_ends; }
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
  // Waits like the windowless run: until the time is up or a worker wakes the pump.
  void PumpEvents(int max_wait_ms) override {
    {
      std::unique_lock<std::mutex> lock(wake_->mutex);
      wake_->cv.wait_for(lock, std::chrono::milliseconds(max_wait_ms),
                         [this] { return wake_->pending; });
      wake_->pending = false;
    }
    ++pumps;
    if (on_pump) on_pump();
  }
  void WakeUp() override {
    std::lock_guard<std::mutex> lock(wake_->mutex);
    wake_->pending = true;
    wake_->cv.notify_one();
  }

  // The texts of the message boxes shown so far.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Message& m : messages) texts.push_back(m.text);
    return texts;
  }
  // The message boxes shown so far as "caption: text".
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const Message& m : messages) shown.push_back(m.caption + ": " + m.text);
    return shown;
  }

  // The script.
  std::vector<std::pair<std::string, MsgAnswer>> answer_when;
  std::deque<MsgAnswer> answers;
  std::optional<std::string> prompt_answer;
  std::function<void()> on_pump;

  // The record.
  std::vector<Message> messages;
  std::vector<PromptCall> prompts;
  std::vector<std::string> busy_captions;
  std::vector<int> busy_ranges;
  int busy_ends = 0;
  std::vector<std::string> status_texts;
  std::vector<std::string> opened;
  int title_refreshes = 0;
  int close_requests = 0;
  int pumps = 0;

 private:
  // Apart from the rest, so a test can start over with a fresh object by assignment.
  struct Wake {
    std::mutex mutex;
    std::condition_variable cv;
    bool pending = false;
  };
  std::unique_ptr<Wake> wake_ = std::make_unique<Wake>();
};

}  // namespace larkspire
