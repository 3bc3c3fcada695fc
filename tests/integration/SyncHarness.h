// What the reliability tests share: a stand-in desktop with one user and one
// SD card, the shipped conduit placed in it, HotSyncs made through
// OpenConduit in this process or by hotsync.exe in another, the queue as
// the system's own reader lists it, and a watcher that closes every window
// the conduit opens (the setup dialog, a message box).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "desktop/HostRecords.h"
#include "tests/support/TestFiles.h"

namespace testsupport {

using Lines = std::vector<std::string>;

// Posts WM_CLOSE to every visible top-level window of this process, from a
// thread of its own, until it is destroyed.
class WindowCloser {
public:
    WindowCloser();
    ~WindowCloser();
    WindowCloser(const WindowCloser&) = delete;
    WindowCloser& operator=(const WindowCloser&) = delete;
    unsigned Closed() const noexcept { return closed_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> closed_{0};
    std::thread thread_;
};

// Another program (hold_file) that holds a file open for reading and
// writing without sharing it, as an editor, a backup tool or a program that
// is still writing it may, until this object goes.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const noexcept { return held_; }

private:
    HANDLE ready_ = nullptr, stop_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool held_ = false;
};

class SyncHarness {
public:
    explicit SyncHarness(const std::string& prefix, desktop::LayoutOptions options = {});

    desktop::DesktopLayout& Desktop() noexcept { return desktop_; }
    const std::string& UserFolder() const noexcept { return user_; }   // ends in "\"
    const std::string& CardFolder() const noexcept { return card_; }
    const std::string& SettingsFile() const noexcept { return settings_; }
    const std::string& ConduitPath() const noexcept { return conduit_; }
    std::string CardFile(const std::string& name) const;  // in /Palm/Launcher

    // Writes the settings file: an SD card, the given [InstallToSlot] lines.
    void Settings(const std::string& text);
    static std::string Setup();  // the [Setup] section every queue test uses
    // A desktop file with its name in it, in the Books folder.
    std::string Source(const std::string& name, const std::string& contents = "");

    // One HotSync in this process: load, OpenConduit (with the user's
    // folder, or `pathName`, and the host's part of the record filled with a
    // pattern), unload. The result of OpenConduit; -2 when the conduit did
    // not load, -3 when it wrote into the host's part. Log() holds the run's
    // HotSync log lines, BoxesShown() how many message boxes it showed; the
    // stand-ins' call log holds the run's calls only.
    long Sync();
    long Sync(const std::string& pathName, desktop::host::ProgressFn progress = nullptr);
    const Lines& Log() const noexcept { return log_; }
    size_t BoxesShown() const noexcept { return boxes_; }
    // A HotSync by hotsync.exe in its own process; its exit code, or one of
    // these two when it did not start or did not end within the timeout.
    static constexpr DWORD kHostDidNotStart = 0xFFFFFFFF, kHostTimedOut = 0xFFFFFFFE;
    DWORD SyncInHost(DWORD timeoutMs = 120000);

    // The queue's keys and values as the system's reader sees them.
    std::map<std::string, std::string> Queue() const;
    // The queue's keys as the system's reader lists them, in file order.
    Lines QueueKeys() const;

    // Whether a run kept its promise for the queue it started with: every
    // key it took off has its file complete on the card (in `cardDirectory`),
    // every key that stayed still names its file and, when `logged`, has an
    // error line in Log(). "" when all held, else what did not.
    std::string QueueOutcome(const std::map<std::string, std::string>& before,
                             const std::string& cardDirectory = "/Palm/Launcher", bool logged = true) const;

private:
    desktop::DesktopLayout desktop_;
    std::string user_, card_, settingsFolder_, settings_, conduit_;
    Lines log_;
    size_t boxes_ = 0;
};

}  // namespace testsupport
