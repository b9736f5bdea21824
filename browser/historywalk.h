// The walk through the places of the main window's history: the material or
// supplier in view as a place, Back and Forward to the nearest place that
// still exists, the going there in the list of its tab, and the places kept
// across a new database, whose ids may be others.
#pragma once

#include "history.h"

#include <QHash>
#include <optional>

class QLineEdit;
class QTabWidget;

namespace zil::store {
class Table;
}

namespace zil::browser {

class MaterialList;
class SupplierBrowser;

class HistoryWalk
{
public:
    // The controls and cursors the walk reads; the window owns them.
    struct Controls
    {
        QTabWidget *mainNotebook = nullptr;
        // The current material and the current supplier.
        store::Table *materials = nullptr;
        store::Table *suppliers = nullptr;
        // A cursor of its own on SUPPLIER.DB, on which a place is looked up
        // by id without moving the list.
        store::Table *supplierLookup = nullptr;
        // The material search field: text left there decides the current
        // material of a new database.
        QLineEdit *materialSearch = nullptr;
        // The lists a place is shown in.
        MaterialList *materialList = nullptr;
        SupplierBrowser *supplierBrowser = nullptr;
    };

    explicit HistoryWalk(const Controls &controls);

    const History &history() const { return m_history; }
    // The item in view on the tab in view, none while its list is empty.
    std::optional<History::Place> placeInView() const;
    // Records the item in view as the user's settled place.
    void settle();
    // The nearest place behind (or ahead), which becomes the current one.
    std::optional<History::Place> back();
    std::optional<History::Place> forward();
    // Shows place, reached by a step in direction (-1 Back, +1 Forward), in
    // the list of its tab, which is in view.
    void go(const History::Place &place, int direction);

    // Whether Back and Forward lead anywhere: a move not yet settled on
    // counts as settled, so Back leads to the place recorded last and there
    // is nothing ahead of the new place.
    struct Offered
    {
        bool back = false;
        bool forward = false;
    };
    Offered offered() const;

    // Before a new database is taken up: the item in view is settled on,
    // and the sort key of each material place read, while the database it
    // names is still the one in use. True when a place was settled on.
    bool DatabaseChanging();
    // Once it is taken up: each material place stands for the material of
    // its name in the new database, and a place whose material is gone is
    // forgotten. Unless a search text decides the current material, the
    // material in view before is shown again; true when it was.
    bool DatabaseChanged();

private:
    bool exists(const History::Place &place) const;

    Controls m_c;
    History m_history;
    // While a new database is taken up: the sort keys of the material
    // places, and the material in view.
    QHash<qint32, QString> m_keys;
    std::optional<History::Place> m_inView;
};

} // namespace zil::browser
