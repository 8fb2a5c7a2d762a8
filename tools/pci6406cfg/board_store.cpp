#include "board_store.h"

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

}  // namespace

// ---- The folder's lock -------------------------------------------------

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

// ---- The store ----------------------------------------------------------

BOOL CBoardStore::Open(const std::string& root, const std::string& device) {
    m_lock.Take(root + "Public/Quorvex/Device_Drivers/" + device.substr(0, 7));
    const CString strProblem = CTemplateStore::ScriptPathProblem(root.c_str(), device.c_str());
    if (!strProblem.IsEmpty()) {
        Say(LowerFirst((LPCSTR)strProblem));
        return FALSE;
    }
    m_store.SetScriptPath(root.c_str(), device.c_str());
    // The file layer takes backslashes for slashes: this is the file it opens.
    m_native = m_store.m_szScriptPath;
    for (char& c : m_native) c = c == '\\' ? '/' : c;
    m_store.LoadTemplateList();
    SayNotice();
    if (m_store.m_wUnreadTemplates != 0) {
        // A script that could not be read; the dialog would go on without its templates.
        Say(ScriptMessage((LPCSTR)m_store.ScriptErrorText(kCannotRead, kLeftOut), false));
        SayNextStep();
        return FALSE;
    }
    // Nothing is listed for a script that is not there, and none could be saved.
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
void CBoardStore::SayFileOnTheWay(const std::string& root) const {
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
void CBoardStore::SayNextStep() const {
    const DWORD dwError = m_store.m_dwScriptError;
    const std::string file = m_store.m_strErrorFile.IsEmpty() ? m_native : Native((LPCSTR)m_store.m_strErrorFile);
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

void CBoardStore::SayNotice() {
    const CString strNotice = m_store.TakeSetAsideNotice();
    if (strNotice.IsEmpty()) return;
    const std::vector<std::string> lines = Lines((LPCSTR)strNotice);
    Say("a save of " + m_native + " was cut short, and the script was changed after that, so the journal of "
        "that save was not put back: the script is kept as it is, and the journal, which holds the script's "
        "bytes from before that save, is kept as " + Native(lines.back()) + ".");
}

void CBoardStore::SayMissingScript() const {
    const std::string folder = Folder(m_native);
    struct stat st;
    const bool bFolder = stat(folder.c_str(), &st) == 0;
    Say("there is no registry script " + m_native + (bFolder ? "" : "; its folder is missing too"));
    std::fprintf(stderr, "%s is a minimal one to start from; from the top of the source tree:\n", kExampleScript);
    if (!bFolder) std::fprintf(stderr, "  mkdir -p %s\n", ShellWord(folder).c_str());
    std::fprintf(stderr, "  cp %s %s\n", kExampleScript, ShellWord(m_native).c_str());
}

std::string CBoardStore::Native(std::string text) const {
    const std::string path = m_store.m_szScriptPath;
    for (size_t at = 0; !path.empty() && (at = text.find(path, at)) != std::string::npos; at += m_native.size())
        text.replace(at, path.size(), m_native);
    return text;
}

// The store's script errors are four lines: what failed, the script, the
// operating system's error with its words, and what became of the script.
std::string CBoardStore::ScriptMessage(const std::string& text, bool bOutcome) const {
    const std::vector<std::string> lines = Lines(text);
    if (lines.size() < 3 || lines[1] != m_store.m_szScriptPath) return LowerFirst(Native(text));
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

std::vector<int> CBoardStore::Templates() const {
    std::vector<int> numbers;
    for (int i = 0; i < m_store.ListedCount(); ++i) numbers.push_back(m_store.ListedAt(i));
    return numbers;
}
