#include "regscript.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "registry_layout.h"

namespace {

const char kDeviceMark[] = "Device_Drivers";
const size_t kDeviceChars = 7;  // bus prefix (3) and model (4), after one separator
const size_t kModelOffset = 3;
const size_t kModelChars = 4;
const char kKeyRoot[] = "[HKEY_LOCAL_MACHINE\\Drivers\\";
const char kDriverPrefix[] = "VQX";
const char kDriverSuffix[] = "S";
const char kSingleTemplateModel[] = "6451";  // its templates sit directly under the driver key
const size_t kTemplateChars = sizeof(TEMPLATE_KEY_PREFIX_A) - 1;
const char kHeaderPad[] = " \r\n";
const char kCrLf[] = "\r\n";

// A zero-filled page-allocator block one byte longer than its content, so that
// it always reads as a zero-terminated string; given back when it goes out of
// scope, also when a file exception passes through.
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

void AppendText(char* pszDst, size_t cchDst, const char* pszSrc) {
    size_t n = std::strlen(pszDst);
    while (*pszSrc && n + 1 < cchDst) pszDst[n++] = *pszSrc++;
    pszDst[n] = '\0';
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Unsigned hexadecimal from p: blanks skipped, then digits of either case up
// to the first other character or pEnd. Too large a number gives 0xFFFFFFFF.
DWORD ScanHex(const char* p, const char* pEnd) {
    while (p < pEnd && IsBlank(*p)) ++p;
    uint64_t value = 0;
    for (int d; p < pEnd && (d = HexDigit(*p)) >= 0; ++p) {
        if (value <= 0xFFFFFFFFu) value = value * 16 + static_cast<unsigned>(d);
    }
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

// A signed decimal from at most the two characters at [p, pEnd): blanks and a
// sign, then digits; 0 when there are none.
int ScanTwoDigits(const char* p, const char* pEnd) {
    if (pEnd - p > 2) pEnd = p + 2;
    while (p < pEnd && IsBlank(*p)) ++p;
    bool bNegative = false;
    if (p < pEnd && (*p == '+' || *p == '-')) bNegative = *p++ == '-';
    int value = 0;
    for (; p < pEnd && *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
    return bNegative ? -value : value;
}

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsLetter(char c) { return FoldCase(c) >= 'A' && FoldCase(c) <= 'Z'; }

// First occurrence of the pattern wholly inside [p, pEnd); bNoCase folds ASCII letters.
const char* FindInRange(const char* p, const char* pEnd, const char* pszPattern, size_t cchPattern, bool bNoCase) {
    if (cchPattern == 0) return p;
    const char cFirst = pszPattern[0];
    const bool bExactFirst = !bNoCase || !IsLetter(cFirst);
    while (static_cast<size_t>(pEnd - p) >= cchPattern) {
        if (bExactFirst) {
            // The keys begin with "[" and the patterns with a capital: rare enough to skip to.
            p = static_cast<const char*>(std::memchr(p, cFirst, static_cast<size_t>(pEnd - p) - cchPattern + 1));
            if (!p) return nullptr;
        }
        size_t i = 0;
        if (bNoCase) {
            while (i < cchPattern && FoldCase(p[i]) == FoldCase(pszPattern[i])) ++i;
        } else {
            while (i < cchPattern && p[i] == pszPattern[i]) ++i;
        }
        if (i == cchPattern) return p;
        ++p;
    }
    return nullptr;
}

// Calls fn(pLine, pLineEnd, pHit) for the first occurrence of the pattern on
// each line of a zero-terminated text that holds no ";", lines split at any
// of pszBreaks, until fn returns true; returns whether one did. It looks for
// the pattern first and at its line afterwards, as headers are rare.
template <class Fn>
bool ScanUncommentedLines(const char* pszText, const char* pszBreaks, const char* pszPattern, bool bNoCase, Fn fn) {
    const size_t cchPattern = std::strlen(pszPattern);
    // A pattern with a break in it lies on no line; an empty one is never built.
    if (cchPattern == 0 || pszPattern[std::strcspn(pszPattern, pszBreaks)] != '\0') return false;
    const char* const pEnd = pszText + std::strlen(pszText);
    for (const char* p = pszText; const char* pHit = FindInRange(p, pEnd, pszPattern, cchPattern, bNoCase);) {
        const char* pLine = pHit;
        while (pLine > pszText && !std::strchr(pszBreaks, pLine[-1])) --pLine;
        const char* pLineEnd = pHit + cchPattern + std::strcspn(pHit + cchPattern, pszBreaks);
        if (!std::memchr(pLine, ';', static_cast<size_t>(pLineEnd - pLine)) && fn(pLine, pLineEnd, pHit)) return true;
        p = pLineEnd;
    }
    return false;
}

// The value text of a line: from nOffset (at most the end of the line) to
// the line's first ';' or its end, empty when the ';' comes first.
void ValueText(const char* pszLine, size_t nLine, size_t nOffset, const char*& pBegin, const char*& pEnd) {
    pBegin = pszLine + (nOffset < nLine ? nOffset : nLine);
    const char* pSemicolon = std::strchr(pszLine, ';');
    pEnd = pSemicolon ? pSemicolon : pszLine + nLine;
    if (pEnd < pBegin) pEnd = pBegin;
}

// Reads the value of one line whose name ends at offset e; see ReadValue.
int ReadLineValue(const char* pszLine, size_t e, DWORD* pdwType, LPVOID pData, DWORD dwDataSize, DWORD* pdwSize) {
    const size_t nLine = std::strlen(pszLine);
    const char* pBegin;
    const char* pEnd;
    BYTE* pbData = static_cast<BYTE*>(pData);

    if (std::strstr(pszLine, "dword:")) {
        *pdwType = REG_DWORD;
        *pdwSize = sizeof(DWORD);
        if (!pbData || dwDataSize < sizeof(DWORD)) return 1;
        ValueText(pszLine, nLine, e + 8, pBegin, pEnd);  // past the quote, "=" and "dword:"
        DWORD dwValue = ScanHex(pBegin, pEnd);
        std::memcpy(pbData, &dwValue, sizeof dwValue);
        return 0;
    }
    if (std::strstr(pszLine, "hex:")) {
        *pdwType = REG_BINARY;
        ValueText(pszLine, nLine, e + 6, pBegin, pEnd);  // past the quote, "=" and "hex:"
        DWORD dwDigits = 0;
        for (const char* p = pBegin; p < pEnd; ++p) dwDigits += (*p != ',' && *p != ' ');
        const DWORD dwSize = dwDigits / 2;
        *pdwSize = dwSize;
        if (!pbData || dwDataSize < dwSize) return 1;
        // Each byte is taken as two digits and a separator; a cursor past the
        // end of the text reads as its terminator, giving 0.
        const size_t nHex = static_cast<size_t>(pEnd - pBegin);
        size_t nCursor = 0;
        for (DWORD i = 0; i < dwSize; ++nCursor) {
            const char c = nCursor < nHex ? pBegin[nCursor] : '\0';
            if (c != ',' && c != ' ') {
                pbData[i++] = static_cast<BYTE>(ScanHex(pBegin + (nCursor < nHex ? nCursor : nHex), pEnd));
                nCursor += 2;
            }
        }
        return 0;
    }
    if (std::strstr(pszLine, "hex(7):") || std::strstr(pszLine, "multi_sz:")) {
        *pdwType = REG_MULTI_SZ;
        *pdwSize = 0;
        return 0;
    }
    // "name"="text": the text runs from past the name's closing quote, the
    // "=" and its opening quote to the line's last character, its closing quote.
    *pdwType = REG_SZ;
    if (nLine < e + 4) {
        *pdwSize = 0;  // no room for ="" on the line: not a string value
        return 1;
    }
    const DWORD dwSize = static_cast<DWORD>(nLine - e - 4);
    *pdwSize = dwSize;
    if (!pbData || dwDataSize < dwSize) return 1;
    std::memcpy(pbData, pszLine + e + 3, dwSize);
    return 0;
}

const char kHexUpper[] = "0123456789ABCDEF";

char* PutHexByte(char* p, BYTE b) {
    *p++ = kHexUpper[b >> 4];
    *p++ = kHexUpper[b & 0xF];
    return p;
}

// Builds `"name"=<value>` and CR LF into pszLine (MAX_LINE_CHARS + 1 chars).
// FALSE, with nothing built, when the line would not fit.
BOOL FormatValueLine(LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize, char* pszLine, DWORD* pcchLine) {
    const BYTE* pb = static_cast<const BYTE*>(pData);
    const uint64_t cchName = std::strlen(lpszName);
    uint64_t cchValue = 0;
    char szDword[9];
    size_t cchText = 0;
    switch (dwType) {
    case REG_DWORD: {
        if (dwSize < sizeof(DWORD)) return FALSE;
        DWORD dwValue;
        std::memcpy(&dwValue, pb, sizeof dwValue);
        cchValue = 7 + std::snprintf(szDword, sizeof szDword, "%x", static_cast<unsigned>(dwValue));
        break;
    }
    case REG_SZ:
        cchText = strnlen(static_cast<const char*>(pData), dwSize);
        cchValue = 3 + cchText;
        break;
    case REG_BINARY:
        cchValue = 5 + (dwSize ? 3ull * dwSize - 1 : 0);
        break;
    case REG_MULTI_SZ:
        cchValue = 10 + 3ull * dwSize + 5;
        break;
    default:
        break;
    }
    if (1 + cchName + 1 + cchValue + 2 > CRegScript::MAX_LINE_CHARS) return FALSE;

    char* p = pszLine;
    *p++ = '"';
    std::memcpy(p, lpszName, cchName);
    p += cchName;
    *p++ = '"';
    switch (dwType) {
    case REG_DWORD:
        p += std::snprintf(p, 8 + sizeof szDword, "=dword:%s", szDword);
        break;
    case REG_SZ:
        *p++ = '=';
        *p++ = '"';
        std::memcpy(p, pData, cchText);
        p += cchText;
        *p++ = '"';
        break;
    case REG_BINARY:
        std::memcpy(p, "=hex:", 5);
        p += 5;
        for (DWORD i = 0; i < dwSize; ++i) {
            if (i) *p++ = ',';
            p = PutHexByte(p, pb[i]);
        }
        break;
    case REG_MULTI_SZ:
        std::memcpy(p, "=multi_sz:", 10);
        p += 10;
        for (DWORD i = 0; i < dwSize; ++i) {
            p = PutHexByte(p, pb[i]);
            *p++ = ',';
        }
        std::memcpy(p, "00,00", 5);
        p += 5;
        break;
    default:
        break;
    }
    *p++ = '\r';
    *p++ = '\n';
    *p = '\0';
    *pcchLine = static_cast<DWORD>(p - pszLine);
    return TRUE;
}

}  // namespace

CRegScript::CRegScript()
    : m_nBusKind(BUS_PCI),
      m_dwLength(0),
      m_pText(nullptr),
      m_nCachedIndex(-1),
      m_dwSectionStart(0),
      m_dwSectionEnd(0) {
    std::memset(m_szDevice, 0, sizeof m_szDevice);
    std::memset(m_szDriverName, 0, sizeof m_szDriverName);
    std::memset(m_szSectionKey, 0, sizeof m_szSectionKey);
}

CRegScript::~CRegScript() {
    FreeText();
    m_file.Abort();
}

void CRegScript::FreeText() {
    if (m_pText) VirtualFree(m_pText, 0, MEM_RELEASE);
    m_pText = nullptr;
    m_dwLength = 0;
    m_nCachedIndex = -1;
}

DWORD CRegScript::Open(LPCSTR lpszPath) {
    FreeText();
    m_file.Abort();
    std::memset(m_szDevice, 0, sizeof m_szDevice);
    if (!lpszPath) return ERROR_INVALID_PARAMETER;

    // A script edited here always lies in its device's folder under
    // "Device_Drivers": without that the board's key cannot be named, and
    // writing a made-up key into the script would spoil it.
    const char* pszMark = std::strstr(lpszPath, kDeviceMark);
    if (!pszMark) return ERROR_BAD_PATHNAME;
    const char* pszAfter = pszMark + sizeof kDeviceMark - 1;
    if (strnlen(pszAfter, 1 + kDeviceChars) < 1 + kDeviceChars) return ERROR_BAD_PATHNAME;
    const char* pszDevice = pszAfter + 1;  // past the path separator
    const bool bPci = std::strstr(lpszPath, "PCI") != nullptr;
    const bool bPcm = std::strstr(lpszPath, "PCM") != nullptr;
    const bool bUsb = std::strstr(lpszPath, "USB") != nullptr;
    if (!bPci && !bPcm && !bUsb) return ERROR_BAD_PATHNAME;

    if (!m_file.Open(lpszPath, CFile::modeReadWrite | CFile::shareExclusive, &m_fileError)) {
        DWORD dwError = GetLastError();
        return dwError != ERROR_SUCCESS ? dwError : ERROR_OPEN_FAILED;
    }

    std::memcpy(m_szDevice, pszDevice, kDeviceChars);
    char szModel[kModelChars + 1] = {};
    std::memcpy(szModel, m_szDevice + kModelOffset, kModelChars);
    std::snprintf(m_szDriverName, sizeof m_szDriverName, "%s%s%s", kDriverPrefix, szModel, kDriverSuffix);

    // Independent tests in this order; each match appends its part and sets the bus kind.
    std::memset(m_szSectionKey, 0, sizeof m_szSectionKey);
    AppendText(m_szSectionKey, sizeof m_szSectionKey, kKeyRoot);
    if (bPci) {
        m_nBusKind = BUS_PCI;
        AppendText(m_szSectionKey, sizeof m_szSectionKey, "BuiltIn\\PCI\\Template\\");
        AppendText(m_szSectionKey, sizeof m_szSectionKey, m_szDriverName);
        if (!std::strstr(m_szDriverName, kSingleTemplateModel)) {
            AppendText(m_szSectionKey, sizeof m_szSectionKey, KEY_SEPARATOR_A);
            AppendText(m_szSectionKey, sizeof m_szSectionKey, TEMPLATE_KEY_PREFIX_A);
        }
    }
    if (bPcm) {
        m_nBusKind = BUS_PCM;
        AppendText(m_szSectionKey, sizeof m_szSectionKey, "BuiltIn\\");
        AppendText(m_szSectionKey, sizeof m_szSectionKey, m_szDriverName);
    }
    if (bUsb) {
        m_nBusKind = BUS_USB;
        AppendText(m_szSectionKey, sizeof m_szSectionKey, "USB\\ClientDrivers\\USB");
        AppendText(m_szSectionKey, sizeof m_szSectionKey, szModel);
        AppendText(m_szSectionKey, sizeof m_szSectionKey, "_Class\\");
        AppendText(m_szSectionKey, sizeof m_szSectionKey, TEMPLATE_KEY_PREFIX_A);
    }

    try {
        if (!ReadText()) {
            DWORD dwError = GetLastError();
            m_file.Abort();
            return dwError != ERROR_SUCCESS ? dwError : ERROR_NOT_ENOUGH_MEMORY;
        }
    } catch (CException*) {
        m_file.Abort();
        throw;
    }
    return 0;
}

int CRegScript::Close() {
    FreeText();
    m_file.Close();
    return 0;
}

// Reads the whole file into a new text. The old text is kept until the new one
// is complete, so that a failure leaves the document as it was: FALSE when no
// memory could be had, and file exceptions passed on.
BOOL CRegScript::ReadText() {
    const DWORD dwLength = m_file.GetLength();
    CPageBuffer text;
    if (!text.Alloc(dwLength)) return FALSE;
    m_file.SeekToBegin();
    const UINT nRead = m_file.Read(text.Get(), dwLength);
    FreeText();
    m_pText = text.Detach();
    m_dwLength = nRead;
    m_nCachedIndex = -1;
    return TRUE;
}

void CRegScript::Reload() {
    if (m_file.m_hFile != CFile::hFileNull) ReadText();
}

void CRegScript::FormatHeaderPattern(int nIndex, char* pszPattern, size_t cchPattern) const {
    std::snprintf(pszPattern, cchPattern, "%s%d]", m_nBusKind == BUS_PCM ? m_szDriverName : TEMPLATE_KEY_PREFIX_A,
                  nIndex);
}

int CRegScript::FindTemplateSection(int nIndex, DWORD& dwStart, DWORD& dwEnd) {
    dwEnd = m_dwLength;
    dwStart = m_dwLength;
    if (!m_pText) return 0;
    char szPattern[32];
    FormatHeaderPattern(nIndex, szPattern, sizeof szPattern);
    const char* pszFound = std::strstr(m_pText, szPattern);
    if (!pszFound) return 0;

    const DWORD dwFound = static_cast<DWORD>(pszFound - m_pText);
    if (const char* pszNext = std::strchr(pszFound, '[')) dwEnd = static_cast<DWORD>(pszNext - m_pText);
    // The header begins where the section key would begin if the pattern's
    // first eight characters were the key's last eight. A pattern found
    // without the key in front can be too near the start for that.
    const size_t cchKey = std::strlen(m_szSectionKey);
    const DWORD dwBack = cchKey > kTemplateChars ? static_cast<DWORD>(cchKey - kTemplateChars) : 0;
    dwStart = dwFound > dwBack ? dwFound - dwBack : 0;
    // Nor can it begin before the line holding the pattern: a pattern quoted
    // without the key (in a comment, say) must not pull the lines above it,
    // another template's values among them, into this section.
    DWORD dwLine = dwFound;
    while (dwLine > dwStart && m_pText[dwLine - 1] != '\n' && m_pText[dwLine - 1] != '\r') --dwLine;
    dwStart = dwLine;
    return 0;
}

void CRegScript::UpdateCachedSection(int nIndex) {
    // -1 marks an empty cache, so template number -1 is never taken from it.
    if (m_nCachedIndex == -1 || nIndex != m_nCachedIndex) {
        FindTemplateSection(nIndex, m_dwSectionStart, m_dwSectionEnd);
        m_nCachedIndex = nIndex;
    }
}

int CRegScript::ReadValue(int nIndex, LPCSTR lpszName, DWORD* pdwType, LPVOID pData, DWORD dwDataSize,
                          DWORD* pdwSize) {
    if (!lpszName || !*lpszName || !pdwType || !pdwSize || !m_pText) return 1;
    UpdateCachedSection(nIndex);
    if (m_dwSectionStart == m_dwSectionEnd) return 1;

    const DWORD cbSection = m_dwSectionEnd - m_dwSectionStart;
    CPageBuffer copy;
    if (!copy.Alloc(cbSection)) return 1;
    std::memcpy(copy.Get(), m_pText + m_dwSectionStart, cbSection);

    // The copy is ours: each line is ended in place so that it reads as a string.
    char* p = copy.Get();
    while (*(p += std::strspn(p, "\r\n"))) {
        char* pszLine = p;
        p += std::strcspn(p, "\r\n");
        if (*p) *p++ = '\0';
        if (const char* pszName = std::strstr(pszLine, lpszName)) {
            const size_t e = static_cast<size_t>(pszName - pszLine) + std::strlen(lpszName);
            return ReadLineValue(pszLine, e, pdwType, pData, dwDataSize, pdwSize);
        }
    }
    return 1;
}

int CRegScript::WriteValue(int nIndex, LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize) {
    // An empty name would match the first byte of the section and eat the end
    // of the line before it.
    if (!lpszName || !*lpszName || !pData || !m_pText) return 1;
    char szLine[MAX_LINE_CHARS + 1];
    DWORD cchLine = 0;
    if (!FormatValueLine(lpszName, dwType, pData, dwSize, szLine, &cchLine)) return 1;

    UpdateCachedSection(nIndex);
    DWORD dwFrom = m_dwLength;  // absent template: the line goes at the end of the file
    DWORD dwTo = m_dwLength;
    if (m_dwSectionStart != m_dwSectionEnd) {
        const DWORD cbSection = m_dwSectionEnd - m_dwSectionStart;
        CPageBuffer copy;
        if (!copy.Alloc(cbSection)) return 1;
        std::memcpy(copy.Get(), m_pText + m_dwSectionStart, cbSection);
        if (const char* pszName = std::strstr(copy.Get(), lpszName)) {
            // The old line begins at the name's opening quote and ends past the
            // first CR LF after the name, looked for in the whole text so that
            // a "[" in the value does not cut the line short.
            const DWORD dwName = m_dwSectionStart + static_cast<DWORD>(pszName - copy.Get());
            dwFrom = dwName > 0 ? dwName - 1 : 0;
            const char* pAfter = m_pText + dwName + std::strlen(lpszName);
            const char* pTextEnd = m_pText + m_dwLength;
            const char* pCrLf = FindInRange(pAfter, pTextEnd, kCrLf, 2, false);
            dwTo = pCrLf ? static_cast<DWORD>(pCrLf + 2 - m_pText) : m_dwLength;
            // The store writes every value at every save: an unchanged line costs no rewrite.
            if (dwTo - dwFrom == cchLine && std::memcmp(m_pText + dwFrom, szLine, cchLine) == 0) return 0;
        } else {
            dwFrom = dwTo = m_dwSectionEnd;  // new value: just before the next section's "["
        }
    }
    return SpliceAndReload(dwFrom, dwTo, szLine, cchLine);
}

int CRegScript::TemplateSectionExists(int nIndex) {
    if (!m_pText) return 0;
    char szPattern[32];
    FormatHeaderPattern(nIndex, szPattern, sizeof szPattern);
    return ScanUncommentedLines(m_pText, "\r\n", szPattern, false,
                                [](const char*, const char*, const char*) { return true; })
               ? 1
               : 0;
}

int CRegScript::AppendTemplateSection(int nIndex) {
    if (!m_pText) return 1;
    char szHeader[MAX_HEADER_CHARS + 1];
    const int cchHeader = std::snprintf(szHeader, sizeof szHeader, "%s%d]", m_szSectionKey, nIndex);
    if (cchHeader < 0 || cchHeader > MAX_HEADER_CHARS) return 1;  // keys that Open builds always fit

    // One space on a line of its own, then the header with one space before its CR LF.
    char szBlock[2 * (sizeof kHeaderPad - 1) + MAX_HEADER_CHARS + 1];
    std::snprintf(szBlock, sizeof szBlock, "%s%s%s", kHeaderPad, szHeader, kHeaderPad);
    return SpliceAndReload(m_dwLength, m_dwLength, szBlock, static_cast<DWORD>(std::strlen(szBlock)));
}

int CRegScript::DeleteTemplateSection(int nIndex) {
    if (!m_pText) return 1;
    DWORD dwStart, dwEnd;
    FindTemplateSection(nIndex, dwStart, dwEnd);
    if (dwStart == dwEnd) return 0;  // absent: the file stays as it is

    // The whole section goes, up to the next "[". The text follows the file,
    // so the document stays usable after the cut.
    try {
        ReplaceRange(dwStart, dwEnd, nullptr, 0);
    } catch (CException*) {
        RestoreFrom(dwStart);
        throw;
    }
    const DWORD cbTail = m_dwLength - dwEnd;
    std::memmove(m_pText + dwStart, m_pText + dwEnd, cbTail);
    std::memset(m_pText + dwStart + cbTail, 0, dwEnd - dwStart);
    m_dwLength = dwStart + cbTail;
    m_nCachedIndex = -1;
    return 0;
}

int CRegScript::ListTemplateSections(WORD& wMask) {
    wMask = 0;
    if (!m_pText) return 0;
    const size_t cchKey = std::strlen(m_szSectionKey);
    ScanUncommentedLines(m_pText, "\n", m_szSectionKey, true, [&](const char*, const char* pLineEnd, const char* pKey) {
        const int nIndex = ScanTwoDigits(pKey + cchKey, pLineEnd);
        if (nIndex >= 0 && nIndex < TEMPLATE_COUNT) wMask = static_cast<WORD>(wMask | (1u << nIndex));
        return false;
    });
    return 0;
}

// ---- Writing ------------------------------------------------------------
//
// Every change replaces one range of the file with new bytes. The file is
// never cut short before the new bytes are down: the new bytes and the old
// tail are written from memory over the old content, and only then is the
// file ended at its new length. Until the new text has been read back, the
// old one stays in memory, so any failure can be undone from it.

void CRegScript::ReplaceRange(DWORD dwFrom, DWORD dwTo, const char* pNew, DWORD cbNew) {
    const DWORD cbTail = m_dwLength - dwTo;
    const DWORD dwNewLength = dwFrom + cbNew + cbTail;
    m_file.Seek(static_cast<LONG>(dwFrom), CFile::begin);
    m_file.Write(pNew, cbNew);
    m_file.Write(m_pText + dwTo, cbTail);
    if (dwNewLength < m_dwLength) m_file.SetLength(dwNewLength);
}

// Puts the old text back from dwFrom on. Should that fail too, the document
// gives up its text: the file no longer matches it, and no further edit may
// be made from it. The caller passes on the first failure.
void CRegScript::RestoreFrom(DWORD dwFrom) {
    try {
        m_file.Seek(static_cast<LONG>(dwFrom), CFile::begin);
        m_file.Write(m_pText + dwFrom, m_dwLength - dwFrom);
        m_file.SetLength(m_dwLength);
    } catch (CException* pError) {
        pError->Delete();
        FreeText();
    }
}

int CRegScript::SpliceAndReload(DWORD dwFrom, DWORD dwTo, const char* pNew, DWORD cbNew) {
    if (cbNew > 0xFFFFFFFEu - m_dwLength) return 1;
    try {
        ReplaceRange(dwFrom, dwTo, pNew, cbNew);
        if (ReadText()) return 0;
    } catch (CException*) {
        RestoreFrom(dwFrom);
        throw;
    }
    RestoreFrom(dwFrom);  // no memory for the new text: back to the old one
    return 1;
}
