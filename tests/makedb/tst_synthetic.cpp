// zil-makedb --synthetic: the same database for the same size and seed, and a
// database that keeps every rule a real one keeps.

#include "makedbtest.h"
#include "store/schema.h"
#include "tools/makedb/cas.h"
#include "tools/makedb/sortkey.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;
using namespace zil::makedbtest;

class TestSynthetic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameSizeAndSeedGiveTheSameDatabase();
    void rowsKeepTheRulesOfTheSchema();
    void materialsAreNumberedInNameOrder();
    void synonymsAndLinksReferToExistingRows();
    void contentsLookLikeARealDatabase();

private:
    static constexpr int n = 3000;
    QTemporaryDir m_tmp;
    QString m_db;
    Table m_materials, m_synonyms, m_suppliers, m_links;
};

void TestSynthetic::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_db = m_tmp.filePath(QStringLiteral("db"));
    const Run run = runMakeDb({QStringLiteral("--synthetic"), QString::number(n), m_db});
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.err));
    m_materials = readTable(m_db, QStringLiteral("MATERIAL.DB"));
    m_synonyms = readTable(m_db, QStringLiteral("SYNON.DB"));
    m_suppliers = readTable(m_db, QStringLiteral("SUPPLIER.DB"));
    m_links = readTable(m_db, QStringLiteral("MATSUPP.DB"));
    for (const Table *t : {&m_materials, &m_synonyms, &m_suppliers, &m_links})
        QVERIFY2(t->error.isEmpty(), qPrintable(t->error));
}

void TestSynthetic::sameSizeAndSeedGiveTheSameDatabase()
{
    const QString again = m_tmp.filePath(QStringLiteral("again"));
    QCOMPARE(runMakeDb({QStringLiteral("--synthetic"), QString::number(n), again}).exitCode, 0);
    const QString dump = dumpDatabase(m_db);
    QCOMPARE(dumpDatabase(again), dump);
    // Byte for byte, but for the generation (user_version, at 60 in the
    // header), which no two databases share.
    QSet<QByteArray> generations;
    for (const schema::TableDef &def : schema::tables()) {
        QByteArray first = readFile(QDir(m_db).filePath(def.fileName));
        QByteArray second = readFile(QDir(again).filePath(def.fileName));
        generations << first.mid(60, 4) << second.mid(60, 4);
        QCOMPARE(second.replace(60, 4, first.mid(60, 4)), first);
    }
    QCOMPARE(generations.size(), 2);
    // Another seed gives another database; protection changes only the files.
    const QString seeded = m_tmp.filePath(QStringLiteral("seeded"));
    QCOMPARE(runMakeDb({QStringLiteral("--synthetic"), QString::number(n), QStringLiteral("--seed"),
                           QStringLiteral("7"), seeded})
                 .exitCode,
        0);
    QVERIFY(dumpDatabase(seeded) != dump);
    const QString locked = m_tmp.filePath(QStringLiteral("protected"));
    QCOMPARE(runMakeDb({QStringLiteral("--protect"), QStringLiteral("--synthetic"),
                           QString::number(n), locked})
                 .exitCode,
        0);
    QVERIFY(!readTable(locked, QStringLiteral("MATERIAL.DB")).error.isEmpty());
    QCOMPARE(dumpDatabase(locked, schema::programPassword()), dump);
}

void TestSynthetic::rowsKeepTheRulesOfTheSchema()
{
    const Table *tables[] = {&m_suppliers, &m_synonyms, &m_links, &m_materials};
    for (size_t i = 0; i < schema::tables().size(); ++i) {
        const schema::TableDef &def = schema::tables()[i];
        QCOMPARE(tables[i]->columns.size(), int(def.fields.size()));
        for (const QVariantList &row : tables[i]->rows) {
            for (size_t f = 0; f < def.fields.size(); ++f) {
                const schema::FieldDef &field = def.fields[f];
                const QVariant &v = row[int(f)];
                const bool integer = field.kind == schema::FieldKind::Integer;
                QCOMPARE(v.typeId(), integer ? QMetaType::LongLong : QMetaType::QString);
                if (field.kind == schema::FieldKind::Text)
                    QVERIFY2(
                        makedb::charCount(v.toString()) <= field.size, qPrintable(v.toString()));
            }
        }
    }
}

void TestSynthetic::materialsAreNumberedInNameOrder()
{
    QCOMPARE(m_materials.rows.size(), n);
    QSet<QString> names;
    for (int r = 0; r < n; ++r) {
        QCOMPARE(m_materials.value(r, "id").toLongLong(), qlonglong(r + 1));
        const QString name = m_materials.value(r, "name").toString();
        const QString sf = m_materials.value(r, "sf").toString();
        QVERIFY2(!name.trimmed().isEmpty() && !names.contains(name), qPrintable(name));
        names.insert(name);
        QCOMPARE(sf, makedb::sortKey(name));
        if (r > 0) {
            const QString before = m_materials.value(r - 1, "sf").toString();
            QVERIFY2(QString::compare(before, sf, Qt::CaseInsensitive) <= 0, qPrintable(sf));
        }
        const QString cas = m_materials.value(r, "cas").toString();
        QVERIFY2(
            cas.isEmpty() || makedb::checkCas(cas) == makedb::CasStatus::Valid, qPrintable(cas));
    }
}

void TestSynthetic::synonymsAndLinksReferToExistingRows()
{
    // Synonyms in (materialid, pos) order with positions 1, 2, 3 ... <= 5.
    qlonglong material = 0, pos = 0;
    for (int r = 0; r < m_synonyms.rows.size(); ++r) {
        const qlonglong m = m_synonyms.value(r, "materialid").toLongLong();
        const qlonglong p = m_synonyms.value(r, "pos").toLongLong();
        QVERIFY(m >= 1 && m <= n && m >= material);
        QCOMPARE(p, m == material ? pos + 1 : 1);
        QVERIFY(p <= 5);
        material = m;
        pos = p;
        QCOMPARE(m_synonyms.value(r, "sf").toString(),
            makedb::sortKey(m_synonyms.value(r, "name").toString()));
    }

    QCOMPARE(m_suppliers.rows.size(), std::max(25, n / 40));
    for (int r = 0; r < m_suppliers.rows.size(); ++r) {
        QCOMPARE(m_suppliers.value(r, "id").toLongLong(), qlonglong(r + 1));
        for (const char *f : {"name", "address", "city", "country", "phone"})
            QVERIFY(!m_suppliers.value(r, f).toString().isEmpty());
    }

    // Links in strictly ascending (materialid, supplierid) order: no pair twice.
    QPair<qlonglong, qlonglong> previous(0, 0);
    QSet<qlonglong> linked;
    QHash<qlonglong, int> perMaterial;
    for (int r = 0; r < m_links.rows.size(); ++r) {
        const QPair<qlonglong, qlonglong> pair(m_links.value(r, "materialid").toLongLong(),
            m_links.value(r, "supplierid").toLongLong());
        QVERIFY(pair.first >= 1 && pair.first <= n);
        QVERIFY(pair.second >= 1 && pair.second <= m_suppliers.rows.size());
        QVERIFY(previous < pair);
        previous = pair;
        linked.insert(pair.second);
        QVERIFY(++perMaterial[pair.first] <= 5);
        QVERIFY(!m_links.value(r, "price").toString().isEmpty());
    }
    // A few suppliers offer nothing.
    QVERIFY(linked.size() < m_suppliers.rows.size());
    QVERIFY(linked.size() > m_suppliers.rows.size() * 3 / 4);
}

void TestSynthetic::contentsLookLikeARealDatabase()
{
    int fema = 0, ce = 0, noCas = 0, notes = 0, longLiter = 0, prefixed = 0;
    qint64 length[4] = {};
    int shortest[4] = {INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    const char *memos[4] = {"occur", "flavor", "applic", "liter"};
    for (int r = 0; r < n; ++r) {
        fema += !m_materials.value(r, "fema").toString().isEmpty();
        ce += !m_materials.value(r, "ce").toString().isEmpty();
        noCas += m_materials.value(r, "cas").toString().isEmpty();
        notes += !m_materials.value(r, "notes").toString().isEmpty();
        for (int i = 0; i < 4; ++i) {
            const int size = int(m_materials.value(r, memos[i]).toString().size());
            length[i] += size;
            shortest[i] = std::min(shortest[i], size);
        }
        longLiter += m_materials.value(r, "liter").toString().size() >= 5000;
        const QString name = m_materials.value(r, "name").toString();
        prefixed += makedb::sortKey(name) != name.toUpper();
    }
    QVERIFY2(fema > n * 35 / 100 && fema < n * 65 / 100, qPrintable(QString::number(fema)));
    QVERIFY2(ce > n * 10 / 100 && ce < n * 30 / 100, qPrintable(QString::number(ce)));
    QVERIFY(noCas > 0 && noCas < n * 15 / 100);
    QVERIFY(notes > 0 && notes < n * 30 / 100);
    QVERIFY(prefixed > n / 20);
    const int low[4] = {50, 30, 80, 100}, averageLow[4] = {100, 50, 150, 500},
              averageHigh[4] = {400, 300, 600, 2500};
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(shortest[i] >= low[i], memos[i]);
        QVERIFY2(length[i] / n >= averageLow[i] && length[i] / n <= averageHigh[i], memos[i]);
    }
    QVERIFY(longLiter > 0 && longLiter < n / 10);
    const double synonyms = double(m_synonyms.rows.size()) / n;
    const double links = double(m_links.rows.size()) / n;
    QVERIFY2(synonyms > 1.5 && synonyms < 2.7, qPrintable(QString::number(synonyms)));
    QVERIFY2(links > 2.0 && links < 3.0, qPrintable(QString::number(links)));
}

QTEST_GUILESS_MAIN(TestSynthetic)
#include "tst_synthetic.moc"
