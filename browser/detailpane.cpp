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
    SupplierGrid->setOnDblClick([this] { SupplierGridDblClick(); });
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
    if (!TableSupLink->active() || !TableMaterial->active())
        return;
    const QString title
        = CountText(TableSupLink->recordCount(), QStringLiteral("supplier"), QStringLiteral("s"))
        + QStringLiteral(" for: ") + TableMaterial->fieldByName(QStringLiteral("name")).asString();
    TableSupLink->fieldByName(QStringLiteral("supplierid")).setDisplayLabel(title);
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
