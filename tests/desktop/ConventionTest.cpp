// Both builds of the stand-ins: each entry is called through a probe that
// measures how many bytes of arguments the callee removed from the stack,
// which tells stdcall (all of them) from cdecl (none) for certain; the
// results show that the entries work in either build. And the builds that
// lack one entry lack exactly that one.
#include <cstdint>

#include "StandInFixture.h"

using namespace standin_test;
using desktop::FourCC;

// long ProbeCall(fn, args, count, &popped): pushes count 32-bit arguments
// (args[0] last, so that it lies lowest), calls fn and reports how far the
// stack pointer moved up during the call.
extern "C" long __cdecl ProbeCall(const void* fn, const std::uint32_t* args, int count, int* popped);
asm(R"(
    .text
    .globl _ProbeCall
_ProbeCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  movl %esp, %ebx
    call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    leal -8(%ebp), %esp
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

std::uint32_t Arg(const void* p) { return std::uint32_t(reinterpret_cast<std::uintptr_t>(p)); }

struct Probe {
    long result;
    int popped;
};

enum class Convention { Stdcall, Cdecl };

struct LibraryConvention {
    const char* file;
    Convention normal;
};

const LibraryConvention kLibraries[] = {
    {"userdata.dll", Convention::Stdcall}, {"CONDMGR.DLL", Convention::Stdcall}, {"hsapi.dll", Convention::Stdcall},
    {"VFSAPI.dll", Convention::Cdecl},     {"hslog20.dll", Convention::Cdecl},   {"sync20.dll", Convention::Cdecl},
};

}  // namespace

class ConventionTest : public StandInTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        desktop::LayoutOptions options;
        options.swapped = GetParam();
        Layout(options);
        Desktop().AddUser(1001, "Alice", "Alice");
        Desktop().AddVolume(2, FourCC("sdig"));
    }
    Probe Call(const char* file, const char* entry, std::initializer_list<std::uint32_t> args) {
        Probe probe{0, -1};
        const void* fn = reinterpret_cast<const void*>(GetProcAddress(Module(file), entry));
        EXPECT_NE(fn, nullptr) << entry;
        if (fn) probe.result = ProbeCall(fn, args.begin(), int(args.size()), &probe.popped);
        return probe;
    }
    int Expected(const char* file, std::size_t arguments) {
        for (const auto& library : kLibraries) {
            if (std::string(library.file) != file) continue;
            const bool stdcall = (library.normal == Convention::Stdcall) != GetParam();
            return stdcall ? int(4 * arguments) : 0;
        }
        ADD_FAILURE() << "no convention for " << file;
        return -1;
    }
};

TEST_P(ConventionTest, EveryCalledEntryRemovesItsArgumentsAsItsBuildSays) {
    unsigned long id = 0;
    char buffer[256] = {};
    short shortSize = 255;
    long longSize = 255;
    unsigned short count = 0;
    struct Case {
        const char* file;
        const char* entry;
        std::initializer_list<std::uint32_t> args;
        long result;
    };
    const std::string source = desktop::JoinPath(Desktop().Folder(), "desktop.ini");
    const Case cases[] = {
        {"userdata.dll", "UmGetUserID", {0, Arg(&id)}, 0},
        {"userdata.dll", "UmGetUserDirectory", {1001, Arg(buffer), Arg(&shortSize)}, 0},
        {"CONDMGR.DLL", "CmInstallCreator", {Arg("tVan"), 1}, 0},
        {"CONDMGR.DLL", "CmSetCreatorPriority", {Arg("tVan"), 2}, 0},
        {"CONDMGR.DLL", "CmGetCorePath", {Arg(buffer), Arg(&longSize)}, 0},
        {"CONDMGR.DLL", "CmRemoveConduitByCreatorID", {Arg("tVan")}, 1},
        {"VFSAPI.dll", "VFSVolumeEnumerate", {Arg(&count), 0}, 0},
        {"VFSAPI.dll", "VFSDirCreate", {2, Arg("/Palm")}, 0},
        {"VFSAPI.dll", "VFSFilePut", {2, Arg("/Palm/d.ini"), Arg(source.c_str())}, 0},
        {"hslog20.dll", "LogAddEntry", {Arg("entry"), 22, 0}, 0},
        {"sync20.dll", "SyncYieldCycles", {1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const Probe probe = Call(c.file, c.entry, c.args);
        EXPECT_EQ(probe.result, c.result);
        EXPECT_EQ(probe.popped, Expected(c.file, c.args.size()));
    }
    EXPECT_EQ(id, 1001u);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Desktop().HotSyncLog(1001).size() + Desktop().DesktopLog().size(), 1u);
    EXPECT_EQ(short(Call("userdata.dll", "UmGetUserCount", {}).result), 1);
    EXPECT_EQ(Call("hsapi.dll", "HsRefreshConduitInfo", {}).result, 0);
    EXPECT_EQ(Desktop().RefreshCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Builds, ConventionTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Swapped" : "Normal"; });

TEST_F(StandInTest, LackingBuildsLackExactlyTheirEntry) {
    const struct {
        const char* file;
        const char* entry;
        const char* neighbour;
    } cases[] = {
        {"sync20.dll", "SyncLoopBackTest", "SyncCloseDBEx"},
        {"VFSAPI.dll", "VFSVolumeInfo", "VFSVolumeEnumerate"},
        {"hsapi.dll", "HsDisplayCustomDlg", "HsRefreshConduitInfo"},
        {"userdata.dll", "UmSlotGetDisplayName", "UmSlotGetMediaType"},
        {"hslog20.dll", "LogAddEntry", "LogInit"},
        {"CONDMGR.DLL", "CmGetCorePath", "CmGetCreatorDirectory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        desktop::LayoutOptions options;
        options.lackingEntry = c.entry;
        Layout(options);
        EXPECT_EQ(GetProcAddress(Module(c.file), c.entry), nullptr);
        EXPECT_NE(GetProcAddress(Module(c.file), c.neighbour), nullptr);
        // The other libraries of that desktop are the complete ones.
        EXPECT_NE(GetProcAddress(Module("sync20.dll"), "SyncYieldCycles"), nullptr);
    }
    desktop::LayoutOptions both;
    both.swapped = true;
    both.lackingEntry = "LogAddEntry";
    EXPECT_THROW(Layout(both), std::invalid_argument);
}
