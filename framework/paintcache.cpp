#include "paintcache.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOption>
#include <memory>
#include <type_traits>

namespace zil::framework {

namespace {

// A picture of at most this many pixels is remembered; anything larger is
// drawn each time.
constexpr int kLargestPicture = 256 * 1024;
// What all remembered pictures may hold together, in KiB.
constexpr int kMemoryKiB = 4096;

// The parts of a drawing's key, appended as raw bytes.
class Key
{
public:
    explicit Key(char kind) { m_bytes.append(kind); }
    template<typename T>
    Key &operator<<(const T &value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        m_bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
        return *this;
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// What every drawing depends on besides its own option: size, state, text
// direction, colours and the pixel ratio of the device.
void addCommon(Key &key, const QStyleOption *option, const QPainter *painter)
{
    key << option->rect.width() << option->rect.height() << int(option->state)
        << int(option->direction) << option->palette.cacheKey()
        << painter->device()->devicePixelRatio();
}

} // namespace

PaintCacheStyle::PaintCacheStyle(const QString &baseName)
    : QProxyStyle(baseName)
{
    m_pictures.setMaxCost(kMemoryKiB);
}

template<typename Draw>
void PaintCacheStyle::paintCached(
    const QByteArray &key, const QStyleOption *option, QPainter *painter, Draw draw) const
{
    const QRect rect = option->rect;
    // A painter that scales or turns (a print, say) gets the drawing itself.
    const bool plain = painter->transform().type() <= QTransform::TxTranslate;
    if (!plain || rect.isEmpty() || qint64(rect.width()) * rect.height() > kLargestPicture) {
        draw(painter);
        return;
    }
    if (const QPixmap *picture = m_pictures.object(key)) {
        ++m_copied;
        painter->drawPixmap(rect.topLeft(), *picture);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    auto picture = std::make_unique<QPixmap>(rect.size() * ratio);
    picture->setDevicePixelRatio(ratio);
    picture->fill(Qt::transparent);
    {
        QPainter on(picture.get());
        on.setRenderHints(painter->renderHints());
        on.translate(-rect.topLeft());
        draw(&on);
    }
    ++m_drawn;
    painter->drawPixmap(rect.topLeft(), *picture);
    const int cost = int(qint64(picture->width()) * picture->height() * 4 / 1024) + 1;
    m_pictures.insert(key, picture.release(), cost);
}

void PaintCacheStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
    QPainter *painter, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    // A scroll bar that fades in and out is drawn by the style's animation.
    if (control != CC_ScrollBar || !bar || styleHint(SH_ScrollBar_Transient, option, widget)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // A scroll bar looks the same wherever its range puts the handle at the
    // same place: the key holds the handle's place, not the values.
    const QRect handle
        = subControlRect(control, bar, SC_ScrollBarSlider, widget).translated(-bar->rect.topLeft());
    Key key('S');
    addCommon(key, bar, painter);
    key << int(bar->subControls) << int(bar->activeSubControls) << int(bar->orientation)
        << bar->upsideDown << handle.x() << handle.y() << handle.width() << handle.height()
        << (bar->sliderPosition <= bar->minimum) << (bar->sliderPosition >= bar->maximum)
        << (bar->maximum > bar->minimum);
    // The style may take the colour beneath the bar from the area it serves.
    if (widget && widget->parentWidget() && widget->parentWidget()->parentWidget())
        key << widget->parentWidget()->parentWidget()->palette().cacheKey();
    paintCached(key.bytes(), option, painter,
        [&](QPainter *on) { QProxyStyle::drawComplexControl(control, option, on, widget); });
}

void PaintCacheStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
    QPainter *painter, const QWidget *widget) const
{
    const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
    // Only the frame of a line edit of its own: one inside a spin box or a
    // combo box is drawn with its owner.
    const bool ownField = qobject_cast<const QLineEdit *>(widget) && widget->parentWidget()
        && !qobject_cast<const QAbstractSpinBox *>(widget->parentWidget())
        && !qobject_cast<const QComboBox *>(widget->parentWidget());
    if (element != PE_PanelLineEdit || !frame || !ownField) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    Key key('L');
    addCommon(key, frame, painter);
    key << frame->lineWidth << frame->midLineWidth << int(frame->features)
        << int(frame->frameShape);
    paintCached(key.bytes(), option, painter,
        [&](QPainter *on) { QProxyStyle::drawPrimitive(element, option, on, widget); });
}

void installPaintCache()
{
    QApplication::setStyle(new PaintCacheStyle(QApplication::style()->name()));
}

} // namespace zil::framework
