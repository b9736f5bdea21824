#include "benchutil.h"

#include "platform/files.h"
#include "platform/messagebox.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace zil::bench {

Sample measure(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

Sample measureEach(int count, const std::function<void(int)> &work)
{
    std::vector<double> times;
    times.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(i);
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

Sample summary(std::vector<double> figures)
{
    std::sort(figures.begin(), figures.end());
    return {figures[figures.size() / 2], figures.back()};
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

static QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
        }
    }
    return QStringLiteral("unknown CPU");
}

void printHeader()
{
    std::printf("machine: %s, %d cores\n", qPrintable(cpuModel()), QThread::idealThreadCount());
    std::printf("build: %s\n", ZIL_BUILD_TYPE);
}

static QString human(double seconds)
{
    if (seconds < 1e-3)
        return QStringLiteral("%1 us").arg(seconds * 1e6, 0, 'f', 2);
    if (seconds < 1)
        return QStringLiteral("%1 ms").arg(seconds * 1e3, 0, 'f', 2);
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 3);
}

namespace {

struct Row
{
    QString operation;
    QString size;
    Sample ours;
    Sample baseline;
    QString baselineName;
    Unit unit;
};

std::vector<Row> &rows()
{
    static std::vector<Row> all;
    return all;
}

QString figure(double value, Unit unit)
{
    return unit == Unit::MiB ? QStringLiteral("%1 MiB").arg(value, 0, 'f', 1) : human(value);
}

QString line(const Row &r, const QString &growth)
{
    const bool based = r.baseline.median > 0;
    return QString::asprintf("%-44s %7s %11s %11s %11s %11s %7s %-13s %s", qPrintable(r.operation),
        qPrintable(r.size), qPrintable(figure(r.ours.median, r.unit)),
        qPrintable(figure(r.ours.worst, r.unit)),
        based ? qPrintable(figure(r.baseline.median, r.unit)) : "-",
        based ? qPrintable(figure(r.baseline.worst, r.unit)) : "-",
        based ? qPrintable(QString::number(r.ours.median / r.baseline.median, 'f', 2)) : "-",
        qPrintable(growth), qPrintable(r.baselineName));
}

} // namespace

void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName, Unit unit)
{
    rows().push_back({operation, size, ours, baseline, baselineName, unit});
    std::fprintf(stderr, "zil-bench: %s\n", qPrintable(line(rows().back(), QString())));
}

void printTable()
{
    std::printf("\n%-44s %7s %11s %11s %11s %11s %7s %-13s %s\n", "operation", "size", "median",
        "worst", "base median", "base worst", "ratio", "growth", "baseline");
    // Growth: the median of a row over the median of the same operation and
    // baseline at the smallest size, beside the growth of the size itself.
    for (const Row &r : rows()) {
        QString growth = QStringLiteral("-");
        bool ok = false;
        const int n = r.size.toInt(&ok);
        if (ok) {
            const Row *smallest = nullptr;
            for (const Row &s : rows()) {
                bool sizeOk = false;
                const int m = s.size.toInt(&sizeOk);
                if (sizeOk && m < n && s.operation == r.operation
                    && s.baselineName == r.baselineName
                    && (!smallest || m < smallest->size.toInt()))
                    smallest = &s;
            }
            if (smallest && smallest->ours.median > 0) {
                growth = QStringLiteral("x%1 (n x%2)")
                             .arg(r.ours.median / smallest->ours.median, 0, 'f', 1)
                             .arg(double(n) / smallest->size.toInt(), 0, 'f', 0);
            }
        }
        std::printf("%s\n", qPrintable(line(r, growth)));
    }
    std::fflush(stdout);
}

void reportMessages()
{
    platform::setMessageBoxHook([](platform::MessageKind, const QString &, const QString &text) {
        std::fprintf(stderr, "zil-bench: message: %s\n", qPrintable(text));
    });
}

namespace {

// Writes the settings file of the program directory name under work; the
// directory.
QString writeProgramDir(const QString &work, const QString &name, const QString &db)
{
    const QString program = QDir(work).filePath(name);
    QDir().mkpath(program);
    QFile ini(program + QStringLiteral("/zil.INI"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("bench: cannot write %s", qPrintable(ini.fileName()));
    ini.write("[Database]\nPath=" + db.toUtf8() + "/\n");
    ini.close();
    return program;
}

} // namespace

InstalledProgram::InstalledProgram(const QString &work, const QString &name, const QString &db)
    : dir(writeProgramDir(work, name, db))
    , m_programFile([programFile = dir + QStringLiteral("/zil")] { return programFile; })
{ }

void startMainWindow(TMainForm &form, const QString &what, Shown shown)
{
    if (!form.StartUp())
        qFatal("bench: start-up failed on %s", qPrintable(what));
    if (shown == Shown::No)
        return;
    form.show();
    QApplication::processEvents();
}

bool makeDatabase(const QString &dir, int n, bool indexed)
{
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    maker.start(
        QStringLiteral(ZIL_MAKEDB_PATH), {QStringLiteral("--synthetic"), QString::number(n), dir});
    if (!maker.waitForFinished(-1) || maker.exitCode() != 0)
        return false;
    if (!indexed)
        return true;
    store::indexDatabase(dir);
    return true;
}

void ensureIndexed(Database &db)
{
    if (db.indexed)
        return;
    if (!db.kept || !store::indexesComplete(db.dir)) {
        std::fprintf(stderr, "zil-bench: indexing the database of %d materials\n", db.size);
        store::indexDatabase(db.dir);
    }
    db.indexed = true;
}

QString cacheDirectory()
{
    const QString set = qEnvironmentVariable("ZIL_BENCH_CACHE");
    if (!set.isEmpty())
        return set;
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty())
        base = QDir::home().filePath(QStringLiteral(".cache"));
    return QDir(base).filePath(QStringLiteral("zil-bench"));
}

namespace {

const char kStampName[] = "zil-bench.stamp";

// What identifies a kept database as the maker left it: its size and the
// length and modification time of each table file. Index files, which the
// program writes beside the tables, are not part of it.
QByteArray stampOf(const QString &dir, int n)
{
    QByteArray stamp = "zil-bench synthetic database\nmaterials " + QByteArray::number(n) + '\n';
    const QFileInfoList tables = QDir(dir).entryInfoList(
        {QStringLiteral("*.db")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (tables.isEmpty())
        return {};
    for (const QFileInfo &t : tables) {
        stamp += t.fileName().toUtf8() + ' ' + QByteArray::number(t.size()) + ' '
            + QByteArray::number(t.lastModified().toMSecsSinceEpoch()) + '\n';
    }
    return stamp;
}

bool stampMatches(const QString &dir, int n)
{
    QFile f(QDir(dir).filePath(QLatin1String(kStampName)));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray now = stampOf(dir, n);
    return !now.isEmpty() && f.readAll() == now;
}

} // namespace

bool keptDatabase(int n, Database &db)
{
    const QDir cache(cacheDirectory());
    const QString dir = cache.filePath(QStringLiteral("db-%1").arg(n));
    db = {n, dir, false, true};
    if (stampMatches(dir, n)) {
        std::fprintf(
            stderr, "zil-bench: reusing the database of %d materials in %s\n", n, qPrintable(dir));
        return true;
    }
    // Made beside the old one, so that a making cut short never leaves a
    // directory that looks complete.
    const QString part = dir + QStringLiteral(".part");
    QDir(part).removeRecursively();
    if (!QDir().mkpath(part))
        return false;
    std::fprintf(stderr, "zil-bench: making the database of %d materials in %s (once)\n", n,
        qPrintable(dir));
    bool made = false;
    const double took = seconds([&] { made = makeDatabase(part, n, false); });
    if (!made)
        return false;
    QFile stamp(QDir(part).filePath(QLatin1String(kStampName)));
    if (!stamp.open(QIODevice::WriteOnly) || stamp.write(stampOf(part, n)) < 0 || !stamp.flush())
        return false;
    stamp.close();
    QDir(dir).removeRecursively();
    if (!QDir().rename(part, dir))
        return false;
    printRow(QStringLiteral("making of the database (zil-makedb, once)"), QString::number(n),
        {took, took}, {}, QStringLiteral("(one run; kept in the cache directory)"));
    return true;
}

} // namespace zil::bench
