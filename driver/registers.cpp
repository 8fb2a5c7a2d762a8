#include "registers.h"

namespace {

// A current loop rides on 0..5 V, range code 0.
const AoRangePair& kCurrentLoopPair = RANGE_CODE_PAIRS[0];

}  // namespace

void RecordVoltagePair(const RangeRecord* pRecord, float* pVoltageMax, float* pVoltageMin) {
    if (pRecord->Mode != RANGE_MODE_VOLTAGE) {
        *pVoltageMax = kCurrentLoopPair.VoltageMax;
        *pVoltageMin = kCurrentLoopPair.VoltageMin;
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
