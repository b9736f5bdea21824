// Helpers of the zil-makedb tests: running the tool, reading the table files
// it wrote back through SQLCipher, and writing and reading CSV fixtures.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace zil::makedbtest {

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the zil-makedb named by ZIL_MAKEDB with the given arguments; a run
// still going after timeoutMs is killed and counts as not finished.
Run runMakeDb(const QStringList &args, int timeoutMs = 240000);

// Whether strace can trace a program here (it is installed and the system
// lets it attach).
bool straceWorks();

// Runs zil-makedb as runMakeDb does, under strace with the given options. A
// run that strace's tampering killed counts as not finished.
Run runMakeDbUnderStrace(const QStringList &straceOptions, const QStringList &args);

// The contents of a table file: the one table's columns and rows in storage
// order. Integers come back as qlonglong, texts as QString, NULL as an
// invalid QVariant. error is set when the file cannot be read.
struct Table
{
    QString error;
    QStringList columns;
    QList<QVariantList> rows;
    // Every object in sqlite_master as "type name sql".
    QStringList objects;

    QVariant value(int row, const char *column) const;
};

// Reads dir/fileName, with the SQLCipher key of password when it is set.
Table readTable(const QString &dir, const QString &fileName, const QString &password = QString());

// Every table of a database directory as text, for comparing two databases.
QString dumpDatabase(const QString &dir, const QString &password = QString());

void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Parses a CSV file with libcsv (a UTF-8 byte order mark dropped), records
// including the header, for checking what the tool stored against it.
QList<QStringList> parseCsvFile(const QString &path);

// Source files by name ("materials.csv" → contents), written into dir.
using Sources = QMap<QString, QByteArray>;
void writeSources(const QString &dir, const Sources &sources);

} // namespace zil::makedbtest
