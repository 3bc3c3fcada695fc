// The call log and the switches that tests of the conduit rely on to see
// and steer its calls: one line per call with the arguments as passed, a
// fixed answer for a named entry, and the process ended at the k-th call.
#include "StandInFixture.h"
#include "desktop/Files.h"

using namespace standin_test;

namespace {
constexpr const char* kExitDesktopVariable = "STANDIN_EXIT_TEST_DESKTOP";
}

TEST_F(StandInTest, CallLogHasOneLinePerCallAcrossLibrariesInOrder) {
    Desktop().AddUser(1001, "Alice", "Alice");
    Get<CmInstallCreatorFn>("CONDMGR.DLL", "CmInstallCreator")("tVan", 1);
    Get<CmSetTextFn>("CONDMGR.DLL", "CmSetCreatorName")("tVan", "C:\\x\\Tolvane.dll");
    unsigned short count = 0;
    Get<VFSVolumeEnumerateFn>("VFSAPI.dll", "VFSVolumeEnumerate")(&count, nullptr);
    char buffer[256] = {};
    short size = 255;
    Get<UmTextFn>("userdata.dll", "UmGetUserDirectory")(1001, buffer, &size);
    Get<LogAddEntryFn>("hslog20.dll", "LogAddEntry")("line\none", 22, 0);
    Get<SyncYieldCyclesFn>("sync20.dll", "SyncYieldCycles")(1);
    const auto install = reinterpret_cast<long(__cdecl*)()>(
        reinterpret_cast<void*>(GetProcAddress(Module("instaide.dll"), "PltInstallFile")));
    ASSERT_NE(install, nullptr);
    EXPECT_EQ(install(), -504);

    const std::vector<std::string> expected = {
        "CmInstallCreator(\"tVan\", 1) = 0",
        "CmSetCreatorName(\"tVan\", \"C:\\x\\Tolvane.dll\") = 0",
        "VFSVolumeEnumerate(&0, NULL) = 0",
        "UmGetUserDirectory(1001, buf, &255) = 0",
        "LogAddEntry(\"line^Jone\", 22, 0) = 0",
        "SyncYieldCycles(1) = 0",
        "PltInstallFile() = -504",
    };
    EXPECT_EQ(Desktop().CallLog(), expected);
    Desktop().ClearCallLog();
    Desktop().SetCallLog(false);
    Get<SyncYieldCyclesFn>("sync20.dll", "SyncYieldCycles")(1);
    EXPECT_TRUE(Desktop().CallLog().empty());
}

TEST_F(StandInTest, FailSwitchAnswersItsCodeWithoutDoingTheWork) {
    Desktop().AddVolume(1, desktop::FourCC("sdig"));
    Desktop().FailEntry("VFSDirCreate", 0x2A05);
    Desktop().FailEntry("UmGetUserCount", -3);
    Desktop().FailEntry("CmGetCreatorInfo", 42);  // an entry with a body of its own
    const long created = Get<VFSPathFn>("VFSAPI.dll", "VFSDirCreate")(1, "/Palm");
    EXPECT_EQ(created, 0x2A05);
    EXPECT_FALSE(desktop::DirectoryExists(Desktop().CardFile(1, "/Palm")));
    EXPECT_EQ(Get<UmGetUserCountFn>("userdata.dll", "UmGetUserCount")(), -3);
    char buffer[8];
    long size = 8;
    EXPECT_EQ(Get<CmGetTextFn>("CONDMGR.DLL", "CmGetCreatorInfo")("tVan", buffer, &size), 42);
    EXPECT_EQ(Desktop().CallLog().front(), "VFSDirCreate(1, \"/Palm\") = 10757");
    // Other entries of the same library are not affected.
    unsigned short count = 0;
    EXPECT_EQ(Get<VFSVolumeEnumerateFn>("VFSAPI.dll", "VFSVolumeEnumerate")(&count, nullptr), 0);
    EXPECT_EQ(count, 1);
}

// Runs in a child process: calls SyncYieldCycles five times.
TEST(ExitChild, DISABLED_YieldFiveTimes) {
    char folder[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA(kExitDesktopVariable, folder, MAX_PATH), 0u);
    desktop::UniqueModule sync(LoadLibraryA(desktop::JoinPath(folder, "sync20.dll").c_str()));
    ASSERT_TRUE(sync);
    auto yield = reinterpret_cast<SyncYieldCyclesFn>(reinterpret_cast<void*>(GetProcAddress(sync.get(), "SyncYieldCycles")));
    for (int i = 0; i < 5; ++i) yield(1);
}

TEST_F(StandInTest, ExitSwitchEndsTheProcessAtTheKthCall) {
    for (const auto kind : {desktop::ExitKind::Terminate, desktop::ExitKind::Exit}) {
        SCOPED_TRACE(kind == desktop::ExitKind::Exit ? "ExitProcess" : "TerminateProcess");
        Desktop().ClearCallLog();
        Desktop().ClearSwitches();
        Desktop().ExitAt("SyncYieldCycles", 3, kind);
        SetEnvironmentVariableA(kExitDesktopVariable, Desktop().Folder().c_str());
        std::string command = "\"" + desktop::ModulePath(nullptr) +
                              "\" --gtest_filter=ExitChild.DISABLED_YieldFiveTimes --gtest_also_run_disabled_tests";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        desktop::UniqueFile processHandle(process.hProcess), threadHandle(process.hThread);
        ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        EXPECT_EQ(exitCode, desktop::kSwitchExitCode);
        const std::vector<std::string> expected = {"SyncYieldCycles(1) = 0", "SyncYieldCycles(1) = 0",
                                                   "SyncYieldCycles(1) = exit"};
        EXPECT_EQ(Desktop().CallLog(), expected);
    }
    SetEnvironmentVariableA(kExitDesktopVariable, nullptr);
}
