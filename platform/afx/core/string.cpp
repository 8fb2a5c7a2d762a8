#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cctype>
#include "afxstr.h"

int CString::Compare(LPCTSTR psz) const { return strcmp(m_text.c_str(), psz != NULL ? psz : ""); }

int CString::CompareNoCase(LPCTSTR psz) const {
    const unsigned char* a = (const unsigned char*)m_text.c_str();
    const unsigned char* b = (const unsigned char*)(psz != NULL ? psz : "");
    for (;; ++a, ++b) {
        int d = tolower(*a) - tolower(*b);
        if (d != 0 || *a == 0) return d;
    }
}

CString CString::Left(int nCount) const {
    if (nCount <= 0) return CString();
    return CString(m_text.substr(0, nCount).c_str());
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nFirst >= GetLength() || nCount <= 0) return CString();
    return CString(m_text.substr(nFirst, nCount).c_str());
}

CString CString::Right(int nCount) const {
    if (nCount <= 0) return CString();
    if (nCount >= GetLength()) return *this;
    return CString(m_text.substr(m_text.size() - nCount).c_str());
}

int CString::Find(TCHAR ch) const {
    size_t pos = m_text.find(ch);
    return pos == std::string::npos ? -1 : (int)pos;
}

int CString::Find(LPCTSTR pszSub) const {
    size_t pos = m_text.find(pszSub != NULL ? pszSub : "");
    return pos == std::string::npos ? -1 : (int)pos;
}

void CString::Format(LPCTSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(NULL, 0, pszFormat, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        m_text.clear();
        return;
    }
    std::string text((size_t)n + 1, '\0');
    vsnprintf(&text[0], text.size(), pszFormat, again);
    va_end(again);
    text.resize((size_t)n);
    m_text.swap(text);
}

LPTSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > GetLength()) m_text.resize(nMinBufLength, '\0');
    return &m_text[0];
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
    m_text.resize(nNewLength > 0 ? nNewLength : 0, '\0');
    return &m_text[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) nNewLength = (int)strlen(m_text.c_str());
    m_text.resize(nNewLength);
}
