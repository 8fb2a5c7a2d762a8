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
#else
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
#else
// The new file's mode is what the umask leaves of 0666, as for any new file.
int CreateNew(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
ssize_t WriteSome(int fd, const char* data, size_t bytes) { return ::write(fd, data, bytes); }
int Flush(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
int ProcessId() { return static_cast<int>(::getpid()); }
#endif

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

    // Beside the target, so that the rename stays on its file system.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target.string() + ".tmp" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
        fd = CreateNew(temporary);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(Reason(errno));
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
