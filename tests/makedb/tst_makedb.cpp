// zil-makedb on CSV sources: numbering, remapping, the stored form of the
// tables, row errors, quoting, protection and replacing an existing database.

#include "makedbtest.h"
#include "store/fileformat.h"
#include "store/indexfile.h"
#include "store/schema.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace zil;
using namespace zil::makedbtest;

namespace {

const QByteArray materialsHeader = "key,name,cas,fema,ce,occur,flavor,applic,liter,notes\n";

// Keys in the sources deliberately not in name order.
Sources goodSources()
{
    return {{"materials.csv",
                materialsHeader + "30,Vanillin,121-33-5,3107,,Vanilla beans.,Sweet.,Everywhere.,,\n"
                    + "10,2-Acetylpyrazine,22047-25-2,3126,,Roasted.,Nutty.,Snacks.,,\n"
                    + "20,cis-3-Hexenol,928-96-1,2563,,Leaves.,Green.,Fruit.,,\n"},
        {"synonyms.csv",
            "material,name\n30,Vanillic "
            "aldehyde\n10,Acetylpyrazine\n30,4-Hydroxy-3-methoxybenzaldehyde\n"},
        {"suppliers.csv",
            "id,name,address,city,country,phone\n7,Beta Oils,3 Road,Town,Land,1\n"
            "3,Alpha Aromatics,1 Road,Town,Land,2\n"},
        {"links.csv",
            "material,supplier,price,comment\n30,7,EUR 10/kg,\n30,3,,ex stock\n20,3,,\n"}};
}

QVariantList row(std::initializer_list<QVariant> values)
{
    return QVariantList(values);
}

QVariant n(qlonglong v)
{
    return QVariant(v);
}

QVariant s(const char *v)
{
    return QVariant(QString::fromUtf8(v));
}

QStringList column(const Table &t, const char *name)
{
    QStringList values;
    for (int r = 0; r < t.rows.size(); ++r)
        values << t.value(r, name).toString();
    return values;
}

} // namespace

class TestMakeDb : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void goodSourceBecomesTables();
    void equalSortKeysOrderedByNameThenKey();
    void fieldsRoundTripExactly();
    void rowErrors_data();
    void rowErrors();
    void errorLinesArePhysicalLines();
    void sourceErrorsAreFatal_data();
    void sourceErrorsAreFatal();
    void sourcesThatAreNoFilesAreRefused_data();
    void sourcesThatAreNoFilesAreRefused();
    void sourcesWithoutMaterialsAreRefused();
    void keepGoingWritesTheGoodRows();
    void existingDatabaseReplacedOnlyOnSuccess();
    void protectEncryptsEveryTable();
    void usageErrors_data();
    void usageErrors();

private:
    QString src() const { return m_tmp->filePath(QStringLiteral("src")); }
    QString out() const { return m_tmp->filePath(QStringLiteral("out")); }
    Run make(const Sources &sources, const QStringList &options = {})
    {
        writeSources(src(), sources);
        return runMakeDb(options + QStringList {src(), out()});
    }

    std::unique_ptr<QTemporaryDir> m_tmp;
};

void TestMakeDb::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestMakeDb::goodSourceBecomesTables()
{
    const Run run = make(goodSources());
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.contains(QStringLiteral("3 materials, 3 synonyms, 2 suppliers, 3 links")));

    // Ids in sort key order: ACETYLPYRAZINE (key 10), HEXENOL (20), VANILLIN (30).
    const Table m = readTable(out(), QStringLiteral("MATERIAL.DB"));
    QCOMPARE(m.rows.size(), 3);
    QCOMPARE(m.rows[0],
        row({s("2-Acetylpyrazine"), n(1), s("22047-25-2"), s("3126"), s(""), s("ACETYLPYRAZINE"),
            s("Roasted."), s("Nutty."), s("Snacks."), s(""), s("")}));
    QCOMPARE(column(m, "sf"), (QStringList {"ACETYLPYRAZINE", "HEXENOL", "VANILLIN"}));
    QCOMPARE(column(m, "id"), (QStringList {"1", "2", "3"}));
    // Synonyms by material id and source order, suppliers by id, links by
    // material id and supplier id.
    QCOMPARE(readTable(out(), QStringLiteral("SYNON.DB")).rows,
        (QList<QVariantList> {row({s("Acetylpyrazine"), n(1), n(1), s("ACETYLPYRAZINE")}),
            row({s("Vanillic aldehyde"), n(3), n(1), s("VANILLIC ALDEHYDE")}),
            row({s("4-Hydroxy-3-methoxybenzaldehyde"), n(3), n(2),
                s("HYDROXY-3-METHOXYBENZALDEHYDE")})}));
    QCOMPARE(
        column(readTable(out(), QStringLiteral("SUPPLIER.DB")), "id"), (QStringList {"3", "7"}));
    QCOMPARE(readTable(out(), QStringLiteral("MATSUPP.DB")).rows,
        (QList<QVariantList> {row({n(2), n(3), s(""), s("")}),
            row({n(3), n(3), s(""), s("ex stock")}), row({n(3), n(7), s("EUR 10/kg"), s("")})}));

    // The rows above compare types too: integers as INTEGER, every text, empty
    // ones too, as TEXT. Four plain SQLite files in rollback journal mode,
    // each holding only its table, beside their index files and the lock
    // that keeps index rebuilders apart.
    QStringList names
        = QDir(out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    QCOMPARE(names,
        (QStringList {"MATERIAL.DB", "MATSUPP.DB", "SUPPLIER.DB", "SYNON.DB", "material.px",
            "material.xfd", "material.xg0", "material.xg1", "matsupp.px", "matsupp.xg0",
            "supplier.px", "supplier.xg0", "synon.px", "synon.xg0", "zilindex.lck"}));
    QVERIFY(store::indexesComplete(out()));
    // They stay current in a copy that keeps modification times to the second
    // only, as tar and a Debian package keep them.
    QTemporaryDir copy;
    QCOMPARE(QProcess::execute("sh",
                 {"-c", "tar -C \"$1\" --format=gnu -cf - . | tar -C \"$2\" -xf -", "sh", out(),
                     copy.path()}),
        0);
    QVERIFY(store::indexesComplete(copy.path()));
    for (const schema::TableDef &def : schema::tables()) {
        const Table t = readTable(out(), def.fileName);
        QCOMPARE(t.objects,
            QStringList {
                QStringLiteral("table %1 %2").arg(def.tableName(), schema::createTableSql(def))});
        const QByteArray head = readFile(QDir(out()).filePath(def.fileName)).left(20);
        QVERIFY(head.startsWith(QByteArray("SQLite format 3\0", 16)));
        QCOMPARE(int(head[18]), 1);
    }
}

void TestMakeDb::equalSortKeysOrderedByNameThenKey()
{
    Sources in = goodSources();
    in["materials.csv"] = materialsHeader
        + "5,l-Carvone,,,,,,,,\n6,Carvone,,,,,,,,\n4,d-Carvone,,,,,,,,\n9,Carvone,,,,,,,,\n"
          "8,carvone,,,,,,,,\n3,Caraway oil,,,,,,,,\n";
    in["synonyms.csv"] = "material,name\n";
    in["links.csv"] = "material,supplier\n9,3\n";
    QCOMPARE(make(in).exitCode, 0);
    // CARVONE for all but the first: by name case ignored, then by name, then
    // the two "Carvone" by source key, so key 9 gets id 3.
    QCOMPARE(column(readTable(out(), QStringLiteral("MATERIAL.DB")), "name"),
        (QStringList {"Caraway oil", "Carvone", "Carvone", "carvone", "d-Carvone", "l-Carvone"}));
    QCOMPARE(readTable(out(), QStringLiteral("MATSUPP.DB")).value(0, "materialid"), n(3));
}

void TestMakeDb::fieldsRoundTripExactly()
{
    const QString quotes = QStringLiteral("So-called \"vanilla\", \"\" doubled");
    const QString unicode
        = QStringLiteral("Weihrauch \u00d6libanum \u2013 \u03b1 \u00b0C \U0001F338");
    Sources in;
    // A byte order mark, CRLF record ends, columns in any order and case,
    // quoted commas, quotes and line breaks (LF and CRLF), kept spaces.
    in["materials.csv"] = "\xEF\xBB\xBFNotes,Flavor,KEY,name,occur,liter\r\n"
                          "  padded  ,\"Sweet, creamy\",1,"
        + unicode.toUtf8()
        + ",\"First.\n\nSecond.\n\",\"Kept\r\nas written\"\r\n"
          "\"x\",,2,\"So-called \"\"vanilla\"\", \"\"\"\" doubled\",,\r\n";
    in["synonyms.csv"] = "name,material\r\n spaced ,2\r\n";
    in["suppliers.csv"] = "phone,id,name,address\r\n,7,\"Beta, Oils\",\"Line one\nLine two\"\r\n";
    in["links.csv"] = "supplier,material,comment\r\n7,1,\"\"\"best\"\"\"\r\n";
    const Run run = make(in);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const Table m = readTable(out(), QStringLiteral("MATERIAL.DB"));
    QCOMPARE(column(m, "name"), (QStringList {quotes, unicode}));
    QCOMPARE(m.value(1, "notes").toString(), QStringLiteral("  padded  "));
    QCOMPARE(m.value(1, "flavor").toString(), QStringLiteral("Sweet, creamy"));
    QCOMPARE(m.value(1, "occur").toString(), QStringLiteral("First.\n\nSecond.\n"));
    QCOMPARE(m.value(1, "liter").toString(), QStringLiteral("Kept\r\nas written"));
    QCOMPARE(m.value(1, "cas"), s("")); // absent columns are empty, not NULL
    const Table syn = readTable(out(), QStringLiteral("SYNON.DB"));
    QCOMPARE(syn.rows, (QList<QVariantList> {row({s(" spaced "), n(1), n(1), s("SPACED")})}));
    const Table sup = readTable(out(), QStringLiteral("SUPPLIER.DB"));
    QCOMPARE(sup.rows,
        (QList<QVariantList> {
            row({s("Beta, Oils"), s("Line one\nLine two"), n(7), s(""), s(""), s("")})}));
    QCOMPARE(readTable(out(), QStringLiteral("MATSUPP.DB")).value(0, "comment"), s("\"best\""));
}

void TestMakeDb::rowErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<QString>("message");
    static const char nul[] = "51,Foo,,,,x\0y,,,,\n";
    const QList<std::tuple<const char *, const char *, QByteArray, const char *>> cases {
        {"missing name", "materials.csv:5", "40,  ,,,,,,,,\n", "missing name"},
        {"duplicate key", "materials.csv:5", "10,Other,,,,,,,,\n",
            "duplicate key 10 (first on line 3)"},
        {"non-integer key", "materials.csv:5", "4.0,Foo,,,,,,,,\n",
            "key '4.0' is not a positive integer"},
        {"negative key", "materials.csv:5", "-4,Foo,,,,,,,,\n", "key '-4' is not"},
        {"key out of range", "materials.csv:5", "99999999999,Foo,,,,,,,,\n",
            "key 99999999999 is too large (at most 2147483647)"},
        {"CAS check digit", "materials.csv:5", "41,Foo,121-33-6,,,,,,,\n",
            "CAS 121-33-6: wrong check digit, expected 5"},
        {"CAS form", "materials.csv:5", "42,Foo,12-3-4,,,,,,,\n",
            "CAS '12-3-4' is not of the form"},
        {"long name", "materials.csv:5", "43," + QByteArray(75, 'a') + ",,,,,,,,\n",
            "name is 75 characters long, at most 74 fit"},
        {"field count", "materials.csv:5", "45,Foo,,,\n", "5 fields where the header has 10"},
        {"stray quote", "materials.csv:5", "46,Fo\"o,,,,,,,,\n", "malformed CSV"},
        {"unclosed quote", "materials.csv:5", "49,\"Open,,,,,,,,,\n",
            "malformed CSV: quoted field not closed"},
        {"invalid UTF-8", "materials.csv:5", "50,Caf\xe9,,,,,,,,\n", "name: not valid UTF-8"},
        {"NUL", "materials.csv:5", QByteArray(nul, sizeof nul - 1), "occur: contains a NUL"},
        {"synonym of unknown material", "synonyms.csv:5", "99,Ghost\n", "unknown material 99"},
        {"synonym without name", "synonyms.csv:5", "30,\n", "missing name"},
        {"duplicate supplier", "suppliers.csv:4", "7,Gamma,,,,\n",
            "duplicate supplier id 7 (first on line 2)"},
        {"supplier id", "suppliers.csv:4", "z,Gamma,,,,\n", "id 'z' is not a positive integer"},
        {"long supplier name", "suppliers.csv:4", "8," + QByteArray(31, 'c') + ",,,,\n",
            "name is 31 characters long, at most 30 fit"},
        {"link to unknown material", "links.csv:5", "99,3,,\n", "unknown material 99"},
        {"link to unknown supplier", "links.csv:5", "30,8,,\n", "unknown supplier 8"},
        {"duplicate link", "links.csv:5", "30,7,,\n",
            "duplicate link of material 30 to supplier 7 (first on line 2)"},
        {"long price", "links.csv:5", "20,7,EUR 1234567.00,\n", "price is 14 characters long"}};
    for (const auto &[tag, where, appended, message] : cases)
        QTest::newRow(tag) << QString::fromLatin1(where) << appended << QString::fromUtf8(message);
}

void TestMakeDb::rowErrors()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, appended);
    QFETCH(QString, message);
    Sources in = goodSources();
    in[file.section(':', 0, 0)] += appended;
    const Run run = make(in);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    const QString where = QDir(src()).filePath(file) + QStringLiteral(": ");
    QVERIFY2(run.err.contains(where + message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("1 bad rows; nothing written")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out()));
}

void TestMakeDb::errorLinesArePhysicalLines()
{
    // A record over three lines, a blank line, a bad record on line 9, a
    // malformed line 10, after which reading goes on; then a malformed field
    // and a first field over two lines, reported where their records start.
    Sources in = goodSources();
    in["materials.csv"]
        += "47,\"Multi\nline\n name\",,,,,,,,\n\n48,,,,,,,,,\n"
           "49,Bad\"quote,,,,,,,,\n50,,,,,,,,,\n51,\"two\nlines\"x,,,,,,,,\n\"5\n2\",a,,,,,,,,\n";
    const Run run = make(in);
    QCOMPARE(run.exitCode, 1);
    const QString path = QDir(src()).filePath(QStringLiteral("materials.csv:"));
    for (const char *expected : {"9: missing name", "10: malformed CSV", "11: missing name",
             "12: malformed CSV: stray quote or text after a closing quote (on line 13)",
             "14: key '5\\n2' is not a positive integer"})
        QVERIFY2(run.err.contains(path + QLatin1String(expected)), qPrintable(run.err));
    QCOMPARE(run.err.count(QStringLiteral(".csv:")), 5);
}

void TestMakeDb::sourceErrorsAreFatal_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents"); // null: the file is missing
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "links.csv" << QByteArray() << "links.csv: cannot read";
    QTest::newRow("empty file") << "suppliers.csv" << QByteArray("")
                                << "suppliers.csv:1: no header";
    QTest::newRow("missing column") << "links.csv" << QByteArray("material,price\n30,1\n")
                                    << "links.csv:1: missing column 'supplier'";
    QTest::newRow("unknown column") << "materials.csv" << QByteArray("key,name,flavour\n1,a,b\n")
                                    << "materials.csv:1: unknown column 'flavour'";
    QTest::newRow("column twice") << "synonyms.csv" << QByteArray("material,name,Name\n30,a,b\n")
                                  << "synonyms.csv:1: column 'Name' appears twice";
}

void TestMakeDb::sourceErrorsAreFatal()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    Sources in = goodSources();
    if (contents.isNull())
        in.remove(file);
    else
        in[file] = contents;
    // Not even --keep-going writes a database whose sources cannot be read.
    const Run run = make(in, {QStringLiteral("--keep-going")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out()));
}

void TestMakeDb::sourcesThatAreNoFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("FIFO") << "fifo"
                          << "links.csv: cannot read: not a regular file but a FIFO";
    QTest::newRow("link to a FIFO") << "link-fifo"
                                    << "not a regular file but a FIFO";
    QTest::newRow("endless device") << "zero"
                                    << "not a regular file but a character device";
    QTest::newRow("directory") << "dir"
                               << "not a regular file but a directory";
    QTest::newRow("over 1 GiB") << "huge"
                                << "larger than the 1024 MiB a source may hold";
    QTest::newRow("dangling link") << "dangling"
                                   << "links.csv: cannot read: No such file";
}

void TestMakeDb::sourcesThatAreNoFilesAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    Sources in = goodSources();
    in.remove(QStringLiteral("links.csv"));
    writeSources(src(), in);
    const QByteArray links = QFile::encodeName(QDir(src()).filePath(QStringLiteral("links.csv")));
    const QByteArray fifo = QFile::encodeName(m_tmp->filePath(QStringLiteral("fifo")));
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(links.constData(), 0600), 0);
    } else if (kind == QLatin1String("link-fifo")) {
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        QCOMPARE(::symlink(fifo.constData(), links.constData()), 0);
    } else if (kind == QLatin1String("zero")) {
        QCOMPARE(::symlink("/dev/zero", links.constData()), 0);
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(QDir().mkdir(QFile::decodeName(links)));
    } else if (kind == QLatin1String("huge")) {
        // Sparse: it takes no room on the disk, and is never read.
        QFile f(QFile::decodeName(links));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("material,supplier\n");
        QVERIFY(f.resize((qint64(1) << 30) + 1));
    } else {
        QCOMPARE(::symlink("nowhere.csv", links.constData()), 0);
    }
    // An error naming the file within seconds, instead of a wait for a
    // writer, an endless read or an abort for want of memory.
    const Run run = runMakeDb({src(), out()}, 20000);
    QVERIFY2(run.finished, "zil-makedb blocked or crashed");
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out()));

    // A source that is a link to a regular file is read as that file.
    QFile::remove(QFile::decodeName(links));
    QDir(QFile::decodeName(links)).removeRecursively();
    writeFile(m_tmp->filePath(QStringLiteral("real.csv")), "material,supplier,price\n30,7,1\n");
    QCOMPARE(
        ::symlink(qPrintable(m_tmp->filePath(QStringLiteral("real.csv"))), links.constData()), 0);
    const Run good = runMakeDb({src(), out()}, 60000);
    QVERIFY2(good.finished && good.exitCode == 0, qPrintable(good.err));
    QCOMPARE(readTable(out(), QStringLiteral("MATSUPP.DB")).rows.size(), 1);
}

void TestMakeDb::sourcesWithoutMaterialsAreRefused()
{
    QCOMPARE(make(goodSources()).exitCode, 0);
    const QString before = dumpDatabase(out());
    // Header rows alone, and rows that are all skipped.
    const Sources headers {{"materials.csv", materialsHeader}, {"synonyms.csv", "material,name\n"},
        {"suppliers.csv", "id,name\n"}, {"links.csv", "material,supplier\n"}};
    Sources rejected = headers;
    rejected["materials.csv"] += "1,,,,,,,,,\n";
    for (const Sources &in : {headers, rejected}) {
        const Run run = make(in, {QStringLiteral("--keep-going")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QDir(src()).filePath(QStringLiteral("materials.csv"))
                     + QStringLiteral(": no materials; nothing written")),
            qPrintable(run.err));
        QCOMPARE(dumpDatabase(out()), before);
    }
}

void TestMakeDb::keepGoingWritesTheGoodRows()
{
    Sources in = goodSources();
    in["materials.csv"] += "41,Bad CAS,121-33-6,,,,,,,\n42,Extra,,,,,,,,\n";
    in["synonyms.csv"] += "41,Of a rejected material\n42,Good synonym\n";
    in["links.csv"] += "30,7,,duplicate\n42,7,,\n41,7,,\n";
    const Run run = make(in, {QStringLiteral("--keep-going")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString dir = src() + QLatin1Char('/');
    for (const char *expected : {"materials.csv:5: CAS 121-33-6",
             "synonyms.csv:5: material 41 was rejected (materials.csv line 5)",
             "links.csv:5: duplicate link", "links.csv:7: material 41 was rejected"})
        QVERIFY2(run.err.contains(dir + QLatin1String(expected)), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("4 bad rows skipped")), qPrintable(run.err));

    const Table m = readTable(out(), QStringLiteral("MATERIAL.DB"));
    QCOMPARE(column(m, "name"),
        (QStringList {"2-Acetylpyrazine", "Extra", "cis-3-Hexenol", "Vanillin"}));
    const Table syn = readTable(out(), QStringLiteral("SYNON.DB"));
    QCOMPARE(syn.rows[1], row({s("Good synonym"), n(2), n(1), s("GOOD SYNONYM")}));
    const Table l = readTable(out(), QStringLiteral("MATSUPP.DB"));
    QCOMPARE(l.rows.size(), 4);
    QCOMPARE(l.rows[0], row({n(2), n(7), s(""), s("")}));
    QCOMPARE(l.rows[3], row({n(4), n(7), s("EUR 10/kg"), s("")})); // the first 30,7 row
}

void TestMakeDb::existingDatabaseReplacedOnlyOnSuccess()
{
    const QDir o(out());
    QDir().mkpath(out());
    // The store's index files of the earlier tables (known by their header),
    // their journals and the tables under another case of their names go;
    // every other file stays, also one named like an index file.
    const QByteArray index = QByteArray(store::indexFileMagicText) + "\ntable=material\n";
    const QStringList indexes {"material.px", "MATERIAL.XG0", "SYNON.xga", "supplier.PX"};
    const QStringList kept {"notes.txt", "material.csv", "materials.px", "MATERIAL.DB.orig",
        "matsupp.x01", "MATERIAL.XLS", "material.xml"};
    const auto entries = [&o] {
        QStringList names = o.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    };
    const QString earlier = m_tmp->filePath(QStringLiteral("earlier"));
    writeSources(src(), goodSources());
    QCOMPARE(runMakeDb({src(), earlier}).exitCode, 0);
    for (const char *name : {"material.db", "MATERIAL.DB"})
        QFile::copy(QDir(earlier).filePath(QStringLiteral("MATERIAL.DB")), o.filePath(name));
    for (const QString &name : kept + QStringList {"MATERIAL.DB-journal"})
        writeFile(o.filePath(name), "old");
    for (const QString &name : indexes)
        writeFile(o.filePath(name), index);
    QCOMPARE(make(goodSources()).exitCode, 0);
    QStringList expected = kept
        + QStringList {"MATERIAL.DB", "MATSUPP.DB", "SUPPLIER.DB", "SYNON.DB", "material.px",
            "material.xfd", "material.xg0", "material.xg1", "matsupp.px", "matsupp.xg0",
            "supplier.px", "supplier.xg0", "synon.px", "synon.xg0", "zilindex.lck"};
    expected.sort();
    QCOMPARE(entries(), expected);
    for (const QString &name : kept)
        QCOMPARE(readFile(o.filePath(name)), QByteArray("old"));
    const QString before = dumpDatabase(out());
    const QByteArray bytes = readFile(o.filePath(QStringLiteral("MATERIAL.DB")));

    // A failing run changes nothing, not even the index files.
    writeFile(o.filePath(QStringLiteral("material.px")), index);
    Sources in = goodSources();
    in["materials.csv"] += "41,Foo,121-33-6,,,,,,,\n";
    QCOMPARE(make(in).exitCode, 1);
    QCOMPARE(readFile(o.filePath(QStringLiteral("MATERIAL.DB"))), bytes);
    QCOMPARE(dumpDatabase(out()), before);
    QVERIFY(QFileInfo::exists(o.filePath(QStringLiteral("material.px"))));

    // A good run replaces the tables.
    in["materials.csv"] = materialsHeader + "1,Coumarin,91-64-5,,,,,,,\n";
    in["synonyms.csv"] = "material,name\n";
    in["links.csv"] = "material,supplier\n";
    QCOMPARE(make(in).exitCode, 0);
    QCOMPARE(
        column(readTable(out(), QStringLiteral("MATERIAL.DB")), "name"), QStringList {"Coumarin"});
    QCOMPARE(readTable(out(), QStringLiteral("SYNON.DB")).rows.size(), 0);
    QVERIFY(readFile(o.filePath(QStringLiteral("material.px"))) != index);
    QVERIFY(store::indexesComplete(out()));

    // An output path that cannot be made fails.
    const Run run = runMakeDb({src(), o.filePath(QStringLiteral("notes.txt/db"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
}

void TestMakeDb::protectEncryptsEveryTable()
{
    const QString plain = m_tmp->filePath(QStringLiteral("plain"));
    writeSources(src(), goodSources());
    QCOMPARE(runMakeDb({src(), plain}).exitCode, 0);
    const Run run = make(goodSources(), {QStringLiteral("--protect")});
    QVERIFY2(
        run.exitCode == 0 && run.out.contains(QStringLiteral("(protected)")), qPrintable(run.err));
    for (const schema::TableDef &def : schema::tables()) {
        const QByteArray bytes = readFile(QDir(out()).filePath(def.fileName));
        QVERIFY(!bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains("Vanillin") && !bytes.contains("Beta Oils"));
        QVERIFY(!readTable(out(), def.fileName).error.isEmpty());
        QVERIFY(!readTable(out(), def.fileName, QStringLiteral("qorwm4")).error.isEmpty());
        const Table open = readTable(out(), def.fileName, schema::programPassword());
        QVERIFY2(open.error.isEmpty(), qPrintable(open.error));
        QCOMPARE(open.rows, readTable(plain, def.fileName).rows);
    }
}

void TestMakeDb::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("one directory") << QStringList {"a"};
    QTest::newRow("unknown option") << QStringList {"--fast", "a", "b"};
    QTest::newRow("synthetic 0") << QStringList {"--synthetic", "0", "a"};
    QTest::newRow("synthetic word") << QStringList {"--synthetic", "many", "a"};
    QTest::newRow("synthetic two dirs") << QStringList {"--synthetic", "5", "a", "b"};
    QTest::newRow("bad seed") << QStringList {"--synthetic", "5", "--seed", "x", "a"};
    QTest::newRow("seed without synthetic") << QStringList {"--seed", "3", "a", "b"};
    QTest::newRow("finish with sources") << QStringList {"--finish", "a", "b"};
}

void TestMakeDb::usageErrors()
{
    QFETCH(QStringList, args);
    QDir::setCurrent(m_tmp->path());
    const Run run = runMakeDb(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("Usage:")), qPrintable(run.err));
    QVERIFY(QDir(m_tmp->path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestMakeDb)
#include "tst_makedb.moc"
