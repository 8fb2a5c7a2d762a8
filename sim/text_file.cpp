#include "text_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <sys/stat.h>
// The platform stand-in owns <windows.h> on this include path, so the
// kernel's process calls are declared here as kernel32 exports them.
extern "C" {
__declspec(dllimport) void* __stdcall OpenProcess(unsigned long dwDesiredAccess, int bInheritHandle,
                                                  unsigned long dwProcessId);
__declspec(dllimport) int __stdcall GetExitCodeProcess(void* hProcess, unsigned long* lpExitCode);
__declspec(dllimport) int __stdcall CloseHandle(void* hObject);
__declspec(dllimport) unsigned long __stdcall GetLastError(void);
}
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sim {

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
int CreateNew(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const char* data, size_t bytes) {
    return _write(fd, data, static_cast<unsigned>(bytes < 0x40000000 ? bytes : 0x40000000));
}
int Flush(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
int ProcessId() { return _getpid(); }
bool ProcessRuns(int pid) {
    const unsigned long PROCESS_QUERY_LIMITED_INFORMATION = 0x1000, STILL_ACTIVE = 259, ERROR_ACCESS_DENIED = 5;
    void* process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, 0, static_cast<unsigned long>(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    unsigned long code = 0;
    const bool runs = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}
// The new file's owner is the process's, as for any new file.
void TakeOwner(int, const std::string&) {}
#else
// The new file's mode is what the umask leaves of 0666, as for any new file.
int CreateNew(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
ssize_t WriteSome(int fd, const char* data, size_t bytes) { return ::write(fd, data, bytes); }
int Flush(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
int ProcessId() { return static_cast<int>(::getpid()); }
bool ProcessRuns(int pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }
// The replaced file's owner and group, where this process may give them: a
// superuser's save must not take a person's file from them.
void TakeOwner(int fd, const std::string& replaced) {
    struct stat st;
    if (::stat(replaced.c_str(), &st) != 0) return;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Neither: the new file stays this process's, as any file it makes.
    }
}
#endif

const char kTemporaryMark[] = ".tmp";

// A temporary file a save of `target` makes beside it: its name, the
// process's id and a number.
std::string TemporaryName(const fs::path& target, int pid, int attempt) {
    return target.string() + kTemporaryMark + std::to_string(pid) + "-" + std::to_string(attempt);
}

// The process id in the name of a temporary file of `target`'s, or -1.
int TemporaryOwner(const std::string& name, const std::string& targetName) {
    const std::string prefix = targetName + kTemporaryMark;
    if (name.compare(0, prefix.size(), prefix) != 0) return -1;
    const size_t dash = name.find('-', prefix.size());
    const std::string pid = name.substr(prefix.size(), dash == std::string::npos ? 0 : dash - prefix.size());
    const std::string attempt = dash == std::string::npos ? "" : name.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() < 10 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    return digits(pid) && digits(attempt) ? std::stoi(pid) : -1;
}

// Temporary files that saves of `target` killed in the middle left: no
// process of theirs runs any more (or this one has since taken its id).
void RemoveLeftTemporaries(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string targetName = target.filename().string();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const int pid = TemporaryOwner(it->path().filename().string(), targetName);
        if (pid < 0 || (pid != ProcessId() && ProcessRuns(pid))) continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored)) fs::remove(it->path(), ignored);
    }
}

std::string Reason(int error) { return std::strerror(error); }

// The file a chain of symbolic links ends at; `path` itself when it is none.
fs::path LinkTarget(const fs::path& path) {
    fs::path target = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        fs::path next = fs::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        auto n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string NotAFile(const std::string& path) {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return {};
    if (fs::is_directory(status)) return "is a directory";
    if (!fs::is_regular_file(status)) return "is not a regular file";
    return {};
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error) {
    std::string why = NotAFile(path);
    if (why.empty()) {
        errno = 0;
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream content;
            content << in.rdbuf();
            if (!in.bad()) {
                bytes = content.str();
                return true;
            }
        }
        why = Reason(errno ? errno : EIO);
    }
    if (error) *error = "cannot read " + path + ": " + why;
    return false;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string* error) {
    const fs::path target = LinkTarget(path);
    std::error_code ec;
    fs::file_status old = fs::status(target, ec);
    auto fail = [&](const std::string& why) {
        if (error) *error = "cannot save " + path + ": " + why;
        return false;
    };
    std::string notAFile = NotAFile(target.string());
    if (!notAFile.empty()) return fail(notAFile);

    // Beside the target, so that the rename stays on its file system; what
    // earlier saves that were killed left there goes first.
    RemoveLeftTemporaries(target);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = TemporaryName(target, ProcessId(), attempt);
        fd = CreateNew(temporary);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(Reason(errno));
    if (fs::exists(old)) TakeOwner(fd, target.string());
    std::string why;
    if (!WriteAll(fd, bytes) || Flush(fd) != 0) why = Reason(errno);
    if (CloseFile(fd) != 0 && why.empty()) why = Reason(errno);
    if (why.empty() && fs::exists(old)) {
        fs::permissions(temporary, old.permissions(), fs::perm_options::replace, ec);
        if (ec) why = ec.message();
    }
    if (why.empty()) {
        fs::rename(temporary, target, ec);
        if (!ec) return true;
        why = ec.message();
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return fail(why);
}

}  // namespace sim
