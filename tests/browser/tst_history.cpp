// The history behind Back and Forward on its own: places settled on, the
// forward places a new one drops, the cap, and places the database no longer
// holds.
#include "browser/history.h"

#include <QTest>

using zil::browser::History;
using Opt = std::optional<History::Place>;

namespace {

History::Place material(qint32 id)
{
    return {History::Kind::Material, id, QStringLiteral("Material %1").arg(id)};
}

History::Place supplier(qint32 id)
{
    return {History::Kind::Supplier, id, QStringLiteral("Supplier %1").arg(id)};
}

bool any(const History::Place &)
{
    return true;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Back and Forward walk the places in order, a material and a supplier of
    // the same id being two places; settling somewhere new after Back drops
    // what lay ahead, and settling on the current place again adds nothing.
    void newPlaceAfterBackDropsForward()
    {
        History h;
        QVERIFY(!h.canGoBack());
        QVERIFY(!h.back(any));
        for (const History::Place &p : {material(1), supplier(1), material(7)})
            h.settle(p);
        h.settle(material(7));
        QCOMPARE(h.places().size(), 3);

        QCOMPARE(h.back(any), Opt(supplier(1)));
        QCOMPARE(h.back(any), Opt(material(1)));
        QVERIFY(!h.canGoBack());
        QVERIFY(!h.back(any));
        QCOMPARE(h.current(), Opt(material(1)));
        QCOMPARE(h.forward(any), Opt(supplier(1)));
        QVERIFY(h.canGoForward());

        h.settle(supplier(1));
        QVERIFY(h.canGoForward());
        h.settle(material(9));
        QVERIFY(!h.canGoForward());
        QCOMPARE(h.places(), (QList<History::Place> {material(1), supplier(1), material(9)}));
        QVERIFY(!h.forward(any));

        // The same id under another name is another record.
        History::Place renamed = material(9);
        renamed.name = QStringLiteral("Other");
        h.settle(renamed);
        QCOMPARE(h.places().size(), 4);
    }

    // The oldest places go beyond a hundred; Back then ends at the oldest one
    // kept.
    void holdsTheNewestHundred()
    {
        History h;
        for (qint32 id = 1; id <= 250; ++id)
            h.settle(material(id));
        QCOMPARE(h.places().size(), History::Capacity);
        QCOMPARE(h.places().first(), material(151));
        QCOMPARE(h.current(), Opt(material(250)));
        int steps = 0;
        while (h.back(any))
            ++steps;
        QCOMPARE(steps, History::Capacity - 1);
        QCOMPARE(h.current(), Opt(material(151)));
        // Settling from the oldest place keeps it and drops the rest.
        h.settle(supplier(3));
        QCOMPARE(h.places(), (QList<History::Place> {material(151), supplier(3)}));
    }

    // Places gone from the database are passed over in either direction and
    // forgotten; when no place is left that way, the current place stays and
    // the way is closed.
    void passesOverPlacesGone()
    {
        History h;
        for (qint32 id = 1; id <= 6; ++id)
            h.settle(material(id));
        const auto gone = [](const History::Place &p) { return p.id != 3 && p.id != 4; };
        QCOMPARE(h.back(gone), Opt(material(5)));
        QCOMPARE(h.back(gone), Opt(material(2)));
        QCOMPARE(h.places(),
            (QList<History::Place> {material(1), material(2), material(5), material(6)}));
        QCOMPARE(h.currentIndex(), 1);
        QCOMPARE(h.forward(gone), Opt(material(5)));

        const auto onlyCurrent = [](const History::Place &p) { return p.id == 5; };
        QVERIFY(!h.back(onlyCurrent));
        QCOMPARE(h.current(), Opt(material(5)));
        QVERIFY(!h.canGoBack());
        QVERIFY(!h.forward(onlyCurrent));
        QCOMPARE(h.places(), (QList<History::Place> {material(5)}));
        QVERIFY(!h.canGoForward());
    }

    // A place found gone only once it was stepped to is forgotten and the
    // place stepped from is current again, after Back as after Forward; a
    // place found under another id keeps its slot.
    void placesFoundGoneOnArrival()
    {
        History h;
        for (qint32 id = 1; id <= 4; ++id)
            h.settle(material(id));
        QCOMPARE(h.back(any), Opt(material(3)));
        h.dropStepped(-1);
        QCOMPARE(h.current(), Opt(material(4)));
        QCOMPARE(h.places(), (QList<History::Place> {material(1), material(2), material(4)}));
        QVERIFY(!h.canGoForward());

        QCOMPARE(h.back(any), Opt(material(2)));
        QCOMPARE(h.back(any), Opt(material(1)));
        QCOMPARE(h.forward(any), Opt(material(2)));
        h.dropStepped(+1);
        QCOMPARE(h.current(), Opt(material(1)));
        QCOMPARE(h.places(), (QList<History::Place> {material(1), material(4)}));
        h.replaceCurrent(material(9));
        QCOMPARE(h.places(), (QList<History::Place> {material(9), material(4)}));
        QCOMPARE(h.forward(any), Opt(material(4)));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
