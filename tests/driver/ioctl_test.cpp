#include <cstring>
#include <limits>

#include "board_fixture.h"

namespace aoctest {
namespace {

const DWORD kAllCodes[] = {
    IOCTL_PORT_READ_BYTE,  IOCTL_PORT_READ_WORD,       IOCTL_PORT_READ_DWORD,      IOCTL_PORT_WRITE_BYTE,
    IOCTL_PORT_WRITE_WORD, IOCTL_PORT_WRITE_DWORD,     IOCTL_AO_PROBE,             IOCTL_AO_SET_CHANNEL_RANGE,
    IOCTL_AO_GET_CHANNEL_RANGE, IOCTL_AO_WRITE_CHANNEL, IOCTL_AO_SET_MODE_FLAG,    IOCTL_AO_STROBE,
};

// How much of each buffer a code needs; 0 for one it may go without.
struct BufferNeeds {
    DWORD code;
    DWORD in;
    DWORD out;
} const kNeeds[] = {
    {IOCTL_PORT_READ_BYTE, 4, 1},       {IOCTL_PORT_READ_WORD, 4, 2},       {IOCTL_PORT_READ_DWORD, 4, 4},
    {IOCTL_PORT_WRITE_BYTE, 5, 0},      {IOCTL_PORT_WRITE_WORD, 6, 0},      {IOCTL_PORT_WRITE_DWORD, 8, 0},
    {IOCTL_AO_SET_CHANNEL_RANGE, 8, 0}, {IOCTL_AO_GET_CHANNEL_RANGE, 8, 4}, {IOCTL_AO_WRITE_CHANNEL, 8, 0},
    {IOCTL_AO_SET_MODE_FLAG, 2, 0},
};

class IoControlTest : public BoardTest {
protected:
    // The registers and channel settings must come through a refused request as they were.
    void ExpectUnchanged(const BYTE (&registers)[kWindow], const AoChannelSetting (&channels)[AO_CHANNEL_COUNT]) {
        EXPECT_EQ(std::memcmp(board.bytes, registers, kWindow), 0);
        for (int n = 0; n < AO_CHANNEL_COUNT; ++n) EXPECT_TRUE(SameSetting(device.Channels[n], channels[n])) << n;
    }
};

TEST_F(IoControlTest, NullHandleIsRefusedByEveryCode) {
    BYTE in[16] = {}, out[16] = {};
    for (DWORD code : kAllCodes) {
        EXPECT_EQ(Call(0, code, in, sizeof in, out, sizeof out), (Outcome{FALSE, 0x20000003, 3, 0})) << std::hex << code;
    }
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
}

// A missing buffer, or one declared shorter than its record, is refused before
// anything is read from it; the device manager validated only the declared bytes.
TEST_F(IoControlTest, MissingOrShortBuffersAreRefused) {
    BYTE in[16] = {}, out[16] = {};
    for (const BufferNeeds& n : kNeeds) {
        SCOPED_TRACE(testing::Message() << std::hex << n.code);
        device.LastError = 0;
        EXPECT_EQ(Call(Handle(), n.code, nullptr, sizeof in, out, sizeof out), Failed(ERR_BAD_ARGUMENT, 10));
        device.LastError = 0;
        EXPECT_EQ(Call(Handle(), n.code, in, n.in - 1, out, sizeof out), Failed(ERR_BAD_ARGUMENT, 10));
        if (n.out) {
            device.LastError = 0;
            EXPECT_EQ(Call(Handle(), n.code, in, sizeof in, nullptr, sizeof out), Failed(ERR_BAD_ARGUMENT, 10));
            device.LastError = 0;
            EXPECT_EQ(Call(Handle(), n.code, in, sizeof in, out, n.out - 1), Failed(ERR_BAD_ARGUMENT, 10));
        }
    }
    // The probe needs an input buffer but reads none of it.
    EXPECT_EQ(Call(Handle(), IOCTL_AO_PROBE, nullptr, 0, nullptr, 0), Failed(ERR_BAD_ARGUMENT, 10));
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
}

TEST_F(IoControlTest, ProbeAndStrobeNeedNoUsableInput) {
    BYTE in[1] = {0x77};
    EXPECT_EQ(Call(Handle(), IOCTL_AO_PROBE, in, 0, nullptr, 0), (Outcome{TRUE, kUntouchedError, 0, 0}));
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
    board.bytes[AO_STROBE] = 0x55;
    EXPECT_EQ(Call(Handle(), IOCTL_AO_STROBE, nullptr, 0, nullptr, 0), (Outcome{TRUE, kUntouchedError, 0, 0}));
    EXPECT_EQ(board.bytes[AO_STROBE], 0);
    EXPECT_EQ(cesim::TakeIoTrace().size(), 1u);
}

TEST_F(IoControlTest, PortAccessesMustLieWhollyInsideTheWindow) {
    struct Case {
        DWORD code, offset;
        bool allowed;
    } cases[] = {
        {IOCTL_PORT_READ_BYTE, kWindow - 1, true},    {IOCTL_PORT_READ_BYTE, kWindow, false},
        {IOCTL_PORT_READ_WORD, kWindow - 2, true},    {IOCTL_PORT_READ_WORD, kWindow - 1, false},
        {IOCTL_PORT_READ_DWORD, kWindow - 4, true},   {IOCTL_PORT_READ_DWORD, kWindow - 3, false},
        {IOCTL_PORT_WRITE_DWORD, kWindow - 4, true},  {IOCTL_PORT_WRITE_DWORD, kWindow - 1, false},
        {IOCTL_PORT_WRITE_WORD, 0xFFFFFFFF, false},   {IOCTL_PORT_READ_DWORD, 0xFFFFFFFE, false},
        {IOCTL_PORT_WRITE_BYTE, 0x80000000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code << " at " << c.offset);
        PortRequest request = {c.offset, 0};
        DWORD out = 0;
        device.LastError = 0;
        Outcome o = Call(c.code, request, &out, sizeof out);
        size_t accesses = cesim::TakeIoTrace().size();
        if (c.allowed) {
            EXPECT_TRUE(o.result);
            EXPECT_EQ(accesses, 1u);
        } else {
            EXPECT_EQ(o, Failed(ERR_PORT_OUT_OF_RANGE, 64));
            EXPECT_EQ(accesses, 0u);
        }
    }
}

TEST_F(IoControlTest, PortReadsAndWritesMoveExactlyTheirWidth) {
    for (int i = 0; i < 8; ++i) board.bytes[12 + i] = static_cast<BYTE>(0x11 * (i + 1));
    struct Case {
        DWORD code, width, expected;
    } reads[] = {
        {IOCTL_PORT_READ_BYTE, 1, 0x11},
        {IOCTL_PORT_READ_WORD, 2, 0x2211},
        {IOCTL_PORT_READ_DWORD, 4, 0x44332211},
    };
    for (const Case& c : reads) {
        BYTE out[8];
        std::memset(out, 0xEE, sizeof out);
        Outcome o = Call(c.code, PortRequest{12, 0}, out, c.width);
        EXPECT_EQ(o, (Outcome{TRUE, kUntouchedError, c.width, 0}));
        DWORD value = 0;
        std::memcpy(&value, out, c.width);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(out[c.width], 0xEE) << "wrote past the value";
    }
    struct Write {
        DWORD code, width;
        BYTE after[4];
    } writes[] = {
        {IOCTL_PORT_WRITE_BYTE, 1, {0xA1, 0xEE, 0xEE, 0xEE}},
        {IOCTL_PORT_WRITE_WORD, 2, {0xA1, 0xB2, 0xEE, 0xEE}},
        {IOCTL_PORT_WRITE_DWORD, 4, {0xA1, 0xB2, 0xC3, 0xD4}},
    };
    for (const Write& w : writes) {
        std::memset(board.bytes + 24, 0xEE, 4);
        PortRequest request = {24, 0xD4C3B2A1};
        // The write codes use no output buffer.
        EXPECT_EQ(Call(Handle(), w.code, &request, PORT_WRITE_REQUEST_BYTES(w.width), nullptr, 0),
                  (Outcome{TRUE, kUntouchedError, 0, 0}));
        EXPECT_EQ(std::memcmp(board.bytes + 24, w.after, 4), 0) << w.width;
    }
}

TEST_F(IoControlTest, BoardWithoutWindowTouchesNoPort) {
    cesim::DetachIoDevice(&board);
    device.BaseAddress = 0;
    device.IoPortCount = 0;
    CallerRecord r{Record(1, RANGE_MODE_VOLTAGE, 5.0f, -5.0f), 0};
    RangeRequest range = RequestFor(r);
    DWORD out = 0;
    for (DWORD code : {IOCTL_PORT_READ_BYTE, IOCTL_PORT_READ_DWORD, IOCTL_PORT_WRITE_WORD}) {
        EXPECT_EQ(Call(code, PortRequest{0, 0}, &out, sizeof out), Failed(ERR_PORT_OUT_OF_RANGE, 64));
    }
    EXPECT_EQ(Call(IOCTL_AO_SET_CHANNEL_RANGE, range), Failed(ERR_PORT_OUT_OF_RANGE, 64));
    EXPECT_TRUE(SameSetting(device.Channels[1], Setting(0, 10.0f, 0.0f))) << "a refused request stored its setting";
    EXPECT_EQ(Call(IOCTL_AO_WRITE_CHANNEL, ChannelOutput{0, 0, 5}), Failed(ERR_PORT_OUT_OF_RANGE, 64));
    EXPECT_EQ(Call(IOCTL_AO_SET_MODE_FLAG, WORD{1}), Failed(ERR_PORT_OUT_OF_RANGE, 64));
    EXPECT_EQ(Call(Handle(), IOCTL_AO_STROBE, nullptr, 0, nullptr, 0), Failed(ERR_PORT_OUT_OF_RANGE, 64));
    // Requests that reach no register still work.
    EXPECT_TRUE(Call(IOCTL_AO_GET_CHANNEL_RANGE, range, &out, sizeof out).result);
    EXPECT_TRUE(Call(IOCTL_AO_PROBE, range).result);
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
    ASSERT_TRUE(cesim::AttachIoDevice(&board, kBase, kWindow));  // for TearDown
}

// A window shorter than the register map is served register by register: a
// request works when every register it reaches lies inside the window, and is
// refused with 64 before any port access otherwise.
TEST_F(IoControlTest, AShortWindowServesOnlyTheRegistersItHolds) {
    struct Case {
        DWORD window;
        bool setRange, writeChannel3, strobe, modeFlag;
    } cases[] = {
        {1, false, false, false, false},  {8, false, false, false, false}, {9, true, true, false, false},
        {10, true, true, true, false},    {15, true, true, true, false},   {16, true, true, true, true},
        {20, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "window " << c.window);
        device.IoPortCount = c.window;
        CallerRecord r{Record(0, RANGE_MODE_VOLTAGE, 5.0f, -5.0f), 0};
        DWORD out = 0;
        const struct {
            bool allowed;
            Outcome outcome;
        } results[] = {
            {c.setRange, Call(IOCTL_AO_SET_CHANNEL_RANGE, RequestFor(r))},
            {c.writeChannel3, Call(IOCTL_AO_WRITE_CHANNEL, ChannelOutput{3, 0, 100})},
            {c.strobe, Call(Handle(), IOCTL_AO_STROBE, nullptr, 0, nullptr, 0)},
            {c.modeFlag, Call(IOCTL_AO_SET_MODE_FLAG, WORD{1})},
        };
        for (const auto& result : results) {
            if (result.allowed) {
                EXPECT_TRUE(result.outcome.result);
            } else {
                EXPECT_EQ(result.outcome, Failed(ERR_PORT_OUT_OF_RANGE, 64));
            }
        }
        // AO_RANGE read and written by set-range and write-channel, which adds
        // the data register; one access each for the strobe and the flag.
        size_t accesses = (c.setRange ? 2 : 0) + (c.writeChannel3 ? 3 : 0) + (c.strobe ? 1 : 0) + (c.modeFlag ? 1 : 0);
        std::vector<cesim::PortAccess> trace = cesim::TakeIoTrace();
        EXPECT_EQ(trace.size(), accesses);
        for (const cesim::PortAccess& a : trace) EXPECT_LE(a.port + a.width, kBase + c.window) << "outside the window";
        // Requests that reach no register do not depend on the window.
        EXPECT_TRUE(Call(IOCTL_AO_GET_CHANNEL_RANGE, RequestFor(r), &out, sizeof out).result);
        device.LastError = 0;
    }
}

TEST_F(IoControlTest, RangeRequestCodesDifferBetweenSetAndGet) {
    struct Case {
        DWORD ioctl;
        WORD requestCode;
        bool accepted;
    } cases[] = {
        {IOCTL_AO_SET_CHANNEL_RANGE, RANGE_REQUEST_SET, true},
        {IOCTL_AO_SET_CHANNEL_RANGE, RANGE_REQUEST_SET_GET, true},
        {IOCTL_AO_SET_CHANNEL_RANGE, 0x2001, false},
        {IOCTL_AO_SET_CHANNEL_RANGE, 0, false},
        {IOCTL_AO_GET_CHANNEL_RANGE, RANGE_REQUEST_SET_GET, true},
        {IOCTL_AO_GET_CHANNEL_RANGE, RANGE_REQUEST_SET, false},
        {IOCTL_AO_GET_CHANNEL_RANGE, 0x2008, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.ioctl << " " << c.requestCode);
        CallerRecord r{Record(2, RANGE_MODE_VOLTAGE, 5.0f, -5.0f, 99), 0};
        device.LastError = 0;
        DWORD out = 0;
        Outcome o = Call(c.ioctl, RequestFor(r, c.requestCode), &out, sizeof out);
        if (c.accepted) {
            EXPECT_TRUE(o.result);
            EXPECT_EQ(o.threadError, kUntouchedError);
        } else {
            EXPECT_EQ(o, Failed(ERR_BAD_ARGUMENT, 0));
        }
    }
    EXPECT_EQ(RangeBits(2), 2);
}

// Set-range's outcome comes from storing the record: success and a channel
// above 3 both leave the count, the thread error and LastError alone.
TEST_F(IoControlTest, SetRangeWritesNoCount) {
    device.LastError = ERR_PORT_OUT_OF_RANGE;
    CallerRecord good{Record(0, RANGE_MODE_VOLTAGE, 10.0f, 0.0f), 0};
    EXPECT_EQ(Call(IOCTL_AO_SET_CHANNEL_RANGE, RequestFor(good)), (Outcome{TRUE, kUntouchedError, kUntouchedCount, 64}));
    CallerRecord high{Record(4, RANGE_MODE_VOLTAGE, 10.0f, 0.0f), 0};
    BYTE registers[kWindow];
    std::memcpy(registers, board.bytes, kWindow);
    EXPECT_EQ(Call(IOCTL_AO_SET_CHANNEL_RANGE, RequestFor(high)),
              (Outcome{FALSE, kUntouchedError, kUntouchedCount, 64}));
    EXPECT_EQ(std::memcmp(board.bytes, registers, kWindow), 0);
}

// The channel is judged before the pair: channel 4 stores nothing, so neither
// an odd pair nor a board without a window turns its silent FALSE into a
// reported refusal.
TEST_F(IoControlTest, AChannelAboveThreeFailsSilentlyWhateverItsRange) {
    struct Case {
        WORD channel, mode;
        float maximum, minimum;
        DWORD window;
    } cases[] = {
        {4, RANGE_MODE_VOLTAGE, 10.0f, -5.0f, kWindow},
        {4, RANGE_MODE_VOLTAGE, std::numeric_limits<float>::quiet_NaN(), 0.0f, kWindow},
        {0xFFFF, RANGE_MODE_VOLTAGE, 1.0f, 2.0f, kWindow},
        {4, RANGE_MODE_VOLTAGE, 10.0f, -5.0f, 0},
        {7, RANGE_MODE_CURRENT, 20.0f, 4.0f, 0},
    };
    BYTE registers[kWindow];
    std::memcpy(registers, board.bytes, kWindow);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "channel " << c.channel << " window " << c.window);
        device.IoPortCount = c.window;
        device.LastError = ERR_PORT_OUT_OF_RANGE;
        CallerRecord r{Record(c.channel, c.mode, c.maximum, c.minimum), 0};
        EXPECT_EQ(Call(IOCTL_AO_SET_CHANNEL_RANGE, RequestFor(r)),
                  (Outcome{FALSE, kUntouchedError, kUntouchedCount, ERR_PORT_OUT_OF_RANGE}));
    }
    EXPECT_EQ(std::memcmp(board.bytes, registers, kWindow), 0);
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
}

TEST_F(IoControlTest, SetThenGetReadsTheSettingBack) {
    struct Case {
        WORD mode;
        float maximum, minimum;
        WORD readMode;
        float readMaximum, readMinimum;
        BYTE bits;
    } cases[] = {
        {RANGE_MODE_CURRENT, 20.0f, 4.0f, RANGE_MODE_CURRENT, 20.0f, 4.0f, 0},
        {RANGE_MODE_CURRENT, 0.0f, 4.0f, RANGE_MODE_VOLTAGE, 5.0f, 0.0f, 0},  // judged by CurrentMax alone
        {7, 24.0f, 0.0f, RANGE_MODE_CURRENT, 24.0f, 0.0f, 0},
        {RANGE_MODE_VOLTAGE, 10.0f, -10.0f, RANGE_MODE_VOLTAGE, 10.0f, -10.0f, 3},
        {RANGE_MODE_VOLTAGE, 5.0f, -5.0f, RANGE_MODE_VOLTAGE, 5.0f, -5.0f, 2},
    };
    board.bytes[AO_RANGE] = 0xFF;
    for (const Case& c : cases) {
        CallerRecord set{Record(1, c.mode, c.maximum, c.minimum, 3000), 0};
        ASSERT_TRUE(Call(IOCTL_AO_SET_CHANNEL_RANGE, RequestFor(set)).result);
        EXPECT_EQ(RangeBits(1), c.bits);
        EXPECT_EQ(board.bytes[AO_RANGE] | 0x0C, 0xFF) << "another channel's bits changed";

        CallerRecord get{Record(1, 0x5555, -1.0f, -1.0f, 0x5555), 0};
        get.record.Reserved = 0xBEEF;
        BYTE out[4] = {};
        EXPECT_EQ(Call(IOCTL_AO_GET_CHANNEL_RANGE, RequestFor(get), out, sizeof out),
                  (Outcome{TRUE, kUntouchedError, 4, 0}));
        EXPECT_EQ(get.record.Mode, c.readMode);
        EXPECT_EQ(get.record.Maximum, c.readMaximum);
        EXPECT_EQ(get.record.Minimum, c.readMinimum);
        EXPECT_EQ(get.record.InitialCode, 3000);
        EXPECT_EQ(get.record.Reserved, 0xBEEF);
        EXPECT_EQ(get.record.Channel, 1);
        const BYTE reply[4] = {0xEF, 0xBE, 3000 & 0xFF, 3000 >> 8};
        EXPECT_EQ(std::memcmp(out, reply, 4), 0);
    }
}

// Refusals of a range request: nothing is stored, programmed or written back.
TEST_F(IoControlTest, UnusableRangeRecordsAreRefused) {
    board.bytes[AO_RANGE] = 0x1B;
    BYTE savedRegisters[kWindow];
    std::memcpy(savedRegisters, board.bytes, kWindow);
    AoChannelSetting savedChannels[AO_CHANNEL_COUNT];
    std::memcpy(savedChannels, device.Channels, sizeof savedChannels);

    struct Case {
        const char* what;
        DWORD ioctl;
        RangeRecord record;
        int recordLength;   // declared; -1 for the record's size
        bool unmapped;      // the address belongs to no caller buffer
        bool mapFails;
    } cases[] = {
        {"no such range", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 10.0f, -5.0f), -1, false, false},
        {"NaN", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 5.0f, std::numeric_limits<float>::quiet_NaN()), -1, false, false},
        {"record too short", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 5.0f, 0.0f), 15, false, false},
        {"record past buffer", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 5.0f, 0.0f), 17, false, false},
        {"unmapped", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 5.0f, 0.0f), -1, true, false},
        {"map fails", IOCTL_AO_SET_CHANNEL_RANGE, Record(0, RANGE_MODE_VOLTAGE, 5.0f, 0.0f), -1, false, true},
        {"get channel 4", IOCTL_AO_GET_CHANNEL_RANGE, Record(4, 9, 1.0f, 2.0f, 9), -1, false, false},
        {"get too short", IOCTL_AO_GET_CHANNEL_RANGE, Record(0, 9, 1.0f, 2.0f, 9), 8, false, false},
        {"get unmapped", IOCTL_AO_GET_CHANNEL_RANGE, Record(0, 9, 1.0f, 2.0f, 9), -1, true, false},
        {"get map fails", IOCTL_AO_GET_CHANNEL_RANGE, Record(0, 9, 1.0f, 2.0f, 9), -1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CallerRecord r{c.record, 0};
        RangeRequest request = RequestFor(r);
        if (c.recordLength >= 0) request.RecordLength = static_cast<WORD>(c.recordLength);
        if (c.unmapped) request.RecordAddress = r.address + 0x800;
        if (c.mapFails) cesim::InjectFault(cesim::Fault(cesim::Call::MapCallerPtr));
        BYTE out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        device.LastError = 0;
        EXPECT_EQ(Call(c.ioctl, request, out, sizeof out), Failed(ERR_BAD_ARGUMENT, 0));
        EXPECT_EQ(std::memcmp(&r.record, &c.record, sizeof r.record), 0) << "the caller's record was written";
        EXPECT_EQ(out[0] & out[1] & out[2] & out[3], 0xEE);
        EXPECT_TRUE(cesim::TakeIoTrace().empty());
        ExpectUnchanged(savedRegisters, savedChannels);
        cesim::ClearFaults();
    }
}

TEST_F(IoControlTest, OutputRequestsWriteTheirRegisters) {
    device.Channels[2] = Setting(0, 5.0f, 0.0f);
    board.bytes[AO_RANGE] = 0xFF;
    EXPECT_EQ(Call(IOCTL_AO_WRITE_CHANNEL, ChannelOutput{2, 0xFFFF, 70000}), (Outcome{TRUE, kUntouchedError, 0, 0}));
    EXPECT_EQ(board.Word(AO_DATA_2), 4464);
    EXPECT_EQ(board.bytes[AO_RANGE], 0xCF);

    // A channel above 3 succeeds and touches nothing.
    cesim::TakeIoTrace();
    EXPECT_EQ(Call(IOCTL_AO_WRITE_CHANNEL, ChannelOutput{4, 0, 1}), (Outcome{TRUE, kUntouchedError, 0, 0}));
    EXPECT_TRUE(cesim::TakeIoTrace().empty());

    struct Flag {
        WORD flag;
        BYTE written;
    } flags[] = {{0x0100, 1}, {0, 0}, {1, 1}, {0xFFFF, 1}};
    for (const Flag& f : flags) {
        board.bytes[AO_MODE_FLAG] = 0x77;
        EXPECT_EQ(Call(IOCTL_AO_SET_MODE_FLAG, f.flag), (Outcome{TRUE, kUntouchedError, 0, 0}));
        EXPECT_EQ(board.bytes[AO_MODE_FLAG], f.written) << f.flag;
    }
}

TEST_F(IoControlTest, UnknownCodesReportNothing) {
    device.LastError = ERR_PORT_OUT_OF_RANGE;
    BYTE in[16] = {};
    for (DWORD code : {0u, IOCTL_PORT_READ_BYTE + 1, IOCTL_AO_STROBE + 4, 0xDC7FF880u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Call(Handle(), code, in, sizeof in, in, sizeof in),
                  (Outcome{FALSE, kUntouchedError, kUntouchedCount, 64}));
        EXPECT_EQ(Call(0, code, nullptr, 0, nullptr, 0), (Outcome{FALSE, kUntouchedError, kUntouchedCount, 64}));
    }
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
}

TEST_F(IoControlTest, LastErrorSurvivesSuccessAndFollowsEachFailure) {
    DWORD out = 0;
    EXPECT_FALSE(Call(IOCTL_PORT_READ_BYTE, PortRequest{kWindow, 0}, &out, sizeof out).result);
    EXPECT_EQ(Call(IOCTL_PORT_READ_BYTE, PortRequest{0, 0}, &out, sizeof out).lastError, ERR_PORT_OUT_OF_RANGE);
    EXPECT_FALSE(Call(Handle(), IOCTL_AO_WRITE_CHANNEL, nullptr, 0, nullptr, 0).result);
    EXPECT_EQ(Call(Handle(), IOCTL_AO_STROBE, nullptr, 0, nullptr, 0).lastError, ERR_BAD_ARGUMENT);
}

TEST_F(IoControlTest, MissingCountPointerIsNotWritten) {
    PortRequest request = {0, 0};
    DWORD out = 0;
    EXPECT_TRUE(AOC_IOControl(Handle(), IOCTL_PORT_READ_DWORD, reinterpret_cast<BYTE*>(&request), sizeof request,
                              reinterpret_cast<BYTE*>(&out), sizeof out, nullptr));
    EXPECT_FALSE(AOC_IOControl(0, IOCTL_AO_PROBE, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_FALSE(AOC_IOControl(Handle(), IOCTL_AO_PROBE, nullptr, 0, nullptr, 0, nullptr));
}

}  // namespace
}  // namespace aoctest
