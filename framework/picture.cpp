#include "picture.h"

namespace zil::framework {

QIcon twoImageIcon(const QPixmap &strip)
{
    const int half = strip.width() / 2;
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, half, strip.height()), QIcon::Normal);
    icon.addPixmap(strip.copy(half, 0, half, strip.height()), QIcon::Disabled);
    return icon;
}

} // namespace zil::framework
