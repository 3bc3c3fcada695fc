#include "tests/support/TestPaths.h"

#include <windows.h>

namespace testsupport {

std::string BinDir() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string ShippedConduitPath() { return BinDir() + "Tolvane.dll"; }

}  // namespace testsupport
