#include "framework/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>

#include <algorithm>
#include <cstring>
#include <mutex>

#include <ini.h>

namespace zil {

namespace {

// inih keeps at most this many bytes of a section name (its buffer of 50 less
// the terminating NUL). A name of this length may have been cut.
constexpr std::size_t kInihSectionLimit = 49;

// Larger files are refused: inih doubles its line buffer in an int, which must
// not overflow on the longest possible line.
constexpr qsizetype kMaxFileSize = qsizetype(1) << 28;

// Debian's inih exposes its build options as global variables. The defaults
// cut a value at " ;" (inline comments), read an indented line as the
// continuation of the previous value and read lines into a 200-byte buffer,
// parsing the rest of a longer line as a line of its own. This sets the
// options for one parse and puts the previous ones back afterwards; the lock
// keeps two parses from sharing the globals.
class InihOptions
{
public:
    explicit InihOptions(int maxLine)
        : m_lock(mutex())
        , m_multiline(ini_allow_multiline)
        , m_bom(ini_allow_bom)
        , m_startPrefixes(ini_start_comment_prefixes)
        , m_inline(ini_allow_inline_comments)
        , m_useStack(ini_use_stack)
        , m_maxLine(ini_max_line)
        , m_realloc(ini_allow_realloc)
        , m_stopOnError(ini_stop_on_first_error)
        , m_noValue(ini_allow_no_value)
    {
        static char startPrefixes[] = ";#";
        ini_allow_multiline = false;
        ini_allow_bom = true;
        ini_start_comment_prefixes = startPrefixes;
        ini_allow_inline_comments = false;
        ini_use_stack = false;
        ini_max_line = maxLine;
        ini_allow_realloc = true;
        ini_stop_on_first_error = false;
        ini_allow_no_value = false;
    }

    ~InihOptions()
    {
        ini_allow_multiline = m_multiline;
        ini_allow_bom = m_bom;
        ini_start_comment_prefixes = m_startPrefixes;
        ini_allow_inline_comments = m_inline;
        ini_use_stack = m_useStack;
        ini_max_line = m_maxLine;
        ini_allow_realloc = m_realloc;
        ini_stop_on_first_error = m_stopOnError;
        ini_allow_no_value = m_noValue;
    }

    InihOptions(const InihOptions &) = delete;
    InihOptions &operator=(const InihOptions &) = delete;

private:
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }

    std::lock_guard<std::mutex> m_lock;
    bool m_multiline;
    bool m_bom;
    char *m_startPrefixes;
    bool m_inline;
    bool m_useStack;
    int m_maxLine;
    bool m_realloc;
    bool m_stopOnError;
    bool m_noValue;
};

// The file's text as UTF-8 without byte order mark, every line ending in LF.
QByteArray normalisedText(const QByteArray &data)
{
    QByteArray text;
    const auto marked = QStringConverter::encodingForData(data);
    if (marked && *marked != QStringConverter::Utf8) {
        QStringDecoder decoder(*marked);
        text = QString(decoder(data)).toUtf8();
    } else {
        QByteArrayView raw(data);
        if (raw.startsWith("\xEF\xBB\xBF"))
            raw = raw.sliced(3);
        // Decoding only to learn whether the bytes are valid UTF-8.
        QStringDecoder utf8(QStringConverter::Utf8);
        (void)QString(utf8(raw));
        text = utf8.hasError() ? QString::fromLatin1(raw).toUtf8() : raw.toByteArray();
    }
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

QByteArray withoutEnclosingQuotes(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

} // namespace

bool SettingsFile::load(const QString &path)
{
    m_values.clear();
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxFileSize)
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    return loadData(data);
}

bool SettingsFile::loadData(const QByteArray &data)
{
    m_values.clear();
    if (data.size() > kMaxFileSize)
        return false;
    const QByteArray text = normalisedText(data);
    if (text.size() > kMaxFileSize)
        return false;
    // Room for the longest line there can be, with its line end and NUL.
    const int maxLine = std::max<int>(200, int(text.size()) + 3);
    InihOptions options(maxLine);
    // Parse errors are lines of no known kind; they are skipped, as the
    // profile functions skip them. Only a failed allocation (-2) is a failure.
    return ini_parse_string(text.constData(), &SettingsFile::handleValue, this) != -2;
}

int SettingsFile::handleValue(void *user, const char *section, const char *name, const char *value)
{
    auto *self = static_cast<SettingsFile *>(user);
    if (std::strlen(section) >= kInihSectionLimit)
        return 1;
    const QByteArray key = QByteArray(name).trimmed();
    if (key.isEmpty())
        return 1;
    const QString lookup
        = lookupKey(QString::fromUtf8(QByteArray(section).trimmed()), QString::fromUtf8(key));
    if (!self->m_values.contains(lookup))
        self->m_values.insert(
            lookup, QString::fromUtf8(withoutEnclosingQuotes(QByteArray(value).trimmed())));
    return 1;
}

QString SettingsFile::lookupKey(const QString &section, const QString &key)
{
    return section.toCaseFolded() + QChar(u'\0') + key.toCaseFolded();
}

QString SettingsFile::value(const QString &section, const QString &key) const
{
    return m_values.value(lookupKey(section, key));
}

QString findSettingsFile(const QString &programDir, const QString &baseName)
{
    const QDir dir(programDir);
    const QString wanted = baseName + QStringLiteral(".INI");
    const QString exact = dir.filePath(wanted);
    if (QFileInfo(exact).isFile())
        return exact;
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end());
    for (const QString &name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    }
    return exact;
}

} // namespace zil
