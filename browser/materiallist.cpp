#include "materiallist.h"

#include "Search.h"
#include "searchclass.h"

#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "store/table.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace zil::browser {

MaterialList::MaterialList(const Controls &controls, Shared shared)
    : m_c(controls)
    , m_shared(std::move(shared))
{
    // The reactions are tied to the controls they come from; the window's
    // controls go before this list does.
    QObject::connect(
        m_c.searchField, &QLineEdit::textChanged, m_c.searchField, [this] { SearchMaterial(); });
    QObject::connect(
        m_c.orderButton, &QPushButton::clicked, m_c.orderButton, [this] { OrderButtonClick(); });
    QObject::connect(
        m_c.selectButton, &QPushButton::clicked, m_c.selectButton, [this] { SearchButtonClick(); });
    m_c.grid->setOnSelectCell(
        [this](int col, int row, bool &canSelect) { MaterialGridSelectCell(col, row, canSelect); });
    m_c.grid->setOnDrawCell([this](QPainter &painter, int col, int row, const QRect &rect,
                                framework::GridDrawState state) {
        MaterialGridDrawCell(painter, col, row, rect, state);
    });
    m_c.grid->setOnTopLeftChanged([this] { MaterialGridTopLeftChanged(); });
}

void MaterialList::SearchMaterial()
{
    if (!m_shared.eventsEnabled || !m_shared.searchClass)
        return;
    TSearchClass &list = *m_shared.searchClass;
    const qint32 materialCount = m_shared.materialCount;
    const QString text = m_c.searchField->text();
    if (list.GetOrder() == QLatin1String("Name")) {
        m_c.scan->setIndexName(QStringLiteral("NameOrder"));
        m_c.scan->findNearest(text);
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
    if (!m_shared.searchClass)
        return;
    if (m_shared.searchClass->GetOrder() == QLatin1String("CAS")) {
        SetListOrder(QStringLiteral("Name"));
        m_c.orderButton->setText(QStringLiteral("&Order by CAS"));
    } else {
        SetListOrder(QStringLiteral("CAS"));
        m_c.orderButton->setText(QStringLiteral("&Order by name"));
    }
    // The field is emptied without a search, so the current material stays.
    m_shared.eventsEnabled = false;
    m_c.searchField->clear();
    m_shared.eventsEnabled = true;
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
    if (!m_shared.searchClass)
        return;
    TSearchClass &list = *m_shared.searchClass;
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
    if (!m_shared.searchClass)
        return;
    TSearchClass &list = *m_shared.searchClass;
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
    if (!m_shared.searchWindow || !m_shared.searchClass)
        return;
    const int choice = m_shared.searchWindow->Execute();
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
        m_shared.searchClass->SetOrder(QStringLiteral("Name"));
    } else {
        m_c.searchLabel->setText(QStringLiteral("S&earch CAS:"));
        m_shared.searchClass->SetOrder(QStringLiteral("CAS"));
    }
    UpdateListCaption();
    UpdateSearchEnabled();
}

void MaterialList::UpdateSearchEnabled()
{
    const TSearchClass &list = *m_shared.searchClass;
    const bool enabled
        = list.SelectedCount == m_shared.materialCount || list.GetOrder() == QLatin1String("Name");
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
    if (m_shared.searchClass->GetOrder() == QLatin1String("CAS"))
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
    } else if (m_shared.searchClass) {
        // A row outside the list, or an id the table no longer has, stays
        // empty rather than showing the scan cursor's record.
        const qint32 id = m_shared.searchClass->IdOfRow(row);
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

void MaterialList::FollowNewDatabase()
{
    if (!m_shared.searchClass || !m_c.materials->active())
        return;
    RestoreAll();
    UpdateListCaption();
    UpdateSearchEnabled();
    // Ids of one database mean nothing in the next: where the user's text is
    // left in a search field, the item it names in the new database becomes
    // current, as if it had been typed now.
    if (!m_c.searchField->text().isEmpty())
        SearchMaterial();
    m_shared.searchAgainElsewhere();
}

void MaterialList::MaterialGridSelectCell(int, int row, bool &)
{
    m_shared.searchClass->SelectRow(row);
}

void MaterialList::ApplySelection()
{
    m_shared.searchClass->ApplyCriteria();
    m_shared.searchClass->ShowCurrent();
}

void MaterialList::RestoreAll()
{
    TSearchClass &list = *m_shared.searchClass;
    // Listing every material again reads the tables afresh, all four of them,
    // so that a database taken up meanwhile shows its new data throughout:
    // never new materials beside old synonyms, suppliers, counts or CAS order.
    // A refresh reads a new database only once it is accepted whole; one
    // that finds the tables replaced before that has it followed
    // (store/dbupdate.h).
    for (store::Table *t : std::as_const(m_c.readWithList))
        t->refresh();
    list.SelectAll();
    m_shared.materialCount = list.SelectedCount;
    list.MaterialCount = m_shared.materialCount;
    const QString index = m_c.scan->indexName();
    list.BuildAllCASList();
    m_c.scan->setIndexName(index);
    list.Rebuild();
    list.ShowCurrent();
}

} // namespace zil::browser
