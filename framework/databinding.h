// Read-only fields and memos that show a field of a cursor's current record
// and follow every change of it, through the cursor's data source.
#pragma once

#include <QString>

class QAbstractScrollArea;
class QLineEdit;
class QPlainTextEdit;

namespace zil::store {
class DataSource;
}

namespace zil::framework {

// The edit shows the field's text as plain text; empty while the cursor is
// closed or has no record.
void bindField(QLineEdit *edit, store::DataSource *source, const QString &field);
// The memo shows the field's whole stored text as plain text.
void bindMemo(QPlainTextEdit *memo, store::DataSource *source, const QString &field);
// Text holding a word longer than this is wrapped anywhere, not at word
// boundaries, which Qt does quickly whatever the word's length.
inline constexpr qsizetype kLongestWrappedWord = 1000;
bool hasLongWord(const QString &text);

// A memo or grid is covered whole by its frame, its contents and its scroll
// bars. Filled before it paints, it counts as opaque: repainting it, or one
// of its scroll bars, at each change of record then draws nothing of the
// panels and pages beneath it.
void paintOpaque(QAbstractScrollArea *area);

// Puts text into a memo as plain text, wrapped so that a text of any length
// is laid out quickly.
void setMemoText(QPlainTextEdit *memo, const QString &text);

} // namespace zil::framework
