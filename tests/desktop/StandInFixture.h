// A stand-in desktop in a fresh temporary folder, with its libraries loaded
// on demand and released before the folder goes. The function pointer types
// carry the conventions of the normal build: stdcall for User Data, Conduit
// Manager and HotSync Manager API, cdecl for the others.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "desktop/DesktopLayout.h"
#include "desktop/Handles.h"

namespace standin_test {

using UmGetUserCountFn = short(__stdcall*)();
using UmGetUserIDFn = long(__stdcall*)(short, unsigned long*);
using UmTextFn = long(__stdcall*)(unsigned long, char*, short*);
using UmGetRootDirectoryFn = long(__stdcall*)(char*, short*);
using UmSlotGetExpMgrVersionFn = long(__stdcall*)(unsigned long, unsigned long*);
using UmSlotGetSlotCountFn = long(__stdcall*)(unsigned long, unsigned short*);
using UmSlotGetInfoFn = long(__stdcall*)(unsigned long, long*, unsigned short*);
using UmSlotGetMediaTypeFn = long(__stdcall*)(unsigned long, long, unsigned long*);
using UmSlotGetDisplayNameFn = long(__stdcall*)(unsigned long, long, char*, unsigned long*);

using CmInstallCreatorFn = long(__stdcall*)(const char*, int);
using CmSetTextFn = long(__stdcall*)(const char*, const char*);
using CmSetCreatorPriorityFn = long(__stdcall*)(const char*, long);
using CmRemoveFn = long(__stdcall*)(const char*);
using CmGetCorePathFn = long(__stdcall*)(char*, long*);
using CmGetTextFn = long(__stdcall*)(const char*, char*, long*);
using HsRefreshConduitInfoFn = long(__stdcall*)();

using VFSFilePutFn = long(__cdecl*)(unsigned short, const char*, const char*);
using VFSPathFn = long(__cdecl*)(unsigned short, const char*);
using VFSVolumeEnumerateFn = long(__cdecl*)(unsigned short*, unsigned short*);
using VFSVolumeInfoFn = long(__cdecl*)(unsigned short, void*);
using LogAddEntryFn = long(__cdecl*)(const char*, long, long);
using SyncYieldCyclesFn = long(__cdecl*)(unsigned short);

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override { Layout(); }
    void TearDown() override {
        modules_.clear();
        desktop_.reset();
    }

    // A new layout replaces the one that SetUp made.
    desktop::DesktopLayout& Layout(desktop::LayoutOptions options = {}) {
        modules_.clear();
        desktop_.reset();
        desktop_ = std::make_unique<desktop::DesktopLayout>(desktop::DesktopLayout::TempFolder("standin"), options);
        return *desktop_;
    }
    desktop::DesktopLayout& Desktop() { return *desktop_; }

    HMODULE Module(const std::string& file) {
        auto& module = modules_[file];
        if (!module) module.reset(LoadLibraryA(desktop_->LibraryPath(file).c_str()));
        EXPECT_TRUE(module) << file << " does not load, error " << GetLastError();
        return module.get();
    }
    void Unload(const std::string& file) { modules_.erase(file); }

    template <class Fn>
    Fn Get(const std::string& file, const char* entry) {
        auto* address = GetProcAddress(Module(file), entry);
        EXPECT_NE(address, nullptr) << file << " lacks " << entry;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
    }

private:
    std::unique_ptr<desktop::DesktopLayout> desktop_;
    std::map<std::string, desktop::UniqueModule> modules_;
};

}  // namespace standin_test
