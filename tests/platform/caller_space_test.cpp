#include <gtest/gtest.h>

#include "ce_sim.h"

namespace {

LPVOID CallerPtr(uint64_t address) { return reinterpret_cast<LPVOID>(static_cast<uintptr_t>(address)); }

class CallerSpaceTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::ResetAll(); }
    void TearDown() override { cesim::ResetAll(); }
};

TEST_F(CallerSpaceTest, MapsOnlyRangesInsideOneRegisteredBuffer) {
    BYTE first[16], second[16];
    DWORD a = cesim::RegisterCallerBuffer(first, sizeof(first));
    DWORD b = cesim::RegisterCallerBuffer(second, sizeof(second));
    ASSERT_NE(a, 0u);
    ASSERT_GT(b, a + sizeof(first)) << "regions must not touch";
    struct Case {
        int64_t offset;
        DWORD length;
        bool mapped;
    } cases[] = {
        {0, 16, true},   {4, 12, true},  {15, 1, true}, {16, 0, true},  // the end itself, for no bytes
        {0, 17, false},  {8, 9, false},  {16, 1, false}, {-1, 1, false}, {-1, 2, false},
        {0, 0xFFFFFFFFu, false},
    };
    for (const Case& c : cases) {
        BYTE* got = static_cast<BYTE*>(MapCallerPtr(CallerPtr(a + c.offset), c.length));
        EXPECT_EQ(got, c.mapped ? first + c.offset : nullptr) << c.offset << "+" << c.length;
    }
    EXPECT_EQ(MapCallerPtr(CallerPtr(b + 15), 1), second + 15);
    EXPECT_EQ(MapCallerPtr(nullptr, 0), nullptr);
    EXPECT_EQ(MapCallerPtr(CallerPtr(0xFFFFFFF0ull), 0x20), nullptr);
}

TEST_F(CallerSpaceTest, UnregisteredAndFailedMappingsGiveNull) {
    BYTE buffer[8];
    DWORD a = cesim::RegisterCallerBuffer(buffer, sizeof(buffer));
    cesim::InjectFault(cesim::Fault(cesim::Call::MapCallerPtr));
    EXPECT_EQ(MapCallerPtr(CallerPtr(a), 8), nullptr);
    EXPECT_EQ(MapCallerPtr(CallerPtr(a), 8), buffer) << "one failure only";
    cesim::UnregisterCallerBuffer(a);
    EXPECT_EQ(MapCallerPtr(CallerPtr(a), 1), nullptr);
}

}  // namespace
