#include "picture.h"

#include <QPainter>
#include <QPainterPath>

namespace zil::framework {

namespace {

const QColor kInk(0, 0, 128);
const QColor kTeal(0, 128, 128);

void triangle(QPainter &p, QPointF a, QPointF b, QPointF c, const QColor &colour)
{
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.fillPath(path, colour);
}

// A small detail window: a frame whose lower part is the sub-pane.
void detailWindow(QPainter &p)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.fillRect(QRectF(2, 10, 12, 4), kTeal);
}

void funnel(QPainter &p)
{
    QPainterPath path;
    path.moveTo(1, 2);
    path.lineTo(15, 2);
    path.lineTo(9.5, 8);
    path.lineTo(9.5, 14);
    path.lineTo(6.5, 12);
    path.lineTo(6.5, 8);
    path.closeSubpath();
    p.save();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(kTeal);
    p.drawPath(path);
    p.restore();
}

QImage disabledImage(const QImage &normal)
{
    QImage out(normal.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    auto ink = [&normal](int x, int y) {
        const QRgb c = normal.pixel(x, y);
        return qAlpha(c) >= 128 && qGray(c) < 160;
    };
    for (int y = 0; y + 1 < normal.height(); ++y)
        for (int x = 0; x + 1 < normal.width(); ++x)
            if (ink(x, y))
                out.setPixel(x + 1, y + 1, qRgb(255, 255, 255));
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            if (ink(x, y))
                out.setPixel(x, y, qRgb(128, 128, 128));
    return out;
}

} // namespace

QImage glyphImage(Glyph glyph)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::First:
        p.fillRect(QRectF(3, 3, 2, 10), kInk);
        triangle(p, {12, 3}, {12, 13}, {6, 8}, kInk);
        break;
    case Glyph::Prior:
        triangle(p, {10.5, 3}, {10.5, 13}, {4.5, 8}, kInk);
        break;
    case Glyph::Next:
        triangle(p, {5.5, 3}, {5.5, 13}, {11.5, 8}, kInk);
        break;
    case Glyph::Last:
        triangle(p, {4, 3}, {4, 13}, {10, 8}, kInk);
        p.fillRect(QRectF(11, 3, 2, 10), kInk);
        break;
    case Glyph::Order:
        p.fillRect(QRectF(1, 3, 8, 2), Qt::black);
        p.fillRect(QRectF(1, 7, 6, 2), Qt::black);
        p.fillRect(QRectF(1, 11, 4, 2), Qt::black);
        p.fillRect(QRectF(11.5, 2, 2, 9), kInk);
        triangle(p, {9, 10}, {16, 10}, {12.5, 14.5}, kInk);
        break;
    case Glyph::Select:
        funnel(p);
        break;
    case Glyph::Print:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(QRectF(1.5, 6.5, 13, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.fillRect(QRectF(11, 8, 2, 1.5), QColor(0, 160, 0));
        break;
    case Glyph::Hide:
        detailWindow(p);
        triangle(p, {4.5, 4}, {11.5, 4}, {8, 8}, QColor(192, 0, 0));
        break;
    case Glyph::Show:
        detailWindow(p);
        triangle(p, {4.5, 8}, {11.5, 8}, {8, 4}, QColor(192, 0, 0));
        break;
    case Glyph::SelectAll:
        for (int y : {3, 7, 11}) {
            p.fillRect(QRectF(1, y, 2, 2), kTeal);
            p.fillRect(QRectF(5, y, 10, 2), Qt::black);
        }
        break;
    case Glyph::Clear:
        p.setPen(QPen(QColor(192, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Glyph::Close:
        // A door with its knob.
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(160, 96, 32));
        p.drawRect(QRectF(3.5, 1.5, 8, 13));
        p.fillRect(QRectF(8.5, 7.5, 1.5, 1.5), QColor(255, 215, 0));
        break;
    }
    return image;
}

QIcon glyphIcon(Glyph glyph)
{
    const QImage normal = glyphImage(glyph);
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(normal), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(disabledImage(normal)), QIcon::Disabled);
    return icon;
}

QPixmap glyphStrip(Glyph glyph)
{
    const QImage normal = glyphImage(glyph);
    QImage strip(32, 16, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.drawImage(0, 0, normal);
    p.drawImage(16, 0, disabledImage(normal));
    p.end();
    return QPixmap::fromImage(strip);
}

QIcon twoImageIcon(const QPixmap &strip)
{
    const int half = strip.width() / 2;
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, half, strip.height()), QIcon::Normal);
    icon.addPixmap(strip.copy(half, 0, half, strip.height()), QIcon::Disabled);
    return icon;
}

} // namespace zil::framework
