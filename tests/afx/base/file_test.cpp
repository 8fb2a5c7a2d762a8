#include <afx.h>
#include <afx_fault.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        std::filesystem::path dir;
        do {
            dir = std::filesystem::temp_directory_path() / ("afx_file_" + std::to_string(random()));
        } while (!std::filesystem::create_directory(dir));
        m_dir = dir.string();
        m_path = m_dir + "/script.reg";
        Put("0123456789");
        AfxResetFaults();
    }
    void TearDown() override {
        AfxResetFaults();
        std::filesystem::remove_all(m_dir);
    }
    void Put(const std::string& bytes) { std::ofstream(m_path, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string m_dir;
    std::string m_path;
};

const UINT kExclusive = CFile::modeReadWrite | CFile::shareExclusive;

TEST_F(FileTest, OpenReportsWin32ErrorsAndCreatesNothing) {
    struct Case {
        std::string path;
        DWORD dwError;
        int cause;
    } cases[] = {
        {m_dir + "/missing.reg", ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
        {m_dir + "/no/such/folder.reg", ERROR_PATH_NOT_FOUND, CFileException::badPath},
        {m_dir, ERROR_ACCESS_DENIED, CFileException::accessDenied},  // a folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CFile file;
        CFileException error;
        SetLastError(0);
        EXPECT_FALSE(file.Open(c.path.c_str(), kExclusive, &error));
        EXPECT_EQ(GetLastError(), c.dwError);
        EXPECT_EQ(error.m_lOsError, static_cast<LONG>(c.dwError));
        EXPECT_EQ(error.m_cause, c.cause);
        EXPECT_STREQ(error.m_strFileName, c.path.c_str());
        EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing.reg"));
}

TEST_F(FileTest, ExclusiveOpenRefusesEveryOtherOpener) {
    CFile first;
    ASSERT_TRUE(first.Open(m_path.c_str(), kExclusive));

    CFile second;
    CFileException error;
    EXPECT_FALSE(second.Open(m_path.c_str(), kExclusive, &error));
    EXPECT_EQ(error.m_lOsError, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_FALSE(second.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyNone));

    // Another process is refused as well, and this one is refused while the other holds it.
    // Windows checks the share mode at every open, whichever process makes it, so there
    // the opens above show it.
#if !defined(_WIN32)
    pid_t child = fork();
    if (child == 0) {
        CFile other;
        _exit(other.Open(m_path.c_str(), kExclusive) ? 0 : static_cast<int>(GetLastError()));
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), ERROR_SHARING_VIOLATION);
    first.Close();

    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    child = fork();
    if (child == 0) {
        CFile other;
        char c = other.Open(m_path.c_str(), kExclusive) ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_FALSE(first.Open(m_path.c_str(), kExclusive));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    (void)!write(release[1], &c, 1);
    waitpid(child, &status, 0);
    EXPECT_TRUE(first.Open(m_path.c_str(), kExclusive));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
#endif
}

TEST_F(FileTest, BackslashesSeparateFoldersAsOnWindows) {
    ASSERT_TRUE(std::filesystem::create_directory(m_dir + "/sub"));
    m_path = m_dir + "/sub/script.reg";
    Put("x");
    std::string path = m_dir + "\\sub\\script.reg";
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), kExclusive));
    EXPECT_STREQ(file.m_strFileName, path.c_str());  // the name as the caller gave it
    EXPECT_EQ(file.GetLength(), 1u);
    file.Close();
    CFileException error;
    EXPECT_FALSE(file.Open((m_dir + "\\none\\script.reg").c_str(), kExclusive, &error));
    EXPECT_EQ(error.m_lOsError, static_cast<LONG>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileTest, PrimitivesWorkOnTheOpenFile) {
    CFile file;
    ASSERT_TRUE(file.Open(m_path.c_str(), kExclusive));
    EXPECT_EQ(file.GetLength(), 10u);

    char buf[16] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 10u);  // short only at the end
    EXPECT_STREQ(buf, "0123456789");
    EXPECT_EQ(file.Seek(-3, CFile::end), 7);
    file.Write("ab", 2);
    EXPECT_EQ(file.GetPosition(), 9u);
    file.SetLength(4);  // ends the file and leaves the position there
    EXPECT_EQ(file.GetPosition(), 4u);
    file.Write("XY", 2);
    EXPECT_EQ(file.SeekToEnd(), 6u);
    file.Close();
    EXPECT_EQ(Get(), "0123XY");

    // A closed file throws instead of touching a stale descriptor.
    try {
        file.Write("z", 1);
        FAIL() << "no exception";
    } catch (CFileException* e) {
        EXPECT_EQ(e->m_cause, CFileException::invalidFile);
        e->Delete();
    }
}

TEST_F(FileTest, InjectedFailureThrowsOnceWithItsErrorAfterPartialWrite) {
    CFile file;
    ASSERT_TRUE(file.Open(m_path.c_str(), kExclusive));
    AfxFailCall(AFX_FAULT_WRITE, 2, ERROR_DISK_FULL, 3);
    file.Write("ab", 2);
    try {
        file.Write("cdefg", 5);
        FAIL() << "no exception";
    } catch (CFileException* e) {
        EXPECT_EQ(e->m_cause, CFileException::diskFull);
        EXPECT_EQ(e->m_lOsError, ERROR_DISK_FULL);
        EXPECT_STREQ(e->m_strFileName, m_path.c_str());
        e->Delete();
    }
    file.Write("!", 1);  // one failure only
    EXPECT_EQ(AfxCallCount(AFX_FAULT_WRITE), 3u);
    file.Close();
    EXPECT_EQ(Get(), "abcde!6789");

    AfxFailCall(AFX_FAULT_OPEN, 1, ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(file.Open(m_path.c_str(), kExclusive));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

}  // namespace
