// The supplier browser on the Suppliers tab: the supplier list with its
// search field, the supplier's materials under a counted title, and the
// picked material's numbers and synonyms in the sub-pane under them.
#pragma once

#include "linkedlists.h"

class QLineEdit;
class QPainter;
class QPlainTextEdit;
class QRect;
class QWidget;

namespace zil::framework {
class CellField;
class DataGrid;
} // namespace zil::framework
namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::browser {

class SupplierBrowser
{
public:
    // The controls and cursors the browser works on; the window owns them.
    struct Controls
    {
        QLineEdit *searchField = nullptr;
        framework::DataGrid *supplierGrid = nullptr;
        framework::DataGrid *materialGrid = nullptr;
        // The sub-pane with the material picked in the supplier's list.
        QWidget *materialDetails = nullptr;
        QPlainTextEdit *synonyms = nullptr;
        HideShowButton hideShow;
        // The suppliers in name order, the current one's links to materials,
        // the material picked among them and its synonyms.
        store::DataSource *suppliers = nullptr;
        store::DataSource *materialLinks = nullptr;
        store::DataSource *material = nullptr;
        store::Table *supplierRows = nullptr;
        store::Table *links = nullptr;
        store::Table *synonymRows = nullptr;
        // The cursor the material names are looked up on.
        store::Table *materialLookup = nullptr;
    };

    // Connects the browser to its cursors and controls; before the cursors
    // open, whose first notices it receives. The search field searches while
    // eventsEnabled is set.
    SupplierBrowser(const Controls &controls, bool &eventsEnabled);

    void EditSupplierNameChange();
    void FindSupplierName();
    void SourceSupplierNameDataChange();
    void MaterialGrid2DrawDataCell(
        QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void DrawMaterialName(QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void SourceMaterial2DataChange();
    void UpdateLinkedSynonyms();
    void ToggleMaterialDetails();
    void MaterialGrid2DblClick();
    // Moves the supplier list: "first", "prior", "next" or "last".
    void NavigateSuppliers(const QString &word);

    // Looks the supplier up by id and leaves the list on it, in name order;
    // the list stays where it was when there is no such supplier.
    void ShowSupplier(qint32 id);
    // Searches again for the text left in the search field, if any.
    void SearchAgain();
    // Whether the material sub-pane is shown.
    bool MaterialDetailsShown() const;

private:
    Controls m_c;
    bool &m_eventsEnabled;
};

} // namespace zil::browser
