// zil-bench: measures ZIL against baselines doing the same work, on synthetic
// databases it makes itself, and prints one table.
#include "benchutil.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace zil::bench {
void runStore(const QString &work, const QList<int> &sizes);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0, QStringLiteral("all"));
    if (what != QLatin1String("all") && what != QLatin1String("store")) {
        std::fprintf(stderr, "usage: zil-bench [all|store] [SIZE...]\n");
        return 2;
    }
    QList<int> sizes;
    for (const QString &a : args.mid(1))
        sizes << a.toInt();
    if (sizes.isEmpty())
        sizes = {8000, 200000};

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "zil-bench: no temporary directory\n");
        return 1;
    }
    zil::bench::printHeader();
    zil::bench::printTableHeader();
    zil::bench::runStore(work.path(), sizes);
    return 0;
}
