#pragma once
// Start-up configuration: what AOC_Init runs for a board after the context
// exists, and the settings reload of every AOC_Open. Each operation closes
// every registry key it opens before it returns.
#include "vqx6406s.h"

// The board's PCI identity, its first I/O window and its call name. FALSE
// when the device key cannot be opened or the PCI information is unreadable.
BOOL ReadBusInfo(DeviceContext* pDevice, LPCWSTR pActiveKey);

// Switch, device number, channel settings and the two published keys.
// Always TRUE.
BOOL ConfigureDevice(DeviceContext* pDevice);

// Sets DeviceNumber when the driver service key holds this board's entry.
void FindDeviceEntry(DeviceContext* pDevice);

// The lowest device number no data-acquisition device entry holds.
BOOL AllocateDeviceNumber(LONG* pNumber);

// Replaces the channels that the driver device key supplies, in one hold of
// Lock; a channel whose text is missing ends the load.
void LoadDeviceSettings(DeviceContext* pDevice);

// The channels of the first template whose "SwitchID" is the board's, or the
// defaults when none is.
void LoadTemplateSettings(DeviceContext* pDevice);

// Writes the data-acquisition device key and the driver device key.
void PublishDevice(LONG number, DeviceContext* pDevice);
