#include "stringgrid.h"

#include "gridrows.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace zil::framework {

// Rows 1.. of the grid are Qt's rows 0..; the model holds no data, every cell
// is drawn by the grid's draw reaction.
class StringGrid::Model : public QAbstractTableModel
{
public:
    explicit Model(StringGrid *grid)
        : QAbstractTableModel(grid)
        , m_grid(grid)
    { }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : std::max(0, m_grid->m_rowCount - 1);
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 1;
    }
    QVariant data(const QModelIndex &, int) const override { return QVariant(); }
    QVariant headerData(int, Qt::Orientation, int) const override { return QVariant(); }
    Qt::ItemFlags flags(const QModelIndex &) const override { return Qt::ItemIsEnabled; }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    StringGrid *m_grid;
};

class StringGrid::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(StringGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    { }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        // A row cut by the bottom edge stays empty: the user reads whole
        // rows only, and those are the rows the grid counts as visible.
        if (rowCutAtBottom(*m_grid, option.rect)) {
            painter->fillRect(option.rect, m_grid->palette().base());
            return;
        }
        m_grid->paintCell(*painter, index.row() + 1, option.rect, false);
    }

private:
    StringGrid *m_grid;
};

// The fixed caption row 0, drawn by the same reaction as the other rows.
class StringGrid::Caption : public TitleRow
{
public:
    explicit Caption(StringGrid *grid)
        : TitleRow(grid, grid->m_rowHeight, 0)
        , m_grid(grid)
    { }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int) const override
    {
        if (!rect.isValid())
            return;
        painter->save();
        m_grid->paintCell(*painter, 0, rect, true);
        painter->restore();
    }

private:
    StringGrid *m_grid;
};

StringGrid::StringGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new Model(this))
{
    setUpGridView(*this, new Caption(this), m_model, new Delegate(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    // One column far wider than the grid, so it always spans the view.
    horizontalHeader()->setDefaultSectionSize(2500);
    horizontalHeader()->setFixedHeight(m_rowHeight);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &StringGrid::topChanged);
}

StringGrid::~StringGrid() = default;

void StringGrid::setRowCount(int rows)
{
    rows = std::max(1, rows);
    if (rows == m_rowCount)
        return;
    m_rowCount = rows;
    // A shorter list pulls the scroll bar back inside its range. That is the
    // list changing, not the user scrolling: the top-left reaction must not
    // run, or it would make the row at the edge of the view current before
    // the caller has placed the current row of the new list.
    const bool wasSettingRows = m_settingRows;
    m_settingRows = true;
    m_model->reset();
    // The scroll range follows the new row count at once, so that a row set
    // right after this can be scrolled into view.
    executeDelayedItemsLayout();
    updateGeometries();
    // The current row stays within the data rows; a grid with data rows
    // always has one.
    if (m_row > m_rowCount - 1)
        m_row = m_rowCount - 1;
    if (m_row < 1 && m_rowCount > 1)
        m_row = 1;
    if (m_row >= 1)
        scrollRowIntoView(m_row);
    topChanged();
    m_settingRows = wasSettingRows;
    viewport()->update();
}

void StringGrid::setRow(int row)
{
    if (row == m_row || row < 1 || row >= m_rowCount)
        return;
    bool canSelect = true;
    if (m_selectCell)
        m_selectCell(0, row, canSelect);
    if (!canSelect)
        return;
    // Only the rows that lose and gain the highlight are drawn anew; a
    // scroll that brings the row into view draws the whole view.
    updateRow(m_row);
    m_row = row;
    updateRow(m_row);
    scrollRowIntoView(row);
}

void StringGrid::updateRow(int row)
{
    if (row >= 1)
        viewport()->update(visualRect(m_model->index(row - 1, 0)));
}

int StringGrid::topRow() const
{
    return verticalScrollBar()->value() + 1;
}

int StringGrid::visibleRowCount() const
{
    const int fit = viewport()->height() / m_rowHeight;
    return std::max(0, std::min(fit, m_rowCount - topRow()));
}

void StringGrid::setDefaultRowHeight(int height)
{
    m_rowHeight = std::max(1, height);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    horizontalHeader()->setFixedHeight(m_rowHeight);
    updateGeometries();
}

static quint64 cellKey(int col, int row)
{
    return (quint64(quint32(col)) << 32) | quint32(row);
}

QString StringGrid::cell(int col, int row) const
{
    return m_cells.value(cellKey(col, row));
}

void StringGrid::setCell(int col, int row, const QString &text)
{
    m_cells.insert(cellKey(col, row), text);
    if (row == 0)
        horizontalHeader()->viewport()->update();
    else
        viewport()->update();
}

void StringGrid::repaintAll()
{
    horizontalHeader()->viewport()->update();
    viewport()->update();
}

void StringGrid::paintCell(QPainter &painter, int row, const QRect &rect, bool fixed)
{
    GridDrawState state;
    state.fixed = fixed;
    state.selected = !fixed && row == m_row;
    state.focused = state.selected && hasFocus();
    painter.save();
    painter.setClipRect(rect);
    if (m_drawCell) {
        m_drawCell(painter, 0, row, rect, state);
    } else {
        painter.fillRect(rect, state.selected ? palette().highlight() : palette().base());
        painter.drawText(rect.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, cell(0, row));
    }
    painter.restore();
}

void StringGrid::scrollRowIntoView(int row)
{
    const int top = topRow();
    const int fit = std::max(1, viewport()->height() / m_rowHeight);
    if (row < top)
        verticalScrollBar()->setValue(row - 1);
    else if (row > top + fit - 1)
        verticalScrollBar()->setValue(row - fit);
}

void StringGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    rowsScrolled(*this, dy);
}

void StringGrid::updateGeometries()
{
    QTableView::updateGeometries();
    alignRowsToTop(*this);
}

void StringGrid::topChanged()
{
    const int top = topRow();
    if (top == m_lastTop)
        return;
    m_lastTop = top;
    if (m_topLeftChanged && !m_settingRows)
        m_topLeftChanged();
}

void StringGrid::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton)
        setRow(index.row() + 1);
}

void StringGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        setRow(index.row() + 1);
}

void StringGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        emit doubleClicked(index);
}

QModelIndex StringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int page = std::max(1, visibleRowCount());
    int target = m_row;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        target = m_row - 1;
        break;
    case MoveDown:
    case MoveNext:
        target = m_row + 1;
        break;
    case MovePageUp:
        target = m_row - page;
        break;
    case MovePageDown:
        target = m_row + page;
        break;
    case MoveHome:
        target = 1;
        break;
    case MoveEnd:
        target = m_rowCount - 1;
        break;
    default:
        break;
    }
    setRow(std::clamp(target, 1, std::max(1, m_rowCount - 1)));
    return QModelIndex();
}

void StringGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    topChanged();
}

void StringGrid::focusInEvent(QFocusEvent *event)
{
    // Taking the focus leaves the current row where it is: the item view's
    // own handler would step to the next row when it has no current index.
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void StringGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

} // namespace zil::framework
