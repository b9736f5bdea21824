// The bevelled panel of the classic controls: a panel with up to two
// one-pixel bevels along its edges, and the bevel drawn on its own.
#pragma once

#include <QWidget>

namespace zil::framework {

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

} // namespace zil::framework
