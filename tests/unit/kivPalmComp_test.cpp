// The conduit component and the Conduit API exports, with the HotSync log
// and the Sync Manager replaced by doubles that record what they are given.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <iterator>
#include <string>
#include <vector>

#include "conduit/kivExportGuard.h"
#include "rtl/Diagnostics.h"
#include "conduit/kivExports.h"
#include "conduit/kivPalmComp.h"
#include "conduit/kivPalmSyncError.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivSyncMgr.h"
#include "tests/unit/PalmDoubles.h"

namespace {

using kiv::TkivPalmComponent;
using testing_palm::CallLog;
using testing_palm::EntryOverride;

extern "C" long __cdecl FakeLogAddEntry(const char* text, long activity, long timestamp) {
    CallLog().push_back("log " + std::string(text) + " " + std::to_string(activity) + " " + std::to_string(timestamp));
    return 0;
}

extern "C" long __stdcall FakeSyncYieldCycles(unsigned short cycles) {
    CallLog().push_back("yield " + std::to_string(cycles));
    return 0;
}

extern "C" void __cdecl RecordProgress(const char* text) { CallLog().push_back("progress " + std::string(text)); }

class PalmComponentTest : public testing::Test {
protected:
    PalmComponentTest() { CallLog().clear(); }
    EntryOverride<palm::hslog::eLogAddEntry> log_{&FakeLogAddEntry};
    EntryOverride<palm::syncmgr::eSyncYieldCycles> yield_{&FakeSyncYieldCycles};
    TkivPalmComponent palm_{nullptr};
};

class CustomAbort : public rtl::EAbort {
public:
    CustomAbort() : EAbort("custom") {}
};

TEST_F(PalmComponentTest, DefaultsAfterConstruction) {
    EXPECT_EQ(palm_.Version(), 0x0100);
    EXPECT_EQ(palm_.ConduitVersion(), "1.0");
    EXPECT_EQ(palm_.Priority(), 2);
    EXPECT_EQ(palm_.Directory(), "Default");
    EXPECT_EQ(palm_.CreatorID(), "STRT");
    EXPECT_EQ(palm_.ConduitName(), "");
}

TEST_F(PalmComponentTest, VersionTextRoundTripsAndBadTextsKeepTheOldValue) {
    palm_.SetConduitVersion("0.3");
    EXPECT_EQ(palm_.Version(), 3);
    EXPECT_EQ(palm_.ConduitVersion(), "0.3");
    palm_.SetConduitVersion("2.10");
    EXPECT_EQ(palm_.Version(), 0x020A);
    EXPECT_EQ(palm_.ConduitVersion(), "2.10");
    for (const char* bad : {"3", ".3", "3.", "1.2.3", "a.1", "1.b", "256.0", "0.256", "-1.0", " 1.0", "1.0 ", ""}) {
        SCOPED_TRACE(bad);
        try {
            palm_.SetConduitVersion(bad);
            ADD_FAILURE() << "accepted";
        } catch (const kiv::ERegisterError& e) {
            EXPECT_STREQ(e.what(), "The specified version string was invalid");
        }
        EXPECT_EQ(palm_.Version(), 0x020A);
    }
}

TEST_F(PalmComponentTest, PriorityAndCreatorIdRules) {
    palm_.SetPriority(0);
    palm_.SetPriority(4);
    EXPECT_EQ(palm_.Priority(), 4);
    for (int bad : {-1, 5}) {
        try {
            palm_.SetPriority(bad);
            ADD_FAILURE() << bad;
        } catch (const kiv::ERegisterError& e) {
            EXPECT_STREQ(e.what(), "The priority must be in the range 0 to 4");
        }
    }
    EXPECT_EQ(palm_.Priority(), 4);
    palm_.SetCreatorID("a\x01 ?");  // any four characters
    for (const char* bad : {"abc", "abcde"}) {
        try {
            palm_.SetCreatorID(bad);
            ADD_FAILURE() << bad;
        } catch (const kiv::ERegisterError& e) {
            EXPECT_STREQ(e.what(), "The Creator ID must be four characters long");
        }
    }
    EXPECT_EQ(palm_.CreatorID(), "a\x01 ?");
}

TEST_F(PalmComponentTest, ShowStatusOutsideARunOnlyStoresTheText) {
    palm_.ShowStatus("one");
    EXPECT_EQ(palm_.StatusText(), "one");
    EXPECT_TRUE(CallLog().empty());
}

TEST_F(PalmComponentTest, ClosingEntriesFollowOnlyAStartEntry) {
    palm_.SetConduitName("Tolvane");
    palm_.ExecConduit({});  // no handler: nothing at all
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties&) { palm_.AddLogEntry("go", kiv::slSyncStarted, true); };
    palm_.ExecConduit({});
    EXPECT_FALSE(palm_.SyncStarted());
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties&) { palm_.AddLogEntry("plain", kiv::slText, false); };
    palm_.ExecConduit({});
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"log go 19 -1", "log Tolvane 20 0", "log plain -1 0"}));
}

TEST_F(PalmComponentTest, FailuresAfterAStartEntryCloseItUnlessSilentlyAborted) {
    palm_.SetConduitName("T");
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties&) {
        palm_.AddLogEntry("s", kiv::slSyncStarted, false);
        throw kiv::EPalmSyncError(-1003);
    };
    EXPECT_THROW(palm_.ExecConduit({}), kiv::EPalmSyncError);
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties&) {
        palm_.AddLogEntry("s", kiv::slSyncStarted, false);
        throw CustomAbort();  // derived from the silent abort: still a failure
    };
    EXPECT_THROW(palm_.ExecConduit({}), CustomAbort);
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties&) {
        palm_.AddLogEntry("s", kiv::slSyncStarted, false);
        throw rtl::EAbort();
    };
    EXPECT_THROW(palm_.ExecConduit({}), rtl::EAbort);
    EXPECT_TRUE(palm_.SyncStarted());
    palm_.OnExecConduit = [](const kiv::TkivSyncProperties&) { throw 42; };  // not of the family: untouched
    EXPECT_THROW(palm_.ExecConduit({}), int);
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"log s 19 0", "log T 21 0", "log s 19 0", "log T 21 0",
                                                   "log s 19 0"}));
}

// --- exports --------------------------------------------------------------

kiv::TkivConduitRequestInfo Request(uint32_t version = 1, uint32_t size = 80) {
    kiv::TkivConduitRequestInfo request{};
    request.InfoVersion = version;
    request.InfoSize = size;
    return request;
}

TEST(ConduitApiWithoutComponent, EveryCallAnswersWithItsMissingComponentCode) {
    char name[16] = "unchanged";
    unsigned long size = sizeof name;
    auto request = Request();
    kiv::TkivSyncProperties props{};
    kiv::TkivCfgConduitInfo info{};
    unsigned long infoSize = sizeof info;
    kiv::TkivSyncPreference pref{};
    EXPECT_EQ(GetConduitName(name, sizeof name), -1);
    EXPECT_EQ(GetConduitVersion(), 0u);
    EXPECT_EQ(GetConduitInfo(0, &request, name, &size), 1);
    EXPECT_EQ(OpenConduit(nullptr, &props), -1);
    EXPECT_EQ(CfgConduit(0, &info, &infoSize), -1);
    EXPECT_EQ(ConfigureConduit(&pref), -1);
    EXPECT_EQ(DllRegisterServer(), S_FALSE);
    EXPECT_EQ(DllUnregisterServer(), E_FAIL);
    EXPECT_STREQ(name, "unchanged");
}

// What each export answers for each kind of escape, written out here rather
// than read from the boundary's table, so that a wrong row or a catch in the
// wrong order shows.
struct EscapeCase {
    kiv::ExportId id;
    long noComponent;
    long positivePalmError;  // EPalmSyncError(7)
    long negativePalmError;  // EPalmSyncError(-1005)
    long other;              // anything else, ours or not
};

TEST(ExportBoundary, EveryEscapeBecomesThatExportsAnswer) {
    const EscapeCase cases[] = {
        {kiv::ExportId::GetConduitName, -1, -1, -1, -1},
        {kiv::ExportId::GetConduitVersion, 0, 0, 0, 0},
        {kiv::ExportId::GetConduitInfo, 1, -1, -1, -1},
        {kiv::ExportId::OpenConduit, -1, 7, -1005, -1},
        {kiv::ExportId::ConfigureConduit, -1, -1, -1, -1},
        {kiv::ExportId::CfgConduit, -1, -1, -1, -1},
        {kiv::ExportId::DllRegisterServer, S_FALSE, E_FAIL, -1005, E_FAIL},
        {kiv::ExportId::DllUnregisterServer, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
    };
    ASSERT_EQ(std::size(cases), static_cast<size_t>(kiv::ExportId::Count));
    for (const EscapeCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.id));
        const auto run = [&](auto thrower) { return kiv::RunExport<long>(c.id, [&]() -> long { thrower(); return 42; }); };
        EXPECT_EQ(run([] {}), 42);
        EXPECT_EQ(run([] { throw kiv::ENoComponent(); }), c.noComponent);
        EXPECT_EQ(run([] { throw kiv::EPalmSyncError(7); }), c.positivePalmError);
        EXPECT_EQ(run([] { throw kiv::EPalmSyncError(-1005); }), c.negativePalmError);
        EXPECT_EQ(run([] { throw rtl::Exception("x"); }), c.other);
        EXPECT_EQ(run([] { throw rtl::EAbort(); }), c.other);
        EXPECT_EQ(run([] { throw 3; }), c.other);
    }
}

// The line the boundaries send to the debug output: where, the type as the
// source spells it, and the message when the exception has one.
TEST(ExportBoundary, TheReportNamesWhereTheTypeAndTheMessage) {
    const auto report = [](auto thrower, const char* starting = "") {
        try {
            thrower();
        } catch (...) {
            return rtl::CaughtReport("OpenConduit", starting);
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(report([] { throw std::runtime_error("disk full"); }),
              "Tolvane: OpenConduit caught std::runtime_error: disk full\n");
    EXPECT_EQ(report([] { throw kiv::ENoComponent(); }),
              "Tolvane: OpenConduit caught kiv::ENoComponent: The TkivPalmComponent could not be found\n");
    EXPECT_EQ(report([] { throw rtl::EAbort(); }, "memorycard"),
              "Tolvane: OpenConduit caught rtl::EAbort while starting memorycard: Operation aborted\n");
    EXPECT_EQ(report([] { throw 3; }), "Tolvane: OpenConduit caught int\n");
    EXPECT_EQ(report([] { throw std::bad_alloc(); }), "Tolvane: OpenConduit caught std::bad_alloc: std::bad_alloc\n");
}

class ConduitApiTest : public PalmComponentTest {
protected:
    ConduitApiTest() {
        palm_.SetConduitName("Tolvane");
        palm_.SetConduitVersion("0.3");
    }
};

TEST_F(ConduitApiTest, NameIsCutToTheBufferAndNeverWrittenPastIt) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetConduitName(buffer + 2, 4), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("##Tol\0##", 8));
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetConduitName(buffer + 2, 0), -1);
    EXPECT_EQ(std::string(buffer, 8), "########");
    EXPECT_EQ(GetConduitName(nullptr, 4), -1);
    EXPECT_EQ(GetConduitVersion(), 3u);
}

TEST_F(ConduitApiTest, InfoTypeZeroChecksTheRequestAndKeepsTheSize) {
    char out[256];
    unsigned long size = sizeof out;
    auto request = Request();
    EXPECT_EQ(GetConduitInfo(0, &request, out, &size), 0);
    EXPECT_STREQ(out, "Tolvane");
    EXPECT_EQ(size, 256u);
    std::memset(out, '#', sizeof out);
    auto v2 = Request(2);
    auto short79 = Request(1, 79);
    EXPECT_EQ(GetConduitInfo(0, &v2, out, &size), 4213);
    EXPECT_EQ(GetConduitInfo(0, &short79, out, &size), 4213);
    EXPECT_EQ(GetConduitInfo(0, nullptr, out, &size), 4212);
    size = 0;
    EXPECT_EQ(GetConduitInfo(0, &request, out, &size), 4211);
    EXPECT_EQ(out[0], '#');
    size = 3;
    EXPECT_EQ(GetConduitInfo(0, &request, out, &size), 0);
    EXPECT_EQ(std::string(out, 4), std::string("To\0#", 4));
}

TEST_F(ConduitApiTest, InfoTypesOneTwoAndOthers) {
    uint32_t out[2] = {0xAAAAAAAA, 0xBBBBBBBB};
    unsigned long size = 4;
    EXPECT_EQ(GetConduitInfo(1, nullptr, out, &size), 0);
    EXPECT_EQ(out[0], 0x10000000u);
    EXPECT_EQ(GetConduitInfo(2, nullptr, out, &size), 0);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 0xBBBBBBBBu);
    size = 8;
    EXPECT_EQ(GetConduitInfo(1, nullptr, out, &size), 4211);
    EXPECT_EQ(GetConduitInfo(2, nullptr, out, &size), 4211);
    EXPECT_EQ(GetConduitInfo(3, nullptr, out, &size), 4208);
    EXPECT_EQ(GetConduitInfo(-1, nullptr, out, &size), 4208);
    EXPECT_EQ(GetConduitInfo(1, nullptr, nullptr, nullptr), 4209);  // Out is tested first
    EXPECT_EQ(GetConduitInfo(1, nullptr, out, nullptr), 4215);
}

TEST_F(ConduitApiTest, OpenConduitPassesStatusToTheHostOnlyDuringTheCall) {
    kiv::TkivSyncProperties props{};
    std::strcpy(props.PathName, "C:\\Palm\\User1\\");
    std::string seenPath;
    palm_.OnExecConduit = [&](const kiv::TkivSyncProperties& p) {
        seenPath = p.PathName;
        palm_.ShowStatus("Installing a.pdb to /Palm/Launcher");
    };
    EXPECT_EQ(OpenConduit(&RecordProgress, &props), 0);
    EXPECT_EQ(seenPath, "C:\\Palm\\User1\\");
    EXPECT_EQ(palm_.GetProgressCallback(), nullptr);
    palm_.ShowStatus("after");
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"progress Installing a.pdb to /Palm/Launcher", "yield 1"}));
}

TEST_F(ConduitApiTest, OpenConduitTurnsExceptionsIntoCodes) {
    kiv::TkivSyncProperties props{};
    palm_.OnExecConduit = [](const kiv::TkivSyncProperties&) { throw kiv::EPalmSyncError(-1003); };
    EXPECT_EQ(OpenConduit(&RecordProgress, &props), -1003);
    EXPECT_EQ(palm_.GetProgressCallback(), nullptr);
    palm_.OnExecConduit = [](const kiv::TkivSyncProperties&) { throw rtl::Exception("x"); };
    EXPECT_EQ(OpenConduit(&RecordProgress, &props), -1);
    palm_.OnExecConduit = [](const kiv::TkivSyncProperties&) { throw std::string("not ours"); };
    EXPECT_EQ(OpenConduit(&RecordProgress, &props), -1);
    EXPECT_EQ(OpenConduit(&RecordProgress, nullptr), -1);
    palm_.OnExecConduit = nullptr;
    EXPECT_EQ(OpenConduit(&RecordProgress, &props), 0);
    EXPECT_TRUE(CallLog().empty());
}

TEST_F(ConduitApiTest, CfgConduitChecksItsArgumentsInOrder) {
    kiv::TkivCfgConduitInfo info{};
    int calls = 0;
    palm_.OnConfigConduit = [&](kiv::TkivCfgConduitInfo& d) {
        ++calls;
        d.SyncNew = 3;
        d.SyncPref = 1;
    };
    unsigned long size = 352;
    EXPECT_EQ(CfgConduit(1, &info, &size), 4219);
    size = 351;
    EXPECT_EQ(CfgConduit(1, &info, &size), 4218);
    EXPECT_EQ(CfgConduit(0, &info, nullptr), 4216);
    EXPECT_EQ(CfgConduit(0, nullptr, nullptr), 4212);
    EXPECT_EQ(calls, 0);
    size = 352;
    EXPECT_EQ(CfgConduit(0, &info, &size), 0);
    EXPECT_EQ(info.SyncNew, 3);
    EXPECT_EQ(info.SyncPref, 1);
}

TEST_F(ConduitApiTest, CfgConduitKeepsWhatTheHandlerWroteBeforeFailing) {
    kiv::TkivCfgConduitInfo info{};
    unsigned long size = 352;
    palm_.OnConfigConduit = [](kiv::TkivCfgConduitInfo& d) {
        d.SyncNew = 6;
        throw rtl::Exception("failed");
    };
    EXPECT_EQ(CfgConduit(0, &info, &size), -1);
    EXPECT_EQ(info.SyncNew, 6);
}

TEST_F(ConduitApiTest, ConfigureConduitBuildsTheRecordAndHandsTheChoiceBack) {
    palm_.SetCreatorID("tVan");
    kiv::TkivSyncPreference pref{};
    std::strcpy(pref.PathName, "C:\\Palm\\User1");
    pref.SyncPref = 2;
    pref.SyncType = 6;
    kiv::TkivCfgConduitInfo seen{};
    palm_.OnConfigConduit = [&](kiv::TkivCfgConduitInfo& d) {
        seen = d;
        d.SyncNew = 3;
        d.SyncPref = 1;
    };
    EXPECT_EQ(ConfigureConduit(&pref), 0);
    EXPECT_EQ(seen.InfoVersion, 0xFFFFFFFFu);
    EXPECT_EQ(seen.InfoSize, 352u);
    EXPECT_EQ(seen.CreatorCode, 0x6E615674u);  // "tVan" as it lies in memory
    EXPECT_EQ(seen.UserID, 0u);
    EXPECT_STREQ(seen.PathName, "C:\\Palm\\User1");
    EXPECT_EQ(seen.SyncPermanent, 6);
    EXPECT_EQ(seen.SyncTemporary, 6);
    EXPECT_EQ(seen.SyncPref, 2);
    EXPECT_EQ(pref.SyncType, 3);
    EXPECT_EQ(pref.SyncPref, 1);
}

TEST_F(ConduitApiTest, ConfigureConduitKeepsTheActionWhenNothingIsChosen) {
    kiv::TkivSyncPreference pref{};
    pref.SyncPref = 2;
    pref.SyncType = 6;
    palm_.OnConfigConduit = [](kiv::TkivCfgConduitInfo&) {};
    EXPECT_EQ(ConfigureConduit(&pref), 0);
    EXPECT_EQ(pref.SyncType, 6);  // not reset to "synchronise the files"
    EXPECT_EQ(pref.SyncPref, 2);
    palm_.OnConfigConduit = [](kiv::TkivCfgConduitInfo& d) {
        d.SyncNew = 0;
        d.SyncPref = 1;
        throw rtl::Exception("x");
    };
    EXPECT_EQ(ConfigureConduit(&pref), -1);
    EXPECT_EQ(pref.SyncType, 6);
    EXPECT_EQ(pref.SyncPref, 2);
    EXPECT_EQ(ConfigureConduit(nullptr), -1);
}

TEST_F(ConduitApiTest, SelfRegistrationStubsOfferNoClasses) {
    void* object = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(DllGetClassObject(GUID{}, GUID{}, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace

namespace {

extern "C" long __stdcall FakeCmRemove(const char* creator) {
    CallLog().push_back("remove " + std::string(creator));
    return 1;
}
extern "C" long __stdcall FakeCmGetCorePath(char*, long*) {
    CallLog().push_back("core path");
    return 0;
}
extern "C" long __stdcall FakeRefresh() {
    CallLog().push_back("refresh");
    return 0;
}

TEST_F(PalmComponentTest, AHandlerThatClearsRemoveDirsKeepsTheFoldersButStillUnregisters) {
    EntryOverride<palm::condmgr::eCmRemoveConduitByCreatorID> remove{&FakeCmRemove};
    EntryOverride<palm::condmgr::eCmGetCorePath> core{&FakeCmGetCorePath};
    EntryOverride<palm::hsapi::eHsRefreshConduitInfo> refresh{&FakeRefresh};
    palm_.SetCreatorID("tVan");
    rtl::TComponent* seenSender = nullptr;
    palm_.OnUnregisterConduit = [&](rtl::TComponent* sender, bool& removeDirs) {
        seenSender = sender;
        EXPECT_TRUE(removeDirs);
        removeDirs = false;
    };
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(seenSender, &palm_);
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"remove tVan", "refresh"}));
    palm_.OnUnregisterConduit = nullptr;
    CallLog().clear();
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(CallLog().front(), "core path");
}

TEST_F(PalmComponentTest, RegistrationLetsItsHandlerChangeThePropertiesFirst) {
    palm_.OnRegisterConduit = [&](rtl::TComponent*) { palm_.SetCreatorID("abc"); };
    EXPECT_THROW(palm_.RegisterConduit(), kiv::ERegisterError);
    palm_.OnRegisterConduit = [](rtl::TComponent*) { throw rtl::Exception("refused"); };
    EXPECT_EQ(DllRegisterServer(), E_FAIL);  // not a Palm error: no message, E_FAIL
}

}  // namespace
