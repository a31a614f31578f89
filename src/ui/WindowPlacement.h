// A window's normal rectangle kept in four settings (left, top, right, bottom; right and bottom
// exclusive, as the settings have always held them), and where a window goes when it opens.
// Rectangles are the window's own area, without the frame the window manager puts around it.
#pragma once

#include <QRect>

class QWidget;

namespace larkspire {

class CSetting;

struct PlacementSettings {
  CSetting& left;
  CSetting& top;
  CSetting& right;
  CSetting& bottom;
};

// With nothing saved, a main window is centred on the screen the pointer is on, and a window
// given the main window it belongs to goes beside it (to its right, else to its left, else as
// near as the screen allows). A saved rectangle (each side missing keeping the window's
// current one) that does not lie on a screen, a screen gone or made smaller since, is moved
// onto the screen it overlaps most (the pointer's when none), shrunk when larger than it. An
// empty or inverted saved rectangle counts as nothing saved. A window is on a screen when it
// lies in the screen's available area with room above it for its title bar.
void RestorePlacement(QWidget& window, const PlacementSettings& settings,
                      const QWidget* main_window = nullptr);
// The normal rectangle, also while the window is maximised or minimised.
void SavePlacement(const QWidget& window, const PlacementSettings& settings);

// The geometry behind RestorePlacement. area is where a window may lie on its screen.
// The size centred in the area, shrunk to it when larger.
QRect CentredIn(const QRect& area, QSize size);
// The size to the right of main (gap pixels between them), else to its left, top edges level;
// when neither fits, made narrower (down to a readable width) on the side with more room; when
// even that does not fit, whichever of the two moved into the area covers less of main.
QRect BesideIn(const QRect& area, const QRect& main, QSize size, int gap);
// The rectangle moved (and shrunk when larger) the least distance that puts it in the area.
QRect MovedInto(const QRect& area, const QRect& rect);

}  // namespace larkspire
