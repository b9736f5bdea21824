#include "picture.h"

#include <QPainter>
#include <QPainterPath>

namespace zil::framework {

QIcon twoImageIcon(const QPixmap &strip)
{
    const int half = strip.width() / 2;
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, half, strip.height()), QIcon::Normal);
    icon.addPixmap(strip.copy(half, 0, half, strip.height()), QIcon::Disabled);
    return icon;
}

void paintFunnel(QPainter &painter)
{
    QPainterPath funnel;
    funnel.moveTo(1, 2);
    funnel.lineTo(15, 2);
    funnel.lineTo(9.5, 8);
    funnel.lineTo(9.5, 14);
    funnel.lineTo(6.5, 12);
    funnel.lineTo(6.5, 8);
    funnel.closeSubpath();
    painter.save();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0, 128, 128));
    painter.drawPath(funnel);
    painter.restore();
}

} // namespace zil::framework
