#include "version.h"

namespace zil::platform {

namespace {

std::function<bool()> &hook()
{
    static std::function<bool()> h;
    return h;
}

} // namespace

bool IsNTPlatform()
{
    // Every platform this program is built for has the NT line's printing
    // behaviour; only tests ask for the other answer.
    if (hook())
        return hook()();
    return true;
}

void setNTPlatformHook(std::function<bool()> h)
{
    hook() = std::move(h);
}

} // namespace zil::platform
