// "Larkspire® - Add Reference": a reference and an application, patent or publication number,
// written straight into the entry it is given. OK with a number that does not parse, or one
// already listed, shows why and stays open with what was typed (a listed one is named and shown
// in the list); Cancel marks the entry "Canceled." so the caller adds nothing.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>

class QLabel;
class QLineEdit;

namespace larkspire {

class AppCore;
class CEntry;

inline constexpr const char* kAddCanceled = "Canceled.";

class CAddReferenceDialog : public QDialog {
  Q_OBJECT

 public:
  // show_listed selects the row of the entry the typed one repeats.
  CAddReferenceDialog(QWidget* parent, AppCore& core, CEntry& entry,
                      std::function<void(std::size_t row)> show_listed = {});

  void accept() override;
  void reject() override;

 private:
  AppCore& core_;
  CEntry& entry_;
  std::function<void(std::size_t row)> show_listed_;
  QLineEdit* reference_;
  QLineEdit* number_;
};

}  // namespace larkspire
