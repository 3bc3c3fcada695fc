#include "tests/support/DebugOutput.h"

#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr DWORD kBufferSize = 4096;

}  // namespace

DebugOutput::DebugOutput()
    : buffer_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER")) {
    if (!buffer_ || GetLastError() == ERROR_ALREADY_EXISTS)
        throw std::runtime_error("another debug-output viewer runs, or the buffer could not be made");
    bufferReady_.reset(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY"));
    dataReady_.reset(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY"));
    view_ = MapViewOfFile(buffer_.get(), FILE_MAP_READ, 0, 0, kBufferSize);
    if (!bufferReady_ || !dataReady_ || !view_) throw std::runtime_error("the debug-output buffer could not be set up");
    thread_ = std::thread([this] { Serve(); });
}

DebugOutput::~DebugOutput() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (view_) UnmapViewOfFile(view_);
}

// The buffer holds the sender's process id, then its text.
void DebugOutput::Serve() {
    while (!stop_) {
        SetEvent(bufferReady_.get());
        while (!stop_ && WaitForSingleObject(dataReady_.get(), 50) != WAIT_OBJECT_0) {
        }
        if (stop_) return;
        DWORD processId = 0;
        std::memcpy(&processId, view_, sizeof processId);
        const char* text = static_cast<const char*>(view_) + sizeof processId;
        std::string line(text, strnlen(text, kBufferSize - sizeof processId));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        const std::lock_guard<std::mutex> locked(lock_);
        lines_.emplace_back(processId, std::move(line));
    }
}

std::vector<std::string> DebugOutput::Lines(DWORD processId) const {
    const std::lock_guard<std::mutex> locked(lock_);
    std::vector<std::string> lines;
    for (const auto& [sender, line] : lines_)
        if (sender == processId) lines.push_back(line);
    return lines;
}

std::vector<std::string> DebugOutput::LinesWith(const std::string& text, DWORD processId,
                                                std::chrono::milliseconds wait) const {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::vector<std::string> found;
        for (const std::string& line : Lines(processId))
            if (line.find(text) != std::string::npos) found.push_back(line);
        if (!found.empty() || std::chrono::steady_clock::now() >= deadline) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace testsupport
