#include "ui/ProgramIcon.h"

#include <QPixmap>
#include <string>

#include "platform/Resources.h"
#include "platform/Shortcuts.h"

namespace larkspire {

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : kIconSizes) {
    const std::optional<std::string_view> png =
        FindResource("ICON", "LARKSPIRE_" + std::to_string(size) + "_PNG");
    QPixmap pixmap;
    if (png && pixmap.loadFromData(reinterpret_cast<const uchar*>(png->data()),
                                   static_cast<uint>(png->size()), "PNG")) {
      icon.addPixmap(pixmap);
    }
  }
  return icon;
}

}  // namespace larkspire
