// The Configure dialog's "Status Source" group: the status site through the local proxy (the
// proxy field shown with it, the same setting the Advanced dialog edits), or
// the patent office's Open Data Portal with its API key, where the key is obtained, and the
// office's customer numbers for the master-list import, and a button that checks the key with
// one request.
#pragma once

#include <QGroupBox>

#include "app/Configuration.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace larkspire {

class AppCore;

class CStatusSourceBox : public QGroupBox {
  Q_OBJECT

 public:
  // Shows the configuration copy's source, key (unscrambled, echoed as a password) and numbers.
  CStatusSourceBox(AppCore& app, const CConfiguration& config, QWidget* parent);

  // Writes the choices into the configuration: an unchanged "site" stays as stored, so a
  // settings file without the setting keeps none.
  void Collect(CConfiguration& config) const;
  // The field a failed check sends the user to.
  QWidget* FieldWidget(ConfigField field) const;
  // The proxy as the Advanced dialog left it.
  void ShowProxy(const std::string& proxy_server);

 private:
  void ShowChoice();
  void CheckKey();

  AppCore& app_;
  QRadioButton* site_;
  QLabel* proxy_label_;
  QLineEdit* proxy_;
  QRadioButton* odp_;
  QLineEdit* key_;
  QLineEdit* customer_numbers_;
  QPushButton* check_;
  QLabel* key_page_;
};

}  // namespace larkspire
