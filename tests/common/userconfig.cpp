// Every test program keeps what the program remembers for its user in a
// configuration directory of its own, empty when the program starts and
// removed when it ends: no test reads what another one left, and none writes
// into the configuration of whoever runs the tests.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

void ownConfigDirectory()
{
    static QTemporaryDir dir;
    if (dir.isValid())
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    else
        qFatal("no temporary configuration directory: %s", qPrintable(dir.errorString()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(ownConfigDirectory)
