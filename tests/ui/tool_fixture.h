#pragma once
// pci6406cfg run as a person runs it, on the fixture's image folder.
#include <string>

#include "dialog_fixture.h"

struct Outcome {
    int nStatus;  // the exit status; -1 when a signal ended it
    std::string out;
    std::string err;
};

class ToolTest : public TemplateDialogTest {
protected:
    Outcome Tool(const std::string& args) const { return ToolAt(m_script.Root(), args); }
    // The script's path as the tool names it.
    std::string NativePath() const { return m_script.Path(); }
    // With another image root; `prelude` runs in the same shell first.
    static Outcome ToolAt(const std::string& root, const std::string& args, const std::string& prelude = "");
};
