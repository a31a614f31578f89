// "Configure (Advanced)": the HTTP proxy and the SMTP authentication. It edits the Configure
// dialog's copy; nothing is stored until that dialog's OK.
#pragma once

#include <QDialog>

class QLineEdit;

namespace larkspire {

class AppCore;
struct CConfiguration;

class CAdvancedDialog : public QDialog {
  Q_OBJECT

 public:
  // The password field shows the copy's password unscrambled.
  CAdvancedDialog(AppCore& app, CConfiguration& copy, QWidget* parent);

  // Copies the three texts back, the password scrambled again.
  void accept() override;

 private:
  AppCore& app_;
  CConfiguration& copy_;
  QLineEdit* proxy_;
  QLineEdit* user_;
  QLineEdit* password_;
};

}  // namespace larkspire
