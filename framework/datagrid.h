// A grid over a cursor: one row per record in view, a title row whose
// column titles are the fields' display labels, a row indicator column, lines
// between the cells and a whole-row highlight on the cursor's current record
// that stays visible without the focus.
//
// The grid and its cursor move together: moving the grid's row (mouse, keys)
// moves the cursor, and the cursor's linked cursors and change notices have
// followed before the move returns; a cursor moved by the program moves the
// grid's row. Drawing reads the rows in view without moving the cursor.
#pragma once

#include "store/datasource.h"
#include "store/table.h"

#include <QList>
#include <QPointer>
#include <QTableView>
#include <QVariant>
#include <functional>

namespace zil::framework {

// A column's field as it stands on the row being drawn: reading it reads that
// row, not the cursor's current record.
class CellField
{
public:
    CellField(const store::Table &table, const store::Field &field, int recNo,
        const QString &shows = QString())
        : m_table(table)
        , m_field(field)
        , m_recNo(recNo)
        , m_shows(shows)
    { }

    const QString &fieldName() const;
    const store::Field &field() const { return m_field; }
    // For a column of ids, the field of the record named that the column
    // shows (DataGrid::Column::shows); empty for the column's own field.
    const QString &shows() const { return m_shows; }
    // 1-based place of the row among the records in view.
    int recNo() const { return m_recNo; }
    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    qint32 asInteger() const { return value().toInt(); }
    // The value as a record id: false when it is not an integer or lies
    // outside the ids a record can have.
    bool asId(qint32 &id) const;
    QString asString() const { return value().toString(); }

private:
    const store::Table &m_table;
    const store::Field &m_field;
    int m_recNo;
    QString m_shows;
};

// Fills rect with the painter's brush and writes text in its pen, 2 pixels
// right of the left edge and 1 pixel below the top, clipped to rect.
void drawCellText(QPainter &painter, const QRect &rect, const QString &text);

class DataGrid : public QTableView
{
    Q_OBJECT
public:
    // The last column fills the grid's width and grows past it only as far as
    // its widest text needs; the others keep their display width.
    struct Column
    {
        QString fieldName;
        // Width in characters of the grid's font.
        int displayWidth = 10;
        // The title while the field has no display label of its own; the
        // field's name when empty.
        QString title;
        // For a second column over a field of ids, the field of the record
        // each id names that it shows ("cas" beside the names): the reaction
        // that draws the cells reads it from the cell. Such a column keeps
        // its own title; the field's display label titles the first.
        QString shows {};
    };
    // Draws a data cell. The painter's brush and pen hold the cell's colours
    // (the highlight colours on the current row), its font is the grid's;
    // nothing of the cell is drawn before.
    using DrawDataCell
        = std::function<void(QPainter &canvas, const QRect &rect, const CellField &field)>;
    using DblClick = std::function<void()>;
    // The text a drawn cell shows, so that the last column can be made wide
    // enough for it; without it the field's own text is measured.
    using CellText = std::function<QString(const CellField &field)>;

    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    void setDataSource(store::DataSource *source);
    store::DataSource *dataSource() const { return m_source; }

    // The visible columns, left to right.
    void setColumns(const QList<Column> &columns);
    const QList<Column> &columns() const { return m_columns; }
    QString columnTitle(int column) const;
    // Without a reaction the grid writes the field's text itself.
    void setOnDrawDataCell(DrawDataCell reaction) { m_drawDataCell = std::move(reaction); }
    void setOnDblClick(DblClick reaction) { m_dblClick = std::move(reaction); }
    void setOnCellText(CellText reaction);

    // The 0-based row of the cursor's current record; -1 when it has none.
    int currentRow() const;
    int rowHeight() const { return m_rowHeight; }

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

    // Typing in the grid searches nothing: its cells hold ids and names that
    // the program draws, and a search over every row would stall a long list.
    void keyboardSearch(const QString &) override { }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    class Model;
    class Delegate;
    class Indicator;
    friend class Model;
    friend class Delegate;
    friend class Indicator;

    store::Table *table() const;
    const store::Field *field(int column) const;
    void paintCell(QPainter &painter, const QRect &rect, int row, int column);
    void followCursor();
    void retitle();
    void applySizes();
    // What tells one list of records from another: the count and the
    // records at its ends and middle, with the master's record.
    QVariantList listKey() const;
    // The width of the widest text of the last column, over every record.
    int widestText() const;
    void fitLastColumn();
    void measureLastColumn();
    void measureLater();
    void measureNow();

    Model *m_model;
    QPointer<store::DataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
    QList<Column> m_columns;
    DrawDataCell m_drawDataCell;
    DblClick m_dblClick;
    CellText m_cellText;
    int m_rowHeight = 18;
    bool m_following = false;
    bool m_fitting = false;
    QVariantList m_listKey;
    bool m_listKnown = false;
    int m_widest = 0;
    bool m_widthStale = false;
    bool m_measurePending = false;
};

} // namespace zil::framework
