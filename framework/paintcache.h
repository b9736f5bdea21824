// The window's style, with a memory of the pictures it draws most often.
//
// A change of material repaints the scroll bars of the list and the four
// memos and the frames of the detail fields. The style draws each of them
// from gradients and rounded, smoothed outlines, which costs more than the
// text they hold; yet they take only a few shapes: a field has one size, and
// a memo's scroll bar a handful of lengths and places. This style draws a
// scroll bar or a field's frame once into a picture and afterwards copies
// that picture, as long as everything the drawing depends on is the same.
#pragma once

#include <QByteArray>
#include <QCache>
#include <QPixmap>
#include <QProxyStyle>

namespace zil::framework {

class PaintCacheStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Draws as the style of that name (QStyleFactory) draws.
    explicit PaintCacheStyle(const QString &baseName);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
        QPainter *painter, const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;

    // How many pictures were drawn by the base style and how many copied
    // from memory since the style was made.
    int drawn() const { return m_drawn; }
    int copied() const { return m_copied; }

private:
    // Draws through `draw` into a remembered picture under `key`, then
    // copies the picture onto the painter at the option's place.
    template<typename Draw>
    void paintCached(
        const QByteArray &key, const QStyleOption *option, QPainter *painter, Draw draw) const;

    mutable QCache<QByteArray, QPixmap> m_pictures;
    mutable int m_drawn = 0;
    mutable int m_copied = 0;
};

// Makes the application draw with a PaintCacheStyle over its current style.
void installPaintCache();

} // namespace zil::framework
