#include "rtl/IniFiles.h"

#include <windows.h>

#include <algorithm>

#include "rtl/IniEncoding.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"

namespace rtl {

namespace {

uint64_t Join(DWORD high, DWORD low) noexcept { return (uint64_t(high) << 32) | low; }
uint64_t Join(const FILETIME& t) noexcept { return Join(t.dwHighDateTime, t.dwLowDateTime); }

// Another program's momentary exclusive open (ours, in another process, or
// the private-profile functions' rewrite) ends within milliseconds; waiting
// a little longer than that is cheaper than a deletion or a read that fails.
UniqueFile OpenWithRetry(const std::string& path, DWORD access, DWORD share) {
    constexpr int kAttempts = 200;
    for (int attempt = 0;; ++attempt) {
        UniqueFile file(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = GetLastError();
        if (file || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == kAttempts) {
            SetLastError(error);
            return file;
        }
        Sleep(attempt < 10 ? 1 : 10);
    }
}

bool Seek(HANDLE file, uint64_t offset) noexcept {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

bool ReadAt(HANDLE file, uint64_t offset, size_t count, std::string& out) {
    out.assign(count, '\0');
    size_t done = 0;
    if (!Seek(file, offset)) return false;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file, out.data() + done, static_cast<DWORD>(count - done), &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    out.resize(done);
    return done == count;
}

bool WriteAt(HANDLE file, uint64_t offset, std::string_view data) noexcept {
    if (!Seek(file, offset)) return false;
    while (!data.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) || written == 0)
            return false;
        data.remove_prefix(written);
    }
    return true;
}

// Writes `content` beside the file and renames it over the file, so that a
// reader (or a process killed meanwhile) sees either the old or the new file.
bool ReplaceContent(const std::string& path, const std::string& content, UniqueFile held) {
    const std::string temp = path + ".tmp";
    {
        UniqueFile out(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
        if (!out) return false;
        if (!WriteAt(out.get(), 0, content) || !FlushFileBuffers(out.get())) {
            out.reset();
            DeleteFileA(temp.c_str());
            return false;
        }
    }
    // Our exclusive open keeps other writers out while the new text is
    // written; neither Windows nor Wine renames over a file that is open,
    // so it ends right before the rename (the window the header names).
    held.reset();
    // A reader that has the file open at this moment (a HotSync, another
    // queue program) keeps the rename out for as long as its read takes.
    constexpr int kAttempts = 50;
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) ||
            attempt == kAttempts)
            break;
        Sleep(attempt < 10 ? 1 : 10);
    }
    DeleteFileA(temp.c_str());
    return false;
}

std::wstring Wide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    std::string text(static_cast<size_t>(WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

// A Unicode file's text (UTF-8) in the ANSI code page, converted as the
// private-profile functions convert it: what the code page lacks becomes
// its nearest or its default character. `exact` says whether nothing was
// lost, that is whether the ANSI text converts back to the same characters.
std::string AnsiOfText(std::string_view text, bool* exact) {
    // Plain ASCII, as names and most paths are, needs no conversion.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        if (exact) *exact = true;
        return std::string(text);
    }
    const std::wstring wide = Wide(text, CP_UTF8);
    std::string ansi = Narrow(wide, CP_ACP);
    if (exact) *exact = Wide(ansi, CP_ACP) == wide;
    return ansi;
}

// Names and values that would not read back as they were written.
bool Writable(std::string_view section, std::string_view key, std::string_view value) {
    const auto has = [](std::string_view text, std::string_view chars) {
        return text.find_first_of(chars) != std::string_view::npos;
    };
    return !section.empty() && !key.empty() && !has(section, "\r\n]") && !has(key, "\r\n=") && key.front() != '[' &&
           key.front() != ';' && !IsIniBlank(key.front()) && !IsIniBlank(key.back()) && !has(value, "\r\n");
}

}  // namespace

class TIniFile::OpenedFile {
public:
    OpenedFile(TIniFile& ini, DWORD access, DWORD share) : ini_(ini), file_(OpenWithRetry(ini.fileName_, access, share)) {}
    explicit operator bool() const noexcept { return static_cast<bool>(file_); }
    HANDLE get() const noexcept { return file_.get(); }
    UniqueFile Release() noexcept { return std::move(file_); }

    // Asked by name: the handle's full information costs a Wine process
    // a hundred times what the attributes do.
    bool ReadOnly() const noexcept {
        const DWORD attributes = GetFileAttributesA(ini_.fileName_.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY);
    }
    std::optional<Stamp> FileStamp() const noexcept {
        FILETIME created, written;
        LARGE_INTEGER size;
        if (!GetFileTime(file_.get(), &created, nullptr, &written) || !GetFileSizeEx(file_.get(), &size))
            return std::nullopt;
        return Stamp{static_cast<uint64_t>(size.QuadPart), Join(written), Join(created)};
    }
    // The stamp of a file that this handle holds exclusively, and whether
    // it is writable, from one look by name: a deletion's every call counts.
    // None for a read-only file.
    std::optional<Stamp> WritableStamp() const noexcept {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(ini_.fileName_.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
            return std::nullopt;
        return Stamp{Join(data.nFileSizeHigh, data.nFileSizeLow), Join(data.ftLastWriteTime),
                     Join(data.ftCreationTime)};
    }
    // The stamp after a write of the same length: the size stays. Wine
    // gives the inode's change time as the creation time, so both times move.
    std::optional<Stamp> StampAfterWrite(const Stamp& before) const noexcept {
        FILETIME created, written;
        if (!GetFileTime(file_.get(), &created, nullptr, &written)) return std::nullopt;
        return Stamp{before.size, Join(written), Join(created)};
    }
    // Takes the whole text anew, with the stamp it had when it was read;
    // false when it cannot be read whole, and then the copy is not touched.
    bool Reload() {
        const auto stamp = FileStamp();
        if (stamp) ini_.tooLarge_ = stamp->size > kLargestSettingsFile;
        std::string content;
        if (!stamp || ini_.tooLarge_ || !ReadAt(file_.get(), 0, static_cast<size_t>(stamp->size), content))
            return false;
        ini_.encoding_ = DetectIniEncoding(content);
        ini_.text_ = IniText(IniTextOfBytes(content, ini_.encoding_));
        ini_.stamp_ = stamp;
        return true;
    }
    // Whether the copy still is what the file holds, reloading it if not.
    bool Refresh() {
        const auto stamp = FileStamp();
        if (stamp && ini_.stamp_ && *stamp == *ini_.stamp_) return true;
        return Reload();
    }

private:
    TIniFile& ini_;
    UniqueFile file_;
};

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

const IniText& TIniFile::Current() {
    if (looksHeld_ > 0) return text_;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(fileName_.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Forget(false);
    }
    const Stamp stamp{Join(data.nFileSizeHigh, data.nFileSizeLow), Join(data.ftLastWriteTime),
                      Join(data.ftCreationTime)};
    // Asked by name, so that not even a file held without sharing is read
    // as something it is not.
    if (stamp.size > kLargestSettingsFile) return Forget(true);
    tooLarge_ = false;
    // A stamp is only ever taken from a file that was open: it was readable.
    if (stamp_ && *stamp_ == stamp) {
        readable_ = true;
        return text_;
    }
    OpenedFile file(*this, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    // A file that cannot be opened now keeps the copy last read.
    readable_ = file && file.Reload();
    return text_;
}

const IniText& TIniFile::Forget(bool tooLarge) {
    text_ = IniText();
    stamp_.reset();
    readable_ = false;
    tooLarge_ = tooLarge;
    return text_;
}

bool TIniFile::Readable() {
    Current();
    return readable_;
}

bool TIniFile::TooLarge() {
    Current();
    return tooLarge_;
}

std::string TIniFile::In(std::string_view ansi) const {
    if (encoding_ == IniEncoding::Ansi) return std::string(ansi);
    return Narrow(Wide(ansi, CP_ACP), CP_UTF8);
}

std::string TIniFile::Out(std::string_view text, bool* exact) const {
    if (encoding_ != IniEncoding::Ansi) return AnsiOfText(text, exact);
    if (exact) *exact = true;
    return std::string(text);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) {
    const IniText& text = Current();
    const auto value = text.Value(In(section), In(key));
    return value ? Out(*value) : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) {
    const IniText& text = Current();
    const auto value = text.Value(In(section), In(key));
    if (!value) return def;
    return ParseIniInteger(*value).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) {
    const IniText& text = Current();
    std::vector<std::string> keys = text.Keys(In(section));
    if (encoding_ != IniEncoding::Ansi)
        for (std::string& key : keys) key = Out(key);
    return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view section) {
    const IniText& text = Current();
    const std::string s = In(section);
    std::vector<std::pair<std::string, std::string>> values;
    for (std::string& key : text.Keys(s)) {
        std::string value = Out(text.Value(s, key).value_or(""));
        values.emplace_back(Out(key), std::move(value));
    }
    return values;
}

std::optional<std::string> TIniFile::ReadValue(std::string_view section, std::string_view key) {
    bool exact = true;
    return ReadValue(section, key, exact);
}

std::optional<std::string> TIniFile::ReadValue(std::string_view section, std::string_view key, bool& exact) {
    const IniText& text = Current();
    const std::string s = In(section), k = In(key);
    if (!text.Lists(s, k)) return std::nullopt;
    return Out(*text.Value(s, k), &exact);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) {
    const IniText& text = Current();
    return text.Lists(In(section), In(key));
}

void TIniFile::WriteFailed() const { throw EIniFileException(Format("Unable to write to %s", fileName_.c_str())); }

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    WriteChanges({IniChange{std::string(section), std::string(key), std::string(value)}});
}

void TIniFile::WriteChanges(const std::vector<IniChange>& changes) {
    for (const IniChange& change : changes)
        if (!Writable(change.section, change.key, change.value.value_or(""))) WriteFailed();
    const DWORD attributes = GetFileAttributesA(fileName_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        WriteFailed();
    OpenedFile file(*this, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE);
    if (file) {
        if (file.ReadOnly() || !file.Refresh()) WriteFailed();
    } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        text_ = IniText();
        stamp_.reset();
        encoding_ = IniEncoding::Ansi;
    } else {
        WriteFailed();
    }
    std::vector<IniChange> inText;
    inText.reserve(changes.size());
    for (const IniChange& change : changes)
        inText.push_back({In(change.section), In(change.key),
                          change.value ? std::optional<std::string>(In(*change.value)) : std::nullopt});
    // A file that would read the same is left as it is, blank lines and all.
    if (std::all_of(inText.begin(), inText.end(), [&](const IniChange& change) {
            return change.value ? text_.RawValue(change.section, change.key) == *change.value
                                : !text_.KeyLine(change.section, change.key);
        }))
        return;
    std::string content = text_.WithChanges(inText);
    if (!ReplaceContent(fileName_, IniBytesOfText(content, encoding_), file.Release())) WriteFailed();
    text_ = IniText(std::move(content));
    stamp_.reset();  // the next read takes the new file's stamp
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::Delete(std::string_view section, std::string_view key, const std::string* expected) noexcept {
    try {
        OpenedFile file(*this, GENERIC_READ | GENERIC_WRITE, 0);
        if (!file) return false;
        const auto stamp = file.WritableStamp();
        if (!stamp) return false;
        bool reloaded = false;
        if (!stamp_ || *stamp != *stamp_) {
            if (!file.Reload()) return false;
            reloaded = true;
        }
        const std::string s = In(section), k = In(key);
        auto span = text_.KeyLine(s, k);
        const auto lineInFile = [&] {
            return IniBytesOfText(std::string_view(text_.Text()).substr(span->offset, span->length), encoding_, false);
        };
        if (!reloaded) {
            // The stamp cannot tell two writes within one tick of the file
            // clock apart; the line itself can.
            std::string onDisk;
            const std::string line = span ? lineInFile() : std::string();
            const bool same = span &&
                              ReadAt(file.get(), IniFileOffset(text_.Text(), span->offset, encoding_), line.size(),
                                     onDisk) &&
                              onDisk == line;
            if (!same) {
                if (!file.Reload()) return false;
                span = text_.KeyLine(s, k);
            }
        }
        if (!span) return false;
        if (expected && Out(*text_.Value(s, k)) != *expected) return false;
        const std::string line = lineInFile();
        // Blanks as the file encodes them, one for each character the line had.
        const size_t characters = encoding_ == IniEncoding::Utf16Le ? line.size() / 2 : line.size();
        if (!WriteAt(file.get(), IniFileOffset(text_.Text(), span->offset, encoding_),
                     IniBytesOfText(std::string(characters, ' '), encoding_, false))) {
            stamp_.reset();  // whatever reached the file, the copy is not sure of it
            return false;
        }
        text_.BlankKeyLine(s, k);
        // A line of UTF-16 holds fewer blanks now than the copy's UTF-8 line:
        // the next look takes the file again.
        if (characters == span->length && stamp_) stamp_ = file.StampAfterWrite(*stamp_);
        else stamp_.reset();
        return true;
    } catch (...) {
        stamp_.reset();
        return false;
    }
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) { Delete(section, key, nullptr); }

bool TIniFile::DeleteKeyIfValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string expected(value);
    return Delete(section, key, &expected);
}

void TIniFile::UpdateFile() noexcept {
    try {
        OpenedFile file(*this, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE);
        if (!file || file.ReadOnly() || !file.Refresh()) return;
        if (!text_.HasBlankedLines()) {
            FlushFileBuffers(file.get());
            return;
        }
        std::string content = text_.Tidied();
        if (ReplaceContent(fileName_, IniBytesOfText(content, encoding_), file.Release()))
            text_ = IniText(std::move(content));
        stamp_.reset();
    } catch (...) {
        stamp_.reset();
    }
}

}  // namespace rtl
