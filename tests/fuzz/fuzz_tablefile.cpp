// Table files of any content, opened and read through cursors as the program
// reads them. The input is tried as each of the four tables in turn, with
// sound index files beside it. A file either fails to open with a StoreError
// or can be walked in every order, each field and memo read.
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <sqlcipher/sqlite3.h>

using namespace zil;

namespace {

QTemporaryDir *s_dir = nullptr;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_tablefile: %s\n", what);
        std::abort();
    }
}

// Walks a cursor over its records, reading everything; bounded, since a table
// may hold many records.
void walk(store::Table &t)
{
    int steps = 0;
    const int count = t.recordCount();
    check(count >= 0, "a negative record count");
    for (t.first(); !t.eof() && steps < 300; t.next(), ++steps) {
        for (const auto &f : t.fields()) {
            f->asString();
            f->asBytes();
            qint32 id;
            f->asId(id);
        }
        check(t.recNo() >= 1 && t.recNo() <= count, "the current record is outside the count");
    }
    t.last();
    for (int i = 0; i < 3 && !t.bof(); ++i)
        t.prior();
    t.findNearest(QStringLiteral("b"));
    t.findKey({QVariant(1)});
    t.setRange(QVariant(1), QVariant(3));
    t.first();
    t.cancelRange();
    for (int r = 1; r <= std::min(count, 5); ++r) {
        for (size_t c = 0; c < t.fields().size(); ++c)
            t.valueAt(r, int(c));
    }
}

void tryTable(const schema::TableDef &def, const QByteArray &bytes)
{
    const QString path = s_dir->filePath(def.fileName);
    {
        QFile f(path);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the table file");
        f.write(bytes);
    }
    for (const schema::IndexDef &index : def.indexes) {
        store::Table t;
        t.setDatabaseName(s_dir->path());
        t.setTableName(def.fileName);
        t.setIndexName(index.primary ? QString() : index.name);
        try {
            t.open();
        } catch (const store::StoreError &) {
            continue;
        }
        try {
            walk(t);
        } catch (const store::StoreError &) {
            // A value that is not what its field holds, read as an error.
        }
        t.close();
    }
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    s_dir = new QTemporaryDir;
    store::Session::instance().addPassword(schema::programPassword());
    // Sound index files for every table; the tables themselves come and go.
    for (const schema::TableDef &def : schema::tables()) {
        sqlite3 *db = nullptr;
        const QString path = s_dir->filePath(def.fileName);
        check(sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK, "cannot create a table");
        check(sqlite3_exec(
                  db, schema::createTableSql(def).toUtf8().constData(), nullptr, nullptr, nullptr)
                == SQLITE_OK,
            "cannot create a table");
        sqlite3_close(db);
    }
    store::indexDatabase(s_dir->path());
    for (const schema::TableDef &def : schema::tables())
        QFile::remove(s_dir->filePath(def.fileName));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const schema::TableDef &def : schema::tables())
        tryTable(def, bytes);
    // A read-only open writes no rollback journal. (A table file in WAL mode
    // gets its shared-memory file from SQLite, which is not a write of data.)
    for (const QString &name : QDir(s_dir->path()).entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String("-journal"))) {
            std::fprintf(stderr, "left behind: %s\n", qPrintable(name));
            check(false, "opening a table left a journal");
        }
    }
    return 0;
}
