#include "palm/PalmLibrary.h"

#include <string>

#include "palm/kivUserData.h"
#include "rtl/ModulePath.h"
#include "rtl/SysUtils.h"

namespace palm {

namespace {

// Makes a directory current for as long as it lives, and puts the old one
// back on every way out.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::string& dir) {
        char old[MAX_PATH + 1] = {};
        const DWORD length = GetCurrentDirectoryA(sizeof old, old);
        if (length == 0 || length >= sizeof old) return;
        saved_.assign(old, length);
        if (dir.empty() || !SetCurrentDirectoryA(dir.c_str())) saved_.clear();
    }
    ~CurrentDirectoryScope() {
        if (!saved_.empty()) SetCurrentDirectoryA(saved_.c_str());
    }
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::string saved_;
};

HMODULE LoadFound(const PalmLibrary& library) {
    switch (library.locate) {
    case Locate::OwnDirElseDesktopDir: {
        const std::string own = rtl::GetModuleDir() + library.fileName;
        return LoadLibraryA(rtl::FileExists(own) ? own.c_str() : (GetPalmDesktopDir() + library.fileName).c_str());
    }
    case Locate::DesktopDir:
        return LoadLibraryA((GetPalmDesktopDir() + library.fileName).c_str());
    case Locate::BareNameFromDesktopDir: {
        // The library's own dependencies are found from the current directory.
        const CurrentDirectoryScope scope(GetPalmDesktopDir());
        return LoadLibraryA(library.fileName);
    }
    }
    return nullptr;
}

// Handles below 32 are failures, as the 16-bit loader once reported them.
bool CountsAsLoaded(HMODULE handle) { return reinterpret_cast<uintptr_t>(handle) >= 32; }

void Verify(const PalmLibrary& library, int index) {
    if (!library.entries[index]) throw rtl::EAssertionFailed(library.unit, library.names[index].line);
}

void LookUpEntries(PalmLibrary& library) {
    for (int i = 0; i < library.count; ++i) {
        library.entries[i] = reinterpret_cast<void*>(GetProcAddress(library.handle, library.names[i].name));
        if (library.verify == Verify::EachEntry) Verify(library, i);
    }
    if (library.verify == Verify::AfterAll)
        for (int i = 0; i < library.count; ++i) Verify(library, i);
}

}  // namespace

void LoadPalmLibrary(PalmLibrary& library) {
    if (library.loaded) return;
    library.handle = LoadFound(library);
    library.loaded = CountsAsLoaded(library.handle);
    if (library.loaded) LookUpEntries(library);
}

void StartPalmLibrary(PalmLibrary& library) {
    library.loaded = false;
    LoadPalmLibrary(library);
    if (library.loaded) return;
    MessageBoxA(nullptr, library.failMessage, "Error", MB_OK | MB_ICONERROR);
    if (library.stopsStart) throw rtl::EAbort();
}

void FinishPalmLibrary(PalmLibrary& library) noexcept {
    if (library.loaded) FreeLibrary(library.handle);
}

}  // namespace palm
