// Whether a file that the installer is about to replace or remove is free:
// it is opened for reading and writing with no sharing, which fails while
// any other program has it open, the HotSync Manager holding the loaded
// conduit included. Nothing is changed; a file that does not exist is free.
#pragma once
#include <optional>
#include <string>

namespace registertool {

// Empty when `path` can be replaced; else why not and what to do, for the user.
std::optional<std::string> WhyNotReplaceable(const std::wstring& path);

}  // namespace registertool
