// Back and Forward of the View menu: the main window's history of the
// materials and suppliers the user settled on, each with its tab. A place is
// recorded when the user has settled: at once after a click in a list, a
// navigation button or a tab switch, and otherwise once the current item and
// the search fields have stayed unchanged for half a second (typing in a
// search field, the arrow keys in a list, a material made current by another
// window).
#pragma once

#include "browser/history.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QAbstractItemView;
class QAction;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TSearchClass;

namespace zil::browser {
class MaterialList;
class SupplierBrowser;
} // namespace zil::browser
namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::shell {

class TabState;

class HistoryWiring : public QObject
{
public:
    // How long the current item must stay unchanged before it counts as
    // settled on.
    static constexpr int PauseMs = 500;

    // The controls and cursors the history works on; the window owns them.
    struct Controls
    {
        QTabWidget *mainNotebook = nullptr;
        // The current material and the current supplier, with the cursors
        // they are read from.
        store::DataSource *materialSource = nullptr;
        store::Table *materials = nullptr;
        store::DataSource *supplierSource = nullptr;
        store::Table *suppliers = nullptr;
        // Cursors of their own on which a place is looked up by id, so that
        // checking a place moves no list.
        store::Table *materialLookup = nullptr;
        store::Table *supplierLookup = nullptr;
        // The two lists, whose clicks settle at once.
        QAbstractItemView *materialGrid = nullptr;
        QAbstractItemView *supplierGrid = nullptr;
        // The navigation buttons, whose moves settle at once.
        QList<QPushButton *> moveButtons;
        // The search fields: a place is taken once their typing pauses.
        QList<QLineEdit *> searchFields;
        QAction *backItem = nullptr;
        QAction *forwardItem = nullptr;
    };

    struct Tabs
    {
        browser::MaterialList &materials;
        browser::SupplierBrowser &suppliers;
        TabState &tabState;
    };

    struct Shared
    {
        bool &eventsEnabled;
        const std::unique_ptr<TSearchClass> &searchClass;
        // Lists every material again, as the criteria dialog's "Select all"
        // does.
        std::function<void()> restoreAll;
    };

    HistoryWiring(const Controls &controls, Tabs tabs, Shared shared);

    // Records the item in view now, as the user's settled place.
    void settle();
    void GoBack();
    void GoForward();

    const browser::History &history() const { return m_history; }

    // Before a new database is taken up: the sort key of each material
    // place, read while the database it names is still the one in use.
    void DatabaseChanging();
    // Once it is taken up: each material place stands for the material of
    // its name in the new database, whose ids may be others, and a place
    // whose material is gone is forgotten. Unless a search text decides the
    // current material, the material in view before is shown again.
    void DatabaseChanged();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Records the item in view once the current reaction has ended.
    void settleSoon();
    // Records the item in view once it stayed unchanged for a pause.
    void settleAfterPause();
    std::optional<browser::History::Place> placeInView() const;
    bool exists(const browser::History::Place &place) const;
    // Goes to place, reached by a step in direction (-1 Back, +1 Forward).
    void go(const browser::History::Place &place, int direction);
    // The sort key of a material place on the database it names now; empty
    // when the place is gone.
    QString sortKeyOf(const browser::History::Place &place) const;
    // The id of the material called name, whose sort key is key.
    std::optional<qint32> idByName(const QString &name, const QString &key) const;
    void updateItems();

    Controls m_c;
    Tabs m_tabs;
    Shared m_shared;
    browser::History m_history;
    // While a new database is taken up: the sort keys of the material
    // places, and the material in view.
    QHash<qint32, QString> m_keys;
    std::optional<browser::History::Place> m_inView;
    QTimer m_soon;
    QTimer m_pause;
    // Set while Back or Forward moves the lists, whose changes are not
    // places the user settled on.
    bool m_going = false;
};

} // namespace zil::shell
