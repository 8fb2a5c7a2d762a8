#pragma once
// One session: the commands worked on the board's template store one after
// another, and one save at the end.
#include <vector>

#include "board_store.h"
#include "command.h"

// Saves when the commands changed what the store holds, or `save` asks; a
// refusal ends the session with nothing saved. Returns the exit status;
// bSaved tells whether a save landed. Nothing is saved while the output
// cannot be written, so that no one retries a command that did its work.
int RunSession(CBoardStore& board, const std::vector<Command>& commands, bool& bSaved);
