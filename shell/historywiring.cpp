#include "historywiring.h"
#include "tabstate.h"

#include "browser/materiallist.h"
#include "browser/searchclass.h"
#include "browser/supplierbrowser.h"
#include "store/datasource.h"
#include "store/field.h"
#include "store/table.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace zil::shell {

using browser::History;

HistoryWiring::HistoryWiring(const Controls &controls, Tabs tabs, Shared shared)
    : m_c(controls)
    , m_tabs(tabs)
    , m_shared(std::move(shared))
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
    if (const auto place = placeInView())
        m_history.settle(*place);
    updateItems();
}

std::optional<History::Place> HistoryWiring::placeInView() const
{
    const bool materials = m_c.mainNotebook->currentIndex() == 0;
    store::Table *rows = materials ? m_c.materials : m_c.suppliers;
    if (!rows->active() || rows->isEmpty())
        return std::nullopt;
    History::Place place;
    place.kind = materials ? History::Kind::Material : History::Kind::Supplier;
    if (!rows->fieldByName(QStringLiteral("id")).asId(place.id))
        return std::nullopt;
    place.name = rows->fieldByName(QStringLiteral("name")).asString();
    return place;
}

bool HistoryWiring::exists(const History::Place &place) const
{
    const bool material = place.kind == History::Kind::Material;
    if (material && !m_shared.searchClass)
        return false;
    store::Table *lookup = material ? m_c.materialLookup : m_c.supplierLookup;
    // A database replaced meanwhile may give the id to another record: the
    // name tells it from the one visited.
    return lookup->active() && lookup->findKey({place.id})
        && lookup->fieldByName(QStringLiteral("name")).asString() == place.name;
}

QString HistoryWiring::sortKeyOf(const History::Place &place) const
{
    if (!exists(place))
        return {};
    return m_c.materialLookup->fieldByName(QStringLiteral("sf")).asString();
}

std::optional<qint32> HistoryWiring::idByName(const QString &name, const QString &key) const
{
    store::Table *lookup = m_c.materialLookup;
    if (key.isEmpty() || !lookup->active())
        return std::nullopt;
    const QString saved = lookup->indexName();
    lookup->setIndexName(QStringLiteral("NameOrder"));
    lookup->findNearest(key);
    std::optional<qint32> found;
    // Materials of one sort key lie together in name order.
    while (!lookup->isEmpty() && !lookup->eof()
        && lookup->fieldByName(QStringLiteral("sf")).asString().compare(key, Qt::CaseInsensitive)
            == 0) {
        qint32 id = 0;
        if (lookup->fieldByName(QStringLiteral("name")).asString() == name
            && lookup->fieldByName(QStringLiteral("id")).asId(id)) {
            found = id;
            break;
        }
        lookup->next();
    }
    lookup->setIndexName(saved);
    return found;
}

void HistoryWiring::DatabaseChanging()
{
    // A material whose name cannot be read (its table is being written
    // into) is no place to find again.
    m_inView = placeInView();
    if (m_inView && m_inView->name.isEmpty())
        m_inView.reset();
    if (m_inView)
        settle();
    m_keys.clear();
    for (const History::Place &p : m_history.places()) {
        if (p.kind == History::Kind::Material)
            m_keys.insert(p.id, sortKeyOf(p));
    }
}

void HistoryWiring::DatabaseChanged()
{
    const auto found = [this](const History::Place &p) -> std::optional<History::Place> {
        if (p.kind != History::Kind::Material || exists(p))
            return p;
        if (const auto moved = idByName(p.name, m_keys.value(p.id)))
            return History::Place {History::Kind::Material, *moved, p.name};
        return std::nullopt;
    };
    m_history.remap(found);
    const auto seen = m_inView ? found(*m_inView) : std::nullopt;
    m_inView.reset();
    m_keys.clear();
    const bool typed = !m_c.searchFields.isEmpty() && !m_c.searchFields.first()->text().isEmpty();
    if (seen && seen->kind == History::Kind::Material && !typed
        && m_c.mainNotebook->currentIndex() == 0 && placeInView() != seen) {
        m_going = true;
        m_tabs.materials.ShowLinkedMaterial(seen->id);
        m_going = false;
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
    if (const auto place = m_history.back([this](const History::Place &p) { return exists(p); }))
        go(*place, -1);
    updateItems();
}

void HistoryWiring::GoForward()
{
    settle();
    if (const auto place = m_history.forward([this](const History::Place &p) { return exists(p); }))
        go(*place, +1);
    updateItems();
}

void HistoryWiring::go(const History::Place &place, int direction)
{
    struct Going
    {
        HistoryWiring &w;
        explicit Going(HistoryWiring &wiring)
            : w(wiring)
        {
            w.m_going = true;
        }
        ~Going()
        {
            w.m_going = false;
            w.m_soon.stop();
            w.m_pause.stop();
        }
    } going(*this);

    const bool material = place.kind == History::Kind::Material;
    const int page = material ? 0 : 1;
    if (m_c.mainNotebook->currentIndex() != page) {
        // The tab is switched as the View menu does, without moving the
        // entered list to the other tab's item: it goes to the place below.
        const bool events = m_shared.eventsEnabled;
        m_shared.eventsEnabled = false;
        m_tabs.tabState.SelectMainPage(page);
        m_shared.eventsEnabled = events;
    }
    if (material) {
        // A material that the criteria left out is shown in the whole list,
        // as Find shows it: Back leads where the user was, not past it.
        qint32 id = place.id;
        if (!m_shared.searchClass->IsSelected(place.id)) {
            // Listing every material again reads the tables anew; should
            // they be those of a database taken up meanwhile, whose ids
            // follow the new name order, the material is looked up again
            // there by its name.
            const QString key = sortKeyOf(place);
            m_shared.restoreAll();
            if (!exists(place)) {
                const auto moved = idByName(place.name, key);
                if (!moved) {
                    m_history.dropStepped(direction);
                    return;
                }
                id = *moved;
                m_history.replaceCurrent({History::Kind::Material, id, place.name});
            }
        }
        m_tabs.materials.ShowLinkedMaterial(id);
    } else {
        m_tabs.suppliers.ShowSupplier(place.id);
    }
}

void HistoryWiring::updateItems()
{
    // A move not yet settled on counts as settled: Back leads to the place
    // recorded last, and there is nothing ahead of the new place.
    const auto here = placeInView();
    const auto current = m_history.current();
    const bool moved = here && here != current;
    m_c.backItem->setEnabled(m_history.canGoBack() || (moved && current));
    m_c.forwardItem->setEnabled(m_history.canGoForward() && !moved);
}

} // namespace zil::shell
