#include "makedbtest.h"

#include "store/schema.h"
#include "store/tablekey.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csv.h>
#include <sqlcipher/sqlite3.h>

namespace zil::makedbtest {

namespace {

Run runProgram(const QString &program, const QStringList &args, int timeoutMs,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    Run run;
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    run.finished = p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit;
    if (!run.finished) {
        p.kill();
        p.waitForFinished();
    }
    run.exitCode = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

} // namespace

Run runMakeDb(const QStringList &args, int timeoutMs)
{
    return runProgram(qEnvironmentVariable("ZIL_MAKEDB"), args, timeoutMs);
}

bool straceWorks()
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        return false;
    const Run run = runProgram(
        strace, {QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("true")}, 20000);
    return run.finished && run.exitCode == 0;
}

Run runMakeDbUnderStrace(const QStringList &straceOptions, const QStringList &args)
{
    // The leak check of a sanitized build stops the world through ptrace,
    // which a traced program cannot.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
        (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("detect_leaks=0"));
    return runProgram(QStringLiteral("strace"),
        straceOptions + QStringList {qEnvironmentVariable("ZIL_MAKEDB")} + args, 240000,
        environment);
}

QVariant Table::value(int row, const char *name) const
{
    const int c = int(columns.indexOf(QLatin1String(name)));
    if (c < 0 || row < 0 || row >= rows.size())
        qFatal("no value %s in row %d", name, row);
    return rows.at(row).at(c);
}

namespace {

// Runs a query; the rows with integers as qlonglong, texts as QString and
// NULL as an invalid QVariant. False with error set when it fails.
bool query(sqlite3 *db, const QByteArray &sql, Table &t, QList<QVariantList> &rows)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    t.columns.clear();
    for (int c = 0; rc == SQLITE_OK && c < sqlite3_column_count(stmt); ++c)
        t.columns << QString::fromUtf8(sqlite3_column_name(stmt, c));
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        for (int c = 0; c < t.columns.size(); ++c) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                row << QVariant(qlonglong(sqlite3_column_int64(stmt, c)));
                break;
            case SQLITE_TEXT:
                row << QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, c)));
                break;
            case SQLITE_NULL:
                row << QVariant();
                break;
            default:
                row << QVariant(QStringLiteral("<blob or real>"));
            }
        }
        rows << row;
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        t.error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

} // namespace

Table readTable(const QString &dir, const QString &fileName, const QString &password)
{
    Table t;
    const QString path = QDir(dir).filePath(fileName);
    if (!QFile::exists(path)) {
        t.error = path + QStringLiteral(" does not exist");
        return t;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        if (!password.isEmpty()) {
            sqlite3_exec(
                db, store::tableKeyPragma(password).constData(), nullptr, nullptr, nullptr);
        }
        QList<QVariantList> objects;
        if (query(db, "SELECT type, name, sql FROM sqlite_master", t, objects)) {
            for (const QVariantList &o : objects)
                t.objects << o[0].toString() + ' ' + o[1].toString() + ' ' + o[2].toString();
            const QString table = schema::findTable(fileName)->tableName();
            query(db, QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table).toUtf8(), t,
                t.rows);
        }
    } else {
        t.error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return t;
}

QString dumpDatabase(const QString &dir, const QString &password)
{
    QString dump;
    for (const schema::TableDef &def : schema::tables()) {
        const Table t = readTable(dir, def.fileName, password);
        dump += def.fileName + '\n' + t.error + t.objects.join('\n') + '\n';
        for (const QVariantList &row : t.rows) {
            for (const QVariant &v : row)
                dump += QString::fromLatin1(v.typeName()) + ':' + v.toString() + '|';
            dump += '\n';
        }
    }
    return dump;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeSources(const QString &dir, const Sources &sources)
{
    QDir().mkpath(dir);
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        writeFile(QDir(dir).filePath(it.key()), it.value());
}

namespace {

struct Collect
{
    QList<QStringList> records;
    QStringList current;
};

void collectField(void *data, size_t length, void *state)
{
    static_cast<Collect *>(state)->current
        << QString::fromUtf8(static_cast<const char *>(data), qsizetype(length));
}

void collectRecord(int, void *state)
{
    auto *c = static_cast<Collect *>(state);
    c->records << c->current;
    c->current.clear();
}

int nothingIsSpace(unsigned char)
{
    return 0;
}

} // namespace

QList<QStringList> parseCsvFile(const QString &path)
{
    QByteArray bytes = readFile(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    csv_parser p;
    csv_init(&p, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(&p, nothingIsSpace);
    Collect c;
    const size_t size = size_t(bytes.size());
    if (csv_parse(&p, bytes.constData(), size, collectField, collectRecord, &c) != size
        || csv_fini(&p, collectField, collectRecord, &c) != 0)
        qWarning("%s is not valid CSV", qPrintable(path));
    csv_free(&p);
    return c.records;
}

} // namespace zil::makedbtest
