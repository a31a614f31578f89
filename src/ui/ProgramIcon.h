// The program icon for the windows: the drawings embedded as ICON resources, every size, so the
// window manager and the task switcher each pick a sharp one.
#pragma once

#include <QIcon>

namespace larkspire {

QIcon ProgramIcon();

}  // namespace larkspire
