// The material detail pane on the Materials tab: the synonyms and the counted
// title of the supplier list at each change of the current material, the
// supplier names drawn into that list, the supplier sub-pane with the
// Hide/Show button, and the detail pages' effect on the button bar.
#include "linkedlists.h"

#include "framework/notebook.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

// The counted title of the supplier list, as the links and the material now
// stand; setting the title it already has changes nothing.
void showSupplierTitle(TMainForm &form)
{
    if (!form.TableSupLink->active() || !form.TableMaterial->active())
        return;
    const QString title = TMainForm::CountText(form.TableSupLink->recordCount(),
                              QStringLiteral("supplier"), QStringLiteral("s"))
        + QStringLiteral(" for: ")
        + form.TableMaterial->fieldByName(QStringLiteral("name")).asString();
    form.TableSupLink->fieldByName(QStringLiteral("supplierid")).setDisplayLabel(title);
}

} // namespace

void TMainForm::connectDetailPane()
{
    // The notices are tied to the controls they fill: the window's cursors
    // close after its controls are gone, and those notices find no reaction.
    connect(SourceMaterial, &zil::store::DataSource::dataChange, synonyms,
        [this] { SourceMaterialDataChange(); });
    SupplierGrid->setDataSource(SourceSupplierLink);
    SupplierGrid->setColumns(
        {{QStringLiteral("supplierid"), 200, QStringLiteral("Supplier name")}});
    SupplierGrid->setOnDrawDataCell(
        [this](QPainter &canvas, const QRect &rect, const zil::framework::CellField &field) {
            SupplierGridDrawDataCell(canvas, rect, field);
        });
    SupplierGrid->setOnCellText([this](const zil::framework::CellField &field) {
        return zil::browser::nameById(field, QStringLiteral("supplierid"), *TableSupplierSearch);
    });
    SupplierGrid->setOnDblClick([this] { SupplierGridDblClick(); });
    // A sheet run opens the tables afresh, and a table read again moves the
    // links and synonyms of the material in view without a change of
    // material: the count in the title and the synonyms follow them.
    connect(SourceSupplierLink, &zil::store::DataSource::dataChange, SupplierGrid,
        [this] { showSupplierTitle(*this); });
    zil::browser::followSynonyms(*TableSinon, synonyms);
    connect(HideShowButton, &QPushButton::clicked, this, &TMainForm::HideShowButtonClick);
    zil::framework::onUserPageChange(DetailTabNotebook, [this](int) { DetailClick(); });
    zil::framework::onUserPageChange(SuppliersDetailTabNotebook, [this](int) { DetailClick(); });
}

void TMainForm::SourceMaterialDataChange()
{
    UpdateMaterialDetails();
}

void TMainForm::UpdateMaterialDetails()
{
    zil::browser::showSynonyms(*TableSinon, synonyms);
    showSupplierTitle(*this);
}

QString TMainForm::CountText(qint32 count, const QString &noun, const QString &pluralSuffix)
{
    if (count == 0)
        return QStringLiteral("No ") + noun + pluralSuffix;
    if (count == 1)
        return QStringLiteral("1 ") + noun;
    return QString::number(count) + QLatin1Char(' ') + noun + pluralSuffix;
}

void TMainForm::SupplierGridDrawDataCell(
    QPainter &canvas, const QRect &rect, const zil::framework::CellField &field)
{
    DrawSupplierName(canvas, rect, field);
}

void TMainForm::DrawSupplierName(
    QPainter &canvas, const QRect &rect, const zil::framework::CellField &field)
{
    zil::browser::drawNameById(
        canvas, rect, field, QStringLiteral("supplierid"), *TableSupplierSearch);
}

void TMainForm::ToggleSupplierDetails()
{
    const bool shown = zil::browser::toggleSubPane(TabDetailsSuppliers);
    zil::browser::showHideShowState(HideShowButton, shown, ShowBmp, HideBmp);
}

void TMainForm::SupplierGridDblClick()
{
    ToggleSupplierDetails();
}

void TMainForm::HideShowButtonClick()
{
    if (MainTabNotebook->currentIndex() == 0)
        ToggleSupplierDetails();
    else
        ToggleMaterialDetails();
}

void TMainForm::DetailClick()
{
    // Only the button bar follows the page; no list moves.
    EventsEnabled = false;
    UpdateTabState();
    EventsEnabled = true;
}
