// Index files of any content beside a sound MATERIAL.DB. Whatever an index
// file holds, reading it never fails, and every order the table then offers
// is the order its index stands for: a damaged index file counts as missing,
// it never orders the records otherwise.
//
// The first byte of an input chooses the file. With bit 3 clear, the rest of
// the input is the file's whole content. With it set, the rest is a list of
// edits to the sound index file made for the table: each five bytes, an
// offset (32 bits, little-endian) and a byte to XOR there; an offset with
// its top bit set cuts the file there instead. The edits reach the body of a
// file whose header names the table as it is, which whole contents cannot.
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/storeerror.h"
#include "store/tablefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlcipher/sqlite3.h>

using namespace zil;

namespace {

QTemporaryDir *s_dir = nullptr;
QString s_table;
// The sound index files and their contents.
QList<QPair<QString, QByteArray>> s_sound;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_indexfile: %s\n", what);
        std::abort();
    }
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a file");
    f.write(data);
}

// Materials whose id order, name order and CAS order all differ; ids are
// numbered in name order, as the maker numbers them.
void makeTable(const QString &path)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK, "cannot create the table");
    const QString create
        = schema::createTableSql(*schema::findTable(QStringLiteral("MATERIAL.DB")));
    // Inserted out of id order, so that the store's own order is none of them.
    const char *rows = "INSERT INTO material (id, name, sf, cas) VALUES"
                       " (3, 'Cedrol', 'cedrol', '77-53-2'),"
                       " (1, 'acetoin', 'acetoin', '513-86-0'),"
                       " (5, 'Vanillin', 'vanillin', '121-33-5'),"
                       " (2, 'Benzaldehyde', 'benzaldehyde', '100-52-7'),"
                       " (4, 'linalool', 'linalool', '78-70-6');";
    check(sqlite3_exec(db, create.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK,
        "cannot create the table");
    check(sqlite3_exec(db, rows, nullptr, nullptr, nullptr) == SQLITE_OK, "cannot fill the table");
    sqlite3_close(db);
}

// Whether an order is a permutation of the records in the sense of its index.
void checkOrder(store::TableFile &file, int index)
{
    const store::IndexOrder &o = file.order(index);
    const qsizetype n = o.size();
    check(n == file.rowCount(), "an order lost or added records");
    std::vector<bool> seen(static_cast<size_t>(n), false);
    QStringList values;
    const int id = file.columnIndex(QStringLiteral("id"));
    const int cas = file.columnIndex(QStringLiteral("cas"));
    for (qsizetype p = 0; p < n; ++p) {
        const quint32 r = o.ordinal(p);
        check(r < seen.size() && !seen[r], "an order holds a record twice");
        seen[r] = true;
        const std::vector<QVariant> row = file.fetchRow(o.rowid(p));
        check(row[size_t(id)].toLongLong() != 0, "an order holds a record the table has not");
        if (o.info.name == QLatin1String("CASOrder"))
            values << row[size_t(cas)].toString().toCaseFolded();
        else
            values << QString::number(row[size_t(id)].toLongLong());
        // A key field read from the order is the record's own.
        QVariant v;
        if (o.value(p, id, v))
            check(v == row[size_t(id)], "an order gives another record's key");
    }
    if (o.info.primary || o.info.name == QLatin1String("NameOrder")
        || o.info.name == QLatin1String("CASOrder")) {
        QStringList expected = values;
        std::sort(expected.begin(), expected.end());
        check(values == expected, "an index gives a wrong order");
    }
}

QByteArray edited(QByteArray file, const uint8_t *edits, size_t size)
{
    for (size_t i = 0; i + 5 <= size && !file.isEmpty(); i += 5) {
        quint32 at = quint32(edits[i]) | quint32(edits[i + 1]) << 8 | quint32(edits[i + 2]) << 16
            | quint32(edits[i + 3]) << 24;
        if (at & 0x80000000u) {
            file.truncate(qsizetype((at & 0x7FFFFFFFu) % quint32(file.size())));
        } else {
            at %= quint32(file.size());
            file[at] = char(file[at] ^ edits[i + 4]);
        }
    }
    return file;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A damaged index file found in use is told of as a warning; the check
    // is what happens after it.
    qInstallMessageHandler(quiet);
    s_dir = new QTemporaryDir;
    s_table = s_dir->filePath(QStringLiteral("MATERIAL.DB"));
    makeTable(s_table);
    for (const schema::IndexDef &i : schema::findTable(QStringLiteral("MATERIAL.DB"))->indexes)
        store::createIndex(s_dir->path(), QStringLiteral("MATERIAL.DB"), i.name,
            i.fields.join(QLatin1Char(';')),
            i.primary ? store::IndexOption::Primary : store::IndexOption::CaseInsensitive);
    for (const QString &name : store::indexFilePaths(s_table)) {
        QFile f(name);
        check(f.open(QIODevice::ReadOnly), "cannot read an index file");
        s_sound << qMakePair(name, f.readAll());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the file the rest replaces or adds.
    static const char *const names[]
        = {"material.px", "material.xg0", "material.xg1", "MATERIAL.XG2", "material.xgz"};
    const QString target = s_dir->filePath(QLatin1String(names[(data[0] & 7) % 5]));
    QByteArray base = s_sound.first().second;
    for (const auto &[path, bytes] : s_sound) {
        writeFile(path, bytes);
        if (path.compare(target, Qt::CaseInsensitive) == 0)
            base = bytes;
    }
    // The table file is never written, so the sound files name it as it is.
    if (data[0] & 8)
        writeFile(target, edited(base, data + 1, size - 1));
    else
        writeFile(
            target, QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));

    store::isIndexFile(target);
    const auto indexes = store::readIndexes(s_table);
    check(indexes.size() <= 4, "more indexes than files");
    // The start-up check agrees with what the reader makes of the files: an
    // index it counts as present is one the reader returns.
    QString why;
    if (store::indexesComplete(s_dir->path(), &why)) {
        for (const schema::IndexDef &i : schema::findTable(QStringLiteral("MATERIAL.DB"))->indexes)
            check(std::any_of(indexes.begin(), indexes.end(),
                      [&](const store::IndexInfo &f) {
                          return i.primary ? f.primary
                                           : f.name.compare(i.name, Qt::CaseInsensitive) == 0;
                      }),
                "an index counted as present that the reader does not return");
    } else {
        check(!why.isEmpty(), "an incomplete set of index files without a reason");
    }
    try {
        auto file = store::TableFile::acquire(s_table, QString(), store::TableFile::Lock::None);
        check(file->rowCount() == 5, "the table lost records");
        for (size_t i = 0; i < file->indexes().size(); ++i)
            checkOrder(*file, int(i));
    } catch (const store::StoreError &) {
        check(false, "a sound table failed to open");
    }
    QFile::remove(target);
    return 0;
}
