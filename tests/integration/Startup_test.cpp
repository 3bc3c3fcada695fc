// The conduit's start and stop as a host sees them: which stand-in library is
// loaded from where, what is shown when one is missing, and that a failed
// start leaves nothing behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "tests/integration/ConduitHost.h"

namespace {

using desktop::DesktopLayout;
using testsupport::LoadedConduit;
using testsupport::LoadedPalmLibraries;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Where a loaded library's file is, lower case.
std::string LoadedFrom(const char* file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA(file), path, MAX_PATH);
    const std::string full = Lower(path);
    return full.substr(0, full.find_last_of('\\') + 1);
}

std::string CurrentDirectory() {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

class Startup : public testing::Test {
protected:
    explicit Startup(desktop::LayoutOptions options = {})
        : desktop_(DesktopLayout::TempFolder("start"), options),
          conduitPath_(testsupport::PlaceConduit(desktop_.Folder() + "\\conduit")) {}
    std::string DesktopDir() const { return Lower(desktop_.Folder() + "\\"); }
    std::string ConduitDir() const { return Lower(desktop_.Folder() + "\\conduit\\"); }

    DesktopLayout desktop_;
    std::string conduitPath_;
};

TEST_F(Startup, ACompleteDesktopLoadsQuietlyAndUnloadsEveryLibrary) {
    const std::string before = CurrentDirectory();
    {
        LoadedConduit conduit(conduitPath_);
        ASSERT_NE(conduit.module(), nullptr) << conduit.loadError();
        EXPECT_TRUE(conduit.watcher().Boxes().empty());
        for (const char* file : testsupport::kPalmLibraryFiles) {
            SCOPED_TRACE(file);
            EXPECT_EQ(LoadedFrom(file), DesktopDir());
        }
        conduit.Unload();
        EXPECT_EQ(LoadedPalmLibraries(), "");
    }
    EXPECT_EQ(CurrentDirectory(), before);
}

struct MissingCase {
    const char* file;
    const char* message;
    bool loads;
};

class MissingLibrary : public Startup, public testing::WithParamInterface<MissingCase> {};

TEST_P(MissingLibrary, IsNamedOnceAndStopsTheStartUnlessItIsUserData) {
    const MissingCase& c = GetParam();
    ASSERT_TRUE(DeleteFileA(desktop_.LibraryPath(c.file).c_str()));
    const std::string before = CurrentDirectory();
    const testsupport::HostWindow host;
    ASSERT_NE(host.get(), nullptr);
    LoadedConduit conduit(conduitPath_);
    EXPECT_EQ(conduit.module() != nullptr, c.loads);
    const auto boxes = conduit.watcher().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_TRUE(boxes[0].hasError);
    EXPECT_EQ(boxes[0].buttons, 1);
    // The host's window takes no input while the half-started library asks.
    EXPECT_EQ(boxes[0].enabledNeighbours, 0);
    EXPECT_TRUE(IsWindowEnabled(host.get()));
    EXPECT_EQ(CurrentDirectory(), before);
    conduit.Unload();
    EXPECT_EQ(LoadedPalmLibraries(), "");
}

INSTANTIATE_TEST_SUITE_P(
    EachLibrary, MissingLibrary,
    testing::Values(MissingCase{"userdata.dll", "kivUserData: Unable to load userdata.dll", true},
                    MissingCase{"VFSAPI.dll", "Tolvane was unable to load VFSAPI.dll", false},
                    MissingCase{"hslog20.dll", "kivHslog: Unable to load hslog20.dll", false},
                    MissingCase{"sync20.dll", "kivSyncMgr: Unable to load sync20.dll", false},
                    MissingCase{"instaide.dll", "kivPalmInstall: Unable to load instaide.dll", false},
                    MissingCase{"CONDMGR.DLL", "kivCondMgre: Unable to load condmgr.dll", false},
                    MissingCase{"hsapi.dll", "kivHSAPI: Unable to load hsapi.dll", false}),
    [](const testing::TestParamInfo<MissingCase>& info) {
        std::string name = info.param.file;
        name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
        return name;
    });

struct LackingCase {
    const char* entry;
    bool loads;
};

class LackingEntry : public testing::TestWithParam<LackingCase> {};

TEST_P(LackingEntry, StopsTheStartWithoutAMessageUnlessItIsAVfsEntry) {
    desktop::LayoutOptions options;
    options.lackingEntry = GetParam().entry;
    DesktopLayout desktop(DesktopLayout::TempFolder("lack"), options);
    const std::string path = testsupport::PlaceConduit(desktop.Folder() + "\\conduit");
    LoadedConduit conduit(path);
    EXPECT_EQ(conduit.module() != nullptr, GetParam().loads);
    EXPECT_TRUE(conduit.watcher().Boxes().empty());
    conduit.Unload();
    EXPECT_EQ(LoadedPalmLibraries(), "");
}

INSTANTIATE_TEST_SUITE_P(EachKind, LackingEntry,
                         testing::Values(LackingCase{"SyncLoopBackTest", false}, LackingCase{"VFSVolumeInfo", true},
                                         LackingCase{"HsDisplayCustomDlg", false}, LackingCase{"LogAddEntry", false},
                                         LackingCase{"CmGetCorePath", false},
                                         LackingCase{"UmSlotGetDisplayName", false}),
                         [](const testing::TestParamInfo<LackingCase>& info) { return info.param.entry; });

TEST(StartupSwapped, LibrariesWithTheOtherCallingConventionsLoadToo) {
    desktop::LayoutOptions options;
    options.swapped = true;
    DesktopLayout desktop(DesktopLayout::TempFolder("swap"), options);
    LoadedConduit conduit(testsupport::PlaceConduit(desktop.Folder() + "\\conduit"));
    EXPECT_NE(conduit.module(), nullptr);
    EXPECT_TRUE(conduit.watcher().Boxes().empty());
}

TEST_F(Startup, ThreeLibrariesArePreferredBesideTheConduit) {
    for (const char* file : {"userdata.dll", "CONDMGR.DLL", "hsapi.dll"})
        ASSERT_TRUE(CopyFileA(desktop_.LibraryPath(file).c_str(), (ConduitDir() + file).c_str(), FALSE));
    // The User Data library beside the conduit names the desktop directory:
    // the registry is not needed.
    DesktopLayout::RemoveRegisteredHost();
    LoadedConduit conduit(conduitPath_);
    ASSERT_NE(conduit.module(), nullptr);
    EXPECT_TRUE(conduit.watcher().Boxes().empty());
    for (const char* file : {"userdata.dll", "CONDMGR.DLL", "hsapi.dll"}) EXPECT_EQ(LoadedFrom(file), ConduitDir());
    for (const char* file : {"VFSAPI.dll", "hslog20.dll", "sync20.dll", "instaide.dll"})
        EXPECT_EQ(LoadedFrom(file), DesktopDir());
}

// Windows takes "/" as a separator too: the folder of a HotSyncPath written
// with them is the desktop's folder, not its drive.
TEST_F(Startup, AHotSyncPathWithForwardSlashesNamesTheDesktopFolder) {
    std::string host = desktop_.HostPath();
    std::replace(host.begin(), host.end(), '\\', '/');
    DesktopLayout::SetRegisteredHost(host);
    LoadedConduit conduit(conduitPath_);
    ASSERT_NE(conduit.module(), nullptr) << conduit.loadError();
    EXPECT_TRUE(conduit.watcher().Boxes().empty());
    for (const char* file : testsupport::kPalmLibraryFiles) {
        SCOPED_TRACE(file);
        std::string from = LoadedFrom(file);
        std::replace(from.begin(), from.end(), '/', '\\');
        EXPECT_EQ(from, DesktopDir());
    }
}

TEST_F(Startup, WithoutTheRegistryValueOnlyBareNamesAreTried) {
    DesktopLayout::RemoveRegisteredHost();
    const std::string before = CurrentDirectory();
    LoadedConduit conduit(conduitPath_);
    EXPECT_EQ(conduit.module(), nullptr);
    const auto boxes = conduit.watcher().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "kivUserData: Unable to load userdata.dll");
    EXPECT_EQ(boxes[1].text, "Tolvane was unable to load VFSAPI.dll");
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(Startup, AHotSyncPathThatIsNotTextStopsTheStartQuietly) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, "HotSyncPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    LoadedConduit conduit(conduitPath_);
    EXPECT_EQ(conduit.module(), nullptr);
    EXPECT_TRUE(conduit.watcher().Boxes().empty());
    EXPECT_EQ(LoadedPalmLibraries(), "");
}

TEST_F(Startup, TheDesktopDirectoryIsForgottenWhenTheConduitUnloads) {
    { LoadedConduit first(conduitPath_); ASSERT_NE(first.module(), nullptr); }
    DesktopLayout other(DesktopLayout::TempFolder("other"));  // now the registered one
    LoadedConduit second(conduitPath_);
    ASSERT_NE(second.module(), nullptr);
    EXPECT_EQ(LoadedFrom("hslog20.dll"), Lower(other.Folder() + "\\"));
    second.Unload();
}

}  // namespace
