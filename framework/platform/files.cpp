#include "files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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

    QStringList result;
    for (const QString &entry : directoryEntries(where)) {
        if (matchesWildcard(entry, pattern))
            result << entry;
    }
    std::sort(result.begin(), result.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return result;
}

bool deleteFile(const QString &path)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    // A symbolic link is removed itself; its target stays as it is.
    return ::unlink(native.constData()) == 0;
}

bool fileExists(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty())
        return false;
    if (info.exists() && !info.isDir())
        return true;

    const QString dir = info.path();
    const QString entry = findEntryNoCase(dir, name);
    return !entry.isEmpty() && !QFileInfo(QDir(dir).filePath(entry)).isDir();
}

namespace {

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

// A listing of one directory, kept with the stamp the directory had when it
// was read.
struct Listing
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    QStringList names;
};

// A directory changed less than this before it was read may still change
// within the same tick of its modification time; such a listing is not kept.
constexpr qint64 settleNs = 2'000'000'000;

QMutex listingMutex;
QHash<QString, Listing> &listings()
{
    static QHash<QString, Listing> cache;
    return cache;
}

bool statDirectory(const QByteArray &path, struct stat &st)
{
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The listing of dir, read again only when it may have changed; an empty one
// when dir cannot be read. Copies share their data.
Listing readListing(const QString &dir)
{
    const QString key = QDir(dir.isEmpty() ? QStringLiteral(".") : dir).absolutePath();
    const QByteArray native = nativePath(key);
    struct stat st;
    if (!statDirectory(native, st))
        return {};
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;

    QMutexLocker lock(&listingMutex);
    const auto it = listings().constFind(key);
    if (it != listings().constEnd() && it->device == quint64(st.st_dev)
        && it->inode == quint64(st.st_ino) && it->modifiedNs == modified)
        return *it;

    // A directory that has been quiet for a while changes its modification
    // time with any entry added, removed or renamed, so its listing can be
    // kept until then.
    const qint64 startedNs = nowNs();
    Listing listing;
    listing.device = quint64(st.st_dev);
    listing.inode = quint64(st.st_ino);
    listing.modifiedNs = modified;
    DIR *d = ::opendir(native.constData());
    if (!d)
        return {};
    while (const dirent *e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        listing.names << QFile::decodeName(e->d_name);
    }
    ::closedir(d);
    if (startedNs - modified > settleNs)
        listings().insert(key, listing);
    else
        listings().remove(key);
    return listing;
}

} // namespace

QStringList directoryEntries(const QString &dir)
{
    return readListing(dir).names;
}

QString findEntryNoCase(const QString &dir, const QString &name)
{
    if (name.isEmpty())
        return QString();
    // The exact name costs one status call; only a name in another case
    // needs the listing.
    const QString where = dir.isEmpty() ? QStringLiteral(".") : dir;
    struct stat st;
    if (::lstat(nativePath(QDir(where).filePath(name)).constData(), &st) == 0)
        return name;
    // Names of another length never match; only the few of the same length
    // are compared, so a crowded directory costs little more than its read.
    for (const QString &entry : readListing(where).names) {
        if (entry.size() == name.size() && entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return QString();
}

bool isRegularFile(const QString &path, bool followLinks)
{
    struct stat st;
    const QByteArray native = nativePath(path);
    const int rc = followLinks ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st);
    return rc == 0 && S_ISREG(st.st_mode);
}

int openRegularFile(const QString &path, bool followLinks)
{
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (!followLinks)
        flags |= O_NOFOLLOW;
    int fd;
    do {
        fd = ::open(nativePath(path).constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<QByteArray> readRegularFile(const QString &path, qsizetype maxBytes, bool followLinks)
{
    const int fd = openRegularFile(path, followLinks);
    if (fd < 0)
        return std::nullopt;
    QByteArray data;
    data.resize(maxBytes);
    qsizetype got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(maxBytes - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    data.truncate(got);
    return data;
}

bool replaceFileContent(const QString &dir, const QString &name, const QByteArray &data)
{
    const QString where = dir.isEmpty() ? QStringLiteral(".") : dir;
    // The new file lies in the same directory, so the rename below stays on
    // one file system and replaces the name in one step.
    QByteArray temp = nativePath(QDir(where).filePath(QStringLiteral(".zil-") + name)) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    qsizetype written = 0;
    while (ok && written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += n;
    }
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.constData(), nativePath(QDir(where).filePath(name)).constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
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
