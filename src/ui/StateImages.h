// The row state images: a strip of nine 16 x 16 pictures drawn at start-up. Index = 1 for a
// recent change + 2 when up to date + 4 with an error (0 to 7); 8 marks the row being updated.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace larkspire {

inline constexpr int kStateImageSize = 16;
inline constexpr int kStateImageCount = 9;
inline constexpr int kStateImageUpdating = 8;

// The whole strip, kStateImageCount images side by side on a transparent background.
QPixmap DrawStateImageStrip();

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
