// pci6406cfg: the board's setting templates edited from the command line by
// the configuration library's own dialog, opened with DriverConfig on the
// headless class library and worked as a person would: the bytes it writes
// are the bytes the dialog writes.
#include <afx_user.h>
#include <afxcmn.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "pci6406cfg.h"
#include "resource.h"
#include "template_dlg.h"

namespace {

const char kUsageLine[] =
    "usage: pci6406cfg --root DIR [--device NAME] list | add | remove T | boardid T ID | range T CHANNEL RANGE "
    "[RANGE]\n";

const char kHelp[] =
    "\n"
    "Edits the setting templates in a board's registry script through the\n"
    "configuration library's own template dialog, as a person at the screen\n"
    "would: selecting tree items and tabs, choosing box items, pressing Add,\n"
    "Remove and Save. The script is the one the image-build tool opens,\n"
    "DIR/Public/Quorvex/Device_Drivers/NAME/NAME.reg, NAME being the first\n"
    "seven characters of the device name.\n"
    "\n"
    "options:\n"
    "  --root DIR      the image's root folder (a missing trailing / is added)\n"
    "  --device NAME   the device name (default PCI6406)\n"
    "  --help          show this text and exit\n"
    "\n"
    "commands (T is a template number 0..15, or its item text such as Template3):\n"
    "  list            one line per template in the tree's order: its number,\n"
    "                  its BoardID and each channel's range as the boxes show it\n"
    "  add             adds the template the Add button adds and prints its number\n"
    "  remove T        removes template T\n"
    "  boardid T ID    sets template T's BoardID (its SwitchID, 0..15)\n"
    "  range T CHANNEL RANGE [RANGE]\n"
    "                  chooses channel 0..3's ranges in the order given, each in\n"
    "                  the box that offers it: -10 ~ 10V, -5 ~ 5V, 0 ~ 10V and\n"
    "                  0 ~ 5V (which brings 0 ~ 20mA along) in the voltage box;\n"
    "                  4 ~ 20mA, 0 ~ 20mA and none in the current box. Blanks\n"
    "                  and letter case do not matter.\n"
    "\n"
    "Each command that changes something saves, all at once or not at all; a\n"
    "second pci6406cfg on the same board folder waits for the first.\n"
    "Exit status: 0 done; 1 refused or failed, with the dialog's message on\n"
    "standard error; 2 a malformed command.\n"
    "\n"
    "example:\n"
    "  pci6406cfg --root image add\n"
    "  pci6406cfg --root image range 0 2 \"4 ~ 20mA\"\n"
    "  pci6406cfg --root image boardid 0 3\n"
    "  pci6406cfg --root image list\n";

enum { EXIT_REFUSED = 1, EXIT_MALFORMED = 2 };
enum { TAB_DEVICE = 0, TAB_AO = 1 };

int Malformed(const std::string& problem) {
    std::fprintf(stderr, "pci6406cfg: %s\n%s", problem.c_str(), kUsageLine);
    return EXIT_MALFORMED;
}

// The box texts compared without blanks or letter case: "-10~10v" is "-10 ~ 10V".
std::string Folded(const std::string& text) {
    std::string folded;
    for (char c : text) {
        if (c != ' ' && c != '\t') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded == "none" ? "" : folded;
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A decimal number 0..nLast of at most two digits, after an optional
// prefix; -1 when malformed.
int ParseNumber(const std::string& text, int nLast, const char* pszPrefix = "") {
    std::string digits = text.compare(0, std::strlen(pszPrefix), pszPrefix) == 0 ? text.substr(std::strlen(pszPrefix))
                                                                                 : text;
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    int n = std::atoi(digits.c_str());
    return n <= nLast ? n : -1;
}

// Answers as the tool's person: every box's text on standard error and its
// default button, but the question at closing is answered Cancel, unseen,
// so that nothing is saved but by Save.
class CToolAnswers : public CStderrAnswers {
public:
    CToolAnswers() : m_bClosing(false) {}
    int AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override {
        if (m_bClosing && (nType & MB_TYPEMASK) == MB_OKCANCEL) return IDCANCEL;
        return CStderrAnswers::AnswerMessageBox(hWndOwner, lpszText, lpszCaption, nType);
    }
    bool m_bClosing;
};

// One pci6406cfg at a time per board folder, from reading the script to
// saving it: a second command waits rather than save over the first one's
// change. The lock is the folder's own, so nothing is left beside the script,
// and the system drops it with a killed process.
class CFolderLock {
public:
    CFolderLock() : m_fd(-1) {}
    ~CFolderLock() {
        if (m_fd >= 0) close(m_fd);
    }
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // A missing folder holds no script to guard; the dialog says so.
    void Take(const std::string& folder) {
        m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return;
        if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) return;
        std::fprintf(stderr, "pci6406cfg: waiting for another pci6406cfg working on %s\n", folder.c_str());
        while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

private:
    int m_fd;
};

// The dialog on the screen, and the person's hands on it.
class CDialogUser {
public:
    explicit CDialogUser(CToolAnswers& answers) : m_answers(answers), m_hDlg(NULL), m_pDlg(NULL) {}

    // FALSE, with the reason on standard error, when no dialog came up.
    BOOL Open(const std::string& root, const std::string& device) {
        m_lock.Take(root + "Public/Quorvex/Device_Drivers/" + device.substr(0, 7));
        HWND hBefore = GetActiveWindow();
        DriverConfig(NULL, root.c_str(), device.c_str(), "");
        m_hDlg = GetActiveWindow();
        m_pDlg = m_hDlg != hBefore ? dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg)) : NULL;
        if (m_pDlg == NULL) return FALSE;  // DriverConfig said why
        // The dialog lists nothing for a script that is not there; say so.
        CFile script;
        CFileException error;
        if (!script.Open(m_pDlg->m_szScriptPath, CFile::modeRead | CFile::shareDenyNone, &error)) {
            std::fprintf(stderr, "pci6406cfg: cannot open the registry script %s (operating-system error %ld)\n",
                         m_pDlg->m_szScriptPath, static_cast<long>(error.m_lOsError));
            return FALSE;
        }
        script.Close();
        return m_answers.GetShownCount() == 0;  // a box at the start: the script could not be read
    }

    void Close() {
        if (!IsWindow(m_hDlg)) return;
        m_answers.m_bClosing = true;
        CUser::ClickDlgButton(m_hDlg, IDCANCEL);
        DestroyWindow(m_hDlg);
    }

    const char* ScriptPath() const { return m_pDlg->m_szScriptPath; }
    const TemplateEntry& Entry(int n) const { return m_pDlg->m_templates[n]; }

    HWND Control(int nID) const { return FindDescendant(m_hDlg, nID); }

    // The template numbers in the tree's order.
    std::vector<int> Templates() const {
        std::vector<int> numbers;
        const CTreeCtrl& tree = m_pDlg->m_tree;
        for (HTREEITEM h = tree.GetChildItem(tree.GetChildItem(tree.GetRootItem())); h != NULL;
             h = tree.GetNextSiblingItem(h)) {
            int n = TemplateNumberOf(tree.GetItemText(h));
            if (n >= 0) numbers.push_back(n);
        }
        return numbers;
    }

    // Each action FALSE when the dialog refused it (its message is out) or
    // gave the person nothing to act on.
    BOOL SelectTemplate(int n) {
        char szText[16];
        std::snprintf(szText, sizeof szText, "Template%d", n);
        return Act([&] { return CUser::ClickTreeText(Control(IDC_TEMPLATE_TREE), szText); });
    }
    BOOL ClickTab(int nIndex) { return Act([&] { return CUser::ClickTab(Control(IDC_TEMPLATE_TABS), nIndex); }); }
    BOOL Click(int nID) { return Act([&] { return CUser::ClickDlgButton(m_hDlg, nID); }); }
    BOOL ChooseItem(int nComboID, int nIndex) {
        return Act([&] { return CUser::ChooseComboItem(Control(nComboID), nIndex); });
    }

    // The index of the box's item that reads as text, or -1.
    int FindItem(int nComboID, const std::string& text) const {
        HWND hCombo = Control(nComboID);
        int nCount = (int)SendMessage(hCombo, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < nCount; ++i) {
            if (Folded(ItemText(hCombo, i)) == Folded(text)) return i;
        }
        return -1;
    }
    // The selected item's text without its blanks at either end.
    std::string SelectedText(int nComboID, bool& bSelected) const {
        HWND hCombo = Control(nComboID);
        int nSel = (int)SendMessage(hCombo, CB_GETCURSEL, 0, 0);
        bSelected = nSel >= 0;
        return bSelected ? Trimmed(ItemText(hCombo, nSel)) : "";
    }
    // Clears a box's selection, which the dialog is then free to set again.
    void ClearSelection(int nComboID) { SendMessage(Control(nComboID), CB_SETCURSEL, (WPARAM)-1, 0); }

private:
    template <class Fn>
    BOOL Act(Fn fn) {
        const int nShown = m_answers.GetShownCount();
        if (!fn()) {
            std::fprintf(stderr, "pci6406cfg: the dialog offered nothing to act on\n");
            return FALSE;
        }
        return m_answers.GetShownCount() == nShown;
    }
    static std::string ItemText(HWND hCombo, int nIndex) {
        int nLength = (int)SendMessage(hCombo, CB_GETLBTEXTLEN, nIndex, 0);
        std::string text(nLength > 0 ? nLength : 0, '\0');
        SendMessage(hCombo, CB_GETLBTEXT, nIndex, (LPARAM)&text[0]);
        return text;
    }
    static HWND FindDescendant(HWND hParent, int nID) {
        for (HWND hChild = GetWindow(hParent, GW_CHILD); hChild != NULL; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
            if (GetDlgCtrlID(hChild) == nID) return hChild;
            if (HWND hFound = FindDescendant(hChild, nID)) return hFound;
        }
        return NULL;
    }

    CToolAnswers& m_answers;
    CFolderLock m_lock;
    HWND m_hDlg;
    CTemplateDlg* m_pDlg;
};

// A channel in the boxes' words: its voltage range, and its current range
// when it has one. A range the boxes lack leaves them cleared; its numbers
// then come from the template itself.
std::string ChannelWords(CDialogUser& user, int n, int nChannel) {
    bool bVoltage, bCurrent;
    std::string voltage = user.SelectedText(IDC_VOLTAGE_RANGE0 + nChannel, bVoltage);
    std::string current = user.SelectedText(IDC_CURRENT_RANGE0 + nChannel, bCurrent);
    if (bVoltage) return current.empty() ? voltage : voltage + ", " + current;
    const AoChannelSetting& s = user.Entry(n).Channels[nChannel];
    char szText[96];
    if (s.CurrentMax != 0.0f)
        std::snprintf(szText, sizeof szText, "%g..%g V, %g..%g mA", s.VoltageMin, s.VoltageMax, s.CurrentMin,
                      s.CurrentMax);
    else
        std::snprintf(szText, sizeof szText, "%g..%g V", s.VoltageMin, s.VoltageMax);
    return szText;
}

int List(CDialogUser& user) {
    std::printf("%-8s  %-7s  %-16s  %-16s  %-16s  %s\n", "Template", "BoardID", "Channel 0", "Channel 1", "Channel 2",
                "Channel 3");
    for (int n : user.Templates()) {
        if (!user.SelectTemplate(n) || !user.ClickTab(TAB_DEVICE)) return EXIT_REFUSED;
        bool bShown;
        std::string boardId = user.SelectedText(IDC_BOARD_ID, bShown);
        if (!bShown) boardId = std::to_string(user.Entry(n).SwitchID);  // a number the box lacks
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            user.ClearSelection(IDC_VOLTAGE_RANGE0 + i);
            user.ClearSelection(IDC_CURRENT_RANGE0 + i);
        }
        if (!user.ClickTab(TAB_AO)) return EXIT_REFUSED;
        std::printf("%-8d  %-7s", n, boardId.c_str());
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            std::string words = ChannelWords(user, n, i);
            std::printf(i + 1 < AO_CHANNEL_COUNT ? "  %-16s" : "  %s", words.c_str());
        }
        std::printf("\n");
    }
    return 0;
}

int Add(CDialogUser& user) {
    std::vector<int> before = user.Templates();
    if (!user.Click(IDC_ADD_TEMPLATE) || !user.Click(IDOK)) return EXIT_REFUSED;
    std::vector<int> after = user.Templates();
    if (after.size() == before.size()) return EXIT_REFUSED;
    std::printf("%d\n", after.back());
    return 0;
}

// The commands that work on one template: check it is listed and select it.
int WithTemplate(CDialogUser& user, int n) {
    for (int listed : user.Templates()) {
        if (listed == n) return user.SelectTemplate(n) ? 0 : EXIT_REFUSED;
    }
    std::fprintf(stderr, "pci6406cfg: %s holds no Template%d\n", user.ScriptPath(), n);
    return EXIT_REFUSED;
}

struct Command {
    std::string name;
    int nTemplate = -1;
    int nValue = -1;  // the BoardID or the channel
    std::vector<std::string> ranges;
};

// The command's words checked before the dialog opens.
int ParseCommand(const std::vector<std::string>& words, Command& command) {
    if (words.empty()) return Malformed("no command");
    command.name = words[0];
    const size_t nArgs = words.size() - 1;
    auto templateArg = [&]() {
        command.nTemplate = ParseNumber(words[1], TEMPLATE_COUNT - 1, "Template");
        return command.nTemplate >= 0;
    };
    if (command.name == "list" || command.name == "add") {
        if (nArgs != 0) return Malformed(command.name + " takes no arguments");
    } else if (command.name == "remove") {
        if (nArgs != 1 || !templateArg()) return Malformed("remove takes a template number 0..15");
    } else if (command.name == "boardid") {
        if (nArgs != 2 || !templateArg() || (command.nValue = ParseNumber(words[2], TEMPLATE_COUNT - 1)) < 0)
            return Malformed("boardid takes a template number and a BoardID, both 0..15");
    } else if (command.name == "range") {
        if (nArgs < 3 || nArgs > 4 || !templateArg() ||
            (command.nValue = ParseNumber(words[2], AO_CHANNEL_COUNT - 1)) < 0)
            return Malformed("range takes a template number, a channel 0..3 and one or two ranges");
        command.ranges.assign(words.begin() + 3, words.end());
    } else {
        return Malformed("unknown command " + command.name);
    }
    return 0;
}

int Run(CDialogUser& user, const Command& command) {
    if (command.name == "list") return List(user);
    if (command.name == "add") return Add(user);
    if (int nResult = WithTemplate(user, command.nTemplate)) return nResult;
    if (command.name == "remove") return user.Click(IDC_REMOVE_TEMPLATE) && user.Click(IDOK) ? 0 : EXIT_REFUSED;
    if (command.name == "boardid") {
        return user.ClickTab(TAB_DEVICE) && user.ChooseItem(IDC_BOARD_ID, command.nValue) && user.Click(IDOK)
                   ? 0
                   : EXIT_REFUSED;
    }
    // range: each text in the box that offers it, in the order given.
    if (!user.ClickTab(TAB_AO)) return EXIT_REFUSED;
    for (const std::string& range : command.ranges) {
        bool bOffered = false;
        for (int nBox : {IDC_VOLTAGE_RANGE0 + command.nValue, IDC_CURRENT_RANGE0 + command.nValue}) {
            const int nItem = user.FindItem(nBox, range);
            if (nItem < 0) continue;
            if (!user.ChooseItem(nBox, nItem)) return EXIT_REFUSED;
            bOffered = true;
            break;
        }
        if (!bOffered)
            return Malformed("no box offers the range \"" + range +
                             "\"; the ranges are -10 ~ 10V, -5 ~ 5V, 0 ~ 10V, 0 ~ 5V, 4 ~ 20mA, 0 ~ 20mA and none");
    }
    return user.Click(IDOK) ? 0 : EXIT_REFUSED;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    bool bRoot = false;
    std::string device = "PCI6406";
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("%s%s", kUsageLine, kHelp);
            return 0;
        }
        if ((arg == "--root" || arg == "--device") && words.empty()) {
            if (i + 1 >= argc) return Malformed(arg + " needs a value");
            (arg == "--root" ? root : device) = argv[++i];
            bRoot = bRoot || arg == "--root";
        } else if (arg.compare(0, 2, "--") == 0 && words.empty()) {
            return Malformed("unknown option " + arg);
        } else {
            words.push_back(arg);
        }
    }
    if (!bRoot || root.empty()) return Malformed("--root is required");
    if (root.back() != '/' && root.back() != '\\') root += '/';
    Command command;
    if (int nResult = ParseCommand(words, command)) return nResult;

    AfxGetStaticModuleState()->m_lpszCurrentAppName = "PCI6406Cfg";
    CToolAnswers answers;
    CDialogUser user(answers);
    int nResult = user.Open(root, device) ? Run(user, command) : EXIT_REFUSED;
    user.Close();
    return nResult;
}
