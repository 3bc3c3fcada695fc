// Moves folders aside, each under its own name plus ".uninstalling" in the
// same parent, so that a step that may fail (the conduit's unregistration,
// which deletes every user's Tolvane folder before the Conduit Manager may
// refuse to drop its entry) runs as if they were gone, and a failure can put
// them back as they were. A folder that a program holds cannot be moved;
// then none stays moved and the constructor throws with the reason.
#pragma once
#include <string>
#include <vector>

namespace registertool {

class FoldersAside {
public:
    explicit FoldersAside(const std::vector<std::string>& folders);  // those that exist
    ~FoldersAside();  // puts back what was neither put back nor deleted
    FoldersAside(const FoldersAside&) = delete;
    FoldersAside& operator=(const FoldersAside&) = delete;

    // Deletes the moved folders; what stays of one goes back to its own name,
    // and a line for it is returned.
    std::vector<std::string> Delete();

private:
    struct Move {
        std::string from, to;
    };
    void PutBack() noexcept;

    std::vector<Move> moved_;
};

}  // namespace registertool
