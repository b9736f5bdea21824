// The table store on real table files made by the database maker: cursors,
// orders and lookups, links and change notices, refresh, passwords, locks and
// the refusal of files that are not sound tables.
#include "common/testdb.h"
#include "platform/files.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/dbupdate.h"
#include "store/indexfile.h"
#include "store/indeximage.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/table.h"
#include "store/tablefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>
#include <sys/time.h>

using namespace zil;
using store::StoreError;
using store::Table;

namespace {

QStringList names(Table &t, const char *field = "name")
{
    QStringList out;
    for (t.first(); !t.eof(); t.next()) {
        out << t.fieldByName(field).asString();
        if (t.recNo() == t.recordCount())
            break;
    }
    return out;
}

// Each material in name order as "field/id", read in one pass as a scan of
// every record reads it: the places of the held texts and the ids at once.
QStringList scanInOnePass(const QString &dir, const char *field)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName("MATERIAL.DB");
    t.setIndexName("NameOrder");
    t.open();
    t.holdBytes({QString::fromLatin1(field)});
    const int column = t.fieldByName(field).column();
    const std::vector<quint32> places = t.heldPlacesInView();
    const std::vector<qint64> ids = t.integersInView(t.fieldByName("id").column());
    QStringList seen;
    for (size_t i = 0; i < places.size() && i < ids.size(); ++i)
        seen << QString::fromUtf8(t.heldBytesOf(places[i], column)) + "/" + QString::number(ids[i]);
    return seen;
}

// A cursor on the order of one index file, and what tells its records apart.
struct OrderUse
{
    const char *file;
    const char *table;
    const char *index;
    QStringList keyFields; // the leading fields of the index
    QStringList shown; // what each record read is told by
};

const OrderUse kOrderUses[] = {
    {"material.px", "MATERIAL.DB", "", {"id"}, {"id"}},
    {"material.xg0", "MATERIAL.DB", "CASOrder", {"cas", "id"}, {"id"}},
    {"material.xg1", "MATERIAL.DB", "NameOrder", {"sf", "id"}, {"id"}},
    {"synon.xg0", "SYNON.DB", "linkmaterial", {"materialid", "pos", "sf"}, {"materialid", "pos"}},
};

void openOrder(Table &t, const QString &dir, const OrderUse &use)
{
    t.setDatabaseName(dir);
    t.setTableName(QLatin1String(use.table));
    t.setIndexName(QLatin1String(use.index));
    t.open();
}

// The keys of records spread over an order, as its index holds them.
QList<QVariantList> spreadKeys(Table &t, const OrderUse &use)
{
    QList<QVariantList> keys;
    for (int i = 0; i < 9; ++i) {
        t.setRecNo(1 + i * (t.recordCount() - 1) / 8);
        QVariantList key;
        for (const QString &f : use.keyFields)
            key << t.fieldByName(f).asString();
        keys << key;
    }
    return keys;
}

// What a cursor gives through its order: the records that nearest and exact
// lookups find, a walk of every record, a key range, and the reads of every
// record in view in one pass. With `some`, every other lookup and the first
// rows only, as a cursor has read before its file changes.
QStringList readThrough(Table &t, const OrderUse &use, const QList<QVariantList> &keys, bool some)
{
    QStringList seen;
    const auto here = [&] {
        QStringList v {QString::number(t.recNo())};
        for (const QString &f : use.shown)
            v << t.fieldByName(f).asString();
        return v.join(QLatin1Char('/'));
    };
    const auto walk = [&](int most) {
        for (t.first(); !t.eof() && most-- > 0; t.next()) {
            seen << here();
            if (t.recNo() == t.recordCount())
                break;
        }
    };
    for (qsizetype i = 0; i < keys.size(); i += some ? 2 : 1) {
        // A prefix of a text key, as a user types it.
        const QVariant k = keys[i][0].toString().left(5);
        t.findNearest(use.keyFields[0] == QLatin1String("sf") ? k : keys[i][0]);
        seen << QStringLiteral("nearest ") + here();
        seen << (t.findKey(keys[i]) ? QStringLiteral("key ") + here() : QStringLiteral("no key"));
    }
    walk(some ? 40 : t.recordCount());
    if (some)
        return seen;
    t.setRange(keys[2][0], keys[6][0]);
    seen << QStringLiteral("range of %1").arg(t.recordCount());
    walk(t.recordCount());
    t.cancelRange();
    QStringList pass;
    for (const qint64 v : t.integersInView(t.fieldByName(use.shown[0]).column()))
        pass << QString::number(v);
    for (const quint32 p : t.heldPlacesInView())
        pass << QString::number(p);
    seen << pass.join(QLatin1Char(' '));
    return seen;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_db; // the indexed fixture database
    QString m_protected; // the same data, protected
    std::unique_ptr<store::Database> m_main;

    std::unique_ptr<Table> cursor(const QString &table, const QString &index = QString())
    {
        auto t = std::make_unique<Table>();
        t->setDatabaseName(QStringLiteral("ZIL"));
        t->setTableName(table);
        t->setIndexName(index);
        return t;
    }

    QString makeSource()
    {
        const QString src = m_tmp.filePath(QStringLiteral("src"));
        QDir().mkpath(src);
        test::writeCsv(src + "/materials.csv",
            {{"key", "name", "cas", "fema", "ce", "occur", "flavor", "applic", "liter", "notes"},
                {"10", "Vanillin", "121-33-5", "3107", "", "Vanilla pods.", "Sweet, creamy.",
                    "Everywhere.", "", ""},
                {"11", "2-Acetylpyrazine", "22047-25-2", "3126", "", "Roasted foods.",
                    "Nutty, popcorn.", "Savoury.", "Long text\nwith a second line.", ""},
                {"12", "gamma-Decalactone", "706-14-9", "2360", "", "Peach.", "Peach, creamy.",
                    "Fruit.", "", ""},
                {"13", "Benzaldehyde", "100-52-7", "2127", "", "Bitter almond.", "Almond, cherry.",
                    "Cherry flavours.", "", ""},
                {"14", "\u03a8-Ionone", "8050-07-5", "", "", "Frankincense.", "Balsamic.",
                    "Incense notes.", "", ""},
                {"15", "cis-3-Hexenol", "928-96-1", "2563", "", "Green leaves.", "Cut grass.",
                    "Green notes.", "", ""}});
        test::writeCsv(src + "/synonyms.csv",
            {{"material", "name"}, {"10", "4-Hydroxy-3-methoxybenzaldehyde"},
                {"10", "Vanillic aldehyde"}, {"11", "Methyl pyrazinyl ketone"},
                {"13", "Benzenecarbonal"}});
        test::writeCsv(src + "/suppliers.csv",
            {{"id", "name", "address", "city", "country", "phone"},
                {"1", "Zeta Aromatics", "1 Road", "Town", "Land", "1"},
                {"2", "alpha Essences", "2 Road", "Town", "Land", "2"},
                {"3", "Beta Oils", "3 Road", "Town", "Land", "3"},
                {"4", "Idle Trading", "4 Road", "Town", "Land", "4"}});
        test::writeCsv(src + "/links.csv",
            {{"material", "supplier", "price", "comment"}, {"10", "3", "", ""}, {"10", "1", "", ""},
                {"12", "1", "", ""}, {"11", "1", "", ""}, {"13", "2", "", ""}});
        return src;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString src = makeSource();
        m_db = m_tmp.filePath(QStringLiteral("db"));
        m_protected = m_tmp.filePath(QStringLiteral("protected"));
        QVERIFY(test::runMakeDb({src, m_db}));
        QVERIFY(test::runMakeDb({QStringLiteral("--protect"), src, m_protected}));
        store::Session::instance().addPassword(schema::programPassword());
        store::indexDatabase(m_db);
        QVERIFY(QFile::exists(m_db + "/material.xg1"));
        m_main = std::make_unique<store::Database>();
        m_main->setDatabaseName(QStringLiteral("ZIL"));
        m_main->params() << QStringLiteral("Path=") + m_db + QLatin1Char('/');
        m_main->setDriverName(store::Database::standardDriver());
    }

    void connectionOpensAndClosesCursors()
    {
        auto a = cursor("MATERIAL.DB");
        auto b = cursor("SUPPLIER.DB", "supname");
        a->open();
        a->open(); // opening an open cursor does nothing
        b->open();
        QVERIFY(m_main->connected());
        m_main->close();
        QVERIFY(!a->active());
        QVERIFY(!b->active());

        store::Database other;
        other.setDatabaseName(QStringLiteral("OTHER"));
        other.params() << QStringLiteral("Path=") + m_db;
        other.setDriverName(QStringLiteral("PARADOX"));
        Table t;
        t.setDatabaseName(QStringLiteral("OTHER"));
        t.setTableName(QStringLiteral("MATERIAL.DB"));
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());
        QVERIFY(!t.active());
    }

    void endFlagAndMoves()
    {
        auto t = cursor("MATERIAL.DB", "NameOrder");
        t->open();
        QCOMPARE(t->recordCount(), 6);
        QVERIFY(!t->eof());
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("2-Acetylpyrazine"));
        t->next();
        QVERIFY(!t->eof());
        t->last();
        QVERIFY(t->eof()); // set by the move to the last record
        const QString lastName = t->fieldByName("name").asString();
        t->prior();
        QVERIFY(!t->eof());
        t->next();
        QVERIFY(!t->eof()); // stepping onto the last record leaves it clear
        QCOMPARE(t->fieldByName("name").asString(), lastName);
        t->next();
        QVERIFY(t->eof()); // a move past the last record sets it
        QCOMPARE(t->fieldByName("name").asString(), lastName);
        t->first();
        QVERIFY(!t->eof());
        QVERIFY(t->bof());
        t->prior();
        QVERIFY(t->bof());
        QCOMPARE(t->recNo(), 1);
    }

    void fieldsAndMemos()
    {
        auto t = cursor("MATERIAL.DB");
        t->open();
        QVERIFY(t->findKey({2}));
        QCOMPARE(t->fieldByName("ID").asInteger(), 2);
        QCOMPARE(t->fieldByName("Name").asString(), QStringLiteral("Benzaldehyde"));
        QCOMPARE(t->fieldByName("id").asString(), QStringLiteral("2"));
        QCOMPARE(t->fieldByName("occur").asBytes(), QByteArray("Bitter almond."));
        QCOMPARE(t->fieldByName("liter").asBytes().size(), 0);
        QVERIFY(t->findKey({1}));
        const QByteArray liter = t->fieldByName("LITER").asBytes();
        QCOMPARE(liter, QByteArray("Long text\nwith a second line."));
        QCOMPARE(liter.size(), 29);
        QVERIFY_THROWS_EXCEPTION(StoreError, t->fieldByName("nosuchfield"));
    }

    void idsFollowNameOrder()
    {
        // The database maker numbers materials in name order, so walking the
        // primary index and NameOrder gives the same sequence.
        auto byId = cursor("MATERIAL.DB");
        auto byName = cursor("MATERIAL.DB", "NameOrder");
        byId->open();
        byName->open();
        QCOMPARE(names(*byId), names(*byName));
        QCOMPARE(names(*byName),
            QStringList({"2-Acetylpyrazine", "Benzaldehyde", "gamma-Decalactone", "cis-3-Hexenol",
                "Vanillin", "\u03a8-Ionone"}));
    }

    void indexSwitchAndLookups()
    {
        auto t = cursor("MATERIAL.DB", "NameOrder");
        t->open();
        QCOMPARE(t->indexName(), QStringLiteral("NameOrder"));
        t->findNearest(QStringLiteral("VAN"));
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("Vanillin"));
        t->setIndexName(QString());
        QCOMPARE(t->indexName(), QString());
        // The current record stays current across an index switch.
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("Vanillin"));
        QVERIFY(t->findKey({3}));
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("gamma-Decalactone"));
        QVERIFY(!t->findKey({99}));
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("gamma-Decalactone"));
    }

    void unknownIndexKeepsTheOldOne()
    {
        auto t = cursor("MATERIAL.DB", "CASOrder");
        t->open();
        QVERIFY_THROWS_EXCEPTION(StoreError, t->setIndexName(QStringLiteral("nosuchindex")));
        QCOMPARE(t->indexName(), QStringLiteral("CASOrder"));
        t->first();
        QCOMPARE(t->fieldByName("cas").asString(), QStringLiteral("100-52-7"));
    }

    void nearestPositioning_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("before every key") << ""
                                          << "2-Acetylpyrazine";
        QTest::newRow("before every key, letters") << "AAA"
                                                   << "2-Acetylpyrazine";
        QTest::newRow("exact") << "BENZALDEHYDE"
                               << "Benzaldehyde";
        QTest::newRow("between keys") << "C"
                                      << "gamma-Decalactone";
        QTest::newRow("prefix") << "HEX"
                                << "cis-3-Hexenol";
        QTest::newRow("case ignored") << "vanil"
                                      << "Vanillin";
        QTest::newRow("case ignored beyond a to z") << "\u03c8-io"
                                                    << "\u03a8-Ionone";
        QTest::newRow("after every key") << "\u03c8z"
                                         << "\u03a8-Ionone";
        QTest::newRow("far after every key") << "\U0001F600"
                                             << "\u03a8-Ionone";
    }

    void nearestPositioning()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        auto t = cursor("MATERIAL.DB", "NameOrder");
        t->open();
        t->last();
        t->findNearest(key);
        QCOMPARE(t->fieldByName("name").asString(), expected);
        QVERIFY(!t->eof());
    }

    void noticesAtEveryChangeOfRecord()
    {
        auto t = cursor("MATERIAL.DB", "NameOrder");
        store::DataSource source;
        source.setDataSet(t.get());
        int notices = 0, rows = 0;
        connect(&source, &store::DataSource::dataChange, [&] { ++notices; });
        connect(&source, &store::DataSource::rowsChanged, [&] { ++rows; });
        t->open();
        QCOMPARE(notices, 1); // opening announces the first record
        t->first();
        QCOMPARE(notices, 1); // no change of record, no notice
        t->next();
        t->prior();
        QCOMPARE(notices, 3);
        t->setIndexName(QString()); // same record, another order
        QCOMPARE(notices, 3);
        QCOMPARE(rows, 1);
        QVERIFY(t->findKey({1}));
        QCOMPARE(notices, 3);
        QVERIFY(t->findKey({2}));
        QCOMPARE(notices, 4);
        t->setIndexName(QStringLiteral("nameorder")); // names are matched without case
        t->setIndexName(QStringLiteral("NameOrder"));
        QCOMPARE(rows, 2);
        t->last();
        t->next(); // past the end: no move
        QCOMPARE(notices, 5);
    }

    void casOrderIsTextOrder()
    {
        auto t = cursor("MATERIAL.DB", "CASOrder");
        t->open();
        QCOMPARE(names(*t, "cas"),
            QStringList(
                {"100-52-7", "121-33-5", "22047-25-2", "706-14-9", "8050-07-5", "928-96-1"}));
        t->findNearest(QStringLiteral("3"));
        QCOMPARE(t->fieldByName("cas").asString(), QStringLiteral("706-14-9"));
    }

    void keyRange()
    {
        auto t = cursor("MATERIAL.DB");
        t->open();
        t->last();
        t->setRange(4, 4);
        QCOMPARE(t->recordCount(), 1);
        QCOMPARE(t->fieldByName("id").asInteger(), 4);
        t->next();
        QVERIFY(t->eof());
        t->setRange(2, 3);
        QCOMPARE(names(*t), QStringList({"Benzaldehyde", "gamma-Decalactone"}));
        QVERIFY(!t->findKey({5})); // lookups stay inside the range
        t->setRange(50, 60);
        QVERIFY(t->isEmpty());
        QVERIFY(t->eof());
        t->cancelRange();
        QCOMPARE(t->recordCount(), 6);
    }

    void linksFollowTheirMaster()
    {
        Table material;
        store::DataSource source;
        material.setObjectName("TableMaterial");
        material.setDatabaseName("ZIL");
        material.setTableName("MATERIAL.DB");
        material.setIndexName("NameOrder");
        source.setDataSet(&material);

        // Opened before the master: the link is taken up when it opens.
        Table synonyms;
        synonyms.setDatabaseName("ZIL");
        synonyms.setTableName("SYNON.DB");
        synonyms.setMasterSource(&source);
        synonyms.setMasterFields("id");
        synonyms.setIndexFieldNames("materialid");
        synonyms.setReadOnly(true);
        synonyms.open();
        QVERIFY(synonyms.isEmpty());
        QVERIFY(synonyms.eof());

        Table links;
        store::DataSource linkSource;
        linkSource.setDataSet(&links);
        links.setDatabaseName("ZIL");
        links.setTableName("MATSUPP.DB");
        links.setMasterSource(&source);
        links.setMasterFields("id");
        links.setIndexFieldNames("materialid");
        links.open();

        Table supplier;
        supplier.setDatabaseName("ZIL");
        supplier.setTableName("SUPPLIER.DB");
        supplier.setMasterSource(&linkSource);
        supplier.setMasterFields("supplierid");
        supplier.setIndexFieldNames("id");
        supplier.open();

        // When the master's notice runs, the linked cursors have followed.
        QStringList seen;
        int linkNotices = 0;
        connect(&linkSource, &store::DataSource::dataChange, [&] { ++linkNotices; });
        connect(&source, &store::DataSource::dataChange, [&] {
            seen << QStringLiteral("%1:%2:%3")
                        .arg(material.fieldByName("name").asString())
                        .arg(synonyms.recordCount())
                        .arg(supplier.isEmpty() ? QString()
                                                : supplier.fieldByName("name").asString());
        });
        material.open();
        QCOMPARE(seen, QStringList({"2-Acetylpyrazine:1:Zeta Aromatics"}));

        material.findNearest("VANILLIN");
        QCOMPARE(seen.last(), QStringLiteral("Vanillin:2:Zeta Aromatics"));
        QCOMPARE(
            names(synonyms), QStringList({"4-Hydroxy-3-methoxybenzaldehyde", "Vanillic aldehyde"}));
        // Supplier links come by supplier id: 1 then 3.
        QCOMPARE(links.recordCount(), 2);
        const int before = linkNotices;
        links.next();
        QCOMPARE(linkNotices, before + 1);
        QCOMPARE(supplier.fieldByName("name").asString(), QStringLiteral("Beta Oils"));

        material.findNearest("HEX"); // no synonyms, no suppliers
        QCOMPARE(seen.last(), QStringLiteral("cis-3-Hexenol:0:"));
        QVERIFY(links.eof());
        QCOMPARE(links.recordCount(), 0);

        material.close();
        QVERIFY(synonyms.isEmpty());
    }

    void supplierLinkOrderAndSupplierNames()
    {
        Table suppliers;
        store::DataSource source;
        source.setDataSet(&suppliers);
        suppliers.setDatabaseName("ZIL");
        suppliers.setTableName("SUPPLIER.DB");
        suppliers.setIndexName("supname");
        Table links;
        store::DataSource linkSource;
        linkSource.setDataSet(&links);
        links.setDatabaseName("ZIL");
        links.setTableName("MATSUPP.DB");
        links.setMasterSource(&source);
        links.setMasterFields("id");
        links.setIndexFieldNames("supplierid");
        links.open();
        suppliers.open();
        QCOMPARE(names(suppliers),
            QStringList({"alpha Essences", "Beta Oils", "Idle Trading", "Zeta Aromatics"}));
        suppliers.last();
        // Materials of a supplier in material id order, which is name order.
        QStringList ids;
        for (links.first(); !links.eof(); links.next())
            ids << links.fieldByName("materialid").asString();
        QCOMPARE(ids, QStringList({"1", "3", "5"}));

        // Any record in view read without moving the cursor.
        int notices = 0;
        connect(&source, &store::DataSource::recordChanged, [&] { ++notices; });
        connect(&linkSource, &store::DataSource::recordChanged, [&] { ++notices; });

        // Rows in the order of the cursor, the current one among them: a key
        // field held in memory and a field read from the file.
        const int name = suppliers.fieldByName("name").column();
        const int address = suppliers.fieldByName("address").column();
        QCOMPARE(suppliers.recNo(), 4);
        QStringList seen;
        for (int r = 1; r <= suppliers.recordCount(); ++r)
            seen << suppliers.valueAt(r, name).toString() + "/"
                    + suppliers.valueAt(r, address).toString();
        QCOMPARE(seen,
            QStringList({"alpha Essences/2 Road", "Beta Oils/3 Road", "Idle Trading/4 Road",
                "Zeta Aromatics/1 Road"}));
        QVERIFY(suppliers.valueAt(0, name).isNull());
        QVERIFY(suppliers.valueAt(5, name).isNull());
        QVERIFY(suppliers.valueAt(1, 99).isNull());

        // On a linked cursor the rows are those of the master's record.
        const int material = links.fieldByName("materialid").column();
        links.setRecNo(2);
        QCOMPARE(links.recordCount(), 3);
        QCOMPARE(links.valueAt(1, material).toInt(), 1);
        QCOMPARE(links.valueAt(3, material).toInt(), 5);
        QVERIFY(links.valueAt(4, material).isNull());
        const int before = notices;
        for (int r = 1; r <= 3; ++r)
            links.valueAt(r, material);
        QCOMPARE(links.recNo(), 2);
        QCOMPARE(suppliers.recNo(), 4);
        QCOMPARE(notices, before);

        suppliers.close();
        QVERIFY(suppliers.valueAt(1, name).isNull());
    }

    void refreshShowsAnotherProcessChange()
    {
        auto t = cursor("SUPPLIER.DB");
        t->open();
        QVERIFY(t->findKey({4}));
        QCOMPARE(t->fieldByName("city").asString(), QStringLiteral("Town"));
        // Another process changes the file through the command-line shell.
        QProcess shell;
        shell.start("sqlcipher",
            {m_db + "/SUPPLIER.DB",
                "UPDATE supplier SET city = 'Harbour' WHERE id = 4;"
                "UPDATE supplier SET name = 'Aardvark Supply' WHERE id = 4;"});
        QVERIFY(shell.waitForFinished());
        QCOMPARE(shell.exitCode(), 0);
        t->refresh();
        QCOMPARE(t->fieldByName("id").asInteger(), 4);
        QCOMPARE(t->fieldByName("city").asString(), QStringLiteral("Harbour"));
        // The orders are rebuilt too.
        t->setIndexName("supname");
        t->first();
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("Aardvark Supply"));
        QVERIFY(test::execSql(m_db + "/SUPPLIER.DB",
            "UPDATE supplier SET city = 'Town', name = 'Idle Trading' WHERE id = 4"));
        t->refresh();
        t->first();
        QCOMPARE(t->fieldByName("name").asString(), QStringLiteral("alpha Essences"));
    }

    void heldBytesFollowTheFile()
    {
        // Texts held in memory for a scan are those of the file as read; a
        // file replaced by another process, or written into, drops them at
        // the next refresh, and holding them again reads the new texts.
        QTemporaryDir dir;
        const QString table = dir.filePath("MATERIAL.DB");
        QVERIFY(QFile::copy(m_db + "/MATERIAL.DB", table));
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName("MATERIAL.DB");
        t.open();
        t.holdBytes({"name", "flavor"});
        const int name = t.fieldByName("name").column();
        const int flavor = t.fieldByName("flavor").column();
        const int count = t.recordCount();
        const std::vector<quint32> places = t.heldPlacesInView();
        QCOMPARE(places.size(), size_t(count));
        for (int recNo = 1; recNo <= count; ++recNo) {
            t.setRecNo(recNo);
            const quint32 place = places[size_t(recNo) - 1];
            QCOMPARE(t.heldBytesOf(place, name).toByteArray(),
                t.fieldByName("name").asString().toUtf8());
            QCOMPARE(t.heldBytesOf(place, flavor).toByteArray(), t.fieldByName("flavor").asBytes());
        }
        QVERIFY_THROWS_EXCEPTION(
            StoreError, t.heldBytesOf(places[0], t.fieldByName("occur").column()));

        auto heldFlavour = [&](qint32 id) {
            const std::vector<quint32> now = t.heldPlacesInView();
            for (int recNo = 1; recNo <= t.recordCount(); ++recNo) {
                if (t.valueAt(recNo, t.fieldByName("id").column()).toInt() == id)
                    return t.heldBytesOf(now[size_t(recNo) - 1], flavor).toByteArray();
            }
            return QByteArray("(none)");
        };
        QCOMPARE(heldFlavour(5), QByteArray("Sweet, creamy."));

        const QString next = dir.filePath("next.db");
        QVERIFY(QFile::copy(table, next));
        QVERIFY(test::execSql(
            next, "UPDATE material SET flavor = 'Smoky, and longer than before.' WHERE id = 5"));
        QVERIFY(QFile::remove(table));
        QVERIFY(QFile::rename(next, table));
        QCOMPARE(heldFlavour(5), QByteArray("Sweet, creamy."));
        t.refresh();
        QVERIFY_THROWS_EXCEPTION(StoreError, heldFlavour(5));
        t.holdBytes({"flavor"});
        QCOMPARE(heldFlavour(5), QByteArray("Smoky, and longer than before."));

        QVERIFY(test::execSql(table, "UPDATE material SET flavor = 'Fresh.' WHERE id = 5"));
        t.refresh();
        t.holdBytes({"flavor"});
        QCOMPARE(heldFlavour(5), QByteArray("Fresh."));

        // Held upper-cased, only a to z change; holding them as stored again
        // gives the stored bytes back.
        QVERIFY(test::execSql(table,
            "UPDATE material SET flavor = CAST(X'6672616973e9207a2d61007a' AS BLOB) WHERE id = 5"));
        t.refresh();
        t.holdBytes({"flavor"}, true);
        QCOMPARE(heldFlavour(5), QByteArray::fromHex("4652414953e9205a2d41005a"));
        t.holdBytes({"flavor"});
        QCOMPARE(heldFlavour(5), QByteArray::fromHex("6672616973e9207a2d61007a"));
    }

    void refreshIsAnnouncedByEveryCursorOnTheFile()
    {
        // Two cursors of the process on one table file, say the main
        // window's and a report's: a re-read through one shows in the other
        // and is announced there.
        auto reading = cursor("MATSUPP.DB");
        auto shown = cursor("MATSUPP.DB");
        reading->open();
        shown->open();
        shown->setRange(5, 5); // Vanillin, with suppliers 1 and 3
        QCOMPARE(shown->recordCount(), 2);
        store::DataSource source;
        source.setDataSet(shown.get());
        QList<int> counts; // the records in view at each notice
        connect(&source, &store::DataSource::recordChanged, this,
            [&] { counts << shown->recordCount(); });
        QVERIFY(test::execSql(
            m_db + "/MATSUPP.DB", "DELETE FROM matsupp WHERE materialid = 5 AND supplierid = 3"));
        reading->refresh();
        QCOMPARE(counts, QList<int> {1});
        QCOMPARE(shown->fieldByName("supplierid").asInteger(), 1);
        // Nothing re-read, nothing announced elsewhere.
        reading->refresh();
        QCOMPARE(counts, QList<int> {1});
        QVERIFY(test::execSql(
            m_db + "/MATSUPP.DB", "INSERT INTO matsupp (materialid, supplierid) VALUES (5, 3)"));
        reading->refresh();
        QCOMPARE(counts, (QList<int> {1, 2}));
    }

    void protectedTableNeedsThePassword()
    {
        store::Session::instance().removeAllPasswords();
        Table t;
        t.setDatabaseName(m_protected);
        t.setTableName("SUPPLIER.DB");
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());
        QVERIFY(!t.active());
        store::Session::instance().addPassword("wrong");
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());
        store::Session::instance().addPassword(schema::programPassword());
        t.open();
        QCOMPARE(t.recordCount(), 4);
        t.close();
        // Indexing a protected table works with the password registered.
        store::indexDatabase(m_protected);
        t.setIndexName("supname");
        t.open();
        QCOMPARE(t.fieldByName("name").asString(), QStringLiteral("alpha Essences"));
    }

    // A table that another process, or a cursor of this one, has open takes
    // new indexes all the same: the table is only read and each index file
    // renamed into place, and the open cursor goes on reading.
    void tableInUseTakesNewIndexes()
    {
        QProcess holder;
        holder.start(qEnvironmentVariable("ZIL_HOLDTABLE"), {m_db, "supplier.db"});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("open"));
        auto t = cursor("SUPPLIER.DB");
        t->setIndexName("supname");
        t->open();
        const QString first = t->fieldByName("name").asString();
        store::createIndex(
            m_db, "supplier.db", "supname", "name", store::IndexOption::CaseInsensitive);
        store::createIndex(m_db, "SUPPLIER.DB", "primary", "id", store::IndexOption::Primary);
        t->next();
        t->first();
        QCOMPARE(t->fieldByName("name").asString(), first);
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished());
    }

    // Each failure says its kind, so that a caller need not read the message.
    void errorsSayTheirKind()
    {
        using Kind = StoreError::Kind;
        // The kind of the error a step raises, -1 when it raises none.
        const auto kindOf = [](const std::function<void()> &step) {
            try {
                step();
            } catch (const StoreError &e) {
                return int(e.kind());
            }
            return -1;
        };
        QTemporaryDir dir;
        QFile text(dir.filePath("supplier.db"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray("name,id\nAcme,1\n").repeated(200));
        text.close();
        QVERIFY(test::execSql(dir.filePath("synon.db"), "CREATE TABLE synon (x TEXT)"));

        const auto openIn = [](const QString &dir, const QString &table) {
            return [dir, table] {
                Table t;
                t.setDatabaseName(dir);
                t.setTableName(table);
                t.open();
            };
        };
        QCOMPARE(kindOf(openIn(dir.path(), "MATERIAL.DB")), int(Kind::Missing));
        QCOMPARE(kindOf(openIn(dir.path(), "SUPPLIER.DB")), int(Kind::Corrupt));
        QCOMPARE(kindOf(openIn(dir.path(), "SYNON.DB")), int(Kind::Corrupt));
        QCOMPARE(kindOf([] { Table().first(); }), int(Kind::Usage));
        QCOMPARE(kindOf([&] {
            auto t = cursor("MATERIAL.DB");
            t->open();
            t->fieldByName("nosuchfield");
        }),
            int(Kind::Missing));
    }

    void indexFilesAreNamedInCreationOrder()
    {
        QVERIFY(store::isIndexFile(m_db + "/material.px"));
        const auto indexes = store::readIndexes(m_db + "/MATERIAL.DB");
        QCOMPARE(indexes.size(), size_t(3));
        QCOMPARE(indexes[0].fileName, QStringLiteral("material.px"));
        QCOMPARE(indexes[1].fileName, QStringLiteral("material.xg0"));
        QCOMPARE(indexes[1].name, QStringLiteral("CASOrder"));
        QCOMPARE(indexes[2].fileName, QStringLiteral("material.xg1"));
        QCOMPARE(indexes[2].fields, QStringList({"sf", "id"}));
        QVERIFY_THROWS_EXCEPTION(StoreError,
            store::createIndex(
                m_db, "material.db", "bad", "nosuchfield", store::IndexOption::CaseInsensitive));
    }

    void brokenFilesFailToOpen_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::newRow("not a table") << "text";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("missing column") << "CREATE TABLE supplier (name TEXT, id INTEGER)";
        QTest::newRow("wrong table") << "CREATE TABLE other (x TEXT)";
        QTest::newRow("trigger")
            << "CREATE TABLE supplier (name TEXT, address TEXT, id INTEGER, city TEXT, country "
               "TEXT, phone TEXT); CREATE TABLE log (x); CREATE TRIGGER t AFTER INSERT ON "
               "supplier BEGIN INSERT INTO log VALUES (1); END";
        QTest::newRow("view") << "CREATE TABLE supplier (name TEXT, address TEXT, id INTEGER, "
                                 "city TEXT, country TEXT, phone TEXT); CREATE VIEW v AS SELECT "
                                 "name FROM supplier";
    }

    void brokenFilesFailToOpen()
    {
        QFETCH(QString, setup);
        QTemporaryDir dir;
        const QString path = dir.filePath("supplier.db");
        if (setup == "text" || setup == "empty") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (setup == "text")
                f.write(QByteArray("name,id\nAcme,1\n").repeated(200));
        } else {
            QVERIFY(test::execSql(path, setup));
        }
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName("SUPPLIER.DB"); // found whatever the case of the file name
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());
        QVERIFY(!t.active());
    }

    void missingOrDamagedIndexFile()
    {
        QTemporaryDir dir;
        for (const char *f : {"MATERIAL.DB", "material.px", "material.xg0", "material.xg1"})
            QVERIFY(QFile::copy(m_db + "/" + f, dir.filePath(f)));
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName("MATERIAL.DB");
        t.setIndexName("NameOrder");
        t.open();
        t.close();

        // A damaged index file counts as missing: the cursor cannot open.
        QFile f(dir.filePath("material.xg1"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(20);
        f.write("XX");
        f.close();
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());
        QFile::remove(dir.filePath("material.xg1"));
        QVERIFY_THROWS_EXCEPTION(StoreError, t.open());

        // A stale index never gives a wrong order: the order comes from the data.
        QVERIFY(QFile::copy(m_db + "/material.xg1", dir.filePath("material.xg1")));
        QVERIFY(test::execSql(
            dir.filePath("MATERIAL.DB"), "UPDATE material SET sf = 'AAA' WHERE id = 5"));
        t.open();
        QCOMPARE(t.fieldByName("name").asString(), QStringLiteral("Vanillin"));
    }

    // An index file whose body is damaged after it was made: the damaged
    // block is found when first read, and the cursor orders the records from
    // the table, never from the damaged bytes.
    void damagedOrderIsMadeFromTheTable()
    {
        QTemporaryDir dir;
        QVERIFY(test::runMakeDb({makeSource(), dir.path()}));
        store::indexDatabase(dir.path());
        QVERIFY(store::indexesComplete(dir.path()));
        const auto names = [&] {
            Table t;
            t.setDatabaseName(dir.path());
            t.setTableName("MATERIAL.DB");
            t.setIndexName("NameOrder");
            t.open();
            QStringList seen;
            for (t.first(); !t.eof(); t.next())
                seen << t.fieldByName("name").asString() + "/" + t.fieldByName("id").asString();
            t.findNearest("VANI");
            seen << t.fieldByName("name").asString();
            return seen;
        };
        // The same records read in one pass, as a scan of every record does.
        const auto scanned = [&] { return scanInOnePass(dir.path(), "name"); };
        const QStringList sound = names();
        QCOMPARE(sound.size(), 7);
        QCOMPARE(sound.last(), QStringLiteral("Vanillin"));
        QCOMPARE(scanned(), sound.mid(0, 6));

        // The last text of the pool, then an id in the middle of the body.
        const QString path = dir.filePath("material.xg1");
        for (const qint64 back : {2, 200}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 at = f.size() - back;
            f.seek(at);
            const char c = char(~f.read(1).at(0));
            f.seek(at);
            f.write(&c, 1);
            f.close();
            QCOMPARE(names(), sound);
            QCOMPARE(scanned(), sound.mid(0, 6));
        }
    }

    // An index file that another process empties, cuts short or writes
    // random bytes into while a cursor reads its order: the cursor goes on
    // giving what the order made from the table gives, lookups, walks, ranges
    // and passes alike, and says the file is damaged.
    void indexFileChangedWhileRead_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<QString>("damage");
        for (int u = 0; u < int(std::size(kOrderUses)); ++u) {
            for (const char *damage : {"emptied", "cut to half", "middle third random"})
                QTest::addRow("%s %s", kOrderUses[u].file, damage) << u << damage;
        }
    }

    void indexFileChangedWhileRead()
    {
        QFETCH(int, use);
        QFETCH(QString, damage);
        const OrderUse &u = kOrderUses[use];
        // What the order gives from its sound file, on a copy of its own:
        // the order that the table's data make.
        static QTemporaryDir soundDir;
        static const bool indexed = [] {
            if (!test::copyDatabase(test::scrollingDatabase(), soundDir.path()))
                return false;
            store::indexDatabase(soundDir.path());
            return store::indexesComplete(soundDir.path());
        }();
        QVERIFY(indexed);
        QList<QVariantList> keys;
        QStringList expected;
        {
            Table sound;
            openOrder(sound, soundDir.path(), u);
            keys = spreadKeys(sound, u);
            expected = readThrough(sound, u, keys, false);
        }

        QTemporaryDir dir;
        QVERIFY(test::copyDatabase(test::scrollingDatabase(), dir.path()));
        store::indexDatabase(dir.path());
        QVERIFY(store::indexesComplete(dir.path()));
        Table t;
        openOrder(t, dir.path(), u);
        readThrough(t, u, keys, true);

        // Changed in place: the same file, which the cursor has open.
        QFile f(dir.filePath(QLatin1String(u.file)));
        const qint64 size = f.size();
        if (damage == QLatin1String("emptied")) {
            QVERIFY(f.resize(0));
        } else if (damage == QLatin1String("cut to half")) {
            QVERIFY(f.resize(size / 2));
        } else {
            QRandomGenerator random {quint32(use)};
            QByteArray noise(size / 3, Qt::Uninitialized);
            for (char &c : noise)
                c = char(random.bounded(256));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(size / 3));
            QCOMPARE(f.write(noise), noise.size());
            f.close();
        }
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("index file %1 of %2 is damaged")
                                   .arg(QRegularExpression::escape(QLatin1String(u.file)),
                                       QLatin1String(u.table))));
        QCOMPARE(readThrough(t, u, keys, false), expected);
    }

    // A pass over a whole column checks each block it reads: a byte damaged
    // anywhere in the body of a large index makes the pass read the order
    // made from the table, never the damaged values.
    void aPassOverTheOrderChecksWhatItReads()
    {
        QTemporaryDir dir;
        QVERIFY(test::copyDatabase(test::scrollingDatabase(), dir.path()));
        store::indexDatabase(dir.path());
        const auto scanned = [&] { return scanInOnePass(dir.path(), "cas"); };
        const QStringList sound = scanned();
        QCOMPARE(sound.size(), test::kScrollingMaterials);

        const QString path = dir.filePath("material.xg1");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray intact = f.readAll();
        f.close();
        // A byte every few blocks past the header, each on its own.
        for (qint64 at = 5000; at < intact.size(); at += 3 * 4096 + 11) {
            QByteArray damaged = intact;
            damaged[at] = char(damaged[at] ^ 0x01);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(damaged);
            f.close();
            QCOMPARE(scanned(), sound);
        }
    }

    // A search in a large index file reads a block per probe and no more,
    // so what a start leaves resident does not grow with the file; the
    // blocks it read stay for the next search, also after passes over the
    // whole file; a block damaged where no search went stays unread until
    // an entry in it is.
    void searchReadsAFewBlocksOfALargeIndex()
    {
        store::IndexKeys keys;
        keys.header.table = QStringLiteral("synon");
        keys.header.name = QStringLiteral("NameOrder");
        keys.header.fields = {QStringLiteral("name")};
        keys.header.textFields = {true};
        keys.texts.resize(1);
        const quint32 n = 60000;
        for (quint32 i = 0; i < n; ++i) {
            keys.rowids.push_back(i + 1);
            keys.texts[0].push_back(
                QStringLiteral("synonym %1").arg(i * 7919 % n, 6, 10, QChar('0')));
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("synon.xg0"));
        const QByteArray bytes = store::buildIndexImage(keys);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();

        const auto image = store::IndexImage::open(path);
        QVERIFY(image);
        const auto lowerBound = [&](const QString &key) {
            quint32 lo = 0, hi = image->count();
            while (lo < hi) {
                const quint32 mid = lo + (hi - lo) / 2;
                if (image->compareText(mid, 0, key) < 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo;
        };
        const quint64 bodyBytes = quint64(bytes.size());
        int probes = 0;
        for (quint32 s = 1; s < n; s <<= 1)
            ++probes;
        const QList<int> sought {0, 12345, 59999};
        for (const int k : sought) {
            const quint64 before = image->checkedBytes();
            const QString key = QStringLiteral("synonym %1").arg(k, 6, 10, QChar('0'));
            const quint32 at = lowerBound(key);
            QCOMPARE(image->copyText(at, 0), key);
            // Each probe reads its reference and its text: a block each at most.
            QVERIFY2(image->checkedBytes() - before <= quint64(2 * (probes + 1)) * 4096,
                qPrintable(QString::number(image->checkedBytes() - before)));
        }
        QVERIFY(image->checkedBytes() < bodyBytes / 10);
        // Passes over every entry read the file past the cache: they keep
        // nothing, and the searches find their blocks where they were.
        const quint64 cached = store::IndexImage::cachedBytes();
        std::vector<quint32> places(n);
        image->ordinals(0, n, places.data());
        QVERIFY(image->verifyAll());
        QCOMPARE(store::IndexImage::cachedBytes(), cached);
        const quint64 checked = image->checkedBytes();
        for (const int k : sought)
            lowerBound(QStringLiteral("synonym %1").arg(k, 6, 10, QChar('0')));
        QCOMPARE(image->checkedBytes(), checked);
        // Every text, those that span two blocks among them, compares and
        // copies unit by unit: equal, below a longer or larger key, above a
        // shorter one.
        for (quint32 p = 0; p < n; ++p) {
            const QString key = QStringLiteral("synonym %1").arg(p, 6, 10, QChar('0'));
            QString larger = key;
            larger.back() = QChar(larger.back().unicode() + 1);
            if (image->compareText(p, 0, key) != 0 || image->compareText(p, 0, key + u'!') >= 0
                || image->compareText(p, 0, larger) >= 0
                || image->compareText(p, 0, key.chopped(1)) <= 0 || image->copyText(p, 0) != key)
                QFAIL(qPrintable(key));
        }

        // A byte flipped in a text no search reached: the searches above
        // still answer, and the entry whose text lies there is refused.
        QByteArray damaged = bytes;
        const qsizetype flip = damaged.size() - 3 * 4096;
        damaged[flip] = char(~damaged[flip]);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        const auto hurt = store::IndexImage::open(path);
        QVERIFY(hurt);
        QCOMPARE(hurt->copyText(0, 0), QStringLiteral("synonym 000000"));
        QCOMPARE(hurt->copyText(n - 1, 0), QStringLiteral("synonym 059999"));
        bool refused = false;
        for (quint32 p = 0; p < n && !refused; ++p) {
            try {
                hurt->compareText(p, 0, u"synonym");
            } catch (const store::IndexDamaged &) {
                refused = true;
            }
        }
        QVERIFY(refused);
        QVERIFY(!hurt->verifyAll());
    }

    // A pass over every entry of a large index file, entry by entry as the
    // lists built at a start read it, leaves the cache of blocks as it was,
    // and what it read stays right when read again; scattered reads, the
    // probes of searches, keep the blocks they read for the next ones.
    void passOverAColumnLeavesTheCacheToSearches()
    {
        store::IndexKeys keys;
        keys.header.table = QStringLiteral("material");
        keys.header.name = QStringLiteral("NameOrder");
        keys.header.fields = {QStringLiteral("sf"), QStringLiteral("id")};
        keys.header.textFields = {true, false};
        keys.texts.resize(2);
        keys.integers.resize(2);
        const qint64 n = 400000;
        for (qint64 i = 0; i < n; ++i) {
            keys.rowids.push_back(i + 1);
            keys.texts[0].push_back(QStringLiteral("material %1").arg(i, 6, 10, QChar('0')));
            keys.integers[1].push_back(i + 1);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("material.xg1"));
        QVERIFY(platform::replaceFileContent(
            dir.path(), QStringLiteral("material.xg1"), store::buildIndexImage(keys)));
        const auto image = store::IndexImage::open(path);
        QVERIFY(image);
        const quint64 before = store::IndexImage::cachedBytes();
        for (quint32 p = 0; p < quint32(n); ++p)
            QCOMPARE(image->integer(p, 1), qint64(p) + 1);
        // The first block of the pass is taken for a probe; no more.
        QVERIFY2(store::IndexImage::cachedBytes() - before <= 4096,
            qPrintable(QString::number(store::IndexImage::cachedBytes() - before)));
        for (quint32 p = 0; p < quint32(n); p += 4999)
            QCOMPARE(image->integer(p, 1), qint64(p) + 1);
        QCOMPARE(image->copyText(quint32(n) - 1, 0), QStringLiteral("material 399999"));

        // Every other block of the column, 1.5 MiB in all, none next to the
        // one read before: each is kept, and read again from the cache.
        const auto probed = store::IndexImage::open(path);
        QVERIFY(probed);
        const quint64 cached = store::IndexImage::cachedBytes();
        for (quint32 p = 0; p < quint32(n); p += 1024)
            QCOMPARE(probed->integer(p, 1), qint64(p) + 1);
        QVERIFY2(store::IndexImage::cachedBytes() - cached >= quint64(n / 1024) * 4096,
            qPrintable(QString::number(store::IndexImage::cachedBytes() - cached)));
        const quint64 checked = probed->checkedBytes();
        for (quint32 p = 0; p < quint32(n); p += 1024)
            QCOMPARE(probed->integer(p, 1), qint64(p) + 1);
        QCOMPARE(probed->checkedBytes(), checked);
    }

    // Names in another case are found from a listing of the directory that
    // is kept while the directory stays as it was, and read again as soon as
    // an entry comes or goes.
    void namesInAnotherCaseFollowTheDirectory()
    {
        QTemporaryDir tmp;
        const QString dir = tmp.path();
        const auto touch = [&](const QString &name) {
            QFile f(dir + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        const auto age = [&](int seconds) {
            // A directory last changed long ago: its listing is kept.
            const QDateTime when = QDateTime::currentDateTime().addSecs(-seconds);
            const struct timeval times[2]
                = {{time_t(when.toSecsSinceEpoch()), 0}, {time_t(when.toSecsSinceEpoch()), 0}};
            QCOMPARE(::utimes(QFile::encodeName(dir).constData(), times), 0);
        };
        for (int i = 0; i < 2000; ++i)
            touch(QStringLiteral("other%1.txt").arg(i));
        touch("Notes.TXT");
        age(3600);
        QCOMPARE(store::findFileNoCase(dir, "notes.txt"), dir + "/Notes.TXT");
        QCOMPARE(store::findFileNoCase(dir, "NOTES.TXT"), dir + "/Notes.TXT");

        touch("Prices.XLS");
        QCOMPARE(store::findFileNoCase(dir, "prices.xls"), dir + "/Prices.XLS");
        age(7200);
        QVERIFY(QFile::remove(dir + "/Notes.TXT"));
        age(5400);
        QCOMPARE(store::findFileNoCase(dir, "notes.txt"), QString());
        QCOMPARE(store::findFileNoCase(dir, "prices.xls"), dir + "/Prices.XLS");
        QCOMPARE(store::findFileNoCase(dir, "missing.db"), QString());
    }

    // Reading a table kept in WAL mode makes no -wal, -shm or -journal file
    // in the database directory, nor does a refresh after it changed.
    void walTableLeavesNoSideFiles()
    {
        QTemporaryDir tmp;
        const QDir dir(tmp.path());
        for (const QString t : {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"})
            QVERIFY(QFile::copy(m_db + "/" + t, dir.filePath(t)));
        for (const QString t : {"MATERIAL.DB", "SUPPLIER.DB"})
            QVERIFY(test::execSql(dir.filePath(t), "PRAGMA journal_mode = WAL"));
        store::indexDatabase(tmp.path());

        Table materials, suppliers;
        materials.setDatabaseName(tmp.path());
        materials.setTableName("MATERIAL.DB");
        suppliers.setDatabaseName(tmp.path());
        suppliers.setTableName("SUPPLIER.DB");
        suppliers.setIndexName("supname");
        materials.open();
        suppliers.open();
        QVERIFY(materials.findKey({3}));
        QVERIFY(!materials.fieldByName("name").asString().isEmpty());
        for (suppliers.first(); !suppliers.eof(); suppliers.next())
            suppliers.fieldByName("city").asString();
        QVERIFY(test::execSql(dir.filePath("SUPPLIER.DB"),
            "UPDATE supplier SET name = 'Aardvark Supply' WHERE id = 4"));
        suppliers.refresh();
        suppliers.first();
        QCOMPARE(suppliers.fieldByName("name").asString(), QStringLiteral("Aardvark Supply"));

        QStringList side;
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
            if (name.endsWith("-wal") || name.endsWith("-shm") || name.endsWith("-journal"))
                side << name;
        }
        QCOMPARE(side, QStringList());
    }

    // A table another program writes into while a cursor reads it: its
    // records read as nothing, an index switch keeps the cursor on its record
    // (found in the index files), and a refresh opens the file anew.
    void tableWrittenIntoReadsAsNothingUntilRefreshed()
    {
        QTemporaryDir tmp;
        for (const QString t : {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"})
            QVERIFY(QFile::copy(m_db + "/" + t, tmp.filePath(t)));
        store::indexDatabase(tmp.path());
        Table materials;
        materials.setDatabaseName(tmp.path());
        materials.setTableName("MATERIAL.DB");
        materials.open();
        QVERIFY(materials.findKey({3}));
        const QString name = materials.fieldByName("name").asString();
        QVERIFY(!name.isEmpty());

        QVERIFY(test::execSql(
            tmp.filePath("MATERIAL.DB"), "UPDATE material SET cas = 'x' WHERE id = 1"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("MATERIAL.DB was written into"));
        // Records whose pages are held read as before until the file is
        // looked at, as before each input.
        QVERIFY(store::databaseChanged(tmp.path()));
        materials.next();
        materials.prior();
        QCOMPARE(materials.fieldByName("name").asString(), QString());
        materials.setIndexName("NameOrder");
        QCOMPARE(materials.fieldByName("id").asInteger(), 3);
        materials.refresh();
        QCOMPARE(materials.fieldByName("id").asInteger(), 3);
        QCOMPARE(materials.fieldByName("name").asString(), name);
    }

    // A newer database moved in table by table is taken up only when all
    // four tables carry its generation; until then the old files are read.
    void newGenerationIsTakenUpWhole()
    {
        QTemporaryDir live, next;
        const QStringList tables {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"};
        const auto stamp = [&](const QString &dir, int generation) {
            for (const QString &t : tables)
                QVERIFY(test::execSql(dir + "/" + t,
                    QStringLiteral("PRAGMA application_id = 1514753073; PRAGMA user_version = %1")
                        .arg(generation)));
        };
        for (const QString &t : tables) {
            QVERIFY(QFile::copy(m_db + "/" + t, live.filePath(t)));
            QVERIFY(QFile::copy(m_db + "/" + t, next.filePath(t)));
        }
        QVERIFY(test::execSql(next.filePath("SYNON.DB"), "UPDATE synon SET name = 'Renamed'"));
        QVERIFY(test::execSql(next.filePath("SUPPLIER.DB"), "UPDATE supplier SET city = 'Port'"));
        stamp(live.path(), 1);
        stamp(next.path(), 2);
        store::indexDatabase(live.path());

        Table synonyms, suppliers;
        for (Table *t : {&synonyms, &suppliers})
            t->setDatabaseName(live.path());
        synonyms.setTableName("SYNON.DB");
        suppliers.setTableName("SUPPLIER.DB");
        synonyms.open();
        suppliers.open();
        const QString firstSynonym = synonyms.fieldByName("name").asString();
        QVERIFY(!firstSynonym.isEmpty() && firstSynonym != QLatin1String("Renamed"));
        QVERIFY(store::openTablesAgree(live.path()));
        int told = 0;
        store::Database database;
        database.setDriverName(store::Database::standardDriver());
        database.params() << "Path=" + live.path();
        QObject::connect(&database, &store::Database::changedByAnotherProgram, [&] { ++told; });
        const auto moveIn = [&](const QString &t) {
            QVERIFY(std::rename(QFile::encodeName(next.filePath(t)).constData(),
                        QFile::encodeName(live.filePath(t)).constData())
                == 0);
        };
        using Outcome = store::NewDatabase::Outcome;

        moveIn("SYNON.DB");
        synonyms.refresh();
        synonyms.first();
        QCOMPARE(synonyms.fieldByName("name").asString(), firstSynonym);
        QCOMPARE(told, 1);
        synonyms.refresh();
        QCOMPARE(told, 1);
        // Tables of two databases standing still are an update under way.
        QCOMPARE(store::awaitNewDatabase(live.path(), 300).outcome, Outcome::Changing);
        synonyms.refresh();
        synonyms.first();
        QCOMPARE(synonyms.fieldByName("name").asString(), firstSynonym);

        for (const QString t : {"MATSUPP.DB", "SUPPLIER.DB", "MATERIAL.DB"})
            moveIn(t);
        suppliers.refresh();
        suppliers.first();
        QCOMPARE(suppliers.fieldByName("city").asString(), QStringLiteral("Town"));
        QCOMPARE(told, 2);
        QCOMPARE(store::awaitNewDatabase(live.path(), 3000).outcome, Outcome::Ready);
        for (Table *t : {&synonyms, &suppliers}) {
            t->refresh();
            t->first();
        }
        QCOMPARE(synonyms.fieldByName("name").asString(), QStringLiteral("Renamed"));
        QCOMPARE(suppliers.fieldByName("city").asString(), QStringLiteral("Port"));
        QCOMPARE(store::awaitNewDatabase(live.path(), 0).outcome, Outcome::InUse);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
