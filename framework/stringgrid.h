// A string grid in the manner of the program's list: a fixed caption row 0
// and owner-drawn rows 1..RowCount-1 in one column. The grid keeps its own
// current row; moving it first asks the row-selection reaction, then moves
// and scrolls the row into view, all before the move returns.
#pragma once

#include <QTableView>
#include <functional>

namespace zil::framework {

struct GridDrawState
{
    bool selected = false;
    bool focused = false;
    bool fixed = false;
};

class StringGrid : public QTableView
{
    Q_OBJECT
public:
    using DrawCell = std::function<void(
        QPainter &painter, int col, int row, const QRect &rect, GridDrawState state)>;
    // Called with the new row before the current row changes; leaving
    // canSelect true lets the move happen.
    using SelectCell = std::function<void(int col, int row, bool &canSelect)>;
    using TopLeftChanged = std::function<void()>;

    explicit StringGrid(QWidget *parent = nullptr);
    ~StringGrid() override;

    void setOnDrawCell(DrawCell f) { m_drawCell = std::move(f); }
    void setOnSelectCell(SelectCell f) { m_selectCell = std::move(f); }
    void setOnTopLeftChanged(TopLeftChanged f) { m_topLeftChanged = std::move(f); }

    // Rows including the fixed caption row; at least 1.
    int rowCount() const { return m_rowCount; }
    void setRowCount(int rows);

    // The current row, 1..rowCount()-1; 0 when the grid has no data rows.
    int row() const { return m_row; }
    void setRow(int row);

    // The first visible data row and the number of fully visible data rows.
    int topRow() const;
    int visibleRowCount() const;

    int defaultRowHeight() const { return m_rowHeight; }
    void setDefaultRowHeight(int height);

    // The text stored in a cell; the grid keeps text only for cells given one.
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString &text);

    // Repaints every cell, the caption row included.
    void repaintAll();

    // Typing in the grid searches nothing; the search field does that.
    void keyboardSearch(const QString &) override { }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    class Model;
    class Delegate;
    class Caption;
    friend class Delegate;
    friend class Caption;

    void paintCell(QPainter &painter, int row, const QRect &rect, bool fixed);
    // Draws a data row anew; nothing for a row out of view.
    void updateRow(int row);
    void scrollRowIntoView(int row);
    void topChanged();

    Model *m_model;
    int m_rowCount = 1;
    int m_row = 0;
    int m_rowHeight = 18;
    int m_lastTop = -1;
    // Set while the row count changes, which moves the first visible row
    // without the user scrolling.
    bool m_settingRows = false;
    QHash<quint64, QString> m_cells;
    DrawCell m_drawCell;
    SelectCell m_selectCell;
    TopLeftChanged m_topLeftChanged;
};

} // namespace zil::framework
