#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "afxstr.h"

int CString::Compare(LPCTSTR psz) const { return strcmp(m_text.c_str(), psz != NULL ? psz : ""); }

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

LPTSTR CString::GetBufferSetLength(int nNewLength) {
    m_text.resize(nNewLength > 0 ? nNewLength : 0, '\0');
    return &m_text[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) nNewLength = (int)strlen(m_text.c_str());
    m_text.resize(nNewLength);
}
