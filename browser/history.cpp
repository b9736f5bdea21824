#include "history.h"

#include <algorithm>

namespace zil::browser {

void History::settle(const Place &place)
{
    if (m_current >= 0 && m_places.at(m_current) == place)
        return;
    m_places.resize(m_current + 1);
    m_places.append(place);
    if (m_places.size() > Capacity)
        m_places.remove(0, m_places.size() - Capacity);
    m_current = m_places.size() - 1;
}

std::optional<History::Place> History::back(const Exists &exists)
{
    return step(-1, exists);
}

std::optional<History::Place> History::forward(const Exists &exists)
{
    return step(+1, exists);
}

std::optional<History::Place> History::step(int direction, const Exists &exists)
{
    qsizetype i = m_current + direction;
    while (i >= 0 && i < m_places.size()) {
        if (exists(m_places.at(i))) {
            m_current = i;
            return m_places.at(i);
        }
        m_places.remove(i);
        if (direction < 0) {
            --m_current;
            --i;
        }
    }
    return std::nullopt;
}

std::optional<History::Place> History::current() const
{
    if (m_current < 0)
        return std::nullopt;
    return m_places.at(m_current);
}

void History::replaceCurrent(const Place &place)
{
    if (m_current >= 0)
        m_places[m_current] = place;
}

void History::dropStepped(int direction)
{
    if (m_current < 0)
        return;
    m_places.remove(m_current);
    // Back came from the place now shifted into the dropped one's index;
    // Forward came from the one before it.
    if (direction > 0 || m_current >= m_places.size())
        --m_current;
}

void History::remap(const std::function<std::optional<Place>(const Place &)> &f)
{
    QList<Place> kept;
    qsizetype current = -1;
    for (qsizetype i = 0; i < m_places.size(); ++i) {
        if (const auto place = f(m_places.at(i)))
            kept.append(*place);
        if (i == m_current)
            current = kept.size() - 1;
    }
    m_places = std::move(kept);
    m_current = m_places.isEmpty() ? -1 : std::max<qsizetype>(current, 0);
}

void History::clear()
{
    m_places.clear();
    m_current = -1;
}

} // namespace zil::browser
