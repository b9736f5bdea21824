// Writes the search data file of a database in a thread of its own. A start
// that had to rebuild the index files opens its window as soon as the indexes
// of the tables are made, and the search data, which take about as long to
// make as those together, follow while the user works; until they are in
// place, Find makes its data in memory as for any file wanting.
#pragma once

#include <QString>
#include <atomic>
#include <thread>

namespace zil::store {

class FindDataWriter
{
public:
    FindDataWriter() = default;
    // Stops a writing under way and waits for its thread.
    ~FindDataWriter();
    FindDataWriter(const FindDataWriter &) = delete;
    FindDataWriter &operator=(const FindDataWriter &) = delete;

    // Writes the file of dir when it is missing, damaged or made from other
    // tables than those there now; a writing under way is stopped first.
    // Nothing is reported: a file that cannot be written stays wanting, and
    // the next start tries again.
    void start(const QString &dir);
    // Stops a writing under way, leaving no file, and waits for its thread.
    void stop();
    // Whether a writing is under way.
    bool running() const { return m_running.load(); }
    // Waits up to ms for a writing under way to end; true when none is.
    bool wait(int ms) const;

private:
    static void write(QString dir, QString lockPath, std::atomic<bool> *stop);
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_running {false};
};

} // namespace zil::store
