#include "tools/window/CheckWindow.h"

#include <commdlg.h>

#include <iterator>
#include <string>

#include "rtl/SysUtils.h"
#include "tools/queue/InstallCheck.h"
#include "ui/Controls.h"

namespace queuewindow {

namespace {

constexpr const wchar_t* kClassName = L"TolvaneCheckWindow";
constexpr SIZE kClient{620, 420};

using enum rtl::ControlKind;
enum class Ctl : size_t { lSummary, eReport, bCopy, bSave, bClose, Count };
constexpr rtl::ControlDesign kControls[] = {
    {.kind = Label, .name = "lSummary", .bounds = {10, 10, 600, 34}, .flags = rtl::cfWrap, .style = SS_NOPREFIX},
    {.kind = Edit, .name = "eReport", .bounds = {10, 48, 600, 326}, .flags = rtl::cfWrap, .style = ES_READONLY},
    {.kind = Button, .name = "bCopy", .bounds = {10, 384, 90, 26}, .caption = "&Copy"},
    {.kind = Button, .name = "bSave", .bounds = {108, 384, 90, 26}, .caption = "&Save..."},
    {.kind = Button, .name = "bClose", .bounds = {520, 384, 90, 26}, .caption = "Close",
     .flags = rtl::cfDefault | rtl::cfCancel},
};
static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count), "one row per control");
static_assert(rtl::FitsToolWindow(kControls));

// The report as the window shows it and Copy copies it: a paragraph per
// point, its verdict and "What to do" set off by a tab, in Windows' line ends.
std::wstring ShownText(const queuetool::CheckReport& report) {
    std::wstring text;
    for (const std::wstring& line : report.heading) text += line + L"\r\n\r\n";
    for (const queuetool::CheckLine& line : report.lines) {
        text += queuetool::CheckReport::Word(line.verdict) + std::wstring(L"\t") + line.point + L": " + line.text + L"\r\n";
        if (!line.fix.empty()) text += L"\tWhat to do: " + line.fix + L"\r\n";
    }
    if (!report.refusal.empty()) text += L"\r\n" + report.refusal + L"\r\n";
    return text + L"\r\n" + report.Summary();
}

// Dialog units: room for "problem" before the tab.
constexpr int kTabStop = 36;

std::wstring Summary(const queuetool::CheckReport& report) {
    switch (report.ExitCode()) {
        case 0: return L"Every point is ok.";
        case 1: return L"Some points have warnings: each says what to do. Copy or save the report to attach it to a question.";
        default: return L"Some points have problems: each says what to do. Copy or save the report to attach it to a question.";
    }
}

// Holds the clipboard open while it is filled.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) noexcept : open_(OpenClipboard(owner)) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const noexcept { return open_; }

private:
    bool open_;
};

class CheckWindow : private rtl::MessageHandler {
public:
    CheckWindow(HWND owner, queuetool::CheckReport report) : owner_(owner), report_(std::move(report)) {}
    CheckWindow(const CheckWindow&) = delete;
    CheckWindow& operator=(const CheckWindow&) = delete;

    void Run() {
        Create();
        rtl::RunModal(window_.get(), owner_, [this] { return done_; });
    }

private:
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(HWND window) noexcept override { rtl::ShowCurrentError(window, kCheckCaption); }
    void Create();
    void Finish() noexcept {
        done_ = true;
        rtl::EndModal(window_.get());
    }
    void Copy() const;
    void Save() const;
    HWND Control(Ctl row) const noexcept { return controls_[row]; }

    HWND owner_;
    queuetool::CheckReport report_;
    rtl::TableControls controls_{kControls, kClient};
    rtl::UniqueHWnd window_;
    bool done_ = false;
};

void CheckWindow::Create() {
    window_ = controls_.CreateDialogWindow(owner_, kClassName, kCheckCaption, *this);
    SetWindowTextW(Control(Ctl::lSummary), Summary(report_).c_str());
    int tabStop = kTabStop;
    SendMessageW(Control(Ctl::eReport), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    SetWindowTextW(Control(Ctl::eReport), ShownText(report_).c_str());
    ShowWindow(window_.get(), SW_SHOW);
    SetFocus(Control(Ctl::bClose));
}

void CheckWindow::Copy() const {
    const std::wstring text = ShownText(report_);
    const OpenedClipboard clipboard(window_.get());
    const HGLOBAL memory = clipboard ? GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)) : nullptr;
    if (void* bytes = memory ? GlobalLock(memory) : nullptr) {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(bytes));
        GlobalUnlock(memory);
        // Once set, the memory is the clipboard's.
        if (EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory)) {
            SetWindowTextW(Control(Ctl::lSummary), L"The report is on the clipboard: paste it where you ask.");
            return;
        }
    }
    if (memory) GlobalFree(memory);
    MessageBoxW(window_.get(), L"The report could not be put on the clipboard; another program may hold it. Try again.",
                kCheckCaption, MB_OK | MB_ICONWARNING);
}

void CheckWindow::Save() const {
    wchar_t file[MAX_PATH] = L"Tolvane check.txt";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_.get();
    dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return;
    if (const std::wstring failure = queuetool::SaveReport(report_, file); !failure.empty()) {
        MessageBoxW(window_.get(), failure.c_str(), kCheckCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    SetWindowTextW(Control(Ctl::lSummary), (L"The report is saved as " + std::wstring(file) + L".").c_str());
}

LRESULT CheckWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window_) return DefWindowProcW(window, message, wParam, lParam);
    const HWND first = Control(Ctl::bClose);
    if (const auto answer = controls_.AnswerToolWindowMessage(window, message, wParam, lParam, first, [this] { Finish(); }))
        return *answer;
    switch (message) {
        case WM_COMMAND: {
            const auto row = controls_.RowOfId(LOWORD(wParam));
            if (HIWORD(wParam) != BN_CLICKED || !row) return 0;
            if (static_cast<Ctl>(*row) == Ctl::bCopy) Copy();
            if (static_cast<Ctl>(*row) == Ctl::bSave) Save();
            if (static_cast<Ctl>(*row) == Ctl::bClose) Finish();
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void ShowInstallationCheck(HWND owner, queuetool::CheckReport report) {
    CheckWindow window(owner, std::move(report));
    window.Run();
}

}  // namespace queuewindow
