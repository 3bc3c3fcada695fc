// A file that a user names for the queue, as the HotSync will meet it: made
// full and long (a short 8.3 name and other spellings of one file are that
// file), or refused with the reason, a full sentence that names it. The
// Palm Desktop's libraries take ANSI paths of at most the Windows path
// limit, so a name with no form in the ANSI code page, a longer path and a
// device name can never be installed.
#pragma once
#include <optional>
#include <string>

namespace queuetool {

struct SourcePath {
    std::wstring shown;          // the full path (or the given name) to show
    std::optional<std::string> path;  // full, long, ANSI: what the queue stores; none when refused
    std::wstring refusal;        // why not, when refused
};

SourcePath JudgeSource(const std::wstring& given);

// Windows's path limit for the libraries' ANSI calls, without the final null.
constexpr size_t kLongestPath = 259;

// Whether a file name (the part after the last separator) is one of the
// devices Windows opens in every folder: CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// also with an extension or trailing blanks and dots ("nul.txt", "CON ").
bool IsDeviceName(std::wstring_view name);

// The full long form of an ANSI path that the queue holds already, for
// comparing with a new one; the path as it is when the file is gone.
std::string FullLongPath(const std::string& path);

}  // namespace queuetool
