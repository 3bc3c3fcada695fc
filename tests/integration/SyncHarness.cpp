#include "tests/integration/SyncHarness.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/integration/ConduitHost.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

namespace {

// "DB" and a number from 1 without leading zeros: the keys the conduit
// walks. Other keys of the section are not its business and must stay.
bool IsQueueKey(const std::string& key) {
    return key.size() > 2 && key.size() < 13 && key.compare(0, 2, "DB") == 0 && key[2] >= '1' && key[2] <= '9' &&
           key.find_first_not_of("0123456789", 2) == std::string::npos && std::stoull(key.substr(2)) <= 2147483647ull;
}

BOOL CALLBACK CloseOwnWindow(HWND window, LPARAM closed) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) {
        // Counted first: once the window is closed, the caller may ask.
        ++*reinterpret_cast<std::atomic<unsigned>*>(closed);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Hands `read` a copy of the settings file under a name the system's
// reader has never seen (it caches files by name), deleted afterwards.
template <class Read>
void ReadCopy(const std::string& settings, const std::string& folder, Read read) {
    static unsigned copies = 0;
    const std::string copy = folder + "read" + std::to_string(copies++) + ".ini";
    if (!CopyFileA(settings.c_str(), copy.c_str(), FALSE)) return;
    read(copy);
    DeleteFileA(copy.c_str());
}

// The keys of [InstallToSlot] as the system's reader lists them.
Lines QueueKeysOf(const std::string& file) {
    std::vector<char> keys(1 << 20);
    GetPrivateProfileStringA("InstallToSlot", nullptr, "", keys.data(), static_cast<DWORD>(keys.size()), file.c_str());
    Lines result;
    for (const char* key = keys.data(); *key; key += std::strlen(key) + 1) result.emplace_back(key);
    return result;
}

}  // namespace

WindowCloser::WindowCloser()
    : thread_([this] {
          while (!stop_) {
              EnumWindows(&CloseOwnWindow, reinterpret_cast<LPARAM>(&closed_));
              std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
      }) {}

WindowCloser::~WindowCloser() {
    stop_ = true;
    thread_.join();
}

HeldFile::HeldFile(const std::string& path) {
    static unsigned count = 0;
    const std::string name = "tolvane-hold-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(count++);
    ready_ = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    stop_ = CreateEventA(nullptr, TRUE, FALSE, (name + "-stop").c_str());
    std::string command = "\"" + BinDir() + "hold_file.exe\" \"" + path + "\" " + name + "-ready " + name + "-stop";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process_))
        return;
    const HANDLE either[] = {ready_, process_.hProcess};
    held_ = WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
}

HeldFile::~HeldFile() {
    SetEvent(stop_);
    if (process_.hProcess) WaitForSingleObject(process_.hProcess, 30000);
    for (HANDLE h : {process_.hProcess, process_.hThread, ready_, stop_})
        if (h) CloseHandle(h);
}

SyncHarness::SyncHarness(const std::string& prefix, desktop::LayoutOptions options)
    : desktop_(desktop::DesktopLayout::TempFolder(prefix), options) {
    user_ = desktop_.AddUser(1001, "Alice", "Alice") + "\\";
    card_ = desktop_.AddVolume(1, desktop::FourCC("sdig"));
    desktop_.SetSyncUser(1001);
    conduit_ = PlaceConduit(desktop_.Folder() + "\\Conduit");
    settingsFolder_ = user_ + "Tolvane\\";
    settings_ = settingsFolder_ + "Tolvane.ini";
}

std::string SyncHarness::CardFile(const std::string& name) const { return card_ + "\\Palm\\Launcher\\" + name; }

std::string SyncHarness::Setup() {
    return "[Setup]\r\nDirectory=/Palm/Launcher\r\nMediaType=1935960423\r\nConduit_Enabled=1\r\n";
}

void SyncHarness::Settings(const std::string& text) {
    CreateDirectoryA(settingsFolder_.c_str(), nullptr);
    WriteText(settings_, text);
}

std::string SyncHarness::Source(const std::string& name, const std::string& contents) {
    const std::string folder = desktop_.Folder() + "\\Books\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + name, contents.empty() ? "contents of " + name : contents);
    return folder + name;
}

long SyncHarness::Sync() { return Sync(user_); }

long SyncHarness::Sync(const std::string& pathName, desktop::host::ProgressFn progress) {
    LoadedConduit conduit(conduit_);
    if (!conduit.module()) return -2;
    const auto open = conduit.Get<OpenConduitFn>("OpenConduit");
    desktop::host::SyncProperties props{};
    std::memset(props.hostPrivate, 0xA5, sizeof props.hostPrivate);
    std::strncpy(props.pathName, pathName.c_str(), sizeof props.pathName - 1);
    desktop_.ClearCallLog();
    const size_t before = desktop_.HotSyncLog(1001).size();
    const long result = open(progress, &props);
    boxes_ = conduit.watcher().Boxes().size();
    for (const uint8_t byte : props.hostPrivate)
        if (byte != 0xA5) return -3;  // wrote into the host's part of the record
    const Lines log = desktop_.HotSyncLog(1001);
    log_.assign(log.begin() + static_cast<std::ptrdiff_t>(std::min(before, log.size())), log.end());
    return result;
}

DWORD SyncHarness::SyncInHost(DWORD timeoutMs) {
    std::string command = "\"" + desktop_.HostPath() + "\" sync 1001";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        desktop_.Folder().c_str(), &startup, &process))
        return kHostDidNotStart;
    DWORD exitCode = kHostTimedOut;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

std::map<std::string, std::string> SyncHarness::Queue() const {
    std::map<std::string, std::string> queue;
    ReadCopy(settings_, settingsFolder_, [&](const std::string& copy) {
        for (const std::string& key : QueueKeysOf(copy)) {
            char value[4096] = {};
            GetPrivateProfileStringA("InstallToSlot", key.c_str(), "", value, sizeof value, copy.c_str());
            // Keys compare without regard to case; the first of a name counts.
            std::string name = key;
            for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            queue.try_emplace(name, value);
        }
    });
    return queue;
}

Lines SyncHarness::QueueKeys() const {
    Lines keys;
    ReadCopy(settings_, settingsFolder_, [&](const std::string& copy) { keys = QueueKeysOf(copy); });
    return keys;
}

std::string SyncHarness::QueueOutcome(const std::map<std::string, std::string>& before,
                                      const std::string& cardDirectory, bool logged) const {
    const auto after = Queue();
    for (const auto& [key, source] : after)
        if (!before.count(key)) return "a key appeared: " + key;
    for (const auto& [key, source] : before) {
        // The conduit reads 2047 characters of a value; the name is theirs.
        const std::string read = source.substr(0, 2047);
        const size_t cut = read.find_last_of("\\/:");
        const std::string name = cut == std::string::npos ? read : read.substr(cut + 1);
        const auto kept = after.find(key);
        if (kept != after.end()) {
            if (kept->second != source) return key + " changed to " + kept->second;
            if (!logged || !IsQueueKey(key)) continue;
            const std::string line = "[-1 text] Error installing " + name + ": ";
            bool found = false;
            for (const std::string& entry : log_) found = found || entry.compare(0, line.size(), line) == 0;
            if (!found) return key + " stayed queued without an error line";
            continue;
        }
        if (!IsQueueKey(key)) return "a key that names no queue position went: " + key;
        const std::string card = desktop_.CardFile(1, cardDirectory + "/" + name);
        if (!PathExists(card) || ReadText(card) != ReadText(source))
            return key + " left the queue but its card file is not " + source;
    }
    return "";
}

}  // namespace testsupport
