// The Conduit Manager stand-in keeps its entries in the desktop folder, so
// that a registration survives the library's unload, as the real one does.
#include "StandInFixture.h"

using namespace standin_test;

namespace {

struct Field {
    const char* setter;
    const char* getter;
    const char* value;
};

const Field kFields[] = {
    {"CmSetCreatorName", "CmGetCreatorName", "C:\\Conduits\\Sample.dll"},
    {"CmSetCreatorTitle", "CmGetCreatorTitle", "  Sample  "},
    {"CmSetCreatorDirectory", "CmGetCreatorDirectory", "Sample"},
    {"CmSetCreatorFile", "CmGetCreatorFile", "sample.dat"},
    {"CmSetCreatorRemote", "CmGetCreatorRemote", "\"quoted\""},
    {"CmSetCreatorInfo", "CmGetCreatorInfo", "Sample = Conduit; info"},
};

}  // namespace

class ConduitManagerTest : public StandInTest {
protected:
    long Install(const char* creator, int type = 1) {
        return Get<CmInstallCreatorFn>("CONDMGR.DLL", "CmInstallCreator")(creator, type);
    }
    long Remove(const char* creator) {
        return Get<CmRemoveFn>("CONDMGR.DLL", "CmRemoveConduitByCreatorID")(creator);
    }
    std::string Value(const char* getter, const char* creator, long* result) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        long size = 255;
        *result = Get<CmGetTextFn>("CONDMGR.DLL", getter)(creator, buffer, &size);
        return *result == 0 ? std::string(buffer) : std::string();
    }
};

TEST_F(ConduitManagerTest, EntrySurvivesUnloadWithEveryValueExact) {
    ASSERT_EQ(Install("tVan"), 0);
    for (const auto& f : kFields) {
        SCOPED_TRACE(f.setter);
        const long result = Get<CmSetTextFn>("CONDMGR.DLL", f.setter)("tVan", f.value);
        EXPECT_EQ(result, 0);
    }
    const long priority = Get<CmSetCreatorPriorityFn>("CONDMGR.DLL", "CmSetCreatorPriority")("tVan", 2);
    EXPECT_EQ(priority, 0);
    Unload("CONDMGR.DLL");

    for (const auto& f : kFields) {
        SCOPED_TRACE(f.getter);
        long result = -1;
        EXPECT_EQ(Value(f.getter, "tVan", &result), f.value);
        EXPECT_EQ(result, 0);
    }
    const auto entry = Desktop().Conduit("tVan");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->type, 1);
    EXPECT_EQ(entry->priority, 2);
    EXPECT_EQ(entry->name, "C:\\Conduits\\Sample.dll");
    EXPECT_EQ(entry->title, "  Sample  ");
}

TEST_F(ConduitManagerTest, CreatorsAreExactFourCharacterIDs) {
    ASSERT_EQ(Install("tVan"), 0);
    EXPECT_EQ(Install("tVan"), -1005);
    EXPECT_EQ(Install("TVAN"), 0) << "creator IDs differ by case";
    EXPECT_EQ(Install("tVa"), -1012);
    EXPECT_EQ(Install("tVans"), -1012);
    EXPECT_EQ(Install("t]an"), -1012);
    EXPECT_EQ(Install(nullptr), -1013);
    EXPECT_EQ(Install("abcd", -1), -1015);
    EXPECT_EQ(Get<CmSetTextFn>("CONDMGR.DLL", "CmSetCreatorTitle")("none", "x"), -1003);
    EXPECT_EQ(Get<CmSetTextFn>("CONDMGR.DLL", "CmSetCreatorTitle")("tVan", "two\nlines"), -1008);
    ASSERT_EQ(Desktop().Conduits().size(), 2u);
    EXPECT_EQ(Desktop().Conduits()[0].creator, "tVan");
    EXPECT_EQ(Desktop().Conduits()[1].creator, "TVAN");
}

TEST_F(ConduitManagerTest, RemovalAnswersAboveZeroOnlyForAnEntryThatWasThere) {
    ASSERT_EQ(Install("tVan"), 0);
    ASSERT_EQ(Install("TVAN"), 0);
    EXPECT_GT(Remove("tVan"), 0);
    EXPECT_LE(Remove("tVan"), 0);
    EXPECT_LE(Remove("xxxx"), 0);
    EXPECT_FALSE(Desktop().Conduit("tVan"));
    EXPECT_TRUE(Desktop().Conduit("TVAN")) << "removal must not touch the other case";
    long result = 0;
    Value("CmGetCreatorDirectory", "tVan", &result);
    EXPECT_EQ(result, -1003);
}

TEST_F(ConduitManagerTest, GettersFillOnlyABufferThatFits) {
    ASSERT_EQ(Install("tVan"), 0);
    long result = 0;
    Value("CmGetCreatorDirectory", "tVan", &result);
    EXPECT_EQ(result, -1011) << "a value never set";
    ASSERT_EQ(Get<CmSetTextFn>("CONDMGR.DLL", "CmSetCreatorDirectory")("tVan", "Tolvane"), 0);
    auto get = Get<CmGetTextFn>("CONDMGR.DLL", "CmGetCreatorDirectory");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    long size = 8;  // "Tolvane" and its NUL: an exact fit
    ASSERT_EQ(get("tVan", buffer, &size), 0);
    EXPECT_EQ(std::string(buffer), "Tolvane");
    EXPECT_EQ(size, 7);
    EXPECT_EQ(buffer[8], 'x');
    std::memset(buffer, 'x', sizeof buffer);
    size = 7;
    EXPECT_EQ(get("tVan", buffer, &size), -1010);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(ConduitManagerTest, CorePathAndRefreshes) {
    Desktop().SetCorePath("Users");
    char buffer[256] = {};
    long size = 255;
    ASSERT_EQ(Get<CmGetCorePathFn>("CONDMGR.DLL", "CmGetCorePath")(buffer, &size), 0);
    EXPECT_EQ(std::string(buffer), desktop::JoinPath(Desktop().Folder(), "Users"));
    auto refresh = Get<HsRefreshConduitInfoFn>("hsapi.dll", "HsRefreshConduitInfo");
    EXPECT_EQ(Desktop().RefreshCount(), 0u);
    EXPECT_EQ(refresh(), 0);
    EXPECT_EQ(refresh(), 0);
    EXPECT_EQ(Desktop().RefreshCount(), 2u);
}
