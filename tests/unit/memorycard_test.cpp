// The handheld's volumes and the user's recorded slots, with the VFS and
// User Data entries replaced by doubles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/memorycard.h"
#include "palm/kivUserData.h"
#include "tests/unit/CardDoubles.h"

namespace {

using testing_card::Card;
using testing_card::CallLog;
using testing_card::EntryOverride;

class VolumeRefsTest : public testing::Test {
protected:
    testing_card::VfsDoubles doubles_;
};

TEST_F(VolumeRefsTest, NoVolumesAsksOnlyForTheCount) {
    EXPECT_TRUE(app::GetVolumeRefs().empty());
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"enumerate count"}));
}

TEST_F(VolumeRefsTest, VolumesComeInTheLibrarysOrder) {
    Card().volumes = {{7, 0}, {2, 0}, {9, 0}};
    EXPECT_EQ(app::GetVolumeRefs(), (app::TVolumeRefs{7, 2, 9}));
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"enumerate count", "enumerate 3"}));
}

TEST_F(VolumeRefsTest, NeverMoreThanTheSecondCallFilled) {
    Card().volumes = {{7, 0}, {2, 0}, {9, 0}};
    Card().secondEnumerateFills = 1;
    EXPECT_EQ(app::GetVolumeRefs(), (app::TVolumeRefs{7}));
    Card().secondEnumerateFills = 0;
    EXPECT_TRUE(app::GetVolumeRefs().empty());
}

TEST(VolumeRefsWithoutLibrary, MissingEntriesGiveNoVolumes) {
    EntryOverride<palm::vfs::eVFSVolumeEnumerate> none{nullptr};
    EXPECT_TRUE(app::GetVolumeRefs().empty());
}

// --- Slots --------------------------------------------------------------------

struct FakeSlots {
    unsigned long version = 1;
    unsigned short count = 0;
    unsigned short described = 0;      // how many UmSlotGetInfo fills
    std::vector<long> refs;
    std::vector<unsigned long> types;  // by position
    std::vector<std::string> names;    // by position; written without NUL when 256 long
    std::vector<unsigned long> lengthsSeen;
};

FakeSlots& Slots() {
    static FakeSlots slots;
    return slots;
}

size_t PositionOf(long ref) {
    const auto& refs = Slots().refs;
    return static_cast<size_t>(std::find(refs.begin(), refs.end(), ref) - refs.begin());
}

long __stdcall FakeVersion(unsigned long, unsigned long* version) {
    *version = Slots().version;
    return 0;
}
long __stdcall FakeCount(unsigned long, unsigned short* count) {
    CallLog().push_back("count");
    *count = Slots().count;
    return 0;
}
long __stdcall FakeInfo(unsigned long, long* refs, unsigned short* count) {
    const unsigned short filled = std::min(*count, Slots().described);
    for (unsigned short i = 0; i < filled; ++i) refs[i] = Slots().refs[i];
    *count = filled;
    return 0;
}
long __stdcall FakeMediaType(unsigned long, long ref, unsigned long* type) {
    *type = Slots().types[PositionOf(ref)];
    return 0;
}
long __stdcall FakeDisplayName(unsigned long, long ref, char* buffer, unsigned long* length) {
    Slots().lengthsSeen.push_back(*length);
    const std::string& name = Slots().names[PositionOf(ref)];
    std::memcpy(buffer, name.c_str(), std::min<size_t>(name.size() + 1, 256));
    return 0;
}

class SlotsTest : public testing::Test {
protected:
    SlotsTest() {
        Slots() = FakeSlots{};
        CallLog().clear();
    }
    EntryOverride<palm::userdata::eUmSlotGetExpMgrVersion> version_{&FakeVersion};
    EntryOverride<palm::userdata::eUmSlotGetSlotCount> count_{&FakeCount};
    EntryOverride<palm::userdata::eUmSlotGetInfo> info_{&FakeInfo};
    EntryOverride<palm::userdata::eUmSlotGetMediaType> type_{&FakeMediaType};
    EntryOverride<palm::userdata::eUmSlotGetDisplayName> name_{&FakeDisplayName};
};

TEST_F(SlotsTest, EachDescribedSlotWithItsTypeAndName) {
    Slots().count = Slots().described = 2;
    Slots().refs = {11, 4};
    Slots().types = {testing_card::kSdig, testing_card::kMmcd};
    Slots().names = {"SD slot", "MMC"};
    const app::TSlots slots = app::GetSlots(1001);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].SlotRef, 11);
    EXPECT_EQ(slots[0].MediaType, testing_card::kSdig);
    EXPECT_EQ(slots[0].DisplayName, "SD slot");
    EXPECT_EQ(slots[1].SlotRef, 4);
    EXPECT_EQ(slots[1].MediaType, testing_card::kMmcd);
    EXPECT_EQ(slots[1].DisplayName, "MMC");
    EXPECT_EQ(Slots().lengthsSeen, (std::vector<unsigned long>{255, 255}));
}

TEST_F(SlotsTest, WithoutAnExpansionManagerThereAreNoSlots) {
    Slots().version = 0;
    Slots().count = Slots().described = 1;
    EXPECT_TRUE(app::GetSlots(1001).empty());
    EXPECT_TRUE(CallLog().empty());  // the count is not even asked for
}

TEST_F(SlotsTest, SlotsTheLibraryDidNotDescribeStayEmpty) {
    Slots().count = 3;
    Slots().described = 1;
    Slots().refs = {5, 6, 7};
    Slots().types = {testing_card::kSdig, 1, 1};
    Slots().names = {"one", "two", "three"};
    const app::TSlots slots = app::GetSlots(1001);
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_EQ(slots[0].DisplayName, "one");
    for (size_t i : {1u, 2u}) {
        EXPECT_EQ(slots[i].SlotRef, 0);
        EXPECT_EQ(slots[i].MediaType, 0u);
        EXPECT_EQ(slots[i].DisplayName, "");
    }
}

TEST_F(SlotsTest, ANameFillingTheWholeBufferIsTakenWhole) {
    Slots().count = Slots().described = 1;
    Slots().refs = {1};
    Slots().types = {0};
    Slots().names = {std::string(256, 'n')};
    EXPECT_EQ(app::GetSlots(1).at(0).DisplayName, std::string(256, 'n'));
}

TEST(SlotsWithoutLibrary, MissingEntriesGiveNoSlots) {
    EntryOverride<palm::userdata::eUmSlotGetExpMgrVersion> none{nullptr};
    EXPECT_TRUE(app::GetSlots(1).empty());
}

}  // namespace
