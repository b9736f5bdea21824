#include "supplierbrowser.h"

#include "framework/datagrid.h"
#include "store/datasource.h"
#include "store/table.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace zil::browser {

SupplierBrowser::SupplierBrowser(const Controls &controls, std::shared_ptr<ListContext> context)
    : m_searchField(controls.searchField)
    , m_supplierRows(controls.supplierRows)
    , m_materials(controls.materials, QStringLiteral("materialid"), QStringLiteral("Material name"),
          QStringLiteral("material"), QStringLiteral(" from: "))
    , m_synonyms(controls.synonyms)
    , m_context(std::move(context))
{
    controls.supplierGrid->setDataSource(controls.suppliers);
    controls.supplierGrid->setColumns(
        {{QStringLiteral("name"), 100, QStringLiteral("Supplier name")}});
}

void SupplierBrowser::FindSupplierName()
{
    if (!m_context->EventsEnabled)
        return;
    // The key holds no more than the field does: typing past the width of a
    // supplier name changes nothing. The index holds the names with their
    // letters folded, "Ölmühle" as "Olmuhle", and so looks the text up.
    const store::Field &name = m_supplierRows->fieldByName(QStringLiteral("name"));
    m_supplierRows->findNearestName(m_searchField->text().left(name.size()));
}

void SupplierBrowser::SearchAgain()
{
    if (!m_searchField->text().isEmpty())
        FindSupplierName();
}

void SupplierBrowser::SourceSupplierNameDataChange()
{
    m_materials.showTitle();
}

void SupplierBrowser::DrawMaterialName(
    QPainter &canvas, const QRect &rect, const framework::CellField &field)
{
    m_materials.drawCell(canvas, rect, field);
}

void SupplierBrowser::UpdateLinkedSynonyms()
{
    m_synonyms.show();
}

void SupplierBrowser::ToggleMaterialDetails()
{
    m_materials.toggleSubPane();
}

void SupplierBrowser::ShowCasNumbers(bool shown)
{
    QList<framework::DataGrid::Column> before;
    if (shown)
        before = {{QStringLiteral("materialid"), 12, QStringLiteral("CAS"), QStringLiteral("cas")}};
    m_materials.setColumns(before, {});
}

bool SupplierBrowser::MaterialDetailsShown() const
{
    return m_materials.subPaneShown();
}

void SupplierBrowser::NavigateSuppliers(const QString &word)
{
    store::Table &suppliers = *m_supplierRows;
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
    store::Table &suppliers = *m_supplierRows;
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
