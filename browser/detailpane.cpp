#include "detailpane.h"

#include "store/datasource.h"
#include "store/table.h"

#include <QPlainTextEdit>

namespace zil::browser {

DetailPane::DetailPane(const Controls &controls)
    : m_synonyms(controls.synonyms)
    , m_synonymRows(controls.synonymRows)
    , m_suppliers(controls.suppliers, QStringLiteral("supplierid"), QStringLiteral("Supplier name"),
          QStringLiteral("supplier"), QStringLiteral(" for: "))
{
    // Tied to the memo it fills: the window's cursors close after its
    // controls are gone, and their notices then find no reaction.
    QObject::connect(controls.material, &store::DataSource::dataChange, m_synonyms,
        [this] { UpdateMaterialDetails(); });
    // A table read again for a sheet run moves the synonyms of the material
    // in view without a change of material; the memo follows them.
    followSynonyms(*m_synonymRows, m_synonyms);
}

void DetailPane::UpdateMaterialDetails()
{
    showSynonyms(*m_synonymRows, m_synonyms);
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
