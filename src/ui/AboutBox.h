// Help > About: the program's and the rules' versions, the two web sites, and the upgrade when
// the rules know of a newer program.
#pragma once

#include <QDialog>

class QPushButton;

namespace larkspire {

class AppCore;

class CAboutBox : public QDialog {
  Q_OBJECT

 public:
  CAboutBox(AppCore& app, QWidget* parent);
  // Whether the box was closed through its upgrade button.
  bool UpgradeChosen() const { return upgrade_chosen_; }

 private:
  bool upgrade_chosen_ = false;
};

// Shows the box; its upgrade button closes it and then runs the Upgrade command.
void ShowAbout(AppCore& app, QWidget* parent);

}  // namespace larkspire
