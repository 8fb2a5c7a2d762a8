#pragma once
// CString, as far as the dialogs use it: texts read back from controls.
#include <string>
#include "afx_types.h"

class CString {
public:
    CString() {}
    CString(const CString& other) : m_text(other.m_text) {}
    CString(LPCTSTR psz) : m_text(psz != NULL ? psz : "") {}
    CString(LPCTSTR pch, int nLength) : m_text(pch != NULL && nLength > 0 ? std::string(pch, nLength) : "") {}
    CString(TCHAR ch, int nRepeat = 1) : m_text(nRepeat > 0 ? nRepeat : 0, ch) {}

    const CString& operator=(const CString& other) { m_text = other.m_text; return *this; }
    const CString& operator=(LPCTSTR psz) { m_text = psz != NULL ? psz : ""; return *this; }
    const CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
    const CString& operator+=(LPCTSTR psz) { m_text += psz != NULL ? psz : ""; return *this; }
    const CString& operator+=(TCHAR ch) { m_text += ch; return *this; }

    operator LPCTSTR() const { return m_text.c_str(); }
    int GetLength() const { return (int)m_text.size(); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    TCHAR GetAt(int nIndex) const { return m_text.at(nIndex); }
    TCHAR operator[](int nIndex) const { return m_text.at(nIndex); }

    int Compare(LPCTSTR psz) const;
    int CompareNoCase(LPCTSTR psz) const;
    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;
    int Find(TCHAR ch) const;
    int Find(LPCTSTR pszSub) const;
    void Format(LPCTSTR pszFormat, ...);

    // A buffer of at least nMinBufLength characters plus the terminator; the
    // text ends at the first zero unless ReleaseBuffer is told its length.
    LPTSTR GetBuffer(int nMinBufLength);
    LPTSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_text;
};

inline CString operator+(const CString& a, const CString& b) { CString s(a); s += b; return s; }
inline CString operator+(const CString& a, LPCTSTR b) { CString s(a); s += b; return s; }
inline CString operator+(LPCTSTR a, const CString& b) { CString s(a); s += b; return s; }
inline bool operator==(const CString& a, LPCTSTR b) { return a.Compare(b) == 0; }
inline bool operator==(LPCTSTR a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString& a, LPCTSTR b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
