#pragma once
// One dialog session: the commands worked in the open dialog one after
// another, and Save pressed once at the end.
#include <vector>

#include "command.h"
#include "dialog_user.h"

// Saves when the commands changed what the dialog holds, or `save` asks; a
// refusal ends the session with nothing saved. Returns the exit status;
// bSaved tells whether a save landed. Nothing is saved while the output
// cannot be written, so that no one retries a command that did its work.
int RunSession(CDialogUser& user, const std::vector<Command>& commands, bool& bSaved);
