#include "historywalk.h"

#include "materiallist.h"
#include "supplierbrowser.h"

#include "store/field.h"
#include "store/table.h"

#include <QLineEdit>
#include <QTabWidget>

namespace zil::browser {

HistoryWalk::HistoryWalk(const Controls &controls)
    : m_c(controls)
{ }

std::optional<History::Place> HistoryWalk::placeInView() const
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

void HistoryWalk::settle()
{
    if (const auto place = placeInView())
        m_history.settle(*place);
}

bool HistoryWalk::exists(const History::Place &place) const
{
    if (place.kind == History::Kind::Material)
        return m_c.materialList->Names(place.id, place.name);
    store::Table *lookup = m_c.supplierLookup;
    // A database replaced meanwhile may give the id to another record: the
    // name tells it from the one visited.
    return lookup->active() && lookup->findKey({place.id})
        && lookup->fieldByName(QStringLiteral("name")).asString() == place.name;
}

std::optional<History::Place> HistoryWalk::back()
{
    return m_history.back([this](const History::Place &p) { return exists(p); });
}

std::optional<History::Place> HistoryWalk::forward()
{
    return m_history.forward([this](const History::Place &p) { return exists(p); });
}

void HistoryWalk::go(const History::Place &place, int direction)
{
    if (place.kind == History::Kind::Supplier) {
        m_c.supplierBrowser->ShowSupplier(place.id);
        return;
    }
    // A material that the criteria left out is shown in the whole list, as
    // Find shows it: Back leads where the user was, not past it.
    const std::optional<qint32> shown = m_c.materialList->Reveal(place.id, place.name);
    if (!shown)
        m_history.dropStepped(direction);
    else if (*shown != place.id)
        m_history.replaceCurrent({History::Kind::Material, *shown, place.name});
}

HistoryWalk::Offered HistoryWalk::offered() const
{
    const auto here = placeInView();
    const auto current = m_history.current();
    const bool moved = here && here != current;
    return {m_history.canGoBack() || (moved && current), m_history.canGoForward() && !moved};
}

bool HistoryWalk::DatabaseChanging()
{
    // A material whose name cannot be read (its table is being written
    // into) is no place to find again.
    m_inView = placeInView();
    if (m_inView && m_inView->name.isEmpty())
        m_inView.reset();
    if (m_inView)
        m_history.settle(*m_inView);
    m_keys.clear();
    for (const History::Place &p : m_history.places()) {
        if (p.kind == History::Kind::Material)
            m_keys.insert(p.id, m_c.materialList->SortKeyOf(p.id, p.name));
    }
    return m_inView.has_value();
}

bool HistoryWalk::DatabaseChanged()
{
    const auto found = [this](const History::Place &p) -> std::optional<History::Place> {
        if (p.kind != History::Kind::Material || exists(p))
            return p;
        if (const auto moved = m_c.materialList->IdByName(p.name, m_keys.value(p.id)))
            return History::Place {History::Kind::Material, *moved, p.name};
        return std::nullopt;
    };
    m_history.remap(found);
    const auto seen = m_inView ? found(*m_inView) : std::nullopt;
    m_inView.reset();
    m_keys.clear();
    const bool typed = m_c.materialSearch && !m_c.materialSearch->text().isEmpty();
    if (seen && seen->kind == History::Kind::Material && !typed
        && m_c.mainNotebook->currentIndex() == 0 && placeInView() != seen) {
        m_c.materialList->ShowLinkedMaterial(seen->id);
        return true;
    }
    return false;
}

} // namespace zil::browser
