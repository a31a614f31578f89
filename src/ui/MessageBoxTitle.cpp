#include "ui/MessageBoxTitle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace larkspire {
namespace {

// Room in the title bar beside the text: the window menu or icon and three buttons.
constexpr int kTitleBarControls = 160;

}  // namespace

int TitleWidth(const QMessageBox& box) {
  // Title bars commonly use the application font, often bold.
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarControls;
}

void MakeRoomForTitle(QMessageBox& box) {
  // QMessageBox sizes itself to its contents whatever minimum width it is given; a spacer
  // across the bottom of its grid is what it takes into account.
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(new QSpacerItem(TitleWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace larkspire
