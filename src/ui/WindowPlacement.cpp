#include "ui/WindowPlacement.h"

#include <QWidget>

#include "run/Settings.h"

namespace larkspire {
namespace {

int SideOr(const CSetting& setting, int current) {
  return setting.Text().empty() ? current : static_cast<int>(setting.Int());
}

}  // namespace

void RestorePlacement(QWidget& window, const PlacementSettings& settings) {
  const QRect current = window.geometry();
  const int left = SideOr(settings.left, current.x());
  const int top = SideOr(settings.top, current.y());
  const int right = SideOr(settings.right, current.x() + current.width());
  const int bottom = SideOr(settings.bottom, current.y() + current.height());
  if (right <= left || bottom <= top) return;
  window.setGeometry(left, top, right - left, bottom - top);
}

void SavePlacement(const QWidget& window, const PlacementSettings& settings) {
  QRect rect = window.normalGeometry();
  if (rect.isEmpty()) rect = window.geometry();
  settings.left.SetInt(rect.x());
  settings.top.SetInt(rect.y());
  settings.right.SetInt(rect.x() + rect.width());
  settings.bottom.SetInt(rect.y() + rect.height());
}

}  // namespace larkspire
