#pragma once
// The engine's working buffers: zero-filled page-allocator blocks one byte
// longer than their content, so that each reads as a zero-terminated string.
#include <afx.h>

// A block given back when it goes out of scope, also when a file exception
// passes through.
class CPageBuffer {
public:
    CPageBuffer() : m_p(nullptr) {}
    ~CPageBuffer() {
        if (m_p) VirtualFree(m_p, 0, MEM_RELEASE);
    }
    CPageBuffer(const CPageBuffer&) = delete;
    CPageBuffer& operator=(const CPageBuffer&) = delete;

    BOOL Alloc(DWORD cbContent) {
        if (cbContent == 0xFFFFFFFFu) return FALSE;
        m_p = static_cast<char*>(
            VirtualAlloc(nullptr, static_cast<SIZE_T>(cbContent) + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        return m_p != nullptr;
    }
    char* Get() const { return m_p; }
    char* Detach() {
        char* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    char* m_p;
};
