#pragma once
// The board model: its registers at its I/O base, the board-ID switch, a log
// of every port access and the output each channel drives.
#include <ce_sim.h>

#include <mutex>
#include <vector>

namespace sim {

// Register offsets from the board's I/O base.
enum BoardRegister : DWORD {
    REG_AO_DATA_0 = 0,  // 16 bits per channel, channel n at 2n
    REG_AO_RANGE = 8,
    REG_AO_STROBE = 9,
    REG_AO_MODE_FLAG = 15,
    REG_SWITCH_ID = 20,
};

class Board : public cesim::IoDevice {
public:
    // The ports the board decodes; the rest of its window reads all ones.
    static const DWORD DECODED_PORTS = 32;
    static const int CHANNELS = 4;

    explicit Board(BYTE switchRegister = 0);

    DWORD ReadPort(DWORD offset, int width) override;
    void WritePort(DWORD offset, int width, DWORD value) override;

    struct Access {
        DWORD offset;
        BYTE width;
        bool write;
        DWORD value;
    };
    std::vector<Access> Log() const;
    void ClearLog();
    bool WroteAnyRegister() const;
    // On by default; off for long runs, which would grow the log without bound.
    void SetLogging(bool on);

    // What SWITCH_ID reads: the switch in the low four bits.
    void SetSwitchRegister(BYTE value);
    BYTE Register(DWORD offset) const;
    WORD DataCode(int channel) const;
    BYTE Range() const;
    unsigned StrobeCount() const;

    // What a channel drives: its converter takes the low 12 bits of the data
    // register, on the range its two AO_RANGE bits select.
    struct Output {
        WORD code;       // 0..4095
        int rangeCode;   // 0: 0..5 V, 1: 0..10 V, 2: -5..5 V, 3: -10..10 V
        double volts;
    };
    Output ChannelOutput(int channel) const;
    // The loop current a code drives on a current range: the loop rides on
    // 0..5 V, so it takes the code's share of the range as the voltage does.
    static double Milliamps(WORD code, double currentMin, double currentMax);

private:
    mutable std::mutex mutex_;
    BYTE registers_[DECODED_PORTS];
    unsigned strobes_ = 0;
    bool logging_ = true;
    std::vector<Access> log_;
};

}  // namespace sim
