#include "supplierbrowser.h"

#include "framework/datagrid.h"
#include "store/datasource.h"
#include "store/table.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace zil::browser {

SupplierBrowser::SupplierBrowser(const Controls &controls, bool &eventsEnabled)
    : m_c(controls)
    , m_eventsEnabled(eventsEnabled)
{
    // Each reaction is tied to the control it comes from or fills, as the
    // detail pane's are.
    QObject::connect(m_c.searchField, &QLineEdit::textChanged, m_c.searchField,
        [this] { EditSupplierNameChange(); });
    m_c.supplierGrid->setDataSource(m_c.suppliers);
    m_c.supplierGrid->setColumns({{QStringLiteral("name"), 100, QStringLiteral("Supplier name")}});
    setUpLinkGrid(
        m_c.materialGrid, m_c.materialLinks, QStringLiteral("materialid"),
        QStringLiteral("Material name"), *m_c.materialLookup,
        [this](QPainter &canvas, const QRect &rect, const framework::CellField &field) {
            MaterialGrid2DrawDataCell(canvas, rect, field);
        },
        [this] { MaterialGrid2DblClick(); });
    QObject::connect(m_c.suppliers, &store::DataSource::dataChange, m_c.materialGrid,
        [this] { SourceSupplierNameDataChange(); });
    QObject::connect(m_c.material, &store::DataSource::dataChange, m_c.synonyms,
        [this] { SourceMaterial2DataChange(); });
    // A table read again for a sheet run moves these lists without a change
    // of supplier: the count in the title and the synonyms follow.
    QObject::connect(m_c.materialLinks, &store::DataSource::dataChange, m_c.materialGrid,
        [this] { SourceSupplierNameDataChange(); });
    followSynonyms(*m_c.synonymRows, m_c.synonyms);
}

void SupplierBrowser::EditSupplierNameChange()
{
    FindSupplierName();
}

void SupplierBrowser::FindSupplierName()
{
    if (!m_eventsEnabled)
        return;
    // The key holds no more than the field does: typing past the width of a
    // supplier name changes nothing.
    const store::Field &name = m_c.supplierRows->fieldByName(QStringLiteral("name"));
    m_c.supplierRows->findNearest(m_c.searchField->text().left(name.size()));
}

void SupplierBrowser::SearchAgain()
{
    if (!m_c.searchField->text().isEmpty())
        FindSupplierName();
}

void SupplierBrowser::SourceSupplierNameDataChange()
{
    showCountedTitle(*m_c.links, QStringLiteral("materialid"), QStringLiteral("material"),
        QStringLiteral(" from: "), *m_c.supplierRows);
}

void SupplierBrowser::MaterialGrid2DrawDataCell(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    DrawMaterialName(canvas, rect, field);
}

void SupplierBrowser::DrawMaterialName(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    drawNameById(canvas, rect, field, QStringLiteral("materialid"), *m_c.materialLookup);
}

void SupplierBrowser::SourceMaterial2DataChange()
{
    UpdateLinkedSynonyms();
}

void SupplierBrowser::UpdateLinkedSynonyms()
{
    showSynonyms(*m_c.synonymRows, m_c.synonyms);
}

void SupplierBrowser::ToggleMaterialDetails()
{
    toggleSubPane(m_c.materialDetails, m_c.hideShow);
}

void SupplierBrowser::MaterialGrid2DblClick()
{
    ToggleMaterialDetails();
}

bool SupplierBrowser::MaterialDetailsShown() const
{
    return !m_c.materialDetails->isHidden();
}

void SupplierBrowser::NavigateSuppliers(const QString &word)
{
    store::Table &suppliers = *m_c.supplierRows;
    if (!suppliers.active())
        return;
    if (word == QLatin1String("first"))
        suppliers.first();
    else if (word == QLatin1String("prior"))
        suppliers.prior();
    else if (word == QLatin1String("next"))
        suppliers.next();
    else if (word == QLatin1String("last"))
        suppliers.last();
}

void SupplierBrowser::ShowSupplier(qint32 id)
{
    store::Table &suppliers = *m_c.supplierRows;
    const QString names = suppliers.indexName();
    try {
        suppliers.setIndexName(QString());
        suppliers.findKey({id});
    } catch (...) {
        suppliers.setIndexName(names);
        throw;
    }
    suppliers.setIndexName(names);
}

} // namespace zil::browser
