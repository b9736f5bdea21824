#include "bevelpanel.h"

#include <QPainter>

namespace zil::framework {

BevelPanel::BevelPanel(Bevel outer, Bevel inner, QWidget *parent)
    : QWidget(parent)
    , m_outer(outer)
    , m_inner(inner)
{
    const int w = bevelWidth();
    setContentsMargins(w, w, w, w);
}

int BevelPanel::bevelWidth() const
{
    return (m_outer != Bevel::None ? 1 : 0) + (m_inner != Bevel::None ? 1 : 0);
}

void BevelPanel::setFillColor(const QColor &colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
}

void BevelPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QRect r = rect();
    if (m_outer != Bevel::None) {
        drawBevel(painter, r, m_outer, palette());
        r.adjust(1, 1, -1, -1);
    }
    if (m_inner != Bevel::None)
        drawBevel(painter, r, m_inner, palette());
}

void drawBevel(QPainter &painter, const QRect &rect, Bevel bevel, const QPalette &palette)
{
    if (bevel == Bevel::None || rect.isEmpty())
        return;
    const QColor light = palette.color(QPalette::Light);
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor &topLeft = bevel == Bevel::Raised ? light : shadow;
    const QColor &bottomRight = bevel == Bevel::Raised ? shadow : light;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.restore();
}

} // namespace zil::framework
