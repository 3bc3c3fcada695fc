// Reads the debug output (OutputDebugString) as a debug-output viewer does:
// the shared buffer and its two events, served from a thread of its own for
// as long as the object lives. Only one viewer can run in a Wine prefix at a
// time: the tests that use one share the wine_desktop resource lock.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rtl/WinHandles.h"

namespace testsupport {

class DebugOutput {
public:
    DebugOutput();  // throws std::runtime_error when another viewer runs
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    // The lines that a process sent so far, without their final line breaks.
    std::vector<std::string> Lines(DWORD processId = GetCurrentProcessId()) const;
    // The lines of the process that hold `text`, once there is one or the
    // time is up.
    std::vector<std::string> LinesWith(const std::string& text, DWORD processId = GetCurrentProcessId(),
                                       std::chrono::milliseconds wait = std::chrono::seconds(10)) const;

private:
    void Serve();

    rtl::UniqueKernelHandle buffer_, bufferReady_, dataReady_;
    const void* view_ = nullptr;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<std::pair<DWORD, std::string>> lines_;
    std::thread thread_;
};

}  // namespace testsupport
