// A cursor on one table of a database: its own current record, active index,
// master link and key range. The program only reads through it.
#pragma once

#include "datasource.h"
#include "field.h"
#include "storeerror.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <memory>
#include <vector>

namespace zil::store {

class DataSource;
class Database;
class TableFile;
class IndexOrder;
struct KeyValue;

class Table : public QObject
{
    Q_OBJECT
public:
    explicit Table(QObject *parent = nullptr);
    ~Table() override;

    // Declaration; changed only while the cursor is closed, except IndexName.
    void setDatabaseName(const QString &name) { m_databaseName = name; }
    const QString &databaseName() const { return m_databaseName; }
    void setTableName(const QString &name) { m_tableName = name; }
    const QString &tableName() const { return m_tableName; }
    void setIndexFieldNames(const QString &fields) { m_indexFieldNames = fields; }
    const QString &indexFieldNames() const { return m_indexFieldNames; }
    void setMasterSource(DataSource *source);
    DataSource *masterSource() const { return m_master; }
    void setMasterFields(const QString &field) { m_masterFields = field; }
    const QString &masterFields() const { return m_masterFields; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool readOnly() const { return m_readOnly; }
    void setExclusive(bool exclusive) { m_exclusive = exclusive; }
    bool exclusive() const { return m_exclusive; }

    // The active index by name, empty for the primary index. On an open
    // cursor the current record stays current and the key range is dropped.
    void setIndexName(const QString &name);
    const QString &indexName() const { return m_indexName; }

    // Opening an open cursor does nothing; a failure raises StoreError.
    void open();
    void close();
    bool active() const { return m_file != nullptr; }
    // The table file open, null while the cursor is closed.
    const TableFile *tableFile() const { return m_file.get(); }

    void first();
    void next();
    void prior();
    void last();
    // Set on an empty cursor, by last() and by a move past the last record.
    bool eof() const { return m_eof; }
    // Set on an empty cursor, by first() and by a move before the first record.
    bool bof() const { return m_bof; }
    bool isEmpty() const;

    // Records in view: on a linked cursor those of the master's record, within
    // the key range when one is set.
    int recordCount() const;
    // 1-based place of the current record among those in view; 0 when empty.
    int recNo() const;
    void setRecNo(int recNo);

    // Field by name, case ignored; raises when there is none.
    Field &fieldByName(const QString &name);
    const std::vector<std::unique_ptr<Field>> &fields() const { return m_fields; }

    // Exact lookup on the leading fields of the active index; true makes the
    // record current, false leaves the current record as it was.
    bool findKey(const QVariantList &values);
    // The first record whose first key field is not less than value (case
    // ignored on a case-insensitive index); the last record when none is.
    void findNearest(const QVariant &value);
    // findNearest for a name as a user types it, on an index of names whose
    // keys hold them with their letters folded (foldLetters, textfold.h): the
    // sort keys of a database the maker makes now, the supplier names of an
    // index made now. The text is looked up with its letters folded too,
    // "Crème" as "Creme". Where a key in view begins with the text as typed,
    // as the keys of a database made by an earlier maker keep their accents,
    // it is looked up as typed.
    void findNearestName(const QString &text);
    // Only records whose first key field lies between start and end
    // inclusive, then the first of them.
    void setRange(const QVariant &start, const QVariant &end);
    void cancelRange();

    // Re-reads the table, so that changes made by other processes show; the
    // current record stays current when it still exists.
    void refresh();

    // Data sources on this cursor, in the order of creation.
    const QList<DataSource *> &dataSources() const { return m_sources; }

    // What Field reads: a field's value, and the stored bytes of a memo.
    QVariant value(int column) const;
    QByteArray bytes(int column) const;

    // The value of a field of the recNo-th record in view (1-based), read
    // without moving the cursor and without any notice, so that a grid can
    // draw its rows; null outside the records in view. Memo fields read as
    // null.
    QVariant valueAt(int recNo, int column) const;

    // Holds the bytes of the named fields of every record in memory, read in
    // one pass, until the table file is re-read: for scans that test texts
    // of every record. With upperAscii the letters a to z are held as A to
    // Z. Raises StoreError.
    void holdBytes(const QStringList &fields, bool upperAscii = false);

    // For a scan of every record in view, read in one pass without moving
    // the cursor and without any notice, the recNo-th record at
    // [recNo - 1]: the value of a field of each record as a 64-bit integer
    // (a field of the active index from its index file, without a value
    // object; any other as valueAt reads it, a text with its blanks
    // trimmed), and where each record's bytes lie among the held ones.
    // Valid until the cursor or its table file is read again.
    std::vector<qint64> integersInView(int column) const;
    std::vector<quint32> heldPlacesInView() const;
    // The stored bytes of a held field at a place that heldPlacesInView
    // gave; valid as long as the place. Raises StoreError when the field is
    // not held.
    QByteArrayView heldBytesOf(quint32 place, int column) const;

private:
    friend class DataSource;
    friend class Database;
    friend class Field;
    void attachSource(DataSource *source);
    void detachSource(DataSource *source);
    void masterChanged();
    void closeFromDatabase();
    // Takes up a re-read of the table file and announces the current record.
    void followFile();
    // After a re-read of the table file: every other cursor on it follows.
    void othersFollowFile();

    QString resolveDirectory();
    const IndexOrder &order() const;
    void chooseOrder();
    void applyRange();
    void sync() const;
    void setPosition(qsizetype pos);
    // The place of the record with rowid in the active order; -1 when it
    // is not among the records in view.
    qsizetype locate(qint64 rowid) const;
    // The keys of o for values of its leading fields, in each form its
    // entries may hold them: as they are, and on an index that folds letters
    // also with their texts' letters folded, as an index made now holds them
    // (tablefile.h).
    std::vector<std::vector<KeyValue>> keyForms(
        const IndexOrder &o, const std::vector<QVariant> &values) const;
    // Whether the entry at place p of o equals keys on every field keys has.
    bool equalAt(const IndexOrder &o, const std::vector<KeyValue> &keys, qsizetype p) const;
    qsizetype lowerBound(const std::vector<KeyValue> &keys) const;
    qsizetype upperBound(const KeyValue &key) const;
    void notifySources(void (DataSource::*notice)());
    void announce();
    void announceState();
    void announceRows();
    void notifyLayout();
    void requireActive() const;
    void requireIndex() const;
    [[noreturn]] void fail(StoreError::Kind kind, const QString &what) const;

    QString m_databaseName;
    QString m_tableName;
    QString m_indexName;
    QString m_indexFieldNames;
    QPointer<DataSource> m_master;
    QString m_masterFields;
    bool m_readOnly = false;
    bool m_exclusive = false;
    bool m_destroying = false;

    QPointer<Database> m_database;
    std::shared_ptr<TableFile> m_file;
    QList<DataSource *> m_sources;
    std::vector<std::unique_ptr<Field>> m_fields;
    QMetaObject::Connection m_masterRecord;
    QMetaObject::Connection m_masterState;

    // The active order is m_orderName of the file's indexes; [m_lo, m_hi) are
    // the places in it in view after the master link and the key range.
    QString m_orderName;
    mutable int m_orderIndex = -1;
    mutable quint64 m_rereadCount = 0; // the file's rereadCount() when it was last followed
    mutable qsizetype m_lo = 0;
    mutable qsizetype m_hi = 0;
    bool m_hasRange = false;
    QVariant m_rangeStart;
    QVariant m_rangeEnd;
    mutable qsizetype m_pos = -1; // place in the order, -1 when nothing is current
    mutable qint64 m_rowid = -1;
    bool m_eof = true;
    bool m_bof = true;
    mutable bool m_rowLoaded = false;
    mutable std::vector<QVariant> m_row;
    mutable bool m_memosLoaded = false;
    mutable std::vector<QByteArray> m_memos;
};

} // namespace zil::store
