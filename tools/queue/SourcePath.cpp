#include "tools/queue/SourcePath.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "app/PathRules.h"
#include "rtl/AnsiText.h"

namespace queuetool {

namespace {

std::wstring_view FileNamePart(std::wstring_view path) {
    const size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Both calls report the size they need when the buffer is too small, and
// a file that is gone leaves its path as it was given.
template <class Call>
std::wstring Grown(const std::wstring& path, Call call) {
    DWORD size = call(path.c_str(), nullptr, 0);
    for (int attempt = 0; size != 0 && attempt < 3; ++attempt) {
        std::wstring out(size, L'\0');
        const DWORD length = call(path.c_str(), out.data(), size);
        if (length == 0) break;
        if (length < size) return out.substr(0, length);
        size = length;
    }
    return path;
}

// The file's own name as its folder spells it, in place of the last part of
// a full path, and its attributes; the path as it is when there is no such
// file.
std::wstring WithNameOnDisk(const std::wstring& full, DWORD& attributes) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(full.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return full;
    FindClose(search);
    attributes = found.dwFileAttributes;
    const size_t separator = full.find_last_of(L"\\/");
    return full.substr(0, separator + 1) + found.cFileName;
}

// GetLongPathName looks up every folder of the path, twice (for the size,
// then the text): a dozen trips to the file system per file, which a batch
// of a thousand files feels. Only a short name holds a "~", so a path
// without one needs only its file's name as the disk spells it. A search
// pattern's characters are no part of a file name: such a path goes the
// long way, and is refused there.
// `attributes` are the file's when the search found it, else left as they are.
std::wstring FullLong(const std::wstring& path, DWORD& attributes) {
    const std::wstring full = Grown(path, [](const wchar_t* p, wchar_t* out, DWORD size) {
        return GetFullPathNameW(p, size, out, nullptr);
    });
    if (full.find_first_of(L"~*?<>\"") == std::wstring::npos) return WithNameOnDisk(full, attributes);
    return Grown(full, [](const wchar_t* p, wchar_t* out, DWORD size) { return GetLongPathNameW(p, out, size); });
}

SourcePath Refused(std::wstring shown, std::wstring why) { return {std::move(shown), std::nullopt, std::move(why)}; }

SourcePath TooLong(const std::wstring& full, size_t length) {
    return Refused(full, L"The path " + full + L" is too long: " + std::to_wstring(length) +
                             L" characters, where Windows allows " + std::to_wstring(kLongestPath) +
                             L" for the Palm Desktop. Move the file to a folder with a shorter path and queue it "
                             L"again.");
}

SourcePath NoAnsiForm(const std::wstring& full) {
    return Refused(full, L"The name " + full + L" has characters that the Palm Desktop cannot take on this Windows "
                                               L"(code page " + std::to_wstring(GetACP()) +
                             L"), so no HotSync could install it. Rename the file (and its folder, if the folder's "
                             L"name has such characters) with letters of that code page, then queue it again.");
}

}  // namespace

bool IsDeviceName(std::wstring_view name) {
    // The conduit's rule, whose device names are ASCII: a name with any other
    // letter is none of them.
    if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7F; })) return false;
    return app::rules::IsDeviceName(std::string(name.begin(), name.end()));
}

SourcePath JudgeSource(const std::wstring& given) {
    if (given.empty()) return Refused(given, L"An empty name is no file; it was not queued.");
    if (IsDeviceName(FileNamePart(given)))
        return Refused(given, L"\"" + given + L"\" is a device name that Windows reserves in every folder (CON, PRN, "
                                              L"AUX, NUL, COM1 to COM9, LPT1 to LPT9), not a file; it was not "
                                              L"queued.");
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const std::wstring full = FullLong(given, attributes);
    if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\"))
        return Refused(full, L"\"" + given + L"\" names a Windows device or a path that the Palm Desktop cannot "
                                             L"open; give the file's ordinary path.");
    // Before asking for the file: beyond the limit Windows would call it missing.
    if (full.size() > kLongestPath) return TooLong(full, full.size());
    if (attributes == INVALID_FILE_ATTRIBUTES) attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Refused(full, L"No such file: " + full);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Refused(full, full + L" is a folder; queue the files in it instead.");
    std::optional<std::string> ansi = rtl::AnsiFromWide(full);
    if (!ansi) return NoAnsiForm(full);
    // A double-byte code page may need more bytes than the path has characters.
    if (ansi->size() > kLongestPath) return TooLong(full, ansi->size());
    return {full, std::move(ansi), {}};
}

namespace {

// A path that is full and long as it stands: a drive's path whose every
// folder and name is a plain long name. Windows gives a short alias a "~"
// ("CRMEBR~1.PDB"), and GetFullPathName is needed only for "/", "." and
// ".." parts and the names that end in a dot or a blank. In a double-byte
// code page a byte of those may be half of a character: such paths are
// asked of Windows.
bool PlainFullLongPath(std::string_view path) {
    if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return false;
    CPINFO codePage{};
    if (!GetCPInfo(CP_ACP, &codePage) || codePage.MaxCharSize != 1) return false;
    if (path.find_first_of("/~") != std::string_view::npos) return false;
    for (size_t start = 3; start <= path.size();) {
        const size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.back() == '.' || part.back() == ' ') return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

// Called for every entry of a queue when a batch begins: the queue tool and
// the window store full long paths, which need no call to Windows.
std::string FullLongPath(const std::string& path) {
    if (PlainFullLongPath(path)) return path;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const std::optional<std::string> ansi = rtl::AnsiFromWide(FullLong(rtl::WideFromAnsi(path), attributes));
    return ansi.value_or(path);
}

}  // namespace queuetool
