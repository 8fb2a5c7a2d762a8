#include "registers.h"

namespace {

struct RangeEntry {
    float VoltageMax;
    float VoltageMin;
};

// Indexed by range code.
const RangeEntry kRanges[] = {
    {5.0f, 0.0f},
    {10.0f, 0.0f},
    {5.0f, -5.0f},
    {10.0f, -10.0f},
};

const float kCurrentVoltageMax = 5.0f;
const float kCurrentVoltageMin = 0.0f;

}  // namespace

int RangeCode(float VoltageMax, float VoltageMin) {
    for (int code = 0; code < static_cast<int>(sizeof kRanges / sizeof kRanges[0]); ++code) {
        if (VoltageMax == kRanges[code].VoltageMax && VoltageMin == kRanges[code].VoltageMin) {
            return code;
        }
    }
    return RANGE_CODE_NONE;
}

void RecordVoltagePair(const RangeRecord* pRecord, float* pVoltageMax, float* pVoltageMin) {
    if (pRecord->Mode != RANGE_MODE_VOLTAGE) {
        *pVoltageMax = kCurrentVoltageMax;
        *pVoltageMin = kCurrentVoltageMin;
    } else {
        *pVoltageMax = pRecord->Maximum;
        *pVoltageMin = pRecord->Minimum;
    }
}

void UpdateRangeRegister(DeviceContext* pDevice, DWORD channel) {
    const AoChannelSetting& setting = pDevice->Channels[channel];
    int code = RangeCode(setting.VoltageMax, setting.VoltageMin);
    if (code == RANGE_CODE_NONE) {
        // The board has no such range; keep driving the one it was last given
        // rather than guess a code for this channel.
        return;
    }
    WORD port = BoardPort(pDevice, AO_RANGE);
    BYTE mask = static_cast<BYTE>(AO_RANGE_CHANNEL_MASK << RangeShift(channel));
    BYTE kept = static_cast<BYTE>(ReadPortByte(port) & ~mask);
    WritePortByte(port, static_cast<BYTE>(kept | (code << RangeShift(channel))));
}

BOOL StoreChannelRange(DeviceContext* pDevice, const RangeRecord* pRecord) {
    DWORD channel = pRecord->Channel;
    if (channel >= static_cast<DWORD>(AO_CHANNEL_COUNT)) {
        return FALSE;
    }
    AoChannelSetting setting;
    setting.InitialCode = pRecord->InitialCode;
    RecordVoltagePair(pRecord, &setting.VoltageMax, &setting.VoltageMin);
    if (pRecord->Mode != RANGE_MODE_VOLTAGE) {
        setting.CurrentMax = pRecord->Maximum;
        setting.CurrentMin = pRecord->Minimum;
    } else {
        setting.CurrentMax = 0.0f;
        setting.CurrentMin = 0.0f;
    }

    EnterCriticalSection(&pDevice->Lock);
    pDevice->Channels[channel] = setting;
    UpdateRangeRegister(pDevice, channel);
    LeaveCriticalSection(&pDevice->Lock);
    return TRUE;
}

BOOL WriteChannelOutput(DeviceContext* pDevice, DWORD channel, WORD value) {
    if (channel >= static_cast<DWORD>(AO_CHANNEL_COUNT)) {
        return TRUE;
    }
    EnterCriticalSection(&pDevice->Lock);
    UpdateRangeRegister(pDevice, channel);
    WritePortWord(BoardPort(pDevice, ChannelDataRegister(channel)), value);
    LeaveCriticalSection(&pDevice->Lock);
    return TRUE;
}
