// "Configure (Advanced)": the HTTP proxy, the SMTP security (None, STARTTLS, TLS) with the
// office's CA file, and the SMTP sign-in (a password, or a token from a command). It edits the
// Configure dialog's copy; nothing is stored until that dialog's OK.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace larkspire {

class AppCore;
struct CConfiguration;

class CAdvancedDialog : public QDialog {
  Q_OBJECT

 public:
  // The password field shows the copy's password unscrambled.
  CAdvancedDialog(AppCore& app, CConfiguration& copy, QWidget* parent);

  // Copies the values back, the password scrambled again.
  void accept() override;

 private:
  void BrowseCaFile();
  // Enables the field the sign-in choice uses and shows the warning for a password that would
  // travel unencrypted to another host.
  void UpdateSmtpFields();

  AppCore& app_;
  CConfiguration& copy_;
  QLineEdit* proxy_;
  QComboBox* security_;
  QLineEdit* ca_file_;
  QComboBox* auth_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* token_command_;
  QLabel* warning_;
};

}  // namespace larkspire
