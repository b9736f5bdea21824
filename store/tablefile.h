// One open table file, shared by every cursor of the process that reads it:
// the SQLite connection, the columns, and the orders of its indexes, each
// searched in its index file, whose blocks are read into the store's cache.
#pragma once

#include "filenames.h"
#include "indexfile.h"
#include "platform/filelock.h"
#include "platform/filestamp.h"
#include "schema.h"
#include "storeerror.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zil::store {

struct Column
{
    QString name;
    schema::FieldKind kind;
    int size;
};

// A value to compare with the keys of an index: integer or text, already
// case-folded when the index ignores case.
struct KeyValue
{
    bool isInteger = false;
    qint64 integer = 0;
    QString text;
};

class TableFile;

// The order of one index: its entries place by place, each the record it
// belongs to (its rowid, and its ordinal among the table's records in rowid
// order) with the values of the index's fields. An order without fields is
// the store's own order, the records in rowid order. The order is read from
// its index file; one whose file is gone or found damaged is made from the
// table's data instead, so it is always the order its index stands for.
class IndexOrder
{
public:
    IndexInfo info;
    std::vector<int> columns;
    // Whether the schema has the index hold its texts with their letters
    // folded (schema.h). A file made before holds them as they are, with
    // their case folded only; a key taken from a record so matches one form
    // or the other.
    bool foldsLetters = false;

    qsizetype size() const
    {
        return read([](const IndexImage &i) { return qsizetype(i.count()); });
    }
    qint64 rowid(qsizetype place) const
    {
        return read([place](const IndexImage &i) { return i.rowid(quint32(place)); });
    }
    quint32 ordinal(qsizetype place) const
    {
        return read([place](const IndexImage &i) { return i.ordinal(quint32(place)); });
    }
    // Compares the entry at place with a key value on field fieldPos.
    int compare(qsizetype place, int fieldPos, const KeyValue &key) const;
    // Whether the text of field fieldPos at place, as the index holds it,
    // begins with the text of key.
    bool textBegins(qsizetype place, int fieldPos, const KeyValue &key) const;
    // The value of column at place when it is a field of the index and held
    // as it is stored (an integer, or a text of an index that keeps case);
    // false otherwise.
    bool value(qsizetype place, int column, QVariant &value) const;
    bool integer(qsizetype place, int column, qint64 &value) const;
    // ordinal and integer for the n places from first, into out, in one
    // pass; integers is false, and reads nothing, when column is no integer
    // field of the index.
    void ordinals(qsizetype first, qsizetype n, quint32 *out) const;
    bool integers(qsizetype first, qsizetype n, int column, qint64 *out) const;

private:
    friend class TableFile;
    const IndexImage &image() const;
    // The place of column among the index's fields; -1 when it is none.
    int fieldOf(int column) const;
    // Runs f on the image; a damaged block found on the way replaces the
    // file's order by one made from the table, and f runs again on it.
    template<typename F>
    auto read(F &&f) const -> decltype(f(std::declval<const IndexImage &>()));

    TableFile *m_file = nullptr;
    mutable std::shared_ptr<const IndexImage> m_image;
};

class TableFile
{
public:
    enum class Lock { Shared, Exclusive, None };

    // The table file at path, shared with other cursors of the process that
    // have it open; opened and locked when none has. A file already open is
    // re-read when another connection changed it, and *reread tells so.
    // Raises StoreError.
    static std::shared_ptr<TableFile> acquire(
        const QString &path, const QString &lockPath, Lock lock, bool *reread = nullptr);
    ~TableFile();

    // The table files that cursors of this process have open.
    static std::vector<std::shared_ptr<TableFile>> openFiles();

    const QString &path() const { return m_path; }
    // Its directory as the bookkeeping of generations names it.
    const QString &directoryKey() const { return m_directoryKey; }
    // The stamp of the file at its name when it was opened.
    const platform::FileStamp &stamp() const { return m_stamp; }
    const std::vector<Column> &columns() const { return m_columns; }
    int columnIndex(const QString &name) const; // -1 when none
    // The number of records, from the index files when the table has any.
    qsizetype rowCount();

    // The generation the table file is stamped with (the same in the four
    // tables of one database), 0 when it is not stamped.
    qint64 stampGeneration() const { return m_stampGeneration; }
    // The same for the table file at path without opening it as a table;
    // nullopt when it cannot be read (no table, a FIFO, a password missing).
    static std::optional<qint64> readStampGeneration(const QString &path);
    // The identity of the table file as it was opened; index files made from
    // it carry the same.
    const TableIdentity &identity() const { return m_identity; }
    // The same for the table file at path without opening it as a table.
    static std::optional<TableIdentity> readIdentity(const QString &path);

    // Reads the values of columns (by name) of every record of the table file
    // at path, in the order of their places in the file, over a connection of
    // its own and without index files or anything the cursors of the process
    // share, so that a thread of its own may read: row gets the values of one
    // record (each valid until it returns) and returns false to stop the
    // reading. Returns the identity of the file read, which it kept
    // throughout; nullopt when the reading was stopped. Raises StoreError
    // when the file cannot be read as a table with those columns, or changed
    // while it was read (Kind::Changing).
    static std::optional<TableIdentity> scanRecords(const QString &path,
        const std::vector<QByteArray> &columns,
        const std::function<bool(const QByteArrayView *values)> &row);

    // Counts every re-read of the table; cursors compare it to notice that
    // places in the orders have moved.
    quint64 rereadCount() const { return m_rereadCount; }

    // Index 0 is the primary index when the table has one; an order without
    // fields (the store's order) is always available as naturalOrder().
    const std::vector<IndexOrder> &indexes() const { return m_indexes; }
    int findIndex(const QString &name) const; // empty name: primary; -1 when none
    int naturalOrder() const { return int(m_indexes.size()) - 1; }
    const IndexOrder &order(int index);

    // Adds each index the schema declares for the table that no index file
    // gave, its order to be made from the table's data: for a table that is
    // checked before its index files are made.
    void declareIndexes();

    // A key value for field `fieldPos` of an order from a caller's value.
    KeyValue keyValue(const IndexOrder &order, int fieldPos, const QVariant &value) const;

    // The image of an index made from the table's data, as its index file
    // holds it. With unique set, *unique tells whether no two records have
    // the same key. Raises StoreError.
    QByteArray indexImage(const IndexInfo &info, const std::vector<int> &columns, bool *unique);

    // The non-memo values of a record; memo columns read as null.
    std::vector<QVariant> fetchRow(qint64 rowid);
    // The stored bytes of every memo column of a record, by column; the
    // other columns read as empty.
    std::vector<QByteArray> fetchMemos(qint64 rowid);

    // How held bytes are kept: as stored, or with the letters a to z turned
    // to A to Z (every other byte as stored) for scans that compare without
    // regard to the case of those letters and need not fold every text again.
    enum class HeldCase { Stored, UpperAscii };

    // Holds the bytes of the columns for every record in memory, read in one
    // pass over the table, so that a scan of the whole table reads them
    // without a statement per record. They stay until the table is re-read
    // or the column is held the other way. Raises StoreError.
    void holdBytes(const std::vector<int> &columns, HeldCase held = HeldCase::Stored);
    bool holdsBytes(int column) const
    {
        return size_t(column) < m_held.size() && m_held[size_t(column)].loaded;
    }
    bool holdsBytes(int column, HeldCase held) const
    {
        return holdsBytes(column) && m_held[size_t(column)].held == held;
    }
    // The held bytes of a column of a record; valid until the table is
    // re-read.
    QByteArrayView heldBytes(quint32 ordinal, int column) const
    {
        const HeldColumn &h = m_held[size_t(column)];
        if (ordinal >= h.ends.size())
            return {};
        const qsizetype begin = ordinal == 0 ? 0 : h.ends[ordinal - 1];
        return QByteArrayView(h.data.constData() + begin, h.ends[ordinal] - begin);
    }

    // Re-reads the table when its file changed, and its index files; true
    // when anything was re-read. A file of another database generation is
    // only re-read once that generation is accepted for the directory
    // (awaitNewDatabase); until then the old file stays in use and the
    // directory's connections are told (announceDatabaseChange). A file that
    // cannot be read as a whole table is not re-read.
    bool reload();

    // Whether another program wrote into the very file open here since it
    // was opened (a copy over it, an edit in place, a touch). From then on
    // its records read as nothing and bulk reads raise StoreError of kind
    // Changing, until a refresh opens the file anew; the directory's
    // connections are told.
    bool changedUnder();
    // The same as last found, without looking again.
    bool foundChangedUnder() const { return m_changedUnder; }

    // Whether the table file at path holds all the pages its header counts
    // (false while it is still being written); a file whose header cannot
    // tell counts as whole.
    static bool looksWhole(const QString &path);

private:
    TableFile() = default;
    void openConnection();
    void readSchema();
    friend class IndexOrder;
    // With keepOrders, for the same table file: the orders in use stay.
    void readIndexFiles(bool keepOrders);
    void failIfChangedUnder();
    // changedUnder() after a record read, looking at the file only when the
    // read fetched pages from it.
    bool changedUnderRead();
    int pagesReadFromFile() const;
    // Whether an index file describes an index over this table's fields, of
    // their kinds.
    bool fitsColumns(const IndexInfo &info) const;
    // Makes an order from the table's data, in memory.
    void buildOrder(const IndexOrder &order);
    void replaceDamagedOrder(const IndexOrder &order);
    IndexKeys readKeys(const IndexInfo &info, const std::vector<int> &columns);
    // Whether the schema has that index of this table fold the letters of
    // its texts.
    bool foldsLetters(const IndexInfo &info) const;
    // The indexes of the index files, and those in use whose files are gone.
    std::vector<IndexInfo> presentOrKeptIndexes() const;
    // Whether the index files say something other than when they were read.
    // Their directory and their own stamps tell cheaply that nothing changed,
    // so a refresh does not read them again on every change of record.
    bool indexFilesChanged();
    void stampIndexFiles();
    bool tryOpen(const QString *password);
    qint64 dataVersion();
    sqlite3_stmt *prepare(const QString &sql);
    [[noreturn]] void fail(StoreError::Kind kind, const QString &what) const;

    // The bytes of one column for every record, one after the other in the
    // records' order; ends[i] is where record i's bytes end.
    struct HeldColumn
    {
        bool loaded = false;
        HeldCase held = HeldCase::Stored;
        QByteArray data;
        std::vector<qsizetype> ends;
    };
    std::vector<HeldColumn> m_held;

    QString m_path;
    QString m_tableName;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_rowStatement = nullptr;
    sqlite3_stmt *m_memoRowStatement = nullptr;
    std::vector<Column> m_columns;
    qsizetype m_rowCount = -1; // -1 until known
    std::vector<IndexOrder> m_indexes;
    TableIdentity m_identity;
    qint64 m_dataVersion = -1;
    platform::FileStamp m_stamp;
    platform::WatchedFile m_watch;
    bool m_changedUnder = false;
    int m_lookedAtMisses = -1; // pages read from the file when it was last found unchanged
    platform::FileStamp m_indexDirStamp;
    std::vector<std::pair<QString, platform::FileStamp>> m_indexFileStamps; // path, stamp
    quint64 m_rereadCount = 0;
    qint64 m_stampGeneration = 0;
    platform::FileLock m_lock;
    QString m_registryKey;
    QString m_directoryKey;
    // Why the file could not be opened at all, when it could not.
    QString m_openProblem;
};

template<typename F>
auto IndexOrder::read(F &&f) const -> decltype(f(std::declval<const IndexImage &>()))
{
    using Result = decltype(f(std::declval<const IndexImage &>()));
    try {
        return f(image());
    } catch (const IndexDamaged &) {
        // Index files and table copied over the open ones together: the
        // table gives no order either, and reads as nothing until the new
        // database is taken up, so the order in use stays and what it can no
        // longer read counts as nothing as well.
        if (m_file->changedUnder()) {
            if constexpr (std::is_void_v<Result>)
                return;
            else
                return Result {};
        }
        m_file->replaceDamagedOrder(*this);
    }
    try {
        return f(image());
    } catch (const IndexDamaged &) {
        throw StoreError(StoreError::Kind::Corrupt,
            QStringLiteral("The order of index %1 cannot be read").arg(info.name));
    }
}

} // namespace zil::store
