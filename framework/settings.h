// The reader of the program's settings file: a sectioned text file of
// "[section]" lines and "key=value" lines, read once and never written.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace zil {

// The values of one settings file, looked up by section and key without regard
// to case. A missing file, section or key reads as an empty text.
//
// The file is parsed by inih, configured to read it the way the Windows
// profile functions do:
// - a line whose first non-blank character is ';' or '#' is a comment; a ';'
//   or '#' later in a line is part of the value ("Path=/data/a;b #2");
// - every line stands alone: an indented line is a key of its own, never the
//   continuation of the previous value;
// - a line may be as long as the file: values keep their whole text;
// - blanks around section names, keys and values are dropped, and a value
//   enclosed in a pair of double or single quotes loses the two quotes;
// - a value is everything after the first '=', further '=' included;
// - lines end in LF, CR LF or CR; a UTF-8 byte order mark is skipped, and a
//   file with a UTF-16 or UTF-32 byte order mark is decoded from that;
//   without one the file is read as UTF-8, or as Latin-1 when it is not
//   valid UTF-8;
// - when a key occurs more than once in a section, the first one counts,
//   and a section that occurs twice adds its keys to the first one;
// - lines that are neither section, key nor comment are skipped.
// What inih cannot do: a ':' before the first '=' of a line also ends the
// key, so a key holding ':' cannot be read; section names longer than 48
// bytes are cut by inih, so their keys are dropped rather than being found
// under the cut name; the text of the file ends at a NUL byte.
class SettingsFile
{
public:
    SettingsFile() = default;
    explicit SettingsFile(const QString &path) { load(path); }

    // Reads the file at path, replacing what was read before. False when it
    // does not exist or cannot be read; every value then reads as empty.
    bool load(const QString &path);

    // Parses data as the content of a settings file, replacing what was read
    // before. False when the data is too large to be parsed.
    bool loadData(const QByteArray &data);

    // The value of key in section, case ignored in both; empty when missing.
    QString value(const QString &section, const QString &key) const;

private:
    static int handleValue(void *user, const char *section, const char *name, const char *value);
    static QString lookupKey(const QString &section, const QString &key);

    QHash<QString, QString> m_values;
};

// The settings file of a program: "<baseName>.INI" in programDir. When that
// exact name does not exist, a file of the directory whose name differs from
// it only in case ("<baseName>.ini", "<BASENAME>.Ini") is taken; among several,
// the first in byte order of the name. When none exists, the path of the exact
// name is returned, which reads as a missing file.
QString findSettingsFile(const QString &programDir, const QString &baseName);

} // namespace zil
