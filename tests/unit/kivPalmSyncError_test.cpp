#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "conduit/kivPalmSyncError.h"

namespace {

using kiv::CheckPalmSyncError;
using kiv::EPalmSyncError;
using kiv::PalmSyncErrorText;

struct MessageCase {
    int32_t code;
    const char* message;
};

class PalmErrorMessage : public testing::TestWithParam<MessageCase> {};

TEST_P(PalmErrorMessage, FormatsCodeAndTextExactly) {
    const MessageCase& c = GetParam();
    const EPalmSyncError error(c.code);
    EXPECT_EQ(error.ErrorCode(), c.code);
    EXPECT_EQ(error.Message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PalmErrorMessage,
    testing::Values(MessageCase{0, "Error 0 :The function call was successful."},
                    MessageCase{-1, "Error -1 :A nonspecific error."},
                    MessageCase{-1004, "Error -1004 :Not enough memory to perform the requested operation."},
                    MessageCase{16392, "Error 16392 :"},  // inside a group, but no entry
                    MessageCase{-1014, "Error -1014 :"},
                    MessageCase{-508, "Error -508 :"},
                    MessageCase{17413, "Error 17413 :"},  // 0x4405: no bits are masked off
                    MessageCase{268452869, "Error 268452869 :The HotSync Manager was cancelled by the handheld user."},
                    MessageCase{16400, "Error 16400 :An internal Desktop Link error that indicates a protocol "
                                       "implementation error"},
                    MessageCase{4109, "Error 4109 :Could not convert a record' s category to a category on the "
                                      "handheld."}),
    [](const testing::TestParamInfo<MessageCase>& info) {
        const int32_t code = info.param.code;
        return (code < 0 ? "minus" : "code") + std::to_string(code < 0 ? -static_cast<int64_t>(code) : code);
    });

TEST(PalmErrorTable, HasNinetyEightCodesAndNinetySevenTexts) {
    EXPECT_EQ(kiv::PalmSyncErrorCount(), 98);
    EXPECT_STREQ(PalmSyncErrorText(16386), "Not used.");
    EXPECT_STREQ(PalmSyncErrorText(16389), "Not used.");
    EXPECT_STRNE(PalmSyncErrorText(16400), PalmSyncErrorText(16401));
    EXPECT_EQ(std::strlen(PalmSyncErrorText(16404)), 179u);
    EXPECT_STREQ(PalmSyncErrorText(4208), "");
}

TEST(PalmErrorTable, CheckRaisesForEveryCodeButZero) {
    EXPECT_NO_THROW(CheckPalmSyncError(0));
    for (int32_t code : {-1, 1, 4208, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(code);
        try {
            CheckPalmSyncError(code);
            ADD_FAILURE() << "no exception";
        } catch (const EPalmSyncError& e) {
            EXPECT_EQ(e.ErrorCode(), code);
        }
    }
}

}  // namespace
