// Registering and unregistering the shipped conduit with the stand-in
// Conduit Manager, as a registration tool does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "tests/support/DebugOutput.h"
#include "tests/support/TestFiles.h"
#include "tests/integration/ConduitHost.h"

namespace {

using testsupport::PathExists;
using testsupport::ReadText;
using testsupport::WriteText;

using desktop::DesktopLayout;
using testsupport::LoadedConduit;
using testsupport::RegistrationFn;



// The Conduit Manager and HotSync Manager calls of the call log, in order.
std::vector<std::string> ManagerCalls(const DesktopLayout& desktop) {
    std::vector<std::string> calls;
    for (const std::string& line : desktop.CallLog())
        if (line.rfind("Cm", 0) == 0 || line.rfind("Hs", 0) == 0) calls.push_back(line);
    return calls;
}

class Registration : public testing::Test {
protected:
    Registration()
        : desktop_(DesktopLayout::TempFolder("reg")),
          conduitPath_(testsupport::PlaceConduit(desktop_.Folder() + "\\conduit")),
          conduit_(conduitPath_) {
        desktop_.ClearCallLog();
    }
    HRESULT Register() { return conduit_.Get<RegistrationFn>("DllRegisterServer")(); }
    HRESULT Unregister() { return conduit_.Get<RegistrationFn>("DllUnregisterServer")(); }

    // A user with a conduit folder holding a queued file; returns that folder.
    std::string UserWithConduitFolder(uint32_t id, const std::string& name) {
        const std::string folder = desktop_.AddUser(id, name, name) + "\\Tolvane";
        CreateDirectoryA(folder.c_str(), nullptr);
        WriteText(folder + "\\Tolvane.ini", "[InstallToSlot]\r\nDB1=C:\\x.pdb\r\n");
        return folder;
    }

    DesktopLayout desktop_;
    std::string conduitPath_;
    LoadedConduit conduit_;
};

TEST_F(Registration, InstallsTheCreatorWithFiveCallsAndRefreshes) {
    ASSERT_NE(conduit_.module(), nullptr);
    EXPECT_EQ(Register(), S_OK);
    const std::vector<std::string> expected = {
        "CmInstallCreator(\"tVan\", 1) = 0",
        "CmSetCreatorName(\"tVan\", \"" + conduitPath_ + "\") = 0",
        "CmSetCreatorTitle(\"tVan\", \"Tolvane\") = 0",
        "CmSetCreatorDirectory(\"tVan\", \"Tolvane\") = 0",
        "CmSetCreatorPriority(\"tVan\", 2) = 0",
        "CmSetCreatorInfo(\"tVan\", \"Tolvane Conduit\") = 0",
        "HsRefreshConduitInfo() = 0",
    };
    EXPECT_EQ(ManagerCalls(desktop_), expected);
    const auto entry = desktop_.Conduit("tVan");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->type, 1);
    EXPECT_EQ(entry->name, conduitPath_);
    EXPECT_EQ(entry->title, "Tolvane");
    EXPECT_EQ(entry->directory, "Tolvane");
    EXPECT_EQ(entry->priority, 2);
    EXPECT_EQ(entry->info, "Tolvane Conduit");
    EXPECT_EQ(desktop_.RefreshCount(), 1u);
    EXPECT_TRUE(conduit_.watcher().Boxes().empty());
}

struct FailureCase {
    long code;
    HRESULT result;
    const char* message;
};

class RegistrationFailure : public Registration, public testing::WithParamInterface<FailureCase> {};

TEST_P(RegistrationFailure, StopsAtTheFailingCallAndShowsItsMessage) {
    const testsupport::DebugOutput debugOutput;
    desktop_.FailEntry("CmInstallCreator", GetParam().code);
    const testsupport::HostWindow host;
    ASSERT_NE(host.get(), nullptr);
    EXPECT_EQ(Register(), GetParam().result);
    EXPECT_TRUE(IsWindowEnabled(host.get()));
    EXPECT_EQ(ManagerCalls(desktop_),
              std::vector<std::string>{"CmInstallCreator(\"tVan\", 1) = " + std::to_string(GetParam().code)});
    EXPECT_EQ(desktop_.RefreshCount(), 0u);
    const auto boxes = conduit_.watcher().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, GetParam().message);
    EXPECT_EQ(boxes[0].buttons, 1);
    // The registration tool's window takes no input while the box is up.
    EXPECT_EQ(boxes[0].enabledNeighbours, 0);
    // What the export caught is on the debug output, for a debug-output viewer.
    EXPECT_EQ(debugOutput.LinesWith("Tolvane: "),
              std::vector<std::string>{"Tolvane: DllRegisterServer caught kiv::EPalmSyncError: " +
                                       std::string(GetParam().message)});
}

// A positive code would read as success to every registration tool.
INSTANTIATE_TEST_SUITE_P(
    Codes, RegistrationFailure,
    testing::Values(FailureCase{-1005, static_cast<HRESULT>(-1005),
                                "Error -1005 :The creator ID that you specified to use as a new creator ID in the "
                                "configuration entries is already in use."},
                    FailureCase{16392, E_FAIL, "Error 16392 :"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.code < 0 ? "negative" : "positive"; });

TEST_F(Registration, AFailingSetterEndsTheSequenceThere) {
    desktop_.FailEntry("CmSetCreatorDirectory", -1008);
    EXPECT_EQ(Register(), static_cast<HRESULT>(-1008));
    const auto calls = ManagerCalls(desktop_);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls.back(), "CmSetCreatorDirectory(\"tVan\", \"Tolvane\") = -1008");
}

TEST_F(Registration, UnregisteringDeletesEveryUsersConduitFolderAndTheEntry) {
    ASSERT_EQ(Register(), S_OK);
    const std::string ann = UserWithConduitFolder(1, "Ann");
    const std::string bob = UserWithConduitFolder(2, "Bob");
    const std::string annOther = desktop_.CorePath() + "\\Ann\\Other";
    CreateDirectoryA(annOther.c_str(), nullptr);
    EXPECT_EQ(Unregister(), S_OK);
    EXPECT_FALSE(PathExists(ann));
    EXPECT_FALSE(PathExists(bob));
    EXPECT_TRUE(PathExists(annOther));  // only the conduit's own folder goes
    EXPECT_FALSE(desktop_.Conduit("tVan").has_value());
    EXPECT_EQ(desktop_.RefreshCount(), 2u);
}

TEST_F(Registration, AUserWhoseFolderCannotBeFoundIsSkipped) {
    ASSERT_EQ(Register(), S_OK);
    const std::string ann = UserWithConduitFolder(1, "Ann");
    const std::string bob = UserWithConduitFolder(2, "Bob");
    // A folder name too long for the conduit's buffer makes the lookup of the
    // first user fail (the library answers "buffer too small").
    desktop_.Edit().users.front().folder = std::string(300, 'A');
    desktop_.Save();
    EXPECT_EQ(Unregister(), S_OK);
    EXPECT_TRUE(PathExists(ann));
    EXPECT_FALSE(PathExists(bob));
}

TEST_F(Registration, AnUnsafeConduitFolderNameDeletesNothing) {
    ASSERT_EQ(Register(), S_OK);
    const std::string ann = UserWithConduitFolder(1, "Ann");
    for (const char* unsafe : {"", "..", "..\\..", "C:\\"}) {
        SCOPED_TRACE(unsafe);
        // The entry's folder name is what the removal reads back.
        const std::string ini = desktop_.Folder() + "\\conduits.ini";
        WritePrivateProfileStringA("tVan", "Directory", unsafe, ini.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
        EXPECT_EQ(Unregister(), S_OK);
        EXPECT_TRUE(PathExists(ann));
        EXPECT_TRUE(PathExists(desktop_.CorePath() + "\\Ann"));
        ASSERT_EQ(Register(), S_OK);
    }
}

TEST_F(Registration, AFailedRemovalReturnsFailureWithoutARefresh) {
    EXPECT_EQ(Unregister(), E_FAIL);  // never registered: nothing to remove
    EXPECT_EQ(desktop_.RefreshCount(), 0u);
    EXPECT_TRUE(conduit_.watcher().Boxes().empty());
}

TEST(RegistrationTool, WinesRegsvr32RegistersAndRemovesTheConduit) {
    DesktopLayout desktop(DesktopLayout::TempFolder("regsvr"));
    const std::string conduit = testsupport::PlaceConduit(desktop.Folder() + "\\conduit");
    auto run = [](const std::string& commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string command = commandLine;
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return static_cast<DWORD>(-1);
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    };
    EXPECT_EQ(run("regsvr32.exe /s \"" + conduit + "\""), 0u);
    const auto entry = desktop.Conduit("tVan");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->name, conduit);
    EXPECT_EQ(run("regsvr32.exe /s /u \"" + conduit + "\""), 0u);
    EXPECT_FALSE(desktop.Conduit("tVan").has_value());
}

}  // namespace
