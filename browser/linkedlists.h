// What the detail pane and the supplier browser share: the synonyms memos,
// and the lists of links with their counted titles, the names drawn into
// them, and the sub-panes under them with the Hide/Show button that reports
// their state.
#pragma once

#include "framework/datagrid.h"

#include <QList>
#include <QString>

class QLabel;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QRect;
class QWidget;

namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::browser {

// The synonyms of the material a data source stands on, listed one per line
// in a memo.
class SynonymsMemo
{
public:
    struct Controls
    {
        store::DataSource *material = nullptr;
        store::Table *rows = nullptr;
        QPlainTextEdit *memo = nullptr;
    };

    // Keeps the memo in step with the synonyms cursor when its table is read
    // again for another window, which moves the cursor onto the new rows
    // without a change of material: the memo is filled afresh when the names
    // differ.
    explicit SynonymsMemo(const Controls &controls);

    // Re-reads the synonyms cursor, so that another workstation's changes
    // show, and lists its names with the caret at the start.
    void show();

    // The material's data source, whose change notices call for show(), and
    // the memo, which reactions filling it are tied to.
    store::DataSource *material() const { return m_c.material; }
    QPlainTextEdit *memo() const { return m_c.memo; }

private:
    Controls m_c;
};

// The name of the record whose id is the cell's value, or the field the
// cell's column shows (framework::DataGrid::Column::shows), looked up on a
// cursor of its own; empty when there is no such record or the cell is of
// another field than idField.
QString nameById(const framework::CellField &field, const QString &idField, store::Table &lookup);

// "No suppliers", "1 supplier", "3 suppliers".
QString countText(qint32 count, const QString &noun, const QString &pluralSuffix);

// The Hide/Show button of the button bar with the two pictures it shows.
struct HideShowButton
{
    QPushButton *button = nullptr;
    const QLabel *showPicture = nullptr;
    const QLabel *hidePicture = nullptr;
};

// The Hide/Show button's caption and picture for a sub-pane shown or hidden.
void showHideShowState(const HideShowButton &button, bool shown);

// The links of one record in a grid: one column, titled with the count of
// the links and the record's name ("3 suppliers for: <material>"), whose
// cells show the name of the record each link names, and on demand columns
// beside it; under the grid a sub-pane with the details of the link picked,
// which a double click on the grid or the Hide/Show button hides and shows.
class LinkList
{
public:
    struct Controls
    {
        framework::DataGrid *grid = nullptr;
        QWidget *subPane = nullptr;
        HideShowButton hideShow;
        store::DataSource *links = nullptr;
        store::Table *linkRows = nullptr;
        // The record whose links are listed.
        store::Table *record = nullptr;
        // The cursor the names of the linked records are looked up on.
        store::Table *lookup = nullptr;
    };
    // The title names the count of the links, as noun with an "s" where it
    // counts several, then joiner and the record's name. Connects the grid
    // to the links; a table read again moves the links without a change of
    // record, and the count in the title follows them.
    LinkList(const Controls &controls, const QString &idField, const QString &caption,
        const QString &noun, const QString &joiner);
    Q_DISABLE_COPY_MOVE(LinkList)

    // Titles the grid as the links and the record now stand; nothing changes
    // while either cursor is closed, or when the title is the one it has.
    void showTitle();
    // The columns of the grid: the names alone, as made, or with columns
    // before them (one that shows a field of the record each link names,
    // its CAS number say) and after them (fields of the link itself, its
    // price say). Alone the names take the whole grid; with columns after
    // them, 28 characters.
    void setColumns(const QList<framework::DataGrid::Column> &before,
        const QList<framework::DataGrid::Column> &after);
    // What a cell shows: in the column of the ids the name of the record
    // each names, or the field that column shows; in another its own text.
    QString cellText(const framework::CellField &field) const;
    // Draws the cell's text.
    void drawCell(QPainter &canvas, const QRect &rect, const framework::CellField &field);
    // Hides a shown sub-pane or shows a hidden one, and the button says which.
    void toggleSubPane();
    bool subPaneShown() const;

private:
    Controls m_c;
    QString m_idField;
    QString m_caption;
    QString m_noun;
    QString m_joiner;
};

} // namespace zil::browser
