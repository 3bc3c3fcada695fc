#include "tools/window/FolderWatch.h"

namespace queuewindow {

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

std::wstring Parent(const std::wstring& folder) {
    std::wstring trimmed = folder;
    while (!trimmed.empty() && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
    const size_t separator = trimmed.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : trimmed.substr(0, separator + 1);
}

}  // namespace

void FolderWatch::Watch(const std::wstring& folder, bool subtree) {
    handle_.reset();
    watched_.clear();
    subtree_ = subtree;
    // The parent's own changes include a child folder coming into being.
    for (std::wstring candidate = folder; !candidate.empty(); candidate = Parent(candidate)) {
        HANDLE handle = FindFirstChangeNotificationW(candidate.c_str(), subtree, kChanges);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_.reset(handle);
            watched_ = candidate;
            return;
        }
    }
}

void FolderWatch::Rearm() {
    if (Event() && !FindNextChangeNotification(handle_.get())) Watch(watched_, subtree_);
}

}  // namespace queuewindow
