// Small file helpers shared by the test programs, and the temporary folder
// that a test sets its cases up in.
#pragma once
#include <string>

namespace testsupport {

// The whole file as bytes; "" when it cannot be read.
std::string ReadText(const std::string& path);
// Replaces the file with exactly these bytes.
void WriteText(const std::string& path, const std::string& text);
// Whether a file or folder exists at the path.
bool PathExists(const std::string& path);

// A fresh folder below the temporary folder for one test, deleted with its
// files afterwards (read-only ones too).
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "tv");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing backslash.
    const std::string& Path() const noexcept { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    // A folder inside, created; with a trailing backslash.
    std::string Folder(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace testsupport
