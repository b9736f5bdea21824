// The places the user settled on, in the order visited, for Back and
// Forward: a material on the Materials tab or a supplier on the Suppliers
// tab. A place is kept by its id and name, never by a row of a list, so it
// survives a change of order or selection; a place that the database no
// longer holds under that id and name is passed over and forgotten.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace zil::browser {

class History
{
public:
    enum class Kind { Material, Supplier };

    struct Place
    {
        Kind kind = Kind::Material;
        qint32 id = 0;
        // The name the record had when visited; a record with this id and
        // another name is another record.
        QString name;

        bool operator==(const Place &other) const = default;
    };

    // Whether a place still names a record of the database.
    using Exists = std::function<bool(const Place &)>;

    static constexpr int Capacity = 100;

    // Records place as the one now visited. The same place as the current one
    // adds nothing; a new one drops every place ahead of the current one and,
    // past Capacity, the oldest place.
    void settle(const Place &place);

    // The nearest place behind (or ahead of) the current one that still
    // exists, which becomes the current one; nothing when there is none, and
    // the current place stays. Places found gone on the way are forgotten,
    // so that Back and Forward are offered only where there is a place.
    std::optional<Place> back(const Exists &exists);
    std::optional<Place> forward(const Exists &exists);

    bool canGoBack() const { return m_current > 0; }
    bool canGoForward() const { return m_current + 1 < m_places.size(); }

    // The current place, if any.
    std::optional<Place> current() const;
    const QList<Place> &places() const { return m_places; }
    qsizetype currentIndex() const { return m_current; }

    void clear();

    // Each place becomes what f makes of it, or is forgotten when f gives
    // nothing; the current place stays current, or the one before it when
    // it is forgotten.
    void remap(const std::function<std::optional<Place>(const Place &)> &f);

    // The current place, found to name another record once it was stepped
    // to, now stands for the record it names under place.
    void replaceCurrent(const Place &place);
    // Forgets the current place, found gone once it was stepped to, and
    // makes the place stepped from current again: direction is that of the
    // step, -1 for back() and +1 for forward().
    void dropStepped(int direction);

private:
    std::optional<Place> step(int direction, const Exists &exists);

    QList<Place> m_places;
    // The index of the current place; -1 while nothing was visited.
    qsizetype m_current = -1;
};

} // namespace zil::browser
