// Test databases, made by the project's own database maker in a directory the
// test owns.
#pragma once

#include <QString>
#include <QStringList>

namespace zil::test {

// Runs zil-makedb with the given arguments; fails the calling test (returns
// false) when it does not exit with status 0.
bool runMakeDb(const QStringList &args, QString *output = nullptr);

// A synthetic database of n materials in dir, protected or plain.
bool makeSynthetic(const QString &dir, int n, bool protect = false);

// The size of the shared database whose lists scroll.
inline constexpr int kScrollingMaterials = 3000;

// A synthetic database of kScrollingMaterials materials, made once per test
// program in a directory that lives as long as the program and shared by its
// tests; empty when the maker fails. Tests read it only: one that changes a
// table works on a copy (copyDatabase).
QString scrollingDatabase();

// Copies the files of a database directory into a new directory to.
bool copyDatabase(const QString &from, const QString &to);

// Runs SQL on a table file as another program would, writing to it.
bool execSql(const QString &path, const QString &sql);

// Writes a CSV file from rows of fields, quoting every field.
void writeCsv(const QString &path, const QList<QStringList> &rows);

// Whether every index file of the database in dir is complete, Find's search
// data file included, within ms: a start that rebuilt the indexes writes that
// file once its window is open.
bool indexesCompleteWithin(const QString &dir, int ms = 60000);

// The lines of a log of strace -f, each call whole: a call that another
// thread's calls interrupted ("<unfinished ...>", later "<... resumed>")
// is put together on the line where it ended.
QList<QByteArray> straceLines(const QString &log);

// The repository's root, from the test environment.
QString sourceDir();

} // namespace zil::test
