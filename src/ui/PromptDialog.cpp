#include "ui/PromptDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "ui/QtText.h"

namespace larkspire {

CPromptDialog::CPromptDialog(QWidget* parent, const std::string& caption, const std::string& prompt,
                             const std::string& text)
    : QDialog(parent) {
  Build(caption, {{prompt, text}}, true);
}

CPromptDialog::CPromptDialog(QWidget* parent, const std::string& caption, const PromptRows& rows)
    : QDialog(parent) {
  Build(caption, rows, false);
}

void CPromptDialog::Build(const std::string& caption, const PromptRows& rows, bool single) {
  setWindowTitle(ToQt(std::string(kCaption) + " - " + caption));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const std::size_t shown = std::min(rows.size(), kPromptListMaxRows);
  for (std::size_t i = 0; i < shown; ++i) {
    auto* field = new QLineEdit(ToQt(rows[i].second), this);
    field->setObjectName(QString("value%1").arg(i));
    field->setMinimumWidth(280);
    fields_.push_back(field);
    auto* label = new QLabel(ToQt(rows[i].first), this);
    label->setBuddy(field);
    if (single) {
      // A long prompt (the problem report's) wraps above its field.
      label->setWordWrap(true);
      form->addRow(label);
      form->addRow(field);
    } else {
      form->addRow(label, field);
    }
  }
  // The list is never shorter than two rows, so a one-row list keeps the usual height.
  if (!single && shown < 2) form->addItem(new QSpacerItem(0, fontMetrics().height() * 2));
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::vector<std::string> CPromptDialog::Values() const {
  std::vector<std::string> values;
  for (const QLineEdit* field : fields_) values.push_back(FromQt(field->text()));
  return values;
}

bool RunPrompt(QWidget* parent, const std::string& caption, const std::string& prompt,
               std::string& text) {
  CPromptDialog dialog(parent, caption, prompt, text);
  if (dialog.exec() != QDialog::Accepted) return false;
  text = dialog.Values().front();
  return true;
}

bool RunPromptList(QWidget* parent, const std::string& caption, PromptRows& rows) {
  CPromptDialog dialog(parent, caption, rows);
  if (dialog.exec() != QDialog::Accepted) return false;
  const std::vector<std::string> values = dialog.Values();
  for (std::size_t i = 0; i < values.size(); ++i) rows[i].second = values[i];
  return true;
}

}  // namespace larkspire
