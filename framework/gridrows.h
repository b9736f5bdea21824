// What the string grid and the data grids share: the read-only, one-line,
// row-by-row manner of the view, and the row geometry by which both show
// whole rows only, lined up under their caption or titles.
#pragma once

#include <QHeaderView>

class QAbstractItemDelegate;
class QAbstractItemModel;
class QRect;
class QTableView;

namespace zil::framework {

// The title row of a grid, as high as one of its rows and extra pixels. The
// view places its rows below the height the title row asks for, so it asks
// for exactly the height it is given: a taller hint would leave a strip
// between the titles and the first row.
class TitleRow : public QHeaderView
{
public:
    TitleRow(QWidget *grid, const int &rowHeight, int extra);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    const int &m_rowHeight;
    int m_extra;
};

// Sets a grid's view up as both grid kinds show it, over its title row, its
// model and the delegate that draws its cells: no editing, scrolling by
// whole rows, lines between cells, no wrapping, no corner button, titles of
// fixed width that do not answer clicks, and Tab leaving the grid instead of
// moving its row.
void setUpGridView(
    QTableView &view, TitleRow *titles, QAbstractItemModel *model, QAbstractItemDelegate *delegate);

// At the end of its range a table view lines its last row up with its bottom
// edge, which pushes the first visible row partly under the caption. This
// puts the rows back in line with the top; the scroll range is such that the
// last row is whole there too. Called after every scroll and geometry change.
void alignRowsToTop(QTableView &view);

// After the view's contents moved by dy pixels: the rows lined up with the
// top, and, after a vertical move, the whole viewport drawn anew. A view
// moves the pixels it has and draws only the strip uncovered, but the row
// that was cut by the bottom edge was drawn empty and would move up empty.
void rowsScrolled(QTableView &view, int dy);

// Whether a row drawn at rect is cut by the bottom edge of the view's
// viewport (or by a scroll bar along it); such a row is drawn empty.
bool rowCutAtBottom(const QTableView &view, const QRect &rect);

} // namespace zil::framework
