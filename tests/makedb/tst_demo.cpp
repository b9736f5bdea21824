// The demo sources in demo/ build into a database that holds every source row
// unchanged.

#include "makedbtest.h"
#include "tools/makedb/cas.h"
#include "tools/makedb/sortkey.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;
using namespace zil::makedbtest;

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void materialsInSortKeyOrderWithValidCas();
    void everyRowArrivesUnchanged();

private:
    // The records of a demo file, each as the values of the given columns
    // joined by '|'; material keys are replaced by the ids the database gave.
    QStringList source(const char *file, const QStringList &columns) const;
    // The rows of a table the same way.
    QStringList stored(const char *file, const QStringList &columns) const;

    QTemporaryDir m_tmp;
    QString m_demo, m_db;
    QHash<QString, QString> m_idOfKey;
};

QStringList TestDemo::source(const char *file, const QStringList &columns) const
{
    const QList<QStringList> records = parseCsvFile(QDir(m_demo).filePath(QLatin1String(file)));
    QStringList header = records.value(0);
    for (QString &h : header)
        h = h.trimmed().toLower();
    QStringList out;
    for (int r = 1; r < records.size(); ++r) {
        QStringList values;
        for (const QString &c : columns) {
            const QString v
                = records[r].value(int(header.indexOf(c == "materialid" ? "material" : c)));
            values << (c == QLatin1String("materialid") ? m_idOfKey.value(v.trimmed(), "?") : v);
        }
        out << values.join('|');
    }
    out.sort();
    return out;
}

QStringList TestDemo::stored(const char *file, const QStringList &columns) const
{
    const Table t = readTable(m_db, QString::fromLatin1(file));
    QStringList out;
    for (int r = 0; r < t.rows.size(); ++r) {
        QStringList values;
        for (const QString &c : columns)
            values << t.value(r, c.toLatin1().constData()).toString();
        out << values.join('|');
    }
    out.sort();
    return out;
}

void TestDemo::initTestCase()
{
    m_demo = QDir(qEnvironmentVariable("ZIL_SOURCE_DIR")).filePath(QStringLiteral("demo"));
    for (const char *f : {"materials.csv", "synonyms.csv", "suppliers.csv", "links.csv"}) {
        if (!QFile::exists(QDir(m_demo).filePath(QLatin1String(f))))
            QSKIP("the demo sources are not there");
    }
    QVERIFY(m_tmp.isValid());
    m_db = m_tmp.filePath(QStringLiteral("demo-db"));
    const Run run = runMakeDb({m_demo, m_db});
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // not one row reported

    // Source keys map to ids through the rest of the row, which must be
    // unique for that.
    const QStringList fields {
        "name", "cas", "fema", "ce", "occur", "flavor", "applic", "liter", "notes"};
    const QStringList rows = stored("MATERIAL.DB", QStringList {"id"} + fields);
    QHash<QString, QString> idOfContent;
    for (const QString &row : rows)
        idOfContent.insert(row.section('|', 1), row.section('|', 0, 0));
    for (const QString &row : source("materials.csv", QStringList {"key"} + fields)) {
        const QString content = row.section('|', 1);
        QVERIFY2(idOfContent.contains(content), qPrintable(row.left(80)));
        m_idOfKey.insert(row.section('|', 0, 0).trimmed(), idOfContent.take(content));
    }
    QCOMPARE(m_idOfKey.size(), rows.size());
}

void TestDemo::materialsInSortKeyOrderWithValidCas()
{
    const Table m = readTable(m_db, QStringLiteral("MATERIAL.DB"));
    QVERIFY(!m.rows.isEmpty());
    for (int r = 0; r < m.rows.size(); ++r) {
        QCOMPARE(m.value(r, "id").toLongLong(), qlonglong(r + 1));
        const QString sf = m.value(r, "sf").toString();
        QCOMPARE(sf, makedb::sortKey(m.value(r, "name").toString()));
        if (r > 0) {
            const QString before = m.value(r - 1, "sf").toString();
            QVERIFY2(QString::compare(before, sf, Qt::CaseInsensitive) <= 0, qPrintable(sf));
        }
        const QString cas = m.value(r, "cas").toString();
        QVERIFY2(
            cas.isEmpty() || makedb::checkCas(cas) == makedb::CasStatus::Valid, qPrintable(cas));
    }
}

void TestDemo::everyRowArrivesUnchanged()
{
    const QStringList suppliers {"id", "name", "address", "city", "country", "phone"};
    QCOMPARE(stored("SUPPLIER.DB", suppliers), source("suppliers.csv", suppliers));
    QCOMPARE(stored("MATSUPP.DB", {"materialid", "supplierid", "price", "comment"}),
        source("links.csv", {"materialid", "supplier", "price", "comment"}));

    // Synonyms in (materialid, pos) order: source order within each material.
    const Table s = readTable(m_db, QStringLiteral("SYNON.DB"));
    QStringList inOrder;
    for (int r = 0; r < s.rows.size(); ++r)
        inOrder << s.value(r, "materialid").toString() + '|' + s.value(r, "name").toString();
    QStringList expected;
    const QList<QStringList> records = parseCsvFile(QDir(m_demo).filePath("synonyms.csv"));
    const int material = int(records.value(0).indexOf("material"));
    const int name = int(records.value(0).indexOf("name"));
    for (int r = 1; r < records.size(); ++r)
        expected << m_idOfKey.value(records[r][material].trimmed()) + '|' + records[r][name];
    std::stable_sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        return a.section('|', 0, 0).toInt() < b.section('|', 0, 0).toInt();
    });
    QCOMPARE(inOrder, expected);
}

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
