// Docking along a parent's edges, as the classic controls align their panels.
#pragma once

#include <QLayout>

#include <vector>

namespace zil::framework {

// Docks widgets along the edges of their parent the way the designer placed
// them: top and bottom widgets keep their height, right-aligned ones their
// width, and the client widget fills what is left. The kept extent is the
// widget's current one, so a widget that the proportional layout widens stays
// docked at its new width: any move or resize of a docked widget from outside
// docks everything again at once. Hidden widgets give up their place.
class DockLayout : public QLayout
{
public:
    enum Align { Top, Bottom, Right, Client };

    explicit DockLayout(QWidget *parent);
    ~DockLayout() override;

    // Docks widget; extent is its height for Top and Bottom, its width for
    // Right, and unused for Client.
    void dock(QWidget *widget, Align align, int extent = 0);

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    // The window's minimum size is set on the window itself; docking asks for
    // no room of its own.
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;

    void setGeometry(const QRect &rect) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry
    {
        QLayoutItem *item;
        Align align;
    };

    void place(const QRect &rect);

    std::vector<Entry> m_entries;
    bool m_placing = false;
};

} // namespace zil::framework
