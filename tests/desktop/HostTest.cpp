// The stand-in HotSync Manager against the probe conduit: what the host
// hands over (the user's folder with and without the final backslash, the
// user, the creator code, the current action) and what it prints back.
#include "StandInFixture.h"
#include "desktop/Files.h"

using namespace standin_test;

namespace {

struct ProgramRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<std::string> lines;
    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

ProgramRun RunProgram(std::string command) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    desktop::UniqueFile reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return run;
    desktop::UniqueFile processHandle(process.hProcess), threadHandle(process.hThread);
    writer.reset();
    std::string output;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &run.exitCode);
    std::size_t start = 0;
    while (start < output.size()) {
        auto end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.lines.push_back(line);
        start = end + 1;
    }
    return run;
}

std::string Joined(const ProgramRun& run) {
    std::string text;
    for (const auto& line : run.lines) text += line + "\n";
    return text;
}

}  // namespace

class HostTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        userFolder = Desktop().AddUser(1001, "Alice", "Alice");
        const std::string conduits = desktop::JoinPath(Desktop().Folder(), "Conduit");
        ASSERT_TRUE(desktop::CreateDirectories(conduits));
        probe = desktop::JoinPath(conduits, "probe-conduit.dll");
        ASSERT_TRUE(desktop::CopyOneFile(
            desktop::JoinPath(desktop::DesktopLayout::ProgramFolder(), "probe-conduit.dll"), probe));
        ASSERT_EQ(Registration("DllRegisterServer"), S_OK);
    }
    HRESULT Registration(const char* entry) {
        desktop::UniqueModule module(LoadLibraryA(probe.c_str()));
        auto fn = reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(module.get(), entry)));
        return fn ? fn() : E_FAIL;
    }
    ProgramRun Host(const std::string& arguments) { return RunProgram("\"" + Desktop().HostPath() + "\" " + arguments); }
    std::string userFolder, probe;
};

TEST_F(HostTest, ListShowsTheRegisteredConduitUntilItIsRemoved) {
    ProgramRun run = Host("list");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.Has("pRob  type 1  priority 3  title \"Probe\"  directory \"Probe\"")) << Joined(run);
    EXPECT_TRUE(run.Has("      name " + probe)) << Joined(run);
    ASSERT_EQ(Registration("DllUnregisterServer"), S_OK);
    run = Host("list");
    EXPECT_TRUE(run.Has("no conduit registered")) << Joined(run);
    EXPECT_EQ(Registration("DllUnregisterServer"), E_FAIL);
}

TEST_F(HostTest, SyncHandsTheUsersFolderAndPrintsProgressResultAndLog) {
    const ProgramRun run = Host("sync alice");
    EXPECT_EQ(run.exitCode, 0u) << Joined(run);
    const std::string path = userFolder + "\\";
    EXPECT_TRUE(run.Has("progress: probe: PathName " + path)) << Joined(run);
    EXPECT_TRUE(run.Has("  GetConduitVersion: 1.2")) << Joined(run);
    EXPECT_TRUE(run.Has("  OpenConduit returned 0")) << Joined(run);
    ASSERT_TRUE(run.Has("HotSync log of Alice:")) << Joined(run);
    EXPECT_EQ(run.lines.back(), "  [-1 text] probe: PathName " + path) << Joined(run);
    EXPECT_EQ(Desktop().HotSyncLog(1001), std::vector<std::string>{"[-1 text] probe: PathName " + path});
    // The HotSync is over: later entries no longer go to Alice's log.
    const auto after = desktop::Description::FromIni(
        desktop::IniDocument::Load(desktop::JoinPath(Desktop().Folder(), desktop::kDescriptionFile)));
    EXPECT_FALSE(after.syncUser);
}

TEST_F(HostTest, ConfigureHandsTheRecordsAndPrintsWhatComesBack) {
    ProgramRun run = Host("configure Alice --action 6");
    EXPECT_EQ(run.exitCode, 0u) << Joined(run);
    EXPECT_TRUE(run.Has("  CfgConduit returned 0; action 3 (desktop overwrites handheld), preference 1 (permanent)"))
        << Joined(run);
    run = Host("configure 1001 --pref --action 3");
    EXPECT_EQ(run.exitCode, 0u) << Joined(run);
    EXPECT_TRUE(
        run.Has("  ConfigureConduit returned 0; action 2 (handheld overwrites desktop), preference 2 (next HotSync only)"))
        << Joined(run);
    const std::vector<std::string> seen = {
        "[-1 text] probe: CfgConduit size 352 creator 0x70526F62 user 1001 name Alice path " + userFolder +
            " permanent 6 temporary 6",
        "[-1 text] probe: ConfigureConduit path " + userFolder + " pref 1 type 3",
    };
    EXPECT_EQ(Desktop().DesktopLog(), seen);
}

TEST_F(HostTest, FailuresShowInTheExitCode) {
    EXPECT_EQ(Host("sync nobody").exitCode, 1u);
    EXPECT_EQ(Host("dance").exitCode, 1u);
    desktop::ConduitRegistry registry(desktop::JoinPath(Desktop().Folder(), desktop::kConduitFile));
    ASSERT_EQ(registry.Install("miss", 1), 0);
    ASSERT_EQ(registry.SetText("miss", desktop::ConduitField::Name, "C:\\nowhere\\missing.dll"), 0);
    ASSERT_TRUE(registry.Save());
    const ProgramRun run = Host("sync Alice");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(run.Has("  OpenConduit returned 0")) << "the loadable conduit still runs\n" << Joined(run);
}

TEST(DesktopSetup, LaysOutTheDemoDesktopAndRegistersItsHost) {
    const auto previous = desktop::DesktopLayout::RegisteredHost();
    const std::string folder = desktop::DesktopLayout::TempFolder("setup");
    const std::string setup = desktop::JoinPath(desktop::DesktopLayout::ProgramFolder(), "desktop-setup.exe");
    const ProgramRun run = RunProgram("\"" + setup + "\" \"" + folder + "\" --lacking SyncLoopBackTest");
    EXPECT_EQ(run.exitCode, 0u) << Joined(run);
    EXPECT_EQ(desktop::DesktopLayout::RegisteredHost(), desktop::JoinPath(folder, "hotsync.exe"));
    const desktop::Desktop laidOut = desktop::Desktop::Load(folder);
    ASSERT_EQ(laidOut.description.users.size(), 2u);
    EXPECT_EQ(laidOut.description.users[0].name, "Alice");
    ASSERT_EQ(laidOut.description.volumes.size(), 1u);
    EXPECT_TRUE(desktop::DirectoryExists(laidOut.VolumeFolder(laidOut.description.volumes[0])));
    EXPECT_TRUE(desktop::DirectoryExists(laidOut.UserFolder(laidOut.description.users[1])));
    {
        desktop::UniqueModule sync(LoadLibraryA(desktop::JoinPath(folder, "sync20.dll").c_str()));
        ASSERT_TRUE(sync);
        EXPECT_EQ(GetProcAddress(sync.get(), "SyncLoopBackTest"), nullptr);
        EXPECT_NE(GetProcAddress(sync.get(), "SyncYieldCycles"), nullptr);
    }
    EXPECT_EQ(RunProgram("\"" + setup + "\" \"" + folder + "\" --swapped --lacking LogAddEntry").exitCode, 2u);
    desktop::RemoveTree(folder);
    if (previous) desktop::DesktopLayout::SetRegisteredHost(*previous);
    else desktop::DesktopLayout::RemoveRegisteredHost();
}
