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

// Prints the machine and build lines that head every report.
void printHeader();

// One line of the result table: the operation, our time, the baseline's,
// and their ratio; `per` names the unit of one run ("call", "walk").
void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName);
void printTableHeader();

// Builds a synthetic database of n materials in dir and its indexes.
bool makeDatabase(const QString &dir, int n, bool indexed = true);

// Makes the program's start-up find a settings file naming the database
// directory dbDir: the file is written into programDir, and the program path
// is taken to be a program file "zil" there until the hook is removed.
void pointProgramAt(const QString &programDir, const QString &dbDir);

} // namespace zil::bench
