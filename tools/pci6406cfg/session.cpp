#include "session.h"

#include <cstdio>

#include "check.h"
#include "regscript.h"

namespace {

// What a save would write: the templates in the order listed, their
// entries, the removals still to cut out, and the templates the script holds
// without a SwitchID that no edit has yet made the store's.
struct StoreState {
    std::vector<int> listed;
    WORD wPendingRemoval;
    WORD wUnloaded;
    std::vector<TemplateEntry> entries;
};

StoreState StateOf(const CBoardStore& board) {
    StoreState state{board.Templates(), board.Store().m_wPendingRemoval, board.Store().m_wUnloadedTemplates, {}};
    for (int n : state.listed) state.entries.push_back(board.Entry(n));
    return state;
}

// A removal counts only for a template the script holds: one added and
// removed again in the session leaves nothing to cut. An edit of a template
// held without a SwitchID counts even when it chose what the dialog showed:
// a save writes that template whole.
bool Unchanged(const StoreState& start, const StoreState& now) {
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

// The range list's item without its blanks at either end.
std::string Trimmed(const char* pszItem) {
    const std::string text = pszItem;
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The index of the list's item that reads as text, or -1.
template <size_t N>
int FindItem(const char* const (&items)[N], const std::string& text) {
    for (size_t i = 0; i < N; ++i) {
        if (FoldedRange(items[i]) == FoldedRange(text)) return static_cast<int>(i);
    }
    return -1;
}

class CSession {
public:
    CSession(CBoardStore& board, size_t nCommands) : m_board(board), m_store(board.Store()), m_bSeveral(nCommands > 1) {}
    int Run(const Command& command);

private:
    // A channel as the range lists show it; bShown false when they offer no such range.
    struct ShownChannel {
        bool bShown;
        std::string voltage;
        std::string current;  // "" for the blank item: no current range
    };

    int Refused(const Command& command, const char* pszMessage, const std::string& context) const;
    int WithTemplate(const Command& command);
    void Show(int n, std::string& boardId, ShownChannel (&channels)[AO_CHANNEL_COUNT]) const;
    int List();
    int ListJson();
    int Add(const Command& command);
    int BoardId(const Command& command);
    int Range(const Command& command);
    int Check();

    CBoardStore& m_board;
    CTemplateStore& m_store;
    bool m_bSeveral;
};

// The store's message, then a line of context.
int CSession::Refused(const Command& command, const char* pszMessage, const std::string& context) const {
    if (pszMessage != nullptr) std::fprintf(stderr, "%s\n", pszMessage);
    Say(command.where + command.text + ": " + (context.empty() ? "refused" : context) +
        (m_bSeveral ? "; nothing is saved" : ""));
    return EXIT_REFUSED;
}

int CSession::Run(const Command& command) {
    if (command.name == "list") return command.bJson ? ListJson() : List();
    if (command.name == "add") return Add(command);
    if (command.name == "check") return Check();
    if (int nResult = WithTemplate(command)) return nResult;
    if (command.name == "remove") {
        m_store.RemoveTemplate(command.nTemplate);
        return EXIT_DONE;
    }
    if (command.name == "boardid") return BoardId(command);
    return Range(command);
}

// The commands that work on one template: it must be listed, and is selected.
int CSession::WithTemplate(const Command& command) {
    if (m_store.IsListed(command.nTemplate)) {
        m_store.SelectTemplate(command.nTemplate);
        return EXIT_DONE;
    }
    const std::vector<int> listed = m_board.Templates();
    return Refused(command, nullptr,
                   "no Template" + std::to_string(command.nTemplate) + " in " + m_board.ScriptPath() +
                       (listed.empty() ? ", which holds no template" : "; it holds " + TemplateList(listed)));
}

// What the pages show of template n: its BoardID, and each channel's ranges.
void CSession::Show(int n, std::string& boardId, ShownChannel (&channels)[AO_CHANNEL_COUNT]) const {
    const TemplateEntry& entry = m_board.Entry(n);
    boardId = std::to_string(entry.SwitchID);
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        int nVoltage, nCurrent;
        channels[i].bShown = ShownRangeItems(entry.Channels[i], nVoltage, nCurrent);
        channels[i].voltage = channels[i].bShown ? Trimmed(kVoltageRangeItems[nVoltage]) : "";
        channels[i].current = channels[i].bShown ? Trimmed(kCurrentRangeItems[nCurrent]) : "";
    }
}

int CSession::List() {
    std::printf("%-8s  %-7s  %-16s  %-16s  %-16s  %s\n", "Template", "BoardID", "Channel 0", "Channel 1", "Channel 2",
                "Channel 3");
    for (int n : m_board.Templates()) {
        std::string boardId;
        ShownChannel channels[AO_CHANNEL_COUNT];
        Show(n, boardId, channels);
        std::printf("%-8d  %-7s", n, boardId.c_str());
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            const ShownChannel& c = channels[i];
            const std::string words = !c.bShown           ? RangeNumbers(m_board.Entry(n).Channels[i])
                                      : c.current.empty() ? c.voltage
                                                          : c.voltage + ", " + c.current;
            std::printf(i + 1 < AO_CHANNEL_COUNT ? "  %-16s" : "  %s", words.c_str());
        }
        std::printf("\n");
    }
    return EXIT_DONE;
}

int CSession::ListJson() {
    std::printf("{\"script\": %s,\n \"templates\": [", JsonText(m_board.ScriptPath()).c_str());
    const std::vector<int> listed = m_board.Templates();
    for (size_t t = 0; t < listed.size(); ++t) {
        const int n = listed[t];
        std::string boardId;
        ShownChannel channels[AO_CHANNEL_COUNT];
        Show(n, boardId, channels);
        std::printf("%s\n  {\"template\": %d, \"BoardID\": %lu, \"channels\": [", t ? "," : "", n,
                    static_cast<unsigned long>(m_board.Entry(n).SwitchID));
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            const ShownChannel& c = channels[i];
            const AoChannelSetting& s = m_board.Entry(n).Channels[i];
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
    const int nListed = m_store.ListedCount();
    const int nAdded = m_store.AddTemplate();
    if (nAdded < 0)
        return Refused(command, kTooManyTemplates,
                       "all " + std::to_string(nListed) + " template numbers are listed; remove a template first");
    std::printf("Template%d, BoardID %lu\n", nAdded, static_cast<unsigned long>(m_board.Entry(nAdded).SwitchID));
    return EXIT_DONE;
}

int CSession::BoardId(const Command& command) {
    if (m_store.ChooseSwitchID(static_cast<DWORD>(command.nValue))) return EXIT_DONE;
    // The template the table gives the BoardID to.
    std::string holder = "BoardID " + std::to_string(command.nValue) + " is in use";
    for (int n : m_board.Templates()) {
        if (n != command.nTemplate && m_board.Entry(n).SwitchID == static_cast<DWORD>(command.nValue))
            holder = "Template" + std::to_string(n) + " holds BoardID " + std::to_string(command.nValue);
    }
    const std::string free = FreeNumbers(m_store.m_wUsedSwitchIDs);
    return Refused(command, kSwitchIDUsed,
                   holder + (free.empty() ? "; no BoardID is free" : "; free BoardIDs: " + free));
}

// Each text in the list that offers it, in the order given.
int CSession::Range(const Command& command) {
    for (const std::string& range : command.ranges) {
        if (int nItem = FindItem(kVoltageRangeItems, range); nItem >= 0) {
            m_store.ChooseVoltageRange(command.nValue, nItem);
        } else if (int nCurrent = FindItem(kCurrentRangeItems, range); nCurrent >= 0) {
            m_store.ChooseCurrentRange(command.nValue, nCurrent);
        } else {
            return Malformed(command.where + "no box offers the range \"" + range + "\"; " + kRangeWords);
        }
    }
    return EXIT_DONE;
}

// Reads the script once more: the store keeps no text of it after its start.
int CSession::Check() {
    std::vector<std::string> findings;
    size_t nShown = 0;
    try {
        CRegScript script;
        if (script.Open(m_store.m_szScriptPath) != 0) {
            Say("cannot read " + m_board.ScriptPath() + " again");
            return EXIT_REFUSED;
        }
        // A template whose SwitchID cannot be read is listed with its defaults.
        std::vector<ShownTemplate> shown;
        for (int n : m_board.Templates()) {
            DWORD dwStart, dwEnd;
            script.FindTemplateSection(n, dwStart, dwEnd);
            const TemplateEntry& entry = m_board.Entry(n);
            shown.push_back(ShownTemplate{n, entry.SwitchID, entry.Channels,
                                          !(m_store.m_wUnloadedTemplates & TemplateBit(n)), dwStart});
        }
        nShown = shown.size();
        findings = CheckScript(std::string_view(script.GetText(), script.GetLength()), shown);
        script.Close();
    } catch (CException* pError) {
        pError->Delete();
        Say("cannot read " + m_board.ScriptPath() + " again");
        return EXIT_REFUSED;
    }
    for (const std::string& finding : findings) std::printf("%s\n", finding.c_str());
    if (findings.empty()) {
        std::printf("%zu template%s, each read by the driver as the dialog shows it.\n", nShown, nShown == 1 ? "" : "s");
        return EXIT_DONE;
    }
    std::printf("%zu finding%s: the driver does not read this script as the dialog shows it.\n", findings.size(),
                findings.size() == 1 ? "" : "s");
    return EXIT_REFUSED;
}

}  // namespace

int RunSession(CBoardStore& board, const std::vector<Command>& commands, bool& bSaved) {
    bSaved = false;
    CSession session(board, commands.size());
    const StoreState before = StateOf(board);
    bool bSave = false;
    for (const Command& command : commands) {
        if (command.name == "save") {
            bSave = true;
        } else if (int nResult = session.Run(command)) {
            return nResult;
        }
    }
    const StoreState after = StateOf(board);
    if (!bSave && Unchanged(before, after)) return EXIT_DONE;                  // the script holds it already
    if (after.listed.empty() && after.wPendingRemoval == 0) return EXIT_DONE;  // nothing to write
    // What the commands printed reaches its reader before anything is saved.
    if (std::fflush(stdout) != 0) return EXIT_REFUSED;
    CTemplateStore& store = board.Store();
    const BOOL bLanded = store.SaveAllTemplates();
    board.SayNotice();
    if (bLanded) {
        bSaved = true;
        return EXIT_DONE;
    }
    Say(board.ScriptMessage((LPCSTR)store.ScriptErrorText(kCannotSave, "The script is unchanged."), true));
    board.SayNextStep();
    return EXIT_REFUSED;
}
