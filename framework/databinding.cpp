#include "databinding.h"

#include "store/datasource.h"
#include "store/table.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace zil::framework {

namespace {

// The field's value on the source's current record, or nothing.
QString currentText(store::DataSource *source, const QString &field)
{
    store::Table *table = source->dataSet();
    if (!table || !table->active() || table->isEmpty())
        return QString();
    return table->fieldByName(field).asString();
}

template<typename Widget, typename Show>
void bind(Widget *widget, store::DataSource *source, const QString &field, Show show)
{
    auto update = [widget, source, field, show] { show(widget, currentText(source, field)); };
    QObject::connect(source, &store::DataSource::recordChanged, widget, update);
    QObject::connect(source, &store::DataSource::stateChanged, widget, update);
    update();
}

} // namespace

void bindField(QLineEdit *edit, store::DataSource *source, const QString &field)
{
    bind(edit, source, field, [](QLineEdit *e, const QString &text) {
        if (e->text() != text)
            e->setText(text);
        e->setCursorPosition(0);
    });
}

void bindMemo(QPlainTextEdit *memo, store::DataSource *source, const QString &field)
{
    paintOpaque(memo);
    bind(memo, source, field, [](QPlainTextEdit *m, const QString &text) {
        if (m->toPlainText() != text)
            setMemoText(m, text);
    });
}

void paintOpaque(QAbstractScrollArea *area)
{
    area->setAutoFillBackground(true);
}

// A word longer than a line is laid out by Qt in a time that grows with the
// square of its length; a megabyte without a blank would hold the program
// for many minutes.
bool hasLongWord(const QString &text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWrappedWord)
            return true;
    }
    return false;
}

void setMemoText(QPlainTextEdit *memo, const QString &text)
{
    const auto mode
        = hasLongWord(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (memo->wordWrapMode() != mode) {
        // Changing the mode lays out the text already there anew.
        memo->clear();
        memo->setWordWrapMode(mode);
    }
    memo->setPlainText(text);
}

} // namespace zil::framework
