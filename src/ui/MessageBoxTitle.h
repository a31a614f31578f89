// A message box is as wide as its text, so a short message under a long title ("Larkspire® -
// Update Master List Failed") had its title cut by the window manager. The box is made wide
// enough for the whole title beside the title bar's buttons.
#pragma once

class QMessageBox;

namespace larkspire {

// The width the box needs for its title, and making it at least that wide.
int TitleWidth(const QMessageBox& box);
void MakeRoomForTitle(QMessageBox& box);

}  // namespace larkspire
