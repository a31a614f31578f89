// "Add an E-Mail Notification Address": one field; the Configure dialog adds what was typed.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace larkspire {

class CAddAddressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAddAddressDialog(QWidget* parent);
  std::string Address() const;

 private:
  QLineEdit* address_;
};

}  // namespace larkspire
