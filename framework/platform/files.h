// The file-system calls of the program: directory search by wildcard pattern,
// deletion, an existence test that ignores the case of the name, and the path
// of the running program file.
#pragma once

#include "framework/platform/scopedhook.h"

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

// Opens a file for reading only when it is a regular file, so that a FIFO or
// a device can never block or feed endless data: the open does not wait
// (O_NONBLOCK) and the opened file is checked before anything is read. With
// followLinks false a symbolic link is refused. The descriptor, or -1.
int openRegularFile(const QString &path, bool followLinks);

// At most maxBytes from the start of a regular file; nullopt when path is
// no regular file (as openRegularFile decides) or cannot be read.
std::optional<QByteArray> readRegularFile(
    const QString &path, qsizetype maxBytes, bool followLinks);

// Writes data as the whole content of dir/name: a new file is written in
// dir and renamed over the name, so a reader sees the old content or the new
// one, never part of it. An existing symbolic link at the name is replaced
// itself, its target is never written. False on any failure, which leaves
// the name as it was.
bool replaceFileContent(const QString &dir, const QString &name, const QByteArray &data);

// The names of the entries of dir, the same list for as long as the
// directory does not change. A directory with very many entries is read once
// and not again for every name looked up in it. Empty when dir cannot be
// read.
QStringList directoryEntries(const QString &dir);

// The name of the entry of dir that equals name with case ignored; the exact
// name is preferred. Empty when there is none.
QString findEntryNoCase(const QString &dir, const QString &name);

// The full path of the running program file.
QString programFilePath();

// While set, programFilePath() answers with the hook's path; tests stand in a
// program file of their own. An empty function removes the hook.
void setProgramFilePathHook(std::function<QString()> hook);
// Sets the hook for the guard's lifetime.
using ScopedProgramFilePathHook = ScopedHook<setProgramFilePathHook>;

} // namespace zil::platform
