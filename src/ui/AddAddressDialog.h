// "Add an E-Mail Notification Address": the address and what it receives; the Configure dialog
// adds what was typed. OK refuses a text that is not an address, naming it, and stays open.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;

namespace larkspire {

class AppCore;

// How the Configure dialog's list shows an address with its choice: "a@b.example (digest)".
std::string AddressWithChoice(const std::string& address, const std::string& choice);

class CAddAddressDialog : public QDialog {
  Q_OBJECT

 public:
  CAddAddressDialog(AppCore& app, QWidget* parent);
  std::string Address() const;
  // "" (what the office's MailMode gives), "all", "deadlines", "reminders" or "digest".
  std::string Choice() const;

  void accept() override;

 private:
  AppCore& app_;
  QLineEdit* address_;
  QComboBox* choice_;
};

}  // namespace larkspire
