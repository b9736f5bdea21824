// Back and Forward of the View menu: the main window's history of the
// materials and suppliers the user settled on, each with its tab. A place is
// recorded when the user has settled: at once after a click in a list, a
// navigation button or a tab switch, and otherwise once the current item and
// the search fields have stayed unchanged for half a second (typing in a
// search field, the arrow keys in a list, a material made current by another
// window).
#pragma once

#include "browser/historywalk.h"

#include <QList>
#include <QObject>
#include <QTimer>

class QAbstractItemView;
class QAction;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace zil::store {
class DataSource;
}

namespace zil::shell {

class TabState;

class HistoryWiring : public QObject
{
public:
    // How long the current item must stay unchanged before it counts as
    // settled on.
    static constexpr int PauseMs = 500;

    // The controls the history watches; the window owns them.
    struct Controls
    {
        // The tab switched to a place's tab, as the View menu switches it.
        TabState *tabState = nullptr;
        // The current material and the current supplier, whose changes are
        // the user's moves.
        store::DataSource *materialSource = nullptr;
        store::DataSource *supplierSource = nullptr;
        QTabWidget *mainNotebook = nullptr;
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

    HistoryWiring(const Controls &controls, const browser::HistoryWalk::Controls &walk);

    // Records the item in view now, as the user's settled place.
    void settle();
    void GoBack();
    void GoForward();

    const browser::History &history() const { return m_walk.history(); }

    // Around the taking up of a new database (browser::HistoryWalk).
    void DatabaseChanging();
    void DatabaseChanged();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Records the item in view once the current reaction has ended.
    void settleSoon();
    // Records the item in view once it stayed unchanged for a pause.
    void settleAfterPause();
    // Goes to place on its tab, reached by a step in direction.
    void go(const browser::History::Place &place, int direction);
    void updateItems();

    Controls m_c;
    browser::HistoryWalk m_walk;
    QTimer m_soon;
    QTimer m_pause;
    // Set while Back, Forward or a new database moves the lists, whose
    // changes are not places the user settled on.
    bool m_going = false;
};

} // namespace zil::shell
