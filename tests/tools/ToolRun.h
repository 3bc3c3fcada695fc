// Runs a program of the build as a user would from a console and collects
// what it printed (standard output and error together) and its exit code.
#pragma once
#include <string>
#include <vector>

namespace tooltest {

struct ToolRun {
    unsigned long exitCode = 0xFFFFFFFF;  // stays so when it could not be run or did not end in time
    std::string output;
    bool Says(const std::string& text) const { return output.find(text) != std::string::npos; }
    // The output as the tool wrote it, for names beyond the ANSI code page.
    std::wstring Text() const;
    bool Says(const std::wstring& text) const { return Text().find(text) != std::wstring::npos; }
};

// Quotes each argument as the C runtime reads it back.
std::string CommandLine(const std::string& program, const std::vector<std::string>& args);
std::wstring CommandLine(const std::wstring& program, const std::vector<std::wstring>& args);

// Runs it and waits up to a minute.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& args);
ToolRun RunToolWide(const std::string& program, const std::vector<std::wstring>& args);

// Starts several at once and waits for all of them.
std::vector<ToolRun> RunToolsTogether(const std::string& program, const std::vector<std::vector<std::string>>& argsEach);

}  // namespace tooltest
