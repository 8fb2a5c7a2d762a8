#include "dialog_user.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "command.h"
#include "journal.h"
#include "pci6406cfg.h"
#include "resource.h"

namespace {

const char kExampleScript[] = "tools/pci6406cfg/examples/PCI6406.reg";

std::string LowerFirst(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// A path as a shell takes it back.
std::string ShellWord(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:@,=") ==
            std::string::npos)
        return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

HWND FindDescendant(HWND hParent, int nID) {
    for (HWND hChild = GetWindow(hParent, GW_CHILD); hChild != NULL; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(hChild) == nID) return hChild;
        if (HWND hFound = FindDescendant(hChild, nID)) return hFound;
    }
    return NULL;
}

std::string ItemText(HWND hCombo, int nIndex) {
    int nLength = (int)SendMessage(hCombo, CB_GETLBTEXTLEN, nIndex, 0);
    std::string text(nLength > 0 ? nLength : 0, '\0');
    SendMessage(hCombo, CB_GETLBTEXT, nIndex, (LPARAM)&text[0]);
    return text.c_str();
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

// ---- Answers and the folder's lock -------------------------------------

int CToolAnswers::AnswerMessageBox(HWND, LPCSTR lpszText, LPCSTR, UINT nType) {
    m_boxes.push_back(lpszText);
    // The dialog's only question is whether to save at closing.
    return (nType & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

CFolderLock::~CFolderLock() {
    if (m_fd >= 0) close(m_fd);
}

void CFolderLock::Take(const std::string& folder) {
    m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        // A folder that is not there holds no script to guard, as the command
        // then says; one that cannot be opened cannot be locked.
        if (errno != ENOENT && errno != ENOTDIR)
            Say("cannot lock the board folder " + folder + " (" + std::strerror(errno) +
                "), so another pci6406cfg on it will not wait for this one, nor this one for it");
        return;
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) return;
    Say("waiting for another pci6406cfg working on " + folder);
    while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// ---- The dialog ---------------------------------------------------------

BOOL CDialogUser::Open(const std::string& root, const std::string& device) {
    m_lock.Take(root + "Public/Quorvex/Device_Drivers/" + device.substr(0, 7));
    HWND hBefore = GetActiveWindow();
    DriverConfig(NULL, root.c_str(), device.c_str(), "");
    m_hDlg = GetActiveWindow();
    m_pDlg = m_hDlg != hBefore ? dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg)) : NULL;
    if (m_pDlg == NULL) {
        // DriverConfig said why: the path would be too long.
        for (const std::string& box : Boxes()) Say(LowerFirst(box));
        return FALSE;
    }
    // The file layer takes backslashes for slashes: this is the file it opens.
    m_native = m_pDlg->m_szScriptPath;
    for (char& c : m_native) c = c == '\\' ? '/' : c;
    SayNotices(0);
    if (!Boxes().empty()) {
        // A script the dialog could not read; it would go on without its templates.
        Say(ScriptMessage(Boxes().front(), false));
        SayNextStep();
        return FALSE;
    }
    // The dialog lists nothing for a script that is not there, and could not save one.
    struct stat st;
    if (stat(m_native.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        if (errno == ENOENT)
            SayMissingScript();
        else
            SayFileOnTheWay(root);
        return FALSE;
    }
    return TRUE;
}

// A file where the script's path needs a folder: the first one on the way.
void CDialogUser::SayFileOnTheWay(const std::string& root) const {
    for (size_t slash = m_native.find('/', 1); slash != std::string::npos; slash = m_native.find('/', slash + 1)) {
        const std::string folder = m_native.substr(0, slash);
        struct stat st;
        if (stat(folder.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        const bool bRoot = folder + "/" == root;
        Say("there is no registry script " + m_native + ": " + folder + " is a file, not a folder" +
            (bRoot ? "; --root takes the image's root folder" : ""));
        return;
    }
    Say("there is no registry script " + m_native + ": a folder on its way is a file");
}

// What the person can do about the dialog's last script error, where there is more to say.
void CDialogUser::SayNextStep() const {
    const DWORD dwError = m_pDlg->m_dwScriptError;
    const std::string file = m_pDlg->m_strErrorFile.IsEmpty() ? m_native : Native((LPCSTR)m_pDlg->m_strErrorFile);
    const std::string journal = m_native + ".jnl";
    struct stat st;
    std::string step;
    if (dwError == ERROR_BAD_PATHNAME) {
        step = "The device name is the bus in capitals (PCI, PCM or USB) and the four-character model, such as "
               "--device PCI6406.";
    } else if (dwError == ERROR_NO_UNICODE_TRANSLATION) {
        step = "Save the script as 8-bit text, as the configuration library writes it.";
    } else if (file == journal && dwError == ERROR_ACCESS_DENIED && lstat(journal.c_str(), &st) == 0) {
        step = journal + " is where a save keeps the script's old bytes until it lands; one that is left must be "
                         "read before the script can be trusted. ";
        if (st.st_uid != geteuid()) {
            const struct passwd* pOwner = getpwuid(st.st_uid);
            const std::string owner = pOwner ? pOwner->pw_name : "user " + std::to_string(st.st_uid);
            step += "It belongs to " + owner + ": run the command as " + owner +
                    (st.st_uid == 0 ? " (with sudo)" : "") + " once, so that it can settle it.";
        } else {
            step += "Give yourself read access to it (chmod u+r " + ShellWord(journal) + ") and run the command again.";
        }
    } else if (file == journal && dwError == ERROR_ACCESS_DENIED) {
        step = "A save makes its journal beside the script, so the folder " + Folder(m_native) + " must be writable.";
    } else if (file == journal && (dwError == ERROR_STOPPED_ON_SYMLINK || dwError == ERROR_DIRECTORY ||
                                   dwError == ERROR_FILE_EXISTS || dwError == ERROR_BAD_FILE_TYPE)) {
        step = "It is not this script's journal and is left as it is: move it away, then run the command again.";
    } else if (dwError == CScriptJournal::ERROR_ROLLBACK_WRITE_PROTECTED) {
        step = "Make the script writable (chmod u+w " + ShellWord(m_native) +
               ") and run the command again: it gets back the bytes it had before that save.";
    } else if (dwError == ERROR_WRITE_PROTECT) {
        struct statvfs fs;
        step = statvfs(m_native.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)
                   ? "Its file system is mounted read-only; list and check read it as it is."
                   : "Make it writable (chmod u+w " + ShellWord(m_native) + ") to change it; list and check read it "
                                                                            "as it is.";
    }
    if (!step.empty()) std::fprintf(stderr, "%s\n", step.c_str());
}

// The boxes from nFrom on that only tell something are said at once, and
// leave the list: a refusal is what stays.
void CDialogUser::SayNotices(size_t nFrom) {
    std::vector<std::string>& boxes = m_answers.m_boxes;
    for (size_t i = nFrom; i < boxes.size();) {
        if (m_pDlg == NULL || m_pDlg->m_strNotice.IsEmpty() || boxes[i] != (LPCSTR)m_pDlg->m_strNotice) {
            ++i;
            continue;
        }
        const std::vector<std::string> lines = Lines(boxes[i]);
        Say("a save of " + m_native + " was cut short, and the script was changed after that, so the journal of "
            "that save was not put back: the script is kept as it is, and the journal, which holds the script's "
            "bytes from before that save, is kept as " + Native(lines.back()) + ".");
        boxes.erase(boxes.begin() + static_cast<ptrdiff_t>(i));
    }
}

void CDialogUser::SayMissingScript() const {
    const std::string folder = Folder(m_native);
    struct stat st;
    const bool bFolder = stat(folder.c_str(), &st) == 0;
    Say("there is no registry script " + m_native + (bFolder ? "" : "; its folder is missing too"));
    std::fprintf(stderr, "%s is a minimal one to start from; from the top of the source tree:\n", kExampleScript);
    if (!bFolder) std::fprintf(stderr, "  mkdir -p %s\n", ShellWord(folder).c_str());
    std::fprintf(stderr, "  cp %s %s\n", kExampleScript, ShellWord(m_native).c_str());
}

void CDialogUser::Close() {
    if (!IsWindow(m_hDlg)) return;
    CUser::ClickDlgButton(m_hDlg, IDCANCEL);
    DestroyWindow(m_hDlg);
}

std::string CDialogUser::Native(std::string text) const {
    const std::string path = m_pDlg != NULL ? m_pDlg->m_szScriptPath : "";
    for (size_t at = 0; !path.empty() && (at = text.find(path, at)) != std::string::npos; at += m_native.size())
        text.replace(at, path.size(), m_native);
    return text;
}

// The dialog's script errors are four lines: what failed, the script, the
// operating system's error with its words, and what became of the script.
std::string CDialogUser::ScriptMessage(const std::string& box, bool bOutcome) const {
    const std::vector<std::string> lines = Lines(box);
    if (lines.size() < 3 || lines[1] != m_pDlg->m_szScriptPath) return LowerFirst(Native(box));
    std::string reason = lines[2];
    std::string file;  // another file than the script, as "on FILE"
    const std::string kCode = "Operating-system error ";
    if (reason.compare(0, kCode.size(), kCode) == 0) {
        const size_t colon = reason.rfind(": ");
        std::string code =
            reason.substr(kCode.size(), (colon != std::string::npos ? colon : reason.size()) - kCode.size());
        if (!code.empty() && code.back() == '.') code.pop_back();
        const size_t on = code.find(" on ");
        if (on != std::string::npos) file = " (" + Native(code.substr(on + 4)) + ")";
        // An error without words keeps its number.
        reason = colon != std::string::npos ? reason.substr(colon + 2) : kCode + code.substr(0, on);
    }
    std::string message = LowerFirst(lines[0]) + " " + m_native + file + ": " + LowerFirst(reason);
    if (message.back() != '.') message += '.';
    for (size_t i = 3; bOutcome && i < lines.size(); ++i) message += "\n" + lines[i];
    return message;
}

HWND CDialogUser::Control(int nID) const { return FindDescendant(m_hDlg, nID); }

std::vector<int> CDialogUser::Templates() const {
    std::vector<int> numbers;
    const CTreeCtrl& tree = m_pDlg->m_tree;
    for (HTREEITEM h = tree.GetChildItem(tree.GetChildItem(tree.GetRootItem())); h != NULL;
         h = tree.GetNextSiblingItem(h)) {
        int n = TemplateNumberOf(tree.GetItemText(h));
        if (n >= 0) numbers.push_back(n);
    }
    return numbers;
}

template <class Fn>
BOOL CDialogUser::Act(Fn fn) {
    const size_t nShown = Boxes().size();
    if (!fn()) {
        Say("the dialog offered nothing to act on");
        return FALSE;
    }
    SayNotices(nShown);
    return Boxes().size() == nShown;
}

BOOL CDialogUser::SelectTemplate(int n) {
    char szText[16];
    std::snprintf(szText, sizeof szText, "Template%d", n);
    return SelectItem(szText);
}

BOOL CDialogUser::SelectItem(const char* pszText) {
    return Act([&] { return CUser::ClickTreeText(Control(IDC_TEMPLATE_TREE), pszText); });
}

BOOL CDialogUser::SelectDeviceItem() {
    const CTreeCtrl& tree = m_pDlg->m_tree;
    const CString text = tree.GetItemText(tree.GetChildItem(tree.GetRootItem()));
    return SelectItem(text);
}

BOOL CDialogUser::ClickTab(int nIndex) {
    return Act([&] { return CUser::ClickTab(Control(IDC_TEMPLATE_TABS), nIndex); });
}

BOOL CDialogUser::Click(int nID) {
    return Act([&] { return CUser::ClickDlgButton(m_hDlg, nID); });
}

BOOL CDialogUser::ChooseItem(int nComboID, int nIndex) {
    return Act([&] { return CUser::ChooseComboItem(Control(nComboID), nIndex); });
}

int CDialogUser::FindItem(int nComboID, const std::string& text) const {
    HWND hCombo = Control(nComboID);
    int nCount = (int)SendMessage(hCombo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < nCount; ++i) {
        if (FoldedRange(ItemText(hCombo, i)) == FoldedRange(text)) return i;
    }
    return -1;
}

std::string CDialogUser::SelectedText(int nComboID, bool& bSelected) const {
    HWND hCombo = Control(nComboID);
    int nSel = (int)SendMessage(hCombo, CB_GETCURSEL, 0, 0);
    bSelected = nSel >= 0;
    return bSelected ? Trimmed(ItemText(hCombo, nSel)) : "";
}

void CDialogUser::ClearSelection(int nComboID) { SendMessage(Control(nComboID), CB_SETCURSEL, (WPARAM)-1, 0); }
