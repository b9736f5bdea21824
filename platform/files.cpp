#include "files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

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

// Opens name (relative to dirFd, or AT_FDCWD) for reading so that the open
// itself never waits, as it would on a FIFO without a writer, and never
// makes a terminal the program's own. The descriptor, or -1 with errno set.
int openForReading(int dirFd, const QByteArray &name, bool followLinks)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    int fd;
    do {
        fd = ::openat(dirFd, name.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
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

// The descriptor of path when it is a regular file, or -1.
static int openRegularFile(const QString &path, bool followLinks)
{
    const int fd = openForReading(AT_FDCWD, nativePath(path), followLinks);
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

ReadOnlyFile ReadOnlyFile::open(const QString &path, bool followLinks)
{
    ReadOnlyFile file;
    // Looked at before it is opened: opening a FIFO may wait for a writer,
    // and opening a device may act on it.
    errno = 0;
    if (!isRegularFile(path, followLinks)) {
        file.m_error = errno;
        return file;
    }
    file.m_fd.reset(openRegularFile(path, followLinks));
    if (!file.isOpen())
        file.m_error = errno;
    return file;
}

qint64 ReadOnlyFile::size() const
{
    struct stat st;
    if (::fstat(m_fd.get(), &st) != 0) {
        m_error = errno;
        return -1;
    }
    return qint64(st.st_size);
}

qint64 ReadOnlyFile::readAt(qint64 offset, void *out, qint64 n) const
{
    if (offset < 0 || n < 0) {
        m_error = EINVAL;
        return -1;
    }
    auto *to = static_cast<char *>(out);
    qint64 have = 0;
    // A read may come back with part of what was asked (a signal, a network
    // file system): the rest is asked for again until the file ends.
    while (have < n) {
        const ssize_t got = ::pread(m_fd.get(), to + have, size_t(n - have), off_t(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = errno;
            return -1;
        }
        if (got == 0)
            break;
        have += got;
    }
    return have;
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
    // Written a page at a time: the system caches a file in pieces the size
    // of the writes that made it, and a program that maps the file and reads
    // one page of it has the whole cached piece made resident. Small pieces
    // keep what a reader of a few scattered pages holds to those pages.
    constexpr qsizetype piece = 4096;
    qsizetype written = 0;
    while (ok && written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written,
            size_t(std::min(piece - written % piece, data.size() - written)));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += n;
    }
    // On the medium before it takes the name: a power cut after the rename
    // then finds the whole new file there, never an empty one.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.constData(), nativePath(QDir(where).filePath(name)).constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // The rename itself is made durable with the directory.
    const int dirFd = ::open(nativePath(where).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool flushFile(const QString &path)
{
    const OpenablePath name(path);
    const int fd = name.name().isEmpty()
        ? -1
        : ::open(name.name().constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

namespace {

EntryKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::Regular;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    if (S_ISFIFO(mode))
        return EntryKind::Fifo;
    if (S_ISCHR(mode))
        return EntryKind::CharDevice;
    if (S_ISBLK(mode))
        return EntryKind::BlockDevice;
    if (S_ISSOCK(mode))
        return EntryKind::Socket;
    return EntryKind::Other;
}

// Removes the directory `name` of parentFd and everything in it without
// following any link.
bool removeTreeAt(int parentFd, const char *name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    std::vector<QByteArray> names;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    for (const QByteArray &n : names) {
        struct stat st = {};
        if (::fstatat(fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            ok = removeTreeAt(fd, n.constData()) && ok;
        else if (::unlinkat(fd, n.constData(), 0) != 0 && errno != ENOENT)
            ok = false;
    }
    ::closedir(dir);
    return (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT) && ok;
}

} // namespace

QString entryKindText(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Directory:
        return QStringLiteral("a directory");
    case EntryKind::Fifo:
        return QStringLiteral("a FIFO");
    case EntryKind::CharDevice:
        return QStringLiteral("a character device");
    case EntryKind::BlockDevice:
        return QStringLiteral("a block device");
    case EntryKind::Socket:
        return QStringLiteral("a socket");
    default:
        return QStringLiteral("not a file");
    }
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

WholeFile readWholeRegularFile(const QString &path, qint64 limit)
{
    WholeFile result;
    const QByteArray name = nativePath(path);
    const auto failed = [&result](WholeFile::Status status, int error = 0) {
        result.status = status;
        result.error = error;
        result.data.clear();
        return result;
    };
    // Looked at before it is opened: opening a FIFO waits for a writer, and
    // opening a device may act on it.
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0)
        return failed(WholeFile::Status::Failed, errno);
    result.kind = kindOfMode(st.st_mode);
    if (result.kind != EntryKind::Regular)
        return failed(WholeFile::Status::NotRegular);
    const int fd = openForReading(AT_FDCWD, name, true);
    if (fd < 0)
        return failed(WholeFile::Status::Failed, errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer {fd};
    // The name may have been pointed elsewhere in between: the open file
    // itself decides.
    if (::fstat(fd, &st) != 0)
        return failed(WholeFile::Status::Failed, errno);
    result.kind = kindOfMode(st.st_mode);
    if (result.kind != EntryKind::Regular)
        return failed(WholeFile::Status::NotRegular);
    if (st.st_size > limit)
        return failed(WholeFile::Status::TooLarge);

    QByteArray &data = result.data;
    data.resize(qsizetype(st.st_size));
    qint64 have = 0;
    for (;;) {
        // Room for one byte more than the limit shows a file that grew.
        if (have == data.size())
            data.resize(qsizetype(std::min(limit + 1, std::max<qint64>(2 * have, 4096))));
        const ssize_t n = ::read(fd, data.data() + have, size_t(data.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(WholeFile::Status::Failed, errno);
        if (n == 0)
            break;
        have += n;
        if (have > limit)
            return failed(WholeFile::Status::TooLarge);
    }
    data.truncate(qsizetype(have));
    result.status = WholeFile::Status::Read;
    return result;
}

OpenablePath::OpenablePath(const QString &path)
{
    const QByteArray native = nativePath(path);
    if (native.size() <= maxDirect) {
        m_name = native;
        return;
    }
    const QFileInfo info(path);
    const int dir
        = ::open(nativePath(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        m_error = errno;
        return;
    }
    m_dir.reset(dir);
    m_name = "/proc/self/fd/" + QByteArray::number(dir) + '/' + nativePath(info.fileName());
}

void Descriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

QByteArray File::read(qsizetype maxBytes)
{
    QByteArray data(maxBytes, Qt::Uninitialized);
    qsizetype have = 0;
    while (have < maxBytes) {
        const ssize_t n = ::read(m_fd.get(), data.data() + have, size_t(maxBytes - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            m_error = errno;
        if (n <= 0)
            break;
        have += n;
    }
    data.truncate(have);
    return data;
}

bool File::write(const QByteArray &data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n
            = ::write(m_fd.get(), data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : EIO;
            return false;
        }
        written += n;
    }
    return true;
}

LockResult File::lock(bool exclusive, bool wait)
{
    return lockDescriptor(m_fd.get(), exclusive, wait, &m_error);
}

bool Directory::open(const QString &path)
{
    m_fd.reset(::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!isOpen())
        m_error = errno;
    return isOpen();
}

bool Directory::openIn(const Directory &parent, const QString &name)
{
    m_fd.reset(::openat(parent.m_fd.get(), nativePath(name).constData(),
        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!isOpen())
        m_error = errno;
    return isOpen();
}

QString Directory::makeUniqueDirectory(const QString &path, const QString &prefix, int *error)
{
    QByteArray templ = nativePath(QDir(path).filePath(prefix)) + "XXXXXX";
    if (!::mkdtemp(templ.data())) {
        *error = errno;
        return QString();
    }
    return QFileInfo(QFile::decodeName(templ)).fileName();
}

QStringList Directory::entries() const
{
    QStringList names;
    const int fd = ::dup(m_fd.get());
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        m_error = errno;
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << QFile::decodeName(e->d_name);
    }
    ::closedir(dir);
    return names;
}

EntryKind Directory::kind(const QString &name, bool followLinks) const
{
    struct stat st = {};
    if (::fstatat(
            m_fd.get(), nativePath(name).constData(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW)
        != 0) {
        m_error = errno;
        return errno == ENOENT ? EntryKind::Missing : EntryKind::Unknown;
    }
    return kindOfMode(st.st_mode);
}

File Directory::openRegular(const QString &name, bool followLinks) const
{
    if (kind(name, followLinks) != EntryKind::Regular)
        return File();
    const int fd = openForReading(m_fd.get(), nativePath(name), followLinks);
    if (fd < 0) {
        m_error = errno;
        return File();
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return File();
    }
    return File(fd);
}

File Directory::createExclusive(const QString &name) const
{
    const int fd = ::openat(m_fd.get(), nativePath(name).constData(),
        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        m_error = errno;
    return fd >= 0 ? File(fd) : File();
}

bool Directory::makeDirectory(const QString &name) const
{
    if (::mkdirat(m_fd.get(), nativePath(name).constData(), 0700) == 0)
        return true;
    m_error = errno;
    return false;
}

bool Directory::removeFile(const QString &name) const
{
    if (::unlinkat(m_fd.get(), nativePath(name).constData(), 0) == 0 || errno == ENOENT)
        return true;
    m_error = errno;
    return false;
}

bool Directory::removeTree(const QString &name) const
{
    return removeTreeAt(m_fd.get(), nativePath(name).constData());
}

bool Directory::moveNoReplace(const QString &from, const Directory &target, const QString &to) const
{
    const QByteArray f = nativePath(from);
    const QByteArray t = nativePath(to);
    if (::renameat2(m_fd.get(), f.constData(), target.m_fd.get(), t.constData(), RENAME_NOREPLACE)
        == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        m_error = errno;
        return false;
    }
    struct stat st = {};
    if (::fstatat(target.m_fd.get(), t.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        m_error = EEXIST;
        return false;
    }
    if (::renameat(m_fd.get(), f.constData(), target.m_fd.get(), t.constData()) == 0)
        return true;
    m_error = errno;
    return false;
}

Directory::Exchange Directory::exchange(
    const QString &from, const Directory &target, const QString &to) const
{
    if (::renameat2(m_fd.get(), nativePath(from).constData(), target.m_fd.get(),
            nativePath(to).constData(), RENAME_EXCHANGE)
        == 0)
        return Exchange::Done;
    m_error = errno;
    return errno == EINVAL || errno == ENOSYS ? Exchange::Unsupported : Exchange::Failed;
}

bool Directory::sync() const
{
    if (::fsync(m_fd.get()) == 0)
        return true;
    m_error = errno;
    return false;
}

LockResult Directory::lock(bool exclusive, bool wait)
{
    return lockDescriptor(m_fd.get(), exclusive, wait, &m_error);
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
