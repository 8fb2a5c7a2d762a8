#pragma once
// The template store's part that knows no control: the table's entries and
// their defaults, the template numbers of the tree's item texts, the choice
// of a free number and a free SwitchID over 16-bit masks, one entry loaded
// from and saved to a CRegScript, and what a script error means. The main
// dialog (config/ui) walks its tree, keeps the masks and calls these.
#include <afx.h>

#include "ao_setting.h"
#include "registry_layout.h"

class CRegScript;

struct TemplateEntry {
    DWORD SwitchID;
    AoChannelSetting Channels[AO_CHANNEL_COUNT];
};

// Entry n as a template the script lacks holds it: SwitchID n, every channel
// -10..10 V without a current range.
void SetDefaultTemplate(TemplateEntry& entry, int nIndex);

// Bit n of a template or SwitchID mask; 0 for a number outside 0..15, which
// no mask has room for.
WORD TemplateBit(DWORD n);

// The number of a template item's text ("Template0" .. "Template15"), or -1.
int TemplateNumberOf(LPCSTR lpszItemText);

// The lowest template number whose bit wUsed lacks; TEMPLATE_COUNT when every
// number is used.
int LowestFreeTemplateNumber(WORD wUsed);

// Gives entry n the lowest SwitchID 0..15 that no entry of the table holds,
// listed or not, and marks it in wUsedSwitchIDs: TRUE. When every number is
// held (a table still at its defaults holds each once), entry n keeps the one
// it holds, which is then in use: FALSE.
BOOL ChooseFreeSwitchID(TemplateEntry (&templates)[TEMPLATE_COUNT], int nIndex, WORD& wUsedSwitchIDs);

// Template n from the script: FALSE, with the entry at its defaults, when the
// script holds no dword "SwitchID" for it. A channel whose text is missing,
// not a string or longer than 255 characters keeps its default, and so do the
// numbers a text lacks.
BOOL LoadTemplateEntry(CRegScript& script, int nIndex, TemplateEntry& entry);

// Entry n into the script: its section appended when missing, then
// "SwitchID" and the four channel texts. FALSE when the document could take
// no more (it writes nothing when out of memory); what came before stays in
// the document.
BOOL SaveTemplateEntry(CRegScript& script, int nIndex, const TemplateEntry& entry);

// A script that is not there yet (its file or folder missing) holds no
// templates; any other failure to open it means they could not be read.
BOOL IsScriptMissing(DWORD dwError);

// Why the script could not be opened, read or written, in words for a
// message; NULL for an error without words here.
LPCSTR DescribeScriptError(DWORD dwError);
