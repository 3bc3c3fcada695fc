// Loads the shipped Tolvane.dll as a host does and calls its exports through
// function types written here from the host's point of view, so that a
// calling-convention or signature mismatch in the DLL shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "desktop/StandIn.h"
#include "tests/integration/ConduitHost.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace testsupport;

// Calls the exports many times with the real conventions: a wrong one
// leaves the stack 4 to 16 bytes off per call, which this frame would not
// survive.
TEST(LoadedConduit, ExportsAnswerThroughTheHostsCallingConventions) {
    desktop::DesktopLayout desktop(desktop::DesktopLayout::TempFolder("load"));
    desktop.AddUser(7, "Ann", "Ann");
    desktop.SetSyncUser(7);
    LoadedConduit conduit(PlaceConduit(desktop.Folder() + "\\conduit"));
    ASSERT_NE(conduit.module(), nullptr) << conduit.loadError();
    auto getName = conduit.Get<GetConduitNameFn>("GetConduitName");
    auto getVersion = conduit.Get<GetConduitVersionFn>("GetConduitVersion");
    auto getInfo = conduit.Get<GetConduitInfoFn>("GetConduitInfo");
    auto open = conduit.Get<OpenConduitFn>("OpenConduit");
    auto cfg = conduit.Get<CfgConduitFn>("CfgConduit");
    auto canUnload = conduit.Get<RegistrationFn>("DllCanUnloadNow");
    auto classObject = conduit.Get<GetClassObjectFn>("DllGetClassObject");
    ASSERT_TRUE(getName && getVersion && getInfo && open && cfg && canUnload && classObject);

    volatile uint32_t guard = 0x5AFE5AFE;
    std::vector<uint8_t> record(1024, 0);
    uint32_t request[20] = {1, 80};
    for (int i = 0; i < 300; ++i) {
        char name[16] = {};
        unsigned long size = sizeof name;
        ASSERT_EQ(getName(name, sizeof name), 0);
        ASSERT_STREQ(name, "Tolvane");
        ASSERT_EQ(getVersion(), 3u);
        std::memset(name, 0, sizeof name);
        ASSERT_EQ(getInfo(0, request, name, &size), 0);
        ASSERT_STREQ(name, "Tolvane");
        uint32_t value = 0;
        unsigned long four = 4;
        ASSERT_EQ(getInfo(1, nullptr, &value, &four), 0);
        ASSERT_EQ(value, 0x10000000u);
        ASSERT_EQ(open(nullptr, record.data()), 0);  // no settings file: a warning, no failure
        unsigned long shortSize = 351;
        ASSERT_EQ(cfg(0, record.data(), &shortSize), 4218);
        ASSERT_EQ(canUnload(), S_OK);
        void* object = record.data();
        ASSERT_EQ(classObject(GUID{}, GUID{}, &object), CLASS_E_CLASSNOTAVAILABLE);
        ASSERT_EQ(object, record.data());
    }
    EXPECT_EQ(guard, 0x5AFE5AFEu);
    conduit.Unload();
    EXPECT_EQ(LoadedPalmLibraries(), "");
}

// The conduit's manifest is for its dialogs only: while it loads, its DllMain
// runs and the Palm Desktop libraries start, no activation context is
// active, as for a library without one.
TEST(LoadedConduit, ItsLoadAndThePalmLibrariesItLoadsRunWithoutAnActivationContext) {
    desktop::DesktopLayout desktop(desktop::DesktopLayout::TempFolder("load"));
    ASSERT_EQ(LoadedPalmLibraries(), "") << "their start would not be seen";
    SetEnvironmentVariableA(desktop::kLoadedUnderContextVariable, nullptr);
    LoadedConduit conduit(PlaceConduit(desktop.Folder() + "\\conduit"));
    ASSERT_NE(conduit.module(), nullptr) << conduit.loadError();
    EXPECT_EQ(LoadedPalmLibraries(), "userdata.dll VFSAPI.dll hslog20.dll sync20.dll instaide.dll CONDMGR.DLL hsapi.dll");
    char names[1024] = {};
    GetEnvironmentVariableA(desktop::kLoadedUnderContextVariable, names, sizeof names);
    EXPECT_STREQ(names, "");
}

TEST(LoadedConduit, ExportOrdinalsFollowTheTable) {
    desktop::DesktopLayout desktop(desktop::DesktopLayout::TempFolder("load"));
    testsupport::LoadedConduit conduit(PlaceConduit(desktop.Folder() + "\\conduit"));
    ASSERT_NE(conduit.module(), nullptr);
    const char* names[] = {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow",
                           "GetConduitName",    "GetConduitVersion",   "GetConduitInfo",    "ConfigureConduit",
                           "CfgConduit",        "OpenConduit"};
    for (int ordinal = 1; ordinal <= 10; ++ordinal) {
        SCOPED_TRACE(names[ordinal - 1]);
        const FARPROC byOrdinal = GetProcAddress(conduit.module(), MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byOrdinal, nullptr);
        EXPECT_EQ(byOrdinal, GetProcAddress(conduit.module(), names[ordinal - 1]));
    }
}

std::string VersionString(const std::vector<char>& data, const char* key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + key;
    if (!VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
    return std::string(value);
}

TEST(ShippedConduitFile, VersionResourceSaysZeroThreeOneZero) {
    const std::string path = testsupport::ShippedConduitPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedLength));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00010000u);
    EXPECT_EQ(VersionString(data, "FileVersion"), "0.3.1.0");
    EXPECT_EQ(VersionString(data, "ProductVersion"), "0.3.1.0");
    EXPECT_EQ(VersionString(data, "FileDescription"), "Tolvane Conduit");
}

}  // namespace
