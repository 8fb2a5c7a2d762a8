#include "script_file.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#if !defined(_WIN32)
#include <unistd.h>
#endif

ScriptFile::ScriptFile(const std::string& relativePath) {
    std::random_device random;
    for (;;) {
        std::filesystem::path root = std::filesystem::temp_directory_path() / ("regscript_" + std::to_string(random()));
        m_root = root.string();
        if (m_root.find("PCI") != std::string::npos || m_root.find("PCM") != std::string::npos ||
            m_root.find("USB") != std::string::npos)
            continue;
        if (std::filesystem::create_directory(root)) break;
    }
    m_path = Create(relativePath);
}

ScriptFile::~ScriptFile() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::string ScriptFile::Create(const std::string& relativePath, const std::string& bytes) const {
    std::string path = m_root + "/" + relativePath;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void ScriptFile::Put(const std::string& bytes) const { std::ofstream(m_path, std::ios::binary) << bytes; }

std::string ScriptFile::Get() const {
    std::ifstream in(m_path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string ScriptFile::Get(const CFile& holder) const {
    if (holder.m_hFile == CFile::hFileNull) return Get();
    std::string bytes;
    char buf[4096];
#if defined(_WIN32)
    HANDLE h = reinterpret_cast<HANDLE>(holder.m_hFile);
    LARGE_INTEGER zero = {}, position = {};
    SetFilePointerEx(h, zero, &position, FILE_CURRENT);
    SetFilePointerEx(h, zero, nullptr, FILE_BEGIN);
    DWORD cb = 0;
    while (ReadFile(h, buf, sizeof buf, &cb, nullptr) && cb) bytes.append(buf, cb);
    SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
#else
    const int fd = static_cast<int>(holder.m_hFile);
    for (ssize_t cb; (cb = pread(fd, buf, sizeof buf, static_cast<off_t>(bytes.size()))) > 0;) bytes.append(buf, cb);
#endif
    return bytes;
}

std::string Header(int n) {
    return "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template" + std::to_string(n) + "]";
}
