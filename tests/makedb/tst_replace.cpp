// zil-makedb writing into a database directory that is in use: the four
// tables stamped with one new generation, replaced all together or not at
// all, and nothing touched that is not the maker's own, also when an earlier
// run was killed or another one is still running.

#include "makedbtest.h"
#include "store/fileformat.h"
#include "store/schema.h"
#include "store/tablekey.h"
#include "tools/makedb/outputdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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

void setGeneration(const QString &path, qint32 generation)
{
    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
        SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA user_version = " + QByteArray::number(generation), nullptr,
                 nullptr, nullptr),
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

} // namespace

class TestReplace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void nextGenerationDiffers_data();
    void nextGenerationDiffers();
    void tablesShareOneNewGeneration();
    void protectedTablesShareOneNewGeneration();
    void onlyOwnFilesAreDeleted();
    void failedMovePutsEarlierTablesBack_data();
    void failedMovePutsEarlierTablesBack();
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

void TestReplace::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestReplace::nextGenerationDiffers_data()
{
    QTest::addColumn<QList<int>>("found");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << QList<int> {} << false << qint64(1700000000) << 1;
    QTest::newRow("unstamped") << QList<int> {0, 0, 0, 0} << false << qint64(1700000000) << 1;
    QTest::newRow("highest plus one") << QList<int> {4, 7, 7, 2} << false << qint64(9) << 8;
    QTest::newRow("unreadable: the clock")
        << QList<int> {4} << true << qint64(1700000000) << 1700000000;
    QTest::newRow("unreadable, higher found")
        << QList<int> {1800000000} << true << qint64(1700000000) << 1800000001;
    QTest::newRow("at the top") << QList<int> {INT32_MAX, 1, 2} << false << qint64(0) << 3;
    QTest::newRow("negative") << QList<int> {-5} << false << qint64(0) << 1;
}

void TestReplace::nextGenerationDiffers()
{
    QFETCH(QList<int>, found);
    QFETCH(bool, unreadable);
    QFETCH(qint64, now);
    QFETCH(int, expected);
    const std::vector<std::int32_t> gens(found.begin(), found.end());
    QCOMPARE(makedb::nextGeneration(gens, unreadable, now), expected);
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
        setGeneration(
            QDir(out()).filePath(file), file == QLatin1String("SYNON.DB") ? 5 : INT32_MAX);
    run = synthetic(32);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const qint64 third = generationOf(out());
    QVERIFY(third > 0 && third != INT32_MAX && third != 5);
    // No side file is left beside the tables.
    QCOMPARE(QDir(out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList {"MATERIAL.DB", "MATSUPP.DB", "SUPPLIER.DB", "SYNON.DB"}));
}

void TestReplace::protectedTablesShareOneNewGeneration()
{
    const QStringList protect {QStringLiteral("--protect")};
    QCOMPARE(synthetic(20, protect).exitCode, 0);
    const qint64 first = generationOf(out(), true);
    QVERIFY(first > 0);
    QCOMPARE(synthetic(20, protect).exitCode, 0);
    QCOMPARE(generationOf(out(), true), first + 1);
    // A plain database after a protected one, and the other way round.
    QCOMPARE(synthetic(20).exitCode, 0);
    QCOMPARE(generationOf(out()), first + 2);
    QCOMPARE(synthetic(20, protect).exitCode, 0);
    QCOMPARE(generationOf(out(), true), first + 3);
}

void TestReplace::onlyOwnFilesAreDeleted()
{
    QCOMPARE(synthetic(40).exitCode, 0);
    const QDir o(out());
    // The store's own index files of the four tables, whatever their case.
    const QStringList indexes {
        "material.px", "MATERIAL.XG0", "material.xg1", "SYNON.xga", "supplier.PX", "matsupp.xg0"};
    for (const QString &name : indexes)
        writeFile(o.filePath(name), indexFile(qPrintable(name.section('.', 0, 0).toLower())));
    // Other people's files, some named like index files, and the store's
    // index header in a file of another name or behind a link.
    const QByteArray outsideIndex = indexFile("supplier");
    writeFile(m_tmp->filePath(QStringLiteral("outside.xg0")), outsideIndex);
    QCOMPARE(::symlink(qPrintable(m_tmp->filePath(QStringLiteral("outside.xg0"))),
                 qPrintable(o.filePath(QStringLiteral("supplier.xg0")))),
        0);
    QCOMPARE(::mkfifo(qPrintable(o.filePath(QStringLiteral("synon.px"))), 0600), 0);
    const QStringList foreign {"MATERIAL.XLS", "material.xml", "Supplier.xsd", "synon.xlt",
        "matsupp.x01", "synon.xg1", "MATERIAL.DB.orig", "prices.xls", "materials.px", "notes.px",
        "material.lck"};
    for (const QString &name : foreign) {
        writeFile(o.filePath(name),
            name == QLatin1String("materials.px") ? indexFile("materials")
                                                  : "user data of " + name.toUtf8());
    }
    // What went with the earlier tables: a journal and a table of the same
    // name in another case.
    writeFile(o.filePath(QStringLiteral("MATERIAL.DB-journal")), "journal");
    writeFile(o.filePath(QStringLiteral("synon.db-wal")), "wal");
    QFile::copy(o.filePath(QStringLiteral("MATSUPP.DB")), o.filePath(QStringLiteral("matsupp.db")));
    QMap<QString, QString> before = snapshot(out());

    const Run run = synthetic(50);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(materialCount(out()), 50);
    QMap<QString, QString> after = snapshot(out());
    for (const QString &name : foreign + QStringList {"supplier.xg0", "synon.px"})
        QVERIFY2(after.value(name) == before.value(name), qPrintable(name));
    QCOMPARE(readFile(m_tmp->filePath(QStringLiteral("outside.xg0"))), outsideIndex);
    for (const QString &name :
        indexes + QStringList {"MATERIAL.DB-journal", "synon.db-wal", "matsupp.db"})
        QVERIFY2(!after.contains(name), qPrintable(name));
    QStringList expected = foreign + tableFiles + QStringList {"supplier.xg0", "synon.px"};
    expected.sort();
    QCOMPARE(after.keys(), expected);
}

void TestReplace::failedMovePutsEarlierTablesBack_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("message");
    // Each stands in the way of the last table, after the others moved.
    QTest::newRow("directory at a journal's name") << "MATSUPP.DB-journal"
                                                   << "MATSUPP.DB-journal is a directory";
    QTest::newRow("directory at the table's name") << "MATSUPP.DB"
                                                   << "MATSUPP.DB is a directory, not a table file";
}

void TestReplace::failedMovePutsEarlierTablesBack()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, message);
    QCOMPARE(synthetic(40).exitCode, 0);
    QDir o(out());
    if (obstacle == QLatin1String("MATSUPP.DB")) {
        // The program finds its table under any case of the name.
        QVERIFY(o.rename(QStringLiteral("MATSUPP.DB"), QStringLiteral("matsupp.db")));
    }
    QVERIFY(o.mkpath(obstacle + QStringLiteral("/inside")));
    writeFile(o.filePath(obstacle + QStringLiteral("/inside/file")), "someone's");
    writeFile(o.filePath(QStringLiteral("material.xg1")), indexFile("material"));
    writeFile(o.filePath(QStringLiteral("SYNON.DB-journal")), "journal");
    const QMap<QString, QString> before = snapshot(out());

    const Run run = synthetic(60);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(
        run.err.contains(QStringLiteral("the earlier tables were put back")), qPrintable(run.err));
    QVERIFY2(!run.err.contains(QStringLiteral("nothing written")), qPrintable(run.err));
    // Every file as it was, byte for byte, and no working directory left.
    QCOMPARE(snapshot(out()), before);

    QVERIFY(QDir(o.filePath(obstacle)).removeRecursively());
    const Run again = synthetic(60);
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QCOMPARE(materialCount(out()), 60);
    QVERIFY(generationOf(out()) > 0);
    QVERIFY(!o.exists(QStringLiteral("matsupp.db")));
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
    QCOMPARE(generationOf(out()), earlier + 2);
    QCOMPARE(workDirs(out()), QStringList());
}

QTEST_GUILESS_MAIN(TestReplace)
#include "tst_replace.moc"
