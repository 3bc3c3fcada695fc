// The HotSync users of the Palm Desktop installation, as the queue tool sees
// them: asked of the User Data and Conduit Manager libraries, loaded at run
// time from beside the tool or from the Palm Desktop directory, exactly as
// the conduit loads them. Each user's conduit folder is derived the way the
// conduit derives it from the folder the HotSync Manager hands it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "palm/PalmLibrary.h"

namespace queuetool {

struct DesktopUser {
    unsigned long id = 0;
    std::string name;
    std::string folder;        // the user's folder, as User Data records it
    std::string userPath;      // core path + folder, with a final "\"
    std::string conduitFolder; // where Tolvane.ini lies, with a final "\"
    uint32_t firstSlotMediaType = 0;  // of the user's first recorded slot; 0: none
};

// The user's Tolvane settings file, which holds the queue.
std::string SettingsFileOf(const DesktopUser& user);

// "" while the user's folder (the one that holds the Tolvane folder)
// exists; else a sentence for the user that says it is missing and where
// its name comes from. Without it no settings file can be made.
std::string MissingUserFolder(const DesktopUser& user);

// Holds the two libraries for its lifetime. Throws rtl::Exception with a
// text for the user when the Palm Desktop cannot be found or asked.
class PalmDesktop {
public:
    PalmDesktop();
    PalmDesktop(const PalmDesktop&) = delete;
    PalmDesktop& operator=(const PalmDesktop&) = delete;

    const std::vector<DesktopUser>& Users() const noexcept { return users_; }
    // Asks the Palm Desktop again for the folder of the user at `index`: a
    // user's folder may be renamed or moved while a program shows it. Keeps
    // what it had when the Palm Desktop does not answer.
    void LookUpAgain(size_t index);
    // Asks the Palm Desktop for its users again (a first HotSync of a new
    // handheld adds one); true when the list changed. Keeps the list it had
    // when the Palm Desktop does not answer.
    bool ReadUsersAgain();

private:
    palm::BindingScope bindings_;
    std::vector<DesktopUser> users_;
};

// The user that a command names: by HotSync user name, else by folder
// (both without regard to case). An empty text or "-" names the default
// user: the only one, or the first; `note` then says which was taken.
struct ChosenUser {
    const DesktopUser* user = nullptr;
    std::string note;
};
ChosenUser ChooseUser(const std::vector<DesktopUser>& users, const std::string& text);

// "The users are: Alice, Bob." for a message that refuses a user.
std::string KnownUsers(const std::vector<DesktopUser>& users);

}  // namespace queuetool
