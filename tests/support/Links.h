// Links as another program or another user makes them: a symbolic link to a
// file or a folder, a drive letter mapped onto a folder (as subst does), and
// a file whose name Windows itself would never make (CON.pdb, "trail.").
// Wine's own calls for links make nothing, so under Wine they are made in
// the Unix file system that Wine shows, with the Unix tools.
#pragma once
#include <string>

namespace testsupport {

// A symbolic link at `link` to the file or folder `target`; true when the
// link is there afterwards.
bool MakeSymlink(const std::string& link, const std::string& target);

// A file named exactly `name` in `folder`, made beside Windows's name rules,
// and removed the same way when this object goes: Windows's own calls would
// take such a name for a device ("CON.pdb") or for another file.
class RawFile {
public:
    RawFile(const std::string& folder, const std::string& name);
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    bool Made() const noexcept { return made_; }

private:
    std::string folder_, name_;
    bool made_ = false;
};

// A drive letter that names `folder`, until this object goes.
class MappedDrive {
public:
    MappedDrive(char letter, const std::string& folder);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;
    bool Mapped() const noexcept { return mapped_; }
    std::string Root() const { return std::string(1, letter_) + ":\\"; }

private:
    char letter_;
    std::string device_;  // under Wine: the prefix's link for the letter
    bool mapped_ = false;
};

}  // namespace testsupport
