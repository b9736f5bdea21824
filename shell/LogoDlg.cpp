#include "shell/LogoDlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#ifndef ZIL_VERSION
#define ZIL_VERSION ""
#endif

namespace zil::shell {

namespace {

const QColor kInk(0, 0, 0);
const QColor kGreen(0, 112, 64);
const QColor kDarkGreen(0, 72, 40);
const QColor kLeaf(64, 160, 48);
const QColor kLiquid(224, 176, 48);
const QColor kGlass(96, 96, 96);
const QColor kGrey(112, 112, 112);

QFont arial(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// An Erlenmeyer flask with a leaf growing out of its neck, drawn into a box
// of the given height whose top-left corner is origin.
void drawFlask(QPainter &p, QPointF origin, qreal height)
{
    const qreal s = height / 64.0;
    p.save();
    p.translate(origin);
    p.scale(s, s);

    QPainterPath body;
    body.moveTo(22, 18);
    body.lineTo(22, 30);
    body.lineTo(6, 58);
    body.quadTo(4, 62, 9, 62);
    body.lineTo(47, 62);
    body.quadTo(52, 62, 50, 58);
    body.lineTo(34, 30);
    body.lineTo(34, 18);
    body.closeSubpath();

    // The liquid fills the flask from the bottom up to y 44.
    p.save();
    p.setClipPath(body);
    p.fillRect(QRectF(0, 44, 56, 20), kLiquid);
    p.restore();

    p.setPen(QPen(kGlass, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.drawLine(QPointF(19, 18), QPointF(37, 18));

    // Two bubbles rising through the liquid.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 52), 2.2, 2.2);
    p.drawEllipse(QPointF(31, 48), 1.5, 1.5);

    // The leaf leans out of the neck to the upper right.
    QPainterPath leaf;
    leaf.moveTo(28, 17);
    leaf.cubicTo(30, 4, 44, 0, 54, 2);
    leaf.cubicTo(52, 12, 42, 19, 28, 17);
    p.setBrush(kLeaf);
    p.drawPath(leaf);
    p.setPen(QPen(kDarkGreen, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath vein;
    vein.moveTo(29, 16);
    vein.quadTo(40, 9, 51, 4);
    p.drawPath(vein);
    p.restore();
}

} // namespace

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

QPixmap programPicture()
{
    QPixmap pixmap(288, 72);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    drawFlask(p, QPointF(8, 4), 64);

    // The word mark, with a thin rule between it and the two-line tag.
    p.setPen(kGreen);
    p.setFont(arial(50, true));
    const QRect mark(76, 6, 104, 60);
    p.drawText(mark, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZIL"));
    const int markRight = mark.left() + p.fontMetrics().horizontalAdvance(QStringLiteral("ZIL"));

    p.setPen(QPen(kLeaf, 2));
    p.drawLine(markRight + 10, 14, markRight + 10, 62);

    const int tagLeft = markRight + 20;
    p.setPen(kInk);
    p.setFont(arial(13, true));
    p.drawText(QPoint(tagLeft, 29), QStringLiteral("Flavour and"));
    p.drawText(QPoint(tagLeft, 45), QStringLiteral("fragrance"));
    p.setPen(kGrey);
    p.setFont(arial(13, false));
    p.drawText(QPoint(tagLeft, 61), QStringLiteral("raw materials"));
    return pixmap;
}

// packaging/zil.svg draws the same picture for the desktop's menus: a change
// here belongs there too.
QPixmap programIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kDarkGreen, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);
    drawFlask(p, QPointF(3, 1), 29);
    return pixmap;
}

QString programVersion()
{
    const QString declared = QCoreApplication::applicationVersion();
    return declared.isEmpty() ? QStringLiteral(ZIL_VERSION) : declared;
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + (area.width() - outer.width()) / 2,
        area.top() + (area.height() - outer.height()) / 2);
}

} // namespace zil::shell

using zil::shell::Bevel;
using zil::shell::BevelPanel;

TLogoDialog::TLogoDialog(QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("LogoDialog"));
    setFixedSize(356, 215);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);

    UpperPanel = new BevelPanel(Bevel::Lowered, Bevel::Raised, this);
    UpperPanel->setObjectName(QStringLiteral("UpperPanel"));
    UpperPanel->setGeometry(8, 8, 340, 76);
    UpperPanel->setFillColor(Qt::white);

    ProgramIcon = new QLabel(UpperPanel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    const QPixmap picture = zil::shell::programPicture();
    ProgramIcon->setPixmap(picture);
    ProgramIcon->setGeometry(QRect(QPoint(25, 2), picture.size()));

    LowerPanel = new BevelPanel(Bevel::Lowered, Bevel::Raised, this);
    LowerPanel->setObjectName(QStringLiteral("LowerPanel"));
    LowerPanel->setGeometry(8, 94, 340, 112);

    auto line = [this](const char *name, const QString &text, int y, bool bold) {
        auto *label = new QLabel(text, LowerPanel);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(bold ? 13 : 11);
        f.setBold(bold);
        label->setFont(f);
        label->move(12, y);
        label->adjustSize();
        return label;
    };
    TitleLabel = line(
        "TitleLabel", QStringLiteral("ZIL \u2014 flavour and fragrance materials"), 12, true);
    VersionLabel = line(
        "VersionLabel", QStringLiteral("Version %1").arg(zil::shell::programVersion()), 48, false);
    NoticeLabel = line("NoticeLabel", QStringLiteral("Loading database..."), 78, false);
}

void TLogoDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    zil::shell::drawBevel(painter, rect(), Bevel::Raised, palette());
}

void TLogoDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    zil::shell::centreOnScreen(this);
}
