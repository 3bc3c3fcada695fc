#include "app/Outbox.h"

#include <windows.h>

#include <algorithm>
#include <map>

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

// Opening it for reading while letting others only read tells a file that
// another program writes (a download, an export) from one that is done.
void JudgeAccess(const std::wstring& full, OutboxFile& file) {
    const rtl::UniqueFile probe(CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe) return;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        file.beingWritten = true;
        file.problem = "another program has it open and may still be writing it; it goes at the first HotSync "
                       "after that program has closed it";
        return;
    }
    file.problem = "it cannot be read (" + Reason(error) + ")";
}

OutboxFile Judge(const std::wstring& root, const std::wstring& relative) {
    OutboxFile file;
    file.relative = relative;
    file.shown = rtl::LossyFromWide(relative, CP_ACP);
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
    const std::string inside = rtl::AnsiFromWide(relative).value_or(file.shown);
    const size_t slash = inside.find_last_of('\\');
    const std::string name = rules::CardName(inside);
    if (slash != std::string::npos) {
        std::string directory = "/" + inside.substr(0, slash);
        std::replace(directory.begin(), directory.end(), '\\', '/');
        const rules::CardDirectoryCheck check = rules::CheckCardDirectory(directory);
        if (!check.Usable()) {
            file.problem = "its folder is no card folder: " + check.problem.substr(0, check.problem.size() - 1);
            return file;
        }
        file.cardFolder = check.directory;
        file.problem = CardPathProblem(check.directory, name);
        if (!file.problem.empty()) return file;
    }
    JudgeAccess(full, file);
    return file;
}

void ScanFolder(const std::wstring& root, const std::wstring& relative, const std::wstring& keepOut, int depth,
                std::vector<OutboxFile>& files) {
    WIN32_FIND_DATAW found;
    const rtl::UniqueFindHandle search(FindFirstFileW((root + relative + L"*").c_str(), &found));
    if (!search) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (found.dwFileAttributes & kPassedOver)) continue;
        const std::wstring inside = relative + name;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.push_back(Judge(root, inside));
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || depth >= kDeepestFolder) continue;
        if (relative.empty() && SameWide(name, rtl::WideFromAnsi(settings::outbox::kSentFolder))) continue;
        if (SameWide(root + inside + L"\\", keepOut)) continue;
        ScanFolder(root, inside + L"\\", keepOut, depth + 1, files);
    } while (FindNextFileW(search.get(), &found));
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Each level of the Sent folder that the file needs, parent first.
std::string MakeFolders(std::string folder, const std::string& relativeFolder) {
    for (size_t start = 0;;) {
        if (!IsFolder(folder) && !CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return rtl::Format("the folder %s cannot be made (%s)", folder.c_str(), Reason(GetLastError()).c_str());
        if (start >= relativeFolder.size()) return "";
        const size_t end = std::min(relativeFolder.find('\\', start), relativeFolder.size());
        folder.append("\\").append(relativeFolder, start, end - start);
        start = end + 1;
    }
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
    while (folder.size() > 3 && rtl::IsPathSeparator(folder.back())) folder.pop_back();
    return folder;
}

std::vector<OutboxFile> Scan(const std::string& folder, const std::string& keepOut) {
    std::vector<OutboxFile> files;
    if (folder.empty() || !IsFolder(folder)) return files;
    ScanFolder(rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(folder)), L"",
               Upper(rtl::WideFromAnsi(rtl::IncludeTrailingBackslash(rtl::FullPathName(keepOut)))), 0, files);
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

std::string MoveToSent(const std::string& folder, const std::string& relative) {
    const size_t slash = relative.find_last_of('\\');
    const std::string relativeFolder = slash == std::string::npos ? "" : relative.substr(0, slash);
    const std::string name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string sent = rtl::IncludeTrailingBackslash(folder) + std::string(settings::outbox::kSentFolder);
    const std::string problem = MakeFolders(sent, relativeFolder);
    if (!problem.empty()) return problem;
    const std::string source = rtl::IncludeTrailingBackslash(folder) + relative;
    const std::string target = rtl::IncludeTrailingBackslash(sent + (relativeFolder.empty() ? "" : "\\" + relativeFolder));
    for (unsigned n = 1; n <= kMostSentCopies; ++n) {
        // Without replacing: an earlier file of the name stays as it was.
        if (MoveFileExA(source.c_str(), (target + SentName(name, n)).c_str(), MOVEFILE_WRITE_THROUGH)) return "";
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return Reason(error);
    }
    return "Sent holds too many files of its name";
}

}  // namespace app::outbox
