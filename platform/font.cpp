#include "font.h"

namespace zil::platform {

QFont arialPixels(int pixelSize, bool bold, Shaping shaping)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    if (shaping == Shaping::Unshaped)
        font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QFont arialPoints(double pointSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace zil::platform
