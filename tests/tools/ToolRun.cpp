#include "tests/tools/ToolRun.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "rtl/AnsiText.h"
#include "rtl/WinHandles.h"

namespace tooltest {

namespace {

constexpr DWORD kTimeoutMs = 60000;

// One started program: its process and the read end of its output pipe.
struct Started {
    rtl::UniqueKernelHandle process;
    rtl::UniqueFile output;
};

std::unique_ptr<Started> Start(const std::string& program, const std::vector<std::wstring>& args) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return nullptr;
    auto started = std::make_unique<Started>();
    started->output.reset(readEnd);
    const rtl::UniqueFile writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION info{};
    std::wstring command = CommandLine(rtl::WideFromAnsi(program), args);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info))
        return nullptr;
    CloseHandle(info.hThread);
    started->process.reset(info.hProcess);
    return started;
}

// Whatever the pipe holds now, without waiting for more.
void Drain(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char chunk[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || got == 0) return;
        output.append(chunk, got);
    }
}

// Reads until the program ends rather than until the pipe closes: a
// background process that Wine starts for the program (its desktop window)
// inherits the pipe and keeps it open.
ToolRun Finish(Started* started) {
    ToolRun run;
    if (!started) return run;
    const DWORD start = GetTickCount();
    bool ended = false;
    while (!ended && GetTickCount() - start < kTimeoutMs) {
        ended = WaitForSingleObject(started->process.get(), 10) == WAIT_OBJECT_0;
        Drain(started->output.get(), run.output);
    }
    if (ended) GetExitCodeProcess(started->process.get(), &run.exitCode);
    std::erase(run.output, '\r');
    return run;
}

template <class Text>
Text Quoted(const Text& program, const std::vector<Text>& args) {
    using Char = typename Text::value_type;
    Text line = Char('"') + program + Char('"');
    for (const Text& arg : args) {
        line += Char(' ');
        line += Char('"');
        size_t backslashes = 0;
        for (const Char c : arg) {
            if (c == Char('\\')) {
                ++backslashes;
            } else {
                // Backslashes before a quote are doubled, and the quote escaped.
                if (c == Char('"')) line.append(backslashes + 1, Char('\\'));
                backslashes = 0;
            }
            line += c;
        }
        line.append(backslashes, Char('\\'));  // the closing quote must stay a quote
        line += Char('"');
    }
    return line;
}

std::vector<std::wstring> Widened(const std::vector<std::string>& args) {
    std::vector<std::wstring> wide;
    for (const std::string& arg : args) wide.push_back(rtl::WideFromAnsi(arg));
    return wide;
}

}  // namespace

std::string CommandLine(const std::string& program, const std::vector<std::string>& args) {
    return Quoted(program, args);
}

std::wstring CommandLine(const std::wstring& program, const std::vector<std::wstring>& args) {
    return Quoted(program, args);
}

std::wstring ToolRun::Text() const {
    // What the tool writes to a pipe is in its console's output code page.
    const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
    const int length = MultiByteToWideChar(codePage, 0, output.data(), static_cast<int>(output.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, output.data(), static_cast<int>(output.size()), text.data(), length);
    return text;
}

ToolRun RunTool(const std::string& program, const std::vector<std::string>& args) {
    return RunToolWide(program, Widened(args));
}

ToolRun RunToolWide(const std::string& program, const std::vector<std::wstring>& args) {
    const auto started = Start(program, args);
    return Finish(started.get());
}

std::vector<ToolRun> RunToolsTogether(const std::string& program, const std::vector<std::vector<std::string>>& argsEach) {
    std::vector<std::unique_ptr<Started>> all;
    for (const auto& args : argsEach) all.push_back(Start(program, Widened(args)));
    std::vector<ToolRun> runs;
    for (auto& started : all) runs.push_back(Finish(started.get()));
    return runs;
}

}  // namespace tooltest
