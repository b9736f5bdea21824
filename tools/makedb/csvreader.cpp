#include "csvreader.h"

#include "platform/files.h"

#include <cstring>
#include <csv.h>
#include <utility>

namespace zil::makedb {

namespace {

struct ParseState
{
    CsvFile *out = nullptr;
    CsvRecord current;
    bool inRecord = false;
    int line = 0; // the physical line being parsed
};

void onField(void *data, size_t length, void *state)
{
    auto *s = static_cast<ParseState *>(state);
    // A record that follows a bare CR on the same line starts on that line.
    if (s->current.line == 0)
        s->current.line = s->line;
    s->current.fields.emplace_back(static_cast<const char *>(data), qsizetype(length));
}

void onRecordEnd(int, void *state)
{
    auto *s = static_cast<ParseState *>(state);
    s->out->records.push_back(std::move(s->current));
    s->current = CsvRecord();
    s->inRecord = false;
}

// Spaces are data in RFC 4180, so libcsv is told that nothing is a space.
int noSpace(unsigned char)
{
    return 0;
}

class Parser
{
public:
    Parser() { reset(); }
    ~Parser() { csv_free(&m_parser); }
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;

    void reset()
    {
        if (m_initialised)
            csv_free(&m_parser);
        csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI);
        csv_set_space_func(&m_parser, noSpace);
        m_initialised = true;
    }
    csv_parser *get() { return &m_parser; }

private:
    csv_parser m_parser {};
    bool m_initialised = false;
};

bool isBlank(const char *begin, const char *end)
{
    for (const char *p = begin; p != end; ++p) {
        if (*p != '\r' && *p != '\n')
            return false;
    }
    return true;
}

QString describe(int error)
{
    switch (error) {
    case CSV_EPARSE:
        return QStringLiteral("malformed CSV: stray quote or text after a closing quote");
    case CSV_ENOMEM:
    case CSV_ETOOBIG:
        return QStringLiteral("malformed CSV: field too large");
    default:
        return QStringLiteral("malformed CSV: %1").arg(QString::fromLocal8Bit(csv_strerror(error)));
    }
}

QString tooLarge(qint64 limit)
{
    return QStringLiteral("larger than the %1 MiB a source may hold").arg(limit >> 20);
}

} // namespace

bool readSourceFile(const QString &path, QByteArray *bytes, QString *error, qint64 limit)
{
    platform::WholeFile file = platform::readWholeRegularFile(path, limit);
    switch (file.status) {
    case platform::WholeFile::Status::Read:
        *bytes = std::move(file.data);
        return true;
    case platform::WholeFile::Status::Failed:
        *error = platform::systemErrorText(file.error);
        break;
    case platform::WholeFile::Status::NotRegular:
        *error
            = QStringLiteral("not a regular file but %1").arg(platform::entryKindText(file.kind));
        break;
    case platform::WholeFile::Status::TooLarge:
        *error = tooLarge(limit);
        break;
    }
    return false;
}

CsvFile parseCsv(const QByteArray &text)
{
    CsvFile file;
    ParseState state;
    state.out = &file;
    Parser parser;

    const char *pos = text.constData();
    const char *const end = pos + text.size();
    if (text.startsWith("\xEF\xBB\xBF"))
        pos += 3;

    // The text goes to libcsv one physical line at a time: a record that is
    // not in progress when a non-blank line begins starts on that line.
    int line = 0;
    while (pos != end) {
        state.line = ++line;
        const char *lineEnd = static_cast<const char *>(memchr(pos, '\n', size_t(end - pos)));
        lineEnd = lineEnd ? lineEnd + 1 : end;
        if (!state.inRecord && !isBlank(pos, lineEnd)) {
            state.current.line = line;
            state.inRecord = true;
        }
        const size_t length = size_t(lineEnd - pos);
        if (csv_parse(parser.get(), pos, length, onField, onRecordEnd, &state) != length) {
            QString message = describe(csv_error(parser.get()));
            if (line != state.current.line)
                message += QStringLiteral(" (on line %1)").arg(line);
            file.problems.push_back({state.current.line, message});
            // Drop the broken record and go on with the next line.
            parser.reset();
            state.current = CsvRecord();
            state.inRecord = false;
        }
        pos = lineEnd;
    }
    if (csv_fini(parser.get(), onField, onRecordEnd, &state) != 0) {
        file.problems.push_back(
            {state.current.line, QStringLiteral("malformed CSV: quoted field not closed")});
    }
    return file;
}

} // namespace zil::makedb
