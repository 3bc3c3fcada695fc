// A settings file in the private-profile INI format: read as Windows reads
// it (rtl/IniText.h), written so that Windows still reads it, and changed in
// a way that neither a killed process nor another program writing the same
// file at the same time makes it lose a key.
//
// Texts in and out are in the ANSI code page. A file that begins with a
// UTF-8 or a UTF-16LE byte-order mark is read in its encoding and its texts
// converted as the private-profile functions convert them; every write keeps
// the file's encoding and its mark (rtl/IniEncoding.h).
//
// A file larger than kLargestSettingsFile is no settings file that anyone
// wrote by hand or by program: it is never read (every read gives the
// defaults), and nothing writes it, since a writer must have read a file
// whole to write it back without losing what it held.
//
// How the file is touched:
// - Reads use a copy of the text that is taken again whenever the file's
//   size, write time or creation time differ from the copy's.
// - DeleteKey opens the file exclusively for a moment (retrying briefly
//   while someone else has it open), checks the copy against the file and
//   takes the text again if it changed, and overwrites just the key's line
//   with blanks, in place. One small write of the same length: the file is
//   valid before and after it, and nothing else in it moves. The deletion is
//   with the operating system when DeleteKey returns.
// - WriteString, WriteChanges and UpdateFile replace the whole file: the new text goes to
//   "<file>.tmp" beside it, is flushed, and is renamed over the file.
//   UpdateFile does this only to drop the blank lines that deletions left.
//
// The race that remains: another program that reads the file, then waits,
// then writes back what it read (as the private-profile functions do
// between their own two opens) can restore a key that was deleted in
// between; that file is then copied once more. And a program that writes
// between our exclusive open's end and the rename of a replaced file loses
// its change; that window is a few microseconds and occurs once per run
// (UpdateFile) or per setup change (WriteString), never per key.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rtl/IniEncoding.h"
#include "rtl/IniText.h"
#include "rtl/SysUtils.h"

namespace rtl {

// Far beyond a queue of a million files, and small enough to read at once.
inline constexpr uint64_t kLargestSettingsFile = 64ull << 20;

class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const noexcept { return fileName_; }

    // A missing file or key reads as the default.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def);
    // Signed 32-bit decimal, or hexadecimal after "0x"; anything else reads as the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def);
    // An integer that is on when not 0.
    bool ReadBool(std::string_view section, std::string_view key, bool def);
    // The value of a key that the section lists (see ValueExists), or none.
    std::optional<std::string> ReadValue(std::string_view section, std::string_view key);
    // The same, and whether the value is exactly that text: false for a
    // value of a Unicode file with a character that the ANSI code page lacks.
    std::optional<std::string> ReadValue(std::string_view section, std::string_view key, bool& exact);
    // The key names of a section that hold a value, in file order.
    std::vector<std::string> ReadSection(std::string_view section);
    // Each key of ReadSection with the value ReadString gives it, from one
    // look at the file: a queue of thousands of keys is read in one go.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section);
    bool ValueExists(std::string_view section, std::string_view key);
    // Whether the file exists and could be read now (after waiting briefly
    // for another program's momentary exclusive open). A file held without
    // sharing is not, and every read of it gives the defaults.
    bool Readable();
    // Whether the file exists and is larger than kLargestSettingsFile; such
    // a file is not Readable, and every write to it fails.
    bool TooLarge();

    // Creates the file when needed. Throws EIniFileException "Unable to
    // write to <file>" when the file cannot be written, has the read-only
    // attribute, or the value or a name would not read back as written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Makes all the changes (rtl/IniText.h) to the file as it is now, in
    // order, and replaces the file once, as WriteString replaces it: a batch
    // of a thousand keys costs one read and one write. Nothing is written
    // when nothing changes. Throws as WriteString does, and then changes
    // nothing.
    void WriteChanges(const std::vector<IniChange>& changes);

    // Deletes the key's first line; a failure is not reported.
    void DeleteKey(std::string_view section, std::string_view key);
    // The same, but only while the key still holds `value` as a reader gets
    // it, so that a key someone re-used meanwhile stays. True when deleted.
    bool DeleteKeyIfValue(std::string_view section, std::string_view key, std::string_view value);

    // Drops the blank lines that deletions left and flushes the file to
    // disk; a failure is not reported.
    void UpdateFile() noexcept;

    // While a OneLook lives, reads take the text of the look it began with
    // instead of looking at the file again: values read together come from
    // one moment of the file (a program that changes two keys between two
    // reads cannot hand out one old and one new value), and a look costs a
    // call to the file system. Deletions still check the file itself.
    class OneLook {
    public:
        explicit OneLook(TIniFile& ini) : ini_(ini) {
            ini_.Current();
            ++ini_.looksHeld_;
        }
        ~OneLook() { --ini_.looksHeld_; }
        OneLook(const OneLook&) = delete;
        OneLook& operator=(const OneLook&) = delete;

    private:
        TIniFile& ini_;
    };

private:
    struct Stamp {
        uint64_t size = 0;
        uint64_t writeTime = 0;
        uint64_t creationTime = 0;
        bool operator==(const Stamp&) const = default;
    };
    // The file opened with the access and sharing that an operation needs:
    // shared by reads, exclusive for a deletion, exclusive of other writers
    // for a replacement. Only an exclusive open keeps other programs out.
    class OpenedFile;

    const IniText& Current();
    // No copy of the file (a missing or too large one): reads give defaults.
    const IniText& Forget(bool tooLarge);
    bool Delete(std::string_view section, std::string_view key, const std::string* expected) noexcept;
    [[noreturn]] void WriteFailed() const;
    // A caller's text as the file's text, and back.
    std::string In(std::string_view ansi) const;
    std::string Out(std::string_view text, bool* exact = nullptr) const;

    std::string fileName_;
    IniText text_;
    std::optional<Stamp> stamp_;  // of the file that text_ was read from; none: no copy
    bool readable_ = false;       // the last look at the file found it and could read it
    bool tooLarge_ = false;       // the last look at the file found it too large to read
    IniEncoding encoding_ = IniEncoding::Ansi;  // of the file text_ was read from; new files are ANSI
    int looksHeld_ = 0;                         // OneLook objects alive
};

}  // namespace rtl
