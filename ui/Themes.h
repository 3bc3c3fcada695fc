// The system's visual style (Common Controls 6) for the windows that a
// library makes inside a host program that did not ask for it.
//
// A program asks for Common Controls 6 in its own manifest; a library cannot,
// and must not change the host's process. Its manifest resource (ID 3, which
// the loader does not apply while the library loads) is made into an
// activation context once, and ThemedWindows activates that
// context only while the library creates its windows: their controls are the
// themed ones, and every window the host makes before or after stays as the
// host made it. Where no such context can be made (a program's module, which
// has its manifest as resource 1; a system without side-by-side assemblies),
// windows are made as without it: the look is never worth a failed dialog.
#pragma once
#include <windows.h>

namespace rtl {

class ThemedWindows {
public:
    // Makes the context on the first use; `mayCreate` false (under the
    // loader lock) uses it only when it exists already.
    explicit ThemedWindows(bool mayCreate = true) noexcept;
    // Inside a ThemedWindows scope, while `wanted`: windows of the process's
    // own classes again (its default context).
    static ThemedWindows HostsOwn(bool wanted) noexcept { return ThemedWindows(nullptr, wanted); }
    ~ThemedWindows();
    ThemedWindows(const ThemedWindows&) = delete;
    ThemedWindows& operator=(const ThemedWindows&) = delete;

private:
    ThemedWindows(HANDLE context, bool activate) noexcept;
    void Activate(HANDLE context) noexcept;

    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace rtl
