// probe-conduit.dll: the smallest conduit that the stand-in host can drive,
// for the host's tests and for trying the desktop by hand before the real
// conduit is there. It registers itself as creator "pRob" through the
// stand-in Conduit Manager (found through HotSyncPath, as a conduit finds
// it), and reports everything the host hands it: OpenConduit as a progress
// text and a HotSync log entry, the configuration calls as a log entry, so
// that a test can compare the records with what the host meant to send.
// Records are read by offset on purpose: this side must not share the
// host's record declarations.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "desktop/Files.h"
#include "desktop/Handles.h"
#include "desktop/Strings.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr const char* kCreator = "pRob";
constexpr const char* kName = "Probe";

std::string PalmDesktopDir() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return {};
    desktop::UniqueKey key(opened);
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "HotSyncPath", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return {};
    return desktop::ParentOf(value);
}

// One Palm Desktop library, loaded for the length of one call.
class Library {
public:
    explicit Library(const char* file) : module_(LoadLibraryA(desktop::JoinPath(PalmDesktopDir(), file).c_str())) {}
    template <class Fn>
    Fn Entry(const char* name) const {
        return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name))) : nullptr;
    }

private:
    desktop::UniqueModule module_;
};

void Log(const std::string& text, long activity) {
    const Library log("hslog20.dll");
    if (auto add = log.Entry<long(__cdecl*)(const char*, long, long)>("LogAddEntry")) add(text.c_str(), activity, 0);
}

std::int32_t Int(const void* record, std::size_t offset) {
    std::int32_t value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

void SetInt(void* record, std::size_t offset, std::int32_t value) {
    std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

std::string Text(const void* record, std::size_t offset, std::size_t size) {
    const char* text = static_cast<const char*>(record) + offset;
    return std::string(text, strnlen(text, size));
}

}  // namespace

extern "C" long __cdecl GetConduitName(char* name, unsigned short length) noexcept {
    if (!name || length == 0) return -1;
    lstrcpynA(name, kName, length);
    return 0;
}

extern "C" unsigned long __cdecl GetConduitVersion() noexcept { return 0x0102; }

extern "C" long __cdecl GetConduitInfo(long type, void*, void* out, unsigned long* size) noexcept {
    if (!out || !size) return 4209;
    if (type == 0) return GetConduitName(static_cast<char*>(out), static_cast<unsigned short>(*size));
    if (type != 1 && type != 2) return 4208;
    if (*size != 4) return 4211;
    SetInt(out, 0, type == 1 ? 0x10000000 : 0);
    return 0;
}

extern "C" long __cdecl OpenConduit(void(__cdecl* progress)(const char*), const void* props) noexcept {
    if (!props) return -1;
    const std::string text = "probe: PathName " + Text(props, 4, 256);
    if (progress) progress(text.c_str());
    Log(text, -1);
    return 0;
}

// Reports the record and chooses "desktop overwrites handheld", permanently.
extern "C" long __cdecl CfgConduit(long type, void* args, unsigned long* size) noexcept {
    if (!args) return 4212;
    if (!size) return 4216;
    if (*size != 352) return 4218;
    if (type != 0) return 4219;
    char creator[16];
    std::snprintf(creator, sizeof creator, "0x%08X", static_cast<unsigned>(Int(args, 8)));
    Log("probe: CfgConduit size " + std::to_string(Int(args, 4)) + " creator " + creator + " user " +
            std::to_string(Int(args, 12)) + " name " + Text(args, 16, 64) + " path " + Text(args, 80, 256) +
            " permanent " + std::to_string(Int(args, 336)) + " temporary " + std::to_string(Int(args, 340)),
        -1);
    SetInt(args, 344, 3);
    SetInt(args, 348, 1);
    return 0;
}

// Reports the preference and chooses "handheld overwrites desktop" once.
extern "C" long __cdecl ConfigureConduit(void* pref) noexcept {
    if (!pref) return -1;
    Log("probe: ConfigureConduit path " + Text(pref, 0, 256) + " pref " + std::to_string(Int(pref, 516)) +
            " type " + std::to_string(Int(pref, 520)),
        -1);
    SetInt(pref, 516, 2);
    SetInt(pref, 520, 2);
    return 0;
}

extern "C" HRESULT __stdcall DllRegisterServer() noexcept {
    const Library manager("CONDMGR.DLL");
    auto install = manager.Entry<long(__stdcall*)(const char*, int)>("CmInstallCreator");
    auto setText = [&](const char* entry, const std::string& value) {
        auto set = manager.Entry<long(__stdcall*)(const char*, const char*)>(entry);
        return set ? set(kCreator, value.c_str()) : -1;
    };
    auto priority = manager.Entry<long(__stdcall*)(const char*, long)>("CmSetCreatorPriority");
    if (!install || !priority || install(kCreator, 1) != 0 ||
        setText("CmSetCreatorName", desktop::ModulePath(&__ImageBase)) != 0 || setText("CmSetCreatorTitle", kName) != 0 ||
        setText("CmSetCreatorDirectory", kName) != 0 || priority(kCreator, 3) != 0)
        return E_FAIL;
    const Library api("hsapi.dll");
    if (auto refresh = api.Entry<long(__stdcall*)()>("HsRefreshConduitInfo")) refresh();
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() noexcept {
    const Library manager("CONDMGR.DLL");
    auto remove = manager.Entry<long(__stdcall*)(const char*)>("CmRemoveConduitByCreatorID");
    return remove && remove(kCreator) > 0 ? S_OK : E_FAIL;
}
