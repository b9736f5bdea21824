#include "environment.h"

#include <QtGlobal>

namespace zil::platform {

ProgramEnvironment programEnvironment()
{
    ProgramEnvironment env;
    env.messageLog = qEnvironmentVariable("ZIL_MESSAGE_LOG");
    env.announceIdle = qEnvironmentVariableIsSet("ZIL_ANNOUNCE_IDLE");
    return env;
}

} // namespace zil::platform
