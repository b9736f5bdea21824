// The material detail pane on the Materials tab: the synonyms and the counted
// title of the supplier list at each change of the current material, the
// supplier names drawn into that list, and the supplier sub-pane under it.
#pragma once

#include "linkedlists.h"

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

class DetailPane
{
public:
    // The controls and cursors the pane works on; the window owns them.
    struct Controls
    {
        QPlainTextEdit *synonyms = nullptr;
        framework::DataGrid *supplierGrid = nullptr;
        // The sub-pane with the address of the supplier picked in the grid.
        QWidget *supplierDetails = nullptr;
        HideShowButton hideShow;
        // The current material, its links to suppliers and its synonyms.
        store::DataSource *material = nullptr;
        store::DataSource *supplierLinks = nullptr;
        store::Table *materials = nullptr;
        store::Table *links = nullptr;
        store::Table *synonymRows = nullptr;
        // The cursor the supplier names are looked up on.
        store::Table *supplierLookup = nullptr;
    };

    // Connects the pane to its cursors and controls; before the cursors
    // open, whose first notices it receives.
    explicit DetailPane(const Controls &controls);

    void SourceMaterialDataChange();
    void UpdateMaterialDetails();
    void SupplierGridDrawDataCell(
        QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void DrawSupplierName(QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void ToggleSupplierDetails();
    void SupplierGridDblClick();

    // Whether the supplier sub-pane is shown.
    bool SupplierDetailsShown() const;

private:
    void showSupplierTitle();

    Controls m_c;
};

} // namespace zil::browser
