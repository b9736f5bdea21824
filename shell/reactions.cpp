// The main window's reactions and operations on its lists and tabs, each
// passed on to the controller of its subsystem: the material list, the detail
// pane, the supplier browser and the tab state.
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
#include "reports/export.h"

using zil::framework::CellField;

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
    m_criteriaMarks->SelectionDone();
}

void TMainForm::ApplySelection()
{
    m_materialList->ApplySelection();
    m_criteriaMarks->Chosen(1);
}

void TMainForm::RestoreAll()
{
    m_materialList->RestoreAll();
    m_criteriaMarks->Chosen(2);
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
    m_materialList->FollowNewDatabase();
    m_history->DatabaseChanged();
    m_criteriaMarks->Refresh();
    FindWindow->DatabaseChanged();
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
