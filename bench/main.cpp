// zil-bench: measures ZIL against baselines doing the same work, on synthetic
// databases it makes itself, and prints one table.
#include "benchutil.h"
#include "framework/application.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace zil::bench {
void runStore(const QString &work, std::vector<Database> &databases);
void runStartUp(const QString &work, std::vector<Database> &databases);
void runList(const QString &work, std::vector<Database> &databases);
void runReport(const QString &work);
void runDetails(const QString &work, std::vector<Database> &databases);
void runExport(const QString &work, std::vector<Database> &databases);
void runFind(const QString &work, std::vector<Database> &databases);
} // namespace zil::bench

int main(int argc, char **argv)
{
    // The windows of start-up are measured without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What zil remembers for its user (window place, hidden panes) is kept
    // in a configuration directory of the bench's own, empty at each run, so
    // that every measured window starts as a first run whoever runs the
    // bench; the zil processes launched inherit it.
    QTemporaryDir userConfig;
    if (!userConfig.isValid()) {
        std::fprintf(stderr, "zil-bench: no temporary configuration directory\n");
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig.path()));
    // The program's own application object, so that the windows measured
    // in this process draw as zil draws them.
    zil::framework::Application app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0, QStringLiteral("all"));
    const QStringList parts {QStringLiteral("startup"), QStringLiteral("store"),
        QStringLiteral("list"), QStringLiteral("report"), QStringLiteral("details"),
        QStringLiteral("export"), QStringLiteral("find")};
    auto usage = [&parts] {
        std::fprintf(stderr, "usage: zil-bench [all|%s] [[--synthetic] SIZE...]\n",
            qPrintable(parts.join(QLatin1Char('|'))));
        return 2;
    };
    if (what != QLatin1String("all") && !parts.contains(what))
        return usage();
    // Sizes of the synthetic databases; "--synthetic" before a size, as the
    // maker spells it, is taken too.
    QList<int> sizes;
    for (const QString &a : args.mid(1)) {
        if (a == QLatin1String("--synthetic"))
            continue;
        bool ok = false;
        const int n = a.toInt(&ok);
        if (!ok || n < 1)
            return usage();
        sizes << n;
    }
    if (sizes.isEmpty())
        sizes = {8000, 200000, zil::bench::kKeptSize};

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "zil-bench: no temporary directory\n");
        return 1;
    }
    QElapsedTimer total;
    total.start();
    zil::bench::printHeader();
    auto wanted = [&what](const char *part) {
        return what == QLatin1String("all") || what == QLatin1String(part);
    };
    // Each size is made once and shared by the parts; start-up comes first,
    // so that its first start finds the database without index files. The
    // largest sizes are kept between runs instead.
    std::vector<zil::bench::Database> databases;
    if (what != QLatin1String("report")) {
        for (int n : sizes) {
            if (n >= zil::bench::kKeptSize) {
                zil::bench::Database kept;
                if (!zil::bench::keptDatabase(n, kept)) {
                    std::fprintf(stderr, "zil-bench: cannot make a database of %d materials\n", n);
                    return 1;
                }
                databases.push_back(kept);
                continue;
            }
            const QString dir = QDir(work.path()).filePath(QStringLiteral("db-%1").arg(n));
            QDir().mkpath(dir);
            std::fprintf(stderr, "zil-bench: making a database of %d materials\n", n);
            if (!zil::bench::makeDatabase(dir, n, false)) {
                std::fprintf(stderr, "zil-bench: cannot make a database of %d materials\n", n);
                return 1;
            }
            databases.push_back({n, dir, false});
        }
    }
    if (wanted("startup"))
        zil::bench::runStartUp(work.path(), databases);
    if (wanted("store"))
        zil::bench::runStore(work.path(), databases);
    if (wanted("list"))
        zil::bench::runList(work.path(), databases);
    if (wanted("details"))
        zil::bench::runDetails(work.path(), databases);
    if (wanted("report"))
        zil::bench::runReport(work.path());
    if (wanted("export"))
        zil::bench::runExport(work.path(), databases);
    if (wanted("find"))
        zil::bench::runFind(work.path(), databases);
    zil::bench::printTable();
    for (const zil::bench::Database &db : databases) {
        if (db.kept)
            std::printf(
                "\nthe database of %d materials is kept in %s\n", db.size, qPrintable(db.dir));
    }
    std::printf("\nzil-bench %s took %.0f s\n", qPrintable(what), total.elapsed() / 1000.0);
    return 0;
}
