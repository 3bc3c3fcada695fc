#include "tests/integration/ConduitHost.h"

#include "tests/support/TestPaths.h"

namespace testsupport {

const char* const kPalmLibraryFiles[7] = {"userdata.dll", "VFSAPI.dll",   "hslog20.dll", "sync20.dll",
                                          "instaide.dll", "CONDMGR.DLL", "hsapi.dll"};

std::string PlaceConduit(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string target = folder + "\\Tolvane.dll";
    CopyFileA(ShippedConduitPath().c_str(), target.c_str(), FALSE);
    return target;
}

HostWindow::HostWindow()
    : window_(CreateWindowExA(0, "STATIC", "Stand-in host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 300, 200, nullptr,
                              nullptr, nullptr, nullptr)) {
    SetActiveWindow(window_);
}

HostWindow::~HostWindow() {
    if (window_) DestroyWindow(window_);
}

LoadedConduit::LoadedConduit(const std::string& path) {
    module_ = LoadLibraryA(path.c_str());
    loadError_ = module_ ? 0 : GetLastError();
}

void LoadedConduit::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
}

std::string LoadedConduit::ConduitName() const {
    auto getName = Get<GetConduitNameFn>("GetConduitName");
    char name[64] = {};
    if (!getName || getName(name, sizeof name) != 0) return "<none>";
    return name;
}

std::string LoadedPalmLibraries() {
    std::string loaded;
    for (const char* file : kPalmLibraryFiles)
        if (GetModuleHandleA(file)) loaded += std::string(loaded.empty() ? "" : " ") + file;
    return loaded;
}

}  // namespace testsupport
