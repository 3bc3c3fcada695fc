#include "rtl/Diagnostics.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

namespace rtl {

namespace {

struct FreeDeleter {
    void operator()(char* text) const noexcept { std::free(text); }
};

// The type's name as the source spells it ("kiv::EPalmSyncError"), or
// "unknown" when the runtime has none for what is being handled.
std::string CurrentTypeName() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) return "unknown";
    int status = 0;
    const std::unique_ptr<char, FreeDeleter> readable(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status));
    return status == 0 && readable ? std::string(readable.get()) : std::string(type->name());
}

std::string CurrentMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "";
    }
}

}  // namespace

std::string CaughtReport(std::string_view where, std::string_view starting) {
    std::string line = "Tolvane: " + std::string(where) + " caught ";
    const std::string type = CurrentTypeName();
    line += type == "unknown" ? std::string("an unknown exception") : type;
    if (!starting.empty()) line += " while starting " + std::string(starting);
    const std::string message = type == "unknown" ? std::string() : CurrentMessage();
    return line + (message.empty() ? std::string() : ": " + message) + "\n";
}

void ReportCaught(std::string_view where, std::string_view starting) noexcept {
    try {
        OutputDebugStringA(CaughtReport(where, starting).c_str());
    } catch (...) {
        OutputDebugStringA("Tolvane: an exception was caught; no memory was left to say which\n");
    }
}

}  // namespace rtl
