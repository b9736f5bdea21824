// What the detail pane and the supplier browser share: the synonyms memos,
// the names drawn into the link grids, and the sub-panes under those grids
// with the Hide/Show button that reports their state.
#pragma once

#include <QString>

class QLabel;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QRect;
class QWidget;

namespace zil::framework {
class CellField;
}
namespace zil::store {
class Table;
}

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

// Hides a shown sub-pane or shows a hidden one; true when it is now shown.
bool toggleSubPane(QWidget *pane);

// The Hide/Show button's caption and picture for a sub-pane shown or hidden.
void showHideShowState(
    QPushButton *button, bool shown, const QLabel *showPicture, const QLabel *hidePicture);

} // namespace zil::browser
