#include "framework/settingsplaces.h"

#include "framework/settings.h"

#include <QDir>
#include <QFileInfo>

namespace zil {

QStringList settingsPlaces(const QString &programDir, const QString &baseName,
    const QString &userConfigDir, const QString &systemConfigDir)
{
    QStringList places {QDir(programDir).filePath(baseName + QStringLiteral(".INI"))};
    for (const QString &dir : {userConfigDir, systemConfigDir}) {
        if (!dir.isEmpty() && QDir::isAbsolutePath(dir))
            places << QDir(dir).filePath(QStringLiteral("zil/zil.INI"));
    }
    return places;
}

QString firstSettingsFile(const QStringList &places)
{
    for (const QString &place : places) {
        const QFileInfo info(place);
        const QString found = findSettingsFile(info.path(), info.completeBaseName());
        if (QFileInfo(found).isFile())
            return found;
    }
    return QString();
}

QString noSettingsFileText(const QStringList &places)
{
    QStringList lines {QStringLiteral("No settings file in any of these places:")};
    for (const QString &place : places)
        lines << QDir::toNativeSeparators(place);
    return lines.join(QLatin1Char('\n'));
}

} // namespace zil
