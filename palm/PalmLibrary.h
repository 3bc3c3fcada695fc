// The shape every Palm Desktop binding shares: which file, how it is found,
// which entry points it must offer, and what a failure to load it means.
// Each binding is one PalmLibrary value plus an entry list file (*.inc) that
// holds one PALM_ENTRY(Name) per line in lookup order; that list is expanded
// into the entry indexes, the names and the entry pointers.
#pragma once
#include <windows.h>

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

struct PalmEntryName {
    const char* name;
    int line;  // line of the entry in its list file, named by an assertion failure
};

struct PalmLibrary {
    const char* fileName;
    const char* unit;         // as our tree names the binding, e.g. "palm\\kivSyncMgr"
    Locate locate;
    Verify verify;
    const char* failMessage;  // shown when the file cannot be loaded
    bool stopsStart;          // whether that failure stops the conduit's start
    const PalmEntryName* names;
    void** entries;           // one pointer per name; empty until found
    int count;
    HMODULE handle;
    bool loaded;

    void* Entry(int index) const noexcept { return entries[index]; }
};

// The loader: finds the file as `locate` says, loads it and looks up and
// verifies the entries. Does nothing when the library is loaded already.
// Throws rtl::EAssertionFailed for an entry that verification misses.
void LoadPalmLibrary(PalmLibrary& library);

// A binding's start: clears the loaded flag and runs the loader; when the
// file could not be loaded, shows the binding's message and, where that
// failure stops the start, throws the silent rtl::EAbort.
void StartPalmLibrary(PalmLibrary& library);

// A binding's finish: releases the library if it was loaded.
void FinishPalmLibrary(PalmLibrary& library) noexcept;

}  // namespace palm

