// The Suppliers tab: the supplier list with its search field, the supplier's
// materials with the picked material's numbers and synonyms; and the tab
// switch, which sets the button bar and the Report menu for the tab in view
// and brings the entered tab's list to the item last picked on the other.
#include "linkedlists.h"
#include "searchclass.h"

#include "framework/notebook.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

void TMainForm::connectSupplierBrowser()
{
    using zil::framework::CellField;
    connect(EditSupplierName, &QLineEdit::textChanged, this, &TMainForm::EditSupplierNameChange);
    DBGrid1->setDataSource(SourceSupplierName);
    DBGrid1->setColumns({{QStringLiteral("name"), 100, QStringLiteral("Supplier name")}});
    MaterialGrid2->setDataSource(SourceLink2);
    MaterialGrid2->setColumns(
        {{QStringLiteral("materialid"), 200, QStringLiteral("Material name")}});
    MaterialGrid2->setOnDrawDataCell(
        [this](QPainter &canvas, const QRect &rect, const CellField &field) {
            MaterialGrid2DrawDataCell(canvas, rect, field);
        });
    MaterialGrid2->setOnCellText([this](const CellField &field) {
        return zil::browser::nameById(field, QStringLiteral("materialid"), *TableMaterialSearch);
    });
    MaterialGrid2->setOnDblClick([this] { MaterialGrid2DblClick(); });
    // Tied to the controls they fill, as the detail pane's notice is.
    connect(SourceSupplierName, &zil::store::DataSource::dataChange, MaterialGrid2,
        [this] { SourceSupplierNameDataChange(); });
    connect(SourceMaterial2, &zil::store::DataSource::dataChange, MemoSynonyms,
        [this] { SourceMaterial2DataChange(); });
    // A table read again for a sheet run moves these lists without a change
    // of supplier: the count in the title and the synonyms follow.
    connect(SourceLink2, &zil::store::DataSource::dataChange, MaterialGrid2,
        [this] { SourceSupplierNameDataChange(); });
    zil::browser::followSynonyms(*TableSinon2, MemoSynonyms);
    zil::framework::onUserPageChange(
        MainTabNotebook, [this](int page) { MainTabNotebookClick(page); });
    connect(Materials1, &QAction::triggered, this, &TMainForm::Materials1Click);
    connect(Suppliers1, &QAction::triggered, this, &TMainForm::Suppliers1Click);
}

void TMainForm::EditSupplierNameChange()
{
    FindSupplierName();
}

void TMainForm::FindSupplierName()
{
    if (!EventsEnabled)
        return;
    // The key holds no more than the field does: typing past the width of a
    // supplier name changes nothing.
    const zil::store::Field &name = TableSupplierName->fieldByName(QStringLiteral("name"));
    TableSupplierName->findNearest(EditSupplierName->text().left(name.size()));
}

void TMainForm::SourceSupplierNameDataChange()
{
    if (!TableSupLink2->active() || !TableSupplierName->active())
        return;
    const QString title
        = CountText(TableSupLink2->recordCount(), QStringLiteral("material"), QStringLiteral("s"))
        + QStringLiteral(" from: ")
        + TableSupplierName->fieldByName(QStringLiteral("name")).asString();
    TableSupLink2->fieldByName(QStringLiteral("materialid")).setDisplayLabel(title);
}

void TMainForm::MaterialGrid2DrawDataCell(
    QPainter &canvas, const QRect &rect, const zil::framework::CellField &field)
{
    DrawMaterialName(canvas, rect, field);
}

void TMainForm::DrawMaterialName(
    QPainter &canvas, const QRect &rect, const zil::framework::CellField &field)
{
    zil::browser::drawNameById(
        canvas, rect, field, QStringLiteral("materialid"), *TableMaterialSearch);
}

void TMainForm::SourceMaterial2DataChange()
{
    UpdateLinkedSynonyms();
}

void TMainForm::UpdateLinkedSynonyms()
{
    zil::browser::showSynonyms(*TableSinon2, MemoSynonyms);
}

void TMainForm::ToggleMaterialDetails()
{
    const bool shown = zil::browser::toggleSubPane(TabDetailsMaterial);
    zil::browser::showHideShowState(HideShowButton, shown, ShowBmp, HideBmp);
}

void TMainForm::MaterialGrid2DblClick()
{
    ToggleMaterialDetails();
}

void TMainForm::MainTabNotebookClick(int page)
{
    SelectMainPage(page);
}

void TMainForm::Materials1Click()
{
    SelectMainPage(0);
}

void TMainForm::Suppliers1Click()
{
    SelectMainPage(1);
}

void TMainForm::SelectMainPage(int page)
{
    MainTabNotebook->setCurrentIndex(page);
    // Both search fields start empty on the tab entered. They are emptied
    // with the change reactions held back: a search with the empty text would
    // move the lists to their first items before the cross-positioning below
    // brings the tab entered to what was picked on the other tab.
    const bool events = EventsEnabled;
    EventsEnabled = false;
    SearchField->clear();
    EditSupplierName->clear();
    EventsEnabled = events;
    UpdateTabState();
}

// Looks the supplier up by id and leaves the supplier list on it, in name
// order; the list stays where it was when there is no such supplier.
void TMainForm::findSupplierById(qint32 id)
{
    const QString names = TableSupplierName->indexName();
    try {
        TableSupplierName->setIndexName(QString());
        TableSupplierName->findKey({id});
    } catch (...) {
        TableSupplierName->setIndexName(names);
        throw;
    }
    TableSupplierName->setIndexName(names);
}

void TMainForm::UpdateTabState()
{
    const bool materials = MainTabNotebook->currentIndex() == 0;
    PrintButton->setText(
        materials ? QStringLiteral("&Print Material") : QStringLiteral("&Print Supplier"));
    MenuPrintMaterial->setEnabled(materials);
    MenuPrintSupplier->setEnabled(!materials);
    HideShowButton->setEnabled(
        (materials ? DetailTabNotebook : SuppliersDetailTabNotebook)->currentIndex() == 1);

    if (EventsEnabled && materials && SearchClass && !TableSupLink2->eof()) {
        // The material picked in the supplier's list, if the list holds it.
        // A link to a material that does not exist is not in the list either.
        qint32 id = 0;
        if (TableSupLink2->fieldByName(QStringLiteral("materialid")).asId(id)
            && SearchClass->IsSelected(id)) {
            SearchClass->GotoMaterial(id);
            SearchClass->ShowCurrent();
        } else {
            SearchClass->GotoFirst();
        }
        MaterialGridTopLeftChanged();
    } else if (EventsEnabled && !materials && !TableSupLink->eof()) {
        // The supplier picked in the material's list; the list stays where
        // it was when there is no such supplier.
        qint32 id = 0;
        if (TableSupLink->fieldByName(QStringLiteral("supplierid")).asId(id))
            findSupplierById(id);
    }

    zil::browser::showHideShowState(HideShowButton,
        !(materials ? TabDetailsSuppliers : TabDetailsMaterial)->isHidden(), ShowBmp, HideBmp);
    OrderButton->setEnabled(materials);
    SearchButton->setEnabled(materials);
}
