#include "tablewriter.h"

#include "platform/files.h"
#include "outputdir.h"
#include "store/fileformat.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/tablekey.h"

#include <QDateTime>
#include <QFile>

#include <sqlcipher/sqlite3.h>

namespace zil::makedb {

namespace {

// One table file being filled: the table created from the schema, the rows
// inserted through one prepared statement inside one transaction. The first
// failure is kept and makes every later step do nothing.
class TableFileWriter
{
public:
    TableFileWriter(const QString &fileName, const QString &path, bool protect, qint32 generation)
        : m_table(*schema::findTable(fileName))
        , m_path(path)
        , m_name(path)
    {
        // Under a name SQLite takes however long the path is.
        if (m_name.name().isEmpty()) {
            fail(QStringLiteral("cannot create %1: %2")
                     .arg(path, platform::systemErrorText(m_name.error())));
            return;
        }
        if (sqlite3_open_v2(m_name.name().constData(), &m_db,
                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            fail(QStringLiteral("cannot create %1").arg(path));
            return;
        }
        if (protect)
            exec(store::tableKeyPragma(schema::programPassword()));
        // No journal file: a new table that is not finished is thrown away
        // with the working directory, and the tables are read where no side
        // file may be made. The journal kept in memory still undoes a failed
        // statement.
        exec("PRAGMA journal_mode = MEMORY");
        // The commit writes the file through to the medium before it ends,
        // so the finished table is on the disk before it is moved into place.
        exec("PRAGMA synchronous = FULL");
        // A larger page cache for the bulk insert; not stored in the file.
        exec("PRAGMA cache_size = -32768");
        // All in one transaction, which is flushed once.
        exec("BEGIN");
        // The header marks the file as a table of this program and of one
        // database, which the four tables share.
        exec("PRAGMA application_id = " + QByteArray::number(store::tableApplicationId));
        exec("PRAGMA user_version = " + QByteArray::number(generation));
        exec(schema::createTableSql(m_table).toUtf8());
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
        // The commit's flush may leave the file's modification time, which
        // its index files record, to the system: the whole file is flushed.
        if (m_error.isEmpty() && !platform::flushFile(m_path))
            fail(QStringLiteral("cannot write %1 through to the disk").arg(m_path));
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
    const QString m_path;
    const platform::OpenablePath m_name;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    QString m_error;
};

bool writeMaterials(
    const Catalogue &c, const QString &path, bool protect, qint32 generation, QString *error)
{
    TableFileWriter w(QStringLiteral("MATERIAL.DB"), path, protect, generation);
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

bool writeSynonyms(
    const Catalogue &c, const QString &path, bool protect, qint32 generation, QString *error)
{
    TableFileWriter w(QStringLiteral("SYNON.DB"), path, protect, generation);
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

bool writeSuppliers(
    const Catalogue &c, const QString &path, bool protect, qint32 generation, QString *error)
{
    TableFileWriter w(QStringLiteral("SUPPLIER.DB"), path, protect, generation);
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

bool writeLinks(
    const Catalogue &c, const QString &path, bool protect, qint32 generation, QString *error)
{
    TableFileWriter w(QStringLiteral("MATSUPP.DB"), path, protect, generation);
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

const QStringList &tableOrder()
{
    static const QStringList names {QStringLiteral("MATERIAL.DB"), QStringLiteral("SYNON.DB"),
        QStringLiteral("SUPPLIER.DB"), QStringLiteral("MATSUPP.DB")};
    return names;
}

// Sets the modification time of a table just written back to its whole
// second. The index files name their table by its time, among other things,
// and copies made by tar or a Debian package keep no finer time: the index
// files then still describe the copied tables.
bool keepWholeSecond(const QString &path, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const qint64 ms = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
        if (file.setFileTime(
                QDateTime::fromMSecsSinceEpoch(ms - ms % 1000), QFileDevice::FileModificationTime))
            return true;
    }
    *error = QStringLiteral("cannot set the time of %1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

WriteResult writeDatabase(const Catalogue &c, const QString &dirPath, bool protect)
{
    using Writer = bool (*)(const Catalogue &, const QString &, bool, qint32, QString *);
    const Writer writers[] = {writeMaterials, writeSynonyms, writeSuppliers, writeLinks};

    WriteResult result;
    // A database without materials is one that the program refuses to open.
    if (c.materials.empty()) {
        result.error = QStringLiteral("there are no materials to write");
        return result;
    }
    OutputDir out(dirPath, tableOrder());
    const bool opened = out.open(&result.error);
    result.notes = out.notes();
    if (!opened)
        return result;
    result.generation = out.generation();
    for (qsizetype i = 0; i < tableOrder().size(); ++i) {
        if (!writers[i](
                c, out.newTablePath(tableOrder()[i]), protect, result.generation, &result.error))
            return result;
        if (!keepWholeSecond(out.newTablePath(tableOrder()[i]), &result.error))
            return result;
    }
    // Indexed where they were written: an index file names the table file as
    // it is, and a rename keeps that, so the index files that move in with
    // the tables describe them and no workstation has to rebuild them.
    try {
        if (protect)
            store::Session::instance().addPassword(schema::programPassword());
        store::indexTables(out.workPath());
    } catch (const store::StoreError &e) {
        result.error = QStringLiteral("cannot index the new tables: %1").arg(e.message());
        return result;
    }
    switch (out.replaceTables(&result.error)) {
    case OutputDir::Outcome::Replaced:
        result.outcome = WriteResult::Written;
        break;
    case OutputDir::Outcome::Refused:
        result.outcome = WriteResult::NothingWritten;
        break;
    case OutputDir::Outcome::Unchanged:
        result.outcome = WriteResult::PutBack;
        break;
    case OutputDir::Outcome::Mixed:
        result.outcome = WriteResult::Mixed;
        break;
    }
    result.notes = out.notes();
    return result;
}

FinishResult finishDatabase(const QString &dirPath)
{
    FinishResult result;
    OutputDir out(dirPath, tableOrder());
    result.finished = out.finishOnly(&result.error);
    result.notes = out.notes();
    return result;
}

} // namespace zil::makedb
