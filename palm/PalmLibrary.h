// The shape every Palm Desktop binding shares. A binding is
//   - a fixed description (BindingInfo, constexpr): which file, how it is
//     found and verified, what a failure to load it means;
//   - its changing state (BindingState): the module and one entry pointer per
//     entry of its list, released and emptied as a whole;
//   - an entry list file (*.inc) with one line per entry, in lookup order:
//       PALM_LOOKUP(Name)                            looked up and verified only
//       PALM_CALL(result, Name, (params), (args))    also called by our code
//     from which PalmBindingDecl.h and PalmBindingDef.h make the indexes, the
//     names, the pointer types and the typed calls.
#pragma once
#include <windows.h>

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "rtl/WinHandles.h"

namespace palm {

// Where the library file is looked for.
enum class Locate {
    OwnDirElseDesktopDir,  // beside the conduit if it is there, else the Palm Desktop directory
    DesktopDir,            // the Palm Desktop directory (the bare name when that is unknown)
    BareNameFromDesktopDir // the bare name, with the Palm Desktop directory made current meanwhile
};

// How the entry points are verified after lookup.
enum class Verify {
    EachEntry,     // each right after its own lookup; the first missing one stops the lookups
    AfterAll,      // all looked up first, then verified in list order
    None           // a missing entry just stays empty
};

struct EntryName {
    const char* name;
    int line;  // line of the entry in its list file, named by an assertion failure
};

struct BindingInfo {
    const char* fileName;
    const char* unit;         // as our tree names the binding, e.g. "palm\\kivSyncMgr"
    Locate locate;
    Verify verify;
    const char* failMessage;  // shown when the file cannot be loaded
    bool stopsStart;          // whether that failure stops the conduit's start
    std::span<const EntryName> entries;
};

// A binding's module and entry pointers. The runtime never destroys it: at
// process exit the libraries may be gone already, so only an explicit
// Release (the conduit's stop, a tool's scope) lets a library go.
template <size_t Count>
class BindingState {
public:
    BindingState() : held_() {}
    ~BindingState() {}
    BindingState(const BindingState&) = delete;
    BindingState& operator=(const BindingState&) = delete;

    bool Loaded() const noexcept { return static_cast<bool>(held_.module); }
    void* Entry(int index) const noexcept { return held_.entries[index]; }
    // Frees the library and forgets every pointer into it, as one step.
    void Release() noexcept { held_ = Held{}; }

    rtl::UniqueHModule& Module() noexcept { return held_.module; }
    std::span<void*> Entries() noexcept { return held_.entries; }

private:
    struct Held {
        rtl::UniqueHModule module;
        std::array<void*, Count> entries{};
    };
    union {
        Held held_;
    };
};

// The pointer type of an entry that our code calls, from its list line:
// EntryType<syncmgr::eSyncYieldCycles>::Pointer.
template <auto entry>
struct EntryType;

// One binding as the start-up and the tools handle it: its description, the
// loader its unit names, and its state.
struct Binding {
    const BindingInfo& info;
    void (*load)();
    bool (*loaded)() noexcept;
    void (*release)() noexcept;
};

// The loader's work: finds the file as the description says, loads it and
// looks up and verifies the entries. Does nothing when the library is loaded
// already. Throws rtl::EAssertionFailed for an entry that verification
// misses; the library then stays loaded until the state is released.
void LoadBinding(const BindingInfo& info, rtl::UniqueHModule& module, std::span<void*> entries);

template <size_t Count>
void LoadBinding(const BindingInfo& info, BindingState<Count>& state) {
    if (!state.Loaded()) LoadBinding(info, state.Module(), state.Entries());
}

// A binding's start in the conduit: releases what it held, runs its loader;
// when the file could not be loaded, shows the binding's message and, where
// that failure stops the start, throws the silent rtl::EAbort.
void StartBinding(const Binding& binding);

// Loads bindings for a program beside the conduit and releases each one it
// loaded, the last first, when it goes, also when a loader threw.
class BindingScope {
public:
    BindingScope() = default;
    ~BindingScope();
    BindingScope(const BindingScope&) = delete;
    BindingScope& operator=(const BindingScope&) = delete;

    // Runs the binding's loader; whether its library is loaded now. A binding
    // loaded before the scope began is left to whoever loaded it.
    bool Load(const Binding& binding);

private:
    std::vector<const Binding*> held_;
};

}  // namespace palm
