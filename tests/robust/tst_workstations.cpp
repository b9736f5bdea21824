// Several workstations on one database directory, each a real process: the
// program itself, and the driver program that runs the same main window and
// answers commands. One workstation's failed start must not disturb the
// others, and a database replaced under a running one is read whole.
#include "browser/linkdb.h"
#include "common/testdb.h"
#include "store/indexfile.h"
#include "workstation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>

using namespace zil;

namespace {

// A workstation that has started on its database.
class Driver : public zil::test::DriverClient
{
public:
    bool start(const QString &programDir)
    {
        return DriverClient::start(programDir) == QLatin1String("started");
    }
};

// The lock files a process holds open.
QStringList openLockFiles(qint64 pid)
{
    QStringList locks;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        if (target.endsWith(QLatin1String(".lck")))
            locks << QFileInfo(target).fileName();
    }
    locks.sort();
    return locks;
}

} // namespace

class TestWorkstations : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    int m_next = 0;

    // A copy of the program with its settings file naming db.
    QString installProgram(const QString &db)
    {
        return test::installProgram(
            m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++)), db, true);
    }

    // Starts the program; its message boxes go to log.
    std::unique_ptr<QProcess> startProgram(const QString &dir, const QString &log)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZIL_MESSAGE_LOG", log);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(dir + "/zil", {});
        p->waitForStarted(-1);
        return p;
    }

    // Waits until the program holds all four tables open; false when it
    // ended instead.
    bool waitUntilOpen(QProcess &p)
    {
        const QStringList all {"material.lck", "matsupp.lck", "supplier.lck", "synon.lck"};
        while (p.state() != QProcess::NotRunning) {
            if (openLockFiles(p.processId()) == all)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariable("ZIL_PROGRAM").isEmpty());
        QVERIFY(!qEnvironmentVariable("ZIL_DRIVER").isEmpty());
    }

    // Two workstations read; a third starts with the name index missing and
    // rebuilds it while the tables are in use, with no message, and the two
    // others go on reading the same data.
    void startRebuildsWhileOthersRead()
    {
        const QString db = m_tmp.filePath("shared");
        QVERIFY(test::makeSynthetic(db, 40));
        store::indexDatabase(db);
        const QString prog = installProgram(db);
        QVERIFY(!prog.isEmpty());

        const QString logA = m_tmp.filePath("a.log"), logB = m_tmp.filePath("b.log"),
                      logC = m_tmp.filePath("c.log");
        auto a = startProgram(prog, logA);
        auto b = startProgram(prog, logB);
        QVERIFY(waitUntilOpen(*a));
        QVERIFY(waitUntilOpen(*b));
        Driver d;
        QVERIFY(d.start(prog));
        const QStringList probes {"row 7", "row 33", "search m", "restore", "row 2"};
        QStringList before;
        for (const QString &probe : probes)
            before << d.command(probe);
        QVERIFY(before[0].startsWith("current 7|"));

        QVERIFY(QFile::remove(db + "/material.xg1"));
        auto c = test::startZil(prog, logC);
        QVERIFY(test::waitIdle(*c));
        QCOMPARE(test::logOf(logC), QStringList());
        QVERIFY(test::indexesCompleteWithin(db));
        c->kill();
        c->waitForFinished(-1);

        QStringList after;
        for (const QString &probe : probes)
            after << d.command(probe);
        QCOMPARE(after, before);
        QCOMPARE(d.messages, QStringList());
        // The two programs still run with their tables open.
        QVERIFY(waitUntilOpen(*a));
        QVERIFY(waitUntilOpen(*b));
        QCOMPARE(test::logOf(logA), QStringList());
        QCOMPARE(test::logOf(logB), QStringList());
        a->kill();
        b->kill();
        a->waitForFinished(-1);
        b->waitForFinished(-1);
    }

    // The database maker replaces every table while a workstation reads;
    // after a refresh the workstation shows the new data throughout.
    void replacedDatabaseIsReadWhole()
    {
        const QString db = m_tmp.filePath("replaced");
        QVERIFY(test::makeSynthetic(db, 40));
        store::indexDatabase(db);
        const QString prog = installProgram(db);
        Driver d;
        QVERIFY(d.start(prog));
        const QString old1 = d.command("row 1");

        QVERIFY(test::makeLinkDatabase(m_tmp.filePath("src"), db));

        // A workstation started on a copy of the new data shows what the
        // refreshed one must show.
        const QString copy = m_tmp.filePath("copy");
        QVERIFY(test::makeLinkDatabase(m_tmp.filePath("src2"), copy));
        Driver fresh;
        QVERIFY(fresh.start(installProgram(copy)));
        QStringList expected;
        for (int row = 1; row <= 6; ++row)
            expected << fresh.command(QStringLiteral("row %1").arg(row));
        QVERIFY(expected[0].startsWith("current 1|Anethole|104-46-1|"));

        const QString refreshed = d.command("restore");
        QVERIFY(refreshed != old1);
        QStringList seen;
        for (int row = 1; row <= 6; ++row)
            seen << d.command(QStringLiteral("row %1").arg(row));
        QCOMPARE(seen, expected);
        QCOMPARE(d.messages, QStringList());
    }
};

QTEST_MAIN(TestWorkstations)
#include "tst_workstations.moc"
