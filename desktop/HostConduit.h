// How the stand-in host loads and questions one conduit: the library held
// for the length of one command, typed entry points by name (a missing one
// is reported and comes back empty), and records with guard bytes behind
// them, so that a conduit writing past a record shows.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "desktop/ConduitRegistry.h"
#include "desktop/Handles.h"
#include "desktop/HostRecords.h"

namespace desktop::host {

inline constexpr std::uint8_t kPattern = 0xA5;

// A record with guard bytes behind it, to catch a conduit that writes past it.
#pragma pack(push, 1)
template <class Record>
struct Guarded {
    Record record;
    std::uint8_t guard[32];
};
#pragma pack(pop)

template <class Record>
Guarded<Record> MakeGuarded() {
    Guarded<Record> guarded;
    std::memset(&guarded.record, 0, sizeof guarded.record);
    std::memset(guarded.guard, kPattern, sizeof guarded.guard);
    return guarded;
}

template <class Record>
bool GuardIntact(const Guarded<Record>& guarded) {
    return std::all_of(std::begin(guarded.guard), std::end(guarded.guard), [](std::uint8_t b) { return b == kPattern; });
}

const char* ActionName(long action);
const char* PreferenceName(long preference);

class LoadedConduit {
public:
    // Loads the conduit from the file it registered and says so on stdout.
    explicit LoadedConduit(const ConduitEntry& entry);
    explicit operator bool() const noexcept { return bool(module_); }

    template <class Fn>
    Fn Entry(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(Address(name)));
    }

    // Name, version and information, as the host asks before a HotSync.
    void Describe() const;

private:
    FARPROC Address(const char* name) const;
    UniqueModule module_;
};

}  // namespace desktop::host
