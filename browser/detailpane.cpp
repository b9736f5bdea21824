#include "detailpane.h"

#include "framework/datagrid.h"
#include "store/datasource.h"
#include "store/table.h"

#include <QPlainTextEdit>
#include <QWidget>

namespace zil::browser {

DetailPane::DetailPane(const Controls &controls)
    : m_c(controls)
{
    // The notices are tied to the controls they fill: the window's cursors
    // close after its controls are gone, and those notices find no reaction.
    QObject::connect(m_c.material, &store::DataSource::dataChange, m_c.synonyms,
        [this] { SourceMaterialDataChange(); });
    setUpLinkGrid(
        m_c.supplierGrid, m_c.supplierLinks, QStringLiteral("supplierid"),
        QStringLiteral("Supplier name"), *m_c.supplierLookup,
        [this](QPainter &canvas, const QRect &rect, const framework::CellField &field) {
            SupplierGridDrawDataCell(canvas, rect, field);
        },
        [this] { SupplierGridDblClick(); });
    // A sheet run opens the tables afresh, and a table read again moves the
    // links and synonyms of the material in view without a change of
    // material: the count in the title and the synonyms follow them.
    QObject::connect(m_c.supplierLinks, &store::DataSource::dataChange, m_c.supplierGrid,
        [this] { showSupplierTitle(); });
    followSynonyms(*m_c.synonymRows, m_c.synonyms);
}

void DetailPane::SourceMaterialDataChange()
{
    UpdateMaterialDetails();
}

void DetailPane::UpdateMaterialDetails()
{
    showSynonyms(*m_c.synonymRows, m_c.synonyms);
    showSupplierTitle();
}

// The counted title of the supplier list, as the links and the material now
// stand.
void DetailPane::showSupplierTitle()
{
    showCountedTitle(*m_c.links, QStringLiteral("supplierid"), QStringLiteral("supplier"),
        QStringLiteral(" for: "), *m_c.materials);
}

void DetailPane::SupplierGridDrawDataCell(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    DrawSupplierName(canvas, rect, field);
}

void DetailPane::DrawSupplierName(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    drawNameById(canvas, rect, field, QStringLiteral("supplierid"), *m_c.supplierLookup);
}

void DetailPane::ToggleSupplierDetails()
{
    toggleSubPane(m_c.supplierDetails, m_c.hideShow);
}

void DetailPane::SupplierGridDblClick()
{
    ToggleSupplierDetails();
}

bool DetailPane::SupplierDetailsShown() const
{
    return !m_c.supplierDetails->isHidden();
}

} // namespace zil::browser
