// The table store against plain SQLite on the same files: opening the four
// tables with every order built, nearest positioning, and a walk of the
// materials reading every memo.
#include "benchutil.h"

#include "store/schema.h"
#include "store/session.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <memory>
#include <sqlcipher/sqlite3.h>

namespace zil::bench {

namespace {

struct Sqlite
{
    sqlite3 *db = nullptr;
    explicit Sqlite(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~Sqlite() { sqlite3_close(db); }
    sqlite3_stmt *prepare(const QString &sql) const
    {
        sqlite3_stmt *s = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), -1, &s, nullptr) != SQLITE_OK)
            qFatal("bench: %s: %s", text.constData(), sqlite3_errmsg(db));
        return s;
    }
};

// Reads every row the statement gives, touching every column.
qint64 drain(sqlite3_stmt *s)
{
    qint64 bytes = 0;
    const int n = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            sqlite3_column_blob(s, c);
            bytes += sqlite3_column_bytes(s, c);
        }
    }
    sqlite3_finalize(s);
    return bytes;
}

void openEveryOrder(const QString &dir)
{
    std::vector<std::unique_ptr<store::Table>> cursors;
    for (const schema::TableDef &t : schema::tables()) {
        for (const schema::IndexDef &i : t.indexes) {
            auto c = std::make_unique<store::Table>();
            c->setDatabaseName(dir);
            c->setTableName(t.fileName);
            c->setIndexName(i.primary ? QString() : i.name);
            c->open();
            cursors.push_back(std::move(c));
        }
    }
}

void selectEveryOrder(const QString &dir)
{
    for (const schema::TableDef &t : schema::tables()) {
        Sqlite db(QDir(dir).filePath(t.fileName));
        for (const schema::IndexDef &i : t.indexes) {
            QStringList order;
            for (const QString &f : i.fields)
                order << (i.primary ? f : f + QStringLiteral(" COLLATE NOCASE"));
            drain(db.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY %3")
                                 .arg(i.fields.join(','), t.tableName(), order.join(','))));
        }
    }
}

} // namespace

void runStore(const QString &work, std::vector<Database> &databases)
{
    store::Session::instance().addPassword(schema::programPassword());
    for (Database &db : databases) {
        if (db.kept)
            continue;
        ensureIndexed(db);
        const int n = db.size;
        const QString dir = db.dir;
        const QString size = QString::number(n);
        const int runs = n > 50000 ? 5 : 11;

        printRow(QStringLiteral("open 4 tables, every order built"), size,
            measure(runs, [&] { openEveryOrder(dir); }),
            measure(runs, [&] { selectEveryOrder(dir); }),
            QStringLiteral("sqlite3 SELECT ... ORDER BY each index"));

        // Prefixes as a user types them, taken from real names.
        store::Table names;
        names.setDatabaseName(dir);
        names.setTableName(QStringLiteral("MATERIAL.DB"));
        names.setIndexName(QStringLiteral("NameOrder"));
        names.open();
        QStringList keys;
        QRandomGenerator rng(42);
        const int calls = 2000;
        for (int i = 0; i < calls; ++i) {
            names.setRecNo(int(rng.bounded(names.recordCount())) + 1);
            keys << names.fieldByName(QStringLiteral("sf"))
                        .asString()
                        .left(1 + int(rng.bounded(6)))
                        .toLower();
        }
        const QString copy = QDir(work).filePath(QStringLiteral("indexed-%1.db").arg(n));
        QFile::remove(copy);
        QFile::copy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")), copy);
        Sqlite indexed(copy);
        sqlite3_exec(indexed.db, "CREATE INDEX nameorder ON material(sf COLLATE NOCASE, id)",
            nullptr, nullptr, nullptr);
        sqlite3_stmt *nearest = indexed.prepare(
            QStringLiteral("SELECT rowid FROM material WHERE sf >= ?1 COLLATE NOCASE "
                           "ORDER BY sf COLLATE NOCASE, id LIMIT 1"));
        auto perCall = [&](Sample s) { return Sample {s.median / calls, s.worst / calls}; };
        const Sample ours = perCall(measure(runs, [&] {
            for (const QString &k : keys) {
                names.findNearest(k);
                names.fieldByName(QStringLiteral("id")).asInteger();
            }
        }));
        const Sample base = perCall(measure(runs, [&] {
            for (const QString &k : keys) {
                const QByteArray key = k.toUtf8();
                sqlite3_reset(nearest);
                sqlite3_bind_text(nearest, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
                if (sqlite3_step(nearest) == SQLITE_ROW)
                    sqlite3_column_int64(nearest, 0);
            }
        }));
        sqlite3_finalize(nearest);
        printRow(QStringLiteral("nearest positioning on NameOrder, per call"), size, ours, base,
            QStringLiteral("indexed sqlite3 lookup (copy with an SQL index)"));

        store::Table walk;
        walk.setDatabaseName(dir);
        walk.setTableName(QStringLiteral("MATERIAL.DB"));
        walk.open();
        const QStringList memos {"occur", "flavor", "applic", "liter", "notes"};
        const Sample walked = measure(runs, [&] {
            qint64 bytes = 0;
            for (walk.first(); !walk.eof(); walk.next()) {
                bytes += walk.fieldByName(QStringLiteral("name")).asString().size();
                for (const QString &m : memos)
                    bytes += walk.fieldByName(m).asBytes().size();
            }
        });
        Sqlite plain(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")));
        const Sample selected = measure(runs, [&] {
            drain(plain.prepare(QStringLiteral(
                "SELECT name, occur, flavor, applic, liter, notes FROM material ORDER BY rowid")));
        });
        printRow(QStringLiteral("walk MATERIAL.DB reading every memo"), size, walked, selected,
            QStringLiteral("sqlite3 SELECT of the same columns"));
    }
}

} // namespace zil::bench
