#include "tablewriter.h"

#include "store/schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlcipher/sqlite3.h>
#include <unistd.h>

namespace zil::makedb {

QByteArray rawKey(const QString &password)
{
    return "x'" + QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex()
        + "'";
}

namespace {

// One table file being filled: the table created from the schema, the rows
// inserted through one prepared statement inside one transaction. The first
// failure is kept and makes every later step do nothing.
class TableFileWriter
{
public:
    TableFileWriter(const QString &fileName, const QString &path, bool protect)
        : m_table(*schema::findTable(fileName))
    {
        const QByteArray name = QFile::encodeName(path);
        if (sqlite3_open_v2(name.constData(), &m_db,
                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            fail(QStringLiteral("cannot create %1").arg(path));
            return;
        }
        if (protect)
            exec("PRAGMA key = \"" + rawKey(schema::programPassword()) + "\"");
        // A larger page cache for the bulk insert; not stored in the file.
        exec("PRAGMA cache_size = -32768");
        exec(schema::createTableSql(m_table).toUtf8());
        exec("BEGIN");
        QStringList marks;
        for (size_t i = 0; i < m_table.fields.size(); ++i)
            marks << QStringLiteral("?");
        const QByteArray insert = QStringLiteral("INSERT INTO \"%1\" VALUES (%2)")
                                      .arg(m_table.tableName(), marks.join(QLatin1Char(',')))
                                      .toUtf8();
        if (m_error.isEmpty()
            && sqlite3_prepare_v2(m_db, insert.constData(), -1, &m_insert, nullptr) != SQLITE_OK)
            failSql();
    }

    ~TableFileWriter()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }

    TableFileWriter(const TableFileWriter &) = delete;
    TableFileWriter &operator=(const TableFileWriter &) = delete;

    // The bind position of a field of the table.
    int column(const char *field) const
    {
        for (size_t i = 0; i < m_table.fields.size(); ++i) {
            if (m_table.fields[i].name == QLatin1String(field))
                return int(i) + 1;
        }
        qFatal("zil-makedb: table %s has no field %s", qPrintable(m_table.fileName), field);
    }

    void text(int column, const QString &value)
    {
        if (!m_error.isEmpty())
            return;
        // Bound with a non-null pointer even when empty, so that an empty
        // text is stored as '' and never as NULL.
        const QByteArray utf8 = value.toUtf8();
        if (sqlite3_bind_text(
                m_insert, column, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT)
            != SQLITE_OK)
            failSql();
    }

    void integer(int column, qint64 value)
    {
        if (m_error.isEmpty() && sqlite3_bind_int64(m_insert, column, value) != SQLITE_OK)
            failSql();
    }

    void insertRow()
    {
        if (!m_error.isEmpty())
            return;
        if (sqlite3_step(m_insert) != SQLITE_DONE)
            failSql();
        sqlite3_reset(m_insert);
        sqlite3_clear_bindings(m_insert);
    }

    // Commits and closes; false with error() when anything failed.
    bool finish()
    {
        if (m_error.isEmpty()) {
            sqlite3_finalize(m_insert);
            m_insert = nullptr;
            exec("COMMIT");
        }
        if (m_error.isEmpty()) {
            if (sqlite3_close(m_db) == SQLITE_OK)
                m_db = nullptr;
            else
                failSql();
        }
        return m_error.isEmpty();
    }

    QString error() const { return m_error; }

private:
    void exec(const QByteArray &sql)
    {
        if (m_error.isEmpty()
            && sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            failSql();
    }
    void failSql() { fail(QString::fromUtf8(sqlite3_errmsg(m_db))); }
    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1: %2").arg(m_table.fileName, message);
    }

    const schema::TableDef &m_table;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    QString m_error;
};

bool writeMaterials(const Catalogue &c, const QString &path, bool protect, QString *error)
{
    TableFileWriter w(QStringLiteral("MATERIAL.DB"), path, protect);
    const int name = w.column("name"), id = w.column("id"), cas = w.column("cas"),
              fema = w.column("fema"), ce = w.column("ce"), sf = w.column("sf");
    const int memo[MemoCount] = {w.column("occur"), w.column("flavor"), w.column("applic"),
        w.column("liter"), w.column("notes")};
    Memos generated;
    for (const Material &m : c.materials) {
        w.text(name, m.name);
        w.integer(id, m.id);
        w.text(cas, m.cas);
        w.text(fema, m.fema);
        w.text(ce, m.ce);
        w.text(sf, m.sf);
        const Memos *memos = &m.memos;
        if (c.memoSource) {
            c.memoSource(m, generated);
            memos = &generated;
        }
        for (int i = 0; i < MemoCount; ++i)
            w.text(memo[i], (*memos)[size_t(i)]);
        w.insertRow();
    }
    const bool ok = w.finish();
    if (!ok)
        *error = w.error();
    return ok;
}

bool writeSynonyms(const Catalogue &c, const QString &path, bool protect, QString *error)
{
    TableFileWriter w(QStringLiteral("SYNON.DB"), path, protect);
    const int name = w.column("name"), material = w.column("materialid"), pos = w.column("pos"),
              sf = w.column("sf");
    for (const Synonym &s : c.synonyms) {
        w.text(name, s.name);
        w.integer(material, s.materialId);
        w.integer(pos, s.pos);
        w.text(sf, s.sf);
        w.insertRow();
    }
    const bool ok = w.finish();
    if (!ok)
        *error = w.error();
    return ok;
}

bool writeSuppliers(const Catalogue &c, const QString &path, bool protect, QString *error)
{
    TableFileWriter w(QStringLiteral("SUPPLIER.DB"), path, protect);
    const int name = w.column("name"), address = w.column("address"), id = w.column("id"),
              city = w.column("city"), country = w.column("country"), phone = w.column("phone");
    for (const Supplier &s : c.suppliers) {
        w.text(name, s.name);
        w.text(address, s.address);
        w.integer(id, s.id);
        w.text(city, s.city);
        w.text(country, s.country);
        w.text(phone, s.phone);
        w.insertRow();
    }
    const bool ok = w.finish();
    if (!ok)
        *error = w.error();
    return ok;
}

bool writeLinks(const Catalogue &c, const QString &path, bool protect, QString *error)
{
    TableFileWriter w(QStringLiteral("MATSUPP.DB"), path, protect);
    const int material = w.column("materialid"), supplier = w.column("supplierid"),
              price = w.column("price"), comment = w.column("comment");
    for (const Link &l : c.links) {
        w.integer(material, l.materialId);
        w.integer(supplier, l.supplier);
        w.text(price, l.price);
        w.text(comment, l.comment);
        w.insertRow();
    }
    const bool ok = w.finish();
    if (!ok)
        *error = w.error();
    return ok;
}

// Whether a directory entry belongs to an earlier version of a table: its
// index files ("material.px", "MATERIAL.XG0", "material.x01"), the file
// itself under another case of its name, or a journal SQLite left beside it,
// which would otherwise be played back into the new file.
bool isStaleEntry(const QString &entry, const QString &tableFile)
{
    const QString base = tableFile.section(QLatin1Char('.'), 0, 0);
    if (entry.section(QLatin1Char('.'), 0, 0).compare(base, Qt::CaseInsensitive) != 0)
        return false;
    const QString suffix = entry.section(QLatin1Char('.'), 1);
    if (suffix.compare(QLatin1String("px"), Qt::CaseInsensitive) == 0)
        return true;
    if (suffix.size() == 3 && suffix.startsWith(QLatin1Char('x'), Qt::CaseInsensitive))
        return true;
    if (entry.compare(tableFile, Qt::CaseInsensitive) == 0)
        return entry != tableFile;
    for (const char *journal : {"-journal", "-wal", "-shm"}) {
        if (entry.compare(tableFile + QLatin1String(journal), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeDatabase(const Catalogue &c, const QString &dirPath, bool protect, QString *error)
{
    QDir dir(dirPath);
    if (!QDir().mkpath(dirPath)) {
        *error = QStringLiteral("cannot create directory %1").arg(dirPath);
        return false;
    }
    // In the target directory, so that the files are moved by a rename.
    QTemporaryDir work(dir.filePath(QStringLiteral(".zil-makedb-XXXXXX")));
    if (!work.isValid()) {
        *error = QStringLiteral("cannot create a working directory in %1: %2")
                     .arg(dirPath, work.errorString());
        return false;
    }

    using Writer = bool (*)(const Catalogue &, const QString &, bool, QString *);
    const std::pair<const char *, Writer> tables[] = {{"MATERIAL.DB", writeMaterials},
        {"SYNON.DB", writeSynonyms}, {"SUPPLIER.DB", writeSuppliers}, {"MATSUPP.DB", writeLinks}};
    for (const auto &[file, write] : tables) {
        if (!write(c, work.filePath(QLatin1String(file)), protect, error))
            return false;
    }

    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        for (const auto &[file, write] : tables) {
            if (isStaleEntry(entry, QLatin1String(file)) && !dir.remove(entry)) {
                *error = QStringLiteral("cannot delete %1").arg(dir.filePath(entry));
                return false;
            }
        }
    }

    for (const auto &[file, write] : tables) {
        const QByteArray from = QFile::encodeName(work.filePath(QLatin1String(file)));
        const QByteArray to = QFile::encodeName(dir.filePath(QLatin1String(file)));
        if (std::rename(from.constData(), to.constData()) != 0) {
            *error = QStringLiteral("cannot move %1 into %2: %3")
                         .arg(QLatin1String(file), dirPath,
                             QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    syncDirectory(dirPath);
    return true;
}

} // namespace zil::makedb
