#include "gridrows.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace zil::framework {

void setUpGridView(QTableView &view)
{
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view.setShowGrid(true);
    view.setWordWrap(false);
    view.setCornerButtonEnabled(false);
    view.setTabKeyNavigation(false);
    view.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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

bool rowCutAtBottom(const QTableView &view, const QRect &rect)
{
    return rect.bottom() >= view.viewport()->height();
}

} // namespace zil::framework
