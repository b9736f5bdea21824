// Timing, repetition and the result table of zil-bench.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace zil::bench {

struct Sample
{
    double median = 0; // seconds
    double worst = 0;
};

// Runs work `runs` times and returns the median and worst time of one run.
Sample measure(int runs, const std::function<void()> &work);

// Runs work(i) for i = 0..count-1, timing each call on its own, and returns
// the median and worst of those calls.
Sample measureEach(int count, const std::function<void(int)> &work);

// Prints the machine and build lines that head every report.
void printHeader();

// One line of the result table: the operation, our time, the baseline's,
// and their ratio; `per` names the unit of one run ("call", "walk").
void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName);
void printTableHeader();

// Message boxes go to standard error instead of waiting for a click.
void reportMessages();

// A program directory of its own under work, with a settings file naming the
// database directory db; the program path is pointed into it, so that a main
// window started now reads that database. Returns the directory.
QString installProgram(const QString &work, const QString &name, const QString &db);

// Builds a synthetic database of n materials in dir and its indexes.
bool makeDatabase(const QString &dir, int n, bool indexed = true);

// An indexed synthetic database of n materials in work/<name>-<n> and a
// program directory whose settings name it (installProgram); returns the
// database directory. A failure ends zil-bench.
QString prepareDatabase(const QString &work, const QString &name, int n);

} // namespace zil::bench
