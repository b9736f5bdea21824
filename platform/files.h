// The file-system calls of the program: directory search by wildcard pattern,
// deletion, an existence test that ignores the case of the name, reading and
// writing files safely (never blocking on a FIFO, never through a link where
// that matters), work inside an open directory, and the path of the running
// program file.
#pragma once

#include "platform/filelock.h"
#include "platform/scopedhook.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

namespace zil::platform {

// Raised when the operating system refuses a request that has no "false"
// answer, such as listing a directory that does not exist.
class PlatformError : public std::runtime_error
{
public:
    explicit PlatformError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Windows wildcard matching of a file name, case ignored:
// - '*' matches any run of characters, the empty one and dots included;
// - '?' matches exactly one character, except in the run of '?' that ends the
//   pattern: there each '?' may also match nothing, so "*.x??" matches
//   "a.x", "a.x1" and "a.x01" but not "a.x001".
// Every other character matches itself. A trailing ".*" has no special
// meaning ("*.*" needs a dot), and short 8.3 aliases play no part.
bool matchesWildcard(const QString &name, const QString &pattern);

// The names (without directory) of the entries of dir that match pattern:
// files and directories alike, hidden ones included, never "." and "..".
// Sorted by name, case ignored. Raises PlatformError when dir does not exist,
// is no directory or cannot be read; a directory without matches gives an
// empty list.
QStringList findFiles(const QString &dir, const QString &pattern);

// Deletes the file at path; false when it could not be deleted. A directory
// is never deleted (false), a symbolic link is removed itself.
bool deleteFile(const QString &path);

// True when the directory part of path holds a file (not a directory) whose
// name equals the last part of path, case ignored: "DIR/material.xg1" is
// found as "DIR/MATERIAL.XG1".
bool fileExists(const QString &path);

// Whether path names a regular file. With followLinks false a symbolic link
// is never one, whatever it points to. Only the file's status is read: a FIFO
// or a device is answered without being opened.
bool isRegularFile(const QString &path, bool followLinks);

// At most maxBytes from the start of a regular file; nullopt when path is
// no regular file or cannot be read. A FIFO or a device can never block or
// feed endless data: the open does not wait and the opened file is checked
// before anything is read. With followLinks false a symbolic link is refused.
std::optional<QByteArray> readRegularFile(
    const QString &path, qsizetype maxBytes, bool followLinks);

// Writes data as the whole content of dir/name: a new file is written in
// dir and renamed over the name, so a reader sees the old content or the new
// one, never part of it. The file is flushed to the medium before the
// rename and the directory after it, so a power cut leaves the old content
// or the whole new one. An existing symbolic link at the name is replaced
// itself, its target is never written. False on any failure, which leaves
// the name as it was.
bool replaceFileContent(const QString &dir, const QString &name, const QByteArray &data);

// Writes what the system holds of the regular file at path through to the
// medium, its modification time included; false when it cannot.
bool flushFile(const QString &path);

// The names of the entries of dir, the same list for as long as the
// directory does not change. A directory with very many entries is read once
// and not again for every name looked up in it. Empty when dir cannot be
// read.
QStringList directoryEntries(const QString &dir);

// The name of the entry of dir that equals name with case ignored; the exact
// name is preferred. Empty when there is none.
QString findEntryNoCase(const QString &dir, const QString &name);

// What a directory entry is, as its status tells without opening it.
enum class EntryKind {
    Missing, // there is no entry of that name
    Unknown, // its status cannot be read (the error says why)
    Regular,
    Directory,
    Link, // only when links are not followed
    Fifo,
    CharDevice,
    BlockDevice,
    Socket,
    Other,
};

// What an entry that is not a regular file is, as a message names it: "a
// directory", "a FIFO", "a character device", and so on.
QString entryKindText(EntryKind kind);

// The system's text for an error number that a call below reported.
QString systemErrorText(int error);

// The outcome of reading a whole regular file.
struct WholeFile
{
    enum class Status {
        Read, // data holds the whole file
        Failed, // the system refused; error is its error number
        NotRegular, // kind says what the path names instead
        TooLarge, // the file holds, or grew while read to, more than the limit
    };
    Status status = Status::Failed;
    int error = 0;
    EntryKind kind = EntryKind::Unknown;
    QByteArray data;
};

// Reads the whole regular file at path, links followed. The path is looked at
// before it is opened, so that a FIFO or a device is never opened; the file is
// opened so that it cannot block, and the opened file decides again, as the
// name may have been pointed elsewhere in between.
WholeFile readWholeRegularFile(const QString &path, qint64 limit);

// An open descriptor of the system, closed when the object goes; it moves,
// never copies.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(other.release())
    { }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closes the descriptor held, if any, and holds fd instead.
    void reset(int fd = -1);
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// A regular file held open for reading at chosen offsets. Nothing of it is
// mapped into memory: a file that another process cuts short or writes into
// meanwhile makes a read come back short or with other bytes, never stops the
// program. A file deleted, or another renamed over its name, while it is open
// goes on being read as it was opened where the file system keeps open files
// (a local one does; on a network share its reads may fail instead).
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    // Opens the regular file at path; closed (isOpen() false, error() saying
    // why where the system told) when path is no regular file or cannot be
    // opened. With followLinks false a symbolic link is refused. The path is
    // looked at first, so that a FIFO or a device is never opened, opened so
    // that it cannot block, and the opened file is checked again.
    static ReadOnlyFile open(const QString &path, bool followLinks);

    bool isOpen() const { return m_fd.get() >= 0; }
    // The error number of the last call that failed.
    int error() const { return m_error; }
    // The size of the file as it is now; -1 when it cannot be told.
    qint64 size() const;
    // Reads n bytes at offset into out; the number of bytes read, fewer than
    // n only where the file ends sooner, or -1 when reading fails.
    qint64 readAt(qint64 offset, void *out, qint64 n) const;

private:
    Descriptor m_fd;
    mutable int m_error = 0;
};

// A name under which a library that limits the length of paths (SQLite
// takes 512 bytes at most) can open the file at path: the path itself when
// it is short enough, else the file's name in its directory, which is held
// open for as long as the object lives and reached through the system's
// table of open descriptors. Empty when the directory of a long path cannot
// be opened; error() then gives the system's error number.
class OpenablePath
{
public:
    explicit OpenablePath(const QString &path);
    // In the encoding of file names.
    const QByteArray &name() const { return m_name; }
    int error() const { return m_error; }

    // The longest path handed on as it is.
    static constexpr qsizetype maxDirect = 400;

private:
    Descriptor m_dir;
    QByteArray m_name;
    int m_error = 0;
};

// An open file, closed when the object goes. Made by Directory.
class File
{
public:
    File() = default;

    bool isOpen() const { return m_fd.get() >= 0; }
    void close() { m_fd.reset(); }
    // The error number of the last call that failed.
    int error() const { return m_error; }

    // Up to maxBytes from where the file stands; fewer at its end or when
    // reading fails.
    QByteArray read(qsizetype maxBytes);
    // Writes all of data; false when the system refuses.
    bool write(const QByteArray &data);
    // A lock on the whole file: shared or exclusive, taken at once or waited
    // for. It lasts until the file is closed.
    LockResult lock(bool exclusive, bool wait);

private:
    friend class Directory;
    explicit File(int fd)
        : m_fd(fd)
    { }
    Descriptor m_fd;
    int m_error = 0;
};

// An open directory, in which names are looked at, opened, moved and removed
// relative to the directory itself, so that no step goes through a path that
// was changed meanwhile. Names are single entries, never paths. Every call
// that can fail answers false (or a closed File) and leaves the system's
// error number in error().
class Directory
{
public:
    Directory() = default;

    // Opens the directory at path, links followed.
    bool open(const QString &path);
    // Opens the directory `name` of parent, never through a link.
    bool openIn(const Directory &parent, const QString &name);
    bool isOpen() const { return m_fd.get() >= 0; }
    void close() { m_fd.reset(); }
    int error() const { return m_error; }

    // Makes a new directory in the directory at path named prefix and six
    // characters chosen so that no entry has that name yet; its name, or an
    // empty string with *error set.
    static QString makeUniqueDirectory(const QString &path, const QString &prefix, int *error);

    // The names of the entries, never "." and "..", read anew at each call.
    QStringList entries() const;
    // What the entry `name` is; a link is followed only when asked.
    EntryKind kind(const QString &name, bool followLinks) const;

    // Opens the regular file `name` for reading: looked at first, so that a
    // FIFO or a device is never opened, opened so that it cannot block, and
    // checked again once open. With followLinks false a link is refused.
    File openRegular(const QString &name, bool followLinks) const;
    // Creates the file `name` for reading and writing, only when no entry has
    // that name (a link there included), readable by its owner alone.
    File createExclusive(const QString &name) const;
    // Creates the directory `name`, for its owner alone.
    bool makeDirectory(const QString &name) const;
    // Removes the file (or link) `name`; true also when there is none.
    bool removeFile(const QString &name) const;
    // Removes the directory `name` and everything in it, never following a
    // link; true also when there is none.
    bool removeTree(const QString &name) const;

    // Moves `from` in this directory to `to` in the directory `target`,
    // unless an entry stands at `to`. Where the file system cannot refuse in
    // the same step, the target is looked at first.
    bool moveNoReplace(const QString &from, const Directory &target, const QString &to) const;
    // Swaps `from` in this directory with `to` in `target` in one step.
    // Unsupported when the file system cannot swap names; nothing moved then.
    enum class Exchange { Done, Unsupported, Failed };
    Exchange exchange(const QString &from, const Directory &target, const QString &to) const;

    // Writes what was changed in the directory through to the medium.
    bool sync() const;
    // A lock on the directory, as File::lock.
    LockResult lock(bool exclusive, bool wait);

private:
    Descriptor m_fd;
    mutable int m_error = 0;
};

// The full path of the running program file.
QString programFilePath();

// While set, programFilePath() answers with the hook's path; tests stand in a
// program file of their own. An empty function removes the hook.
void setProgramFilePathHook(std::function<QString()> hook);
// Sets the hook for the guard's lifetime.
using ScopedProgramFilePathHook = ScopedHook<setProgramFilePathHook>;

} // namespace zil::platform
