#include "outputdir.h"

#include "store/fileformat.h"
#include "store/schema.h"
#include "tablewriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sqlcipher/sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zil::makedb {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a file");
}

// Moves a name unless something already stands at the target. Where the file
// system cannot refuse in the same step, the target is looked at first.
int renameNoReplace(int fromFd, const char *from, int toFd, const char *to)
{
    if (::renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat st = {};
    if (::fstatat(toFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromFd, from, toFd, to);
}

// Up to `size` first bytes of an open file.
QByteArray readHead(int fd, qsizetype size)
{
    QByteArray head(size, Qt::Uninitialized);
    qsizetype have = 0;
    while (have < size) {
        const ssize_t n = ::read(fd, head.data() + have, size_t(size - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += n;
    }
    head.truncate(have);
    return head;
}

// Opens a regular file of a directory for reading, never through a link and
// never blocking; -1 for anything else.
int openRegular(int dirFd, const char *name)
{
    struct stat st = {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes a directory and everything in it without following any link.
bool removeTree(int parentFd, const char *name)
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
            ok = removeTree(fd, n.constData()) && ok;
        else if (::unlinkat(fd, n.constData(), 0) != 0 && errno != ENOENT)
            ok = false;
    }
    ::closedir(dir);
    return (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT) && ok;
}

const char *const sideFileSuffixes[] = {"-journal", "-wal", "-shm"};

} // namespace

std::int32_t nextGeneration(
    const std::vector<std::int32_t> &found, bool unreadable, std::int64_t now)
{
    std::int64_t next = 1;
    for (const std::int32_t g : found)
        next = std::max<std::int64_t>(next, std::int64_t(g) + 1);
    if (unreadable)
        next = std::max<std::int64_t>(next, now & 0x7fffffff);
    if (next > INT32_MAX)
        next = 1;
    while (next == 0 || std::find(found.begin(), found.end(), std::int32_t(next)) != found.end())
        next = next == INT32_MAX ? 1 : next + 1;
    return std::int32_t(next);
}

OutputDir::OutputDir(const QString &path, const QStringList &tables)
    : m_path(path)
    , m_tables(tables)
{ }

OutputDir::~OutputDir()
{
    if (m_oldFd >= 0)
        ::close(m_oldFd);
    if (m_workFd >= 0) {
        ::close(m_workFd);
        if (!m_keepWork)
            removeTree(m_dirFd, QFile::encodeName(m_workName).constData());
    }
    // Closing the marker ends the lock that kept other runs from removing it.
    if (m_markerFd >= 0)
        ::close(m_markerFd);
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

bool OutputDir::open(QString *error)
{
    if (!QDir().mkpath(m_path)) {
        *error = QStringLiteral("cannot create directory %1").arg(m_path);
        return false;
    }
    m_dirFd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0) {
        *error = QStringLiteral("cannot open directory %1: %2").arg(m_path, systemError(errno));
        return false;
    }
    if (!lockDirectory(error))
        return false;
    // Listed once: a crowded directory costs one pass. No other run changes
    // its tables meanwhile.
    const QStringList names = entries();
    removeStaleWorkDirs(names);
    if (!makeWorkDir(error))
        return false;
    readGeneration(names);
    return true;
}

bool OutputDir::lockDirectory(QString *error)
{
    // One run at a time writes a directory: two runs moving tables at once
    // could leave tables of both. Where the file system has no such locks,
    // the run goes on without.
    if (::flock(m_dirFd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true;
    std::fprintf(stderr, "zil-makedb: waiting for another zil-makedb writing into %s\n",
        qPrintable(QDir::toNativeSeparators(m_path)));
    while (::flock(m_dirFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *error = QStringLiteral("cannot lock directory %1: %2").arg(m_path, systemError(errno));
            return false;
        }
    }
    return true;
}

QStringList OutputDir::entries() const
{
    QStringList names;
    const int fd = ::dup(m_dirFd);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
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

QString OutputDir::describe(const QByteArray &name) const
{
    return QDir(m_path).filePath(QFile::decodeName(name));
}

void OutputDir::removeStaleWorkDirs(const QStringList &entries)
{
    const QString prefix = QLatin1String(workDirPrefix);
    for (const QString &entry : entries) {
        if (!entry.startsWith(prefix) || entry.size() != prefix.size() + 6)
            continue;
        const QByteArray name = QFile::encodeName(entry);
        struct stat st = {};
        if (::fstatat(m_dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISDIR(st.st_mode))
            continue;
        const int workFd
            = ::openat(m_dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (workFd < 0)
            continue;
        const int markerFd = openRegular(workFd, workMarkerName);
        const bool ours = markerFd >= 0
            && readHead(markerFd, qsizetype(sizeof workMarkerText)) == QByteArray(workMarkerText);
        // A run that still lives holds the lock on its marker.
        const bool stopped = ours && ::flock(markerFd, LOCK_SH | LOCK_NB) == 0;
        const bool committing
            = stopped && ::fstatat(workFd, committingName, &st, AT_SYMLINK_NOFOLLOW) == 0;
        ::close(workFd);
        if (committing) {
            // Stopped while it moved tables: some of the earlier ones may lie
            // only there, so the directory is left for a person to look at.
            m_notes << QStringLiteral("%1 was left by a run stopped while it replaced the "
                                      "tables and may hold earlier tables; it is kept")
                           .arg(describe(name));
        } else if (stopped) {
            if (removeTree(m_dirFd, name.constData()))
                m_notes << QStringLiteral("removed %1, left by a stopped run").arg(describe(name));
            else
                m_notes << QStringLiteral("cannot remove %1, left by a stopped run")
                               .arg(describe(name));
        }
        if (markerFd >= 0)
            ::close(markerFd);
    }
}

bool OutputDir::makeWorkDir(QString *error)
{
    QByteArray templ
        = QFile::encodeName(QDir(m_path).filePath(QLatin1String(workDirPrefix))) + "XXXXXX";
    if (!::mkdtemp(templ.data())) {
        *error = QStringLiteral("cannot create a working directory in %1: %2")
                     .arg(m_path, systemError(errno));
        return false;
    }
    m_workName = QFileInfo(QFile::decodeName(templ)).fileName();
    m_workFd = ::open(templ.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_workFd >= 0) {
        m_markerFd = ::openat(
            m_workFd, workMarkerName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }
    // Locked before it says what it is, so that no other run ever finds it
    // marked and unlocked while this one lives.
    const QByteArray text(workMarkerText);
    if (m_markerFd < 0 || ::flock(m_markerFd, LOCK_EX) != 0
        || ::write(m_markerFd, text.constData(), size_t(text.size())) != text.size()
        || ::mkdirat(m_workFd, "old", 0700) != 0
        || (m_oldFd = ::openat(m_workFd, "old", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
            < 0) {
        *error = QStringLiteral("cannot create a working directory in %1: %2")
                     .arg(m_path, systemError(errno));
        return false;
    }
    return true;
}

QString OutputDir::newTablePath(const QString &table) const
{
    return QDir(QDir(m_path).filePath(m_workName)).filePath(table);
}

void OutputDir::readGeneration(const QStringList &entries)
{
    std::vector<std::int32_t> found;
    bool unreadable = false;
    for (const QString &entry : entries) {
        if (!m_tables.contains(entry, Qt::CaseInsensitive))
            continue;
        const QByteArray name = QFile::encodeName(entry);
        // Through a link too: the program reads the table it points at.
        struct stat st = {};
        if (::fstatat(m_dirFd, name.constData(), &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        const int fd = ::openat(m_dirFd, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            unreadable = true;
            continue;
        }
        const QByteArray head = readHead(fd, 100);
        ::close(fd);
        // A plain table keeps user_version in its header, big-endian at 60.
        if (head.startsWith(QByteArray("SQLite format 3\0", 16))) {
            if (head.size() == 100) {
                const auto *b = reinterpret_cast<const unsigned char *>(head.constData()) + 60;
                found.push_back(std::int32_t(quint32(b[0]) << 24 | quint32(b[1]) << 16
                    | quint32(b[2]) << 8 | quint32(b[3])));
            }
            continue;
        }
        if (head.isEmpty())
            continue;
        // A protected table hides its header: it is read with the key,
        // immutable so that nothing is written beside it.
        const QByteArray uri = QUrl::fromLocalFile(QDir(m_path).filePath(entry)).toEncoded()
            + "?mode=ro&immutable=1";
        sqlite3 *db = nullptr;
        sqlite3_stmt *stmt = nullptr;
        bool read = false;
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
                == SQLITE_OK
            && sqlite3_exec(db, "PRAGMA key = \"" + rawKey(schema::programPassword()) + "\"",
                   nullptr, nullptr, nullptr)
                == SQLITE_OK
            && sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW) {
            found.push_back(std::int32_t(sqlite3_column_int(stmt, 0)));
            read = true;
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        unreadable = unreadable || !read;
    }
    m_generation = nextGeneration(found, unreadable, QDateTime::currentSecsSinceEpoch());
}

bool OutputDir::moveAside(const QByteArray &name, QString *error)
{
    struct stat st = {};
    if (::fstatat(m_dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        *error = QStringLiteral("cannot look at %1: %2").arg(describe(name), systemError(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 is %2, where only a table file or its journal may stand")
                     .arg(describe(name), kindOf(st.st_mode));
        return false;
    }
    if (renameNoReplace(m_dirFd, name.constData(), m_oldFd, name.constData()) != 0) {
        *error = QStringLiteral("cannot move %1 aside: %2").arg(describe(name), systemError(errno));
        return false;
    }
    m_done.push_back({false, m_dirFd, name, m_oldFd, name});
    return true;
}

bool OutputDir::moveTable(const QString &table, const QStringList &entries, QString *error)
{
    // What belongs to the earlier table goes aside with it: the same name in
    // another case, which the program would take for the table, and the
    // journal, WAL and shared-memory files of SQLite, which would otherwise
    // be played into the new table.
    for (const QString &entry : entries) {
        if (entry == table)
            continue;
        bool belongs = entry.compare(table, Qt::CaseInsensitive) == 0;
        for (const char *suffix : sideFileSuffixes)
            belongs
                = belongs || entry.compare(table + QLatin1String(suffix), Qt::CaseInsensitive) == 0;
        if (belongs && !moveAside(QFile::encodeName(entry), error))
            return false;
    }

    const QByteArray name = QFile::encodeName(table);
    const char *n = name.constData();
    struct stat st = {};
    if (::fstatat(m_dirFd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            *error
                = QStringLiteral("cannot look at %1: %2").arg(describe(name), systemError(errno));
            return false;
        }
    } else if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        *error
            = QStringLiteral("%1 is %2, not a table file").arg(describe(name), kindOf(st.st_mode));
        return false;
    } else if (::renameat2(m_workFd, n, m_dirFd, n, RENAME_EXCHANGE) == 0) {
        // Swapped in one step: the directory never lacks the table, and the
        // earlier one now lies where the new one was made.
        m_done.push_back({true, m_workFd, name, m_dirFd, name});
        return true;
    } else if (errno != EINVAL && errno != ENOSYS) {
        *error
            = QStringLiteral("cannot move %1 into %2: %3").arg(table, m_path, systemError(errno));
        return false;
    } else if (!moveAside(name, error)) {
        // The file system cannot swap two names: the earlier table was to go
        // aside first.
        return false;
    }
    if (renameNoReplace(m_workFd, n, m_dirFd, n) != 0) {
        *error
            = QStringLiteral("cannot move %1 into %2: %3").arg(table, m_path, systemError(errno));
        return false;
    }
    m_done.push_back({false, m_workFd, name, m_dirFd, name});
    return true;
}

bool OutputDir::rollBack(QString *failures)
{
    QStringList failed;
    for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
        const int rc = it->exchange
            ? ::renameat2(
                it->toFd, it->to.constData(), it->fromFd, it->from.constData(), RENAME_EXCHANGE)
            : renameNoReplace(it->toFd, it->to.constData(), it->fromFd, it->from.constData());
        if (rc != 0)
            failed << QStringLiteral("%1 (%2)").arg(
                QFile::decodeName(it->from), systemError(errno));
    }
    m_done.clear();
    *failures = failed.join(QStringLiteral(", "));
    return failed.isEmpty();
}

OutputDir::Outcome OutputDir::replaceTables(QString *error)
{
    // Stands in the working directory while tables move, so that a run
    // stopped meanwhile leaves it for a person instead of for removal.
    const int mark = ::openat(
        m_workFd, committingName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (mark < 0) {
        *error = QStringLiteral("cannot write in the working directory %1: %2")
                     .arg(describe(QFile::encodeName(m_workName)), systemError(errno));
        return Outcome::Unchanged;
    }
    ::close(mark);
    ::fsync(m_workFd);

    bool ok = true;
    const QStringList names = entries();
    for (const QString &table : m_tables) {
        if (!moveTable(table, names, error)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        ::fsync(m_dirFd);
        m_done.clear();
        ::unlinkat(m_workFd, committingName, 0);
        return Outcome::Replaced;
    }

    QString failures;
    if (rollBack(&failures)) {
        ::fsync(m_dirFd);
        ::unlinkat(m_workFd, committingName, 0);
        *error += QStringLiteral("; the earlier tables were put back and %1 is unchanged")
                      .arg(QDir::toNativeSeparators(m_path));
        return Outcome::Unchanged;
    }
    m_keepWork = true;
    *error += QStringLiteral("; putting the earlier files back failed for %1: they are kept in %2, "
                             "and %3 holds some of the new tables")
                  .arg(failures, describe(QFile::encodeName(m_workName)),
                      QDir::toNativeSeparators(m_path));
    return Outcome::Mixed;
}

void OutputDir::removeIndexFiles()
{
    const QByteArray magic = QByteArray(store::indexFileMagicText) + '\n';
    for (const QString &entry : entries()) {
        const QString base = entry.section(QLatin1Char('.'), 0, 0);
        const QString suffix = entry.section(QLatin1Char('.'), 1);
        const bool indexName = suffix.compare(QLatin1String("px"), Qt::CaseInsensitive) == 0
            || (suffix.size() == 3 && suffix.startsWith(QLatin1String("xg"), Qt::CaseInsensitive));
        bool ofTable = false;
        for (const QString &table : m_tables)
            ofTable = ofTable
                || table.section(QLatin1Char('.'), 0, 0).compare(base, Qt::CaseInsensitive) == 0;
        if (!indexName || !ofTable)
            continue;
        // A file is an index only by what it holds, never by its name alone.
        const QByteArray name = QFile::encodeName(entry);
        const int fd = openRegular(m_dirFd, name.constData());
        if (fd < 0)
            continue;
        const bool index = readHead(fd, magic.size()) == magic;
        ::close(fd);
        if (index && ::unlinkat(m_dirFd, name.constData(), 0) != 0 && errno != ENOENT)
            m_notes << QStringLiteral("cannot delete the earlier index file %1: %2")
                           .arg(describe(name), systemError(errno));
    }
}

} // namespace zil::makedb
