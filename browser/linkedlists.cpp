#include "linkedlists.h"

#include "framework/databinding.h"
#include "framework/datagrid.h"
#include "framework/picture.h"
#include "store/datasource.h"
#include "store/table.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace zil::browser {

namespace {

// Set while the program itself moves a synonyms cursor, whose notices then
// announce no new rows.
int s_walking = 0;

struct Walking
{
    Walking() { ++s_walking; }
    ~Walking() { --s_walking; }
    Walking(const Walking &) = delete;
    Walking &operator=(const Walking &) = delete;
};

QString synonymLines(store::Table &synonyms)
{
    const Walking walking;
    QStringList lines;
    const store::Field &name = synonyms.fieldByName(QStringLiteral("name"));
    for (synonyms.first(); !synonyms.eof(); synonyms.next())
        lines << name.asString();
    return lines.join(QLatin1Char('\n'));
}

// The key of the master record that the synonyms cursor follows.
QVariant masterKey(store::Table &synonyms)
{
    store::DataSource *source = synonyms.masterSource();
    store::Table *master = source ? source->dataSet() : nullptr;
    if (!master || !master->active() || master->isEmpty())
        return QVariant();
    return master->value(master->fieldByName(synonyms.masterFields()).column());
}

const char *const kShownFor = "zilSynonymsOf";

void fillMemo(QPlainTextEdit *memo, const QString &text)
{
    framework::setMemoText(memo, text);
    QTextCursor caret = memo->textCursor();
    caret.movePosition(QTextCursor::Start);
    memo->setTextCursor(caret);
    memo->verticalScrollBar()->setValue(0);
    memo->horizontalScrollBar()->setValue(0);
}

} // namespace

void SynonymsMemo::show()
{
    store::Table &synonyms = *m_c.rows;
    QPlainTextEdit *memo = m_c.memo;
    // Closing the database closes the cursors one by one and their notices
    // come with the others already closed: a closed list shows nothing.
    if (!synonyms.active()) {
        memo->clear();
        return;
    }
    QString text;
    {
        const Walking walking;
        synonyms.refresh();
        text = synonymLines(synonyms);
    }
    fillMemo(memo, text);
    memo->setProperty(kShownFor, masterKey(synonyms));
}

SynonymsMemo::SynonymsMemo(const Controls &controls)
    : m_c(controls)
{
    store::Table &synonyms = *m_c.rows;
    QPlainTextEdit *memo = m_c.memo;
    framework::paintOpaque(memo);
    // The cursor has no data source of its own; this one lives as long as
    // the memo it fills.
    auto *source = new store::DataSource(memo);
    source->setDataSet(&synonyms);
    QObject::connect(source, &store::DataSource::dataChange, memo, [&synonyms, memo] {
        // A move to another master record is followed by the change notice
        // of that record, which fills the memo.
        if (s_walking || !synonyms.active() || memo->property(kShownFor) != masterKey(synonyms))
            return;
        // The rows are read where they stand, without moving the cursor:
        // whoever moved it, a walk over its records included, finds it
        // where it left it.
        const int column = synonyms.fieldByName(QStringLiteral("name")).column();
        QStringList lines;
        for (int recNo = 1, n = synonyms.recordCount(); recNo <= n; ++recNo)
            lines << synonyms.valueAt(recNo, column).toString();
        const QString text = lines.join(QLatin1Char('\n'));
        if (text != memo->toPlainText())
            fillMemo(memo, text);
    });
}

QString nameById(const framework::CellField &field, const QString &idField, store::Table &lookup)
{
    qint32 id = 0;
    if (field.fieldName() != idField || !lookup.active() || !field.asId(id)
        || !lookup.findKey({id}))
        return QString();
    const QString shown = field.shows().isEmpty() ? QStringLiteral("name") : field.shows();
    return lookup.fieldByName(shown).asString();
}

QString countText(qint32 count, const QString &noun, const QString &pluralSuffix)
{
    if (count == 0)
        return QStringLiteral("No ") + noun + pluralSuffix;
    if (count == 1)
        return QStringLiteral("1 ") + noun;
    return QString::number(count) + QLatin1Char(' ') + noun + pluralSuffix;
}

void showHideShowState(const HideShowButton &button, bool shown)
{
    button.button->setText(shown ? QStringLiteral("Hide details") : QStringLiteral("Show details"));
    button.button->setIcon(
        framework::twoImageIcon((shown ? button.hidePicture : button.showPicture)->pixmap()));
}

LinkList::LinkList(const Controls &controls, const QString &idField, const QString &caption,
    const QString &noun, const QString &joiner)
    : m_c(controls)
    , m_idField(idField)
    , m_caption(caption)
    , m_noun(noun)
    , m_joiner(joiner)
{
    framework::DataGrid &grid = *m_c.grid;
    grid.setDataSource(m_c.links);
    setColumns({}, {});
    // The names it shows, for copying and sizing; the window's event map
    // ties the drawing of the names and the double click to their reactions.
    grid.setOnCellText([this](const framework::CellField &field) { return cellText(field); });
    // Tied to the grid it titles: the window's cursors close after its
    // controls are gone, and their notices then find no reaction.
    QObject::connect(m_c.links, &store::DataSource::dataChange, m_c.grid, [this] { showTitle(); });
}

void LinkList::showTitle()
{
    if (!m_c.linkRows->active() || !m_c.record->active())
        return;
    const QString title = countText(m_c.linkRows->recordCount(), m_noun, QStringLiteral("s"))
        + m_joiner + m_c.record->fieldByName(QStringLiteral("name")).asString();
    m_c.linkRows->fieldByName(m_idField).setDisplayLabel(title);
}

void LinkList::setColumns(const QList<framework::DataGrid::Column> &before,
    const QList<framework::DataGrid::Column> &after)
{
    QList<framework::DataGrid::Column> columns = before;
    columns << framework::DataGrid::Column {m_idField, after.isEmpty() ? 200 : 28, m_caption};
    columns << after;
    m_c.grid->setColumns(columns);
}

QString LinkList::cellText(const framework::CellField &field) const
{
    if (field.fieldName() != m_idField)
        return field.asString();
    return nameById(field, m_idField, *m_c.lookup);
}

void LinkList::drawCell(QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    framework::drawCellText(canvas, rect, cellText(field));
}

void LinkList::toggleSubPane()
{
    const bool show = m_c.subPane->isHidden();
    m_c.subPane->setVisible(show);
    showHideShowState(m_c.hideShow, show);
}

bool LinkList::subPaneShown() const
{
    return !m_c.subPane->isHidden();
}

} // namespace zil::browser
