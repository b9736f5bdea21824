// Start-up on synthetic databases. Whole programs: a real zil process on the
// offscreen platform, from its launch to the main window shown and the main
// loop idle, and its resident memory then, beside a minimal Qt Widgets
// program that shows one empty window of the same size and beside the main
// window built and shown without a database. In process: the time StartUp
// takes, at the first start with its index rebuild and later.
#include "benchutil.h"

#include "platform/files.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <optional>

namespace zil::bench {

namespace {

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct Launch
{
    double toIdle = 0; // seconds from the launch to the idle main loop
    double residentMiB = 0;
};

// Runs program on the offscreen platform until it says that its window is
// shown and its main loop idle, then reads its resident memory once a short
// settling time has passed, and ends it.
Launch launch(const QString &program)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZIL_ANNOUNCE_IDLE"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    if (!process.waitForStarted())
        qFatal("bench: cannot start %s", qPrintable(program));
    Launch result;
    QByteArray out;
    while (!out.contains("idle\n")) {
        if (!process.waitForReadyRead(180000))
            qFatal("bench: %s did not come up", qPrintable(program));
        out += process.readAllStandardOutput();
    }
    result.toIdle = double(timer.nsecsElapsed()) / 1e9;
    QThread::msleep(300);
    result.residentMiB = double(residentKiB(process.processId())) / 1024.0;
    process.kill();
    process.waitForFinished();
    return result;
}

// The time of the start; with searchData, also when the search data file,
// which a start that rebuilt the indexes leaves to a thread of its own, was
// in place.
double timeStartUp(bool &ok, double *searchData = nullptr)
{
    TMainForm form;
    QElapsedTimer timer;
    timer.start();
    ok = form.StartUp();
    const double started = double(timer.nsecsElapsed()) / 1e9;
    if (searchData) {
        form.SearchDataWriter.wait(600000);
        *searchData = double(timer.nsecsElapsed()) / 1e9;
    }
    return started;
}

} // namespace

void runStartUp(const QString &work, std::vector<Database> &databases)
{
    reportMessages();
    const QString minimal = QStringLiteral(ZIL_MINIMAL_WINDOW_PATH);
    const QString windowOnly = QStringLiteral(ZIL_MAIN_WINDOW_ONLY_PATH);
    const QString kMinimal = QStringLiteral("minimal Qt program");
    const QString kWindowOnly = QStringLiteral("main window built without a database");
    for (Database &db : databases) {
        const int n = db.size;
        const QString size = QString::number(n);
        std::optional<InstalledProgram> installed;
        installed.emplace(work, QStringLiteral("prog-%1").arg(n), db.dir);
        const QString programDir = installed->dir;
        const int runs = n > 50000 ? 5 : 9;

        bool ok = false;
        // A kept database keeps its index files between runs; one made by
        // another build is brought up to date before the launches.
        if (db.kept)
            ensureIndexed(db);
        if (!db.indexed) {
            // The maker writes the index files with the tables: the first
            // start of a workstation that rebuilds them is timed without.
            store::deleteOldIndexFiles(db.dir);
            double searchData = 0;
            const double first = timeStartUp(ok, &searchData);
            if (!ok || !store::indexesComplete(db.dir))
                qFatal("bench: start-up failed on %d materials", n);
            db.indexed = true;
            printRow(QStringLiteral("StartUp, first start (index rebuild)"), size, {first, first},
                {}, QStringLiteral("(one run)"));
            printRow(QStringLiteral("StartUp, search data in place after it"), size,
                {searchData, searchData}, {}, QStringLiteral("(one run, from the start)"));
        }
        if (!db.kept) {
            // The maker replaces the database, as an update does: its index
            // files come with it, so the first start after it rebuilds
            // nothing.
            if (!makeDatabase(db.dir, n, false))
                qFatal("bench: the update of the database of %d materials failed", n);
            const double afterUpdate = timeStartUp(ok);
            if (!ok)
                qFatal("bench: start-up failed on %d materials", n);
            printRow(QStringLiteral("StartUp, first start after an update"), size,
                {afterUpdate, afterUpdate}, {}, QStringLiteral("(one run)"));
            const Sample later = measure(runs, [&] {
                timeStartUp(ok);
                if (!ok)
                    qFatal("bench: start-up failed on %d materials", n);
            });
            printRow(QStringLiteral("StartUp, indexes present"), size, later, {}, QString());
        }
        installed.reset();

        // The program reads the settings file beside it, so it runs from a
        // copy in the program directory.
        const QString program = programDir + QStringLiteral("/zil");
        QFile::remove(program);
        if (!QFile::copy(QStringLiteral(ZIL_PROGRAM_PATH), program))
            qFatal("bench: cannot copy the program to %s", qPrintable(program));
        QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
        std::vector<double> zilTimes, zilMemory, minimalTimes, minimalMemory, windowTimes,
            windowMemory;
        for (int i = 0; i < runs; ++i) {
            const Launch z = launch(program);
            zilTimes.push_back(z.toIdle);
            zilMemory.push_back(z.residentMiB);
            const Launch m = launch(minimal);
            minimalTimes.push_back(m.toIdle);
            minimalMemory.push_back(m.residentMiB);
            const Launch w = launch(windowOnly);
            windowTimes.push_back(w.toIdle);
            windowMemory.push_back(w.residentMiB);
        }
        const Sample toIdle = summary(zilTimes);
        printRow(QStringLiteral("start-up of zil, launch to idle window"), size, toIdle,
            summary(minimalTimes), QStringLiteral("minimal Qt program, one 590x450 window"));
        printRow(QStringLiteral("start-up of zil, launch to idle window"), size, toIdle,
            summary(windowTimes), kWindowOnly);
        const Sample memory = summary(zilMemory);
        for (const auto &[figures, name] :
            {std::pair {&minimalMemory, kMinimal}, std::pair {&windowMemory, kWindowOnly}}) {
            const Sample base = summary(*figures);
            printRow(QStringLiteral("resident memory after start-up"), size, memory, base,
                QStringLiteral("%1 (zil is %2 MiB above)")
                    .arg(name)
                    .arg(memory.median - base.median, 0, 'f', 1),
                Unit::MiB);
        }
    }
}

} // namespace zil::bench
