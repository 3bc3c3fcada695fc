// Small file helpers shared by the test programs, and the temporary folder
// that a test sets its cases up in.
#pragma once
#include <cstdint>
#include <string>

namespace testsupport {

// The whole file as bytes; "" when it cannot be read.
std::string ReadText(const std::string& path);
// Replaces the file with exactly these bytes.
void WriteText(const std::string& path, const std::string& text);
// Whether a file or folder exists at the path.
bool PathExists(const std::string& path);

// A file of `size` bytes that starts with `head` and is zeros after it,
// stored sparse where the file system can: gigabytes cost nothing.
void WriteSparse(const std::string& path, const std::string& head, uint64_t size);
// The file's first `count` bytes (fewer when it is shorter), without
// reading the rest; and its size, 0 when it cannot be asked.
std::string ReadHead(const std::string& path, size_t count);
uint64_t FileSize(const std::string& path);

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
