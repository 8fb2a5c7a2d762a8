#include "board.h"

#include <cstring>

#include "ao_output.h"

namespace sim {

Board::Board(BYTE switchRegister) {
    std::memset(registers_, 0, sizeof(registers_));
    registers_[REG_SWITCH_ID] = switchRegister;
}

DWORD Board::ReadPort(DWORD offset, int width) {
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD value = 0;
    for (int i = 0; i < width; ++i) {
        DWORD o = offset + i;
        value |= DWORD(o < DECODED_PORTS ? registers_[o] : 0xFF) << (8 * i);
    }
    if (logging_) log_.push_back({offset, static_cast<BYTE>(width), false, value});
    return value;
}

void Board::WritePort(DWORD offset, int width, DWORD value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (logging_) log_.push_back({offset, static_cast<BYTE>(width), true, value});
    for (int i = 0; i < width; ++i) {
        DWORD o = offset + i;
        if (o == REG_AO_STROBE) ++strobes_;
        if (o >= DECODED_PORTS || o == REG_SWITCH_ID) continue;  // the switch is read-only
        registers_[o] = static_cast<BYTE>(value >> (8 * i));
    }
}

std::vector<Board::Access> Board::Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void Board::ClearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

bool Board::WroteAnyRegister() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Access& a : log_) {
        if (a.write) return true;
    }
    return false;
}

void Board::SetLogging(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    logging_ = on;
}

void Board::SetSwitchRegister(BYTE value) {
    std::lock_guard<std::mutex> lock(mutex_);
    registers_[REG_SWITCH_ID] = value;
}

BYTE Board::Register(DWORD offset) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return offset < DECODED_PORTS ? registers_[offset] : 0xFF;
}

WORD Board::DataCode(int channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<WORD>(registers_[2 * channel] | (registers_[2 * channel + 1] << 8));
}

BYTE Board::Range() const { return Register(REG_AO_RANGE); }

unsigned Board::StrobeCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return strobes_;
}

Board::Output Board::ChannelOutput(int channel) const {
    Output out;
    out.code = DataCode(channel) & AO_CODE_MAX;
    out.rangeCode = (Range() >> (2 * channel)) & 3;
    const AoRangePair& pair = RANGE_CODE_PAIRS[out.rangeCode];
    out.volts = AoCodeToValue(pair.VoltageMin, pair.VoltageMax, out.code);
    return out;
}

double Board::Milliamps(WORD code, double currentMin, double currentMax) {
    return AoCodeToValue(currentMin, currentMax, code & AO_CODE_MAX);
}

}  // namespace sim
