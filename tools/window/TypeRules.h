// The card folders by file type as the folder dialog edits them: a list of
// rules that is changed in memory and written only when the user says OK,
// as the changes made to it, so that a rule another program wrote meanwhile
// is kept. Every folder is judged by the setup dialog's rule and every type
// by the queue tool's. No window code here.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "tools/queue/QueueFile.h"

namespace queuewindow {

class TypeRules {
public:
    // The rules as stored; one with an empty folder is no rule.
    explicit TypeRules(const std::vector<queuetool::TypeFolder>& stored);

    const std::vector<queuetool::TypeFolder>& Rules() const noexcept { return rules_; }
    // The row of a type's rule (types match in any letter case), or none.
    std::optional<size_t> Find(const std::string& type) const;

    // Adds the rule or changes the folder of that type's; the problem (and
    // no change) when the type or the folder cannot be used.
    std::string Set(const std::string& type, const std::string& folder);
    void Remove(size_t row);
    // Common handheld card folders for music, pictures, video and documents,
    // for the types that have no rule yet; how many were added.
    size_t AddSuggested();
    // The first rule whose folder no card can take, named; "" when none.
    std::string Problem() const;
    // What writing the rules changes: each removed type with an empty
    // folder, then each new or changed rule.
    std::vector<queuetool::TypeFolder> Changes() const;

private:
    std::vector<queuetool::TypeFolder> stored_;
    std::vector<queuetool::TypeFolder> rules_;
};

}  // namespace queuewindow
