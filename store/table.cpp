#include "table.h"

#include "database.h"
#include "datasource.h"
#include "session.h"
#include "storeerror.h"
#include "tablefile.h"
#include "textfold.h"

#include <QDir>
#include <QFileInfo>

namespace zil::store {

namespace {

// The open cursors of the process; a re-read of a table file concerns every
// cursor on that file.
std::vector<Table *> &openCursors()
{
    static std::vector<Table *> cursors;
    return cursors;
}

} // namespace

Table::Table(QObject *parent)
    : QObject(parent)
{ }

Table::~Table()
{
    m_destroying = true;
    close();
    for (DataSource *s : std::as_const(m_sources))
        s->m_table = nullptr;
}

void Table::fail(StoreError::Kind kind, const QString &what) const
{
    throw StoreError(kind, what);
}

void Table::requireActive() const
{
    if (!m_file)
        fail(StoreError::Kind::Usage,
            QStringLiteral("Cannot perform this operation on a closed table (%1)")
                .arg(m_tableName));
}

void Table::requireIndex() const
{
    requireActive();
    if (order().columns.empty())
        fail(StoreError::Kind::Usage,
            QStringLiteral("Table %1 has no index for this operation").arg(m_tableName));
}

void Table::setMasterSource(DataSource *source)
{
    m_master = source;
}

void Table::attachSource(DataSource *source)
{
    if (!m_sources.contains(source))
        m_sources << source;
}

void Table::detachSource(DataSource *source)
{
    m_sources.removeAll(source);
}

QString Table::resolveDirectory()
{
    if (Database *db = Session::instance().findDatabase(m_databaseName)) {
        const QString dir = db->directory();
        m_database = db;
        return dir;
    }
    // A cursor may also name its directory directly instead of a connection.
    if (!m_databaseName.isEmpty() && QFileInfo(m_databaseName).isDir())
        return m_databaseName;
    fail(StoreError::Kind::Missing, QStringLiteral("Unknown database: %1").arg(m_databaseName));
}

void Table::open()
{
    if (m_file)
        return;
    if (m_tableName.isEmpty())
        fail(StoreError::Kind::Usage, QStringLiteral("No table name given"));
    m_database = nullptr;
    const QString dir = resolveDirectory();
    const QString path = findFileNoCase(dir, m_tableName);
    if (path.isEmpty())
        fail(StoreError::Kind::Missing,
            QStringLiteral("Table does not exist: %1")
                .arg(QDir::cleanPath(dir + "/" + m_tableName)));

    bool reread = false;
    std::shared_ptr<TableFile> file = TableFile::acquire(path, lockFileFor(path),
        m_exclusive ? TableFile::Lock::Exclusive : TableFile::Lock::Shared, &reread);

    std::vector<std::unique_ptr<Field>> fields;
    const auto &columns = file->columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        auto f = std::make_unique<Field>(
            this, int(i), columns[i].name, columns[i].kind, columns[i].size);
        // Display labels belong to the declaration and survive a reopen.
        for (const auto &old : m_fields) {
            if (old->fieldName().compare(f->fieldName(), Qt::CaseInsensitive) == 0)
                f->m_label = old->m_label;
        }
        fields.push_back(std::move(f));
    }

    m_file = file;
    m_rereadCount = file->rereadCount();
    try {
        chooseOrder();
    } catch (...) {
        m_file.reset();
        throw;
    }
    m_fields = std::move(fields);
    m_hasRange = false;
    openCursors().push_back(this);
    if (m_database) {
        m_database->attach(this);
        m_database->open();
    }
    if (m_master) {
        m_masterRecord
            = connect(m_master.data(), &DataSource::recordChanged, this, &Table::masterChanged);
        m_masterState
            = connect(m_master.data(), &DataSource::stateChanged, this, &Table::masterChanged);
    }
    applyRange();
    m_pos = -1;
    m_rowid = -1;
    setPosition(m_lo < m_hi ? m_lo : -1);
    m_bof = true;
    m_eof = m_lo >= m_hi;
    announce();
    if (reread)
        othersFollowFile();
}

void Table::close()
{
    if (!m_file)
        return;
    std::erase(openCursors(), this);
    disconnect(m_masterRecord);
    disconnect(m_masterState);
    m_file.reset();
    m_pos = -1;
    m_rowid = -1;
    m_rowLoaded = m_memosLoaded = false;
    m_row.clear();
    m_memos.clear();
    m_lo = m_hi = 0;
    m_eof = m_bof = true;
    if (m_database)
        m_database->detach(this);
    if (!m_destroying)
        announceState();
}

void Table::closeFromDatabase()
{
    m_database = nullptr;
    close();
}

void Table::chooseOrder()
{
    const auto &indexes = m_file->indexes();
    const bool linked = !m_master.isNull() || !m_indexFieldNames.isEmpty();
    int chosen = -1;
    if (linked && m_indexName.isEmpty()) {
        QStringList keys = m_indexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &k : keys)
            k = k.trimmed();
        if (keys.isEmpty())
            fail(StoreError::Kind::Usage,
                QStringLiteral("No key field given for the link of %1").arg(m_tableName));
        auto leading = [&](const IndexOrder &o, bool whole) {
            if (o.info.fields.size() < keys.size()
                || (whole && o.info.fields.size() != keys.size()))
                return false;
            for (qsizetype i = 0; i < keys.size(); ++i) {
                if (o.info.fields[i].compare(keys[i], Qt::CaseInsensitive) != 0)
                    return false;
            }
            return true;
        };
        // The index made of exactly the key fields, else the first one that
        // begins with them, the primary index first.
        for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
            for (size_t i = 0; i + 1 < indexes.size(); ++i) {
                if (leading(indexes[i], pass == 0)) {
                    chosen = int(i);
                    break;
                }
            }
        }
        if (chosen < 0)
            fail(StoreError::Kind::Missing,
                QStringLiteral("No index on %1 for table %2").arg(m_indexFieldNames, m_tableName));
    } else {
        chosen = m_file->findIndex(m_indexName);
        if (chosen < 0) {
            if (!m_indexName.isEmpty())
                fail(StoreError::Kind::Missing,
                    QStringLiteral("Index %1 not found for table %2")
                        .arg(m_indexName, m_tableName));
            // Without a primary index the table reads in the store's order.
            chosen = m_file->naturalOrder();
        }
        if (m_master) {
            const QString key = m_indexFieldNames.section(QLatin1Char(';'), 0, 0).trimmed();
            const IndexOrder &o = indexes[chosen];
            if (o.columns.empty()
                || (!key.isEmpty() && o.info.fields.first().compare(key, Qt::CaseInsensitive) != 0))
                fail(StoreError::Kind::Usage,
                    QStringLiteral("Index %1 of %2 does not fit its link")
                        .arg(m_indexName, m_tableName));
        }
    }
    m_orderIndex = chosen;
    m_orderName = indexes[chosen].info.name;
    m_file->order(chosen);
}

const IndexOrder &Table::order() const
{
    return m_file->order(m_orderIndex);
}

qsizetype Table::lowerBound(const std::vector<KeyValue> &keys) const
{
    const IndexOrder &o = order();
    qsizetype lo = m_lo, hi = m_hi;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        int c = 0;
        for (size_t f = 0; f < keys.size() && c == 0; ++f)
            c = o.compare(mid, int(f), keys[f]);
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

qsizetype Table::upperBound(const KeyValue &key) const
{
    const IndexOrder &o = order();
    qsizetype lo = m_lo, hi = m_hi;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (o.compare(mid, 0, key) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void Table::applyRange()
{
    const IndexOrder &o = order();
    m_lo = 0;
    m_hi = o.size();
    if (m_master) {
        Table *master = m_master->dataSet();
        if (!master || !master->active() || master->isEmpty()) {
            m_hi = 0;
        } else {
            const Field &f = master->fieldByName(m_masterFields);
            const KeyValue key = m_file->keyValue(o, 0, master->value(f.column()));
            const qsizetype lo = lowerBound({key});
            m_hi = upperBound(key);
            m_lo = lo;
        }
    }
    if (m_hasRange && m_lo < m_hi) {
        const KeyValue start = m_file->keyValue(o, 0, m_rangeStart);
        const KeyValue end = m_file->keyValue(o, 0, m_rangeEnd);
        const qsizetype lo = lowerBound({start});
        const qsizetype hi = upperBound(end);
        m_lo = lo;
        m_hi = std::max(lo, hi);
    }
}

void Table::sync() const
{
    if (!m_file || m_rereadCount == m_file->rereadCount())
        return;
    // The table was re-read: places in the orders have moved. Find the
    // active order again, redo the link and range, and find the current
    // record by its row.
    auto *self = const_cast<Table *>(this);
    m_rereadCount = m_file->rereadCount();
    int chosen = m_file->findIndex(m_orderName);
    if (m_orderName == m_file->indexes().back().info.name || chosen < 0)
        chosen = m_file->naturalOrder();
    m_orderIndex = chosen;
    self->applyRange();
    const IndexOrder &o = order();
    qsizetype found = -1;
    for (qsizetype p = m_lo; p < m_hi && m_rowid >= 0; ++p) {
        if (o.rowid(p) == m_rowid) {
            found = p;
            break;
        }
    }
    if (found < 0 && m_lo < m_hi)
        found = std::clamp(m_pos, m_lo, m_hi - 1);
    m_pos = found;
    m_rowid = found >= 0 ? o.rowid(found) : -1;
    m_rowLoaded = m_memosLoaded = false;
}

qsizetype Table::locate(qint64 rowid) const
{
    const IndexOrder &o = order();
    if (o.columns.empty() || rowid < 0)
        return -1;
    // The record's key in this order, from the record itself; then the
    // record among the entries of that key.
    const std::vector<QVariant> row = m_file->fetchRow(rowid);
    // A table another program writes into gives no record to read the key
    // from: the record is looked for by its rowid among the places in view.
    if (m_file->foundChangedUnder()) {
        for (qsizetype p = m_lo; p < m_hi; ++p) {
            if (o.rowid(p) == rowid)
                return p;
        }
        return -1;
    }
    std::vector<QVariant> values;
    for (int column : o.columns)
        values.push_back(row[size_t(column)]);
    for (const std::vector<KeyValue> &keys : keyForms(o, values)) {
        for (qsizetype p = lowerBound(keys); p < m_hi && equalAt(o, keys, p); ++p) {
            if (o.rowid(p) == rowid)
                return p;
        }
    }
    return -1;
}

std::vector<std::vector<KeyValue>> Table::keyForms(
    const IndexOrder &o, const std::vector<QVariant> &values) const
{
    std::vector<std::vector<KeyValue>> forms(o.foldsLetters ? 2 : 1);
    for (size_t f = 0; f < values.size(); ++f) {
        forms[0].push_back(m_file->keyValue(o, int(f), values[f]));
        if (o.foldsLetters)
            forms[1].push_back(forms[0].back().isInteger
                    ? forms[0].back()
                    : m_file->keyValue(o, int(f), foldLetters(values[f].toString())));
    }
    return forms;
}

bool Table::equalAt(const IndexOrder &o, const std::vector<KeyValue> &keys, qsizetype p) const
{
    for (size_t f = 0; f < keys.size(); ++f) {
        if (o.compare(p, int(f), keys[f]) != 0)
            return false;
    }
    return true;
}

void Table::setPosition(qsizetype pos)
{
    m_pos = pos;
    const qint64 rowid = pos >= 0 ? order().rowid(pos) : -1;
    if (rowid != m_rowid)
        m_rowLoaded = m_memosLoaded = false;
    m_rowid = rowid;
}

void Table::notifySources(void (DataSource::*notice)())
{
    // A reaction may attach or detach sources; work on a copy.
    const QList<DataSource *> sources = m_sources;
    for (DataSource *s : sources)
        (s->*notice)();
}

void Table::announce()
{
    notifySources(&DataSource::notifyRecord);
}

void Table::announceState()
{
    notifySources(&DataSource::notifyState);
}

void Table::announceRows()
{
    notifySources(&DataSource::notifyRows);
}

void Table::notifyLayout()
{
    notifySources(&DataSource::notifyLayout);
}

void Table::masterChanged()
{
    if (!m_file)
        return;
    sync();
    applyRange();
    setPosition(m_lo < m_hi ? m_lo : -1);
    m_bof = true;
    m_eof = m_lo >= m_hi;
    announce();
}

void Table::setIndexName(const QString &name)
{
    if (!m_file) {
        m_indexName = name;
        return;
    }
    if (name.compare(m_indexName, Qt::CaseInsensitive) == 0)
        return;
    sync();
    const qint64 before = m_rowid;
    const QString previous = m_indexName;
    const qsizetype pos = m_pos;
    m_indexName = name;
    try {
        chooseOrder();
    } catch (...) {
        m_indexName = previous;
        chooseOrder();
        throw;
    }
    m_hasRange = false;
    applyRange();
    qsizetype found = pos >= 0 ? locate(before) : -1;
    if (found < 0 && m_lo < m_hi)
        found = m_lo;
    setPosition(found);
    m_eof = m_bof = found < 0;
    // The record stays current across a switch, so only the order changed.
    if (m_rowid != before)
        announce();
    else
        announceRows();
}

bool Table::isEmpty() const
{
    requireActive();
    sync();
    return m_lo >= m_hi;
}

void Table::first()
{
    requireActive();
    sync();
    const qint64 before = m_rowid;
    setPosition(m_lo < m_hi ? m_lo : -1);
    m_bof = true;
    m_eof = m_lo >= m_hi;
    if (m_rowid != before)
        announce();
}

void Table::last()
{
    requireActive();
    sync();
    const qint64 before = m_rowid;
    setPosition(m_lo < m_hi ? m_hi - 1 : -1);
    m_eof = true;
    m_bof = m_lo >= m_hi;
    if (m_rowid != before)
        announce();
}

void Table::next()
{
    requireActive();
    sync();
    if (m_pos >= 0 && m_pos + 1 < m_hi) {
        setPosition(m_pos + 1);
        m_eof = m_bof = false;
        announce();
    } else {
        m_eof = true;
        m_bof = m_lo >= m_hi;
    }
}

void Table::prior()
{
    requireActive();
    sync();
    if (m_pos > m_lo) {
        setPosition(m_pos - 1);
        m_eof = m_bof = false;
        announce();
    } else {
        m_bof = true;
        m_eof = m_lo >= m_hi;
    }
}

int Table::recordCount() const
{
    requireActive();
    sync();
    return int(m_hi - m_lo);
}

int Table::recNo() const
{
    requireActive();
    sync();
    return m_pos < 0 ? 0 : int(m_pos - m_lo + 1);
}

void Table::setRecNo(int recNo)
{
    requireActive();
    sync();
    if (m_lo >= m_hi)
        return;
    const qsizetype pos = m_lo + std::clamp<qsizetype>(recNo, 1, m_hi - m_lo) - 1;
    const qint64 before = m_rowid;
    setPosition(pos);
    m_eof = m_bof = false;
    if (m_rowid != before)
        announce();
}

Field &Table::fieldByName(const QString &name)
{
    requireActive();
    for (const auto &f : m_fields) {
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return *f;
    }
    fail(StoreError::Kind::Missing,
        QStringLiteral("Field '%1' not found in %2").arg(name, m_tableName));
}

QVariant Table::value(int column) const
{
    if (!m_file)
        return QVariant();
    sync();
    if (m_pos < 0)
        return QVariant();
    // The fields of the active index are read from its index file: reading
    // them costs no read of the table, so walks that read only ids stay
    // cheap on large tables.
    QVariant cached;
    if (!m_rowLoaded && order().value(m_pos, column, cached))
        return cached;
    if (!m_rowLoaded) {
        m_row = m_file->fetchRow(m_rowid);
        // The nothing that a table being written into reads is not kept:
        // the fields of the index still read from its file, and the record
        // is read again once it can be.
        m_rowLoaded = !m_file->foundChangedUnder();
    }
    return m_row[column];
}

QByteArray Table::bytes(int column) const
{
    if (!m_file)
        return QByteArray();
    sync();
    if (m_pos < 0)
        return QByteArray();
    // The memos of a record are read together: a scan that tests several of
    // them costs one read of the record, not one per memo.
    if (!m_memosLoaded) {
        m_memos = m_file->fetchMemos(m_rowid);
        m_memosLoaded = !m_file->foundChangedUnder();
    }
    return m_memos[column];
}

QVariant Table::valueAt(int recNo, int column) const
{
    if (!m_file || column < 0 || size_t(column) >= m_fields.size())
        return QVariant();
    sync();
    if (recNo < 1 || recNo > m_hi - m_lo)
        return QVariant();
    const qsizetype pos = m_lo + recNo - 1;
    if (pos == m_pos)
        return value(column);
    const IndexOrder &o = order();
    QVariant cached;
    if (o.value(pos, column, cached))
        return cached;
    return m_file->fetchRow(o.rowid(pos))[size_t(column)];
}

void Table::holdBytes(const QStringList &fields, bool upperAscii)
{
    requireActive();
    sync();
    std::vector<int> columns;
    for (const QString &f : fields)
        columns.push_back(fieldByName(f).column());
    m_file->holdBytes(
        columns, upperAscii ? TableFile::HeldCase::UpperAscii : TableFile::HeldCase::Stored);
}

std::vector<qint64> Table::integersInView(int column) const
{
    if (!m_file || column < 0 || size_t(column) >= m_fields.size())
        return {};
    sync();
    std::vector<qint64> values(size_t(m_hi - m_lo));
    // A field that the active index does not hold as an integer is read
    // record by record.
    if (!order().integers(m_lo, m_hi - m_lo, column, values.data())) {
        for (size_t i = 0; i < values.size(); ++i) {
            const QVariant v = valueAt(int(i) + 1, column);
            values[i] = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong()
                                                         : v.toLongLong();
        }
    }
    return values;
}

std::vector<quint32> Table::heldPlacesInView() const
{
    if (!m_file)
        return {};
    sync();
    std::vector<quint32> places(size_t(m_hi - m_lo));
    order().ordinals(m_lo, m_hi - m_lo, places.data());
    return places;
}

QByteArrayView Table::heldBytesOf(quint32 place, int column) const
{
    if (!m_file)
        return {};
    if (column < 0 || size_t(column) >= m_fields.size() || !m_file->holdsBytes(column))
        fail(StoreError::Kind::Usage,
            QStringLiteral("Field %1 of table %2 is not held in memory")
                .arg(column >= 0 && size_t(column) < m_fields.size()
                        ? m_fields[size_t(column)]->fieldName()
                        : QString::number(column),
                    m_tableName));
    return m_file->heldBytes(place, column);
}

bool Table::findKey(const QVariantList &values)
{
    requireIndex();
    sync();
    const IndexOrder &o = order();
    if (values.isEmpty() || values.size() > qsizetype(o.columns.size()))
        fail(StoreError::Kind::Usage,
            QStringLiteral("Wrong number of key values for %1").arg(m_tableName));
    const std::vector<QVariant> given(values.begin(), values.end());
    qsizetype p = -1;
    for (const std::vector<KeyValue> &keys : keyForms(o, given)) {
        if (const qsizetype at = lowerBound(keys); at < m_hi && equalAt(o, keys, at)) {
            p = at;
            break;
        }
    }
    if (p < 0)
        return false;
    const qint64 before = m_rowid;
    setPosition(p);
    m_eof = m_bof = false;
    if (m_rowid != before)
        announce();
    return true;
}

void Table::findNearest(const QVariant &value)
{
    requireIndex();
    sync();
    if (m_lo >= m_hi)
        return;
    const KeyValue key = m_file->keyValue(order(), 0, value);
    qsizetype p = lowerBound({key});
    if (p >= m_hi)
        p = m_hi - 1;
    const qint64 before = m_rowid;
    setPosition(p);
    m_eof = m_bof = false;
    if (m_rowid != before)
        announce();
}

void Table::findNearestName(const QString &text)
{
    requireIndex();
    sync();
    const QString folded = foldLetters(text);
    if (folded != text && m_lo < m_hi) {
        const KeyValue key = m_file->keyValue(order(), 0, text);
        const qsizetype p = lowerBound({key});
        if (p < m_hi && order().textBegins(p, 0, key)) {
            findNearest(text);
            return;
        }
    }
    findNearest(folded);
}

void Table::setRange(const QVariant &start, const QVariant &end)
{
    requireIndex();
    sync();
    m_hasRange = true;
    m_rangeStart = start;
    m_rangeEnd = end;
    applyRange();
    setPosition(m_lo < m_hi ? m_lo : -1);
    m_bof = true;
    m_eof = m_lo >= m_hi;
    announce();
}

void Table::cancelRange()
{
    requireActive();
    sync();
    if (!m_hasRange)
        return;
    const qsizetype pos = m_pos;
    m_hasRange = false;
    applyRange();
    qsizetype found = pos >= 0 ? locate(m_rowid) : -1;
    if (found < 0 && m_lo < m_hi)
        found = m_lo;
    setPosition(found);
    m_eof = m_bof = found < 0;
    announce();
}

void Table::refresh()
{
    requireActive();
    const bool reread = m_file->reload();
    followFile();
    if (reread)
        othersFollowFile();
}

void Table::othersFollowFile()
{
    // The other cursors on the file see the new rows as well; each announces
    // it, so that the grids and fields that show them follow. A notice may
    // close or delete a cursor, so each is checked before it is told.
    const std::shared_ptr<TableFile> file = m_file;
    QList<QPointer<Table>> others;
    for (Table *t : openCursors())
        if (t != this && t->m_file == file)
            others << t;
    for (const QPointer<Table> &t : std::as_const(others))
        if (t && t->m_file == file)
            t->followFile();
}

void Table::followFile()
{
    sync();
    m_rowLoaded = m_memosLoaded = false;
    if (m_pos < 0 && m_lo < m_hi)
        setPosition(m_lo);
    m_eof = m_lo >= m_hi;
    announce();
}

} // namespace zil::store
