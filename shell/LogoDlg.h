// The splash window shown while the program starts, and the pieces that the
// shell's windows share with it: the program's picture and the bevelled panel.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace zil::shell {

enum class Bevel { None, Raised, Lowered };

// A panel with up to two one-pixel bevels along its edges, the outer one on
// the edge and the inner one just inside it. Its contents margins are the
// width of its bevels, so a layout on it keeps clear of them.
class BevelPanel : public QWidget
{
    Q_OBJECT
public:
    BevelPanel(Bevel outer, Bevel inner, QWidget *parent = nullptr);

    Bevel outerBevel() const { return m_outer; }
    Bevel innerBevel() const { return m_inner; }
    int bevelWidth() const;

    // Fills the panel with colour instead of the button face.
    void setFillColor(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Bevel m_outer;
    Bevel m_inner;
};

// Draws a one-pixel bevel along the inside of rect.
void drawBevel(QPainter &painter, const QRect &rect, Bevel bevel, const QPalette &palette);

// The program's logo, 288 × 72 pixels on white: a flask with a leaf and the
// word mark.
QPixmap programPicture();

// The program's icon, 32 × 32 pixels.
QPixmap programIcon();

// The program's version as the application declares it, else as built.
QString programVersion();

// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget *window);

} // namespace zil::shell

// The splash window: borderless, 356 × 215, centred on the screen, with the
// logo above a title and notice lines. It has no behaviour of its own; the
// start-up shows, paints and hides it.
class TLogoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TLogoDialog(QWidget *parent = nullptr);

    zil::shell::BevelPanel *UpperPanel = nullptr;
    QLabel *ProgramIcon = nullptr;
    zil::shell::BevelPanel *LowerPanel = nullptr;
    QLabel *TitleLabel = nullptr;
    QLabel *VersionLabel = nullptr;
    QLabel *NoticeLabel = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
