// zil-makedb writing into a database directory that is in use: the four
// tables stamped with one new generation and moved in with their index files,
// all together or not at all, every file on the disk before it takes its
// name, and nothing touched that is not the maker's own, also when an earlier
// run was killed at any point or another one is still running.

#include "common/testdb.h"
#include "makedbtest.h"
#include "platform/filelock.h"
#include "store/fileformat.h"
#include "store/filenames.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/tablekey.h"
#include "tools/makedb/outputdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <sqlcipher/sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zil;
using namespace zil::makedbtest;

namespace {

const QStringList tableFiles {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"};
const QStringList indexFiles {"material.px", "material.xfd", "material.xg0", "material.xg1",
    "matsupp.px", "matsupp.xg0", "supplier.px", "supplier.xg0", "synon.px", "synon.xg0"};

// What a database directory holds after a run of the maker: the tables, the
// index files made from them, and the lock that keeps rebuilders apart.
QStringList databaseFiles()
{
    QStringList names = tableFiles + indexFiles;
    names << QFileInfo(store::rebuildLockFile(QStringLiteral("/"))).fileName();
    names.sort();
    return names;
}

QStringList entries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// The header fields of a table file, read through SQLite (with the key when
// protected): application_id, user_version and journal_mode.
struct Stamp
{
    qint64 applicationId = -1;
    qint64 generation = -1;
    QString journalMode;
};

Stamp stampOf(const QString &path, bool protect = false)
{
    Stamp s;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        if (protect) {
            sqlite3_exec(db, store::tableKeyPragma(schema::programPassword()).constData(), nullptr,
                nullptr, nullptr);
        }
        const auto pragma = [db](const char *sql) {
            sqlite3_stmt *stmt = nullptr;
            QString value;
            if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK
                && sqlite3_step(stmt) == SQLITE_ROW)
                value = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
            sqlite3_finalize(stmt);
            return value;
        };
        const QString app = pragma("PRAGMA application_id");
        const QString gen = pragma("PRAGMA user_version");
        s.applicationId = app.isEmpty() ? -1 : app.toLongLong();
        s.generation = gen.isEmpty() ? -1 : gen.toLongLong();
        s.journalMode = pragma("PRAGMA journal_mode");
    }
    sqlite3_close(db);
    return s;
}

// The one generation of the four tables of a directory; -1 when they differ
// or one is not stamped as a table of this program.
qint64 generationOf(const QString &dir, bool protect = false)
{
    qint64 generation = -1;
    for (const QString &file : tableFiles) {
        const Stamp s = stampOf(QDir(dir).filePath(file), protect);
        if (s.applicationId != store::tableApplicationId || s.generation <= 0
            || (generation != -1 && s.generation != generation))
            return -1;
        generation = s.generation;
    }
    return generation;
}

// Sets a header field of a plain table file: user_version or application_id.
void setHeaderField(const QString &path, const char *field, qint32 value)
{
    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
        SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA " + QByteArray(field) + " = " + QByteArray::number(value),
                 nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
}

// Everything under a directory: each entry's relative path with what it is,
// a regular file by the checksum of its bytes, a link by its target.
QMap<QString, QString> snapshot(const QString &dir)
{
    QMap<QString, QString> entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        // Looked at without following links or opening a FIFO.
        struct stat st = {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            entries[name] = QStringLiteral("gone");
        else if (S_ISLNK(st.st_mode))
            entries[name] = QStringLiteral("link to ") + QFileInfo(path).symLinkTarget();
        else if (S_ISDIR(st.st_mode))
            entries[name] = QStringLiteral("directory");
        else if (S_ISREG(st.st_mode))
            entries[name] = QString::fromLatin1(
                QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
        else
            entries[name] = QStringLiteral("other");
    }
    return entries;
}

QByteArray indexFile(const char *table)
{
    return QByteArray(store::indexFileMagicText) + "\ntable=" + table + "\nname=primary\n";
}

int materialCount(const QString &dir)
{
    return int(readTable(dir, QStringLiteral("MATERIAL.DB")).rows.size());
}

QStringList workDirs(const QString &dir)
{
    return QDir(dir).entryList({QLatin1String(makedb::workDirPrefix) + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System);
}

// Waits until a running maker has begun writing its tables into a working
// directory of dir; that directory's name, empty when none came.
QString waitForWorkDir(const QString &dir, QProcess &maker)
{
    if (!maker.waitForStarted())
        return QString();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120000 && maker.state() == QProcess::Running) {
        for (const QString &work : workDirs(dir)) {
            if (QFileInfo::exists(QDir(dir).filePath(work + QStringLiteral("/MATERIAL.DB"))))
                return work;
        }
        QThread::msleep(5);
    }
    return QString();
}

// A working directory as the maker makes it, standing in for one of a run
// elsewhere.
void makeWorkDir(const QString &path, bool committing)
{
    QVERIFY(QDir().mkpath(path + QStringLiteral("/old")));
    writeFile(
        path + QLatin1Char('/') + QLatin1String(makedb::workMarkerName), makedb::workMarkerText);
    writeFile(path + QStringLiteral("/MATERIAL.DB"), "a table being written");
    if (committing)
        writeFile(path + QLatin1Char('/') + QLatin1String(makedb::committingName), "");
}

// Copies the files of a directory tree, as they are, into a new one.
void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    QVERIFY(QDir().mkpath(to));
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        if (it.fileInfo().isDir())
            QVERIFY(QDir().mkpath(target));
        else
            QVERIFY(QFile::copy(path, target));
    }
}

// The rename calls a traced run made, in order, each by the name of its
// system call.
QStringList renameCalls(const QString &log)
{
    static const QRegularExpression call(QStringLiteral("^\\d+\\s+(rename|renameat|renameat2)\\("));
    QStringList calls;
    for (const QByteArray &line : test::straceLines(log)) {
        const QRegularExpressionMatch m = call.match(QString::fromUtf8(line));
        if (m.hasMatch())
            calls << m.captured(1);
    }
    return calls;
}

} // namespace

class TestReplace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initTestCase();
    void nextGenerationDiffers_data();
    void nextGenerationDiffers();
    void tablesShareOneNewGeneration();
    void protectedTablesShareOneNewGeneration();
    void onlyOwnFilesAreDeleted();
    void foreignFilesStopTheRun_data();
    void foreignFilesStopTheRun();
    void filesAreOnTheDiskBeforeTheyTakeTheirNames();
    void failedMovePutsEarlierFilesBack_data();
    void failedMovePutsEarlierFilesBack();
    void killedAtAnyMoveIsCompletedOrUndone();
    void longOutputPath();
    void movesWaitForARebuildingWorkstation();
    void killedRunIsRemovedByTheNext();
    void workDirsNotOursOrLiveAreLeft();
    void secondRunWaitsForTheFirst();

private:
    QString out() const { return m_tmp->filePath(QStringLiteral("db")); }
    Run synthetic(int n, const QStringList &options = {})
    {
        return runMakeDb(
            options + QStringList {QStringLiteral("--synthetic"), QString::number(n), out()});
    }

    std::unique_ptr<QTemporaryDir> m_tmp;
};

void TestReplace::initTestCase()
{
    // The store opens protected tables, to check their index files, with
    // the passwords registered.
    store::Session::instance().addPassword(schema::programPassword());
}

void TestReplace::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestReplace::nextGenerationDiffers_data()
{
    QTest::addColumn<QList<int>>("found");
    QTest::addColumn<QList<uint>>("draws");
    QTest::addColumn<int>("expected");
    QTest::newRow("none found") << QList<int> {} << QList<uint> {1234} << 1234;
    QTest::newRow("31 bits") << QList<int> {} << QList<uint> {0x80000007u} << 7;
    QTest::newRow("never 0") << QList<int> {} << QList<uint> {0, 0x80000000u, 9} << 9;
    QTest::newRow("never one found")
        << QList<int> {4, 7, INT32_MAX} << QList<uint> {7, 0xffffffffu, 0x80000004u, 8} << 8;
}

void TestReplace::nextGenerationDiffers()
{
    QFETCH(QList<int>, found);
    QFETCH(QList<uint>, draws);
    QFETCH(int, expected);
    const std::vector<std::int32_t> gens(found.begin(), found.end());
    qsizetype drawn = 0;
    QCOMPARE(makedb::nextGeneration(gens, [&] { return draws.at(drawn++); }), expected);
    QCOMPARE(drawn, draws.size());
}

void TestReplace::tablesShareOneNewGeneration()
{
    Run run = synthetic(30);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const qint64 first = generationOf(out());
    QVERIFY(first > 0);
    for (const QString &file : tableFiles)
        QCOMPARE(stampOf(QDir(out()).filePath(file)).journalMode, QStringLiteral("delete"));

    run = synthetic(31);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const qint64 second = generationOf(out());
    QVERIFY(second > 0);
    QVERIFY(second != first);

    // Tables stamped at the highest generation there is, one of them not
    // quite in step, still give way to a new one that differs from all.
    for (const QString &file : tableFiles)
        setHeaderField(QDir(out()).filePath(file), "user_version",
            file == QLatin1String("SYNON.DB") ? 5 : INT32_MAX);
    run = synthetic(32);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const qint64 third = generationOf(out());
    QVERIFY(third > 0 && third != INT32_MAX && third != 5);
    // No side file is left beside the tables, and the index files that came
    // with them describe them: no workstation rebuilds them.
    QCOMPARE(entries(out()), databaseFiles());
    QString why;
    QVERIFY2(store::indexesComplete(out(), &why), qPrintable(why));
}

void TestReplace::protectedTablesShareOneNewGeneration()
{
    // Protected twice, then a plain database after a protected one, and the
    // other way round.
    QList<qint64> seen;
    for (const bool protect : {true, true, false, true}) {
        const Run run = synthetic(20, protect ? QStringList {"--protect"} : QStringList());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const qint64 generation = generationOf(out(), protect);
        QVERIFY(generation > 0 && !seen.contains(generation));
        seen << generation;
        QString why;
        QVERIFY2(store::indexesComplete(out(), &why), qPrintable(why));
    }
}

void TestReplace::onlyOwnFilesAreDeleted()
{
    const QString protectedDb = m_tmp->filePath(QStringLiteral("protected"));
    QCOMPARE(runMakeDb({"--protect", "--synthetic", "10", protectedDb}).exitCode, 0);
    QCOMPARE(synthetic(40).exitCode, 0);
    const QDir o(out());
    // The store's own index files of the four tables that no new index file
    // replaces: under another case of their names, or of a number no longer
    // made.
    const QStringList indexes {
        "MATERIAL.XG0", "material.PX", "SYNON.xga", "supplier.PX", "matsupp.xg5"};
    for (const QString &name : indexes)
        writeFile(o.filePath(name), indexFile(qPrintable(name.section('.', 0, 0).toLower())));
    // Other people's files, some named like index files, and the store's
    // index header in a file of another name or behind a link.
    const QByteArray outsideIndex = indexFile("supplier");
    writeFile(m_tmp->filePath(QStringLiteral("outside.xg0")), outsideIndex);
    QCOMPARE(::symlink(qPrintable(m_tmp->filePath(QStringLiteral("outside.xg0"))),
                 qPrintable(o.filePath(QStringLiteral("supplier.xg3")))),
        0);
    QCOMPARE(::mkfifo(qPrintable(o.filePath(QStringLiteral("synon.xg2"))), 0600), 0);
    const QStringList foreign {"MATERIAL.XLS", "material.xml", "Supplier.xsd", "synon.xlt",
        "matsupp.x01", "synon.xg1", "MATERIAL.DB.orig", "prices.xls", "materials.px", "notes.px",
        "material.lck"};
    for (const QString &name : foreign) {
        writeFile(o.filePath(name),
            name == QLatin1String("materials.px") ? indexFile("materials")
                                                  : "user data of " + name.toUtf8());
    }
    // What went with the earlier tables: a journal, and tables under another
    // case of their names: one of this maker, one of an earlier maker, which
    // carries no stamp, and a protected one that stands alone.
    writeFile(o.filePath(QStringLiteral("MATERIAL.DB-journal")), "journal");
    writeFile(o.filePath(QStringLiteral("synon.db-wal")), "wal");
    QFile::copy(o.filePath(QStringLiteral("MATSUPP.DB")), o.filePath(QStringLiteral("matsupp.db")));
    QFile::copy(o.filePath(QStringLiteral("SYNON.DB")), o.filePath(QStringLiteral("Synon.db")));
    setHeaderField(o.filePath(QStringLiteral("Synon.db")), "application_id", 0);
    QVERIFY(QFile::remove(o.filePath(QStringLiteral("SUPPLIER.DB"))));
    QFile::copy(QDir(protectedDb).filePath(QStringLiteral("SUPPLIER.DB")),
        o.filePath(QStringLiteral("supplier.db")));
    QMap<QString, QString> before = snapshot(out());

    const Run run = synthetic(50);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(materialCount(out()), 50);
    QVERIFY(store::indexesComplete(out()));
    QMap<QString, QString> after = snapshot(out());
    for (const QString &name : foreign + QStringList {"supplier.xg3", "synon.xg2"})
        QVERIFY2(after.value(name) == before.value(name), qPrintable(name));
    QCOMPARE(readFile(m_tmp->filePath(QStringLiteral("outside.xg0"))), outsideIndex);
    QStringList expected = foreign + databaseFiles() + QStringList {"supplier.xg3", "synon.xg2"};
    expected.sort();
    QCOMPARE(after.keys(), expected);
}

void TestReplace::foreignFilesStopTheRun_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("someone's file under a table's name in another case")
        << "material.db"
        << "text"
        << " is not a table of ZIL";
    QTest::newRow("another database under a table's name in another case")
        << "Synon.db"
        << "database"
        << " is not a table of ZIL";
    QTest::newRow("someone's file at a table's name") << "MATERIAL.DB"
                                                      << "text"
                                                      << " is not a table of ZIL";
    QTest::newRow("directory under a table's name in another case")
        << "matsupp.db"
        << "directory"
        << " is a directory, not a table file";
    QTest::newRow("directory at a journal's name")
        << "MATSUPP.DB-journal"
        << "directory"
        << " is a directory, where only a table file or its journal may stand";
    QTest::newRow("someone's file at an index file's name") << "material.xg1"
                                                            << "text"
                                                            << " is not an index file of ZIL";
    QTest::newRow("link at an index file's name") << "supplier.xg0"
                                                  << "link"
                                                  << " is not an index file of ZIL";
    QTest::newRow("FIFO at an index file's name") << "synon.px"
                                                  << "fifo"
                                                  << " is not an index file of ZIL";
}

void TestReplace::foreignFilesStopTheRun()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QCOMPARE(synthetic(40).exitCode, 0);
    const QDir o(out());
    const QString path = o.filePath(name);
    QFile::remove(path);
    if (kind == QLatin1String("text")) {
        writeFile(path, "someone's notes");
    } else if (kind == QLatin1String("database")) {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(db, "CREATE TABLE notes (text)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(o.mkpath(name + QStringLiteral("/inside")));
        writeFile(o.filePath(name + QStringLiteral("/inside/file")), "someone's");
    } else if (kind == QLatin1String("link")) {
        // Never written through, even where it leads to an index file.
        writeFile(m_tmp->filePath(QStringLiteral("outside")), indexFile("supplier"));
        QCOMPARE(
            ::symlink(qPrintable(m_tmp->filePath(QStringLiteral("outside"))), qPrintable(path)), 0);
    } else {
        QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
    }
    writeFile(o.filePath(QStringLiteral("SYNON.DB-journal")), "journal");
    const QMap<QString, QString> before = snapshot(out());

    const Run run = synthetic(60);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(path + message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
    // Every file as it was, byte for byte, and no working directory left.
    QCOMPARE(snapshot(out()), before);

    QVERIFY(QFile::remove(path) || QDir(path).removeRecursively());
    const Run again = synthetic(60);
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QCOMPARE(materialCount(out()), 60);
    QVERIFY(generationOf(out()) > 0);
    QVERIFY(store::indexesComplete(out()));
}

void TestReplace::filesAreOnTheDiskBeforeTheyTakeTheirNames()
{
    if (!straceWorks())
        QSKIP("strace cannot trace programs here");
    // A database there already: its tables are swapped and its index files
    // replaced.
    QCOMPARE(synthetic(20).exitCode, 0);
    const QString log = m_tmp->filePath(QStringLiteral("flush.log"));
    const Run run = runMakeDbUnderStrace({"-f", "-y", "-s", "4096", "-o", log, "-e",
                                             "trace=fsync,fdatasync,write,pwrite64,rename,renameat,"
                                             "renameat2"},
        {"--synthetic", "30", out()});
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.err));

    // Follows each file through its writes, flushes and renames: a file is on
    // the disk when it was flushed after it was last written.
    static const QRegularExpression fdCall(
        QStringLiteral("^\\d+\\s+(fsync|fdatasync|write|pwrite64)\\(\\d+<([^>]*)>.*= (-?\\d+)"));
    static const QRegularExpression renameCall(
        QStringLiteral("^\\d+\\s+rename\\(\"([^\"]*)\", \"([^\"]*)\"\\) = 0"));
    static const QRegularExpression renameAtCall(
        QStringLiteral("^\\d+\\s+renameat2?\\(\\d+<([^>]*)>, \"([^\"]*)\", \\d+<([^>]*)>, "
                       "\"([^\"]*)\"(.*)\\) = 0"));
    const QString dir = QFileInfo(out()).canonicalFilePath();
    QSet<QString> flushed;
    QStringList placed;
    bool dirFlushed = false;
    for (const QByteArray &bytes : test::straceLines(log)) {
        const QString line = QString::fromUtf8(bytes);
        QString from, to;
        bool exchange = false;
        if (const auto m = fdCall.match(line); m.hasMatch()) {
            if (m.captured(1).startsWith(QLatin1String("write"))
                || m.captured(1).startsWith(QLatin1String("pwrite")))
                flushed.remove(m.captured(2));
            else if (m.captured(3) == QLatin1String("0"))
                flushed.insert(m.captured(2));
            dirFlushed = dirFlushed || (m.captured(2) == dir && m.captured(1) == "fsync");
            continue;
        } else if (const auto r = renameCall.match(line); r.hasMatch()) {
            from = r.captured(1);
            to = r.captured(2);
        } else if (const auto a = renameAtCall.match(line); a.hasMatch()) {
            from = a.captured(1) + '/' + a.captured(2);
            to = a.captured(3) + '/' + a.captured(4);
            exchange = a.captured(5).contains(QLatin1String("RENAME_EXCHANGE"));
        } else {
            continue;
        }
        if (QFileInfo(to).path() == dir && databaseFiles().contains(QFileInfo(to).fileName())) {
            QVERIFY2(flushed.contains(from), qPrintable(from + " took its name unflushed"));
            placed << QFileInfo(to).fileName();
            dirFlushed = false;
        }
        const bool fromFlushed = flushed.remove(from);
        const bool toFlushed = flushed.remove(to);
        if (fromFlushed)
            flushed.insert(to);
        if (exchange && toFlushed)
            flushed.insert(from);
    }
    placed.sort();
    QStringList expected = tableFiles + indexFiles;
    expected.sort();
    QCOMPARE(placed, expected);
    QVERIFY2(dirFlushed, "the directory was not flushed after the last file took its name");
}

void TestReplace::failedMovePutsEarlierFilesBack_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<bool>("backFails");
    QTest::newRow("the first move") << "first" << false;
    QTest::newRow("the first table") << "table" << false;
    QTest::newRow("the last move") << "last" << false;
    QTest::newRow("the first table, and putting back") << "table" << true;
}

void TestReplace::failedMovePutsEarlierFilesBack()
{
    QFETCH(QString, failing);
    QFETCH(bool, backFails);
    if (!straceWorks())
        QSKIP("strace cannot trace programs here");
    QCOMPARE(synthetic(40).exitCode, 0);
    // The moves of a run into a database the maker made, in order.
    const QString log = m_tmp->filePath(QStringLiteral("moves.log"));
    QCOMPARE(runMakeDbUnderStrace(
                 {"-f", "-o", log, "-e", "trace=renameat2"}, {"--synthetic", "40", out()})
                 .exitCode,
        0);
    QList<QByteArray> moves;
    for (const QByteArray &line : test::straceLines(log)) {
        if (line.contains("renameat2("))
            moves << line;
    }
    qsizetype at = moves.size();
    if (failing == QLatin1String("first"))
        at = 1;
    else if (failing == QLatin1String("table"))
        at = std::find_if(moves.begin(), moves.end(),
                 [](const QByteArray &m) { return m.contains("RENAME_EXCHANGE"); })
            - moves.begin() + 1;
    QVERIFY(at >= 1 && at <= moves.size());
    writeFile(QDir(out()).filePath(QStringLiteral("SYNON.DB-journal")), "journal");
    const QMap<QString, QString> before = snapshot(out());

    // From that move on, each fails; putting back moves too.
    const Run run = runMakeDbUnderStrace({"-f", "-o", "/dev/null", "-e",
                                             QStringLiteral("inject=renameat2:error=EIO:when=%1%2")
                                                 .arg(at)
                                                 .arg(backFails ? "+" : "")},
        {"--synthetic", "60", out()});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(!run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
    if (!backFails) {
        QVERIFY2(run.err.contains(QStringLiteral("the earlier tables were put back")),
            qPrintable(run.err));
        // Every file as it was, byte for byte, and no working directory left.
        QCOMPARE(snapshot(out()), before);
        return;
    }
    QVERIFY2(
        run.err.contains(QStringLiteral("run zil-makedb --finish ") + out()), qPrintable(run.err));
    const Run finish = runMakeDb({"--finish", out()});
    QVERIFY2(finish.exitCode == 0, qPrintable(finish.err));
    QVERIFY2(finish.out.contains(QStringLiteral("completed the update")), qPrintable(finish.out));
    QCOMPARE(materialCount(out()), 60);
    QVERIFY(generationOf(out()) > 0);
    QVERIFY(store::indexesComplete(out()));
    QCOMPARE(workDirs(out()), QStringList());
}

void TestReplace::killedAtAnyMoveIsCompletedOrUndone()
{
    if (!straceWorks())
        QSKIP("strace cannot trace programs here");
    QCOMPARE(synthetic(20).exitCode, 0);
    // The renames of a run into a database the maker made, in order: each
    // is a point where the next run is killed.
    const QString log = m_tmp->filePath(QStringLiteral("renames.log"));
    QCOMPARE(runMakeDbUnderStrace({"-f", "-o", log, "-e", "trace=rename,renameat,renameat2"},
                 {"--synthetic", "20", out()})
                 .exitCode,
        0);
    const QStringList calls = renameCalls(log);
    QVERIFY(calls.size() > int(databaseFiles().size()));
    const QString copy = m_tmp->filePath(QStringLiteral("copy"));
    QHash<QString, int> count;
    // Whether --finish completed the update of a killed run.
    bool completed = false;
    for (const QString &call : calls) {
        const int when = ++count[call];
        const QString point = QStringLiteral("killed at %1 #%2").arg(call).arg(when);
        const qint64 earlier = generationOf(out());
        const int earlierCount = materialCount(out());
        const int newCount = earlierCount == 21 ? 22 : 21;
        const Run killed = runMakeDbUnderStrace(
            {"-f", "-o", "/dev/null", "-e",
                QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(when)},
            {"--synthetic", QString::number(newCount), out()});
        QVERIFY2(!killed.finished, qPrintable(point));
        // What the killed run left, finished by an ordinary run.
        QVERIFY(QDir(copy).removeRecursively());
        copyTree(out(), copy);
        const Run next = runMakeDb({"--synthetic", "25", copy});
        QVERIFY2(next.exitCode == 0, qPrintable(point + ": " + next.err));
        QCOMPARE(materialCount(copy), 25);
        const Run finish = runMakeDb({"--finish", out()});
        QVERIFY2(finish.exitCode == 0, qPrintable(point + ": " + finish.err));

        for (const QString &dir : {out(), copy}) {
            // One database, whole and indexed.
            QVERIFY2(generationOf(dir) > 0, qPrintable(point));
            for (const QString &table : tableFiles)
                QVERIFY2(readTable(dir, table).error.isEmpty(), qPrintable(point));
            QString why;
            QVERIFY2(store::indexesComplete(dir, &why), qPrintable(point + ": " + why));
            QVERIFY2(workDirs(dir).isEmpty(), qPrintable(point));
        }
        // The old or the new: undone until its journal stood, completed from
        // then on.
        const bool isNew = generationOf(out()) != earlier;
        QCOMPARE(materialCount(out()), isNew ? newCount : earlierCount);
        QVERIFY2(isNew || !completed, qPrintable(point));
        completed = completed || isNew;
    }
    QVERIFY(completed);
}

void TestReplace::longOutputPath()
{
    // Deeper than SQLite takes paths, in names the file system takes.
    QString deep = m_tmp->path();
    while (deep.size() < 600)
        deep += QLatin1Char('/') + QString(100, QLatin1Char('d'));
    const Run plain = runMakeDb({"--synthetic", "20", deep});
    QVERIFY2(plain.exitCode == 0, qPrintable(plain.err));
    const Run locked = runMakeDb({"--protect", "--synthetic", "21", deep});
    QVERIFY2(locked.exitCode == 0, qPrintable(locked.err));
    QString why;
    QVERIFY2(store::indexesComplete(deep, &why), qPrintable(why));
    const QString near = m_tmp->filePath(QStringLiteral("near"));
    QCOMPARE(::symlink(qPrintable(deep), qPrintable(near)), 0);
    QVERIFY(generationOf(near, true) > 0);
    QCOMPARE(
        readTable(near, QStringLiteral("MATERIAL.DB"), schema::programPassword()).rows.size(), 21);
    QCOMPARE(entries(near), databaseFiles());
}

void TestReplace::movesWaitForARebuildingWorkstation()
{
    QCOMPARE(synthetic(10).exitCode, 0);
    const auto database = [this] {
        QMap<QString, QString> files = snapshot(out());
        files.removeIf([](const auto &f) { return f.key().startsWith(makedb::workDirPrefix); });
        return files;
    };
    const QMap<QString, QString> before = database();
    // As a starting workstation holds it while it rebuilds the index files.
    platform::FileLock rebuild;
    QCOMPARE(rebuild.lockExclusive(store::rebuildLockFile(out())), platform::LockResult::Locked);
    QProcess maker;
    maker.start(qEnvironmentVariable("ZIL_MAKEDB"), {"--synthetic", "15", out()});
    QByteArray said;
    QElapsedTimer waited;
    waited.start();
    while (!said.contains("waiting for a workstation rebuilding") && waited.elapsed() < 60000
        && maker.state() != QProcess::NotRunning) {
        maker.waitForReadyRead(100);
        said += maker.readAllStandardError();
    }
    QVERIFY2(said.contains("waiting for a workstation rebuilding"), said.constData());
    QThread::msleep(300);
    QCOMPARE(database(), before);
    rebuild.unlock();
    QVERIFY(maker.waitForFinished(60000));
    QVERIFY2(maker.exitCode() == 0, maker.readAllStandardError().constData());
    QCOMPARE(materialCount(out()), 15);
    QVERIFY(store::indexesComplete(out()));
}

void TestReplace::killedRunIsRemovedByTheNext()
{
    QCOMPARE(synthetic(40).exitCode, 0);
    const QMap<QString, QString> before = snapshot(out());
    QProcess big;
    big.start(qEnvironmentVariable("ZIL_MAKEDB"),
        {QStringLiteral("--synthetic"), QStringLiteral("100000"), out()});
    const QString work = waitForWorkDir(out(), big);
    QVERIFY2(!work.isEmpty(), "no working directory appeared");
    big.kill();
    QVERIFY(big.waitForFinished());
    // The killed run changed no table and left its working directory.
    const QMap<QString, QString> afterKill = snapshot(out());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(afterKill.value(it.key()), it.value());
    QVERIFY(QFileInfo(QDir(out()).filePath(work)).isDir());

    const Run next = synthetic(45);
    QVERIFY2(next.exitCode == 0, qPrintable(next.err));
    QVERIFY2(next.err.contains(QStringLiteral("removed ")) && next.err.contains(work),
        qPrintable(next.err));
    QCOMPARE(workDirs(out()), QStringList());
    QCOMPARE(materialCount(out()), 45);
}

void TestReplace::workDirsNotOursOrLiveAreLeft()
{
    QCOMPARE(synthetic(10).exitCode, 0);
    const QDir o(out());
    const QString prefix = QLatin1String(makedb::workDirPrefix);
    // Look-alikes: no marker, a marker of other content, a marker that is a
    // link, a link to a directory that holds a marker, another name length.
    QVERIFY(o.mkpath(prefix + QStringLiteral("nomark/keep")));
    QVERIFY(o.mkpath(prefix + QStringLiteral("others")));
    writeFile(o.filePath(prefix + QStringLiteral("others/") + makedb::workMarkerName), "mine\n");
    QVERIFY(o.mkpath(prefix + QStringLiteral("linked")));
    writeFile(m_tmp->filePath(QStringLiteral("marker")), makedb::workMarkerText);
    QCOMPARE(
        ::symlink(qPrintable(m_tmp->filePath(QStringLiteral("marker"))),
            qPrintable(o.filePath(prefix + QStringLiteral("linked/") + makedb::workMarkerName))),
        0);
    makeWorkDir(m_tmp->filePath(QStringLiteral("elsewhere")), false);
    QCOMPARE(::symlink(qPrintable(m_tmp->filePath(QStringLiteral("elsewhere"))),
                 qPrintable(o.filePath(prefix + QStringLiteral("tolink")))),
        0);
    makeWorkDir(o.filePath(prefix + QStringLiteral("longer1")), false);
    // One that a run elsewhere still holds, one left while tables moved, and
    // one stopped before: only the last is removed.
    makeWorkDir(o.filePath(prefix + QStringLiteral("live01")), false);
    const int lock = ::open(
        qPrintable(o.filePath(prefix + QStringLiteral("live01/") + makedb::workMarkerName)),
        O_RDWR | O_CLOEXEC);
    QVERIFY(lock >= 0);
    QCOMPARE(::flock(lock, LOCK_EX), 0);
    makeWorkDir(o.filePath(prefix + QStringLiteral("moving")), true);
    makeWorkDir(o.filePath(prefix + QStringLiteral("gone01")), false);
    QMap<QString, QString> before = snapshot(out());

    Run run = synthetic(11);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(prefix + QStringLiteral("moving was left by a run stopped while")),
        qPrintable(run.err));
    QMap<QString, QString> after = snapshot(out());
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!it.key().startsWith(prefix + QStringLiteral("gone01")) && it.key().startsWith(prefix))
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
    }
    QVERIFY(!after.contains(prefix + QStringLiteral("gone01")));
    QVERIFY(QFileInfo::exists(m_tmp->filePath(QStringLiteral("elsewhere/MATERIAL.DB"))));

    // Once its run has ended, the held one goes too.
    ::close(lock);
    run = synthetic(12);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!o.exists(prefix + QStringLiteral("live01")));
    QVERIFY(o.exists(prefix + QStringLiteral("moving/MATERIAL.DB")));
}

void TestReplace::secondRunWaitsForTheFirst()
{
    QCOMPARE(synthetic(10).exitCode, 0);
    const qint64 earlier = generationOf(out());
    QProcess first;
    first.start(qEnvironmentVariable("ZIL_MAKEDB"),
        {QStringLiteral("--synthetic"), QStringLiteral("100000"), out()});
    QVERIFY2(!waitForWorkDir(out(), first).isEmpty(), "no working directory appeared");
    // Started while the first writes: it must neither take the first one's
    // working directory for a stopped run's nor mix its tables with the
    // first one's.
    const Run second = synthetic(25);
    QVERIFY(first.waitForFinished(240000));
    QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
    QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    QVERIFY2(second.err.contains(QStringLiteral("waiting for another zil-makedb")),
        qPrintable(second.err));
    QCOMPARE(materialCount(out()), 25);
    const qint64 generation = generationOf(out());
    QVERIFY(generation > 0 && generation != earlier);
    QCOMPARE(workDirs(out()), QStringList());
}

QTEST_GUILESS_MAIN(TestReplace)
#include "tst_replace.moc"
