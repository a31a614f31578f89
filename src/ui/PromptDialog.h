// "Larkspire® - " + a caption: one prompt with one text field, or a list of up to twelve
// labelled values. OK copies every field back; Cancel leaves the values as they were.
#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;

namespace larkspire {

inline constexpr std::size_t kPromptListMaxRows = 12;

using PromptRows = std::vector<std::pair<std::string, std::string>>;

class CPromptDialog : public QDialog {
  Q_OBJECT

 public:
  // Single mode.
  CPromptDialog(QWidget* parent, const std::string& caption, const std::string& prompt,
                const std::string& text);
  // List mode: label and value per row; rows past the twelfth are not shown.
  CPromptDialog(QWidget* parent, const std::string& caption, const PromptRows& rows);

  // The fields' texts, one per shown row.
  std::vector<std::string> Values() const;

 private:
  void Build(const std::string& caption, const PromptRows& rows, bool single);

  std::vector<QLineEdit*> fields_;
};

// Runs the dialog; on OK the text (or each shown row's value) takes what was typed.
bool RunPrompt(QWidget* parent, const std::string& caption, const std::string& prompt,
               std::string& text);
bool RunPromptList(QWidget* parent, const std::string& caption, PromptRows& rows);

}  // namespace larkspire
