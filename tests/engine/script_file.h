#pragma once
// A registry script on disk for the document tests: a fresh temporary root
// whose own name holds none of the texts that Open looks for in a path.
#include <afx.h>

#include <string>

class ScriptFile {
public:
    explicit ScriptFile(const std::string& relativePath = "Device_Drivers/PCI6406/PCI6406.reg");
    ~ScriptFile();
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Another file under the same root, created (with its folders) holding `bytes`.
    std::string Create(const std::string& relativePath, const std::string& bytes = "") const;

    const char* Path() const { return m_path.c_str(); }
    const std::string& Root() const { return m_root; }
    void Put(const std::string& bytes) const;
    std::string Get() const;
    // The script's bytes while `holder` may hold it open. Windows lets no other
    // opener read a file held without sharing, so this reads through the
    // holder's own handle, leaving its position where it was.
    std::string Get(const CFile& holder) const;

private:
    std::string m_root;
    std::string m_path;
};

// The header line text of template n for the PCI6406 script, without CR LF.
std::string Header(int n);
