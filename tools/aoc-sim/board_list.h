#pragma once
// --board lists: "key=value,key=value" into a board's configuration, and the
// defaults for the keys a list leaves out.
#include <string>
#include <vector>

#include "target.h"

struct BoardList {
    sim::BoardConfig config;
    bool hasSlot = false, hasIo = false, hasSubsystem = false, hasSwitch = false;
};

// False with a one-line `error` for an unknown or repeated key, a malformed
// number or a value out of its range. "switch" is the byte SWITCH_ID reads,
// whose low four bits are the switch; "io" may lie anywhere in 32 bits, and
// the window may run past port 0xFFFF, where the 16-bit port number wraps.
bool ParseBoardList(const std::string& text, BoardList& board, std::string* error);

// Fills what each board left out: a free slot on its bus, a free I/O block,
// and a subsystem ID with a switch when a switch was given.
void CompleteBoardLists(std::vector<BoardList>& boards);
