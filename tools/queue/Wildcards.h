// File names with wildcards, as people type them: "C:\Books\*.pdb". A
// Windows console hands a program its command line as typed, so the queue
// tool expands "*" and "?" itself, as cmd's own commands do.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace queuetool {

struct ExpandedNames {
    std::vector<std::wstring> files;      // the names without wildcards, and each pattern's files
    std::vector<std::wstring> unmatched;  // the patterns that matched no file
};

// Each name whose last part holds "*" or "?" becomes the files of its
// folder whose long names match it (folders are not matched), in name
// order; every other name stays as it is, in its place.
ExpandedNames ExpandWildcards(const std::vector<std::wstring>& names);

// Whether a file name matches a pattern of "*" (any run of characters) and
// "?" (one character), without regard to letter case.
bool MatchesPattern(std::wstring_view name, std::wstring_view pattern);

}  // namespace queuetool
