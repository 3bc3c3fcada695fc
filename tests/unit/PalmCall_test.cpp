// The call thunk must leave the stack right for both conventions, pass every
// argument in order and never call an empty entry.
#include <gtest/gtest.h>

#include <cstdint>

#include "palm/PalmCall.h"

namespace {

uint32_t g_seen[6];

extern "C" long __stdcall StdcallSix(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f) {
    const uint32_t v[] = {a, b, c, d, e, f};
    for (int i = 0; i < 6; ++i) g_seen[i] = v[i];
    return static_cast<long>(a + b + c + d + e + f);
}

extern "C" long __cdecl CdeclSix(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f) {
    return StdcallSix(a, b, c, d, e, f);
}

extern "C" long __stdcall StdcallNone() { return 77; }
extern "C" short __stdcall ReturnsShort() { return -5; }

// Calls many times in a row: a thunk that lost 4 bytes per call would run
// off the stack or corrupt this frame's locals long before the loop ends.
template <class Fn>
void CallRepeatedly(Fn* fn) {
    volatile uint32_t guard = 0xC0FFEEu;
    for (uint32_t i = 0; i < 100000; ++i) {
        const long result = palm::CallEntry(reinterpret_cast<void*>(fn), 1u, 2u, 3u, 4u, 5u, i);
        ASSERT_EQ(result, static_cast<long>(15 + i));
    }
    EXPECT_EQ(guard, 0xC0FFEEu);
}

TEST(PalmCall, StdcallAndCdeclCalleesBothLeaveTheStackIntact) {
    CallRepeatedly(&StdcallSix);
    CallRepeatedly(&CdeclSix);
}

TEST(PalmCall, ArgumentsArriveInDeclarationOrderAsWidenedSlots) {
    const short negative = -2;
    const unsigned short wide = 0xFFFF;
    const char* text = "x";
    palm::CallEntry(reinterpret_cast<void*>(&StdcallSix), 7, negative, wide, text, 0L, 0xFFFFFFFFu);
    EXPECT_EQ(g_seen[0], 7u);
    EXPECT_EQ(g_seen[1], 0xFFFFFFFEu);  // a signed 16-bit value keeps its sign
    EXPECT_EQ(g_seen[2], 0x0000FFFFu);  // an unsigned one does not gain one
    EXPECT_EQ(g_seen[3], reinterpret_cast<uintptr_t>(text));
    EXPECT_EQ(g_seen[4], 0u);
    EXPECT_EQ(g_seen[5], 0xFFFFFFFFu);
}

TEST(PalmCall, NoArgumentsAndNarrowResults) {
    EXPECT_EQ(palm::CallEntry(reinterpret_cast<void*>(&StdcallNone)), 77);
    EXPECT_EQ(static_cast<short>(palm::CallEntry(reinterpret_cast<void*>(&ReturnsShort))), -5);
}

TEST(PalmCall, AnEmptyEntryIsNeverCalledAndYieldsMinusOne) {
    EXPECT_EQ(palm::CallEntry(nullptr, 1, 2), palm::kMissingEntryResult);
    EXPECT_EQ(palm::kMissingEntryResult, -1);
}

}  // namespace
