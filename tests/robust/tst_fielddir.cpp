// A database directory as it is met in the field, with real processes on it:
// foreign entries where the program looks (FIFOs, links), several first
// starts at once, the database replaced while a workstation reads, index
// files left behind by an interrupted rebuild or by an update.
#include "common/testdb.h"
#include "platform/filelock.h"
#include "store/fileformat.h"
#include "store/indexfile.h"
#include "workstation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

using namespace zil;

namespace {

constexpr int answerBoundMs = test::DriverClient::answerBoundMs;

const QStringList tableNames {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"};

using Driver = test::DriverClient;

bool makeFifo(const QString &path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// Stamps the four tables of a plain database with one generation, as the
// database maker does.
bool stamp(const QString &dir, int generation)
{
    for (const QString &t : tableNames) {
        if (!test::execSql(QDir(dir).filePath(t),
                QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2")
                    .arg(store::tableApplicationId)
                    .arg(generation)))
            return false;
    }
    return true;
}

QStringList indexFilesIn(const QString &dir)
{
    QStringList found;
    for (const QString &name : QDir(dir).entryList(QDir::Files)) {
        if (store::isIndexFile(QDir(dir).filePath(name)))
            found << name;
    }
    return found;
}

} // namespace

class TestFieldDirectory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    int m_next = 0;

    // A program directory whose settings file names db; with copy, the
    // program itself is copied there as well.
    QString installProgram(const QString &db, bool copy = false)
    {
        return test::installProgram(
            m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++)), db, copy);
    }

    bool readVersions(const QString &oldDb, const QString &newDb, test::TwoVersions &v)
    {
        return v.read(installProgram(oldDb), installProgram(newDb));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(!qEnvironmentVariable("ZIL_PROGRAM").isEmpty());
        QVERIFY(!qEnvironmentVariable("ZIL_DRIVER").isEmpty());
    }

    // A FIFO wherever the program opens or looks at a file: the start ends,
    // with the fixed message when the database cannot be used.
    void fifoInEachPosition_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("indexed");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("messages");

        const QStringList corrupted {"Error: Database not found or corrupted"};
        QTest::newRow("MATERIAL.DB") << "MATERIAL.DB" << true << "failed" << corrupted;
        QTest::newRow("SYNON.DB") << "SYNON.DB" << true << "failed" << corrupted;
        QTest::newRow("SUPPLIER.DB, no indexes")
            << "SUPPLIER.DB" << false << "failed"
            << QStringList {"Error: Cannot reindex file:supplier.db",
                   "Error: Database not found or corrupted"};
        QTest::newRow("material.px") << "material.px" << true << "failed"
                                     << QStringList {"Error: Cannot reindex file:material.db",
                                            "Error: Database not found or corrupted"};
        QTest::newRow("material.xg1") << "material.xg1" << true << "failed"
                                      << QStringList {"Error: Cannot reindex file:material.db",
                                             "Error: Database not found or corrupted"};
        QTest::newRow("synon.xg0") << "synon.xg0" << true << "failed"
                                   << QStringList {"Error: Cannot reindex file:synon.db",
                                          "Error: Database not found or corrupted"};
        // Names the rebuild looks at, and the lock files.
        QTest::newRow("junk.px") << "junk.px" << false << "started" << QStringList();
        QTest::newRow("old.x01") << "old.x01" << false << "started" << QStringList();
        QTest::newRow("material.lck") << "material.lck" << true << "started" << QStringList();
        QTest::newRow("zilindex.lck") << "zilindex.lck" << false << "started" << QStringList();
    }

    void fifoInEachPosition()
    {
        QFETCH(QString, entry);
        QFETCH(bool, indexed);
        QFETCH(QString, answer);
        QFETCH(QStringList, messages);

        const QString db = m_tmp.filePath(QStringLiteral("fifo%1").arg(m_next++));
        QVERIFY(test::makeSynthetic(db, 3000));
        if (!indexed)
            store::deleteOldIndexFiles(db);
        QVERIFY(makeFifo(QDir(db).filePath(entry)));

        // The refusal names the directory it tried on its second line.
        for (QString &m : messages)
            if (m == QLatin1String("Error: Database not found or corrupted"))
                m += QStringLiteral("\\n") + db + QLatin1Char('/');

        Driver d;
        QElapsedTimer took;
        took.start();
        QCOMPARE(d.start(installProgram(db)), answer);
        QCOMPARE(d.messages, messages);
        std::fprintf(
            stderr, "FIFO as %s: answered after %lld ms\n", qPrintable(entry), took.elapsed());
        if (answer == QLatin1String("started"))
            QVERIFY(d.command("row 2999").startsWith("current "));
        // The FIFO is still there: nothing deleted or replaced it.
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(QDir(db).filePath(entry)).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    // A link where a lock file goes: the start reads the database, and
    // nothing is made where the link points.
    void lockFileLinkCreatesNothingOutside()
    {
        const QString db = m_tmp.filePath("locklink");
        QVERIFY(test::makeSynthetic(db, 3000));
        store::indexDatabase(db);
        QTemporaryDir outside;
        const QString target = QDir(outside.path()).filePath("elsewhere.lck");
        QFile::remove(QDir(db).filePath("material.lck"));
        QVERIFY(QFile::link(target, QDir(db).filePath("material.lck")));

        Driver d;
        QCOMPARE(d.start(installProgram(db)), QStringLiteral("started"));
        QVERIFY(d.command("row 1500").startsWith("current 1500|"));
        QCOMPARE(d.messages, QStringList());
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(QFileInfo(QDir(db).filePath("material.lck")).isSymLink());
    }

    // Three workstations started at once on a large database without index
    // files: one rebuilds, the others wait for it, all three open.
    void threeFirstStartsAtOnce()
    {
        const QString db = m_tmp.filePath("first");
        QVERIFY(test::makeSynthetic(db, 30000));
        const QString prog = installProgram(db, true);
        QVERIFY(!prog.isEmpty());

        for (int round = 1; round <= 3; ++round) {
            for (const QString &name : indexFilesIn(db))
                QVERIFY(QFile::remove(QDir(db).filePath(name)));
            QVERIFY(!store::indexesComplete(db));

            std::vector<std::unique_ptr<QProcess>> starts;
            QStringList logs;
            for (int i = 0; i < 3; ++i) {
                logs << m_tmp.filePath(QStringLiteral("first%1-%2.log").arg(round).arg(i));
                QFile::remove(logs.last());
                auto p = std::make_unique<QProcess>();
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert("QT_QPA_PLATFORM", "offscreen");
                env.insert("ZIL_ANNOUNCE_IDLE", "1");
                env.insert("ZIL_MESSAGE_LOG", logs.last());
                p->setProcessEnvironment(env);
                p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
                p->start(prog + "/zil", {});
                QVERIFY(p->waitForStarted(answerBoundMs));
                starts.push_back(std::move(p));
            }
            for (int i = 0; i < 3; ++i) {
                QProcess &p = *starts[size_t(i)];
                while (!p.canReadLine() && p.state() == QProcess::Running)
                    p.waitForReadyRead(answerBoundMs);
                const QByteArray said = p.readLine().trimmed();
                QFile log(logs[i]);
                const QByteArray shown = log.open(QIODevice::ReadOnly) ? log.readAll() : "";
                QVERIFY2(said == "idle",
                    qPrintable(QStringLiteral("round %1, start %2: %3 %4")
                                   .arg(round)
                                   .arg(i)
                                   .arg(QString::fromUtf8(said), QString::fromUtf8(shown))));
                QCOMPARE(shown, QByteArray());
            }
            // Stopped, the starts may leave Find's search data to the next.
            for (auto &p : starts) {
                p->kill();
                p->waitForFinished(-1);
            }
            QVERIFY(store::indexesComplete(db, nullptr, store::SearchData::Leave));
        }
    }

    // Index files left by an interrupted rebuild (some gone, the name index
    // still there) or by an update (made for the database before): the next
    // start rebuilds and opens.
    void leftoverIndexFilesAreRebuilt_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<bool>("updated");

        QTest::newRow("supplier.px gone") << "supplier.px" << false;
        QTest::newRow("synon.xg0 gone") << "synon.xg0" << false;
        QTest::newRow("matsupp.px damaged") << "-matsupp.px" << false;
        QTest::newRow("made for the database before") << QString() << true;
    }

    void leftoverIndexFilesAreRebuilt()
    {
        QFETCH(QString, removed);
        QFETCH(bool, updated);

        const QString db = m_tmp.filePath(QStringLiteral("left%1").arg(m_next++));
        QVERIFY(test::makeSynthetic(db, 3000));
        QVERIFY(stamp(db, 7));
        store::indexDatabase(db);
        QVERIFY(store::indexesComplete(db));
        if (removed.startsWith('-')) {
            QFile f(QDir(db).filePath(removed.mid(1)));
            QVERIFY(f.open(QIODevice::Append));
            f.write("damage");
        } else if (!removed.isEmpty()) {
            QVERIFY(QFile::remove(QDir(db).filePath(removed)));
        }
        if (updated)
            QVERIFY(stamp(db, 8));
        QVERIFY(QFileInfo::exists(QDir(db).filePath("material.xg1")));
        QVERIFY(!store::indexesComplete(db));

        Driver d;
        QCOMPARE(d.start(installProgram(db)), QStringLiteral("started"));
        QCOMPARE(d.messages, QStringList());
        QVERIFY(d.command("row 3000").startsWith("current 3000|"));
        QVERIFY(test::indexesCompleteWithin(db));
    }

    // The database maker writes a new database while a workstation is
    // rebuilding the indexes of the old one: whatever that start ends with,
    // the directory it leaves is one the next start opens.
    void makerDuringRebuild()
    {
        const QString db = m_tmp.filePath("makerRebuild");
        QVERIFY(test::makeSynthetic(db, 30000));
        const QString prog = installProgram(db, true);
        QVERIFY(!prog.isEmpty());

        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZIL_ANNOUNCE_IDLE", "1");
        env.insert("ZIL_MESSAGE_LOG", m_tmp.filePath("makerRebuild.log"));
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(prog + "/zil", {});
        QVERIFY(first.waitForStarted(answerBoundMs));
        // Once the rebuild has passed the first table, the maker writes a new
        // database into the directory.
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(QDir(db).filePath("supplier.px")) && waited.elapsed() < 30000)
            QTest::qWait(2);
        QVERIFY(test::runMakeDb({"--synthetic", "30000", "--seed", "5", db}));
        while (!first.canReadLine() && first.state() == QProcess::Running)
            first.waitForReadyRead(answerBoundMs);
        first.kill();
        first.waitForFinished(-1);

        Driver d;
        QCOMPARE(d.start(installProgram(db)), QStringLiteral("started"));
        QVERIFY(d.command("row 30000").startsWith("current 30000|"));
        QVERIFY(test::indexesCompleteWithin(db));
    }

    // A start that finds another workstation rebuilding waits for it, and
    // opens once the rebuild lock is free.
    void startWaitsForAnotherRebuild()
    {
        const QString db = m_tmp.filePath("waits");
        QVERIFY(test::makeSynthetic(db, 3000));
        store::indexDatabase(db);
        QVERIFY(QFile::remove(QDir(db).filePath("synon.px")));
        platform::FileLock other;
        QCOMPARE(
            other.lockExclusive(QDir(db).filePath("zilindex.lck")), platform::LockResult::Locked);

        QProcess d;
        d.setProgram(qEnvironmentVariable("ZIL_DRIVER"));
        d.setArguments({installProgram(db) + "/zil"});
        d.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        d.start();
        QVERIFY(d.waitForStarted(answerBoundMs));
        // While the lock is held the start neither fails nor opens.
        QVERIFY(!d.waitForReadyRead(3000));
        QCOMPARE(d.state(), QProcess::Running);
        other.unlock();
        while (!d.canReadLine() && d.state() == QProcess::Running)
            d.waitForReadyRead(answerBoundMs);
        QCOMPARE(d.readLine().trimmed(), QByteArray("started"));
        QVERIFY(test::indexesCompleteWithin(db));
        d.closeWriteChannel();
        QVERIFY(d.waitForFinished(answerBoundMs));
    }

    // Tables of two different updates are not opened as one database: the
    // start waits a while for the update to finish, and refuses the
    // directory when it does not.
    void tablesOfTwoUpdatesAreRefused()
    {
        const QString db = m_tmp.filePath("twoUpdates");
        QVERIFY(test::makeSynthetic(db, 3000));
        QVERIFY(stamp(db, 3));
        store::indexDatabase(db);
        QVERIFY(test::execSql(QDir(db).filePath("SYNON.DB"), "PRAGMA user_version = 4"));

        Driver refused;
        QCOMPARE(refused.start(installProgram(db)), QStringLiteral("failed"));
        QCOMPARE(
            refused.messages, QStringList {"Error: Database not found or corrupted\\n" + db + "/"});

        // The update finishes while a start waits: that start opens.
        QProcess d;
        d.setProgram(qEnvironmentVariable("ZIL_DRIVER"));
        d.setArguments({installProgram(db) + "/zil"});
        d.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        d.start();
        QVERIFY(d.waitForStarted(answerBoundMs));
        QVERIFY(!d.waitForReadyRead(1500));
        QVERIFY(stamp(db, 4));
        while (!d.canReadLine() && d.state() == QProcess::Running)
            d.waitForReadyRead(answerBoundMs);
        QCOMPARE(d.readLine().trimmed(), QByteArray("started"));
        d.closeWriteChannel();
        QVERIFY(d.waitForFinished(answerBoundMs));
    }

    // The tables of a newer database are moved in one by one while a
    // workstation reads: every answer shows the old database or the new one
    // throughout, never names of one with synonyms or suppliers of the other.
    void replacedDatabaseIsNeverMixed()
    {
        const QString oldDb = m_tmp.filePath("mixOld"), newDb = m_tmp.filePath("mixNew");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "11", oldDb}));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "12", newDb}));
        QVERIFY(stamp(oldDb, 1));
        QVERIFY(stamp(newDb, 2));
        store::indexDatabase(newDb);

        const QString live = m_tmp.filePath("mixLive");
        QVERIFY(QDir().mkpath(live));
        for (const QString &t : tableNames)
            QVERIFY(QFile::copy(QDir(oldDb).filePath(t), QDir(live).filePath(t)));
        store::indexDatabase(live);
        store::indexDatabase(oldDb);

        test::TwoVersions v;
        QVERIFY(readVersions(oldDb, newDb, v));

        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        const auto checkRows = [&](const QString &when) {
            const QString mixed = v.mixedRow(d);
            QVERIFY2(mixed.isEmpty(), qPrintable(when + ": " + mixed));
        };
        checkRows("before");
        // The order of the maker's moves, the synonyms first, so that a
        // material shown meanwhile is looked up in a new SYNON.DB.
        for (const char *t : {"SYNON.DB", "MATSUPP.DB", "SUPPLIER.DB", "MATERIAL.DB"}) {
            QVERIFY(std::rename(QFile::encodeName(QDir(newDb).filePath(t)).constData(),
                        QFile::encodeName(QDir(live).filePath(t)).constData())
                == 0);
            checkRows(QStringLiteral("after moving %1").arg(t));
        }
        // Once all four are new, the workstation shows the new database.
        QCOMPARE(v.now(d), v.after);
        QCOMPARE(d.messages, QStringList());
    }

    // The real maker replaces the database while a workstation reads it:
    // every row the workstation shows, at any moment, is wholly of the old
    // database or wholly of the new one, and once the maker is done the
    // workstation shows the new one without a message.
    void makerRunWhileAWorkstationReads()
    {
        const QString live = m_tmp.filePath("makerLive"), reference = m_tmp.filePath("makerNew");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "21", live}));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "22", reference}));
        test::TwoVersions v;
        QVERIFY(readVersions(live, reference, v));

        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        QProcess maker;
        maker.setProcessChannelMode(QProcess::ForwardedChannels);
        maker.start(
            qEnvironmentVariable("ZIL_MAKEDB"), {"--synthetic", "3000", "--seed", "22", live});
        QVERIFY(maker.waitForStarted(answerBoundMs));
        int rounds = 0;
        do {
            const QString mixed = v.mixedRow(d);
            QVERIFY2(mixed.isEmpty(), qPrintable(QStringLiteral("round %1: ").arg(rounds) + mixed));
            ++rounds;
        } while (!maker.waitForFinished(1) && rounds < 100000);
        QCOMPARE(maker.exitStatus(), QProcess::NormalExit);
        QCOMPARE(maker.exitCode(), 0);
        std::fprintf(stderr, "maker run: %d rounds of rows read meanwhile\n", rounds);

        QCOMPARE(v.now(d), v.after);
        QCOMPARE(d.messages, QStringList());
    }

    // A database update taken up while text is left in the search field: the
    // text still decides which material is current, as on a workstation
    // started on the new database, not the id it had in the old one.
    void searchTextHoldsAcrossAnUpdate()
    {
        const QString live = m_tmp.filePath("searchLive"), reference = m_tmp.filePath("searchNew");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "31", live}));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "32", reference}));
        Driver fresh;
        QCOMPARE(fresh.start(installProgram(reference)), QStringLiteral("started"));
        // A material far down the list that its whole name finds (a name
        // with a prefix such as "cis-" is found by the rest of it).
        QString name, expected;
        for (int row = 2000; row < 2100 && name.isEmpty(); ++row) {
            const QString candidate
                = fresh.command(QStringLiteral("row %1").arg(row)).section(QLatin1Char('|'), 1, 1);
            const QString found = fresh.command("search " + candidate);
            if (found.startsWith(QStringLiteral("current %1|").arg(row))) {
                name = candidate;
                expected = found;
            }
        }
        QVERIFY(!name.isEmpty());

        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "32", live}));
        d.command("search " + name);
        QCOMPARE(d.command("current"), expected);
        QCOMPARE(d.messages, QStringList());
    }
};

QTEST_MAIN(TestFieldDirectory)
#include "tst_fielddir.moc"
