// The row state images: nine 16 x 16 pictures drawn at start-up. Index = 1 for a recent change
// + 2 when up to date + 4 with an error (0 to 7); 8 marks the row being updated. They are drawn
// for each device pixel ratio a screen may have, so they stay sharp at any scale, and in full
// colour in every state of the list: greyed in a list locked while an update runs, the row
// being updated would vanish into its selection.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace larkspire {

inline constexpr int kStateImageSize = 16;
inline constexpr int kStateImageCount = 9;
inline constexpr int kStateImageUpdating = 8;

// The device pixel ratios drawn for; a screen between two takes the larger and scales down.
inline constexpr int kStateImageScales[] = {1, 2, 3};

// The whole strip, kStateImageCount images side by side on a transparent background, drawn
// for the device pixel ratio (its size in device pixels is scale times the logical size).
QPixmap DrawStateImageStrip(qreal scale = 1.0);

// What the image of the index tells, for its tooltip.
QString StateImageMeaning(int index);

class CStateImages {
 public:
  CStateImages();
  // An empty icon outside 0..8.
  const QIcon& Icon(int index) const;

 private:
  QIcon icons_[kStateImageCount];
  QIcon none_;
};

}  // namespace larkspire
