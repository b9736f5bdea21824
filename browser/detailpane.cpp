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
    m_suppliers.drawCell(canvas, rect, field);
}

void DetailPane::ToggleSupplierDetails()
{
    m_suppliers.toggleSubPane();
}

bool DetailPane::SupplierDetailsShown() const
{
    return m_suppliers.subPaneShown();
}

void DetailPane::ShowPrices(bool shown)
{
    QList<framework::DataGrid::Column> after;
    if (shown)
        after = {{QStringLiteral("price"), 12, QStringLiteral("Price")},
            {QStringLiteral("comment"), 30, QStringLiteral("Comment")}};
    m_suppliers.setColumns({}, after);
}

} // namespace zil::browser
