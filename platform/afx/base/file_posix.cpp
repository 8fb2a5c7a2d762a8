// CFile over POSIX descriptors. The Win32 share modes become flock() locks:
// they belong to the open file description, so a second open of the same file
// conflicts whether it comes from this process or another one. Every opener in
// this system goes through CFile, so advisory locks are enough.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "afx.h"
#include "afx_file_os.h"

namespace {

DWORD OsError(int nErrno, DWORD dwIoError) {
    switch (nErrno) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return dwIoError;
    }
}

int Fd(UINT_PTR hFile) { return static_cast<int>(hFile); }

// Win32 tells a missing file (2) from a missing folder on the way to it (3).
DWORD MissingFileError(LPCSTR lpszFileName) {
    const char* pszSlash = std::strrchr(lpszFileName, '/');
    if (!pszSlash || pszSlash == lpszFileName) return ERROR_FILE_NOT_FOUND;
    std::string folder(lpszFileName, static_cast<size_t>(pszSlash - lpszFileName));
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Win32 separates folders with backslashes as well as slashes, and the
// configuration library builds its script paths with backslashes.
std::string PosixPath(LPCSTR lpszPath) {
    std::string name(lpszPath);
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

// The most bytes a write may take the file to. Past RLIMIT_FSIZE POSIX sends
// SIGXFSZ, which kills the process; Windows answers a quota with an error.
off_t WriteLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    return static_cast<off_t>(limit.rlim_cur);
}

DWORD TakeLock(int fd, int nLock) {
    int rc;
    do rc = flock(fd, nLock | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? ERROR_SUCCESS : OsError(errno, ERROR_SHARING_VIOLATION);
}

// The open descriptor as a handle, blocking from now on; closed on an error.
DWORD Opened(int fd, DWORD dwError, UINT_PTR* phFile) {
    if (dwError == ERROR_SUCCESS && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        dwError = OsError(errno, ERROR_OPEN_FAILED);
    if (dwError != ERROR_SUCCESS) {
        close(fd);
        return dwError;
    }
    *phFile = static_cast<UINT_PTR>(fd);
    return ERROR_SUCCESS;
}

}  // namespace

DWORD AfxOsOpen(LPCSTR lpszPath, UINT nOpenFlags, UINT_PTR* phFile) {
    const std::string name = PosixPath(lpszPath);
    const char* lpszFileName = name.c_str();
    int nAccess;
    switch (nOpenFlags & 0x3) {
    case CFile::modeRead: nAccess = O_RDONLY; break;
    case CFile::modeWrite: nAccess = O_WRONLY; break;
    case CFile::modeReadWrite: nAccess = O_RDWR; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    int nLock;
    switch (nOpenFlags & 0x70) {
    case CFile::shareCompat:
    case CFile::shareExclusive: nLock = LOCK_EX; break;
    case CFile::shareDenyNone: nLock = LOCK_SH; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    // Truncation waits until the lock is held: it must not hit another opener's file.
    // Non-blocking only while opening: CreateFile never waits for a FIFO's
    // other end, nor does a terminal become the caller's.
    int nFlags = nAccess | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | ((nOpenFlags & CFile::modeCreate) ? O_CREAT : 0);
    int fd;
    do fd = open(lpszFileName, nFlags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno == ENOENT ? MissingFileError(lpszFileName) : OsError(errno, ERROR_OPEN_FAILED);

    DWORD dwError = ERROR_SUCCESS;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        dwError = OsError(errno, ERROR_OPEN_FAILED);
    } else if (S_ISDIR(st.st_mode)) {
        dwError = ERROR_ACCESS_DENIED;  // as CreateFile on a directory
    } else if (nAccess != O_RDONLY && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
        // A file that no one may write is write-protected, for a superuser
        // too, as Windows keeps a read-only file from its administrators.
        dwError = ERROR_ACCESS_DENIED;
    } else {
        dwError = TakeLock(fd, nLock);
    }
    if (dwError == ERROR_SUCCESS && (nOpenFlags & CFile::modeCreate) && !(nOpenFlags & CFile::modeNoTruncate) &&
        ftruncate(fd, 0) != 0)
        dwError = OsError(errno, ERROR_WRITE_FAULT);
    return Opened(fd, dwError, phFile);
}

DWORD AfxOsCreateNewLike(LPCSTR lpszPath, UINT_PTR hModel, UINT_PTR* phFile) {
    struct stat model;
    if (fstat(Fd(hModel), &model) != 0) return OsError(errno, ERROR_INVALID_HANDLE);
    const std::string name = PosixPath(lpszPath);
    // O_EXCL: a new file or none, and a symbolic link at the name is not
    // followed. Only its owner may use it until it has the model's access.
    int fd;
    do fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno == ENOENT ? MissingFileError(name.c_str()) : OsError(errno, ERROR_OPEN_FAILED);

    // The model's owner and group where this process may give them (a
    // superuser's file beside a person's would otherwise stay out of that
    // person's reach), its group alone where not.
    struct stat mine;
    if (fchown(fd, model.st_uid, model.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), model.st_gid) != 0) {
        // Neither: the creator's own group, whose bits are set below.
    }
    DWORD dwError = fstat(fd, &mine) == 0 ? ERROR_SUCCESS : OsError(errno, ERROR_OPEN_FAILED);
    if (dwError == ERROR_SUCCESS) {
        // Group and others as the model lets them; the owner may always read
        // and write the copy. A group the model does not share counts as others.
        mode_t mode = 0600 | (model.st_mode & 0066);
        if (mine.st_gid != model.st_gid) mode = (mode & ~static_cast<mode_t>(0060)) | ((model.st_mode & 0006) << 3);
        if (fchmod(fd, mode) != 0) dwError = OsError(errno, ERROR_ACCESS_DENIED);
    }
    if (dwError == ERROR_SUCCESS) dwError = TakeLock(fd, LOCK_EX);
    if (dwError != ERROR_SUCCESS) unlink(name.c_str());
    return Opened(fd, dwError, phFile);
}

DWORD AfxOsClose(UINT_PTR hFile) {
    // Linux frees the descriptor even when close() reports EINTR: no retry.
    return close(Fd(hFile)) == 0 || errno == EINTR ? ERROR_SUCCESS : OsError(errno, ERROR_IO_DEVICE);
}

DWORD AfxOsGetLength(UINT_PTR hFile, DWORD* pdwLength) {
    struct stat st;
    if (fstat(Fd(hFile), &st) != 0) return OsError(errno, ERROR_READ_FAULT);
    if (st.st_size > static_cast<off_t>(0xFFFFFFFFu)) return ERROR_FILE_TOO_LARGE;  // beyond 32-bit lengths
    *pdwLength = static_cast<DWORD>(st.st_size);
    return ERROR_SUCCESS;
}

DWORD AfxOsSeek(UINT_PTR hFile, LONG lOff, UINT nFrom, DWORD* pdwNewPos) {
    int nWhence;
    switch (nFrom) {
    case CFile::begin: nWhence = SEEK_SET; break;
    case CFile::current: nWhence = SEEK_CUR; break;
    case CFile::end: nWhence = SEEK_END; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    off_t pos = lseek(Fd(hFile), static_cast<off_t>(lOff), nWhence);
    if (pos < 0) return errno == EINVAL ? ERROR_NEGATIVE_SEEK : OsError(errno, ERROR_IO_DEVICE);
    if (pos > static_cast<off_t>(0xFFFFFFFFu)) return ERROR_INVALID_PARAMETER;
    *pdwNewPos = static_cast<DWORD>(pos);
    return ERROR_SUCCESS;
}

DWORD AfxOsRead(UINT_PTR hFile, void* lpBuf, UINT nCount, UINT* pnRead) {
    UINT nDone = 0;
    while (nDone < nCount) {
        ssize_t n = read(Fd(hFile), static_cast<char*>(lpBuf) + nDone, nCount - nDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            return OsError(errno, ERROR_READ_FAULT);
        }
        if (n == 0) break;
        nDone += static_cast<UINT>(n);
    }
    *pnRead = nDone;
    return ERROR_SUCCESS;
}

DWORD AfxOsWrite(UINT_PTR hFile, const void* lpBuf, UINT nCount) {
    UINT nAllowed = nCount;
    if (off_t limit = WriteLimit(); limit >= 0) {
        const off_t pos = lseek(Fd(hFile), 0, SEEK_CUR);
        if (pos < 0) return OsError(errno, ERROR_WRITE_FAULT);
        if (pos + static_cast<off_t>(nCount) > limit) nAllowed = pos < limit ? static_cast<UINT>(limit - pos) : 0;
    }
    UINT nDone = 0;
    while (nDone < nAllowed) {
        ssize_t n = write(Fd(hFile), static_cast<const char*>(lpBuf) + nDone, nAllowed - nDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            return OsError(errno, ERROR_WRITE_FAULT);
        }
        if (n == 0) return ERROR_DISK_FULL;
        nDone += static_cast<UINT>(n);
    }
    return nDone == nCount ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

DWORD AfxOsSetEndOfFile(UINT_PTR hFile) {
    off_t pos = lseek(Fd(hFile), 0, SEEK_CUR);
    if (pos < 0) return OsError(errno, ERROR_WRITE_FAULT);
    struct stat st;
    const off_t limit = WriteLimit();
    if (limit >= 0 && pos > limit && fstat(Fd(hFile), &st) == 0 && pos > st.st_size) return ERROR_DISK_FULL;
    if (ftruncate(Fd(hFile), pos) != 0) return OsError(errno, ERROR_WRITE_FAULT);
    return ERROR_SUCCESS;
}

DWORD AfxOsFlush(UINT_PTR hFile) {
    int rc;
    do rc = fsync(Fd(hFile));
    while (rc != 0 && errno == EINTR);
    // Devices and pipes hold nothing to put on a disk.
    return rc == 0 || errno == EINVAL ? ERROR_SUCCESS : OsError(errno, ERROR_WRITE_FAULT);
}

DWORD AfxOsRemove(LPCSTR lpszFileName) {
    const std::string name = PosixPath(lpszFileName);
    if (unlink(name.c_str()) == 0) return ERROR_SUCCESS;
    return errno == ENOENT ? MissingFileError(name.c_str()) : OsError(errno, ERROR_ACCESS_DENIED);
}

DWORD AfxOsRename(LPCSTR lpszOldName, LPCSTR lpszNewName) {
    const std::string from = PosixPath(lpszOldName), to = PosixPath(lpszNewName);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return ERROR_SUCCESS;
    // A file system without that flag: a second name, then the first one goes.
    if (errno == EINVAL || errno == ENOSYS) {
        if (link(from.c_str(), to.c_str()) != 0) return OsError(errno, ERROR_ACCESS_DENIED);
        if (unlink(from.c_str()) == 0) return ERROR_SUCCESS;
        const int nError = errno;
        unlink(to.c_str());
        errno = nError;
    }
    return errno == ENOENT ? MissingFileError(from.c_str()) : OsError(errno, ERROR_ACCESS_DENIED);
}

DWORD AfxOsNamesFile(UINT_PTR hFile, LPCSTR lpszFileName, BOOL* pbNamed) {
    struct stat open, named;
    if (fstat(Fd(hFile), &open) != 0) return OsError(errno, ERROR_INVALID_HANDLE);
    if (stat(PosixPath(lpszFileName).c_str(), &named) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) return OsError(errno, ERROR_ACCESS_DENIED);
        *pbNamed = FALSE;  // gone
        return ERROR_SUCCESS;
    }
    *pbNamed = open.st_dev == named.st_dev && open.st_ino == named.st_ino;
    return ERROR_SUCCESS;
}

extern "C" DWORD GetFileAttributesA(LPCSTR lpFileName) {
    struct stat st;
    if (!lpFileName || lstat(PosixPath(lpFileName).c_str(), &st) != 0) {
        SetLastError(!lpFileName ? ERROR_INVALID_PARAMETER
                     : errno == ENOENT ? MissingFileError(PosixPath(lpFileName).c_str())
                                       : OsError(errno, ERROR_ACCESS_DENIED));
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISREG(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
    return (st.st_mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}
