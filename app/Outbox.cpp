#include "app/Outbox.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "app/FileIdentity.h"
#include "app/PathRules.h"
#include "app/Settings.h"
#include "rtl/AnsiText.h"
#include "app/CardFolders.h"
#include "rtl/Classes.h"
#include "rtl/IniFiles.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "rtl/WinHandles.h"

namespace app::outbox {

namespace {

// Deeper trees are no outbox anyone made by hand; a folder that contains
// itself through a link is passed over anyway.
constexpr int kDeepestFolder = 32;
constexpr unsigned kMostSentCopies = 10000;
constexpr DWORD kPassedOver = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::wstring Upper(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool SameWide(const std::wstring& a, const std::wstring& b) { return Upper(a) == Upper(b); }

std::string Reason(DWORD error) {
    const std::string text = rtl::SystemMessage(error);
    return text.empty() ? rtl::Format("Windows error %lu", error) : text;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr const char* kLinkProblem =
    "it is a link (a symbolic link, junction or mount point) or leads out of the outbox, and links are never "
    "followed; save the file itself into the outbox";

constexpr const char* kHardLinkProblem =
    "it has another name as well (a hard link), which may lie anywhere on its drive and be another user's file, "
    "and links are never followed; save a copy of the file itself into the outbox";

std::wstring SentWide() { return rtl::WideFromAnsi(settings::outbox::kSentFolder); }

// The last "\" of a path inside the outbox, split in its wide form, where a
// separator is never the second byte of a character.
std::pair<std::wstring, std::wstring> SplitRelative(const std::wstring& relative) {
    const size_t slash = relative.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {L"", relative};
    return {relative.substr(0, slash), relative.substr(slash + 1)};
}

// Whether an entry that the handle has open is what the outbox's own path
// to it names: no link, and (where Windows says) its final path right there.
// A file of more than one name: its other names, made by anybody who could
// read it, lie anywhere on the drive. (A folder's count is its own matter.)
bool HardLinked(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           info.nNumberOfLinks > 1;
}

bool NoLink(HANDLE handle, DWORD foundAttributes, const std::wstring& expectedFinal) {
    if ((foundAttributes | identity::AttributesOf(handle)) & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (expectedFinal.empty()) return true;
    return identity::SamePath(identity::FinalPath(handle), expectedFinal);
}

bool Plain(HANDLE handle, DWORD foundAttributes, const std::wstring& expectedFinal) {
    return NoLink(handle, foundAttributes, expectedFinal) && !HardLinked(handle);
}

bool WrittenJustNow(HANDLE file) {
    FILETIME written{}, now{};
    if (!GetFileTime(file, nullptr, nullptr, &written)) return false;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    constexpr unsigned long long kTicksPerSecond = 10000000ull;
    // A time ahead of the clock (another computer's, a restored backup) is
    // no sign of a writer.
    return ticks(written) <= ticks(now) && ticks(now) - ticks(written) < kQuietSeconds * kTicksPerSecond;
}

// Opening it for reading while letting others only read tells a file that
// another program writes (a download, an export) from one that is done. It
// is judged through the handle: the entry itself, never a link's target.
void JudgeAccess(const std::wstring& full, DWORD foundAttributes, const std::wstring& expectedFinal, OutboxFile& file) {
    const rtl::UniqueFile probe = identity::Open(full, GENERIC_READ, FILE_SHARE_READ, identity::Links::NotFollowed);
    if (probe) {
        if (!NoLink(probe.get(), foundAttributes, expectedFinal)) file.problem = kLinkProblem;
        else if (HardLinked(probe.get())) file.problem = kHardLinkProblem;
        else if (WrittenJustNow(probe.get())) {
            file.beingWritten = true;
            file.problem = rtl::Format("it was written less than %u seconds ago and may still be growing; it goes at "
                                       "the first HotSync after nothing has written it for %u seconds",
                                       kQuietSeconds, kQuietSeconds);
        }
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        file.beingWritten = true;
        file.problem = "another program has it open and may still be writing it; it goes at the first HotSync "
                       "after that program has closed it";
        return;
    }
    file.problem = "it cannot be read (" + Reason(error) + ")";
}

// Why the file could not move into Sent once on the card, or "": its path
// there would be too long, or Sent holds a file where one of its folders
// would go. Such a file is never sent: it would be sent again at every HotSync.
std::string SentPathProblem(const std::wstring& root, const std::wstring& relative) {
    const std::wstring sent = root + SentWide();
    const std::wstring folder = SplitRelative(relative).first;
    const size_t length = rtl::LossyFromWide(sent + L"\\" + relative, CP_ACP).size();
    // Windows makes folders of at most 247 characters (room for an 8.3 name).
    const size_t folderLength = rtl::LossyFromWide(folder.empty() ? sent : sent + L"\\" + folder, CP_ACP).size();
    if (length > kLongestDesktopPath || folderLength > kLongestFolderPath)
        return rtl::Format("its path in Sent would be %u characters long, and Windows takes at most %u (and %u for "
                           "its folder); move it into a shorter folder of the outbox",
                           static_cast<unsigned>(length), static_cast<unsigned>(kLongestDesktopPath),
                           static_cast<unsigned>(kLongestFolderPath));
    std::wstring level = sent;
    for (size_t start = 0; !folder.empty() && start <= folder.size();) {
        const size_t end = std::min(folder.find(L'\\', start), folder.size());
        level += L"\\" + folder.substr(start, end - start);
        const DWORD attributes = GetFileAttributesW(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return "Sent holds a file " + rtl::LossyFromWide(level.substr(root.size()), CP_ACP) +
                   " where its folder would go; move that file away";
        start = end + 1;
    }
    return "";
}

OutboxFile Judge(const std::wstring& root, const std::wstring& relative, DWORD foundAttributes,
                 const std::wstring& rootFinal) {
    OutboxFile file;
    file.relative = relative;
    file.shown = rtl::LossyFromWide(relative, CP_ACP);
    const auto [wideFolder, wideName] = SplitRelative(relative);
    file.problem = rules::ReservedNameProblem(rtl::LossyFromWide(wideName, CP_ACP));
    if (!file.problem.empty()) return file;
    const std::wstring full = root + relative;
    const std::optional<std::string> ansi = rtl::AnsiFromWide(full);
    if (!ansi) {
        file.problem = rtl::Format("its name has characters that the Palm Desktop cannot take on this Windows (code "
                                   "page %u); rename it, or its folder, with letters of that code page",
                                   GetACP());
        return file;
    }
    if (ansi->size() > kLongestDesktopPath) {
        file.problem = rtl::Format("its path is %u characters long, and the Palm Desktop opens at most %u",
                                   static_cast<unsigned>(ansi->size()), static_cast<unsigned>(kLongestDesktopPath));
        return file;
    }
    file.path = *ansi;
    const std::string name = *rtl::AnsiFromWide(wideName);
    if (!wideFolder.empty()) {
        // The folder was split in its wide form; its separators alone become "/".
        std::wstring slashed = L"/" + wideFolder;
        std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
        const std::string directory = *rtl::AnsiFromWide(slashed);
        const rules::CardDirectoryCheck check = rules::CheckCardDirectory(directory);
        if (!check.Usable()) {
            file.problem = "its folder is no card folder: " + check.problem.substr(0, check.problem.size() - 1);
            return file;
        }
        file.cardFolder = check.directory;
        file.problem = CardPathProblem(check.directory, name);
        if (!file.problem.empty()) return file;
    }
    file.problem = SentPathProblem(root, relative);
    if (!file.problem.empty()) return file;
    JudgeAccess(full, foundAttributes, rootFinal.empty() ? L"" : rootFinal + L"\\" + relative, file);
    return file;
}

struct Scanner {
    std::wstring root;      // with its final separator
    std::wstring rootFinal; // its final path without one; empty where Windows gives none
    std::wstring keepOut;
    std::vector<OutboxFile>& files;

    // A folder that is a link, or leads elsewhere, is named once and not entered.
    bool PlainFolder(const std::wstring& inside, DWORD foundAttributes) {
        const rtl::UniqueFile handle =
            identity::Open(root + inside, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::NotFollowed);
        if (handle && Plain(handle.get(), foundAttributes, rootFinal.empty() ? L"" : rootFinal + L"\\" + inside))
            return true;
        OutboxFile folder;
        folder.relative = inside;
        folder.shown = rtl::LossyFromWide(inside, CP_ACP) + "\\";
        folder.problem = kLinkProblem;
        files.push_back(std::move(folder));
        return false;
    }

    void Folder(const std::wstring& relative, int depth) {
        WIN32_FIND_DATAW found;
        const rtl::UniqueFindHandle search(FindFirstFileW((root + relative + L"*").c_str(), &found));
        if (!search) return;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L".." || (found.dwFileAttributes & kPassedOver)) continue;
            const std::wstring inside = relative + name;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                files.push_back(Judge(root, inside, found.dwFileAttributes, rootFinal));
                continue;
            }
            if (depth >= kDeepestFolder) continue;
            if (relative.empty() && SameWide(name, SentWide())) continue;
            if (SameWide(root + inside + L"\\", keepOut)) continue;
            if (PlainFolder(inside, found.dwFileAttributes)) Folder(inside + L"\\", depth + 1);
        } while (FindNextFileW(search.get(), &found));
    }
};

// A level of Sent, made when missing and opened as itself: a plain folder
// whose final path is where it should be, held so that it cannot be
// renamed or replaced before the file has moved into it.
rtl::UniqueFile SentLevel(const std::wstring& path, const std::wstring& expectedFinal, std::string& problem) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        problem = "the folder " + rtl::LossyFromWide(path, CP_ACP) + " cannot be made (" + Reason(GetLastError()) + ")";
        return {};
    }
    rtl::UniqueFile handle =
        identity::Open(path, FILE_READ_ATTRIBUTES | FILE_TRAVERSE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       identity::Links::NotFollowed);
    if (!handle || !(identity::AttributesOf(handle.get()) & FILE_ATTRIBUTE_DIRECTORY) ||
        !Plain(handle.get(), GetFileAttributesW(path.c_str()), expectedFinal)) {
        problem = "the folder " + rtl::LossyFromWide(path, CP_ACP) + " is no plain folder inside the outbox";
        return {};
    }
    return handle;
}

// What ntdll offers every Windows since NT: a rename of an open file into a
// folder given by its handle, so that neither can change on the way.
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};
struct IoStatus {
    LONG status;
    ULONG_PTR information;
};
using SetInformationFn = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
constexpr int kFileRenameInformation = 10;
constexpr LONG kNameCollision = static_cast<LONG>(0xC0000035);

SetInformationFn SetInformationCall() {
    static const SetInformationFn call = reinterpret_cast<SetInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
    return call;
}

// 0 when renamed; else the NT status.
LONG RenameInto(HANDLE file, HANDLE folder, const std::wstring& name) {
    const SetInformationFn call = SetInformationCall();
    if (!call) return -1;
    std::vector<unsigned char> buffer(sizeof(RenameInformation) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
    info->replaceIfExists = FALSE;  // an earlier file of the name stays as it was
    info->rootDirectory = folder;
    info->fileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->fileName);
    IoStatus status{};
    return call(file, &status, info, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
}

}  // namespace

std::string FolderOf(const std::string& setting) {
    if (setting.empty()) return "";
    std::string folder = rtl::FullPathName(setting);
    // Its files are compared with queued paths, which the tools store long.
    char longForm[MAX_PATH + 1] = {};
    const DWORD length = GetLongPathNameA(folder.c_str(), longForm, sizeof longForm);
    if (length > 0 && length < sizeof longForm) folder.assign(longForm, length);
    // "C:\" keeps its separator: it names the drive's root, not its current folder.
    while (folder.size() > 3 && rtl::EndsWithSeparator(folder)) folder.pop_back();
    return folder;
}

std::vector<OutboxFile> Scan(const std::string& folder, const std::string& keepOut) {
    std::vector<OutboxFile> files;
    if (folder.empty() || !IsFolder(folder)) return files;
    const std::wstring root = rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(folder));
    const rtl::UniqueFile handle = identity::Open(root, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::Followed);
    Scanner scanner{root, handle ? identity::FinalPath(handle.get()) : L"",
                    Upper(rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(rtl::FullPathName(keepOut)))), files};
    if (!scanner.rootFinal.empty() && scanner.rootFinal.back() == L'\\') scanner.rootFinal.pop_back();
    scanner.Folder(L"", 0);
    std::sort(files.begin(), files.end(),
              [](const OutboxFile& a, const OutboxFile& b) { return Upper(a.relative) < Upper(b.relative); });
    return files;
}

void Plan(std::vector<OutboxFile>& files, const std::set<std::string>& queued, const TakenPaths& taken,
          const TopFolder& topFolder) {
    TakenPaths going = taken;
    for (OutboxFile& file : files) {
        if (!file.problem.empty()) continue;
        file.queued = queued.count(rtl::FoldedInCodePage(file.path)) > 0;
        if (file.queued) continue;
        const std::string name = rules::CardName(file.path);
        const std::string folder = file.cardFolder ? *file.cardFolder : topFolder(name);
        file.problem = CardPathProblem(folder, name);
        if (!file.problem.empty()) continue;
        const std::string cardPath = rules::CardPath(folder, name);
        const auto [first, isNew] = going.emplace(rtl::FoldedInCodePage(cardPath), file.shown);
        if (isNew)
            file.cardPath = cardPath;
        else
            file.problem = "its card path " + cardPath + " is taken by " + first->second +
                           ", which it would replace on the card; it waits until that file is on the card";
    }
}

std::string TopFolderOf(rtl::TIniFile& ini, const std::string& cardName, const std::string& setupDirectory) {
    const std::string type = rules::FileType(cardName);
    if (type.empty()) return setupDirectory;
    const rules::FolderChoice choice =
        rules::ChooseFolder(std::nullopt, ini.ReadValue(settings::folders::kSection, type), setupDirectory);
    const rules::CardDirectoryCheck check = rules::CheckCardDirectory(choice.stored);
    return check.Usable() ? check.directory : choice.stored;
}

std::string CardPathProblem(std::string_view cardFolder, std::string_view name) {
    const size_t length = rules::CardPath(cardFolder, name).size();
    if (length <= kLongestCardPath) return "";
    return rtl::Format("its card path would be %u characters long, and a card takes at most %u",
                       static_cast<unsigned>(length), static_cast<unsigned>(kLongestCardPath));
}

std::optional<std::string> Inside(const std::string& folder, const std::string& path) {
    const std::string prefix = rtl::IncludeTrailingBackslash(folder);
    if (folder.empty() || path.size() <= prefix.size() || !rtl::SameTextInCodePage(path.substr(0, prefix.size()), prefix))
        return std::nullopt;
    std::string relative = path.substr(prefix.size());
    const std::string sent = std::string(settings::outbox::kSentFolder) + "\\";
    if (rtl::SameTextInCodePage(relative.substr(0, sent.size()), sent)) return std::nullopt;
    return relative;
}

std::string SentName(std::string_view name, unsigned n) {
    if (n <= 1) return std::string(name);
    // A name that starts with its only dot has no extension.
    const size_t dot = name.rfind('.');
    const size_t cut = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    return std::string(name.substr(0, cut)) + " (" + std::to_string(n) + ")" + std::string(name.substr(cut));
}

namespace {

std::wstring FinalOf(const std::wstring& root) {
    const rtl::UniqueFile outbox = identity::Open(root, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::Followed);
    std::wstring final = outbox ? identity::FinalPath(outbox.get()) : L"";
    if (!final.empty() && final.back() == L'\\') final.pop_back();
    return final;
}

}  // namespace

std::optional<rtl::UniqueFile> HoldToSend(const std::string& folder, const std::string& relative) {
    const std::wstring root = rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(folder));
    const std::wstring inside = rtl::WideFromAnsi(relative);
    rtl::UniqueFile file = identity::Open(root + inside, GENERIC_READ, FILE_SHARE_READ, identity::Links::NotFollowed);
    if (!file) return rtl::UniqueFile();
    const std::wstring final = FinalOf(root);
    if (!Plain(file.get(), GetFileAttributesW((root + inside).c_str()), final.empty() ? L"" : final + L"\\" + inside))
        return std::nullopt;
    return file;
}

std::string MoveToSent(const std::string& folder, const std::string& relative) {
    const std::wstring root = rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(folder));
    const std::wstring inside = rtl::WideFromAnsi(relative);
    const auto [relativeFolder, name] = SplitRelative(inside);
    // The file itself, never a link's target; held without sharing its
    // deletion, so that nobody renames it or what holds it meanwhile.
    const rtl::UniqueFile file =
        identity::Open(root + inside, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, identity::Links::NotFollowed);
    if (!file) return Reason(GetLastError());
    const std::wstring final = FinalOf(root);
    if (!Plain(file.get(), GetFileAttributesW((root + inside).c_str()), final.empty() ? L"" : final + L"\\" + inside))
        return "it is a link or leads out of the outbox";
    std::string problem;
    std::wstring level = root + SentWide();
    std::wstring levelFinal = final.empty() ? L"" : final + L"\\" + SentWide();
    std::vector<rtl::UniqueFile> held;
    held.push_back(SentLevel(level, levelFinal, problem));
    for (size_t start = 0; held.back() && !relativeFolder.empty() && start <= relativeFolder.size();) {
        const size_t end = std::min(relativeFolder.find(L'\\', start), relativeFolder.size());
        const std::wstring part = relativeFolder.substr(start, end - start);
        level += L"\\" + part;
        if (!levelFinal.empty()) levelFinal += L"\\" + part;
        held.push_back(SentLevel(level, levelFinal, problem));
        start = end + 1;
    }
    if (!held.back()) return problem;
    for (unsigned n = 1; n <= kMostSentCopies; ++n) {
        const LONG status = RenameInto(file.get(), held.back().get(),
                                       rtl::WideFromAnsi(SentName(rtl::LossyFromWide(name, CP_ACP), n)));
        if (status == 0) return "";
        if (status != kNameCollision) return rtl::Format("Windows status 0x%08lX", static_cast<unsigned long>(status));
    }
    return "Sent holds too many files of its name";
}

}  // namespace app::outbox
