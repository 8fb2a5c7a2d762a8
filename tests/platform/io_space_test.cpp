#include <gtest/gtest.h>

#include <map>

#include "ce_sim.h"

namespace {

// Byte-addressed memory that records the accesses it receives.
class Ram : public cesim::IoDevice {
public:
    explicit Ram(size_t size) : bytes(size, 0) {}
    DWORD ReadPort(DWORD offset, int width) override {
        seen.push_back({offset, width, false});
        DWORD v = 0;
        for (int i = 0; i < width; ++i) v |= DWORD(bytes.at(offset + i)) << (8 * i);
        return v;
    }
    void WritePort(DWORD offset, int width, DWORD value) override {
        seen.push_back({offset, width, true});
        for (int i = 0; i < width; ++i) bytes.at(offset + i) = BYTE(value >> (8 * i));
    }
    struct Seen {
        DWORD offset;
        int width;
        bool write;
        bool operator==(const Seen& o) const { return offset == o.offset && width == o.width && write == o.write; }
    };
    std::vector<BYTE> bytes;
    std::vector<Seen> seen;
};

class IoSpaceTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (Ram* r : attached) cesim::DetachIoDevice(r);
        cesim::SetIoTrace(false);
        cesim::TakeIoTrace();
    }
    void Attach(Ram& ram, DWORD first, DWORD count) {
        ASSERT_TRUE(cesim::AttachIoDevice(&ram, first, count));
        attached.push_back(&ram);
    }
    std::vector<Ram*> attached;
};

TEST_F(IoSpaceTest, UnclaimedPortsReadAllOnesAndIgnoreWrites) {
    __outbyte(0x300, 0x12);
    __outdword(0x300, 0x12345678);
    EXPECT_EQ(__inbyte(0x300), 0xFF);
    EXPECT_EQ(__inword(0x300), 0xFFFF);
    EXPECT_EQ(__indword(0x300), 0xFFFFFFFFu);
}

TEST_F(IoSpaceTest, ClaimsMustFitAndNotOverlap) {
    Ram a(16), b(16);
    Attach(a, 0xD000, 16);
    EXPECT_FALSE(cesim::AttachIoDevice(&b, 0xD00F, 16));
    EXPECT_FALSE(cesim::AttachIoDevice(&b, 0xCFF1, 16));
    EXPECT_FALSE(cesim::AttachIoDevice(&b, 0xFFF8, 16)) << "past port 0xFFFF";
    EXPECT_FALSE(cesim::AttachIoDevice(&b, 0xE000, 0));
    Attach(b, 0xD010, 16);
}

TEST_F(IoSpaceTest, AccessesInsideAClaimArriveWhole) {
    Ram ram(32);
    Attach(ram, 0xD000, 32);
    __outword(0xD002, 0xBEEF);
    __outdword(0xD008, 0x11223344);
    EXPECT_EQ(__inbyte(0xD003), 0xBE);
    EXPECT_EQ(__inword(0xD00A), 0x1122);
    std::vector<Ram::Seen> expected = {{2, 2, true}, {8, 4, true}, {3, 1, false}, {10, 2, false}};
    EXPECT_EQ(ram.seen, expected);
}

TEST_F(IoSpaceTest, AccessesStraddlingAClaimSplitIntoBytes) {
    Ram ram(4);
    Attach(ram, 0xD000, 4);
    ram.bytes = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(__indword(0xD002), 0xFFFF0403u) << "two bytes from the device, two unclaimed";
    EXPECT_EQ(__inword(0xCFFF), 0x01FFu);
    __outdword(0xCFFE, 0xAABBCCDD);
    EXPECT_EQ(ram.bytes[0], 0xBB);
    EXPECT_EQ(ram.bytes[1], 0xAA);
    Ram top(2);
    Attach(top, 0x0000, 2);
    top.bytes = {0x5A, 0x00};
    EXPECT_EQ(__inword(0xFFFF), 0x5AFFu) << "port numbers wrap at 16 bits";
}

TEST_F(IoSpaceTest, TraceRecordsEveryInstructionWhileOn) {
    Ram ram(4);
    Attach(ram, 0xD000, 4);
    __outbyte(0xD000, 1);  // before the trace is on
    cesim::SetIoTrace(true);
    __outword(0xD000, 0x0102);
    __inbyte(0x0080);
    cesim::SetIoTrace(false);
    __inbyte(0xD000);
    std::vector<cesim::PortAccess> trace = cesim::TakeIoTrace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].port, 0xD000);
    EXPECT_EQ(trace[0].width, 2);
    EXPECT_TRUE(trace[0].write);
    EXPECT_EQ(trace[0].value, 0x0102u);
    EXPECT_EQ(trace[1].port, 0x0080);
    EXPECT_FALSE(trace[1].write);
    EXPECT_EQ(trace[1].value, 0xFFu);
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
}

TEST_F(IoSpaceTest, DetachedDevicesAreNoLongerReached) {
    Ram ram(4);
    Attach(ram, 0xD000, 4);
    cesim::DetachIoDevice(&ram);
    attached.clear();
    ram.seen.clear();
    EXPECT_EQ(__inbyte(0xD000), 0xFF);
    EXPECT_TRUE(ram.seen.empty());
}

}  // namespace
