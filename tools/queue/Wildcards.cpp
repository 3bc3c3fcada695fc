#include "tools/queue/Wildcards.h"

#include <windows.h>

#include <algorithm>

namespace queuetool {

namespace {

bool HasWildcard(std::wstring_view text) { return text.find_first_of(L"*?") != std::wstring_view::npos; }

std::wstring Upper(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

// The long names of the files in `folder` that match, sorted as Explorer
// lists them. The system's own matching also tries each file's short 8.3
// name ("*.pdb" would find "notes.pdbx" as NOTES~1.PDB), so its answers are
// only candidates.
std::vector<std::wstring> MatchingFiles(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && MatchesPattern(found.cFileName, pattern))
            names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    });
    return names;
}

}  // namespace

bool MatchesPattern(std::wstring_view name, std::wstring_view pattern) {
    const std::wstring n = Upper(name), p = Upper(pattern);
    // The classic two-pointer match: on a mismatch, the last "*" takes one
    // character more.
    size_t i = 0, j = 0, star = std::wstring::npos, resume = 0;
    while (i < n.size()) {
        if (j < p.size() && (p[j] == L'?' || p[j] == n[i])) {
            ++i;
            ++j;
        } else if (j < p.size() && p[j] == L'*') {
            star = j++;
            resume = i;
        } else if (star != std::wstring::npos) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j] == L'*') ++j;
    return j == p.size();
}

ExpandedNames ExpandWildcards(const std::vector<std::wstring>& names) {
    ExpandedNames expanded;
    for (const std::wstring& name : names) {
        const size_t separator = name.find_last_of(L"\\/:");
        const std::wstring folder = separator == std::wstring::npos ? std::wstring() : name.substr(0, separator + 1);
        const std::wstring pattern = name.substr(folder.size());
        if (!HasWildcard(pattern)) {
            expanded.files.push_back(name);
            continue;
        }
        const std::vector<std::wstring> matches = MatchingFiles(folder, pattern);
        if (matches.empty()) expanded.unmatched.push_back(name);
        for (const std::wstring& match : matches) expanded.files.push_back(folder + match);
    }
    return expanded;
}

}  // namespace queuetool
