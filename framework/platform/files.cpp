#include "files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zil::platform {

namespace {

// Classic wildcard matching of text against pattern, '?' standing for exactly
// one character: on a mismatch the last '*' takes one more character.
bool matchBody(const QList<uint> &text, const QList<uint> &pattern)
{
    qsizetype t = 0, p = 0;
    qsizetype starAt = -1, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starText = t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool matchesWildcard(const QString &name, const QString &pattern)
{
    // Whole characters, so that '?' takes a character outside the basic plane
    // as one; both sides folded so that case plays no part.
    const QList<uint> text = name.toCaseFolded().toUcs4();
    QList<uint> body = pattern.toCaseFolded().toUcs4();

    qsizetype optional = 0;
    while (!body.isEmpty() && body.last() == '?') {
        body.removeLast();
        ++optional;
    }
    // The trailing '?' run takes between none and `optional` characters of
    // the end of the name; the rest of the pattern must match what is left.
    for (qsizetype k = 0; k <= optional && k <= text.size(); ++k) {
        if (matchBody(text.first(text.size() - k), body))
            return true;
    }
    return false;
}

QStringList findFiles(const QString &dir, const QString &pattern)
{
    const QString where = dir.isEmpty() ? QStringLiteral(".") : dir;
    const QFileInfo info(where);
    if (!info.exists())
        throw PlatformError(QStringLiteral("Directory not found: %1").arg(where));
    if (!info.isDir())
        throw PlatformError(QStringLiteral("Not a directory: %1").arg(where));
    const QDir d(where);
    if (!d.isReadable())
        throw PlatformError(QStringLiteral("Directory cannot be read: %1").arg(where));

    const QStringList entries
        = d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name | QDir::IgnoreCase);
    QStringList result;
    for (const QString &entry : entries) {
        if (matchesWildcard(entry, pattern))
            result << entry;
    }
    return result;
}

bool deleteFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QFile::remove(path);
    if (!info.exists() || info.isDir())
        return false;
    return QFile::remove(path);
}

bool fileExists(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty())
        return false;
    if (info.exists() && !info.isDir())
        return true;

    const QDir d = info.dir();
    const QStringList entries = d.entryList(QDir::Files | QDir::Hidden);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

static std::function<QString()> &programPathHook()
{
    static std::function<QString()> hook;
    return hook;
}

void setProgramFilePathHook(std::function<QString()> hook)
{
    programPathHook() = std::move(hook);
}

QString programFilePath()
{
    if (programPathHook())
        return programPathHook()();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    // Before the application object exists the kernel still knows the file.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

} // namespace zil::platform
