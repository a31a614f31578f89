// "Larkspire® - Add Reference": a reference and an application, patent or publication number,
// written straight into the entry it is given. OK with a number that does not parse shows why
// and stays open; Cancel marks the entry "Canceled." so the caller adds nothing.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace larkspire {

class AppCore;
class CEntry;

inline constexpr const char* kAddCanceled = "Canceled.";

class CAddReferenceDialog : public QDialog {
  Q_OBJECT

 public:
  CAddReferenceDialog(QWidget* parent, AppCore& core, CEntry& entry);

  void accept() override;
  void reject() override;

 private:
  AppCore& core_;
  CEntry& entry_;
  QLineEdit* reference_;
  QLineEdit* number_;
};

}  // namespace larkspire
