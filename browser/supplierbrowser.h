// The supplier browser on the Suppliers tab: the supplier list with its
// search field, the supplier's materials under a counted title, and the
// picked material's numbers and synonyms in the sub-pane under them.
#pragma once

#include "linkedlists.h"
#include "listcontext.h"

#include <memory>

class QLineEdit;

namespace zil::browser {

class SupplierBrowser
{
public:
    // The controls and cursors the browser works on; the window owns them.
    struct Controls
    {
        // The suppliers in name order, with the search field that finds one.
        store::DataSource *suppliers = nullptr;
        store::Table *supplierRows = nullptr;
        framework::DataGrid *supplierGrid = nullptr;
        QLineEdit *searchField = nullptr;
        // The current supplier's materials, with the numbers and the
        // synonyms of the one picked in the sub-pane.
        LinkList::Controls materials;
        SynonymsMemo::Controls synonyms;
    };

    // Sets up the browser's lists on their cursors; before the cursors open,
    // whose first notices it receives. The window's event map ties the
    // controls' events to the browser's reactions; the search field searches
    // while the context's EventsEnabled is set.
    SupplierBrowser(const Controls &controls, std::shared_ptr<ListContext> context);
    Q_DISABLE_COPY_MOVE(SupplierBrowser)

    void FindSupplierName();
    // Searches again for the text left in the search field, if any.
    void SearchAgain();
    // Titles the supplier's materials with their count.
    void SourceSupplierNameDataChange();
    void DrawMaterialName(QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void UpdateLinkedSynonyms();
    void ToggleMaterialDetails();
    bool MaterialDetailsShown() const;
    // With them shown the supplier's materials have their CAS numbers before
    // their names; without, the names alone.
    void ShowCasNumbers(bool shown);
    // Moves the supplier list: "first", "prior", "next" or "last".
    void NavigateSuppliers(const QString &word);
    // Looks the supplier up by id and leaves the list on it, in name order;
    // the list stays where it was when there is no such supplier.
    void ShowSupplier(qint32 id);

private:
    QLineEdit *m_searchField;
    store::Table *m_supplierRows;
    LinkList m_materials;
    SynonymsMemo m_synonyms;
    const std::shared_ptr<ListContext> m_context;
};

} // namespace zil::browser
