// The material list of the main window: its order, caption and search field
// state, search as you type, the navigation buttons, and the drawing, row
// selection and scrolling of the material grid.
#include "Search.h"
#include "searchclass.h"

#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/table.h"
#include "store/tablefile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

void TMainForm::connectMaterialList()
{
    connect(SearchField, &QLineEdit::textChanged, this, &TMainForm::SearchFieldChange);
    connect(OrderButton, &QPushButton::clicked, this, &TMainForm::OrderButtonClick);
    connect(FirstButton, &QPushButton::clicked, this, &TMainForm::FirstButtonClick);
    connect(PriorButton, &QPushButton::clicked, this, &TMainForm::PriorButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TMainForm::NextButtonClick);
    connect(LastButton, &QPushButton::clicked, this, &TMainForm::LastButtonClick);
    connect(SearchButton, &QPushButton::clicked, this, &TMainForm::SearchButtonClick);
    MaterialGrid->setOnSelectCell(
        [this](int col, int row, bool &canSelect) { MaterialGridSelectCell(col, row, canSelect); });
    MaterialGrid->setOnDrawCell([this](QPainter &painter, int col, int row, const QRect &rect,
                                    zil::framework::GridDrawState state) {
        MaterialGridDrawCell(painter, col, row, rect, state);
    });
    MaterialGrid->setOnTopLeftChanged([this] { MaterialGridTopLeftChanged(); });
}

void TMainForm::SearchFieldChange()
{
    SearchMaterial();
}

void TMainForm::SearchMaterial()
{
    if (!EventsEnabled || !SearchClass)
        return;
    TSearchClass &list = *SearchClass;
    const QString text = SearchField->text();
    if (list.GetOrder() == QLatin1String("Name")) {
        TableMaterialSelect->setIndexName(QStringLiteral("NameOrder"));
        TableMaterialSelect->findNearest(text);
        const qint32 found = TableMaterialSelect->fieldByName(QStringLiteral("id")).asInteger();
        // The first selected material at or after the match in name order,
        // else the last selected one before it, else the first material.
        qint32 id = std::max(found, 1);
        while (id <= MaterialCount && !list.IsSelected(id))
            ++id;
        if (id > MaterialCount) {
            id = std::min(found, MaterialCount + 1) - 1;
            while (id > 0 && !list.IsSelected(id))
                --id;
            if (id == 0)
                id = 1;
        }
        list.GotoMaterial(id);
        list.ShowCurrent();
    } else {
        TableMaterialSelect->setIndexName(QStringLiteral("CASOrder"));
        TableMaterialSelect->findNearest(text);
        const qint32 id = TableMaterialSelect->fieldByName(QStringLiteral("id")).asInteger();
        // A match outside the selection moves nothing.
        if (list.IsSelected(id)) {
            list.GotoMaterial(id);
            list.ShowCurrent();
        }
    }
}

void TMainForm::OrderButtonClick()
{
    ToggleOrder();
    MaterialGrid->repaintAll();
}

void TMainForm::ToggleOrder()
{
    if (!SearchClass)
        return;
    if (SearchClass->GetOrder() == QLatin1String("CAS")) {
        SetListOrder(QStringLiteral("Name"));
        OrderButton->setText(QStringLiteral("&Order by CAS"));
    } else {
        SetListOrder(QStringLiteral("CAS"));
        OrderButton->setText(QStringLiteral("&Order by name"));
    }
    // The field is emptied without a search, so the current material stays.
    EventsEnabled = false;
    SearchField->clear();
    EventsEnabled = true;
}

void TMainForm::FirstButtonClick()
{
    Navigate(QStringLiteral("first"));
}

void TMainForm::PriorButtonClick()
{
    Navigate(QStringLiteral("prior"));
}

void TMainForm::NextButtonClick()
{
    Navigate(QStringLiteral("next"));
}

void TMainForm::LastButtonClick()
{
    Navigate(QStringLiteral("last"));
}

void TMainForm::Navigate(const QString &word)
{
    if (MainTabNotebook->currentIndex() == 0)
        NavigateMaterials(word);
    else
        NavigateSuppliers(word);
}

void TMainForm::NavigateMaterials(const QString &word)
{
    const int r = MaterialGrid->row();
    const int rows = MaterialGrid->rowCount();
    if (word == QLatin1String("first"))
        MaterialGrid->setRow(1);
    else if (word == QLatin1String("prior")) {
        if (r > 1)
            MaterialGrid->setRow(r - 1);
    } else if (word == QLatin1String("next")) {
        if (r < rows - 1)
            MaterialGrid->setRow(r + 1);
    } else if (word == QLatin1String("last"))
        MaterialGrid->setRow(rows - 1);
}

void TMainForm::NavigateSuppliers(const QString &word)
{
    if (!TableSupplierName->active())
        return;
    if (word == QLatin1String("first"))
        TableSupplierName->first();
    else if (word == QLatin1String("prior"))
        TableSupplierName->prior();
    else if (word == QLatin1String("next"))
        TableSupplierName->next();
    else if (word == QLatin1String("last"))
        TableSupplierName->last();
}

void TMainForm::MaterialGridTopLeftChanged()
{
    if (!SearchClass)
        return;
    const int visible = MaterialGrid->visibleRowCount();
    // A grid with no room for a row shows nothing to keep in view.
    if (visible < 1)
        return;
    const int current = MaterialGrid->row();
    const int top = MaterialGrid->topRow();
    const int bottom = top + visible - 1;
    if (current < top) {
        SearchClass->SelectRow(top);
        SearchClass->ShowCurrent();
    } else if (current > bottom) {
        SearchClass->SelectRow(bottom);
        SearchClass->ShowCurrent();
    }
}

void TMainForm::SearchButtonClick()
{
    if (!SearchWindow || !SearchClass)
        return;
    const int choice = SearchWindow->Execute();
    if (choice == 1)
        ApplySelection();
    else if (choice == 2)
        RestoreAll();
    UpdateListCaption();
    UpdateSearchEnabled();
}

void TMainForm::SetListOrder(const QString &order)
{
    if (order == QLatin1String("Name")) {
        SearchLabel->setText(QStringLiteral("S&earch name:"));
        SearchClass->SetOrder(QStringLiteral("Name"));
    } else {
        SearchLabel->setText(QStringLiteral("S&earch CAS:"));
        SearchClass->SetOrder(QStringLiteral("CAS"));
    }
    UpdateListCaption();
    UpdateSearchEnabled();
}

void TMainForm::UpdateSearchEnabled()
{
    const bool enabled = SearchClass->SelectedCount == MaterialCount
        || SearchClass->GetOrder() == QLatin1String("Name");
    SearchLabel->setEnabled(enabled);
    SearchField->setEnabled(enabled);
    QPalette p = SearchField->palette();
    p.setColor(QPalette::Base,
        enabled ? palette().color(QPalette::Active, QPalette::Base)
                : palette().color(QPalette::Active, QPalette::Button));
    SearchField->setPalette(p);
}

void TMainForm::UpdateListCaption()
{
    const int n = MaterialGrid->rowCount() - 1;
    QString caption = n == TableMaterial->recordCount()
        ? QStringLiteral("List of all materials (%1)").arg(n)
        : QStringLiteral("%1 materials selected").arg(n);
    if (SearchClass->GetOrder() == QLatin1String("CAS"))
        caption += QStringLiteral(" - sorted by CAS");
    MaterialGrid->setCell(0, 0, caption);
}

void TMainForm::MaterialGridDrawCell(
    QPainter &canvas, int, int row, const QRect &rect, zil::framework::GridDrawState state)
{
    QColor background = Qt::white;
    QColor text = Qt::black;
    if (state.selected) {
        background = QColor(0, 0, 255);
        text = Qt::white;
    }
    if (state.fixed) {
        background = palette().color(QPalette::Button);
        text = Qt::black;
    }
    QString name;
    if (state.fixed) {
        name = MaterialGrid->cell(0, 0);
    } else if (SearchClass) {
        // A row outside the list, or an id the table no longer has, stays
        // empty rather than showing the scan cursor's record.
        const qint32 id = SearchClass->IdOfRow(row);
        TableMaterialSelect->setIndexName(QString());
        if (id > 0 && TableMaterialSelect->findKey({id}))
            name = TableMaterialSelect->fieldByName(QStringLiteral("name")).asString();
    }
    // The canvas's pen and brush come back as they were.
    canvas.save();
    canvas.setBrush(background);
    canvas.setPen(text);
    zil::framework::drawCellText(canvas, rect, name);
    canvas.restore();
}

void TMainForm::FollowNewDatabase()
{
    if (!SearchClass || !TableMaterial->active())
        return;
    RestoreAll();
    UpdateListCaption();
    UpdateSearchEnabled();
    // Ids of one database mean nothing in the next: where the user's text is
    // left in a search field, the item it names in the new database becomes
    // current, as if it had been typed now.
    if (!SearchField->text().isEmpty())
        SearchMaterial();
    if (!EditSupplierName->text().isEmpty())
        FindSupplierName();
}

void TMainForm::MaterialGridSelectCell(int, int row, bool &)
{
    SearchClass->SelectRow(row);
}

void TMainForm::ApplySelection()
{
    SearchClass->ApplyCriteria();
    SearchClass->ShowCurrent();
}

void TMainForm::RestoreAll()
{
    // A database replaced meanwhile is taken up whole: once its four tables
    // agree on their generation, each refresh below reads the new files.
    zil::store::adoptNewGeneration(DatabasePath);
    // Listing every material again reads the tables afresh, all four of them,
    // so that a database replaced meanwhile shows its new data throughout:
    // never new materials beside old synonyms, suppliers, counts or CAS order.
    for (zil::store::Table *t : {TableSupplier, TableSupLink, TableSinon})
        t->refresh();
    SearchClass->SelectAll();
    MaterialCount = SearchClass->SelectedCount;
    SearchClass->MaterialCount = MaterialCount;
    const QString index = TableMaterialSelect->indexName();
    SearchClass->BuildAllCASList();
    TableMaterialSelect->setIndexName(index);
    SearchClass->Rebuild();
    SearchClass->ShowCurrent();
}
