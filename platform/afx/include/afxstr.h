#pragma once
// CString, as far as the dialogs use it: texts read back from controls and
// the messages they format.
#include <string>
#include "afx_types.h"

class CString {
public:
    CString() {}
    CString(const CString& other) : m_text(other.m_text) {}
    CString(LPCTSTR psz) : m_text(psz != NULL ? psz : "") {}

    const CString& operator=(const CString& other) { m_text = other.m_text; return *this; }
    const CString& operator=(LPCTSTR psz) { m_text = psz != NULL ? psz : ""; return *this; }

    operator LPCTSTR() const { return m_text.c_str(); }
    int GetLength() const { return (int)m_text.size(); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    int Compare(LPCTSTR psz) const;
    void Format(LPCTSTR pszFormat, ...);

    // A buffer of nNewLength characters plus the terminator; the text ends at
    // the first zero unless ReleaseBuffer is told its length.
    LPTSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_text;
};

inline bool operator==(const CString& a, LPCTSTR b) { return a.Compare(b) == 0; }
inline bool operator==(LPCTSTR a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
