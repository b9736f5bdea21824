// Button pictures kept as one strip of two images side by side.
#pragma once

#include <QIcon>
#include <QPixmap>

class QPainter;

namespace zil::framework {

// The icon of a two-image picture: the left half is the normal image, the
// right half the disabled one. A 32 × 16 strip gives two 16 × 16 images.
QIcon twoImageIcon(const QPixmap &strip);

// The funnel of the selection buttons, drawn into a 16 × 16 square.
void paintFunnel(QPainter &painter);

} // namespace zil::framework
