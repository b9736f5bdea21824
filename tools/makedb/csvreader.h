// Reading a CSV source file (RFC 4180: comma separated, fields optionally in
// double quotes, quotes doubled inside them, line breaks allowed inside them)
// with libcsv, keeping for every record the physical line it starts on.
#pragma once

#include <QByteArray>
#include <QString>
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

} // namespace zil::makedb
