// Loads the shipped Tolvane.dll as a host does and calls its exports through
// function types written here from the host's point of view, so that a
// calling-convention or signature mismatch in the DLL shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TestPaths.h"

namespace {

using GetConduitNameFn = long(__cdecl*)(char*, unsigned short);
using GetConduitVersionFn = unsigned long(__cdecl*)();
using GetConduitInfoFn = long(__cdecl*)(long, void*, void*, unsigned long*);
using OpenConduitFn = long(__cdecl*)(void(__cdecl*)(const char*), const void*);
using ConfigureConduitFn = long(__cdecl*)(void*);
using CfgConduitFn = long(__cdecl*)(long, void*, unsigned long*);
using RegistrationFn = HRESULT(__stdcall*)();
using GetClassObjectFn = HRESULT(__stdcall*)(const GUID&, const GUID&, void**);

struct LoadedConduit {
    LoadedConduit() : module(LoadLibraryA(testsupport::ShippedConduitPath().c_str())) {}
    ~LoadedConduit() {
        if (module) FreeLibrary(module);
    }
    template <class Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    HMODULE module;
};

// Calls every export many times with the real conventions: a wrong one
// leaves the stack 4 to 16 bytes off per call, which this frame would not
// survive.
TEST(LoadedConduitWithoutDesktop, ExportsAnswerWithTheirNoComponentCodes) {
    LoadedConduit conduit;
    ASSERT_NE(conduit.module, nullptr) << GetLastError();
    auto getName = conduit.Get<GetConduitNameFn>("GetConduitName");
    auto getVersion = conduit.Get<GetConduitVersionFn>("GetConduitVersion");
    auto getInfo = conduit.Get<GetConduitInfoFn>("GetConduitInfo");
    auto open = conduit.Get<OpenConduitFn>("OpenConduit");
    auto configure = conduit.Get<ConfigureConduitFn>("ConfigureConduit");
    auto cfg = conduit.Get<CfgConduitFn>("CfgConduit");
    auto canUnload = conduit.Get<RegistrationFn>("DllCanUnloadNow");
    auto classObject = conduit.Get<GetClassObjectFn>("DllGetClassObject");
    ASSERT_TRUE(getName && getVersion && getInfo && open && configure && cfg && canUnload && classObject);

    volatile uint32_t guard = 0x5AFE5AFE;
    std::vector<uint8_t> record(1024, 0);
    char name[16] = "untouched";
    unsigned long size = sizeof name;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(getName(name, sizeof name), -1);
        ASSERT_EQ(getVersion(), 0u);
        ASSERT_EQ(getInfo(0, record.data(), name, &size), 1);
        ASSERT_EQ(open(nullptr, record.data()), -1);
        ASSERT_EQ(configure(record.data()), -1);
        ASSERT_EQ(cfg(1, record.data(), &size), 4218);  // argument checks come before the component
        ASSERT_EQ(canUnload(), S_OK);
        void* object = record.data();
        ASSERT_EQ(classObject(GUID{}, GUID{}, &object), CLASS_E_CLASSNOTAVAILABLE);
        ASSERT_EQ(object, record.data());
    }
    EXPECT_EQ(guard, 0x5AFE5AFEu);
    EXPECT_STREQ(name, "untouched");
}

TEST(LoadedConduitWithoutDesktop, ExportOrdinalsFollowTheTable) {
    LoadedConduit conduit;
    ASSERT_NE(conduit.module, nullptr);
    const char* names[] = {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow",
                           "GetConduitName",    "GetConduitVersion",   "GetConduitInfo",    "ConfigureConduit",
                           "CfgConduit",        "OpenConduit"};
    for (int ordinal = 1; ordinal <= 10; ++ordinal) {
        SCOPED_TRACE(names[ordinal - 1]);
        const FARPROC byOrdinal = GetProcAddress(conduit.module, MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byOrdinal, nullptr);
        EXPECT_EQ(byOrdinal, GetProcAddress(conduit.module, names[ordinal - 1]));
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
