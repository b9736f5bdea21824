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
// file whose header names the table as it is.
//
// The table is made alike in every run, its modification time included, so
// a whole index file kept as a seed names it as it is and its order is read
// too. Those seeds (sound-*, and variants each named for what is wrong with
// it) are remade after a change of the index format with
//   fuzz_indexfile --write-seeds tests/fuzz/corpus/indexfile
// which also replays them and fails when a sound one no longer reaches the
// body; `fuzz_indexfile --check-seeds DIR` only replays them. The seeds px,
// xg*-* and xgz-other-table are index files of an earlier text format, which
// the reader refuses like any other foreign content.
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/storeerror.h"
#include "store/tablefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The modification time every table file of the target is given.
const QDateTime tableTime = QDateTime::fromSecsSinceEpoch(1700000000);

// A table file made by the SQL statements create and fill, with the given
// modification time.
void makeTable(
    const QString &path, const QString &create, const char *fill, const QDateTime &modified)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK, "cannot create the table");
    check(sqlite3_exec(db, create.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK,
        "cannot create the table");
    check(sqlite3_exec(db, fill, nullptr, nullptr, nullptr) == SQLITE_OK, "cannot fill the table");
    sqlite3_close(db);
    QFile f(path);
    check(
        f.open(QIODevice::ReadWrite) && f.setFileTime(modified, QFileDevice::FileModificationTime),
        "cannot set the time of the table");
}

// Materials whose id order, name order and CAS order all differ; ids are
// numbered in name order, as the maker numbers them.
void makeMaterials(const QString &path, const QDateTime &modified)
{
    // Inserted out of id order, so that the store's own order is none of them.
    makeTable(path, schema::createTableSql(*schema::findTable(QStringLiteral("MATERIAL.DB"))),
        "INSERT INTO material (id, name, sf, cas) VALUES"
        " (3, 'Cedrol', 'cedrol', '77-53-2'),"
        " (1, 'acetoin', 'acetoin', '513-86-0'),"
        " (5, 'Vanillin', 'vanillin', '121-33-5'),"
        " (2, 'Benzaldehyde', 'benzaldehyde', '100-52-7'),"
        " (4, 'linalool', 'linalool', '78-70-6');",
        modified);
}

// Makes every index of the table file at path and returns the index files
// with their contents.
QList<QPair<QString, QByteArray>> makeIndexes(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    for (const schema::IndexDef &i : schema::findTable(name)->indexes)
        store::createIndex(QFileInfo(path).absolutePath(), name, i.name,
            i.fields.join(QLatin1Char(';')),
            i.primary ? store::IndexOption::Primary : store::IndexOption::CaseInsensitive);
    QList<QPair<QString, QByteArray>> files;
    for (const QString &file : store::indexFilePaths(path)) {
        QFile f(file);
        check(f.open(QIODevice::ReadOnly), "cannot read an index file");
        files << qMakePair(file, f.readAll());
    }
    return files;
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
        // A key field read from the order is the record's own, and so is
        // the key that searches compare with.
        QVariant v;
        if (o.value(p, id, v))
            check(v == row[size_t(id)], "an order gives another record's key");
        if (!o.columns.empty())
            check(o.compare(p, 0, file.keyValue(o, 0, row[size_t(o.columns[0])])) == 0,
                "an order compares a record's own key as another");
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

// The files an input's first byte chooses among.
const char *const targetNames[]
    = {"material.px", "material.xg0", "material.xg1", "MATERIAL.XG2", "material.xgz"};

// How far one input got: how many orders of the table were read from the
// body of their index file, and how many of those found a block damaged.
struct Reach
{
    int fromBody = 0;
    int damaged = 0;
};

Reach runInput(const uint8_t *data, size_t size)
{
    Reach reach;
    if (size < 1)
        return reach;
    // The first byte chooses the file the rest replaces or adds.
    const QString target = s_dir->filePath(QLatin1String(targetNames[(data[0] & 7) % 5]));
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
        for (size_t i = 0; i < file->indexes().size(); ++i) {
            checkOrder(*file, int(i));
            // An order whose file matched its table was read from the file's
            // body, block by block.
            const auto &image = file->indexes()[i].info.image;
            if (image && image->checkedBytes() > 0) {
                ++reach.fromBody;
                reach.damaged += image->verifyAll() ? 0 : 1;
            }
        }
    } catch (const store::StoreError &) {
        check(false, "a sound table failed to open");
    }
    QFile::remove(target);
    return reach;
}

// A whole-file seed: the file's number among targetNames, then its content.
QByteArray seed(int file, const QByteArray &content)
{
    return char(file) + content;
}

// The seeds in the current format, each with how far it must get: the sound
// index files of the table, and files that a sound one must not be taken
// for. Every order has a file (three in all) unless the seed takes one away.
struct Seed
{
    const char *name;
    QByteArray input;
    Reach reach;
};

std::vector<Seed> currentSeeds()
{
    const auto sound = [](const char *suffix) {
        for (const auto &[path, bytes] : s_sound) {
            if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
                return bytes;
        }
        check(false, "a sound index file is missing");
        return QByteArray();
    };
    const QByteArray px = sound(".px"), xg0 = sound(".xg0"), xg1 = sound(".xg1");

    // The same materials in a table file of another time: its index files
    // name a table that is not this one.
    QTemporaryDir other;
    const QString otherMaterials = other.filePath(QStringLiteral("MATERIAL.DB"));
    makeMaterials(otherMaterials, tableTime.addSecs(1));
    QByteArray stale;
    for (const auto &[path, bytes] : makeIndexes(otherMaterials)) {
        if (path.endsWith(QLatin1String(".xg1"), Qt::CaseInsensitive))
            stale = bytes;
    }
    // An index of the supplier table.
    const QString suppliers = other.filePath(QStringLiteral("SUPPLIER.DB"));
    makeTable(suppliers, schema::createTableSql(*schema::findTable(QStringLiteral("SUPPLIER.DB"))),
        "INSERT INTO supplier (id, name) VALUES (2, 'Birch & Co'), (1, 'Acme');", tableTime);
    QByteArray supplierIndex;
    for (const auto &[path, bytes] : makeIndexes(suppliers)) {
        if (path.endsWith(QLatin1String(".xg0"), Qt::CaseInsensitive))
            supplierIndex = bytes;
    }
    check(!stale.isEmpty() && !supplierIndex.isEmpty(), "cannot make the other index files");

    // The body fills the file to its end: its last byte is the body's.
    QByteArray flipped = xg1;
    flipped[flipped.size() - 1] = char(flipped.back() ^ 1);
    const QByteArray cut = xg0.left(xg0.size() - 8);

    return {
        {"sound-px", seed(0, px), {3, 0}},
        {"sound-xg0-cas", seed(1, xg0), {3, 0}},
        {"sound-xg1-name", seed(2, xg1), {3, 0}},
        // A second file of NameOrder: the first one keeps the index.
        {"sound-xg1-copied-to-xg2", seed(3, xg1), {3, 0}},
        {"stale-xg1-other-table-time", seed(2, stale), {2, 0}},
        {"other-table-supplier-xg0", seed(1, supplierIndex), {2, 0}},
        {"other-index-xg0-as-xg1", seed(2, xg0), {2, 0}},
        // The header and its checksum are sound; one block of the body is not.
        {"damaged-body-block-xg1", seed(2, flipped), {3, 1}},
        {"cut-in-body-xg0", seed(1, cut), {2, 0}},
    };
}

void writeSeeds(const QString &dir)
{
    QDir().mkpath(dir);
    for (const Seed &s : currentSeeds())
        writeFile(QDir(dir).filePath(QLatin1String(s.name)), s.input);
}

// Replays the seeds of the current format kept in dir; false when one is
// missing or does not get as far as it must.
bool checkSeeds(const QString &dir)
{
    bool ok = true;
    for (const Seed &s : currentSeeds()) {
        QFile f(QDir(dir).filePath(QLatin1String(s.name)));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "fuzz_indexfile: seed %s is missing\n", s.name);
            ok = false;
            continue;
        }
        const QByteArray input = f.readAll();
        const Reach r
            = runInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
        const bool asMade = input == s.input;
        std::fprintf(stderr,
            "fuzz_indexfile: seed %s: %d orders read from the body, %d damaged%s\n", s.name,
            r.fromBody, r.damaged, asMade ? "" : " (differs from the seed made now)");
        if (r.fromBody != s.reach.fromBody || r.damaged != s.reach.damaged || !asMade) {
            std::fprintf(stderr,
                "fuzz_indexfile: seed %s should read %d orders from the body, %d "
                "damaged: remake the seeds with --write-seeds\n",
                s.name, s.reach.fromBody, s.reach.damaged);
            ok = false;
        }
    }
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // A damaged index file found in use is told of as a warning; the check
    // is what happens after it.
    qInstallMessageHandler(quiet);
    s_dir = new QTemporaryDir;
    s_table = s_dir->filePath(QStringLiteral("MATERIAL.DB"));
    makeMaterials(s_table, tableTime);
    s_sound = makeIndexes(s_table);
    for (int i = 1; i + 1 < *argc; ++i) {
        const bool write = std::strcmp((*argv)[i], "--write-seeds") == 0;
        if (write || std::strcmp((*argv)[i], "--check-seeds") == 0) {
            const QString dir = QString::fromLocal8Bit((*argv)[i + 1]);
            if (write)
                writeSeeds(dir);
            std::exit(checkSeeds(dir) ? 0 : 1);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    runInput(data, size);
    return 0;
}
