#include "detailpane.h"

#include "store/datasource.h"
#include "store/table.h"

#include <QPlainTextEdit>

namespace zil::browser {

DetailPane::DetailPane(const Controls &controls)
    : m_suppliers(controls.suppliers, QStringLiteral("supplierid"), QStringLiteral("Supplier name"),
        QStringLiteral("supplier"), QStringLiteral(" for: "))
    // A table read again for a sheet run moves the synonyms of the material
    // in view without a change of material; the memo follows them.
    , m_synonyms(controls.synonyms)
{ }

void DetailPane::UpdateMaterialDetails()
{
    m_synonyms.show();
    m_suppliers.showTitle();
}

void DetailPane::DrawSupplierName(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    m_suppliers.drawName(canvas, rect, field);
}

void DetailPane::ToggleSupplierDetails()
{
    m_suppliers.toggleSubPane();
}

bool DetailPane::SupplierDetailsShown() const
{
    return m_suppliers.subPaneShown();
}

} // namespace zil::browser
