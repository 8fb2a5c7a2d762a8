#include "script_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

ScriptFile::ScriptFile(const std::string& relativePath) {
    for (;;) {
        char szRoot[] = "/tmp/regscript_XXXXXX";
        if (!mkdtemp(szRoot)) throw std::runtime_error("mkdtemp");
        m_root = szRoot;
        if (m_root.find("PCI") == std::string::npos && m_root.find("PCM") == std::string::npos &&
            m_root.find("USB") == std::string::npos)
            break;
        rmdir(szRoot);
    }
    m_path = Create(relativePath);
}

ScriptFile::~ScriptFile() { std::system(("rm -rf '" + m_root + "'").c_str()); }

std::string ScriptFile::Create(const std::string& relativePath, const std::string& bytes) const {
    std::string path = m_root + "/" + relativePath;
    for (size_t slash = m_root.size() + 1; (slash = path.find('/', slash)) != std::string::npos; ++slash)
        mkdir(path.substr(0, slash).c_str(), 0777);
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

std::string Header(int n) {
    return "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template" + std::to_string(n) + "]";
}
