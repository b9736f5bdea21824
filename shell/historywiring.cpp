#include "historywiring.h"
#include "tabstate.h"

#include "store/datasource.h"
#include "store/table.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace zil::shell {

namespace {

// Sets a flag while it lives.
class Going
{
public:
    explicit Going(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~Going() { m_flag = false; }
    Q_DISABLE_COPY_MOVE(Going)

private:
    bool &m_flag;
};

} // namespace

HistoryWiring::HistoryWiring(const Controls &controls, const browser::HistoryWalk::Controls &walk)
    : m_c(controls)
    , m_walk(walk)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_soon, &QTimer::timeout, this, [this] { settle(); });
    connect(&m_pause, &QTimer::timeout, this, [this] { settle(); });

    for (store::DataSource *source : {m_c.materialSource, m_c.supplierSource})
        connect(source, &store::DataSource::dataChange, this, [this] { settleAfterPause(); });
    // A keystroke that leaves the item where it was still means the user is
    // typing.
    for (QLineEdit *field : std::as_const(m_c.searchFields))
        connect(field, &QLineEdit::textChanged, this, [this] { settleAfterPause(); });
    // The tab state moves the list of the tab entered after the page has
    // changed; the place is taken once that is done.
    connect(m_c.mainNotebook, &QTabWidget::currentChanged, this, [this] { settleSoon(); });
    // Connected after the tab state's moves, so the place is the one moved to.
    for (QPushButton *button : std::as_const(m_c.moveButtons))
        connect(button, &QPushButton::clicked, this, [this] { settleSoon(); });
    for (QAbstractItemView *grid : {m_c.materialGrid, m_c.supplierGrid})
        grid->viewport()->installEventFilter(this);

    connect(m_c.backItem, &QAction::triggered, this, [this] { GoBack(); });
    connect(m_c.forwardItem, &QAction::triggered, this, [this] { GoForward(); });
    updateItems();
}

bool HistoryWiring::eventFilter(QObject *watched, QEvent *event)
{
    // A row clicked, or reached by dragging, is settled on when the button
    // is let go.
    if (event->type() == QEvent::MouseButtonRelease)
        settleSoon();
    return QObject::eventFilter(watched, event);
}

void HistoryWiring::settleSoon()
{
    if (m_going)
        return;
    m_pause.stop();
    m_soon.start();
    updateItems();
}

void HistoryWiring::settleAfterPause()
{
    if (m_going)
        return;
    if (!m_soon.isActive())
        m_pause.start();
    updateItems();
}

void HistoryWiring::settle()
{
    m_soon.stop();
    m_pause.stop();
    m_walk.settle();
    updateItems();
}

void HistoryWiring::DatabaseChanging()
{
    if (m_walk.DatabaseChanging()) {
        m_soon.stop();
        m_pause.stop();
    }
    updateItems();
}

void HistoryWiring::DatabaseChanged()
{
    bool moved = false;
    {
        const Going going(m_going);
        moved = m_walk.DatabaseChanged();
    }
    if (moved) {
        m_soon.stop();
        m_pause.stop();
    }
    updateItems();
}

void HistoryWiring::GoBack()
{
    // A move not yet settled on is where the user is now, and Back leads
    // from there.
    settle();
    if (const auto place = m_walk.back())
        go(*place, -1);
    updateItems();
}

void HistoryWiring::GoForward()
{
    settle();
    if (const auto place = m_walk.forward())
        go(*place, +1);
    updateItems();
}

void HistoryWiring::go(const browser::History::Place &place, int direction)
{
    {
        const Going going(m_going);
        const int page = place.kind == browser::History::Kind::Material ? 0 : 1;
        // The tab is switched as the View menu does, without moving the
        // entered list to the other tab's item: it goes to the place itself.
        if (m_c.mainNotebook->currentIndex() != page)
            m_c.tabState->SelectPageWithoutFollowing(page);
        m_walk.go(place, direction);
    }
    m_soon.stop();
    m_pause.stop();
}

void HistoryWiring::updateItems()
{
    const browser::HistoryWalk::Offered offered = m_walk.offered();
    m_c.backItem->setEnabled(offered.back);
    m_c.forwardItem->setEnabled(offered.forward);
}

} // namespace zil::shell
