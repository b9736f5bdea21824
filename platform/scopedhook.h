// A test hook installed for as long as a guard lives. The constructor sets the
// hook through its setter; the destructor takes it away again, so that a hook
// set in a test ends with it, also when a check fails or an exception leaves
// the scope early.
//
// Guards of one setter may overlap: the hook in force is that of the newest
// guard alive, and none once no guard is left. A guard inside another gives
// the outer hook back when it ends; a guard that ends while a newer one lives
// (a test fixture replaced by a new one, say) leaves the newer one's hook in
// place. A hook set by calling the setter directly, as the program itself may
// do for good, is not known to the guards.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

namespace zil::platform {

template<auto Setter>
class ScopedHook;

template<typename Hook, void (*Setter)(Hook)>
class ScopedHook<Setter>
{
public:
    explicit ScopedHook(Hook hook)
        : m_hook(std::move(hook))
    {
        alive().push_back(this);
        Setter(m_hook);
    }
    ~ScopedHook()
    {
        auto &guards = alive();
        guards.erase(std::find(guards.begin(), guards.end(), this));
        Setter(guards.empty() ? Hook() : guards.back()->m_hook);
    }
    ScopedHook(const ScopedHook &) = delete;
    ScopedHook &operator=(const ScopedHook &) = delete;

private:
    // The guards of this setter alive, oldest first.
    static std::vector<ScopedHook *> &alive()
    {
        static std::vector<ScopedHook *> guards;
        return guards;
    }

    Hook m_hook;
};

} // namespace zil::platform
