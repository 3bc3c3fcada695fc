// tolvane-queue-window.exe: the "Tolvane Queue" window, a Windows program
// without a console.
//
//   tolvane-queue-window [--user USER]    show USER's queue (else the user shown last)
//   tolvane-queue-window --send-to FILE...  queue files, asking which HotSync user
//                                          when there are several (Explorer's Send To)
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "rtl/WinHandles.h"
#include "tools/window/QueueWindow.h"
#include "tools/window/SendTo.h"
#include "tools/start/DllSearch.h"

namespace {

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const rtl::UniqueLocalMemory owned(arguments);
    std::vector<std::wstring> result;
    for (int i = 1; arguments && i < count; ++i) result.emplace_back(arguments[i]);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    toolstart::LimitDllSearch();
    const std::vector<std::wstring> arguments = Arguments();
    if (!arguments.empty() && arguments.front() == L"--send-to")
        return queuewindow::SendTo({arguments.begin() + 1, arguments.end()});
    queuewindow::WindowOptions options;
    options.showCommand = showCommand;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == L"--user" && i + 1 < arguments.size())
            options.user = arguments[++i];
        else
            options.filesToAdd.push_back(arguments[i]);
    }
    return queuewindow::RunQueueWindow(options);
}
