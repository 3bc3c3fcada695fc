#include "tools/window/TypeRules.h"

#include <algorithm>

#include "app/PathRules.h"
#include "rtl/Text.h"

namespace queuewindow {

namespace {

// The folders the handheld's own programs look in: music players in
// /AUDIO, the camera and the media viewer in /DCIM (pictures and videos
// alike), document readers in /Documents. Programs and databases stay with
// the setup dialog's directory.
struct Suggestion {
    const char* type;
    const char* folder;
};
constexpr Suggestion kSuggestions[] = {
    {"mp3", "/AUDIO"},      {"ogg", "/AUDIO"},      {"wav", "/AUDIO"},      {"wma", "/AUDIO"},
    {"aac", "/AUDIO"},      {"jpg", "/DCIM"},       {"jpeg", "/DCIM"},      {"png", "/DCIM"},
    {"gif", "/DCIM"},       {"bmp", "/DCIM"},       {"mp4", "/DCIM"},       {"3gp", "/DCIM"},
    {"avi", "/DCIM"},       {"wmv", "/DCIM"},       {"pdf", "/Documents"},  {"doc", "/Documents"},
    {"txt", "/Documents"},  {"rtf", "/Documents"},  {"xls", "/Documents"},  {"ppt", "/Documents"},
};

std::optional<size_t> FindIn(const std::vector<queuetool::TypeFolder>& rules, const std::string& type) {
    for (size_t i = 0; i < rules.size(); ++i)
        if (rtl::SameTextAscii(rules[i].first, type)) return i;
    return std::nullopt;
}

}  // namespace

TypeRules::TypeRules(const std::vector<queuetool::TypeFolder>& stored) {
    for (const queuetool::TypeFolder& rule : stored)
        if (!rule.second.empty() && !FindIn(stored_, rule.first)) stored_.push_back(rule);
    rules_ = stored_;
}

std::optional<size_t> TypeRules::Find(const std::string& type) const { return FindIn(rules_, type); }

std::string TypeRules::Set(const std::string& type, const std::string& folder) {
    if (std::string problem = queuetool::TypeProblem(type); !problem.empty()) return problem;
    const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(folder);
    if (!check.Usable()) return check.problem;
    if (const auto row = Find(type))
        rules_[*row].second = check.directory;
    else
        rules_.emplace_back(type, check.directory);
    return "";
}

void TypeRules::Remove(size_t row) {
    if (row < rules_.size()) rules_.erase(rules_.begin() + static_cast<std::ptrdiff_t>(row));
}

size_t TypeRules::AddSuggested() {
    size_t added = 0;
    for (const Suggestion& suggestion : kSuggestions)
        if (!Find(suggestion.type)) {
            rules_.emplace_back(suggestion.type, suggestion.folder);
            ++added;
        }
    return added;
}

std::string TypeRules::Problem() const {
    for (const auto& [type, folder] : rules_) {
        const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(folder);
        if (!check.Usable()) return "The card folder of " + type + " files: " + check.problem;
    }
    return "";
}

std::vector<queuetool::TypeFolder> TypeRules::Changes() const {
    std::vector<queuetool::TypeFolder> changes;
    for (const auto& [type, folder] : stored_)
        if (!Find(type)) changes.emplace_back(type, "");
    for (const queuetool::TypeFolder& rule : rules_) {
        const auto before = FindIn(stored_, rule.first);
        if (!before || stored_[*before] != rule) changes.push_back(rule);
    }
    return changes;
}

}  // namespace queuewindow
