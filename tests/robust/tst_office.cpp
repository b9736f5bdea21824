// The ordinary events of an office, with real processes on one database
// directory: the database replaced or touched while workstations run, index
// files that another process shrinks or rewrites under a running workstation,
// tables copied over the open ones, an update left half-done, a long path.
#include "common/testdb.h"
#include "store/indexfile.h"
#include "workstation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <vector>

using namespace zil;

namespace {

const QStringList tableNames {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"};

using Driver = test::DriverClient;

// Copies the tables of a database into a new directory and indexes them
// there, as a database of its own.
bool copyTables(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QString &t : tableNames) {
        if (!QFile::copy(QDir(from).filePath(t), QDir(to).filePath(t)))
            return false;
    }
    store::indexDatabase(to);
    return store::indexesComplete(to);
}

// Runs a program to its end; true when it exits with 0.
bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(Driver::answerBoundMs) && p.exitStatus() == QProcess::NormalExit
        && p.exitCode() == 0;
}

} // namespace

class TestOffice : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    int m_next = 0;
    QString m_reference; // a database of 3000 materials with its index files
    QString m_referenceProgram;
    QStringList m_expected; // what a workstation on it answers to the probes

    QString installProgram(const QString &db, bool copy = false)
    {
        return test::installProgram(
            m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++)), db, copy);
    }

    // What a user does after the files changed: a keystroke, a scroll, a
    // criteria run and its undoing, both tabs, a row far down.
    static QStringList probes()
    {
        return {"search ci", "scroll 2000", "row 2400", "criteria sweet", "row 3", "criteria ",
            "tab 1", "tab 0", "row 2999"};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(!qEnvironmentVariable("ZIL_PROGRAM").isEmpty());
        QVERIFY(!qEnvironmentVariable("ZIL_DRIVER").isEmpty());
        m_reference = m_tmp.filePath("reference");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "61", m_reference}));
        store::indexDatabase(m_reference);
        m_referenceProgram = installProgram(m_reference);
        QStringList warm {"search a", "scroll 1500", "tab 1", "tab 0"};
        m_expected = test::answersOf(m_referenceProgram, warm + probes()).mid(warm.size());
        QCOMPARE(m_expected.size(), probes().size());
        // The probes see something: a criteria run that selects some
        // materials, a supplier tab with a supplier.
        QVERIFY2(!m_expected[3].endsWith("|3000"), qPrintable(m_expected[3]));
        QVERIFY2(!m_expected[6].startsWith("tab 1||"), qPrintable(m_expected[6]));
    }

    // Two workstations run while the maker replaces their database, and
    // while MATERIAL.DB is touched: every start meanwhile reaches the main
    // window without a message, and the two go on without one.
    void startsWhileOthersRunAfterAnUpdate()
    {
        const QString db = m_tmp.filePath("update");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "41", db}));
        const QString prog = installProgram(db, true);
        QVERIFY(!prog.isEmpty());
        const QString logA = m_tmp.filePath("update-a.log"), logB = m_tmp.filePath("update-b.log");
        auto a = test::startZil(prog, logA);
        auto b = test::startZil(prog, logB);
        QVERIFY(test::waitIdle(*a));
        QVERIFY(test::waitIdle(*b));

        const auto tenStarts = [&](const QString &after) {
            for (int i = 0; i < 10; ++i) {
                const QString log
                    = m_tmp.filePath(QStringLiteral("update-%1-%2.log").arg(after).arg(i));
                auto p = test::startZil(prog, log);
                QVERIFY2(test::waitIdle(*p),
                    qPrintable(QStringLiteral("%1, start %2").arg(after).arg(i)));
                QCOMPARE(test::logOf(log), QStringList());
                p->kill();
                p->waitForFinished(-1);
            }
        };
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "42", db}));
        tenStarts("maker");
        QVERIFY(run("touch", {QDir(db).filePath("MATERIAL.DB")}));
        tenStarts("touch");

        QCOMPARE(a->state(), QProcess::Running);
        QCOMPARE(b->state(), QProcess::Running);
        QCOMPARE(test::logOf(logA), QStringList());
        QCOMPARE(test::logOf(logB), QStringList());
        for (auto *p : {a.get(), b.get()}) {
            p->kill();
            p->waitForFinished(-1);
        }
    }

    // An index file that another process truncates or writes over while a
    // workstation has read it: the workstation goes on with orders equal to
    // the table's, and the next start opens.
    void indexFileShrunkOrRewritten_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("damage");
        for (const char *file : {"material.px", "material.xg0", "material.xg1", "synon.px",
                 "synon.xg0", "matsupp.px", "matsupp.xg0", "supplier.px", "supplier.xg0"}) {
            for (const char *damage : {"empty", "half", "overwritten"})
                QTest::addRow("%s %s", file, damage) << file << damage;
        }
    }

    void indexFileShrunkOrRewritten()
    {
        QFETCH(QString, file);
        QFETCH(QString, damage);
        const QString live = m_tmp.filePath(QStringLiteral("shrunk%1").arg(m_next++));
        QVERIFY(copyTables(m_reference, live));
        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        for (const char *c : {"search a", "scroll 1500", "tab 1", "tab 0"})
            QVERIFY(!d.command(c).startsWith("error"));

        QFile f(QDir(live).filePath(file));
        const qint64 size = f.size();
        QVERIFY(size > 0);
        if (damage == "overwritten") {
            // Random bytes over the middle third, in place.
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray noise(size / 3, Qt::Uninitialized);
            QRandomGenerator rng {quint32(size)};
            for (char &c : noise)
                c = char(rng.generate());
            QVERIFY(f.seek(size / 3));
            QCOMPARE(f.write(noise), noise.size());
            f.close();
        } else {
            QVERIFY(f.resize(damage == "empty" ? 0 : size / 2));
        }

        QStringList seen;
        for (const QString &c : probes())
            seen << d.command(c);
        QCOMPARE(seen, m_expected);
        QCOMPARE(d.messages, QStringList());

        Driver next;
        QCOMPARE(next.start(installProgram(live)), QStringLiteral("started"));
        QCOMPARE(next.command("row 2999"), m_expected.last());
        QVERIFY(test::indexesCompleteWithin(live));
    }

    // Tables of a new database copied over the open ones, by the tools an
    // office uses, while a workstation reads: every row it shows is wholly
    // of the old database or wholly of the new one, and once all four are
    // copied it shows the new one. One or two tables of another database
    // copied alone never make a whole database: the workstation never shows
    // their data beside the old.
    void tablesCopiedOverOpenOnes_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("tables");
        QTest::newRow("cp, all four") << "cp" << tableNames;
        QTest::newRow("cp, all four with their index files") << "cp"
                                                             << tableNames
                + QStringList {"material.px", "material.xg0", "material.xg1", "synon.px",
                    "synon.xg0", "supplier.px", "supplier.xg0", "matsupp.px", "matsupp.xg0"};
        QTest::newRow("cp -p, all four") << "cp -p" << tableNames;
        QTest::newRow("dd in place, all four") << "dd" << tableNames;
        QTest::newRow("rsync --inplace, all four")
            << "rsync --inplace --ignore-times" << tableNames;
        QTest::newRow("cp, SYNON.DB") << "cp" << QStringList {"SYNON.DB"};
        QTest::newRow("cp, MATERIAL.DB and MATSUPP.DB")
            << "cp" << QStringList {"MATERIAL.DB", "MATSUPP.DB"};
    }

    void tablesCopiedOverOpenOnes()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, tables);
        const QString program = tool.section(' ', 0, 0);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(program + " is not installed"));

        const QString oldDb = m_tmp.filePath(QStringLiteral("copyOld%1").arg(m_next++));
        const QString newDb = m_tmp.filePath(QStringLiteral("copyNew%1").arg(m_next++));
        QVERIFY(copyTables(m_reference, oldDb));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "62", newDb}));
        store::indexDatabase(newDb);
        const QString live = m_tmp.filePath(QStringLiteral("copyLive%1").arg(m_next++));
        QVERIFY(copyTables(oldDb, live));
        test::TwoVersions v;
        QVERIFY(v.read(installProgram(oldDb), installProgram(newDb)));

        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        const bool whole = tables.size() >= tableNames.size();
        const auto check = [&](const QString &when) {
            const QString wrong = whole ? v.mixedRow(d) : v.newDataShown(d);
            QVERIFY2(wrong.isEmpty(), qPrintable(when + ": " + wrong));
        };
        check("before");

        // The tables one after the other, with a pause between, so that the
        // workstation reads while some are copied and others not yet.
        QStringList script;
        for (const QString &t : tables) {
            const QString from = QDir(newDb).filePath(t), to = QDir(live).filePath(t);
            if (program == "dd")
                script << QStringLiteral("dd if='%1' of='%2' bs=4096 conv=notrunc status=none")
                              .arg(from, to);
            else
                script << QStringLiteral("%1 '%2' '%3'").arg(tool, from, to);
            script << "sleep 0.2";
        }
        QProcess copier;
        copier.setProcessChannelMode(QProcess::ForwardedChannels);
        copier.start("sh", {"-c", script.join(" && ")});
        QVERIFY(copier.waitForStarted(Driver::answerBoundMs));
        int rounds = 0;
        do {
            check(QStringLiteral("round %1").arg(rounds));
            if (QTest::currentTestFailed())
                return;
            ++rounds;
        } while (!copier.waitForFinished(1) && rounds < 100000);
        QCOMPARE(copier.exitCode(), 0);
        qInfo("%s: %d rounds of rows read while the tables were copied", qPrintable(tool), rounds);

        if (whole)
            QCOMPARE(v.now(d), v.after);
        else
            check("after");
        QCOMPARE(d.messages, QStringList());
    }

    // A new database moved in whole whose material ids no longer run from 1
    // in name order fails the checks of a start: the workstation does not
    // take it up, says so once, and goes on showing the old one.
    void unsoundNewDatabaseIsNotTakenUp()
    {
        const QString live = m_tmp.filePath("unsoundLive"), next = m_tmp.filePath("unsoundNext");
        QVERIFY(copyTables(m_reference, live));
        QVERIFY(copyTables(m_reference, next));
        QVERIFY(test::execSql(
            QDir(next).filePath("MATERIAL.DB"), "UPDATE material SET id = 9999 WHERE id = 5"));
        for (const QString &t : tableNames)
            QVERIFY(test::execSql(QDir(next).filePath(t), "PRAGMA user_version = 777"));
        Driver d;
        QCOMPARE(d.start(installProgram(live)), QStringLiteral("started"));
        const QStringList before {d.command("row 5"), d.command("row 2000")};
        for (const QString &t : tableNames)
            QCOMPARE(std::rename(QFile::encodeName(QDir(next).filePath(t)).constData(),
                         QFile::encodeName(QDir(live).filePath(t)).constData()),
                0);
        QCOMPARE(QStringList({d.command("row 5"), d.command("row 2000")}), before);
        QCOMPARE(QStringList({d.command("row 5"), d.command("row 2000")}), before);
        QCOMPARE(d.messages,
            QStringList {"Warning: The database was changed by another program and cannot be used "
                         "as it is now:\\nMATERIAL.DB: material number 5 in name order has id "
                         "9999; ids must run from 1 in name order without gaps\\nZIL takes it "
                         "up once it is whole."});
    }

    // The maker killed at each of its renames, as a power cut or an impatient
    // user would stop it: where it leaves tables of two databases, a start
    // says that the update is incomplete and how to finish it; finishing it
    // as said gives a directory that opens without a message.
    void interruptedUpdateIsNamed()
    {
        if (QStandardPaths::findExecutable("strace").isEmpty())
            QSKIP("strace is not installed");
        int incomplete = 0;
        for (int kill = 1;; ++kill) {
            QVERIFY2(kill < 100, "the maker never ran to its end");
            const QString live = m_tmp.filePath(QStringLiteral("killed%1").arg(kill));
            QVERIFY(test::runMakeDb({"--synthetic", "300", "--seed", "71", live}));
            QProcess maker;
            maker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            maker.setProcessEnvironment(test::tracedEnvironment());
            maker.start("strace",
                {"-f", "-qq", "-o", "/dev/null", "-e",
                    QStringLiteral("inject=rename,renameat,renameat2:signal=KILL:when=%1")
                        .arg(kill),
                    qEnvironmentVariable("ZIL_MAKEDB"), "--synthetic", "300", "--seed", "72",
                    live});
            QVERIFY(maker.waitForFinished(Driver::answerBoundMs));
            if (maker.exitCode() == 0)
                break;

            const QString prog = installProgram(live);
            Driver d;
            const QString answer = d.start(prog);
            if (answer == QLatin1String("failed")) {
                ++incomplete;
                const QString dir = live + QLatin1Char('/');
                QCOMPARE(d.messages,
                    QStringList {QStringLiteral("Error: Database not found or corrupted\\nThe "
                                                "update of %1 is incomplete: finish it with "
                                                "zil-makedb --finish %1")
                                     .arg(dir)});
            } else {
                QCOMPARE(answer, QStringLiteral("started"));
                QCOMPARE(d.messages, QStringList());
            }
            QVERIFY(test::runMakeDb({"--finish", live}));
            Driver after;
            QCOMPARE(after.start(prog), QStringLiteral("started"));
            QCOMPARE(after.messages, QStringList());
            QVERIFY(after.command("row 300").startsWith("current 300|"));
        }
        QVERIFY(incomplete > 0);
    }

    // A database at a path of 600 characters is made there and opens.
    void longPathOpens()
    {
        QString dir = m_tmp.filePath("long");
        while (dir.size() < 600)
            dir += QLatin1Char('/') + QString(120, QLatin1Char('l'));
        QVERIFY(test::runMakeDb({"--synthetic", "300", dir}));
        Driver d;
        QCOMPARE(d.start(installProgram(dir)), QStringLiteral("started"));
        QVERIFY(d.command("row 300").startsWith("current 300|"));
        QCOMPARE(d.messages, QStringList());
    }

    // The index rebuild flushes each index file before it takes its name,
    // and the directory after, as strace sees the calls.
    void rebuildFlushesBeforeRenaming()
    {
        if (QStandardPaths::findExecutable("strace").isEmpty())
            QSKIP("strace is not installed");
        const QString db = m_tmp.filePath("flushed");
        QVERIFY(copyTables(m_reference, db));
        store::deleteOldIndexFiles(db);
        const QString trace = m_tmp.filePath("flushed.strace");
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setProcessEnvironment(test::tracedEnvironment());
        p.start("strace",
            {"-f", "-qq", "-o", trace, "-e",
                "trace=openat,fsync,fdatasync,rename,renameat,renameat2",
                qEnvironmentVariable("ZIL_DRIVER"), installProgram(db) + "/zil"});
        QVERIFY(p.waitForStarted(Driver::answerBoundMs));
        p.write("quit\n");
        QVERIFY(p.waitForFinished(Driver::answerBoundMs));
        QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("started"));
        // Quit at once, the program leaves Find's search data to the next start.
        QVERIFY(store::indexesComplete(db, nullptr, store::SearchData::Leave));

        const QRegularExpression opened(
            QStringLiteral("^(\\d+) +openat\\(AT_FDCWD, \"([^\"]+)\", [^)]*\\) = (\\d+)"));
        const QRegularExpression synced(QStringLiteral("^(\\d+) +f(?:data)?sync\\((\\d+)\\) += 0"));
        const QRegularExpression renamed(QStringLiteral(
            "^(\\d+) +rename\\w*\\((?:AT_FDCWD, )?\"([^\"]+)\", (?:AT_FDCWD, )?\"([^\"]+)\""));
        QHash<QString, QString> pathOf; // pid and descriptor: path
        QSet<QString> flushed;
        QStringList waitingForDirectory, moved;
        for (const QByteArray &bytes : test::straceLines(trace)) {
            const QString line = QString::fromUtf8(bytes);
            if (const auto m = opened.match(line); m.hasMatch()) {
                pathOf[m.captured(1) + ':' + m.captured(3)] = m.captured(2);
            } else if (const auto m = synced.match(line); m.hasMatch()) {
                const QString path = pathOf.value(m.captured(1) + ':' + m.captured(2));
                flushed.insert(path);
                if (QDir::cleanPath(path) == QDir::cleanPath(db))
                    waitingForDirectory.clear();
            } else if (const auto m = renamed.match(line); m.hasMatch()) {
                const QString to = QFileInfo(m.captured(3)).fileName();
                if (!to.contains(QRegularExpression(QStringLiteral("^\\w+\\.(px|xg\\d)$"))))
                    continue;
                QVERIFY2(flushed.contains(m.captured(2)), qPrintable(line));
                waitingForDirectory << to;
                moved << to;
            }
        }
        QCOMPARE(moved.size(), 9);
        QCOMPARE(waitingForDirectory, QStringList());
    }
};

QTEST_MAIN(TestOffice)
#include "tst_office.moc"
