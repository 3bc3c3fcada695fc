// A host's view of the conduit for integration tests: the shipped
// Tolvane.dll copied into a folder of its own, loaded with LoadLibraryA while
// a watcher answers any message box, and its exports called through
// function types written from the host's side.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/MessageBoxWatcher.h"

namespace testsupport {

using GetConduitNameFn = long(__cdecl*)(char*, unsigned short);
using GetConduitVersionFn = unsigned long(__cdecl*)();
using GetConduitInfoFn = long(__cdecl*)(long, void*, void*, unsigned long*);
using ProgressFn = void(__cdecl*)(const char*);
using OpenConduitFn = long(__cdecl*)(ProgressFn, const void*);
using ConfigureConduitFn = long(__cdecl*)(void*);
using CfgConduitFn = long(__cdecl*)(long, void*, unsigned long*);
using RegistrationFn = HRESULT(__stdcall*)();
using GetClassObjectFn = HRESULT(__stdcall*)(const GUID&, const GUID&, void**);

// The stand-in libraries' file names, as the conduit loads them.
extern const char* const kPalmLibraryFiles[7];

// A visible top-level window of the calling thread, as a host's main
// window: a modal box of the conduit must keep it from taking input.
class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const noexcept { return window_; }

private:
    HWND window_;
};

// Copies the shipped conduit to folder\Tolvane.dll (creating the folder) and
// returns that path.
std::string PlaceConduit(const std::string& folder);

class LoadedConduit {
public:
    // Loads the conduit at `path`; module() is null when the load failed.
    explicit LoadedConduit(const std::string& path);
    ~LoadedConduit() { Unload(); }
    LoadedConduit(const LoadedConduit&) = delete;
    LoadedConduit& operator=(const LoadedConduit&) = delete;

    HMODULE module() const noexcept { return module_; }
    DWORD loadError() const noexcept { return loadError_; }
    void Unload();
    const MessageBoxWatcher& watcher() const noexcept { return watcher_; }

    template <class Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    // Convenience calls; -2 when the export is missing.
    std::string ConduitName() const;

private:
    MessageBoxWatcher watcher_;  // running before the load starts
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
};

// Whether any stand-in library is still loaded in this process.
std::string LoadedPalmLibraries();

}  // namespace testsupport
