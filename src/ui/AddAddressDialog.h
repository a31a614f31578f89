// "Add an E-Mail Notification Address": one field; the Configure dialog adds what was typed.
// OK refuses a text that is not an address, naming it, and stays open.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace larkspire {

class AppCore;

class CAddAddressDialog : public QDialog {
  Q_OBJECT

 public:
  CAddAddressDialog(AppCore& app, QWidget* parent);
  std::string Address() const;

  void accept() override;

 private:
  AppCore& app_;
  QLineEdit* address_;
};

}  // namespace larkspire
