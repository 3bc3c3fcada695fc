#include "palm/PalmLibrary.h"

#include <algorithm>
#include <string>

#include "palm/kivUserData.h"
#include "ui/Forms.h"
#include "rtl/ModulePath.h"
#include "rtl/Paths.h"
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

HMODULE LoadFound(const BindingInfo& info) {
    switch (info.locate) {
    case Locate::OwnDirElseDesktopDir: {
        const std::string own = rtl::GetModuleDir() + info.fileName;
        const bool besideUs = !PalmDesktopDirIsGiven() && rtl::FileExists(own);
        return LoadLibraryA(besideUs ? own.c_str() : (GetPalmDesktopDir() + info.fileName).c_str());
    }
    case Locate::DesktopDir:
        return LoadLibraryA((GetPalmDesktopDir() + info.fileName).c_str());
    case Locate::BareNameFromDesktopDir: {
        // The library's own dependencies are found from the current directory.
        const CurrentDirectoryScope scope(GetPalmDesktopDir());
        return LoadLibraryA(info.fileName);
    }
    }
    return nullptr;
}

// Handles below 32 are failures, as the 16-bit loader once reported them;
// such a handle is no module of ours to free.
bool CountsAsLoaded(HMODULE handle) { return reinterpret_cast<uintptr_t>(handle) >= 32; }

void Verify(const BindingInfo& info, std::span<void*> entries, size_t index) {
    if (!entries[index]) throw rtl::EAssertionFailed(info.unit, info.entries[index].line);
}

void LookUpEntries(const BindingInfo& info, HMODULE module, std::span<void*> entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i] = reinterpret_cast<void*>(GetProcAddress(module, info.entries[i].name));
        if (info.verify == Verify::EachEntry) Verify(info, entries, i);
    }
    if (info.verify == Verify::AfterAll)
        for (size_t i = 0; i < entries.size(); ++i) Verify(info, entries, i);
}

}  // namespace

void LoadBinding(const BindingInfo& info, rtl::UniqueHModule& module, std::span<void*> entries) {
    if (module) return;
    const HMODULE handle = LoadFound(info);
    if (!CountsAsLoaded(handle)) return;
    module.reset(handle);
    LookUpEntries(info, handle, entries);
}

void StartBinding(const Binding& binding) {
    binding.release();
    binding.load();
    if (binding.loaded()) return;
    // Owned by the host's window (or modal to its thread), so that nothing of
    // the host can be clicked into while the library is half started; shown
    // while the library loads, under the loader lock.
    rtl::MessageDlg(binding.info.failMessage, "Error", MB_OK | MB_ICONERROR, true);
    if (binding.info.stopsStart) throw rtl::EAbort();
}

BindingScope::~BindingScope() {
    std::for_each(held_.rbegin(), held_.rend(), [](const Binding* binding) { binding->release(); });
}

bool BindingScope::Load(const Binding& binding) {
    if (binding.loaded()) return true;
    // Held before the loader runs: a loader that throws may have loaded the library.
    held_.push_back(&binding);
    binding.load();
    return binding.loaded();
}

}  // namespace palm
