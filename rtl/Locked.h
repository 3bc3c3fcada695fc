// A critical section held for a scope: the programs are built without the
// C++ thread library, so its mutexes are not to be had.
#pragma once
#include <windows.h>

namespace rtl {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION& section) noexcept : section_(section) { EnterCriticalSection(&section_); }
    ~Locked() { LeaveCriticalSection(&section_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& section_;
};

}  // namespace rtl
