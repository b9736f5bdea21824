#include "gridrows.h"

#include "databinding.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace zil::framework {

TitleRow::TitleRow(QWidget *grid, const int &rowHeight, int extra)
    : QHeaderView(Qt::Horizontal, grid)
    , m_rowHeight(rowHeight)
    , m_extra(extra)
{ }

QSize TitleRow::sizeHint() const
{
    return QSize(QHeaderView::sizeHint().width(), m_rowHeight + m_extra);
}

void setUpGridView(
    QTableView &view, TitleRow *titles, QAbstractItemModel *model, QAbstractItemDelegate *delegate)
{
    view.setHorizontalHeader(titles);
    view.setModel(model);
    view.setItemDelegate(delegate);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view.setShowGrid(true);
    view.setWordWrap(false);
    view.setCornerButtonEnabled(false);
    view.setTabKeyNavigation(false);
    titles->setSectionResizeMode(QHeaderView::Fixed);
    titles->setSectionsClickable(false);
    paintOpaque(&view);
}

void alignRowsToTop(QTableView &view)
{
    const int value = view.verticalScrollBar()->value();
    QHeaderView *rows = view.verticalHeader();
    if (value > 0 && value < rows->count() && rows->offset() != rows->sectionPosition(value)) {
        rows->setOffsetToSectionPosition(value);
        view.viewport()->update();
    }
}

void rowsScrolled(QTableView &view, int dy)
{
    alignRowsToTop(view);
    if (dy != 0)
        view.viewport()->update();
}

bool rowCutAtBottom(const QTableView &view, const QRect &rect)
{
    return rect.bottom() >= view.viewport()->height();
}

} // namespace zil::framework
