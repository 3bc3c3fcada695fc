#include "tools/window/SendTo.h"

#include <windows.h>

#include <iterator>
#include <optional>

#include "ui/Forms.h"
#include "rtl/SysUtils.h"
#include "tools/queue/DesktopUsers.h"
#include "rtl/AnsiText.h"
#include "tools/queue/QueueBatch.h"
#include "tools/window/QueueRows.h"
#include "tools/window/OneWindow.h"
#include "tools/window/QueueWindow.h"
#include "tools/window/Remembered.h"

namespace queuewindow {

namespace {

enum ExitCode : int { kQueued = 0, kCancelled = 1, kNothingQueued = 2, kFailed = 3 };

enum class ChooserControl : size_t { lQuestion, cbUser, bOK, bCancel, Count };

using enum rtl::ControlKind;
constexpr rtl::ControlDesign kChooserControls[] = {
    {.kind = Label, .name = "lQuestion", .bounds = {10, 12, 300, 16}, .caption = ""},
    {.kind = ComboList, .name = "cbUser", .bounds = {10, 34, 300, 200}, .tabOrder = 0},
    {.kind = Button, .name = "bOK", .bounds = {144, 70, 80, 24}, .caption = "OK", .tabOrder = 1,
     .flags = rtl::cfDefault, .modalResult = rtl::mrOk},
    {.kind = Button, .name = "bCancel", .bounds = {230, 70, 80, 24}, .caption = "Cancel", .tabOrder = 2,
     .flags = rtl::cfCancel, .modalResult = rtl::mrCancel},
};
static_assert(std::size(kChooserControls) == static_cast<size_t>(ChooserControl::Count), "one row per control");
// In the font of message boxes, on the monitor where the user just chose "Send To".
constexpr rtl::FormDesign kChooserDesign = {.name = "fChooseUser", .caption = "Tolvane Queue: HotSync user",
                                            .clientWidth = 320, .clientHeight = 104, .fontName = "",
                                            .controls = kChooserControls};

std::string FilesWord(size_t count) { return count == 1 ? "1 file" : std::to_string(count) + " files"; }

// The user the files are for; none when the chooser was cancelled.
std::optional<size_t> AskForUser(const std::vector<queuetool::DesktopUser>& users, size_t files,
                                 const std::wstring& lastUser) {
    if (users.size() == 1) return 0;
    rtl::TForm chooser(nullptr, kChooserDesign);
    chooser.Control(ChooserControl::lQuestion).SetCaption("Queue " + FilesWord(files) + " for which HotSync user?");
    std::vector<std::string> names;
    int chosen = 0;
    for (const queuetool::DesktopUser& user : users) {
        if (rtl::WideFromAnsi(user.name) == lastUser) chosen = static_cast<int>(names.size());
        names.push_back(user.name);
    }
    rtl::TControl& combo = chooser.Control(ChooserControl::cbUser);
    combo.SetItems(names);
    combo.SetItemIndex(chosen);
    if (chooser.ShowModal() != rtl::mrOk || combo.ItemIndex() < 0) return std::nullopt;
    return static_cast<size_t>(combo.ItemIndex());
}

int Queue(const std::vector<std::wstring>& files) {
    // An open queue window takes them for the user it shows.
    if (HandToRunningWindow(Handed{L"", files})) return kQueued;
    const queuetool::PalmDesktop desktop;
    const auto& users = desktop.Users();
    if (users.empty()) throw rtl::Exception("The Palm Desktop has no HotSync users yet; do a first HotSync.");
    Remembered remembered = LoadRemembered();
    const auto chosen = AskForUser(users, files.size(), remembered.lastUser);
    if (!chosen) return kCancelled;
    const queuetool::DesktopUser& user = users[*chosen];
    remembered.lastUser = rtl::WideFromAnsi(user.name);
    SaveRemembered(remembered);
    queuetool::QueueFile queue(queuetool::SettingsFileOf(user));
    const queuetool::BatchOutcome outcome = queuetool::AddFiles(queue, user, files);
    const size_t refused = outcome.Count(queuetool::FileOutcome::Kind::kRefused);
    // One short line, whatever the number of files: never a box taller than the screen.
    MessageBoxW(nullptr, BatchLine(outcome, user.name).c_str(), kWindowCaption,
                MB_OK | (refused ? MB_ICONWARNING : MB_ICONINFORMATION));
    return refused == outcome.files.size() ? kNothingQueued : kQueued;
}

}  // namespace

int SendTo(const std::vector<std::wstring>& files) noexcept {
    try {
        return Queue(files);
    } catch (const rtl::Exception& e) {
        MessageBoxW(nullptr, rtl::WideFromAnsi(e.Message()).c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"The files could not be queued.", kErrorCaption, MB_OK | MB_ICONERROR);
    }
    return kFailed;
}

}  // namespace queuewindow
