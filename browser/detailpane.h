// The material detail pane on the Materials tab: the synonyms and the counted
// title of the supplier list at each change of the current material, the
// supplier names drawn into that list, and the supplier sub-pane under it.
#pragma once

#include "linkedlists.h"

namespace zil::browser {

class DetailPane
{
public:
    // The controls and cursors the pane works on; the window owns them.
    struct Controls
    {
        // The current material and its synonyms.
        SynonymsMemo::Controls synonyms;
        // The current material's suppliers, with the address of the one
        // picked in the sub-pane.
        LinkList::Controls suppliers;
    };

    // Sets up the pane's lists on their cursors; before the cursors open,
    // whose first notices it receives. The window's event map ties the
    // controls' events to the pane's reactions.
    explicit DetailPane(const Controls &controls);
    Q_DISABLE_COPY_MOVE(DetailPane)

    // Shows the synonyms and the supplier count of the current material.
    void UpdateMaterialDetails();
    void DrawSupplierName(QPainter &canvas, const QRect &rect, const framework::CellField &field);
    void ToggleSupplierDetails();
    bool SupplierDetailsShown() const;
    // With prices shown the supplier list has each link's price and comment
    // after the names; without, the names alone.
    void ShowPrices(bool shown);

private:
    LinkList m_suppliers;
    SynonymsMemo m_synonyms;
};

} // namespace zil::browser
