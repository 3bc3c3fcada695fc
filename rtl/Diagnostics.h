// What a boundary that lets no exception through (an export, a window
// procedure) caught, reported where Windows people look for it: the debug
// output (OutputDebugString), which a debugger or a debug-output viewer
// shows. No log file of our own; nothing is shown to the user from here.
//   Tolvane: OpenConduit caught kiv::EPalmSyncError: Error -1005 ...
//   Tolvane: DllMain caught rtl::Exception while starting memorycard: ...
//   Tolvane: the queue window caught an unknown exception
#pragma once
#include <string>
#include <string_view>

namespace rtl {

// The line for the exception being handled: where it was caught, its type
// and its message ("unknown" when it is of no type the program can name);
// `starting`, when given, names the step it was caught in. Call it inside
// a catch block only.
std::string CaughtReport(std::string_view where, std::string_view starting = {});

// Sends CaughtReport to the debug output. Call it inside a catch block;
// never throws, also when there is no memory left for the text.
void ReportCaught(std::string_view where, std::string_view starting = {}) noexcept;

}  // namespace rtl
