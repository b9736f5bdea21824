// Timing, repetition, the shared databases and the result table of zil-bench.
#pragma once

#include "platform/files.h"

#include <QList>
#include <QString>
#include <functional>
#include <vector>

class TMainForm;

namespace zil::bench {

struct Sample
{
    double median = 0; // seconds, or MiB for a memory figure
    double worst = 0;
};

// Runs work `runs` times and returns the median and worst time of one run.
Sample measure(int runs, const std::function<void()> &work);

// Runs work(i) for i = 0..count-1, timing each call on its own, and returns
// the median and worst of those calls.
Sample measureEach(int count, const std::function<void(int)> &work);

// The median and worst of figures already taken.
Sample summary(std::vector<double> figures);

// Seconds that work takes once.
double seconds(const std::function<void()> &work);

// Prints the machine and build lines that head every report.
void printHeader();

enum class Unit { Seconds, MiB };

// One line of the result table: the operation, our figure, the baseline's
// and their ratio. Rows are kept and printed together by printTable, each
// also reported on standard error as it is taken; a row of the largest size
// shows how its median grew from the smallest size.
void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName, Unit unit = Unit::Seconds);
void printTable();

// Message boxes go to standard error instead of waiting for a click.
void reportMessages();

// A program directory of its own under work, with a settings file naming the
// database directory db; while the value lives the program path is pointed
// into it, so that a main window started then reads that database.
class InstalledProgram
{
public:
    InstalledProgram(const QString &work, const QString &name, const QString &db);

    const QString dir;

private:
    zil::platform::ScopedProgramFilePathHook m_programFile;
};

// Starts form on the database of the installed program, as a user's start
// does, and ends the run when the start fails; `what` names the database in
// that message ("8000 materials"). With shown set, the window is shown and
// its first paint done, as a user sees it before the first keystroke.
enum class Shown { No, Yes };
void startMainWindow(TMainForm &form, const QString &what, Shown shown = Shown::Yes);

// Builds a synthetic database of n materials in dir, and its indexes when
// indexed is set.
bool makeDatabase(const QString &dir, int n, bool indexed = true);

// A synthetic database made once per size and shared by every part. It is
// made without index files, so that the first start-up measured on it pays
// the index rebuild; a part that needs the indexes calls ensureIndexed.
struct Database
{
    int size = 0;
    QString dir;
    bool indexed = false;
    // Kept in the cache directory between runs (see keptDatabase); only
    // start-up from launch to idle, resident memory, a keystroke and a
    // flavour criteria run are measured on it.
    bool kept = false;
};
// Makes the index files a part needs: on a kept database only those missing,
// damaged or stale.
void ensureIndexed(Database &db);

// Databases of this size or more are made once and kept between runs.
inline constexpr int kKeptSize = 1000000;

// Where kept databases live: ZIL_BENCH_CACHE when set, else "zil-bench" in
// the user's cache directory (XDG_CACHE_HOME, else ~/.cache).
QString cacheDirectory();

// The synthetic database of n materials kept in the cache directory. It is
// reused when its stamp, written once the maker finished, still matches its
// table files; otherwise it is made afresh, beside the old one and put in its
// place when complete, and the making is reported as a row of its own.
// False when it cannot be made.
bool keptDatabase(int n, Database &db);

} // namespace zil::bench
