// What tells that a file changed or was replaced: its identity on its device,
// its size and its modification time to the nanosecond.
#pragma once

#include <QString>
#include <QtGlobal>

namespace zil::platform {

struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    bool operator==(const FileStamp &) const = default;
};

// The stamp of the file or directory at path; a path that names nothing
// gives a stamp with exists false. A file renamed over another one has an
// identity of its own even when it is written within the same millisecond
// and has the same size.
FileStamp fileStamp(const QString &path);

// A file held open so that its own stamp can be read again at any time: what
// was written into that very file, whatever stands at its name by then. Only
// a regular file is held; opening never blocks on a FIFO or device.
class WatchedFile
{
public:
    WatchedFile() = default;
    ~WatchedFile();
    WatchedFile(const WatchedFile &) = delete;
    WatchedFile &operator=(const WatchedFile &) = delete;

    // Links followed; false when path names no regular file or cannot be read.
    bool open(const QString &path);
    void close();
    // The stamp of the file held; exists false when none is held or the
    // system can no longer tell (a file gone on a network share).
    FileStamp stamp() const;

private:
    int m_fd = -1;
};

} // namespace zil::platform
