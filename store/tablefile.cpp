#include "tablefile.h"

#include "fileformat.h"
#include "generation.h"
#include "platform/files.h"
#include "session.h"
#include "storeerror.h"
#include "tablekey.h"
#include "textfold.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <sqlcipher/sqlite3.h>

namespace zil::store {

namespace {

QHash<QString, std::weak_ptr<TableFile>> &registry()
{
    static QHash<QString, std::weak_ptr<TableFile>> files;
    return files;
}

QString quoted(const QString &identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString textOf(sqlite3_stmt *stmt, int col)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt, col)) : QString();
}

schema::FieldKind kindOfDeclaredType(const QString &type)
{
    const QString t = type.toUpper();
    if (t.contains(QLatin1String("INT")))
        return schema::FieldKind::Integer;
    if (t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("BLOB"))
        || t.contains(QLatin1String("MEMO")))
        return schema::FieldKind::Memo;
    return schema::FieldKind::Text;
}

int sizeOfDeclaredType(const QString &type)
{
    const qsizetype open = type.indexOf(QLatin1Char('('));
    const qsizetype close = type.indexOf(QLatin1Char(')'));
    if (open >= 0 && close > open) {
        bool ok = false;
        const int n = type.mid(open + 1, close - open - 1).trimmed().toInt(&ok);
        if (ok && n > 0)
            return n;
    }
    return 255;
}

// The name of the one table that the table file at path holds, named as
// the file in any case; empty, with *problem saying why, when the file holds
// no such table or anything else than it and the indexes SQLite makes
// itself (a view or trigger would run SQL stored in the file).
QString tableOfFile(sqlite3 *db, const QString &path, QString *problem)
{
    const QString fileName = QFileInfo(path).fileName();
    const QString wanted = fileName.section(QLatin1Char('.'), 0, 0).toLower();
    QString table, unexpected;
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT type, name, tbl_name FROM sqlite_master", -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        const QString type = textOf(stmt, 0);
        const QString name = textOf(stmt, 1);
        const QString owner = textOf(stmt, 2);
        if (type == QLatin1String("table") && name.compare(wanted, Qt::CaseInsensitive) == 0) {
            table = name;
        } else if (type == QLatin1String("index")
            && name.startsWith(QLatin1String("sqlite_autoindex_"))
            && owner.compare(wanted, Qt::CaseInsensitive) == 0) {
            // Made by SQLite itself for a UNIQUE column; harmless.
        } else if (unexpected.isEmpty()) {
            unexpected = QStringLiteral("unexpected %1 \"%2\"").arg(type, name);
        }
    }
    sqlite3_finalize(stmt);
    if (!unexpected.isEmpty())
        *problem = QStringLiteral("Table %1 is corrupted: %2").arg(fileName, unexpected);
    else if (table.isEmpty())
        *problem = QStringLiteral("Table %1 is corrupted: it holds no table \"%2\"")
                       .arg(fileName, wanted);
    return problem->isEmpty() ? table : QString();
}

// Opens a table file for reading only. The file is taken as unchanging
// while it is open: SQLite then creates no side file beside it (no -wal,
// -shm or -journal, also for a table kept in WAL mode) and takes no lock;
// a file replaced or written meanwhile is noticed by its stamp and opened
// again. A FIFO or device is refused before SQLite could block on it.
// A path longer than SQLite takes is opened under a short name for the same
// file; *problem, when given, says why a file could not be opened at all.
sqlite3 *openReadOnly(const QString &path, QString *problem = nullptr)
{
    if (!platform::isRegularFile(path, true)) {
        if (problem)
            *problem = QStringLiteral("it is no regular file");
        return nullptr;
    }
    const platform::OpenablePath name(path);
    if (name.name().isEmpty()) {
        if (problem)
            *problem = platform::systemErrorText(name.error());
        return nullptr;
    }
    const QByteArray uri
        = "file:" + QUrl::toPercentEncoding(QFile::decodeName(name.name()), "/") + "?immutable=1";
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uri.constData(), &db,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr)
        != SQLITE_OK) {
        if (problem)
            *problem = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

bool applyKey(sqlite3 *db, const QString &password)
{
    return sqlite3_exec(db, tableKeyPragma(password).constData(), nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

qint64 pragmaValue(sqlite3 *db, const char *pragma, bool *ok)
{
    sqlite3_stmt *stmt = nullptr;
    qint64 v = 0;
    *ok = sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW;
    if (*ok)
        v = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return v;
}

// The generation a table file is stamped with, 0 when it is not stamped as
// a table of this program; nullopt when the header cannot be read.
std::optional<qint64> stampOf(sqlite3 *db)
{
    bool ok = false;
    const qint64 application = pragmaValue(db, "PRAGMA application_id", &ok);
    if (!ok)
        return std::nullopt;
    const qint64 generation = pragmaValue(db, "PRAGMA user_version", &ok);
    if (!ok)
        return std::nullopt;
    return application == tableApplicationId ? generation : 0;
}

} // namespace

std::optional<qint64> TableFile::readStampGeneration(const QString &path)
{
    // Tried as opening tries: plain first, then with each registered password.
    QStringList keys {QString()};
    keys += Session::instance().passwords();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        sqlite3 *db = openReadOnly(path);
        if (!db)
            return std::nullopt;
        std::optional<qint64> stamp;
        if (i == 0 || applyKey(db, keys[i]))
            stamp = stampOf(db);
        sqlite3_close(db);
        if (stamp)
            return stamp;
    }
    return std::nullopt;
}

namespace {

// SQLite's file change counter, bytes 24 to 27 of the file's header (for a
// protected table the bytes there, which change as the page changes).
quint32 changeCounterOf(const QString &path)
{
    const std::optional<QByteArray> head = platform::readRegularFile(path, 28, true);
    if (!head || head->size() < 28)
        return 0;
    const auto *p = reinterpret_cast<const uchar *>(head->constData()) + 24;
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

} // namespace

std::optional<TableIdentity> TableFile::readIdentity(const QString &path)
{
    const platform::FileStamp stamp = platform::fileStamp(path);
    const std::optional<qint64> generation = readStampGeneration(path);
    if (!generation || !stamp.exists)
        return std::nullopt;
    return TableIdentity {stamp.size, stamp.modifiedNs, *generation, changeCounterOf(path)};
}

std::optional<TableIdentity> TableFile::scanRecords(const QString &path,
    const std::vector<QByteArray> &columns,
    const std::function<bool(const QByteArrayView *values)> &row)
{
    const QString name = QFileInfo(path).fileName();
    const std::optional<TableIdentity> before = readIdentity(path);
    if (!before)
        throw StoreError(
            StoreError::Kind::Corrupt, QStringLiteral("Cannot read table %1").arg(name));
    // Opened as a cursor opens it: plain first, then with each password.
    sqlite3 *db = nullptr;
    QStringList keys {QString()};
    keys += Session::instance().passwords();
    for (qsizetype i = 0; i < keys.size() && !db; ++i) {
        db = openReadOnly(path);
        if (!db)
            break;
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
        if ((i > 0 && !applyKey(db, keys[i]))
            || sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr) != SQLITE_OK
            || sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
                != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
        }
    }
    if (!db)
        throw StoreError(
            StoreError::Kind::Corrupt, QStringLiteral("Cannot read table %1").arg(name));
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> connection(db, sqlite3_close);

    QString problem;
    const QString table = tableOfFile(db, path, &problem);
    if (table.isEmpty())
        throw StoreError(StoreError::Kind::Corrupt, problem);
    QStringList select;
    for (const QByteArray &c : columns)
        select << quoted(QString::fromUtf8(c));
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                               .arg(select.join(QLatin1Char(',')), quoted(table))
                               .toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        throw StoreError(StoreError::Kind::Corrupt,
            QStringLiteral("Table %1 cannot be read: %2")
                .arg(name, QString::fromUtf8(sqlite3_errmsg(db))));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(stmt, sqlite3_finalize);
    std::vector<QByteArrayView> values(columns.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const auto *text = sqlite3_column_text(stmt, int(c));
            values[c] = QByteArrayView(reinterpret_cast<const char *>(text),
                text ? sqlite3_column_bytes(stmt, int(c)) : 0);
        }
        if (!row(values.data()))
            return std::nullopt;
    }
    if (rc != SQLITE_DONE)
        throw StoreError(StoreError::Kind::Corrupt,
            QStringLiteral("Table %1 cannot be read: %2")
                .arg(name, QString::fromUtf8(sqlite3_errmsg(db))));
    // Opened as unchanging: a file written into or replaced meanwhile may
    // have been read half old, half new, and is not taken.
    if (readIdentity(path) != before)
        throw StoreError(StoreError::Kind::Changing,
            QStringLiteral("Table %1 changed while it was read").arg(name));
    return before;
}

std::vector<std::shared_ptr<TableFile>> TableFile::openFiles()
{
    std::vector<std::shared_ptr<TableFile>> open;
    for (const std::weak_ptr<TableFile> &weak : std::as_const(registry())) {
        if (auto file = weak.lock())
            open.push_back(std::move(file));
    }
    return open;
}

std::shared_ptr<TableFile> TableFile::acquire(
    const QString &path, const QString &lockPath, Lock lock, bool *reread)
{
    if (reread)
        *reread = false;
    const QString key = QFileInfo(path).canonicalFilePath();
    if (lock == Lock::Shared) {
        if (auto existing = registry().value(key).lock()) {
            // A cursor opened now reads the table as it is now.
            const bool changed = existing->reload();
            if (reread)
                *reread = changed;
            return existing;
        }
    }
    std::shared_ptr<TableFile> file(new TableFile);
    file->m_path = path;
    file->m_directoryKey = store::directoryKey(QFileInfo(path).absolutePath());
    const QString name = QFileInfo(path).fileName();
    if (lock != Lock::None) {
        auto result = lock == Lock::Shared ? file->m_lock.lockShared(lockPath)
                                           : file->m_lock.lockExclusive(lockPath);
        // Another workstation may hold the table exclusively for a moment
        // (adding an index, or only testing whether the table is in use):
        // reading waits for that briefly before it gives up.
        QElapsedTimer waited;
        waited.start();
        while (lock == Lock::Shared && result == platform::LockResult::Busy
            && waited.elapsed() < 3000) {
            QThread::msleep(50);
            result = file->m_lock.lockShared(lockPath);
        }
        if (result == platform::LockResult::Busy) {
            file->fail(StoreError::Kind::Busy,
                lock == Lock::Shared
                    ? QStringLiteral("Table %1 is in exclusive use by another user").arg(name)
                    : QStringLiteral("Table %1 is open by another user").arg(name));
        }
        // A database on a medium the workstation cannot write to cannot hold
        // lock files; reading it still works, so only exclusive use fails.
        if (result == platform::LockResult::Unavailable && lock == Lock::Exclusive)
            file->fail(StoreError::Kind::IO,
                QStringLiteral("Cannot lock table %1 for exclusive use").arg(name));
    }
    file->openConnection();
    if (lock == Lock::Shared) {
        file->m_registryKey = key;
        registry().insert(key, file);
    }
    return file;
}

TableFile::~TableFile()
{
    if (!m_registryKey.isEmpty()) {
        auto it = registry().find(m_registryKey);
        if (it != registry().end() && it->expired())
            registry().erase(it);
    }
    sqlite3_finalize(m_rowStatement);
    sqlite3_finalize(m_memoRowStatement);
    sqlite3_close(m_db);
}

void TableFile::fail(StoreError::Kind kind, const QString &what) const
{
    throw StoreError(kind, what);
}

bool TableFile::tryOpen(const QString *password)
{
    // The statements of the previous connection go first: SQLite does not
    // close a connection that still has statements, and a statement left
    // behind would go on reading the file as it was.
    sqlite3_finalize(m_rowStatement);
    m_rowStatement = nullptr;
    sqlite3_finalize(m_memoRowStatement);
    m_memoRowStatement = nullptr;
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    m_db = openReadOnly(m_path, &m_openProblem);
    if (!m_db)
        return false;
    if (password && !applyKey(m_db, *password))
        return false;
    // Nothing stored in a table file may run as SQL: triggers are off, the
    // connection writes nothing, and the schema is checked before any use.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_exec(m_db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    // Room for the pages of a walk over a large table's records.
    sqlite3_exec(m_db, "PRAGMA cache_size = -8192", nullptr, nullptr, nullptr);
    if (sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
        == SQLITE_OK)
        return true;
    // A file that is no table, or a protected one without its password, says
    // so; any other failure is the reason the file cannot be read.
    const int code = sqlite3_errcode(m_db);
    if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT)
        m_openProblem = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

void TableFile::openConnection()
{
    const QString name = QFileInfo(m_path).fileName();
    if (!platform::isRegularFile(m_path, true))
        fail(StoreError::Kind::Corrupt,
            QStringLiteral("%1 is not a table: it is no regular file").arg(name));
    // The file opened is the one whose stamp is taken: when it was replaced
    // while it was being opened, it is opened again.
    for (int attempt = 0;; ++attempt) {
        const platform::FileStamp before = platform::fileStamp(m_path);
        // Held open beside SQLite's own descriptor, so that a write into the
        // very file being read shows in its stamp, whatever stands at its
        // name by then.
        m_watch.open(m_path);
        m_openProblem.clear();
        bool opened = tryOpen(nullptr);
        if (!opened) {
            for (const QString &password : Session::instance().passwords()) {
                if ((opened = tryOpen(&password)))
                    break;
            }
        }
        if (!opened) {
            sqlite3_close(m_db);
            m_db = nullptr;
            if (!m_openProblem.isEmpty())
                fail(StoreError::Kind::IO,
                    QStringLiteral("Cannot open table %1: %2").arg(m_path, m_openProblem));
            fail(StoreError::Kind::Corrupt,
                QStringLiteral("%1 is not a table, or it is protected by a password that is not "
                               "registered")
                    .arg(name));
        }
        m_stamp = platform::fileStamp(m_path);
        if ((m_stamp == before && m_watch.stamp() == m_stamp) || attempt == 2)
            break;
    }
    m_changedUnder = false;
    m_lookedAtMisses = -1;
    m_stampGeneration = stampOf(m_db).value_or(0);
    m_identity = {m_stamp.size, m_stamp.modifiedNs, m_stampGeneration, changeCounterOf(m_path)};
    readSchema();
    m_dataVersion = dataVersion();
    readIndexFiles(false);
    // Bytes held from the file as it was are dropped with it.
    m_held.clear();
    ++m_rereadCount;
}

sqlite3_stmt *TableFile::prepare(const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        fail(StoreError::Kind::IO,
            QStringLiteral("Cannot read table %1: %2").arg(QFileInfo(m_path).fileName(), why));
    }
    return stmt;
}

void TableFile::readSchema()
{
    const QString fileName = QFileInfo(m_path).fileName();
    QString problem;
    m_tableName = tableOfFile(m_db, m_path, &problem);
    if (!problem.isEmpty())
        fail(StoreError::Kind::Corrupt, problem);

    m_columns.clear();
    sqlite3_stmt *stmt = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_tableName)));
    std::vector<std::pair<QString, QString>> declared;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        declared.emplace_back(textOf(stmt, 1), textOf(stmt, 2));
    sqlite3_finalize(stmt);

    const schema::TableDef *def = schema::findTable(fileName);
    for (const auto &[name, type] : declared) {
        const schema::FieldDef *f = def ? def->field(name) : nullptr;
        if (f)
            m_columns.push_back({f->name, f->kind, f->size});
        else
            m_columns.push_back({name, kindOfDeclaredType(type), sizeOfDeclaredType(type)});
    }
    if (def) {
        for (const schema::FieldDef &f : def->fields) {
            if (columnIndex(f.name) < 0)
                fail(StoreError::Kind::Corrupt,
                    QStringLiteral("Table %1 is corrupted: field \"%2\" is missing")
                        .arg(fileName, f.name));
        }
    }
    if (m_columns.empty())
        fail(StoreError::Kind::Corrupt,
            QStringLiteral("Table %1 is corrupted: it has no fields").arg(fileName));
}

int TableFile::columnIndex(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool TableFile::fitsColumns(const IndexInfo &info) const
{
    if (!info.image || info.fields.isEmpty())
        return false;
    const std::vector<bool> &text = info.image->header().textFields;
    for (qsizetype i = 0; i < info.fields.size(); ++i) {
        const int c = columnIndex(info.fields[i]);
        if (c < 0 || m_columns[c].kind == schema::FieldKind::Memo
            || text[size_t(i)] != (m_columns[c].kind == schema::FieldKind::Text))
            return false;
    }
    return true;
}

std::vector<IndexInfo> TableFile::presentOrKeptIndexes() const
{
    std::vector<IndexInfo> found = readIndexes(m_path);
    std::erase_if(found, [this](const IndexInfo &f) { return !fitsColumns(f); });
    // Only an index file made from the table file as it is open gives its
    // order; one made from another file, or from this one before it was
    // written into, names the index but its order is made from the table's
    // data. A wrong order is never used.
    for (IndexInfo &f : found) {
        if (f.identity != m_identity)
            f.image.reset();
    }
    // Every order read from a file must hold the same records.
    std::optional<quint32> count;
    for (IndexInfo &f : found) {
        if (f.image && !count)
            count = f.image->count();
        else if (f.image && f.image->count() != *count)
            f.image.reset();
    }
    // An index in use whose file was removed or replaced while the table is
    // open (by another program's rebuild, or with a table it replaces) stays
    // in use here: its order is then made from the table's own data, so it
    // stays right.
    for (size_t i = 0; i + 1 < m_indexes.size(); ++i) {
        const IndexInfo &known = m_indexes[i].info;
        const bool present = std::any_of(found.begin(), found.end(), [&](const IndexInfo &f) {
            return f.primary == known.primary
                && (known.primary || f.name.compare(known.name, Qt::CaseInsensitive) == 0);
        });
        if (!present) {
            IndexInfo kept = known;
            kept.image.reset();
            found.insert(known.primary ? found.begin() : found.end(), std::move(kept));
        }
    }
    return found;
}

void TableFile::readIndexFiles(bool keepOrders)
{
    stampIndexFiles();
    std::vector<IndexInfo> indexes = presentOrKeptIndexes();
    std::vector<IndexOrder> previous;
    if (keepOrders)
        previous.swap(m_indexes);
    m_indexes.clear();
    if (!keepOrders)
        m_rowCount = -1;
    for (IndexInfo &info : indexes) {
        IndexOrder order;
        order.m_file = this;
        bool usable = !info.fields.isEmpty();
        for (const QString &f : info.fields) {
            const int c = columnIndex(f);
            if (c < 0 || m_columns[c].kind == schema::FieldKind::Memo)
                usable = false;
            order.columns.push_back(c);
        }
        // An index over fields the table does not have cannot order it.
        if (!usable)
            continue;
        // The table is the one the orders in use were read from: each stays,
        // unless it was made in memory and a file made from this table now
        // holds it.
        for (size_t i = 0; i + 1 < previous.size(); ++i) {
            const IndexOrder &old = previous[i];
            const bool same = old.info.primary == info.primary
                && (info.primary || old.info.name.compare(info.name, Qt::CaseInsensitive) == 0);
            if (same && old.m_image && (!info.image || old.m_image == old.info.image)) {
                info.image = old.info.image;
                order.m_image = old.m_image;
            }
        }
        if (!order.m_image)
            order.m_image = info.image;
        if (info.image && m_rowCount < 0)
            m_rowCount = info.image->count();
        order.foldsLetters = foldsLetters(info);
        order.info = std::move(info);
        m_indexes.push_back(std::move(order));
    }
    IndexOrder natural;
    natural.m_file = this;
    natural.info.name = QStringLiteral("(natural)");
    if (!previous.empty())
        natural.m_image = previous.back().m_image;
    m_indexes.push_back(std::move(natural));
}

void TableFile::declareIndexes()
{
    const schema::TableDef *def = schema::findTable(QFileInfo(m_path).fileName());
    if (!def)
        return;
    for (const schema::IndexDef &d : def->indexes) {
        if (findIndex(d.primary ? QString() : d.name) >= 0)
            continue;
        IndexOrder order;
        order.m_file = this;
        order.info.name = d.name;
        order.info.fields = d.fields;
        order.info.primary = d.primary;
        order.info.caseInsensitive = !d.primary;
        order.foldsLetters = foldsLetters(order.info);
        bool usable = true;
        for (const QString &f : d.fields) {
            const int c = columnIndex(f);
            usable = usable && c >= 0 && m_columns[c].kind != schema::FieldKind::Memo;
            order.columns.push_back(c);
        }
        if (!usable)
            continue;
        const auto at = d.primary ? m_indexes.begin() : m_indexes.end() - 1;
        m_indexes.insert(at, std::move(order));
    }
    ++m_rereadCount;
}

IndexKeys TableFile::readKeys(const IndexInfo &info, const std::vector<int> &columns)
{
    failIfChangedUnder();
    IndexKeys keys;
    IndexHeader &h = keys.header;
    h.table = tableBaseName(m_path);
    h.name = info.name;
    h.fields = info.fields;
    h.primary = info.primary;
    h.caseInsensitive = info.caseInsensitive;
    h.identity = m_identity;
    QStringList select {QStringLiteral("rowid")};
    for (int c : columns) {
        select << quoted(m_columns[c].name);
        h.textFields.push_back(m_columns[c].kind != schema::FieldKind::Integer);
    }
    // An index that folds letters holds its texts so: supplier names sort
    // beside their plain spellings (schema.h).
    const bool folded = foldsLetters(info);
    keys.integers.resize(columns.size());
    keys.texts.resize(columns.size());
    sqlite3_stmt *stmt = prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                     .arg(select.join(QLatin1Char(',')), quoted(m_tableName)));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        keys.rowids.push_back(sqlite3_column_int64(stmt, 0));
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!h.textFields[i]) {
                keys.integers[i].push_back(sqlite3_column_int64(stmt, int(i) + 1));
            } else {
                QString t = textOf(stmt, int(i) + 1);
                if (folded)
                    t = foldLetters(t);
                keys.texts[i].push_back(info.caseInsensitive ? t.toCaseFolded() : std::move(t));
            }
        }
    }
    sqlite3_finalize(stmt);
    failIfChangedUnder();
    if (rc != SQLITE_DONE)
        fail(StoreError::Kind::IO,
            QStringLiteral("Cannot read table %1: %2")
                .arg(QFileInfo(m_path).fileName(), QString::fromUtf8(sqlite3_errmsg(m_db))));
    return keys;
}

bool TableFile::foldsLetters(const IndexInfo &info) const
{
    const schema::TableDef *table = schema::findTable(QFileInfo(m_path).fileName());
    const schema::IndexDef *def = table && !info.primary ? table->index(info.name) : nullptr;
    return info.caseInsensitive && def && def->foldsLetters;
}

QByteArray TableFile::indexImage(
    const IndexInfo &info, const std::vector<int> &columns, bool *unique)
{
    QByteArray image = buildIndexImage(readKeys(info, columns), unique);
    if (image.isEmpty())
        fail(StoreError::Kind::Corrupt,
            QStringLiteral("Table %1 holds a key too long to be indexed")
                .arg(QFileInfo(m_path).fileName()));
    return image;
}

void TableFile::buildOrder(const IndexOrder &order)
{
    auto image = IndexImage::fromBytes(indexImage(order.info, order.columns, nullptr));
    if (!image)
        fail(StoreError::Kind::Corrupt,
            QStringLiteral("Cannot order table %1").arg(QFileInfo(m_path).fileName()));
    order.m_image = std::move(image);
    if (m_rowCount < 0)
        m_rowCount = order.m_image->count();
}

void TableFile::replaceDamagedOrder(const IndexOrder &order)
{
    // The file is left as it is: the next rebuild replaces it. Until then
    // this program orders from the data; the damaged order stays in use
    // should the table not give one.
    qWarning("zil: index file %s of %s is damaged; its order is made from the table",
        qPrintable(order.info.fileName), qPrintable(QFileInfo(m_path).fileName()));
    buildOrder(order);
}

qsizetype TableFile::rowCount()
{
    if (m_rowCount < 0)
        order(naturalOrder());
    return m_rowCount;
}

const IndexImage &IndexOrder::image() const
{
    if (!m_image)
        m_file->buildOrder(*this);
    return *m_image;
}

int IndexOrder::compare(qsizetype place, int fieldPos, const KeyValue &key) const
{
    return read([&](const IndexImage &i) {
        if (key.isInteger) {
            const qint64 x = i.integer(quint32(place), fieldPos);
            return x < key.integer ? -1 : (x > key.integer ? 1 : 0);
        }
        return i.compareText(quint32(place), fieldPos, QStringView(key.text));
    });
}

bool IndexOrder::textBegins(qsizetype place, int fieldPos, const KeyValue &key) const
{
    if (key.isInteger)
        return false;
    return read([&](const IndexImage &i) {
        return i.header().textFields[size_t(fieldPos)]
            && i.copyText(quint32(place), fieldPos).startsWith(key.text);
    });
}

int IndexOrder::fieldOf(int column) const
{
    const auto at = std::find(columns.begin(), columns.end(), column);
    return at == columns.end() ? -1 : int(at - columns.begin());
}

bool IndexOrder::value(qsizetype place, int column, QVariant &value) const
{
    const int f = fieldOf(column);
    if (f < 0)
        return false;
    return read([&](const IndexImage &i) {
        if (!i.header().textFields[size_t(f)]) {
            value = QVariant(i.integer(quint32(place), f));
            return true;
        }
        if (info.caseInsensitive)
            return false;
        value = QVariant(i.copyText(quint32(place), f));
        return true;
    });
}

bool IndexOrder::integer(qsizetype place, int column, qint64 &value) const
{
    // A single entry, as the rows of a list read it: through the cache of
    // blocks, unlike the pass that integers makes over a range.
    const int f = fieldOf(column);
    if (f < 0)
        return false;
    return read([&](const IndexImage &i) {
        if (i.header().textFields[size_t(f)])
            return false;
        value = i.integer(quint32(place), f);
        return true;
    });
}

void IndexOrder::ordinals(qsizetype first, qsizetype n, quint32 *out) const
{
    read([&](const IndexImage &i) { i.ordinals(quint32(first), quint32(n), out); });
}

bool IndexOrder::integers(qsizetype first, qsizetype n, int column, qint64 *out) const
{
    const int f = fieldOf(column);
    if (f < 0)
        return false;
    return read([&](const IndexImage &i) {
        if (i.header().textFields[size_t(f)])
            return false;
        i.integers(quint32(first), quint32(n), f, out);
        return true;
    });
}

qint64 TableFile::dataVersion()
{
    sqlite3_stmt *stmt = prepare(QStringLiteral("PRAGMA data_version"));
    qint64 v = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        v = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return v;
}

int TableFile::findIndex(const QString &name) const
{
    for (size_t i = 0; i + 1 < m_indexes.size(); ++i) {
        const IndexInfo &info = m_indexes[i].info;
        if (name.isEmpty() ? info.primary : info.name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const IndexOrder &TableFile::order(int index)
{
    const IndexOrder &o = m_indexes[size_t(index)];
    o.image();
    return o;
}

KeyValue TableFile::keyValue(const IndexOrder &order, int fieldPos, const QVariant &value) const
{
    const Column &col = m_columns[order.columns[fieldPos]];
    KeyValue key;
    if (col.kind == schema::FieldKind::Integer) {
        key.isInteger = true;
        bool ok = true;
        if (value.typeId() == QMetaType::QString) {
            key.integer = value.toString().trimmed().toLongLong(&ok);
        } else if (!value.isNull()) {
            key.integer = value.toLongLong(&ok);
        }
        if (!ok)
            fail(StoreError::Kind::Usage,
                QStringLiteral("'%1' is not a valid value for field %2")
                    .arg(value.toString(), col.name));
    } else {
        key.text = value.toString();
        if (order.info.caseInsensitive)
            key.text = key.text.toCaseFolded();
    }
    return key;
}

std::vector<QVariant> TableFile::fetchRow(qint64 rowid)
{
    if (!m_rowStatement) {
        QStringList select;
        for (const Column &c : m_columns)
            select << (c.kind == schema::FieldKind::Memo ? QStringLiteral("NULL") : quoted(c.name));
        m_rowStatement = prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                     .arg(select.join(QLatin1Char(',')), quoted(m_tableName)));
    }
    std::vector<QVariant> row(m_columns.size());
    // A file another program writes into reads as nothing: bytes of its new
    // content must never show beside the orders of the old.
    if (m_changedUnder)
        return row;
    sqlite3_reset(m_rowStatement);
    sqlite3_bind_int64(m_rowStatement, 1, rowid);
    if (sqlite3_step(m_rowStatement) == SQLITE_ROW) {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            const int type = sqlite3_column_type(m_rowStatement, int(i));
            if (type == SQLITE_NULL || m_columns[i].kind == schema::FieldKind::Memo)
                continue;
            if (m_columns[i].kind == schema::FieldKind::Integer)
                row[i] = QVariant(qint64(sqlite3_column_int64(m_rowStatement, int(i))));
            else
                row[i] = QVariant(textOf(m_rowStatement, int(i)));
        }
    }
    sqlite3_reset(m_rowStatement);
    if (changedUnderRead())
        return std::vector<QVariant>(m_columns.size());
    return row;
}

std::vector<QByteArray> TableFile::fetchMemos(qint64 rowid)
{
    std::vector<int> memoColumns;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].kind == schema::FieldKind::Memo)
            memoColumns.push_back(int(i));
    }
    std::vector<QByteArray> memos(m_columns.size());
    if (memoColumns.empty() || m_changedUnder)
        return memos;
    if (!m_memoRowStatement) {
        QStringList select;
        for (int c : memoColumns)
            select << quoted(m_columns[c].name);
        m_memoRowStatement = prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                         .arg(select.join(QLatin1Char(',')), quoted(m_tableName)));
    }
    sqlite3_reset(m_memoRowStatement);
    sqlite3_bind_int64(m_memoRowStatement, 1, rowid);
    if (sqlite3_step(m_memoRowStatement) == SQLITE_ROW) {
        for (size_t i = 0; i < memoColumns.size(); ++i) {
            const void *p = sqlite3_column_blob(m_memoRowStatement, int(i));
            const int n = sqlite3_column_bytes(m_memoRowStatement, int(i));
            if (p && n > 0)
                memos[memoColumns[i]] = QByteArray(static_cast<const char *>(p), n);
        }
    }
    sqlite3_reset(m_memoRowStatement);
    if (changedUnderRead())
        return std::vector<QByteArray>(m_columns.size());
    return memos;
}

void TableFile::holdBytes(const std::vector<int> &columns, HeldCase held)
{
    std::vector<int> wanted;
    for (int c : columns) {
        if (c >= 0 && size_t(c) < m_columns.size() && !holdsBytes(c, held)
            && std::find(wanted.begin(), wanted.end(), c) == wanted.end())
            wanted.push_back(c);
    }
    if (wanted.empty())
        return;
    failIfChangedUnder();
    QStringList select {QStringLiteral("rowid")};
    for (int c : wanted)
        select << quoted(m_columns[size_t(c)].name);
    // The rowid of each record by its ordinal, as the orders give them: the
    // bytes are held by ordinal, so the records read must be those.
    const IndexOrder *by = &m_indexes.back();
    for (const IndexOrder &o : m_indexes) {
        if (o.m_image) {
            by = &o;
            break;
        }
    }
    const qsizetype count = by->size();
    std::vector<qint64> rowids(size_t(count), 0);
    for (qsizetype p = 0; p < count; ++p)
        rowids[by->ordinal(p)] = by->rowid(p);
    std::vector<HeldColumn> read(wanted.size());
    for (HeldColumn &h : read)
        h.ends.reserve(rowids.size());
    sqlite3_stmt *stmt = prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                     .arg(select.join(QLatin1Char(',')), quoted(m_tableName)));
    int rc;
    size_t ordinal = 0;
    bool same = true;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        // The records must be those the table was read with; a file written
        // into since then is read again by a refresh before it can be held.
        if (ordinal >= rowids.size() || sqlite3_column_int64(stmt, 0) != rowids[ordinal]) {
            same = false;
            break;
        }
        for (size_t i = 0; i < wanted.size(); ++i) {
            HeldColumn &h = read[i];
            const void *p = sqlite3_column_blob(stmt, int(i) + 1);
            const int n = sqlite3_column_bytes(stmt, int(i) + 1);
            if (p && n > 0) {
                const qsizetype at = h.data.size();
                h.data.append(static_cast<const char *>(p), n);
                if (held == HeldCase::UpperAscii) {
                    char *c = h.data.data() + at;
                    for (int k = 0; k < n; ++k) {
                        if (c[k] >= 'a' && c[k] <= 'z')
                            c[k] = char(c[k] - 'a' + 'A');
                    }
                }
            }
            h.ends.push_back(h.data.size());
        }
        ++ordinal;
    }
    sqlite3_finalize(stmt);
    failIfChangedUnder();
    if (same && rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(StoreError::Kind::IO,
            QStringLiteral("Cannot read table %1: %2")
                .arg(QFileInfo(m_path).fileName(), QString::fromUtf8(sqlite3_errmsg(m_db))));
    if (!same || ordinal != rowids.size())
        fail(StoreError::Kind::IO,
            QStringLiteral("Cannot read table %1: it changed while it was read")
                .arg(QFileInfo(m_path).fileName()));
    if (m_held.size() < m_columns.size())
        m_held.resize(m_columns.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        read[i].loaded = true;
        read[i].held = held;
        read[i].data.squeeze();
        m_held[size_t(wanted[i])] = std::move(read[i]);
    }
}

bool TableFile::reload()
{
    // A table file replaced by a new one (as the database maker does) keeps
    // the old file open here; the stamp of the path tells of that. A file
    // written into in place shows in the stamp of the file held open.
    const bool inPlace = changedUnder();
    if (inPlace || platform::fileStamp(m_path) != m_stamp) {
        const QString dir = QFileInfo(m_path).absolutePath();
        const std::optional<qint64> now = readStampGeneration(m_path);
        // A file of another database is taken up only together with the
        // other tables of the directory (ofAnotherDatabase), and one that
        // cannot be read now (removed, or still being written) is not opened
        // either. Until then a file replaced by another is read on as it was,
        // and one written into reads as nothing; so no view mixes two
        // databases.
        if (!now || ofAnotherDatabase(dir, m_stampGeneration, *now) || !looksWhole(m_path)) {
            announceDatabaseChange(dir);
            return false;
        }
        openConnection();
        return true;
    }
    if (dataVersion() != m_dataVersion) {
        openConnection();
        return true;
    }
    if (!indexFilesChanged())
        return false;
    // Only index files changed: the table is the same, so every order in use
    // stays right and is kept unless a file made from this table now stands
    // for one that was made in memory.
    readIndexFiles(true);
    ++m_rereadCount;
    return true;
}

int TableFile::pagesReadFromFile() const
{
    int misses = 0, highest = 0;
    if (!m_db
        || sqlite3_db_status(m_db, SQLITE_DBSTATUS_CACHE_MISS, &misses, &highest, 0) != SQLITE_OK)
        return -1;
    return misses;
}

bool TableFile::changedUnderRead()
{
    // The connection's pages are kept (the file is opened as unchanging), and
    // every page it holds was read before a look that found the file as it
    // was opened. A record served from those pages alone is therefore wholly
    // old, and only a read that fetched pages from the file needs a look.
    // Long texts come through the same pages: the cipher layer decrypts
    // every page it reads, so none is read past them.
    if (!m_changedUnder && m_lookedAtMisses >= 0 && pagesReadFromFile() == m_lookedAtMisses)
        return false;
    return changedUnder();
}

bool TableFile::changedUnder()
{
    if (m_changedUnder)
        return true;
    // Counted before the look: pages read after it count as new ones.
    const int misses = pagesReadFromFile();
    const platform::FileStamp held = m_watch.stamp();
    if (held.exists && held.size == m_stamp.size && held.modifiedNs == m_stamp.modifiedNs) {
        m_lookedAtMisses = misses;
        return false;
    }
    m_changedUnder = true;
    qWarning("zil: table file %s was written into by another program while it was open; it is "
             "read again once the database is whole",
        qPrintable(m_path));
    announceDatabaseChange(QFileInfo(m_path).absolutePath());
    return true;
}

void TableFile::failIfChangedUnder()
{
    if (changedUnder())
        fail(StoreError::Kind::Changing,
            QStringLiteral("Table %1 is being changed by another program")
                .arg(QFileInfo(m_path).fileName()));
}

void TableFile::stampIndexFiles()
{
    m_indexDirStamp = platform::fileStamp(QFileInfo(m_path).absolutePath());
    m_indexFileStamps.clear();
    for (const QString &path : indexFilePaths(m_path))
        m_indexFileStamps.emplace_back(path, platform::fileStamp(path));
}

bool TableFile::indexFilesChanged()
{
    // Index files come and go with their directory's stamp, and are
    // rewritten with their own.
    bool same = platform::fileStamp(QFileInfo(m_path).absolutePath()) == m_indexDirStamp;
    for (size_t i = 0; same && i < m_indexFileStamps.size(); ++i)
        same = platform::fileStamp(m_indexFileStamps[i].first) == m_indexFileStamps[i].second;
    if (same)
        return false;
    // Something in the directory changed, not necessarily an index: compare
    // what the index files describe with the indexes in use. The stamps are
    // taken first, so that a file written meanwhile shows at the next check.
    stampIndexFiles();
    std::vector<const IndexOrder *> before;
    for (size_t i = 0; i + 1 < m_indexes.size(); ++i)
        before.push_back(&m_indexes[i]);
    const std::vector<IndexInfo> after = presentOrKeptIndexes();
    if (before.size() != after.size())
        return true;
    for (size_t i = 0; i < before.size(); ++i) {
        const IndexOrder &o = *before[i];
        if (o.info.name != after[i].name || o.info.fields != after[i].fields
            || o.info.caseInsensitive != after[i].caseInsensitive)
            return true;
        // An order made in memory is read from a file made from this table
        // once there is one.
        const bool fromFile = o.m_image && o.m_image == o.info.image;
        if (!fromFile && after[i].image)
            return true;
    }
    return false;
}

bool TableFile::looksWhole(const QString &path)
{
    // A plain table's header says how many pages the file holds, when the
    // number is valid (bytes 92..95 equal the change counter at 24..27): a
    // shorter file is still being written. A protected table hides its
    // header and is taken as whole.
    const std::optional<QByteArray> head = platform::readRegularFile(path, 100, true);
    if (!head || head->isEmpty())
        return false;
    if (head->size() < 100 || !head->startsWith(QByteArray("SQLite format 3\0", 16)))
        return true;
    const auto *b = reinterpret_cast<const uchar *>(head->constData());
    const auto be32 = [b](int at) {
        return quint32(b[at]) << 24 | quint32(b[at + 1]) << 16 | quint32(b[at + 2]) << 8
            | quint32(b[at + 3]);
    };
    const quint32 sizeField = quint32(b[16]) << 8 | b[17];
    const quint32 pageSize = sizeField == 1 ? 65536 : sizeField;
    const quint32 pages = be32(28);
    if (be32(92) != be32(24) || pages == 0)
        return true;
    return platform::fileStamp(path).size >= qint64(pages) * pageSize;
}

} // namespace zil::store
