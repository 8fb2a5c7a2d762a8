#pragma once
// The board's template store as pci6406cfg holds it: opened on the script the
// image-build tool's call would open, with the store's refusals and failures
// said in the tool's words and what the person can do next.
#include <string>
#include <vector>

#include "template_store.h"

// One pci6406cfg at a time per board folder, from reading the script to
// saving it: a second command waits rather than save over the first one's
// change. The lock is the folder's own, so nothing is left beside the script,
// and the system drops it with a killed process.
class CFolderLock {
public:
    CFolderLock() : m_fd(-1) {}
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    // A missing folder holds no script to guard.
    void Take(const std::string& folder);

private:
    int m_fd;
};

class CBoardStore {
public:
    // FALSE, with the reason said, when there is no script to work on.
    BOOL Open(const std::string& root, const std::string& device);

    CTemplateStore& Store() { return m_store; }
    const CTemplateStore& Store() const { return m_store; }
    // The script's path as this system writes it.
    const std::string& ScriptPath() const { return m_native; }
    const TemplateEntry& Entry(int n) const { return m_store.m_templates[n]; }
    // The listed template numbers, in the order a save writes them.
    std::vector<int> Templates() const;

    // A script failure of the store, as one message: the path as this system
    // writes it and the reason in words, then the outcome line when bOutcome.
    std::string ScriptMessage(const std::string& text, bool bOutcome) const;
    // What the person can do about the store's last script error, on a line
    // of its own, where there is more to say than its message.
    void SayNextStep() const;
    // A journal an open of the script set aside, said once.
    void SayNotice();

private:
    std::string Native(std::string text) const;
    void SayMissingScript() const;
    void SayFileOnTheWay(const std::string& root) const;

    CFolderLock m_lock;
    CTemplateStore m_store;
    std::string m_native;
};
