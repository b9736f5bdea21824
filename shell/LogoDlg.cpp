#include "shell/LogoDlg.h"

#include "framework/bevelpanel.h"
#include "framework/windowplace.h"
#include "platform/font.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

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
    p.setFont(platform::arialPixels(50, true));
    const QRect mark(76, 6, 104, 60);
    p.drawText(mark, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZIL"));
    const int markRight = mark.left() + p.fontMetrics().horizontalAdvance(QStringLiteral("ZIL"));

    p.setPen(QPen(kLeaf, 2));
    p.drawLine(markRight + 10, 14, markRight + 10, 62);

    const int tagLeft = markRight + 20;
    p.setPen(kInk);
    p.setFont(platform::arialPixels(13, true));
    p.drawText(QPoint(tagLeft, 29), QStringLiteral("Flavour and"));
    p.drawText(QPoint(tagLeft, 45), QStringLiteral("fragrance"));
    p.setPen(kGrey);
    p.setFont(platform::arialPixels(13));
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

} // namespace zil::shell

using zil::framework::Bevel;
using zil::framework::BevelPanel;

TLogoDialog::TLogoDialog(QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("LogoDialog"));
    setFixedSize(356, 215);
    setFont(zil::platform::arialPixels(11));

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
        label->setFont(zil::platform::arialPixels(bold ? 13 : 11, bold));
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
    zil::framework::drawBevel(painter, rect(), Bevel::Raised, palette());
}

void TLogoDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    zil::framework::centreOnScreen(this);
}
