// The operating-system version query: whether the program runs on a platform
// of the NT line. On it a report goes to the preview; otherwise the print
// dialog is asked first.
#pragma once

#include "platform/scopedhook.h"

#include <functional>

namespace zil::platform {

// True on every platform the program runs on, unless a hook answers.
bool IsNTPlatform();

// While a hook is set, IsNTPlatform() gives its answer. An empty function
// removes the hook.
void setNTPlatformHook(std::function<bool()> hook);
// Sets the hook for the guard's lifetime.
using ScopedNTPlatformHook = ScopedHook<setNTPlatformHook>;

} // namespace zil::platform
