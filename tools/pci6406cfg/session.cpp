#include "session.h"

#include <cstdio>

#include "check.h"
#include "regscript.h"
#include "resource.h"

namespace {

enum { TAB_DEVICE = 0, TAB_AO = 1 };

// What a save would write: the templates in the tree's order, their
// entries, the removals still to cut out, and the templates the script holds
// without a SwitchID that no edit has yet made the dialog's.
struct DialogState {
    std::vector<int> listed;
    WORD wPendingRemoval;
    WORD wUnloaded;
    std::vector<TemplateEntry> entries;
};

DialogState StateOf(const CDialogUser& user) {
    DialogState state{user.Templates(), user.Dialog().m_wPendingRemoval, user.Dialog().m_wUnloadedTemplates, {}};
    for (int n : state.listed) state.entries.push_back(user.Entry(n));
    return state;
}

// A removal counts only for a template the script holds: one added and
// removed again in the session leaves nothing to cut. An edit of a template
// held without a SwitchID counts even when it chose what the dialog showed:
// a save writes that template whole.
bool Unchanged(const DialogState& start, const DialogState& now) {
    WORD wInScript = 0;
    for (int n : start.listed) wInScript = static_cast<WORD>(wInScript | (1u << n));
    if (start.listed != now.listed || (now.wPendingRemoval & wInScript) != 0 ||
        ((start.wUnloaded ^ now.wUnloaded) & wInScript) != 0)
        return false;
    for (size_t i = 0; i < start.entries.size(); ++i) {
        const TemplateEntry &x = start.entries[i], &y = now.entries[i];
        if (x.SwitchID != y.SwitchID) return false;
        for (int c = 0; c < AO_CHANNEL_COUNT; ++c)
            if (!SameSetting(x.Channels[c], y.Channels[c])) return false;
    }
    return true;
}

std::string TemplateList(const std::vector<int>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size(); ++i)
        text += (i == 0                    ? ""
                 : i + 1 == numbers.size() ? " and "
                                           : ", ") +
                std::string("Template") + std::to_string(numbers[i]);
    return text;
}

// The numbers 0..15 that the mask leaves clear, in runs: "2, 5..15".
std::string FreeNumbers(WORD wUsed) {
    std::string text;
    for (int s = 0; s < TEMPLATE_COUNT; ++s) {
        if (wUsed & (1u << s)) continue;
        int last = s;
        while (last + 1 < TEMPLATE_COUNT && !(wUsed & (1u << (last + 1)))) ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(s);
        if (last > s) text += (last == s + 1 ? ", " : "..") + std::to_string(last);
        s = last;
    }
    return text;
}

std::string JsonText(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char szEscape[8];
            std::snprintf(szEscape, sizeof szEscape, "\\u%04x", c);
            quoted += szEscape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string JsonNumber(float value) {
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.9g", static_cast<double>(value));
    return szText;
}

class CSession {
public:
    CSession(CDialogUser& user, size_t nCommands) : m_user(user), m_bSeveral(nCommands > 1) {}
    int Run(const Command& command);

private:
    // A channel as the boxes show it; bShown false when they offer no such range.
    struct ShownChannel {
        bool bShown;
        std::string voltage;
        std::string current;  // "" for the blank item: no current range
    };

    int Refused(const Command& command, size_t nBoxes, const std::string& context) const;
    int WithTemplate(const Command& command);
    BOOL Show(int n, std::string& boardId, ShownChannel (&channels)[AO_CHANNEL_COUNT]);
    int List();
    int ListJson();
    int Add(const Command& command);
    int BoardId(const Command& command);
    int Range(const Command& command);
    int Check();

    CDialogUser& m_user;
    bool m_bSeveral;
};

// The dialog's message as it stands, then a line of context; a refusal of
// the tool's own is that line alone.
int CSession::Refused(const Command& command, size_t nBoxes, const std::string& context) const {
    const std::vector<std::string>& boxes = m_user.Boxes();
    if (boxes.size() == nBoxes && context.empty()) return EXIT_REFUSED;  // already said
    for (size_t i = nBoxes; i < boxes.size(); ++i) std::fprintf(stderr, "%s\n", boxes[i].c_str());
    Say(command.where + command.text + ": " + (context.empty() ? "refused" : context) +
        (m_bSeveral ? "; nothing is saved" : ""));
    return EXIT_REFUSED;
}

int CSession::Run(const Command& command) {
    if (command.name == "list") return command.bJson ? ListJson() : List();
    if (command.name == "add") return Add(command);
    if (command.name == "check") return Check();
    if (int nResult = WithTemplate(command)) return nResult;
    if (command.name == "remove")
        return m_user.Click(IDC_REMOVE_TEMPLATE) ? EXIT_DONE : Refused(command, m_user.Boxes().size(), "");
    if (command.name == "boardid") return BoardId(command);
    return Range(command);
}

// The commands that work on one template: it must be listed, and is selected.
int CSession::WithTemplate(const Command& command) {
    const std::vector<int> listed = m_user.Templates();
    for (int n : listed) {
        if (n == command.nTemplate)
            return m_user.SelectTemplate(n) ? EXIT_DONE : Refused(command, m_user.Boxes().size(), "");
    }
    return Refused(command, m_user.Boxes().size(),
                   "no Template" + std::to_string(command.nTemplate) + " in " + m_user.ScriptPath() +
                       (listed.empty() ? ", which holds no template" : "; it holds " + TemplateList(listed)));
}

// Selects the template and reads what its pages show.
BOOL CSession::Show(int n, std::string& boardId, ShownChannel (&channels)[AO_CHANNEL_COUNT]) {
    if (!m_user.SelectTemplate(n) || !m_user.ClickTab(TAB_DEVICE)) return FALSE;
    bool bShown;
    boardId = m_user.SelectedText(IDC_BOARD_ID, bShown);
    if (!bShown) boardId = std::to_string(m_user.Entry(n).SwitchID);  // a number the box lacks
    // Cleared boxes stay cleared for a range the page does not offer.
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        m_user.ClearSelection(IDC_VOLTAGE_RANGE0 + i);
        m_user.ClearSelection(IDC_CURRENT_RANGE0 + i);
    }
    if (!m_user.ClickTab(TAB_AO)) return FALSE;
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        bool bCurrent;
        channels[i].voltage = m_user.SelectedText(IDC_VOLTAGE_RANGE0 + i, channels[i].bShown);
        channels[i].current = m_user.SelectedText(IDC_CURRENT_RANGE0 + i, bCurrent);
    }
    return TRUE;
}

int CSession::List() {
    std::printf("%-8s  %-7s  %-16s  %-16s  %-16s  %s\n", "Template", "BoardID", "Channel 0", "Channel 1", "Channel 2",
                "Channel 3");
    for (int n : m_user.Templates()) {
        std::string boardId;
        ShownChannel channels[AO_CHANNEL_COUNT];
        if (!Show(n, boardId, channels)) return EXIT_REFUSED;
        std::printf("%-8d  %-7s", n, boardId.c_str());
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            const ShownChannel& c = channels[i];
            const std::string words = !c.bShown           ? RangeNumbers(m_user.Entry(n).Channels[i])
                                      : c.current.empty() ? c.voltage
                                                          : c.voltage + ", " + c.current;
            std::printf(i + 1 < AO_CHANNEL_COUNT ? "  %-16s" : "  %s", words.c_str());
        }
        std::printf("\n");
    }
    return EXIT_DONE;
}

int CSession::ListJson() {
    std::printf("{\"script\": %s,\n \"templates\": [", JsonText(m_user.ScriptPath()).c_str());
    const std::vector<int> listed = m_user.Templates();
    for (size_t t = 0; t < listed.size(); ++t) {
        const int n = listed[t];
        std::string boardId;
        ShownChannel channels[AO_CHANNEL_COUNT];
        if (!Show(n, boardId, channels)) return EXIT_REFUSED;
        std::printf("%s\n  {\"template\": %d, \"BoardID\": %lu, \"channels\": [", t ? "," : "", n,
                    static_cast<unsigned long>(m_user.Entry(n).SwitchID));
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            const ShownChannel& c = channels[i];
            const AoChannelSetting& s = m_user.Entry(n).Channels[i];
            std::printf(
                "%s\n    {\"channel\": %d, \"voltage\": %s, \"current\": %s, \"InitialCode\": %u, "
                "\"VoltageMax\": %s, \"VoltageMin\": %s, \"CurrentMax\": %s, \"CurrentMin\": %s}",
                i ? "," : "", i, c.bShown ? JsonText(c.voltage).c_str() : "null",
                c.bShown ? JsonText(c.current.empty() ? "none" : c.current).c_str() : "null",
                static_cast<unsigned>(s.InitialCode), JsonNumber(s.VoltageMax).c_str(),
                JsonNumber(s.VoltageMin).c_str(), JsonNumber(s.CurrentMax).c_str(), JsonNumber(s.CurrentMin).c_str());
        }
        std::printf("\n  ]}");
    }
    std::printf("%s]}\n", listed.empty() ? "" : "\n ");
    return EXIT_DONE;
}

int CSession::Add(const Command& command) {
    const size_t nBoxes = m_user.Boxes().size();
    const std::vector<int> before = m_user.Templates();
    if (!m_user.Click(IDC_ADD_TEMPLATE))
        return Refused(
            command, nBoxes,
            "all " + std::to_string(before.size()) + " template numbers are listed; remove a template first");
    const std::vector<int> after = m_user.Templates();
    if (after.size() == before.size()) return Refused(command, nBoxes, "the dialog added no template");
    std::printf("Template%d, BoardID %lu\n", after.back(),
                static_cast<unsigned long>(m_user.Entry(after.back()).SwitchID));
    return EXIT_DONE;
}

int CSession::BoardId(const Command& command) {
    const size_t nBoxes = m_user.Boxes().size();
    if (m_user.ClickTab(TAB_DEVICE) && m_user.ChooseItem(IDC_BOARD_ID, command.nValue)) return EXIT_DONE;
    // The template the dialog's table gives the BoardID to.
    std::string holder = "BoardID " + std::to_string(command.nValue) + " is in use";
    for (int n : m_user.Templates()) {
        if (n != command.nTemplate && m_user.Entry(n).SwitchID == static_cast<DWORD>(command.nValue))
            holder = "Template" + std::to_string(n) + " holds BoardID " + std::to_string(command.nValue);
    }
    const std::string free = FreeNumbers(m_user.Dialog().m_wUsedSwitchIDs);
    return Refused(command, nBoxes, holder + (free.empty() ? "; no BoardID is free" : "; free BoardIDs: " + free));
}

// Each text in the box that offers it, in the order given.
int CSession::Range(const Command& command) {
    if (!m_user.ClickTab(TAB_AO)) return Refused(command, m_user.Boxes().size(), "");
    for (const std::string& range : command.ranges) {
        bool bOffered = false;
        for (int nBox : {IDC_VOLTAGE_RANGE0 + command.nValue, IDC_CURRENT_RANGE0 + command.nValue}) {
            const int nItem = m_user.FindItem(nBox, range);
            if (nItem < 0) continue;
            if (!m_user.ChooseItem(nBox, nItem)) return Refused(command, m_user.Boxes().size(), "");
            bOffered = true;
            break;
        }
        if (!bOffered) return Malformed(command.where + "no box offers the range \"" + range + "\"; " + kRangeWords);
    }
    return EXIT_DONE;
}

// Reads the script once more: the dialog keeps no text of it after its start.
int CSession::Check() {
    CTemplateDlg& dlg = m_user.Dialog();
    std::vector<std::string> findings;
    size_t nShown = 0;
    try {
        CRegScript script;
        if (script.Open(dlg.m_szScriptPath) != 0) {
            Say("cannot read " + m_user.ScriptPath() + " again");
            return EXIT_REFUSED;
        }
        // The dialog lists a template whose SwitchID it cannot read, with its defaults.
        std::vector<ShownTemplate> shown;
        for (int n : m_user.Templates()) {
            DWORD dwStart, dwEnd;
            script.FindTemplateSection(n, dwStart, dwEnd);
            const TemplateEntry& entry = m_user.Entry(n);
            shown.push_back(ShownTemplate{n, entry.SwitchID, entry.Channels,
                                          !(dlg.m_wUnloadedTemplates & TemplateBit(n)), dwStart});
        }
        nShown = shown.size();
        findings = CheckScript(std::string_view(script.GetText(), script.GetLength()), shown);
        script.Close();
    } catch (CException* pError) {
        pError->Delete();
        Say("cannot read " + m_user.ScriptPath() + " again");
        return EXIT_REFUSED;
    }
    for (const std::string& finding : findings) std::printf("%s\n", finding.c_str());
    if (findings.empty()) {
        std::printf("%zu template%s, each read by the driver as the dialog shows it.\n", nShown,
                    nShown == 1 ? "" : "s");
        return EXIT_DONE;
    }
    std::printf("%zu finding%s: the driver does not read this script as the dialog shows it.\n", findings.size(),
                findings.size() == 1 ? "" : "s");
    return EXIT_REFUSED;
}

}  // namespace

int RunSession(CDialogUser& user, const std::vector<Command>& commands, bool& bSaved) {
    bSaved = false;
    CSession session(user, commands.size());
    const DialogState before = StateOf(user);
    bool bSave = false;
    for (const Command& command : commands) {
        if (command.name == "save") {
            bSave = true;
        } else if (int nResult = session.Run(command)) {
            return nResult;
        }
    }
    const DialogState after = StateOf(user);
    if (!bSave && Unchanged(before, after)) return EXIT_DONE;                  // the script holds it already
    if (after.listed.empty() && after.wPendingRemoval == 0) return EXIT_DONE;  // nothing to write
    // What the commands printed reaches its reader before anything is saved.
    if (std::fflush(stdout) != 0) return EXIT_REFUSED;
    if (!IsWindowEnabled(user.Control(IDOK))) {
        // Save waits for an edit. Remove pressed on the device item, which is
        // no template, enables it and changes nothing.
        if (!user.SelectDeviceItem() || !user.Click(IDC_REMOVE_TEMPLATE)) return EXIT_REFUSED;
    }
    const size_t nBoxes = user.Boxes().size();
    if (user.Click(IDOK)) {
        bSaved = true;
        return EXIT_DONE;
    }
    for (size_t i = nBoxes; i < user.Boxes().size(); ++i) Say(user.ScriptMessage(user.Boxes()[i], true));
    user.SayNextStep();
    return EXIT_REFUSED;
}
