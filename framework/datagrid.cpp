#include "datagrid.h"

#include "gridrows.h"

#include "store/field.h"
#include "store/table.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace zil::framework {

const QString &CellField::fieldName() const
{
    return m_field.fieldName();
}

QVariant CellField::value() const
{
    return m_table.valueAt(m_recNo, m_field.column());
}

bool CellField::asId(qint32 &id) const
{
    return store::toId(value(), id);
}

void drawCellText(QPainter &painter, const QRect &rect, const QString &text)
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, painter.brush());
    const QFontMetrics metrics(painter.font());
    painter.drawText(QPoint(rect.left() + 2, rect.top() + 1 + metrics.ascent()), text);
    painter.restore();
}

// Qt's rows are the records in view, in the cursor's order; the model holds
// nothing, every cell is read from the cursor when it is drawn.
class DataGrid::Model : public QAbstractTableModel
{
public:
    explicit Model(DataGrid *grid)
        : QAbstractTableModel(grid)
        , m_grid(grid)
    { }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_grid->m_columns.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return QVariant();
        const store::Field *f = m_grid->field(index.column());
        if (!f)
            return QVariant();
        // What the cell shows, a name drawn for an id included: that is what
        // a copy of the cell takes.
        const CellField cell(
            *m_grid->table(), *f, index.row() + 1, m_grid->m_columns[index.column()].shows);
        return m_grid->m_cellText ? m_grid->m_cellText(cell) : cell.asString();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_grid->columnTitle(section);
        return QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex &) const override
    {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    // Takes the number of records in view; true when it changed.
    bool setRows(int rows)
    {
        if (rows == m_rows)
            return false;
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return true;
    }
    void retitle()
    {
        if (const int n = columnCount())
            emit headerDataChanged(Qt::Horizontal, 0, n - 1);
    }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    DataGrid *m_grid;
    int m_rows = 0;
};

class DataGrid::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(DataGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    { }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        m_grid->paintCell(*painter, option.rect, index.row(), index.column());
    }

private:
    DataGrid *m_grid;
};

// The row indicator: a narrow fixed column left of the cells whose section
// on the current record carries a small black arrow.
class DataGrid::Indicator : public QHeaderView
{
public:
    explicit Indicator(DataGrid *grid)
        : QHeaderView(Qt::Vertical, grid)
        , m_grid(grid)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
        setMinimumSectionSize(1);
    }
    QSize sizeHint() const override { return QSize(kWidth, QHeaderView::sizeHint().height()); }

    static constexpr int kWidth = 12;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        painter->save();
        painter->fillRect(rect, palette().color(QPalette::Button));
        painter->setPen(palette().color(QPalette::Mid));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (logicalIndex == m_grid->currentRow()) {
            const QPointF c = QRectF(rect).center();
            QPainterPath arrow;
            arrow.moveTo(c.x() - 2, c.y() - 4);
            arrow.lineTo(c.x() + 2, c.y());
            arrow.lineTo(c.x() - 2, c.y() + 4);
            arrow.closeSubpath();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->fillPath(arrow, Qt::black);
        }
        painter->restore();
    }

private:
    DataGrid *m_grid;
};

DataGrid::DataGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new Model(this))
{
    setVerticalHeader(new Indicator(this));
    // The title row is a pixel higher than a row.
    setUpGridView(*this, new TitleRow(this, m_rowHeight, 1), m_model, new Delegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    applySizes();
}

DataGrid::~DataGrid()
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
}

void DataGrid::setDataSource(store::DataSource *source)
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        using store::DataSource;
        m_connections << connect(source, &DataSource::recordChanged, this, &DataGrid::followCursor)
                      << connect(source, &DataSource::stateChanged, this,
                             [this] {
                                 m_listKnown = false;
                                 m_model->reset();
                                 retitle();
                                 followCursor();
                             })
                      << connect(source, &DataSource::rowsChanged, this,
                             [this] {
                                 // The same records in another order are the
                                 // same list: no new measure, no new offset.
                                 if (m_listKnown && table()
                                     && m_listKey.value(0) == table()->recordCount())
                                     m_listKey = listKey();
                                 viewport()->update();
                                 followCursor();
                             })
                      << connect(source, &DataSource::layoutChanged, this, &DataGrid::retitle);
    }
    m_listKnown = false;
    m_model->reset();
    followCursor();
}

void DataGrid::setColumns(const QList<Column> &columns)
{
    m_columns = columns;
    m_listKnown = false;
    m_model->reset();
    applySizes();
    followCursor();
}

store::Table *DataGrid::table() const
{
    store::Table *t = m_source ? m_source->dataSet() : nullptr;
    return t && t->active() ? t : nullptr;
}

const store::Field *DataGrid::field(int column) const
{
    store::Table *t = table();
    if (!t || column < 0 || column >= m_columns.size())
        return nullptr;
    for (const auto &f : t->fields()) {
        if (f->fieldName().compare(m_columns[column].fieldName, Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

QString DataGrid::columnTitle(int column) const
{
    if (column < 0 || column >= m_columns.size())
        return QString();
    const Column &c = m_columns[column];
    if (const store::Field *f = field(column); f && f->hasDisplayLabel() && c.shows.isEmpty())
        return f->displayLabel();
    return c.title.isEmpty() ? c.fieldName : c.title;
}

int DataGrid::currentRow() const
{
    store::Table *t = table();
    return t ? t->recNo() - 1 : -1;
}

void DataGrid::paintCell(QPainter &painter, const QRect &rect, int row, int column)
{
    // A row cut by the bottom edge, or by the scroll bar along it, stays
    // empty: the user reads whole rows only.
    if (rowCutAtBottom(*this, rect)) {
        painter.fillRect(rect, palette().color(QPalette::Active, QPalette::Base));
        return;
    }
    const bool current = row == currentRow();
    const QPalette::ColorGroup group = QPalette::Active;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setFont(font());
    painter.setBrush(palette().color(group, current ? QPalette::Highlight : QPalette::Base));
    painter.setPen(palette().color(group, current ? QPalette::HighlightedText : QPalette::Text));
    const store::Field *f = field(column);
    if (!f) {
        painter.fillRect(rect, painter.brush());
    } else {
        const CellField cell(*table(), *f, row + 1, m_columns[column].shows);
        if (m_drawDataCell)
            m_drawDataCell(painter, rect, cell);
        else
            drawCellText(painter, rect, cell.asString());
    }
    painter.restore();
}

void DataGrid::setOnCellText(CellText reaction)
{
    m_cellText = std::move(reaction);
    m_listKnown = false;
    followCursor();
}

void DataGrid::followCursor()
{
    store::Table *t = table();
    m_following = true;
    m_model->setRows(t ? t->recordCount() : 0);
    // A new list is measured for its widest text and shown from the left:
    // an offset kept from the last list could scroll all of its text away.
    if (QVariantList key = listKey(); !m_listKnown || key != m_listKey) {
        m_listKey = std::move(key);
        m_listKnown = true;
        measureLastColumn();
        horizontalScrollBar()->setValue(0);
    }
    const int row = currentRow();
    if (row >= 0) {
        const QModelIndex index = m_model->index(row, 0);
        if (selectionModel()->currentIndex() != index)
            selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_following = false;
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void DataGrid::retitle()
{
    m_model->retitle();
    horizontalHeader()->viewport()->update();
}

void DataGrid::applySizes()
{
    const QFontMetrics metrics(font());
    m_rowHeight = metrics.height() + 4;
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    horizontalHeader()->setFixedHeight(m_rowHeight + 1);
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c + 1 < m_columns.size(); ++c)
        horizontalHeader()->resizeSection(c, m_columns[c].displayWidth * digit + 4);
    measureLastColumn();
}

void DataGrid::measureLastColumn()
{
    // Measuring reads every record in view, a look-up each where the cells
    // show names, so it runs once the events of the move are done: the move
    // itself stays quick, and moves in a row measure once. Until then the
    // column fills the grid. A grid out of sight (on a page not shown)
    // measures when it is shown.
    m_widest = 0;
    fitLastColumn();
    m_widthStale = true;
    measureLater();
}

void DataGrid::measureLater()
{
    if (isVisible() && !m_measurePending) {
        m_measurePending = true;
        QMetaObject::invokeMethod(this, &DataGrid::measureNow, Qt::QueuedConnection);
    }
}

void DataGrid::measureNow()
{
    m_measurePending = false;
    if (!m_widthStale || !isVisible())
        return;
    m_widthStale = false;
    m_widest = widestText();
    fitLastColumn();
}

void DataGrid::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    if (m_widthStale)
        measureLater();
}

QVariantList DataGrid::listKey() const
{
    QVariantList key;
    store::Table *t = table();
    if (!t)
        return key;
    const int n = t->recordCount();
    key << n;
    if (n < 1)
        return key;
    // Every field, the hidden link fields included, so that the lists of two
    // masters tell apart even where their visible values agree.
    for (const int recNo : {1, (n + 1) / 2, n})
        for (const auto &f : t->fields())
            key << t->valueAt(recNo, f->column());
    return key;
}

int DataGrid::widestText() const
{
    store::Table *t = table();
    const store::Field *f = field(int(m_columns.size()) - 1);
    if (!t || !f)
        return 0;
    const QFontMetrics metrics(font());
    int widest = 0;
    const int n = t->recordCount();
    for (int recNo = 1; recNo <= n; ++recNo) {
        const CellField cell(*t, *f, recNo, m_columns.last().shows);
        const QString text = m_cellText ? m_cellText(cell) : cell.asString();
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return widest;
}

void DataGrid::fitLastColumn()
{
    if (m_columns.isEmpty() || m_fitting)
        return;
    m_fitting = true;
    const int last = int(m_columns.size()) - 1;
    int others = 0;
    for (int c = 0; c < last; ++c)
        others += horizontalHeader()->sectionSize(c);
    // The text starts 2 pixels in from the cell's edge; a little room is
    // left after it too.
    const int wanted = m_widest > 0 ? m_widest + 6 : 0;
    const int width = std::max({viewport()->width() - others, wanted, 1});
    if (horizontalHeader()->sectionSize(last) != width)
        horizontalHeader()->resizeSection(last, width);
    m_fitting = false;
}

void DataGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    rowsScrolled(*this, dy);
}

void DataGrid::updateGeometries()
{
    QTableView::updateGeometries();
    alignRowsToTop(*this);
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitLastColumn();
}

void DataGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // Moving between rows never scrolls sideways: the columns are wider than
    // the grid, and their titles and texts begin at the left.
    const int left = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(left);
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
    if (m_following || !current.isValid())
        return;
    store::Table *t = table();
    if (t && t->recNo() != current.row() + 1)
        t->setRecNo(current.row() + 1);
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Home and End go to the first and the last record.
    if (action == MoveHome && m_model->rowCount() > 0)
        return m_model->index(0, 0);
    if (action == MoveEnd && m_model->rowCount() > 0)
        return m_model->index(m_model->rowCount() - 1, 0);
    return QTableView::moveCursor(action, modifiers);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && m_dblClick)
        m_dblClick();
}

void DataGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applySizes();
}

} // namespace zil::framework
