#include "materiallist.h"

#include "Search.h"
#include "criteriamarks.h"
#include "searchclass.h"

#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "store/table.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace zil::browser {

MaterialList::MaterialList(const Controls &controls, std::shared_ptr<ListContext> context)
    : m_c(controls)
    , m_context(std::move(context))
{ }

void MaterialList::SearchMaterial()
{
    if (!m_context->EventsEnabled || !m_context->SearchClass)
        return;
    TSearchClass &list = *m_context->SearchClass;
    const qint32 materialCount = m_context->MaterialCount;
    const QString text = m_c.searchField->text();
    if (list.GetOrder() == QLatin1String("Name")) {
        // The sort keys hold names with their letters folded: "crème" is
        // looked for as "creme".
        m_c.scan->setIndexName(QStringLiteral("NameOrder"));
        m_c.scan->findNearestName(text);
        const qint32 found = m_c.scan->fieldByName(QStringLiteral("id")).asInteger();
        // The first selected material at or after the match in name order,
        // else the last selected one before it, else the first material.
        qint32 id = std::max(found, 1);
        while (id <= materialCount && !list.IsSelected(id))
            ++id;
        if (id > materialCount) {
            id = std::min(found, materialCount + 1) - 1;
            while (id > 0 && !list.IsSelected(id))
                --id;
            if (id == 0)
                id = 1;
        }
        list.GotoMaterial(id);
        list.ShowCurrent();
    } else {
        m_c.scan->setIndexName(QStringLiteral("CASOrder"));
        m_c.scan->findNearest(text);
        const qint32 id = m_c.scan->fieldByName(QStringLiteral("id")).asInteger();
        // A match outside the selection moves nothing.
        if (list.IsSelected(id)) {
            list.GotoMaterial(id);
            list.ShowCurrent();
        }
    }
}

void MaterialList::OrderButtonClick()
{
    ToggleOrder();
    m_c.grid->repaintAll();
}

void MaterialList::ToggleOrder()
{
    if (!m_context->SearchClass)
        return;
    if (m_context->SearchClass->GetOrder() == QLatin1String("CAS")) {
        SetListOrder(QStringLiteral("Name"));
        m_c.orderButton->setText(QStringLiteral("&Order by CAS"));
    } else {
        SetListOrder(QStringLiteral("CAS"));
        m_c.orderButton->setText(QStringLiteral("&Order by name"));
    }
    // The field is emptied without a search, so the current material stays.
    const HeldEvents held(*m_context);
    m_c.searchField->clear();
}

void MaterialList::NavigateMaterials(const QString &word)
{
    framework::StringGrid &grid = *m_c.grid;
    const int r = grid.row();
    const int rows = grid.rowCount();
    if (word == QLatin1String("first"))
        grid.setRow(1);
    else if (word == QLatin1String("prior")) {
        if (r > 1)
            grid.setRow(r - 1);
    } else if (word == QLatin1String("next")) {
        if (r < rows - 1)
            grid.setRow(r + 1);
    } else if (word == QLatin1String("last"))
        grid.setRow(rows - 1);
}

void MaterialList::MaterialGridTopLeftChanged()
{
    if (!m_context->SearchClass)
        return;
    TSearchClass &list = *m_context->SearchClass;
    const int visible = m_c.grid->visibleRowCount();
    // A grid with no room for a row shows nothing to keep in view.
    if (visible < 1)
        return;
    const int current = m_c.grid->row();
    const int top = m_c.grid->topRow();
    const int bottom = top + visible - 1;
    if (current < top) {
        list.SelectRow(top);
        list.ShowCurrent();
    } else if (current > bottom) {
        list.SelectRow(bottom);
        list.ShowCurrent();
    }
}

void MaterialList::ShowLinkedMaterial(qint32 id)
{
    if (!m_context->SearchClass)
        return;
    TSearchClass &list = *m_context->SearchClass;
    if (list.IsSelected(id)) {
        list.GotoMaterial(id);
        list.ShowCurrent();
    } else {
        list.GotoFirst();
    }
    MaterialGridTopLeftChanged();
}

void MaterialList::SearchButtonClick()
{
    if (!m_context->SearchWindow || !m_context->SearchClass)
        return;
    const int choice = m_context->SearchWindow->Execute();
    if (choice == 1)
        ApplySelection();
    else if (choice == 2)
        RestoreAll();
    UpdateListCaption();
    UpdateSearchEnabled();
}

void MaterialList::SetListOrder(const QString &order)
{
    if (order == QLatin1String("Name")) {
        m_c.searchLabel->setText(QStringLiteral("S&earch name:"));
        m_context->SearchClass->SetOrder(QStringLiteral("Name"));
    } else {
        m_c.searchLabel->setText(QStringLiteral("S&earch CAS:"));
        m_context->SearchClass->SetOrder(QStringLiteral("CAS"));
    }
    UpdateListCaption();
    UpdateSearchEnabled();
}

void MaterialList::UpdateSearchEnabled()
{
    const TSearchClass &list = *m_context->SearchClass;
    const bool enabled = list.SelectedCount == m_context->MaterialCount
        || list.GetOrder() == QLatin1String("Name");
    m_c.searchLabel->setEnabled(enabled);
    m_c.searchField->setEnabled(enabled);
    const QPalette &colours = m_c.grid->window()->palette();
    QPalette p = m_c.searchField->palette();
    p.setColor(QPalette::Base,
        enabled ? colours.color(QPalette::Active, QPalette::Base)
                : colours.color(QPalette::Active, QPalette::Button));
    m_c.searchField->setPalette(p);
}

void MaterialList::UpdateListCaption()
{
    const int n = m_c.grid->rowCount() - 1;
    QString caption = n == m_c.materials->recordCount()
        ? QStringLiteral("List of all materials (%1)").arg(n)
        : QStringLiteral("%1 materials selected").arg(n);
    if (m_context->SearchClass->GetOrder() == QLatin1String("CAS"))
        caption += QStringLiteral(" - sorted by CAS");
    m_c.grid->setCell(0, 0, caption);
}

void MaterialList::MaterialGridDrawCell(
    QPainter &canvas, int, int row, const QRect &rect, framework::GridDrawState state)
{
    QColor background = Qt::white;
    QColor text = Qt::black;
    if (state.selected) {
        background = QColor(0, 0, 255);
        text = Qt::white;
    }
    if (state.fixed) {
        background = m_c.grid->window()->palette().color(QPalette::Button);
        text = Qt::black;
    }
    QString name;
    if (state.fixed) {
        name = m_c.grid->cell(0, 0);
    } else if (m_context->SearchClass) {
        // A row outside the list, or an id the table no longer has, stays
        // empty rather than showing the scan cursor's record.
        const qint32 id = m_context->SearchClass->IdOfRow(row);
        m_c.scan->setIndexName(QString());
        if (id > 0 && m_c.scan->findKey({id}))
            name = m_c.scan->fieldByName(QStringLiteral("name")).asString();
    }
    // The canvas's pen and brush come back as they were.
    canvas.save();
    canvas.setBrush(background);
    canvas.setPen(text);
    framework::drawCellText(canvas, rect, name);
    canvas.restore();
}

bool MaterialList::FollowNewDatabase()
{
    if (!m_context->SearchClass || !m_c.materials->active())
        return false;
    RestoreAll();
    UpdateListCaption();
    UpdateSearchEnabled();
    // Ids of one database mean nothing in the next: where the user's text is
    // left in a search field, the item it names in the new database becomes
    // current, as if it had been typed now.
    if (!m_c.searchField->text().isEmpty())
        SearchMaterial();
    return true;
}

void MaterialList::MaterialGridSelectCell(int, int row, bool &)
{
    m_context->SearchClass->SelectRow(row);
}

void MaterialList::ApplySelection()
{
    m_context->SearchClass->ApplyCriteria();
    m_context->SearchClass->ShowCurrent();
    if (m_c.marks)
        m_c.marks->Chosen(1);
}

void MaterialList::RestoreAll()
{
    TSearchClass &list = *m_context->SearchClass;
    // Listing every material again reads the tables afresh, all four of them,
    // so that a database taken up meanwhile shows its new data throughout:
    // never new materials beside old synonyms, suppliers, counts or CAS order.
    // A refresh reads a new database only once it is accepted whole; one
    // that finds the tables replaced before that has it followed
    // (store/dbupdate.h).
    for (store::Table *t : std::as_const(m_c.readWithList))
        t->refresh();
    list.SelectAll();
    m_context->MaterialCount = list.SelectedCount;
    const QString index = m_c.scan->indexName();
    list.BuildAllCASList();
    m_c.scan->setIndexName(index);
    list.Rebuild();
    list.ShowCurrent();
    if (m_c.marks)
        m_c.marks->Chosen(2);
}

std::optional<qint32> MaterialList::Reveal(qint32 id, const QString &name)
{
    // A database replaced since the material was picked may give the id to
    // another material: nothing is opened or restored then.
    if (!m_context->SearchClass || !Names(id, name))
        return std::nullopt;
    if (!m_context->SearchClass->IsSelected(id)) {
        // Listing every material again reads the tables anew; should they
        // be those of a database taken up meanwhile, whose ids follow the
        // new name order, the material is looked up again there by its name.
        const QString key = SortKeyOf(id, name);
        RestoreAll();
        UpdateListCaption();
        UpdateSearchEnabled();
        if (!Names(id, name)) {
            const std::optional<qint32> moved = IdByName(name, key);
            if (!moved)
                return std::nullopt;
            id = *moved;
        }
    }
    ShowLinkedMaterial(id);
    return id;
}

bool MaterialList::Names(qint32 id, const QString &name) const
{
    store::Table *lookup = m_c.lookup;
    if (!lookup || !lookup->active())
        return false;
    lookup->setIndexName(QString());
    return lookup->findKey({id}) && lookup->fieldByName(QStringLiteral("name")).asString() == name;
}

QString MaterialList::SortKeyOf(qint32 id, const QString &name) const
{
    if (!Names(id, name))
        return {};
    return m_c.lookup->fieldByName(QStringLiteral("sf")).asString();
}

std::optional<qint32> MaterialList::IdByName(const QString &name, const QString &key) const
{
    store::Table *lookup = m_c.lookup;
    if (key.isEmpty() || !lookup || !lookup->active())
        return std::nullopt;
    const QString saved = lookup->indexName();
    lookup->setIndexName(QStringLiteral("NameOrder"));
    lookup->findNearest(key);
    std::optional<qint32> found;
    // Materials of one sort key lie together in name order.
    while (!lookup->isEmpty() && !lookup->eof()
        && lookup->fieldByName(QStringLiteral("sf")).asString().compare(key, Qt::CaseInsensitive)
            == 0) {
        qint32 id = 0;
        if (lookup->fieldByName(QStringLiteral("name")).asString() == name
            && lookup->fieldByName(QStringLiteral("id")).asId(id)) {
            found = id;
            break;
        }
        lookup->next();
    }
    lookup->setIndexName(saved);
    return found;
}

} // namespace zil::browser
