// Where the program looks for its settings file. Beside the program first, so
// that a copy of the program with its own settings file keeps using it; then
// the user's own configuration; then the settings of the whole machine, which
// an installed package provides and an administrator edits.
#pragma once

#include <QString>
#include <QStringList>

namespace zil {

// The places of the settings file in the order they are tried:
// "<baseName>.INI" in programDir, then "zil/zil.INI" in userConfigDir, then
// "zil/zil.INI" in systemConfigDir. A configuration directory that is empty
// or relative is left out: it would name a file wherever the program happens
// to be started.
QStringList settingsPlaces(const QString &programDir, const QString &baseName,
    const QString &userConfigDir, const QString &systemConfigDir);

// The settings file of the first place that holds one, its name matched as
// findSettingsFile matches it; empty when no place holds a settings file.
QString firstSettingsFile(const QStringList &places);

// The second line of a failed start's message when no place held a settings
// file: every place tried, one a line.
QString noSettingsFileText(const QStringList &places);

} // namespace zil
