// A window's normal rectangle kept in four settings (left, top, right, bottom; right and bottom
// exclusive, as the settings have always held them).
#pragma once

class QWidget;

namespace larkspire {

class CSetting;

struct PlacementSettings {
  CSetting& left;
  CSetting& top;
  CSetting& right;
  CSetting& bottom;
};

// Each side missing from the settings keeps the window's current one; an empty or inverted
// rectangle is ignored.
void RestorePlacement(QWidget& window, const PlacementSettings& settings);
// The normal rectangle, also while the window is maximised or minimised.
void SavePlacement(const QWidget& window, const PlacementSettings& settings);

}  // namespace larkspire
