#include "linkedlists.h"

#include "framework/databinding.h"
#include "framework/datagrid.h"
#include "framework/picture.h"
#include "store/table.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace zil::browser {

void showSynonyms(store::Table &synonyms, QPlainTextEdit *memo)
{
    // Closing the database closes the cursors one by one and their notices
    // come with the others already closed: a closed list shows nothing.
    if (!synonyms.active()) {
        memo->clear();
        return;
    }
    synonyms.refresh();
    QStringList lines;
    const store::Field &name = synonyms.fieldByName(QStringLiteral("name"));
    for (synonyms.first(); !synonyms.eof(); synonyms.next())
        lines << name.asString();
    framework::setMemoText(memo, lines.join(QLatin1Char('\n')));
    QTextCursor caret = memo->textCursor();
    caret.movePosition(QTextCursor::Start);
    memo->setTextCursor(caret);
    memo->verticalScrollBar()->setValue(0);
    memo->horizontalScrollBar()->setValue(0);
}

void drawNameById(QPainter &canvas, const QRect &rect, const framework::CellField &field,
    const QString &idField, store::Table &lookup)
{
    if (field.fieldName() != idField)
        return;
    QString text;
    qint32 id = 0;
    if (field.asId(id) && lookup.findKey({id}))
        text = lookup.fieldByName(QStringLiteral("name")).asString();
    framework::drawCellText(canvas, rect, text);
}

bool toggleSubPane(QWidget *pane)
{
    const bool show = pane->isHidden();
    pane->setVisible(show);
    return show;
}

void showHideShowState(
    QPushButton *button, bool shown, const QLabel *showPicture, const QLabel *hidePicture)
{
    button->setText(shown ? QStringLiteral("Hide details") : QStringLiteral("Show details"));
    button->setIcon(framework::twoImageIcon((shown ? hidePicture : showPicture)->pixmap()));
}

} // namespace zil::browser
