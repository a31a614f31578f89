#include "ui/WindowPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "run/Settings.h"

namespace larkspire {
namespace {

// Between a tool window and its main window, room for both frames' edges.
constexpr int kBesideGap = 12;
// The narrowest a window put beside the main window is made to stay off it.
constexpr int kNarrowestBeside = 240;

int SideOr(const CSetting& setting, int current) {
  return setting.Text().empty() ? current : static_cast<int>(setting.Int());
}

bool NothingSaved(const PlacementSettings& settings) {
  return settings.left.Text().empty() && settings.top.Text().empty() &&
         settings.right.Text().empty() && settings.bottom.Text().empty();
}

long long OverlapArea(const QRect& a, const QRect& b) {
  const QRect overlap = a.intersected(b);
  return static_cast<long long>(overlap.width()) * overlap.height();
}

QScreen* PointerScreen() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

// Where the window's own area may lie on the screen: its available area with room left above
// for the title bar, so the window can always be dragged.
QRect WindowArea(const QScreen& screen, const QWidget& window) {
  const int title = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
  return screen.availableGeometry().adjusted(0, title, 0, 0);
}

// A saved rectangle, left alone when it lies on a screen.
QRect OnAScreen(const QWidget& window, const QRect& rect) {
  QScreen* best = nullptr;
  long long best_overlap = 0;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect area = WindowArea(*screen, window);
    if (area.contains(rect)) return rect;
    const long long size = OverlapArea(area, rect);
    if (size > best_overlap) {
      best_overlap = size;
      best = screen;
    }
  }
  if (best == nullptr) best = PointerScreen();
  return best != nullptr ? MovedInto(WindowArea(*best, window), rect) : rect;
}

}  // namespace

QRect CentredIn(const QRect& area, QSize size) {
  size = size.boundedTo(area.size());
  return QRect(area.left() + (area.width() - size.width()) / 2,
               area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
}

QRect BesideIn(const QRect& area, const QRect& main, QSize size, int gap) {
  size = size.boundedTo(area.size());
  const QRect right(QPoint(main.right() + 1 + gap, main.top()), size);
  if (area.contains(right)) return right;
  const QRect left(QPoint(main.left() - gap - size.width(), main.top()), size);
  if (area.contains(left)) return left;
  // Narrower beside it rather than over it, as long as it stays wide enough to read.
  const int room_right = area.right() - main.right() - gap;
  const int room_left = main.left() - gap - area.left();
  const int room = std::max(room_right, room_left);
  if (room >= std::min(size.width(), kNarrowestBeside)) {
    const QSize narrower(std::min(room, size.width()), size.height());
    const QPoint at = room_right >= room_left
                          ? QPoint(main.right() + 1 + gap, main.top())
                          : QPoint(main.left() - gap - narrower.width(), main.top());
    return MovedInto(area, QRect(at, narrower));
  }
  const QRect on_right = MovedInto(area, right);
  const QRect on_left = MovedInto(area, left);
  return OverlapArea(on_left, main) < OverlapArea(on_right, main) ? on_left : on_right;
}

QRect MovedInto(const QRect& area, const QRect& rect) {
  QRect moved(rect.topLeft(), rect.size().boundedTo(area.size()));
  if (moved.right() > area.right()) moved.moveRight(area.right());
  if (moved.bottom() > area.bottom()) moved.moveBottom(area.bottom());
  if (moved.left() < area.left()) moved.moveLeft(area.left());
  if (moved.top() < area.top()) moved.moveTop(area.top());
  return moved;
}

void RestorePlacement(QWidget& window, const PlacementSettings& settings,
                      const QWidget* main_window) {
  const QRect current = window.geometry();
  const QRect saved(QPoint(SideOr(settings.left, current.x()), SideOr(settings.top, current.y())),
                    QPoint(SideOr(settings.right, current.x() + current.width()) - 1,
                           SideOr(settings.bottom, current.y() + current.height()) - 1));
  if (!NothingSaved(settings) && !saved.isEmpty()) {
    window.setGeometry(OnAScreen(window, saved));
    return;
  }
  if (main_window != nullptr) {
    const QRect main = main_window->geometry();
    QScreen* screen = QGuiApplication::screenAt(main.center());
    if (screen == nullptr) screen = PointerScreen();
    if (screen != nullptr) {
      window.setGeometry(BesideIn(WindowArea(*screen, window), main, window.size(), kBesideGap));
    }
    return;
  }
  if (QScreen* screen = PointerScreen()) {
    window.setGeometry(CentredIn(WindowArea(*screen, window), window.size()));
  }
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
