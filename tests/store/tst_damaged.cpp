// Start-up on a database whose table or index files are damaged: cut short,
// bytes flipped, replaced by empty or random files, by SQLite files of another
// schema or holding views or triggers, or by directories. Every start either
// shows the data as the files hold it, in the right orders, or ends with the
// one fixed message; it never crashes, hangs or shows a wrong order.
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/table.h"
#include "store/tablekey.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>

using namespace zil;

namespace {

const QString kRefused = QStringLiteral("Error: Database not found or corrupted");

// What a database shows, read straight from its table files with SQLite: the
// materials in name order and in CAS order, the suppliers in name order and
// the synonyms of the first material in name order.
struct View
{
    QStringList byName;
    QStringList byCas;
    QStringList suppliers;
    QStringList synonyms;

    bool operator==(const View &) const = default;
    QString describe() const
    {
        return QStringLiteral("names [%1] cas [%2] suppliers [%3] synonyms [%4]")
            .arg(byName.join(", "), byCas.join(", "), suppliers.join(", "), synonyms.join(", "));
    }
};

// Runs a query on a table file, calling row for each record; false when the
// file cannot be read to the end.
bool queryAs(const QString &path, bool protect, const char *sql,
    const std::function<void(sqlite3_stmt *)> &row)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK;
    if (ok && protect) {
        ok = sqlite3_exec(db, store::tableKeyPragma(schema::programPassword()).constData(), nullptr,
                 nullptr, nullptr)
            == SQLITE_OK;
    }
    sqlite3_stmt *stmt = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    ok = ok && rc == SQLITE_DONE;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}

// A table file is read as plain SQLite, else as protected; a protected
// database may hold a plain table.
bool query(const QString &path, const char *sql, const std::function<void(sqlite3_stmt *)> &row)
{
    const auto probe = [](sqlite3_stmt *) {};
    for (bool protect : {false, true}) {
        if (queryAs(path, protect, "SELECT count(*) FROM sqlite_master", probe))
            return queryAs(path, protect, sql, row);
    }
    return false;
}

QString text(sqlite3_stmt *stmt, int col)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt, col)) : QString();
}

struct Keyed
{
    QString key;
    qint64 tie;
    QString name;
};

QStringList ordered(std::vector<Keyed> rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const Keyed &a, const Keyed &b) {
        const int c = QString::compare(a.key, b.key);
        return c != 0 ? c < 0 : a.tie < b.tie;
    });
    QStringList names;
    for (const Keyed &k : rows)
        names << k.name;
    return names;
}

// The view of a database directory as the index definitions order it; false
// when SQLite cannot read what is needed.
bool readView(const QString &dir, View &view)
{
    std::vector<Keyed> byName, byCas, suppliers;
    qint64 first = 0;
    QString firstKey;
    bool ok = query(
        dir + "/MATERIAL.DB", "SELECT id, name, sf, cas FROM material", [&](sqlite3_stmt *s) {
            const qint64 id = sqlite3_column_int64(s, 0);
            const QString sf = text(s, 2).toCaseFolded();
            byName.push_back({sf, id, text(s, 1)});
            byCas.push_back({text(s, 3).toCaseFolded(), id, text(s, 1)});
            if (first == 0 || QString::compare(sf, firstKey) < 0
                || (sf == firstKey && id < first)) {
                first = id;
                firstKey = sf;
            }
        });
    ok = ok
        && query(
            dir + "/SUPPLIER.DB", "SELECT name FROM supplier ORDER BY rowid", [&](sqlite3_stmt *s) {
                suppliers.push_back(
                    {text(s, 0).toCaseFolded(), qint64(suppliers.size()), text(s, 0)});
            });
    std::vector<Keyed> synonyms;
    ok = ok
        && query(
            dir + "/SYNON.DB", "SELECT materialid, pos, name FROM synon", [&](sqlite3_stmt *s) {
                if (sqlite3_column_int64(s, 0) == first)
                    synonyms.push_back({QString(), sqlite3_column_int64(s, 1), text(s, 2)});
            });
    view = {ordered(byName), ordered(byCas), ordered(suppliers), ordered(synonyms)};
    return ok;
}

// Walks a cursor from its first record, collecting a field.
QStringList walk(store::Table &t, const char *field)
{
    QStringList out;
    for (t.first(); !t.eof(); t.next()) {
        out << t.fieldByName(QLatin1String(field)).asString();
        if (t.recNo() == t.recordCount())
            break;
    }
    return out;
}

// What the running program shows: the list read row by row as the user
// selects it, in name order, then in CAS order.
View shownBy(TMainForm &form)
{
    View v;
    const int rows = form.MaterialGrid->rowCount();
    for (int r = 1; r < rows; ++r) {
        form.MaterialGrid->setRow(r);
        v.byName << form.DBName->text();
    }
    form.MaterialGrid->setRow(1);
    v.synonyms = walk(*form.TableSinon, "name");
    v.suppliers = walk(*form.TableSupplierName, "name");
    form.ToggleOrder();
    for (int r = 1; r < rows; ++r) {
        form.MaterialGrid->setRow(r);
        v.byCas << form.DBName->text();
    }
    form.ToggleOrder();
    return v;
}

// A way of damaging one file of a database directory.
struct Damage
{
    QString label;
    std::function<bool(const QString &path)> apply;
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool replaceWith(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

Damage truncateTo(qint64 length)
{
    return {QStringLiteral("cut to %1 bytes").arg(length),
        [length](const QString &path) { return QFile::resize(path, length); }};
}

Damage flipAt(qint64 offset)
{
    return {QStringLiteral("byte %1 flipped").arg(offset), [offset](const QString &path) {
                QByteArray bytes = contents(path);
                if (offset >= bytes.size())
                    return false;
                bytes[offset] = char(~bytes[offset]);
                return replaceWith(path, bytes);
            }};
}

Damage randomBytes(int size, quint32 seed)
{
    return {QStringLiteral("%1 random bytes (seed %2)").arg(size).arg(seed),
        [size, seed](const QString &path) {
            QRandomGenerator gen(seed);
            QByteArray bytes(size, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(gen.bounded(256));
            return replaceWith(path, bytes);
        }};
}

Damage sqlFile(const QString &label, const QString &sql)
{
    return {label,
        [sql](const QString &path) { return QFile::remove(path) && test::execSql(path, sql); }};
}

Damage directory()
{
    return {QStringLiteral("a directory"),
        [](const QString &path) { return QFile::remove(path) && QDir().mkdir(path); }};
}

// An index file in the store's format, checksum and all, that describes its
// index otherwise than the database's indexes are made.
Damage forged(const QString &table, const QString &name, const QString &fields, const char *option)
{
    return {QStringLiteral("forged as %1 on %2 (%3)").arg(name, fields, QLatin1String(option)),
        [=](const QString &path) {
            QByteArray body = "ZIL-INDEX 1\ntable=" + table.toUtf8() + "\nname=" + name.toUtf8()
                + "\nfields=" + fields.toUtf8() + "\noption=" + option + "\n";
            body += "check=" + QByteArray::number(qChecksum(QByteArrayView(body))) + "\n";
            return replaceWith(path, body);
        }};
}

// Offsets spread over a file: every `step`-th byte, and the first and last.
QList<qint64> spread(qint64 size, int count)
{
    QList<qint64> at {0, size - 1};
    const qint64 step = std::max<qint64>(1, size / count);
    for (qint64 i = step; i < size - 1; i += step)
        at << i;
    return at;
}

} // namespace

class TestDamaged : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_plain; // an indexed database
    QString m_protected; // the same, protected
    View m_sound; // what it shows
    QList<test::SourceMaterial> m_materials; // its sources
    QList<test::SourceSupplier> m_suppliers;
    QList<test::SourceLink> m_links;
    int m_next = 0;

    QString copyOf(const QString &from)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("case%1").arg(m_next++));
        QDir().mkpath(dir);
        // Copied by hand: QFile::copy syncs every file to disk, which makes a
        // thousand starts slow. Each copy keeps its modification time to the
        // nanosecond, so the index files still name their tables as they are.
        for (const QString &f : QDir(from).entryList(QDir::Files)) {
            replaceWith(dir + "/" + f, contents(from + "/" + f));
            keepTime(from + "/" + f, dir + "/" + f);
        }
        return dir;
    }

    static void keepTime(const QString &from, const QString &to)
    {
        struct stat st;
        if (::stat(QFile::encodeName(from).constData(), &st) == 0) {
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, 0);
        }
    }

    // Starts the program on the database after damaging `file` of it; empty
    // when what happened is sound, else what went wrong. Counts the starts
    // that showed the main window.
    QString startDamaged(bool protect, const QString &file, const Damage &damage, int &cases,
        int &shown, bool rebuilt = false)
    {
        const QString db = copyOf(protect ? m_protected : m_plain);
        if (!damage.apply(db + "/" + file)) {
            QDir(db).removeRecursively();
            return QString(); // an offset beyond the end of a smaller file
        }
        ++cases;
        const QString where = file + " " + damage.label + ": ";
        QString problem;
        {
            // One start per process in the program: no lock directory of an
            // earlier case is left in the store.
            store::Session::instance().setNetFileDir(QString());
            test::RunningApp app;
            const bool started = app.start(db);
            if (!started) {
                // A rebuild of the indexes that fails says so first.
                QStringList messages = app.messages;
                if (messages.size() == 2
                    && messages.first().startsWith("Error: Cannot reindex file:"))
                    messages.removeFirst();
                if (messages != QStringList {kRefused + "\n" + db + "/"})
                    problem = where + "refused with " + app.messages.join(" | ");
            } else {
                ++shown;
                View expected;
                if (!app.messages.isEmpty())
                    problem = where + "started with " + app.messages.join(" | ");
                else if (!readView(db, expected))
                    problem = where + "started on files SQLite cannot read";
                else if (const View seen = shownBy(*app.form()); seen != expected)
                    problem = where + "shows " + seen.describe() + " where the files hold "
                        + expected.describe();
                else if (!app.messages.isEmpty())
                    problem = where + "reading gave " + app.messages.join(" | ");
                else if (QString why; rebuilt
                         && (!app.form()->SearchDataWriter.wait(60000)
                             || !store::indexesComplete(db, &why)))
                    problem = where + "not rebuilt: " + why;
            }
        }
        QDir(db).removeRecursively();
        return problem;
    }

    void runCases(bool protect, const QStringList &files, const QList<Damage> &damages)
    {
        QStringList problems;
        int cases = 0, shown = 0;
        for (const QString &file : files) {
            for (const Damage &d : damages) {
                const QString p = startDamaged(protect, file, d, cases, shown);
                if (!p.isEmpty())
                    problems << p;
            }
        }
        qInfo("%d cases, %d started, %d refused", cases, shown, cases - shown);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    }

    static QStringList tableFiles()
    {
        return {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"};
    }

    QStringList indexFiles() const
    {
        QStringList names = QDir(m_plain).entryList({"*.px", "*.xg?"}, QDir::Files);
        return names;
    }

private slots:
    void initTestCase()
    {
        // Name order, CAS order, source order and supplier id order all differ.
        QList<test::SourceMaterial> &materials = m_materials;
        materials = {
            {"1", "Vanillin", "121-33", "3107", "", "Vanilla pods."},
            {"2", "acetoin", "513-86", "2008", "", "Butter."},
            {"3", "Cedrol", "77-53", "", "", "Cedar wood oil."},
            {"4", "benzaldehyde", "100-52", "2127", "", "Bitter almond."},
            {"5", "Linalool", "78-70", "2635", "", "Rosewood."},
            {"6", "ethyl maltol", "4940-11", "3487", "", "Caramel."},
            {"7", "Geraniol", "106-24", "2507", "", "Rose."},
            {"8", "menthol", "2216-51", "2665", "", "Peppermint."},
        };
        materials[1].synonyms = {"Acetyl methyl carbinol", "3-Hydroxybutanone", "Dimethylketol"};
        materials[0].synonyms = {"Vanillic aldehyde"};
        m_suppliers
            = {{3, "Zeta Aromatics"}, {1, "alpha Essences"}, {7, "Mane Street"}, {2, "Beta Oils"}};
        m_links = {{"1", 3}, {"2", 1}, {"2", 7}, {"5", 2}};
        const QString src = m_tmp.filePath("src");
        m_plain = m_tmp.filePath("plain");
        m_protected = m_tmp.filePath("protected");
        QVERIFY(test::makeDatabase(src, m_plain, m_materials, m_suppliers, m_links));
        QVERIFY(test::runMakeDb({"--protect", src, m_protected}));
        // A first start makes the index files.
        for (const QString &db : {m_plain, m_protected}) {
            test::RunningApp app;
            QVERIFY(app.start(db));
            QCOMPARE(app.messages, QStringList());
        }
        QCOMPARE(indexFiles().size(), 9);

        // The undamaged database shows its data in the orders of its indexes.
        QVERIFY(readView(m_plain, m_sound));
        QCOMPARE(m_sound.byName,
            QStringList({"acetoin", "benzaldehyde", "Cedrol", "ethyl maltol", "Geraniol",
                "Linalool", "menthol", "Vanillin"}));
        QCOMPARE(m_sound.byCas.first(), QStringLiteral("benzaldehyde"));
        QCOMPARE(m_sound.suppliers,
            QStringList({"alpha Essences", "Beta Oils", "Mane Street", "Zeta Aromatics"}));
        QCOMPARE(m_sound.synonyms,
            QStringList({"Acetyl methyl carbinol", "3-Hydroxybutanone", "Dimethylketol"}));
        test::RunningApp app;
        QVERIFY(app.start(m_plain));
        QCOMPARE(shownBy(*app.form()), m_sound);
    }

    void damagedTables_data()
    {
        QTest::addColumn<bool>("protect");
        QTest::addColumn<QString>("kind");
        for (bool protect : {false, true}) {
            const char *p = protect ? "protected, " : "";
            QTest::addRow("%scut short", p) << protect << "cut";
            QTest::addRow("%sbytes flipped", p) << protect << "flip";
            QTest::addRow("%sreplaced", p) << protect << "replaced";
        }
    }

    void damagedTables()
    {
        QFETCH(bool, protect);
        QFETCH(QString, kind);
        const QString any = (protect ? m_protected : m_plain) + "/MATERIAL.DB";
        const qint64 size = QFileInfo(any).size();
        QList<Damage> damages;
        if (kind == "cut") {
            for (qint64 n : {0, 1, 15, 16, 99, 100, 101, 512, 1023, 1024, 2047, 4095, 4096, 4097})
                if (n < size)
                    damages << truncateTo(n);
            for (qint64 n : spread(size, 6))
                damages << truncateTo(n);
        } else if (kind == "flip") {
            for (qint64 at : spread(size, protect ? 40 : 60))
                damages << flipAt(at);
            // The header: page size, format numbers, counts and schema cookie.
            for (qint64 at = 16; at < 100; at += 4)
                damages << flipAt(at);
        } else {
            const QString supplier = "CREATE TABLE supplier (name VARCHAR(30), address "
                                     "VARCHAR(40), id INTEGER, city VARCHAR(40), country "
                                     "VARCHAR(40), phone VARCHAR(40)); INSERT INTO supplier "
                                     "VALUES ('a', '', 1, '', '', '')";
            const QString material = "CREATE TABLE material (name VARCHAR(74), id INTEGER, cas "
                                     "VARCHAR(12), fema VARCHAR(5), ce VARCHAR(5), sf "
                                     "VARCHAR(74), occur CLOB, flavor CLOB, applic CLOB, liter "
                                     "CLOB, notes CLOB); INSERT INTO material (name, id, sf) "
                                     "VALUES ('a', 1, 'a')";
            damages << truncateTo(0) << randomBytes(100, 1) << randomBytes(8192, 2)
                    << randomBytes(3000, 3) << directory()
                    << sqlFile("another schema",
                           "CREATE TABLE other (x TEXT); INSERT INTO other "
                           "VALUES ('x')")
                    << sqlFile("a column missing", "CREATE TABLE material (name TEXT, id INTEGER)")
                    << sqlFile("a view", material + "; CREATE VIEW v AS SELECT name FROM material")
                    << sqlFile("a trigger",
                           material
                               + "; CREATE TABLE log (x); CREATE TRIGGER t AFTER INSERT ON "
                                 "material BEGIN INSERT INTO log VALUES (1); END")
                    << sqlFile("another table's schema", supplier);
        }
        runCases(protect, tableFiles(), damages);
    }

    void damagedIndexes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("cut short") << "cut";
        QTest::newRow("bytes flipped") << "flip";
        QTest::newRow("replaced") << "replaced";
    }

    // A table file replaced by another one, as the maker replaces it, is read
    // afresh on refresh: its fields and its memos, which are read apart.
    void replacedTableIsReadAfresh()
    {
        QList<test::SourceMaterial> changed = m_materials;
        for (test::SourceMaterial &m : changed)
            m.occur = "Now in " + m.name + ".";
        const QString other = m_tmp.filePath("other");
        QVERIFY(test::makeDatabase(m_tmp.filePath("othersrc"), other, changed, m_suppliers));
        const QString db = copyOf(m_plain);

        // Written beside it and renamed over it: a new file under the old name.
        const auto replaceTable = [&](const QString &from) {
            const QByteArray target = QFile::encodeName(db + "/MATERIAL.DB");
            return replaceWith(db + "/MATERIAL.DB.new", contents(from + "/MATERIAL.DB"))
                && std::rename(
                       QFile::encodeName(db + "/MATERIAL.DB.new").constData(), target.constData())
                == 0;
        };

        store::Table t;
        t.setDatabaseName(db);
        t.setTableName("MATERIAL.DB");
        t.open();
        t.first();
        QCOMPARE(t.fieldByName("name").asString(), QStringLiteral("acetoin"));
        QCOMPARE(t.fieldByName("occur").asString(), QStringLiteral("Butter."));
        for (int round = 0; round < 2; ++round) {
            QVERIFY(replaceTable(other));
            t.refresh();
            t.first();
            QCOMPARE(t.fieldByName("name").asString(), QStringLiteral("acetoin"));
            QCOMPARE(t.fieldByName("occur").asString(), QStringLiteral("Now in acetoin."));
            QVERIFY(replaceTable(m_plain));
            t.refresh();
            t.first();
            QCOMPARE(t.fieldByName("occur").asString(), QStringLiteral("Butter."));
        }
    }

    // Index files whose checksum holds but which order by other fields or
    // with case: using them would show the lists in a wrong order.
    void forgedIndexes()
    {
        runCases(false, {"material.xg1"},
            {forged("material", "NameOrder", "cas;id", "case-insensitive"),
                forged("material", "NameOrder", "name", "case-sensitive"),
                forged("material", "NameOrder", "sf;id", "case-sensitive")});
        runCases(false, {"material.xg0"},
            {forged("material", "CASOrder", "name;id", "case-insensitive"),
                forged("material", "CASOrder", "id", "case-insensitive")});
        runCases(false, {"supplier.xg0"},
            {forged("supplier", "supname", "id", "case-insensitive"),
                forged("supplier", "supname", "name", "case-sensitive")});
        runCases(false, {"synon.px"}, {forged("synon", "primary", "materialid;name", "primary")});
        runCases(false, {"synon.xg0"},
            {forged("synon", "linkmaterial", "materialid;sf", "case-insensitive")});
    }

    void damagedIndexes()
    {
        QFETCH(QString, kind);
        // Every file is damaged throughout its header, which says where all
        // else lies, and at places spread over its body; the name order's
        // file, whose texts the list shows first, throughout.
        for (const QString &file : indexFiles()) {
            const bool whole = file == QLatin1String("material.xg1");
            const qint64 size = QFileInfo(m_plain + "/" + file).size();
            const qint64 header = std::min<qint64>(size, 200);
            QList<Damage> damages;
            if (kind == "cut") {
                for (qint64 n = 0; n < (whole ? size : header); n += whole ? 7 : 13)
                    damages << truncateTo(n);
                if (!whole) {
                    for (qint64 n : spread(size, 6))
                        damages << truncateTo(n);
                }
                damages << truncateTo(size - 1);
            } else if (kind == "flip") {
                for (qint64 at = 0; at < (whole ? size : header); at += whole ? 3 : 11)
                    damages << flipAt(at);
                if (!whole) {
                    for (qint64 at : spread(size, 12))
                        damages << flipAt(at);
                }
            } else {
                damages << truncateTo(0) << randomBytes(90, 4) << randomBytes(5000, 5)
                        << directory() << sqlFile("a SQLite file", "CREATE TABLE x (a)");
            }
            runCases(false, {file}, damages);
        }
    }

    // Index files that do not fit their table as it is: the start-up check
    // counts them as missing, the start rebuilds them, and the lists show the
    // orders of the tables as they are.
    void mismatchedIndexesAreRebuilt()
    {
        // Another database: its tables carry another generation.
        const QString other = m_tmp.filePath("othergen");
        QList<test::SourceMaterial> renamed = m_materials;
        for (test::SourceMaterial &m : renamed)
            m.name = "z" + m.name;
        QVERIFY(test::makeDatabase(m_tmp.filePath("othergensrc"), other, renamed, m_suppliers));
        {
            // A first start makes its index files.
            store::Session::instance().setNetFileDir(QString());
            test::RunningApp app;
            QVERIFY(app.start(other));
        }

        const qint64 size = QFileInfo(m_plain + "/material.xg1").size();
        const auto copiedFrom = [](const QString &label, const QString &from) {
            return Damage {label, [from](const QString &path) {
                               const QByteArray bytes = contents(from);
                               return !bytes.isEmpty() && replaceWith(path, bytes);
                           }};
        };
        struct Case
        {
            QString file;
            Damage damage;
        };
        const QList<Case> cases {
            {"material.xg1", truncateTo(size / 2)},
            {"material.xg1", truncateTo(size - 8)},
            // The header: the table's size, then a field's name.
            {"material.xg1", flipAt(58)},
            {"material.xg1", flipAt(120)},
            // The table changed after its indexes were made.
            {"MATERIAL.DB",
                {"written into",
                    [](const QString &path) {
                        return test::execSql(path, "UPDATE material SET cas = '1-00' WHERE id = 8");
                    }}},
            {"SUPPLIER.DB",
                {"written into",
                    [](const QString &path) {
                        return test::execSql(
                            path, "UPDATE supplier SET name = 'Aaron' WHERE id = 7");
                    }}},
            // Swapped: an index of another table, another index of the same
            // table.
            {"material.xg1", copiedFrom("synon.xg0 there", m_plain + "/synon.xg0")},
            {"synon.px", copiedFrom("matsupp.px there", m_plain + "/matsupp.px")},
            {"material.xg0", copiedFrom("material.xg1 there", m_plain + "/material.xg1")},
            {"material.px", copiedFrom("another generation's", other + "/material.px")},
            {"material.xg1", copiedFrom("another generation's", other + "/material.xg1")},
        };
        QStringList problems;
        for (const Case &c : cases) {
            const QString db = copyOf(m_plain);
            QVERIFY(store::indexesComplete(db));
            QVERIFY2(c.damage.apply(db + "/" + c.file), qPrintable(c.file + " " + c.damage.label));
            QString why;
            if (store::indexesComplete(db, &why))
                problems << c.file + " " + c.damage.label + ": counted as sound";
            QDir(db).removeRecursively();
            int cases = 0, shown = 0;
            const QString p = startDamaged(false, c.file, c.damage, cases, shown, true);
            if (!p.isEmpty())
                problems << p;
            if (shown != 1)
                problems << c.file + " " + c.damage.label + ": not started";
        }
        // A damaged body is found block by block as it is read, not by the
        // start-up check, which reads no more than a start needs: the lists
        // then show the orders made from the tables.
        int runs = 0, shown = 0;
        for (const qint64 at : {size - 2, size / 2 + 40}) {
            const QString p = startDamaged(false, "material.xg1", flipAt(at), runs, shown);
            if (!p.isEmpty())
                problems << p;
        }
        if (shown != 2)
            problems << "a damaged body refused";
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));

        // A file of another program at an index's name is never taken for an
        // index, nor deleted: the start says it cannot rebuild.
        const QString db = copyOf(m_plain);
        QVERIFY(replaceWith(db + "/material.xg1", "my notes on the name order\n"));
        QVERIFY(!store::indexesComplete(db));
        {
            store::Session::instance().setNetFileDir(QString());
            test::RunningApp app;
            QVERIFY(!app.start(db));
        }
        QCOMPARE(contents(db + "/material.xg1"), QByteArray("my notes on the name order\n"));
    }
};

QTEST_MAIN(TestDamaged)
#include "tst_damaged.moc"
