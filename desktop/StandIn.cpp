#include "desktop/StandIn.h"

#include <windows.h>

#include <map>
#include <mutex>

#include "desktop/Files.h"
#include "desktop/Handles.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace desktop {
namespace {

std::mutex countsLock;
// Calls per entry since this library was loaded; the exit switch counts them.
std::map<std::string, unsigned>& Counts() {
    static std::map<std::string, unsigned> counts;
    return counts;
}

std::string RegisteredHostFolder() {
    UniqueKey key;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return {};
    key.reset(opened);
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = 0;
    if (RegQueryValueExA(key.get(), "HotSyncPath", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return ParentOf(value);
}

void WriteCallLog(const Desktop& desktop, const char* entry, const std::string& args, const std::string& result) {
    const std::string path = desktop.CallLogPath();
    if (!path.empty()) AppendLine(path, std::string(entry) + "(" + args + ") = " + result);
}

// A real library knows nothing of its loader's activation contexts, and
// the conduit must not impose its own on them: each stand-in adds its name
// to the process's variable kLoadedUnderContextVariable when it starts while
// one is active, for the tests to read.
struct LoadRecord {
    LoadRecord() noexcept {
        HANDLE context = nullptr;
        if (!GetCurrentActCtx(&context) || !context) return;
        ReleaseActCtx(context);
        char names[1024] = {};
        const DWORD length = GetEnvironmentVariableA(kLoadedUnderContextVariable, names, sizeof names);
        std::string list(names, length < sizeof names ? length : 0);
        const std::string path = ModulePath(&__ImageBase);
        list += (list.empty() ? "" : " ") + path.substr(path.find_last_of('\\') + 1);
        SetEnvironmentVariableA(kLoadedUnderContextVariable, list.c_str());
    }
} g_loadRecord;

}  // namespace

std::string DesktopFolder() {
    const std::string own = ParentOf(ModulePath(&__ImageBase));
    for (std::string folder = own; !folder.empty(); folder = ParentOf(folder))
        if (FileExists(JoinPath(folder, kDescriptionFile))) return folder;
    const std::string host = RegisteredHostFolder();
    if (!host.empty() && FileExists(JoinPath(host, kDescriptionFile))) return host;
    return own;
}

namespace detail {

std::optional<long> BeforeCall(const Desktop& desktop, const char* entry, const std::string& args) {
    unsigned call;
    {
        std::lock_guard lock(countsLock);
        call = ++Counts()[entry];
    }
    for (const ExitSwitch& exit : desktop.description.switches.exitAt) {
        if (exit.entry != entry || exit.call != call) continue;
        WriteCallLog(desktop, entry, args, "exit");
        if (exit.kind == ExitKind::Exit) ExitProcess(kSwitchExitCode);
        TerminateProcess(GetCurrentProcess(), kSwitchExitCode);
    }
    if (const auto code = desktop.description.FailCode(entry)) {
        WriteCallLog(desktop, entry, args, std::to_string(*code));
        return code;
    }
    return std::nullopt;
}

void AfterCall(const Desktop& desktop, const char* entry, const std::string& args, long result) {
    WriteCallLog(desktop, entry, args, std::to_string(result));
}

}  // namespace detail

long Unsupported(const char* entry, long code) noexcept {
    return Run(entry, code, [] { return std::string(); }, [code](const Desktop&) { return code; });
}

}  // namespace desktop
