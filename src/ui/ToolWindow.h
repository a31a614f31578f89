// What the Details and TCP/IP windows share: a modeless window beside the main window that
// comes back where the user left it, shown or hidden as it was, and that closing (also with Esc
// or Ctrl+W) only hides.
#pragma once

#include <QWidget>

#include "ui/WindowPlacement.h"

namespace larkspire {

class CToolWindow : public QWidget {
  Q_OBJECT

 public:
  // Restores the rectangle; shows the window when the visible setting is 1.
  CToolWindow(QWidget* main_window, const std::string& title, const PlacementSettings& placement,
              CSetting& visible);
  ~CToolWindow() override;

  // Shows the window and brings it to the front.
  void Present();
  // The main window is going away: keep the rectangle and the visible flag as they are now,
  // whatever happens to the window afterwards.
  void Retire();

 protected:
  // Subclasses restore their placement once their layout is complete; with nothing saved the
  // window goes beside its main window.
  void RestoreState();
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  PlacementSettings placement_;
  CSetting& visible_;
  bool retired_ = false;
  bool shown_ = false;
};

}  // namespace larkspire
