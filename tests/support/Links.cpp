#include "tests/support/Links.h"

#include <windows.h>

#include <cstdio>

namespace testsupport {

namespace {

using UnixNameFn = char*(__cdecl*)(const wchar_t*);

UnixNameFn UnixNameCall() {
    return reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

bool UnderWine() { return UnixNameCall() != nullptr; }

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

// The Unix name of a Windows path whose last part need not exist.
std::string UnixName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    char* folder = UnixNameCall()(Wide(path.substr(0, slash + 1)).c_str());
    if (!folder) return "";
    std::string name = folder;
    HeapFree(GetProcessHeap(), 0, folder);
    if (name.empty() || name.back() != '/') name += '/';
    return name + path.substr(slash + 1);
}

// Wine splits a Unix program's command line as Windows does.
std::wstring Quoted(const std::string& text) { return L"\"" + Wide(text) + L"\""; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether a folder lists an entry of exactly that name.
bool Listed(const std::string& folder, const std::string& name) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool listed = false;
    do listed = listed || name == found.cFileName;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return listed;
}

// Runs a Unix program through Wine, which starts ELF programs as well but
// hands back no handle to wait on: the caller waits until `done`.
template <class Done>
bool RunUnix(const std::wstring& program, const std::wstring& commandLine, Done done) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    for (const HANDLE h : {process.hThread, process.hProcess})
        if (h) CloseHandle(h);
    for (int tries = 0; tries < 200; ++tries) {
        if (done()) return true;
        Sleep(25);
    }
    return done();
}

}  // namespace

bool MakeSymlink(const std::string& link, const std::string& target) {
    if (!UnderWine()) {
        // Vista and later; the test programs are built for XP as well.
        using LinkFn = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
        const auto call = reinterpret_cast<LinkFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkA")));
        const DWORD folder = (GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
        if (call) call(link.c_str(), target.c_str(), folder);
    } else {
        const size_t slash = link.find_last_of('\\');
        return RunUnix(L"Z:\\bin\\ln", L"ln -s -- " + Quoted(UnixName(target)) + L" " + Quoted(UnixName(link)),
                       [&] { return Listed(link.substr(0, slash), link.substr(slash + 1)); });
    }
    return Exists(link);
}

RawFile::RawFile(const std::string& folder, const std::string& name) : folder_(folder), name_(name) {
    if (!UnderWine()) {
        made_ = CloseHandle(CreateFileA(("\\\\?\\" + folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        return;
    }
    made_ = RunUnix(L"Z:\\usr\\bin\\touch", L"touch -- " + Quoted(UnixName(folder + "\\" + name)),
                    [&] { return Listed(folder, name); });
}

RawFile::~RawFile() {
    if (!UnderWine()) {
        DeleteFileA(("\\\\?\\" + folder_ + "\\" + name_).c_str());
        return;
    }
    RunUnix(L"Z:\\bin\\rm", L"rm -f -- " + Quoted(UnixName(folder_ + "\\" + name_)),
            [&] { return !Listed(folder_, name_); });
}

MappedDrive::MappedDrive(char letter, const std::string& folder) : letter_(letter) {
    const std::string drive = std::string(1, letter) + ":";
    if (!UnderWine()) {
        mapped_ = DefineDosDeviceA(0, drive.c_str(), folder.c_str()) && Exists(Root());
        return;
    }
    // The prefix's drive letters are links in its dosdevices folder.
    const std::string c = UnixName("C:\\x");
    size_t cut = c.rfind("/dosdevices/c:/");
    if (cut == std::string::npos) cut = c.rfind("/drive_c/");
    if (cut == std::string::npos) return;
    device_ = c.substr(0, cut) + "/dosdevices/" + std::string(1, static_cast<char>(letter | 0x20)) + ":";
    std::string target = UnixName(folder + "\\x");
    target.resize(target.size() - 2);
    mapped_ = RunUnix(L"Z:\\bin\\ln", L"ln -s -- " + Quoted(target) + L" " + Quoted(device_),
                      [&] { return Exists(Root()); });
}

MappedDrive::~MappedDrive() {
    if (!UnderWine()) {
        if (mapped_) DefineDosDeviceA(DDD_REMOVE_DEFINITION, (std::string(1, letter_) + ":").c_str(), nullptr);
        return;
    }
    if (!device_.empty()) RunUnix(L"Z:\\bin\\rm", L"rm -f -- " + Quoted(device_), [&] { return !Exists(Root()); });
}

}  // namespace testsupport
