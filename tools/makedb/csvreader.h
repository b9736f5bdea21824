// Reading a CSV source file (RFC 4180: comma separated, fields optionally in
// double quotes, quotes doubled inside them, line breaks allowed inside them)
// with libcsv, keeping for every record the physical line it starts on.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace zil::makedb {

struct CsvRecord
{
    int line = 0; // 1-based physical line of the record's first character
    std::vector<QByteArray> fields; // raw bytes, quotes removed
};

struct CsvProblem
{
    int line = 0;
    QString message;
};

struct CsvFile
{
    std::vector<CsvRecord> records; // the header row first
    std::vector<CsvProblem> problems; // malformed records, left out of records
};

// Parses CSV text. A UTF-8 byte order mark at the start is dropped; records
// may end in LF or CRLF; blank lines between records are skipped. Fields keep
// their spaces. After a malformed record, reading resumes on the next line.
CsvFile parseCsv(const QByteArray &text);

// The most bytes a source file may hold. Far above any real catalogue, it
// keeps a runaway file from exhausting memory.
inline constexpr qint64 maxSourceBytes = qint64(1) << 30;

// Reads a source file whole. Only a regular file (links followed) is read: a
// FIFO, device, socket or directory is refused before it is opened, and the
// file is opened so that it cannot block. A file over `limit` bytes, or one
// that grows past it while read, is refused. False with error set ("not a
// regular file but a FIFO", "No such file or directory", ...) on failure.
bool readSourceFile(
    const QString &path, QByteArray *bytes, QString *error, qint64 limit = maxSourceBytes);

} // namespace zil::makedb
