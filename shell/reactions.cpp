// The main window's event map: each event of a control that the window
// reacts to is tied here to its named reaction, and each reaction passes on
// to the controller of its subsystem: the material list, the detail pane,
// the supplier browser, the tab state and the print dispatch. With the
// logging category "zil.reactions" on, every reaction that runs is logged
// under its name, so that the road of an input can be followed.
#include "Zil0.h"
#include "browser/findwindow.h"
#include "historywiring.h"
#include "tabstate.h"
#include "updatefollower.h"

#include "browser/criteriamarks.h"
#include "browser/detailpane.h"
#include "browser/linkedlists.h"
#include "browser/materiallist.h"
#include "browser/supplierbrowser.h"
#include "framework/notebook.h"
#include "reports/export.h"
#include "store/datasource.h"

#include <QAction>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

using zil::framework::CellField;
using zil::framework::GridDrawState;

namespace {

Q_LOGGING_CATEGORY(lcReactions, "zil.reactions", QtWarningMsg)

void traced(const char *reaction)
{
    qCDebug(lcReactions, "%s", reaction);
}

} // namespace

void TMainForm::connectReactions()
{
    // A reaction without arguments, tied to the control it comes from, so
    // that it ends with the control.
    const auto on = [this](const char *name, void (TMainForm::*reaction)()) {
        return [this, name, reaction] {
            traced(name);
            (this->*reaction)();
        };
    };

    // The button bar.
    connect(FirstButton, &QPushButton::clicked, FirstButton,
        on("FirstButtonClick", &TMainForm::FirstButtonClick));
    connect(PriorButton, &QPushButton::clicked, PriorButton,
        on("PriorButtonClick", &TMainForm::PriorButtonClick));
    connect(NextButton, &QPushButton::clicked, NextButton,
        on("NextButtonClick", &TMainForm::NextButtonClick));
    connect(LastButton, &QPushButton::clicked, LastButton,
        on("LastButtonClick", &TMainForm::LastButtonClick));
    connect(OrderButton, &QPushButton::clicked, OrderButton,
        on("OrderButtonClick", &TMainForm::OrderButtonClick));
    connect(SearchButton, &QPushButton::clicked, SearchButton,
        on("SearchButtonClick", &TMainForm::SearchButtonClick));
    connect(PrintButton, &QPushButton::clicked, PrintButton,
        on("PrintButtonClick", &TMainForm::PrintButtonClick));
    connect(HideShowButton, &QPushButton::clicked, HideShowButton,
        on("HideShowButtonClick", &TMainForm::HideShowButtonClick));

    // The menus.
    connect(
        ExitMenu, &QAction::triggered, ExitMenu, on("ExitMenuClick", &TMainForm::ExitMenuClick));
    connect(Materials1, &QAction::triggered, Materials1,
        on("Materials1Click", &TMainForm::Materials1Click));
    connect(Suppliers1, &QAction::triggered, Suppliers1,
        on("Suppliers1Click", &TMainForm::Suppliers1Click));
    connect(MenuPrintMaterial, &QAction::triggered, MenuPrintMaterial,
        on("MenuPrintMaterialClick", &TMainForm::MenuPrintMaterialClick));
    connect(MenuPrintSupplier, &QAction::triggered, MenuPrintSupplier,
        on("MenuPrintSupplierClick", &TMainForm::MenuPrintSupplierClick));
    connect(MenuSavePdf, &QAction::triggered, MenuSavePdf,
        on("MenuSavePdfClick", &TMainForm::MenuSavePdfClick));
    connect(Contents1, &QAction::triggered, Contents1,
        on("Contents1Click", &TMainForm::Contents1Click));
    connect(About1, &QAction::triggered, About1, on("About1Click", &TMainForm::About1Click));

    // The notebooks: a page chosen by the user.
    zil::framework::onUserPageChange(MainTabNotebook, [this](int page) {
        traced("MainTabNotebookClick");
        MainTabNotebookClick(page);
    });
    for (QTabWidget *pages : {DetailTabNotebook, SuppliersDetailTabNotebook})
        zil::framework::onUserPageChange(pages, [this](int) {
            traced("DetailClick");
            DetailClick();
        });

    // The material list.
    connect(SearchField, &QLineEdit::textChanged, SearchField,
        on("SearchFieldChange", &TMainForm::SearchFieldChange));
    MaterialGrid->setOnSelectCell([this](int col, int row, bool &canSelect) {
        traced("MaterialGridSelectCell");
        MaterialGridSelectCell(col, row, canSelect);
    });
    MaterialGrid->setOnDrawCell(
        [this](QPainter &canvas, int col, int row, const QRect &rect, GridDrawState state) {
            traced("MaterialGridDrawCell");
            MaterialGridDrawCell(canvas, col, row, rect, state);
        });
    MaterialGrid->setOnTopLeftChanged(
        on("MaterialGridTopLeftChanged", &TMainForm::MaterialGridTopLeftChanged));

    // The detail pane. The notices of a data source are tied to the control
    // they fill: the window's cursors close after its controls are gone, and
    // their notices then find no reaction.
    connect(SourceMaterial, &zil::store::DataSource::dataChange, synonyms,
        on("SourceMaterialDataChange", &TMainForm::SourceMaterialDataChange));
    SupplierGrid->setOnDrawDataCell(
        [this](QPainter &canvas, const QRect &rect, const CellField &field) {
            traced("SupplierGridDrawDataCell");
            SupplierGridDrawDataCell(canvas, rect, field);
        });
    SupplierGrid->setOnDblClick(on("SupplierGridDblClick", &TMainForm::SupplierGridDblClick));

    // The supplier browser.
    connect(EditSupplierName, &QLineEdit::textChanged, EditSupplierName,
        on("EditSupplierNameChange", &TMainForm::EditSupplierNameChange));
    connect(SourceSupplierName, &zil::store::DataSource::dataChange, MaterialGrid2,
        on("SourceSupplierNameDataChange", &TMainForm::SourceSupplierNameDataChange));
    connect(SourceMaterial2, &zil::store::DataSource::dataChange, MemoSynonyms,
        on("SourceMaterial2DataChange", &TMainForm::SourceMaterial2DataChange));
    MaterialGrid2->setOnDrawDataCell(
        [this](QPainter &canvas, const QRect &rect, const CellField &field) {
            traced("MaterialGrid2DrawDataCell");
            MaterialGrid2DrawDataCell(canvas, rect, field);
        });
    MaterialGrid2->setOnDblClick(on("MaterialGrid2DblClick", &TMainForm::MaterialGrid2DblClick));
}

// ---- The material list ------------------------------------------------------

void TMainForm::SetListOrder(const QString &order)
{
    m_materialList->SetListOrder(order);
}

void TMainForm::UpdateSearchEnabled()
{
    m_materialList->UpdateSearchEnabled();
}

void TMainForm::UpdateListCaption()
{
    m_materialList->UpdateListCaption();
}

void TMainForm::MaterialGridDrawCell(
    QPainter &canvas, int col, int row, const QRect &rect, zil::framework::GridDrawState state)
{
    m_materialList->MaterialGridDrawCell(canvas, col, row, rect, state);
}

void TMainForm::MaterialGridSelectCell(int col, int row, bool &canSelect)
{
    m_materialList->MaterialGridSelectCell(col, row, canSelect);
}

void TMainForm::MaterialGridTopLeftChanged()
{
    m_materialList->MaterialGridTopLeftChanged();
}

void TMainForm::SearchFieldChange()
{
    m_materialList->SearchMaterial();
}

void TMainForm::SearchMaterial()
{
    m_materialList->SearchMaterial();
}

void TMainForm::OrderButtonClick()
{
    m_materialList->OrderButtonClick();
}

void TMainForm::ToggleOrder()
{
    m_materialList->ToggleOrder();
}

void TMainForm::FirstButtonClick()
{
    m_tabState->Navigate(QStringLiteral("first"));
}

void TMainForm::PriorButtonClick()
{
    m_tabState->Navigate(QStringLiteral("prior"));
}

void TMainForm::NextButtonClick()
{
    m_tabState->Navigate(QStringLiteral("next"));
}

void TMainForm::LastButtonClick()
{
    m_tabState->Navigate(QStringLiteral("last"));
}

void TMainForm::NavigateMaterials(const QString &word)
{
    m_materialList->NavigateMaterials(word);
}

void TMainForm::SearchButtonClick()
{
    m_materialList->SearchButtonClick();
}

void TMainForm::ApplySelection()
{
    m_materialList->ApplySelection();
}

void TMainForm::RestoreAll()
{
    m_materialList->RestoreAll();
}

void TMainForm::CheckDatabase()
{
    if (m_updates)
        m_updates->check();
}

void TMainForm::FollowNewDatabase()
{
    // An export lists the materials of the database it started on; the new
    // one is taken up once it has ended, so that no file mixes the two.
    if (ExportSelection && ExportSelection->running()) {
        if (!m_followAfterExport) {
            m_followAfterExport = true;
            connect(
                ExportSelection, &zil::reports::SelectionExport::finished, this,
                [this] {
                    m_followAfterExport = false;
                    FollowNewDatabase();
                },
                Qt::SingleShotConnection);
        }
        return;
    }
    m_history->DatabaseChanging();
    // Once a new database is listed, the supplier search field's text finds
    // its item in it too.
    if (m_materialList->FollowNewDatabase())
        m_supplierBrowser->SearchAgain();
    m_history->DatabaseChanged();
    m_criteriaMarks->Refresh();
    FindWindow->DatabaseChanged();
    // A database copied in without its search data gets them as at a start.
    SearchDataWriter.start(DatabasePath);
}

// ---- The detail pane --------------------------------------------------------

void TMainForm::SourceMaterialDataChange()
{
    m_detailPane->UpdateMaterialDetails();
}

void TMainForm::UpdateMaterialDetails()
{
    m_detailPane->UpdateMaterialDetails();
}

QString TMainForm::CountText(qint32 count, const QString &noun, const QString &pluralSuffix)
{
    return zil::browser::countText(count, noun, pluralSuffix);
}

void TMainForm::SupplierGridDrawDataCell(
    QPainter &canvas, const QRect &rect, const CellField &field)
{
    m_detailPane->DrawSupplierName(canvas, rect, field);
}

void TMainForm::DrawSupplierName(QPainter &canvas, const QRect &rect, const CellField &field)
{
    m_detailPane->DrawSupplierName(canvas, rect, field);
}

void TMainForm::ToggleSupplierDetails()
{
    m_detailPane->ToggleSupplierDetails();
}

void TMainForm::SupplierGridDblClick()
{
    m_detailPane->ToggleSupplierDetails();
}

// ---- The supplier browser ---------------------------------------------------

void TMainForm::NavigateSuppliers(const QString &word)
{
    m_supplierBrowser->NavigateSuppliers(word);
}

void TMainForm::EditSupplierNameChange()
{
    m_supplierBrowser->FindSupplierName();
}

void TMainForm::FindSupplierName()
{
    m_supplierBrowser->FindSupplierName();
}

void TMainForm::SourceSupplierNameDataChange()
{
    m_supplierBrowser->SourceSupplierNameDataChange();
}

void TMainForm::MaterialGrid2DrawDataCell(
    QPainter &canvas, const QRect &rect, const CellField &field)
{
    m_supplierBrowser->DrawMaterialName(canvas, rect, field);
}

void TMainForm::DrawMaterialName(QPainter &canvas, const QRect &rect, const CellField &field)
{
    m_supplierBrowser->DrawMaterialName(canvas, rect, field);
}

void TMainForm::SourceMaterial2DataChange()
{
    m_supplierBrowser->UpdateLinkedSynonyms();
}

void TMainForm::UpdateLinkedSynonyms()
{
    m_supplierBrowser->UpdateLinkedSynonyms();
}

void TMainForm::ToggleMaterialDetails()
{
    m_supplierBrowser->ToggleMaterialDetails();
}

void TMainForm::MaterialGrid2DblClick()
{
    m_supplierBrowser->ToggleMaterialDetails();
}

// ---- The tab state ----------------------------------------------------------

void TMainForm::Navigate(const QString &word)
{
    m_tabState->Navigate(word);
}

void TMainForm::HideShowButtonClick()
{
    m_tabState->HideShowButtonClick();
}

void TMainForm::DetailClick()
{
    m_tabState->DetailClick();
}

void TMainForm::MainTabNotebookClick(int page)
{
    m_tabState->MainTabNotebookClick(page);
}

void TMainForm::Materials1Click()
{
    m_tabState->Materials1Click();
}

void TMainForm::Suppliers1Click()
{
    m_tabState->Suppliers1Click();
}

void TMainForm::SelectMainPage(int page)
{
    m_tabState->SelectMainPage(page);
}

void TMainForm::UpdateTabState()
{
    m_tabState->UpdateTabState();
}
