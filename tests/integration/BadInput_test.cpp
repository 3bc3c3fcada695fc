// Bad input at every export of the shipped conduit: missing, short and
// garbage arguments, buffers with guard bytes on both sides, sizes of 0 and
// 0xFFFFFFFF within real buffers, texts without their NUL. Every call must
// return a code, write nothing outside its buffers, and leave the conduit
// answering the next call. A declared size larger than the real buffer, or
// a wild pointer, cannot be told by any DLL; no case pretends otherwise.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "tests/integration/ConduitHost.h"
#include "tests/integration/SyncHarness.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace testsupport;

constexpr size_t kGuard = 32;
constexpr uint8_t kGuardByte = 0xFD;

// A buffer of `size` bytes filled with `fill`, between two guard zones.
class Guarded {
public:
    explicit Guarded(size_t size, uint8_t fill = 0xCC) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
        std::memset(data(), fill, size);
    }
    uint8_t* data() noexcept { return bytes_.data() + kGuard; }
    char* text() noexcept { return reinterpret_cast<char*>(data()); }
    size_t size() const noexcept { return size_; }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kGuard; ++i)
            if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
        return true;
    }
    // The buffer's bytes as they are now.
    std::string Contents() const { return std::string(bytes_.begin() + kGuard, bytes_.begin() + kGuard + size_); }

private:
    size_t size_;
    std::vector<uint8_t> bytes_;
};

std::string Filled(size_t count, char c) { return std::string(count, c); }

class BadInput : public testing::Test {
protected:
    BadInput() : harness_("bad"), conduit_(harness_.ConduitPath()) {}
    void SetUp() override { ASSERT_NE(conduit_.module(), nullptr) << conduit_.loadError(); }

    // After every bad call the conduit still answers as it should.
    void ExpectStillWorking() {
        EXPECT_EQ(conduit_.ConduitName(), "Tolvane");
        unsigned long size = 4;
        uint32_t action = 0xFFFFFFFF;
        EXPECT_EQ(conduit_.Get<GetConduitInfoFn>("GetConduitInfo")(2, nullptr, &action, &size), 0);
        EXPECT_EQ(action, 0u);
    }

    SyncHarness harness_;
    LoadedConduit conduit_;
};

struct NameCase {
    size_t real;             // the buffer's real size
    unsigned short length;   // the size the caller declares
    bool null;
    long result;
    const char* written;     // the bytes written, NUL included
};

TEST_F(BadInput, GetConduitNameWritesWithinTheDeclaredLength) {
    const NameCase cases[] = {
        {16, 0, true, -1, ""},        {16, 64, true, -1, ""},     {16, 0, false, -1, ""},
        {16, 1, false, 0, "\0"},      {16, 4, false, 0, "Tol\0"}, {8, 8, false, 0, "Tolvane\0"},
        {7, 7, false, 0, "Tolvan\0"}, {300, 0xFFFF, false, 0, "Tolvane\0"},
    };
    const auto getName = conduit_.Get<GetConduitNameFn>("GetConduitName");
    for (const NameCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "real " << c.real << " length " << c.length << (c.null ? " NULL" : ""));
        Guarded buffer(c.real);
        const long result = getName(c.null ? nullptr : buffer.text(), c.length);
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(buffer.GuardsIntact());
        const size_t count = c.result == 0 ? std::strlen(c.written) + 1 : 0;
        EXPECT_EQ(buffer.Contents(), std::string(c.written, count) + Filled(c.real - count, '\xCC'));
        ExpectStillWorking();
    }
}

struct InfoCase {
    long type;
    int request;  // 0 none, 1 valid, 2 version 2, 3 size 79, 4 random bytes
    bool out;
    bool outSize;
    unsigned long size;
    long result;
    const char* written;  // with its NUL, for results of 0
    size_t writtenSize;
};

TEST_F(BadInput, GetConduitInfoChecksEveryArgumentBeforeWriting) {
    const InfoCase cases[] = {
        {0, 0, false, false, 0, 4209, "", 0},
        {0, 1, true, false, 0, 4215, "", 0},
        {0, 0, true, true, 256, 4212, "", 0},
        {0, 2, true, true, 256, 4213, "", 0},
        {0, 3, true, true, 256, 4213, "", 0},
        {0, 4, true, true, 256, 4213, "", 0},
        {0, 1, true, true, 0, 4211, "", 0},
        {0, 1, true, true, 1, 0, "\0", 1},
        {0, 1, true, true, 3, 0, "To\0", 3},
        {0, 1, true, true, 0xFFFFFFFF, 0, "Tolvane\0", 8},
        {1, 4, true, true, 0, 4211, "", 0},
        {1, 0, true, true, 8, 4211, "", 0},
        {1, 0, true, true, 0xFFFFFFFF, 4211, "", 0},
        {1, 4, true, true, 4, 0, "\x00\x00\x00\x10", 4},
        {2, 0, true, true, 4, 0, "\x00\x00\x00\x00", 4},
        {3, 1, true, true, 4, 4208, "", 0},
        {-1, 1, true, true, 4, 4208, "", 0},
        {0x7FFFFFFF, 0, true, true, 0xFFFFFFFF, 4208, "", 0},
    };
    const auto info = conduit_.Get<GetConduitInfoFn>("GetConduitInfo");
    std::mt19937 random(7);
    for (const InfoCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " request " << c.request << " size " << c.size);
        Guarded request(80, 0);
        Guarded out(64);
        Guarded size(sizeof(unsigned long), 0);
        uint32_t head[2] = {1, 80};
        if (c.request == 2) head[0] = 2;
        if (c.request == 3) head[1] = 79;
        std::memcpy(request.data(), head, sizeof head);
        if (c.request == 4)
            for (size_t i = 0; i < request.size(); ++i) request.data()[i] = static_cast<uint8_t>(random());
        const std::string requestBefore = request.Contents();
        std::memcpy(size.data(), &c.size, sizeof c.size);
        const long result = info(c.type, c.request ? request.data() : nullptr, c.out ? out.data() : nullptr,
                                 c.outSize ? reinterpret_cast<unsigned long*>(size.data()) : nullptr);
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(out.GuardsIntact() && request.GuardsIntact() && size.GuardsIntact());
        EXPECT_EQ(out.Contents(), std::string(c.written, c.writtenSize) + Filled(64 - c.writtenSize, '\xCC'));
        EXPECT_EQ(request.Contents(), requestBefore);
        unsigned long sizeAfter = 0;
        std::memcpy(&sizeAfter, size.data(), sizeof sizeAfter);
        EXPECT_EQ(sizeAfter, c.size);
        ExpectStillWorking();
    }
}

// What no host record can make the conduit do: write into the record, or
// behind it, or stop answering.
TEST_F(BadInput, OpenConduitReadsOnlyTheRecordsPathName) {
    const auto open = conduit_.Get<OpenConduitFn>("OpenConduit");
    EXPECT_EQ(open(nullptr, nullptr), -1);
    ExpectStillWorking();
    std::mt19937 random(11);
    const std::string pathNames[] = {
        Filled(256, 'A'),                                 // no NUL within the field
        Filled(255, '\\'),                                // a root that is all separators
        harness_.UserFolder() + Filled(200, 'x'),         // a folder that does not exist
        "",                                               // the relative folder "Tolvane\"
        "\\\\nohost\\noshare\\",                           // a share that is not there
        "C:/Palm/../../dir\\",                             // climbing, forward slashes, a final dir
    };
    for (int round = 0; round < 8; ++round) {
        std::string pathName;
        if (round < static_cast<int>(std::size(pathNames))) pathName = pathNames[round];
        else
            for (int i = 0; i < 256; ++i) pathName += static_cast<char>(random() % 255 + 1);  // random, no NUL
        SCOPED_TRACE(testing::Message() << "case " << round);
        Guarded record(sizeof(desktop::host::SyncProperties), 0x5A);
        std::memcpy(record.data() + 4, pathName.data(), std::min<size_t>(pathName.size(), 256));
        if (pathName.size() < 256) record.data()[4 + pathName.size()] = 0;
        const std::string before = record.Contents();
        EXPECT_EQ(open(nullptr, reinterpret_cast<const void*>(record.data())), 0);
        EXPECT_EQ(record.Contents(), before);
        EXPECT_TRUE(record.GuardsIntact());
        ExpectStillWorking();
    }
}

struct CfgCase {
    long type;
    bool args;
    bool argsSize;
    unsigned long size;
    long result;  // 1: opens the configuration (0, or -1 without a setup dialog)
};

TEST_F(BadInput, CfgConduitRefusesEveryBadArgumentBeforeTouchingTheRecord) {
    const CfgCase cases[] = {
        {0, false, false, 352, 4212}, {0, false, true, 352, 4212},      {0, true, false, 352, 4216},
        {0, true, true, 0, 4218},     {0, true, true, 351, 4218},       {0, true, true, 353, 4218},
        {0, true, true, 0xFFFFFFFF, 4218}, {1, true, true, 352, 4219}, {-1, true, true, 352, 4219},
        {1, true, true, 0, 4218},     {0, true, true, 352, 1},
    };
    const auto cfg = conduit_.Get<CfgConduitFn>("CfgConduit");
    std::mt19937 random(13);
    for (const CfgCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " size " << c.size);
        Guarded record(352);
        for (size_t i = 0; i < record.size(); ++i) record.data()[i] = static_cast<uint8_t>(random());
        // The user's real folder, so that the configuration finds its way.
        std::memset(record.data() + 80, 0, 256);
        std::memcpy(record.data() + 80, harness_.UserFolder().data(), harness_.UserFolder().size());
        Guarded size(sizeof(unsigned long), 0);
        std::memcpy(size.data(), &c.size, sizeof c.size);
        const std::string before = record.Contents();
        long result = 0;
        // Shown windows: closed by our closer, or answered first by the
        // conduit's message box watcher, which takes any dialog for a box.
        size_t windows = conduit_.watcher().Boxes().size();
        {
            WindowCloser closer;
            result = cfg(c.type, c.args ? record.data() : nullptr,
                         c.argsSize ? reinterpret_cast<unsigned long*>(size.data()) : nullptr);
            windows = closer.Closed() + conduit_.watcher().Boxes().size() - windows;
        }
        if (c.result == 1) {
            EXPECT_TRUE(result == 0 || result == -1) << result;
            EXPECT_GE(windows, 1u);  // the configuration's dialog was shown, and closed
        } else {
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(windows, 0u);
            EXPECT_EQ(record.Contents(), before);
        }
        EXPECT_TRUE(record.GuardsIntact() && size.GuardsIntact());
        ExpectStillWorking();
    }
}

TEST_F(BadInput, ConfigureConduitTouchesOnlyItsPartOfThePreference) {
    const auto configure = conduit_.Get<ConfigureConduitFn>("ConfigureConduit");
    EXPECT_EQ(configure(nullptr), -1);
    std::mt19937 random(17);
    const std::string pathNames[] = {harness_.UserFolder(), Filled(256, 'B'), ""};
    for (const std::string& pathName : pathNames) {
        SCOPED_TRACE(pathName.substr(0, 40));
        // The host's record is larger than the part the conduit may touch.
        Guarded pref(600);
        for (size_t i = 0; i < pref.size(); ++i) pref.data()[i] = static_cast<uint8_t>(random());
        std::memset(pref.data(), 0, 256);
        std::memcpy(pref.data(), pathName.data(), pathName.size());
        const std::string before = pref.Contents();
        long result = 0;
        {
            WindowCloser closer;
            result = configure(pref.data());
        }
        EXPECT_TRUE(result == 0 || result == -1) << result;
        EXPECT_TRUE(pref.GuardsIntact());
        // Bytes 0..515 are never written; 516..523 only on success; the rest never.
        const std::string after = pref.Contents();
        EXPECT_EQ(after.substr(0, 516), before.substr(0, 516));
        if (result != 0) {
            EXPECT_EQ(after.substr(516, 8), before.substr(516, 8));
        }
        EXPECT_EQ(after.substr(524), before.substr(524));
        ExpectStillWorking();
    }
}

TEST_F(BadInput, TheRegistrationExportsAnswerWithoutArgumentsToTrust) {
    const auto classObject = conduit_.Get<GetClassObjectFn>("DllGetClassObject");
    Guarded out(sizeof(void*));
    const std::string before = out.Contents();
    GUID garbage;
    std::memset(&garbage, 0xEE, sizeof garbage);
    EXPECT_EQ(classObject(garbage, garbage, reinterpret_cast<void**>(out.data())), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out.Contents(), before);
    EXPECT_TRUE(out.GuardsIntact());
    EXPECT_EQ(conduit_.Get<RegistrationFn>("DllCanUnloadNow")(), S_OK);
    // Removing an entry that is not there fails; the conduit still registers.
    EXPECT_EQ(conduit_.Get<RegistrationFn>("DllUnregisterServer")(), E_FAIL);
    EXPECT_EQ(conduit_.Get<RegistrationFn>("DllRegisterServer")(), S_OK);
    // Installed already: the Palm code, shown in a box that the watcher answers.
    EXPECT_EQ(conduit_.Get<RegistrationFn>("DllRegisterServer")(), HRESULT(-1005));
    EXPECT_EQ(conduit_.watcher().Boxes().size(), 1u);
    EXPECT_EQ(conduit_.Get<RegistrationFn>("DllUnregisterServer")(), S_OK);
    ExpectStillWorking();
}

// --- Randomized calls --------------------------------------------------------

// Seed and number of calls come from TOLVANE_FUZZ_SEED and
// TOLVANE_FUZZ_CALLS (make fuzz runs many more than the suite does).
unsigned long EnvNumber(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

class ExportFuzz : public BadInput {
protected:
    // A size: the interesting ones, or anything.
    unsigned long AnySize() {
        static const unsigned long sizes[] = {0, 1, 3, 4, 5, 8, 79, 80, 255, 256, 351, 352, 353, 0xFFFFFFFF};
        return random_() % 4 == 0 ? static_cast<unsigned long>(random_()) : sizes[random_() % std::size(sizes)];
    }
    void Scramble(Guarded& buffer) {
        for (size_t i = 0; i < buffer.size(); ++i) buffer.data()[i] = static_cast<uint8_t>(random_());
        // Often a text that names a real folder, so that calls go further.
        if (buffer.size() >= 4 + 256 && random_() % 2) {
            const std::string& user = harness_.UserFolder();
            const size_t at = random_() % 2 ? 80 : 4;  // PathName of the configure or the sync record
            if (at + 256 <= buffer.size()) {
                std::memset(buffer.data() + at, 0, 256);
                std::memcpy(buffer.data() + at, user.data(), user.size());
            }
        }
    }
    bool Null() { return random_() % 6 == 0; }

    // One call of a random export; false when something was written outside
    // a buffer or the result was not one the export may give.
    bool OneCall(std::string& what);

    std::mt19937 random_{static_cast<std::mt19937::result_type>(EnvNumber("TOLVANE_FUZZ_SEED", 1))};
};

bool ExportFuzz::OneCall(std::string& what) {
    Guarded a(600), b(600), size(sizeof(unsigned long), 0);
    Scramble(a);
    Scramble(b);
    // The declared size never claims more than the real buffers hold.
    unsigned long declared = AnySize();
    if (declared > 8) declared = random_() % 2 ? 0xFFFFFFFF : declared;
    std::memcpy(size.data(), &declared, sizeof declared);
    auto* sizePtr = Null() ? nullptr : reinterpret_cast<unsigned long*>(size.data());
    long result = 0;
    bool allowed = true;
    switch (random_() % 10) {
    case 0: {
        const unsigned short length = static_cast<unsigned short>(random_() % 601);
        what = "GetConduitName";
        result = conduit_.Get<GetConduitNameFn>("GetConduitName")(Null() ? nullptr : a.text(), length);
        allowed = result == 0 || result == -1;
        break;
    }
    case 1:
    case 2: {
        const long types[] = {0, 1, 2, 3, -1, static_cast<long>(random_())};
        const long type = types[random_() % std::size(types)];
        if (random_() % 2) {  // a well-formed request record, often
            const uint32_t head[2] = {1, 80};
            std::memcpy(b.data(), head, sizeof head);
        }
        what = "GetConduitInfo " + std::to_string(type);
        result = conduit_.Get<GetConduitInfoFn>("GetConduitInfo")(type, Null() ? nullptr : b.data(),
                                                                   Null() ? nullptr : a.data(), sizePtr);
        allowed = result == 0 || (result >= 4208 && result <= 4215);
        break;
    }
    case 3:
    case 4:
    case 5: {
        what = "OpenConduit";
        const bool none = Null();
        result = conduit_.Get<OpenConduitFn>("OpenConduit")(nullptr, none ? nullptr : a.data());
        allowed = none ? result == -1 : result == 0;
        break;
    }
    case 6: {
        const unsigned long sizes[] = {352, 352, 0, 351, 0xFFFFFFFF};
        const unsigned long cfgSize = sizes[random_() % std::size(sizes)];
        std::memcpy(size.data(), &cfgSize, sizeof cfgSize);
        const long type = random_() % 3 ? 0 : static_cast<long>(random_());
        what = "CfgConduit";
        WindowCloser closer;
        result = conduit_.Get<CfgConduitFn>("CfgConduit")(type, Null() ? nullptr : a.data(), sizePtr);
        allowed = result == 0 || result == -1 || (result >= 4212 && result <= 4219);
        break;
    }
    case 7: {
        what = "ConfigureConduit";
        WindowCloser closer;
        result = conduit_.Get<ConfigureConduitFn>("ConfigureConduit")(Null() ? nullptr : a.data());
        allowed = result == 0 || result == -1;
        break;
    }
    case 8:
        what = "GetConduitVersion";
        allowed = conduit_.Get<GetConduitVersionFn>("GetConduitVersion")() == 3;
        break;
    default: {
        what = "DllGetClassObject";
        GUID guid;
        std::memcpy(&guid, b.data(), sizeof guid);
        result = conduit_.Get<GetClassObjectFn>("DllGetClassObject")(guid, guid, reinterpret_cast<void**>(a.data()));
        allowed = result == CLASS_E_CLASSNOTAVAILABLE;
        break;
    }
    }
    what += " -> " + std::to_string(result);
    return allowed && a.GuardsIntact() && b.GuardsIntact() && size.GuardsIntact();
}

TEST_F(ExportFuzz, RandomArgumentsNeverWriteOutsideTheirBuffers) {
    const unsigned long seed = EnvNumber("TOLVANE_FUZZ_SEED", 1);
    const unsigned long calls = EnvNumber("TOLVANE_FUZZ_CALLS", 400);
    // The configure entries may create "Tolvane" below the current folder
    // for a relative path name: let that be the desktop's folder.
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(harness_.Desktop().Folder().c_str());
    unsigned long failures = 0;
    for (unsigned long i = 0; i < calls && failures < 5; ++i) {
        std::string what;
        if (!OneCall(what)) {
            ++failures;
            ADD_FAILURE() << "call " << i << ": " << what;
        }
        if (i % 50 == 49) ExpectStillWorking();
    }
    SetCurrentDirectoryA(previous);
    ExpectStillWorking();
    std::cout << "export fuzz: seed " << seed << ", " << calls << " calls, " << failures << " failures\n";
}

}  // namespace
