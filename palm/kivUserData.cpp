// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivUserData.h"


#include "palm/PalmCall.h"
#include "rtl/ModulePath.h"
#include "rtl/Paths.h"
#include "rtl/Registry.h"
#include "rtl/Text.h"
#include "rtl/WinHandles.h"

namespace palm {

namespace {

std::string PalmDesktopDir;
std::string GivenDesktopDir;  // UsePalmDesktopDir's, which outlives the conduit's stop

constexpr const char* kCoreKey = "Software\\U.S. Robotics\\Pilot Desktop\\Core";

// A User Data library beside the conduit knows the directory itself. This
// load serves this one question only.
std::string AskUserDataBesideUs() {
    const std::string path = rtl::GetModuleDir() + userdata::Info.fileName;
    if (!rtl::FileExists(path)) return {};
    const rtl::UniqueHModule probe(LoadLibraryA(path.c_str()));
    if (reinterpret_cast<uintptr_t>(probe.get()) < 32) return {};
    const char* name = userdata::kEntryNames[userdata::eUmGetRootDirectory].name;
    const void* entry = reinterpret_cast<const void*>(GetProcAddress(probe.get(), name));
    if (!entry) return {};
    char buffer[260] = {};
    short size = sizeof buffer;
    CallEntry(entry, buffer, &size);
    return rtl::BufferText(buffer);
}

}  // namespace

std::string GetRegisteredHotSyncPath() {
    return rtl::ReadRegistryText(HKEY_CURRENT_USER, kCoreKey, "HotSyncPath").value_or("");
}

std::string GetRegisteredDesktopDir() { return rtl::ExtractFilePath(GetRegisteredHotSyncPath()); }

void UsePalmDesktopDir(const std::string& dir) { GivenDesktopDir = rtl::IncludeTrailingBackslash(dir); }

bool PalmDesktopDirIsGiven() noexcept { return !GivenDesktopDir.empty(); }

std::string GetPalmDesktopDir() {
    if (PalmDesktopDirIsGiven()) return GivenDesktopDir;
    if (!PalmDesktopDir.empty()) return PalmDesktopDir;
    PalmDesktopDir = AskUserDataBesideUs();
    if (PalmDesktopDir.empty()) PalmDesktopDir = GetRegisteredDesktopDir();
    PalmDesktopDir = rtl::IncludeTrailingBackslash(PalmDesktopDir);
    return PalmDesktopDir;
}

void LoadUserData() { LoadBinding(userdata::Info, userdata::State); }

void StartUserData() { StartBinding(userdata::kBinding); }

void StopUserData() noexcept {
    userdata::State.Release();
    PalmDesktopDir.clear();
}

}  // namespace palm

