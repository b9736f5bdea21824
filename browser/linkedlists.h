// What the detail pane and the supplier browser share: the synonyms memos,
// the link grids with their counted titles and the names drawn into them,
// and the sub-panes under those grids with the Hide/Show button that reports
// their state.
#pragma once

#include <QString>
#include <functional>

class QLabel;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QRect;
class QWidget;

namespace zil::framework {
class CellField;
class DataGrid;
} // namespace zil::framework
namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::browser {

// Re-reads the synonyms cursor, so that another workstation's changes show,
// and lists its names one per line with the caret at the start.
void showSynonyms(store::Table &synonyms, QPlainTextEdit *memo);

// The name of the record whose id is the cell's value, looked up on a cursor
// of its own; empty when there is no such record or the cell is of another
// field than idField.
QString nameById(const framework::CellField &field, const QString &idField, store::Table &lookup);

// Keeps the memo in step with the synonyms cursor when its table is read
// again for another window, which moves the cursor onto the new rows without
// a change of material: the memo is filled afresh when the names differ.
void followSynonyms(store::Table &synonyms, QPlainTextEdit *memo);

// Draws the name of the record whose id is the cell's value, looked up on a
// cursor of its own so that drawing moves no list; an empty cell when there
// is no such record. Cells of other fields than idField are left alone.
void drawNameById(QPainter &canvas, const QRect &rect, const framework::CellField &field,
    const QString &idField, store::Table &lookup);

// "No suppliers", "1 supplier", "3 suppliers".
QString countText(qint32 count, const QString &noun, const QString &pluralSuffix);

// A grid of the links of one record: one column of the links' idField under
// caption, whose cells show the name that lookup holds for the id; its draw
// and double-click reactions are given.
void setUpLinkGrid(framework::DataGrid *grid, store::DataSource *links, const QString &idField,
    const QString &caption, store::Table &lookup,
    std::function<void(QPainter &, const QRect &, const framework::CellField &)> drawDataCell,
    std::function<void()> dblClick);

// Titles the link grid with the count of the links and the name of the
// record they belong to, as both now stand: "3 suppliers for: <material>".
// Nothing changes while either cursor is closed, or when the title is the
// one it has.
void showCountedTitle(store::Table &links, const QString &idField, const QString &noun,
    const QString &joiner, store::Table &record);

// The Hide/Show button of the button bar with the two pictures it shows.
struct HideShowButton
{
    QPushButton *button = nullptr;
    const QLabel *showPicture = nullptr;
    const QLabel *hidePicture = nullptr;
};

// The Hide/Show button's caption and picture for a sub-pane shown or hidden.
void showHideShowState(const HideShowButton &button, bool shown);

// Hides a shown sub-pane or shows a hidden one, and the button says which.
void toggleSubPane(QWidget *pane, const HideShowButton &button);

} // namespace zil::browser
