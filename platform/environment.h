// The environment variables the program takes notice of, read in one place.
// Neither is meant for the user: both let a script, a test or a benchmark run
// the program where nobody watches its window.
#pragma once

#include <QString>

namespace zil::platform {

struct ProgramEnvironment
{
    // ZIL_MESSAGE_LOG: the file that messages are appended to instead of
    // being shown in a box; empty when the variable is unset or empty, and
    // then boxes are shown.
    QString messageLog;
    // ZIL_ANNOUNCE_IDLE: set, to any value or none, when the program is to
    // print "idle" on its standard output once its main window is up and the
    // main loop has nothing left to do.
    bool announceIdle = false;
};

// The variables as they are now; read anew on every call, so that a change
// made while the program runs is seen by the next message.
ProgramEnvironment programEnvironment();

} // namespace zil::platform
