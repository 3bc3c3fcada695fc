#include "tools/queue/OutboxView.h"

#include <windows.h>

#include <set>

#include "app/OutboxRule.h"
#include "app/PathRules.h"
#include "app/Settings.h"
#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/IniFiles.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "tools/queue/FolderAccess.h"
#include "tools/queue/QueueEdit.h"
#include "tools/queue/SourcePath.h"

namespace queuetool {

namespace {

namespace outboxKeys = app::settings::outbox;

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Each missing level, parent first; false when one cannot be made. The
// last, the outbox itself, is made private to the user; where that cannot
// be done it is made as its parent's permissions would have it, and
// `notPrivate` says why.
bool MakeFolders(const std::wstring& folder, std::wstring& notPrivate, bool last = true) {
    if (folder.empty() || IsFolder(folder)) return true;
    const size_t parent = folder.find_last_of(L"\\/");
    if (parent != std::wstring::npos && parent > 2 && !MakeFolders(folder.substr(0, parent), notPrivate, false))
        return false;
    if (last && MakePrivateFolder(folder)) return true;
    const DWORD privateError = GetLastError();
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (last)
        notPrivate = L"The folder " + folder + L" was made, but Windows did not let it be made private to you (" +
                     rtl::WideFromAnsi(rtl::SystemMessage(privateError)) +
                     L"), so it has its parent folder's permissions. ";
    return true;
}

}  // namespace

OutboxView ViewOutbox(QueueFile& queue, const DesktopUser& user, const Preview& preview) {
    OutboxView view;
    view.folder = app::outbox::FolderOf(queue.Value(outboxKeys::kSection, outboxKeys::kFolder));
    if (view.folder.empty()) return view;
    view.missing = GetFileAttributesA(view.folder.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!view.missing) view.refusal = app::outbox::OutboxRefusal(view.folder);
    if (!view.refusal.empty()) return view;
    view.files = app::outbox::Scan(view.folder, user.conduitFolder);
    std::set<std::string> queued;
    app::outbox::TakenPaths taken;
    for (const PreviewEntry& line : preview.entries) {
        queued.insert(rtl::FoldedInCodePage(line.entry.source));
        taken.emplace(rtl::FoldedInCodePage(line.cardPath),
                      app::rules::CardName(line.entry.source) + " (" + line.entry.key + ")");
    }
    rtl::TIniFile ini(queue.FileName());
    app::outbox::Plan(view.files, queued, taken, [&](const std::string& name) {
        return app::outbox::TopFolderOf(ini, name, preview.cardDirectory);
    });
    return view;
}

bool FromOutbox(const OutboxView& view, const std::string& source) {
    return app::outbox::Inside(view.folder, source).has_value();
}

OutboxChoice ChooseOutbox(const std::wstring& given, bool create) {
    std::wstring full = JudgeSource(given).shown;
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    const std::optional<std::string> ansi = rtl::AnsiFromWide(full);
    if (!ansi)
        return {std::nullopt, L"The folder " + full + L" has characters that the Palm Desktop cannot take on this "
                              L"Windows (code page " + std::to_wstring(GetACP()) +
                              L"): choose a folder whose path has letters of that code page only.", {}};
    const auto refused = [&]() -> std::optional<OutboxChoice> {
        const std::string refusal = app::outbox::OutboxRefusal(*ansi);
        if (refusal.empty()) return std::nullopt;
        return OutboxChoice{std::nullopt, L"The folder " + full + L" cannot be the outbox: " +
                                              rtl::WideFromAnsi(refusal) +
                                              L". Choose a folder of its own, below your user profile.", {}};
    };
    // Before anything is made: a refused folder is never created.
    if (create)
        if (auto refusal = refused()) return *refusal;
    std::wstring notPrivate;
    if (create && !MakeFolders(full, notPrivate))
        return {std::nullopt, L"The folder " + full + L" cannot be made; choose another one.", {}};
    if (!IsFolder(full))
        return {std::nullopt, GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES
                                  ? L"No such folder: " + full + L". Add --create to make it."
                                  : full + L" is a file, not a folder.",
                {}};
    if (auto refusal = refused()) return *refusal;
    // Made now, so that the user sees where sent files will go.
    CreateDirectoryW((full + L"\\" + rtl::WideFromAnsi(outboxKeys::kSentFolder)).c_str(), nullptr);
    std::wstring warning = WhoElseMayWrite(full);
    if (!notPrivate.empty() && warning.empty())
        warning = L"Check in its Properties, Security, that only your account may write to it.";
    return {app::outbox::FolderOf(*ansi), {}, notPrivate + warning};
}

void SetOutbox(QueueFile& queue, const DesktopUser& user, const std::string& folder) {
    QueueEdit edit(queue.FileName(), NewSettings{user.firstSlotMediaType});
    edit.SetOutboxFolder(folder);
    edit.Commit();
}

}  // namespace queuetool
