#include "filenames.h"

#include "platform/files.h"
#include "session.h"

#include <QDir>
#include <QFileInfo>

namespace zil::store {

QString tableBaseName(const QString &tableFileOrPath)
{
    return QFileInfo(tableFileOrPath).fileName().section(QLatin1Char('.'), 0, 0).toLower();
}

QString tableFileName(const QString &base)
{
    return base + QStringLiteral(".db");
}

QString primaryIndexFileName(const QString &base)
{
    return base + QStringLiteral(".px");
}

QString secondaryIndexFileName(const QString &base, int number)
{
    return base + QStringLiteral(".xg") + QString::number(number, 36);
}

std::optional<int> indexFileNumber(const QString &entryName, const QString &base)
{
    // "<base>.px" or "<base>.xg?": a cheap test of the length first, as a
    // directory may hold very many other files.
    const qsizetype size = entryName.size();
    if ((size != base.size() + 3 && size != base.size() + 4)
        || entryName.at(base.size()) != QLatin1Char('.')
        || !entryName.startsWith(base, Qt::CaseInsensitive))
        return std::nullopt;
    const QString suffix = entryName.mid(base.size() + 1);
    if (suffix.compare(QLatin1String("px"), Qt::CaseInsensitive) == 0)
        return -1;
    // "xg0" → 0, "xg1" → 1, "xga" → 10.
    if (suffix.size() != 3 || !suffix.startsWith(QLatin1String("xg"), Qt::CaseInsensitive))
        return std::nullopt;
    bool ok = false;
    const int n = suffix.mid(2).toInt(&ok, 36);
    if (!ok || n < 0)
        return std::nullopt;
    return n;
}

QStringList oldIndexFilePatterns()
{
    return {QStringLiteral("*.px"), QStringLiteral("*.val"), QStringLiteral("*.x??"),
        QStringLiteral("*.y??")};
}

QString findFileNoCase(const QString &dir, const QString &name)
{
    const QString entry = platform::findEntryNoCase(dir, name);
    return entry.isEmpty() ? QString() : QDir(dir).filePath(entry);
}

QString lockFileFor(const QString &tablePath)
{
    const QFileInfo info(tablePath);
    const QString netDir = Session::instance().netFileDir();
    const QString dir = netDir.isEmpty() ? info.absolutePath() : netDir;
    return QDir(dir).filePath(tableBaseName(tablePath) + QStringLiteral(".lck"));
}

QString rebuildLockFile(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("zilindex.lck"));
}

} // namespace zil::store
