// "Configure": organisation, SMTP server, return and notification addresses, directories, and
// the Advanced dialog, with a Browse button for each folder. It works on a copy; OK stores it only
// when every check passes, and otherwise leaves the dialog open with the focus on the field to fix.
#pragma once

#include <QDialog>

#include "app/Configuration.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace larkspire {

class AppCore;
class CStatusSourceBox;

class CConfigureDialog : public QDialog {
  Q_OBJECT

 public:
  // Filled from the settings. While e-mail is queued the logging directory, which holds the
  // queue, is shown but cannot be changed (the user is told so first).
  CConfigureDialog(AppCore& app, QWidget* parent);

  void accept() override;

 private:
  void AddAddress();
  void AddAddressItem(const std::string& address, const std::string& choice);
  // The address (part 0) or its choice (part 1) of the list's item.
  std::string AddressAt(int index, int part) const;
  // After a failed address check: the address to fix, or the Add dialog when there is none.
  void SelectFirstBadAddressOrAdd();
  void DeleteAddress();
  void OpenAdvanced();
  CConfiguration Collect() const;
  QWidget* FieldWidget(ConfigField field) const;

  AppCore& app_;
  CConfiguration copy_;
  QLineEdit* org_name_;
  QLineEdit* smtp_server_;
  QLineEdit* return_address_;
  QComboBox* addresses_;
  QPushButton* add_;
  QPushButton* delete_;
  QPushButton* advanced_;
  QLineEdit* shortcut_folder_;
  QLineEdit* app_dir_;
  QLineEdit* log_dir_;
  QLineEdit* report_dir_;
  CStatusSourceBox* status_source_;
};

}  // namespace larkspire
