#include "regscript.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "journal.h"
#include "number_text.h"
#include "page_buffer.h"
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
const char kCrLf[] = "\r\n";

void FreeBlock(char*& p) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
    p = nullptr;
}

void AppendText(char* pszDst, size_t cchDst, const char* pszSrc) {
    size_t n = std::strlen(pszDst);
    while (*pszSrc && n + 1 < cchDst) pszDst[n++] = *pszSrc++;
    pszDst[n] = '\0';
}

bool IsBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(const char* p, const char* q, size_t cch) {
    for (size_t i = 0; i < cch; ++i) {
        if (FoldCase(p[i]) != FoldCase(q[i])) return false;
    }
    return true;
}

bool StartsNoCase(const char* p, const char* pEnd, const char* pszWord) {
    const size_t cch = std::strlen(pszWord);
    return static_cast<size_t>(pEnd - p) >= cch && EqualNoCase(p, pszWord, cch);
}

const char* SkipBlanks(const char* p, const char* pEnd) {
    while (p < pEnd && IsBlank(*p)) ++p;
    return p;
}

// Unsigned hexadecimal from p: blanks skipped, then digits of either case up
// to the first other character or pEnd. Too large a number gives 0xFFFFFFFF.
DWORD ScanHex(const char* p, const char* pEnd) {
    p = SkipBlanks(p, pEnd);
    uint64_t value = 0;
    for (int d; p < pEnd && (d = HexDigit(*p)) >= 0; ++p) {
        if (value <= 0xFFFFFFFFu) value = value * 16 + static_cast<unsigned>(d);
    }
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

ULONGLONG Fingerprint(const char* pText, DWORD cbText) {
    const ULONGLONG qw = ScriptHash(pText, cbText, cbText);
    return qw != 0 ? qw : 1;  // 0 is left free to stand for "no script"
}

// One line of a text: its characters [pBegin, pEnd), then its line end up to pNext.
struct Line {
    const char* pBegin;
    const char* pEnd;
    const char* pNext;

    const char* First() const { return SkipBlanks(pBegin, pEnd); }
    bool Starts(char c) const {
        const char* p = First();
        return p < pEnd && *p == c;
    }
    bool HasLineEnd() const { return pNext != pEnd; }
};

// The line that begins at p.
Line LineAt(const char* p, const char* pTextEnd) {
    Line line{p, p, p};
    const size_t cb = static_cast<size_t>(pTextEnd - p);
    const char* pLf = static_cast<const char*>(std::memchr(p, '\n', cb));
    const char* pLimit = pLf ? pLf : pTextEnd;
    const char* pCr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(pLimit - p)));
    line.pEnd = pCr ? pCr : pLimit;
    line.pNext = line.pEnd;
    if (line.pNext < pTextEnd) {
        const bool bCrLf = *line.pNext == '\r' && line.pNext + 1 < pTextEnd && line.pNext[1] == '\n';
        line.pNext += bCrLf ? 2 : 1;
    }
    return line;
}

// A comment and a section's line stand alone. Any other line that ends with
// a backslash goes on over the next one, unless that one stands alone: so a
// comment never swallows the value under it, and no value swallows a
// comment or a header. Reading, rewriting and cutting all take lines so.
bool StandsAlone(const Line& line) { return line.Starts(';') || line.Starts('['); }

bool EndsOpen(const Line& line) {
    const char* pLast = line.pEnd;
    while (pLast > line.pBegin && IsBlank(pLast[-1])) --pLast;
    return pLast > line.pBegin && pLast[-1] == '\\';
}

// The line that begins at p, with the lines that continue it.
Line LogicalLine(const char* p, const char* pTextEnd) {
    Line line = LineAt(p, pTextEnd);
    if (StandsAlone(line)) return line;
    while (EndsOpen(line) && line.pNext < pTextEnd) {
        const Line next = LineAt(line.pNext, pTextEnd);
        if (StandsAlone(next)) break;
        line.pEnd = next.pEnd;
        line.pNext = next.pNext;
    }
    return line;
}

// Where the first line begins: past a UTF-8 byte-order mark, which belongs
// to no line and stays where it is.
const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char* FirstLine(const char* pText, const char* pTextEnd) {
    return pTextEnd - pText >= 3 && std::memcmp(pText, kUtf8Mark, 3) == 0 ? pText + 3 : pText;
}

// The start of the line before the one at p (a line start, or the end of a
// text whose last line has no end), or null at the first line.
const char* LineBefore(const char* pFirst, const char* p) {
    if (p == pFirst) return nullptr;
    if (IsBreak(p[-1])) {
        if (p[-1] == '\n' && p - 1 > pFirst && p[-2] == '\r') --p;
        --p;
    }
    while (p > pFirst && !IsBreak(p[-1])) --p;
    return p;
}

// pAt, or the start of the value that ends just before pAt still open: a
// line put after an open value would be read as part of it.
const char* OutsideOpenValue(const char* pFirst, const char* pAt, const char* pTextEnd) {
    const char* pStart = pAt;
    for (const char* p = LineBefore(pFirst, pAt); p; p = LineBefore(pFirst, p)) {
        const Line line = LineAt(p, pTextEnd);
        if (StandsAlone(line) || !EndsOpen(line)) break;
        pStart = p;
    }
    return pStart;
}

// The first character of the value when the line is lpszName's value line:
// optional blanks, the name in quotes (in any case), blanks, "=", blanks.
const char* ValueOf(const Line& line, LPCSTR lpszName, size_t cchName) {
    const char* p = line.First();
    if (p == line.pEnd || *p != '"') return nullptr;
    ++p;
    if (static_cast<size_t>(line.pEnd - p) <= cchName || !EqualNoCase(p, lpszName, cchName) || p[cchName] != '"')
        return nullptr;
    p = SkipBlanks(p + cchName + 1, line.pEnd);
    if (p == line.pEnd || *p != '=') return nullptr;
    return SkipBlanks(p + 1, line.pEnd);
}

// The end of a value's text: its first ';' or the end of the line.
const char* ValueTextEnd(const char* p, const char* pEnd) {
    const char* pSemicolon = static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(pEnd - p)));
    return pSemicolon ? pSemicolon : pEnd;
}

// Reads the value that begins at pValue on a line ending at pEnd; see ReadValue.
int ReadLineValue(const char* pValue, const char* pEnd, DWORD* pdwType, LPVOID pData, DWORD dwDataSize,
                  DWORD* pdwSize) {
    BYTE* pbData = static_cast<BYTE*>(pData);
    if (StartsNoCase(pValue, pEnd, "dword:")) {
        *pdwType = REG_DWORD;
        *pdwSize = sizeof(DWORD);
        if (!pbData || dwDataSize < sizeof(DWORD)) return 1;
        const char* pBegin = pValue + 6;
        DWORD dwValue = ScanHex(pBegin, ValueTextEnd(pBegin, pEnd));
        std::memcpy(pbData, &dwValue, sizeof dwValue);
        return 0;
    }
    if (StartsNoCase(pValue, pEnd, "hex:")) {
        *pdwType = REG_BINARY;
        const char* pBegin = pValue + 4;
        const char* pHexEnd = ValueTextEnd(pBegin, pEnd);
        DWORD dwDigits = 0;
        for (const char* p = pBegin; p < pHexEnd; ++p) dwDigits += (*p != ',' && *p != ' ');
        const DWORD dwSize = dwDigits / 2;
        *pdwSize = dwSize;
        if (!pbData || dwDataSize < dwSize) return 1;
        // Each byte is taken as two digits and a separator; a cursor past the
        // end of the text reads as its terminator, giving 0.
        const size_t nHex = static_cast<size_t>(pHexEnd - pBegin);
        size_t nCursor = 0;
        for (DWORD i = 0; i < dwSize; ++nCursor) {
            const char c = nCursor < nHex ? pBegin[nCursor] : '\0';
            if (c != ',' && c != ' ') {
                pbData[i++] = static_cast<BYTE>(ScanHex(pBegin + (nCursor < nHex ? nCursor : nHex), pHexEnd));
                nCursor += 2;
            }
        }
        return 0;
    }
    if (StartsNoCase(pValue, pEnd, "hex(7):") || StartsNoCase(pValue, pEnd, "multi_sz:")) {
        *pdwType = REG_MULTI_SZ;
        *pdwSize = 0;
        return 0;
    }
    // A text: from past its opening quote to its closing one, the line's last.
    *pdwType = REG_SZ;
    const char* pClose = pEnd;
    while (pClose > pValue && pClose[-1] != '"') --pClose;
    if (pValue == pEnd || *pValue != '"' || pClose - 1 <= pValue) {
        *pdwSize = 0;  // no text in quotes: not a string value
        return 1;
    }
    const DWORD dwSize = static_cast<DWORD>(pClose - 1 - (pValue + 1));
    *pdwSize = dwSize;
    if (!pbData || dwDataSize < dwSize) return 1;
    std::memcpy(pbData, pValue + 1, dwSize);
    return 0;
}

// The template number of a header line of the board's key: "[" opens the
// line (blanks aside), then the key in any case, the number as "%d" writes
// it, "]", and at most blanks and a comment, as the registry takes a header.
bool HeaderNumber(const Line& line, const char* pszKey, size_t cchKey, int& nIndex) {
    const char* p = line.First();
    if (static_cast<size_t>(line.pEnd - p) < cchKey || !EqualNoCase(p, pszKey, cchKey)) return false;
    p += cchKey;
    const bool bNegative = p < line.pEnd && *p == '-';
    if (bNegative) ++p;
    const char* const pDigits = p;
    int64_t value = 0;
    for (; p < line.pEnd && *p >= '0' && *p <= '9' && p - pDigits < 11; ++p) value = value * 10 + (*p - '0');
    const ptrdiff_t nDigits = p - pDigits;
    if (nDigits == 0 || nDigits > 10 || (nDigits > 1 && *pDigits == '0') || (bNegative && value == 0)) return false;
    if (bNegative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX || p == line.pEnd || *p != ']') return false;
    const char* pRest = SkipBlanks(p + 1, line.pEnd);
    if (pRest != line.pEnd && *pRest != ';') return false;
    nIndex = static_cast<int>(value);
    return true;
}

// Calls fn(pLine) for each line that "[" opens (blanks aside) at or after
// pFrom, a line start, until fn returns true; returns that line's start, or
// pEnd; pFirst is where the text's first line begins. It looks for "[" first
// and at its line afterwards: a "[" in a value or a comment opens nothing.
template <class Fn>
const char* FindSectionLine(const char* pFirst, const char* pFrom, const char* pEnd, Fn fn) {
    for (const char* p = pFrom; (p = static_cast<const char*>(std::memchr(p, '[', static_cast<size_t>(pEnd - p))));
         ++p) {
        const char* pLine = p;
        while (pLine > pFrom && IsBlank(pLine[-1])) --pLine;
        if (pLine > pFirst && !IsBreak(pLine[-1])) continue;
        if (fn(pLine, p)) return pLine;
    }
    return pEnd;
}

// Calls fn(line, n) for each header line of the board's templates whose "["
// lies in [pFrom, pScanEnd), pFrom a line start, in order, until fn returns
// true; returns whether one did.
template <class Fn>
bool ForEachHeader(const char* pText, const char* pEnd, const char* pFrom, const char* pScanEnd, const char* pszKey,
                   Fn fn) {
    const size_t cchKey = std::strlen(pszKey);
    const char* const pFirst = FirstLine(pText, pEnd);
    const char* pFound = FindSectionLine(pFirst, std::max(pFrom, pFirst), pScanEnd, [&](const char* pLine,
                                                                                          const char* pBracket) {
        // Most sections are other keys': the key tells them apart before the
        // line is looked at, and its last character, the least shared, first.
        if (static_cast<size_t>(pEnd - pBracket) < cchKey ||
            FoldCase(pBracket[cchKey - 1]) != FoldCase(pszKey[cchKey - 1]) || !EqualNoCase(pBracket, pszKey, cchKey))
            return false;
        const Line line = LineAt(pLine, pEnd);
        int n;
        return HeaderNumber(line, pszKey, cchKey, n) && fn(line, n);
    });
    return pFound != pScanEnd;
}

const DWORD kNoHeader = 0xFFFFFFFFu;

const char kHexUpper[] = "0123456789ABCDEF";

char* PutHexByte(char* p, BYTE b) {
    *p++ = kHexUpper[b >> 4];
    *p++ = kHexUpper[b & 0xF];
    return p;
}

bool HoldsBreak(const char* p, size_t cch) {
    return std::memchr(p, '\r', cch) != nullptr || std::memchr(p, '\n', cch) != nullptr;
}

// Builds `"name"=<value>` into pszLine (MAX_LINE_CHARS + 1 chars), without
// its line end, which counts as CR LF against the limit. FALSE, with nothing
// built, when the line would not fit or would not stay one line.
BOOL FormatValueLine(LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize, char* pszLine, DWORD* pcchLine) {
    const BYTE* pb = static_cast<const BYTE*>(pData);
    const uint64_t cchName = std::strlen(lpszName);
    if (std::memchr(lpszName, '"', cchName) || HoldsBreak(lpszName, cchName)) return FALSE;
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
        if (HoldsBreak(static_cast<const char*>(pData), cchText)) return FALSE;
        cchValue = 3 + cchText;
        break;
    case REG_BINARY:
        cchValue = 5 + (dwSize ? 3ull * dwSize - 1 : 0);
        break;
    case REG_MULTI_SZ:
        cchValue = 10 + 3ull * dwSize + 5;
        break;
    default:
        return FALSE;  // `"name"` alone would be a line no registry import takes
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
    }
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
      m_dwSectionEnd(0),
      m_pSavedText(nullptr),
      m_dwSavedLength(0),
      m_dwCapacity(0),
      m_bInTrans(FALSE),
      m_bReadOnly(FALSE),
      m_qwFingerprint(0),
      m_bHeadersIndexed(FALSE) {
    std::memset(m_szDevice, 0, sizeof m_szDevice);
    std::memset(m_szDriverName, 0, sizeof m_szDriverName);
    std::memset(m_szSectionKey, 0, sizeof m_szSectionKey);
}

CRegScript::~CRegScript() {
    FreeText();
    m_file.Abort();
}

void CRegScript::FreeText() {
    DropChanges();
    m_bHeadersIndexed = FALSE;
    FreeBlock(m_pText);
    m_dwLength = 0;
    m_nCachedIndex = -1;
    m_bInTrans = FALSE;
}

// Back to the file's own bytes.
void CRegScript::DropChanges() {
    if (!m_pSavedText) return;
    FreeBlock(m_pText);
    m_pText = m_pSavedText;
    m_dwLength = m_dwSavedLength;
    m_pSavedText = nullptr;
    m_dwSavedLength = 0;
    m_nCachedIndex = -1;
    m_bHeadersIndexed = FALSE;
}

DWORD CRegScript::Open(LPCSTR lpszPath) {
    FreeText();
    m_file.Abort();
    std::memset(m_szDevice, 0, sizeof m_szDevice);
    if (!lpszPath) return ERROR_INVALID_PARAMETER;

    // The device's own part of the path: what follows the last
    // "Device_Drivers" and its separator. The folders above it, the image
    // root among them, may be named anything.
    const char* pszAfter = nullptr;
    for (const char* p = lpszPath; (p = std::strstr(p, kDeviceMark)) != nullptr; ++p) {
        if (IsSeparator(p[sizeof kDeviceMark - 1])) pszAfter = p + sizeof kDeviceMark;
    }
    if (!pszAfter || strnlen(pszAfter, kDeviceChars) < kDeviceChars) return ERROR_BAD_PATHNAME;
    const bool bPci = std::strstr(pszAfter, "PCI") != nullptr;
    const bool bPcm = std::strstr(pszAfter, "PCM") != nullptr;
    const bool bUsb = std::strstr(pszAfter, "USB") != nullptr;
    if (!bPci && !bPcm && !bUsb) return ERROR_BAD_PATHNAME;
    if (!m_journal.SetScript(lpszPath)) return ERROR_FILENAME_EXCED_RANGE;

    // A script that may not be written is still read; a change to it is refused.
    m_bReadOnly = FALSE;
    if (!m_file.Open(lpszPath, CFile::modeReadWrite | CFile::shareExclusive, &m_fileError)) {
        const DWORD dwError = static_cast<DWORD>(m_fileError.m_lOsError);
        if ((dwError != ERROR_ACCESS_DENIED && dwError != ERROR_WRITE_PROTECT) ||
            !m_file.Open(lpszPath, CFile::modeRead | CFile::shareExclusive)) {
            SetLastError(dwError);
            return dwError != ERROR_SUCCESS ? dwError : ERROR_OPEN_FAILED;
        }
        m_bReadOnly = TRUE;
    }
    // A device or a pipe would never end, or would block the dialog reading it.
    if (GetFileType(reinterpret_cast<HANDLE>(m_file.m_hFile)) != FILE_TYPE_DISK) {
        m_file.Abort();
        SetLastError(ERROR_BAD_FILE_TYPE);
        return ERROR_BAD_FILE_TYPE;
    }

    std::memcpy(m_szDevice, pszAfter, kDeviceChars);
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

    // The script is read once; only a save cut short, put back, makes a second read.
    DWORD dwError = ERROR_SUCCESS;
    try {
        BOOL bRolledBack = FALSE;
        if (!ReadText() ||
            (dwError = m_journal.Recover(m_file, m_pText, m_dwLength, !m_bReadOnly, &bRolledBack, &m_fileError)) !=
                ERROR_SUCCESS ||
            (bRolledBack && !ReadText())) {
            if (dwError == ERROR_SUCCESS) dwError = GetLastError();
            if (dwError == ERROR_SUCCESS) dwError = ERROR_NOT_ENOUGH_MEMORY;
        }
    } catch (CException*) {
        FreeText();
        m_file.Abort();
        throw;
    }
    // Only 8-bit text is edited: UTF-16 would take our 8-bit lines as
    // garbage, and a zero byte would end every search early.
    if (dwError == ERROR_SUCCESS && m_dwLength >= 2) {
        const BYTE b0 = static_cast<BYTE>(m_pText[0]), b1 = static_cast<BYTE>(m_pText[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) dwError = ERROR_NO_UNICODE_TRANSLATION;
    }
    if (dwError == ERROR_SUCCESS && std::memchr(m_pText, '\0', m_dwLength)) dwError = ERROR_INVALID_DATA;
    if (dwError != ERROR_SUCCESS) {
        FreeText();
        m_file.Abort();
        SetLastError(dwError);
    }
    return dwError;
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
    if (dwLength >= 0xFFFFFFFEu) {  // no room for a change, nor for the text's terminator
        SetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    CPageBuffer text;
    if (!text.Alloc(dwLength)) return FALSE;
    m_file.SeekToBegin();
    const UINT nRead = m_file.Read(text.Get(), dwLength);
    FreeText();
    m_pText = text.Detach();
    m_dwLength = nRead;
    m_qwFingerprint = Fingerprint(m_pText, m_dwLength);
    return TRUE;
}

void CRegScript::Reload() {
    DropChanges();
    m_bInTrans = FALSE;
    if (m_file.m_hFile != CFile::hFileNull) ReadText();
}

// ---- Reading --------------------------------------------------------------

// The line end a new line takes: the script's own, from its first line.
const char* CRegScript::LineEnd() const {
    const char* pEnd = m_pText + m_dwLength;
    const Line first = LineAt(FirstLine(m_pText, pEnd), pEnd);
    if (!first.HasLineEnd()) return kCrLf;
    return first.pNext - first.pEnd == 2 ? kCrLf : *first.pEnd == '\n' ? "\n" : "\r";
}

// The first header line of template n: its start, and the start of the line
// after it. Those of the table's templates come from the index of headers.
BOOL CRegScript::FindHeader(int nIndex, DWORD& dwStart, DWORD& dwNext) {
    if (nIndex >= 0 && nIndex < INDEXED_TEMPLATES) {
        IndexHeaders();
        if (m_adwHeaderStart[nIndex] == kNoHeader) return FALSE;
        dwStart = m_adwHeaderStart[nIndex];
        dwNext = m_adwHeaderNext[nIndex];
        return TRUE;
    }
    return ForEachHeader(m_pText, m_pText + m_dwLength, m_pText, m_pText + m_dwLength, m_szSectionKey,
                         [&](const Line& line, int n) {
                             if (n != nIndex) return false;
                             dwStart = static_cast<DWORD>(line.pBegin - m_pText);
                             dwNext = static_cast<DWORD>(line.pNext - m_pText);
                             return true;
                         });
}

// One pass over the text finds the first header of every template of the
// table; each lookup after it is free, until the text changes in a way
// MoveHeaders cannot follow.
void CRegScript::IndexHeaders() {
    if (m_bHeadersIndexed) return;
    std::fill(m_adwHeaderStart, m_adwHeaderStart + INDEXED_TEMPLATES, kNoHeader);
    std::fill(m_adwHeaderNext, m_adwHeaderNext + INDEXED_TEMPLATES, kNoHeader);
    m_bHeadersIndexed = TRUE;
    IndexHeadersIn(0, m_dwLength);
}

// Headers in [dwFrom, dwTo) (dwFrom a line start) that come before the ones
// the index holds.
void CRegScript::IndexHeadersIn(DWORD dwFrom, DWORD dwTo) {
    ForEachHeader(m_pText, m_pText + m_dwLength, m_pText + dwFrom, m_pText + dwTo, m_szSectionKey,
                  [&](const Line& line, int n) {
                      const DWORD dwStart = static_cast<DWORD>(line.pBegin - m_pText);
                      if (n >= 0 && n < INDEXED_TEMPLATES && dwStart < m_adwHeaderStart[n]) {
                          m_adwHeaderStart[n] = dwStart;
                          m_adwHeaderNext[n] = static_cast<DWORD>(line.pNext - m_pText);
                      }
                      return false;
                  });
}

// Keeps the index through a change that put cbNew bytes in place of [dwFrom,
// dwTo): headers after it move; one it cut into is looked for again.
void CRegScript::MoveHeaders(DWORD dwFrom, DWORD dwTo, DWORD cbNew) {
    if (!m_bHeadersIndexed) return;
    for (int n = 0; n < INDEXED_TEMPLATES; ++n) {
        if (m_adwHeaderStart[n] == kNoHeader) continue;
        if (m_adwHeaderStart[n] >= dwTo) {
            m_adwHeaderStart[n] = m_adwHeaderStart[n] - dwTo + dwFrom + cbNew;
            m_adwHeaderNext[n] = m_adwHeaderNext[n] - dwTo + dwFrom + cbNew;
        } else if (m_adwHeaderNext[n] > dwFrom) {
            m_bHeadersIndexed = FALSE;
            return;
        }
    }
    // A header the change wrote, from the start of its first line on.
    const char* pFrom = m_pText + dwFrom;
    while (pFrom > m_pText && !IsBreak(pFrom[-1])) --pFrom;
    IndexHeadersIn(static_cast<DWORD>(pFrom - m_pText), dwFrom + cbNew);
}

// The start of the first section line at or after dwFrom (a line start), or the end.
DWORD CRegScript::NextSection(DWORD dwFrom) const {
    const char* const pEnd = m_pText + m_dwLength;
    const char* pLine = FindSectionLine(FirstLine(m_pText, pEnd), m_pText + dwFrom, pEnd,
                                        [](const char*, const char*) { return true; });
    return static_cast<DWORD>(pLine - m_pText);
}

int CRegScript::FindTemplateSection(int nIndex, DWORD& dwStart, DWORD& dwEnd) {
    dwStart = dwEnd = m_dwLength;
    DWORD dwNext;
    if (m_pText && FindHeader(nIndex, dwStart, dwNext)) dwEnd = NextSection(dwNext);
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

    const size_t cchName = std::strlen(lpszName);
    const char* const pEnd = m_pText + m_dwSectionEnd;
    const char* p = LineAt(m_pText + m_dwSectionStart, pEnd).pNext;  // past the header
    while (p < pEnd) {
        // Only a value's first line is read; the lines that continue it are no values.
        const Line line = LineAt(p, pEnd);
        if (const char* pValue = ValueOf(line, lpszName, cchName))
            return ReadLineValue(pValue, line.pEnd, pdwType, pData, dwDataSize, pdwSize);
        p = LogicalLine(p, pEnd).pNext;
    }
    return 1;
}

int CRegScript::TemplateSectionExists(int nIndex) {
    DWORD dwStart, dwNext;
    return m_pText && FindHeader(nIndex, dwStart, dwNext) ? 1 : 0;
}

int CRegScript::ListTemplateSections(WORD& wMask) {
    wMask = 0;
    if (!m_pText) return 0;
    IndexHeaders();
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if (m_adwHeaderStart[n] != kNoHeader) wMask = static_cast<WORD>(wMask | (1u << n));
    }
    return 0;
}

// ---- Changing -------------------------------------------------------------
//
// Every change replaces one range of the text with new bytes, in memory; the
// file's own bytes stay aside until the change has landed.

namespace {

struct Piece {
    const char* p;
    DWORD cb;
};

Piece Text(const char* psz) { return Piece{psz, static_cast<DWORD>(std::strlen(psz))}; }

}  // namespace

int CRegScript::Splice(DWORD dwFrom, DWORD dwTo, const char* pPrefix, const char* pNew, DWORD cbNew,
                       const char* pSuffix, BOOL bWithinSection) {
    const Piece pieces[] = {Text(pPrefix), Piece{pNew, cbNew}, Text(pSuffix)};
    uint64_t cbPieces = 0;
    for (const Piece& piece : pieces) cbPieces += piece.cb;
    const uint64_t cbNewText = static_cast<uint64_t>(m_dwLength) - (dwTo - dwFrom) + cbPieces;
    if (cbNewText >= 0xFFFFFFFFull - 1) return 1;
    const DWORD dwOldLength = m_dwLength;
    const DWORD dwNewLength = static_cast<DWORD>(cbNewText);

    if (m_pSavedText && dwNewLength <= m_dwCapacity) {
        // The working copy has room: the tail moves, the rest stays zero.
        std::memmove(m_pText + dwFrom + cbPieces, m_pText + dwTo, dwOldLength - dwTo);
        if (dwNewLength < dwOldLength) std::memset(m_pText + dwNewLength, 0, dwOldLength - dwNewLength);
    } else {
        // The first change keeps the file's own bytes aside; the working copy
        // takes room to grow, so that the changes after it move only the tail.
        const DWORD dwCapacity =
            dwNewLength + std::min<DWORD>(dwNewLength / 8 + 4096, 0xFFFFFFFEu - dwNewLength);
        CPageBuffer text;
        if (!text.Alloc(dwCapacity)) return 1;
        std::memcpy(text.Get(), m_pText, dwFrom);
        std::memcpy(text.Get() + dwFrom + cbPieces, m_pText + dwTo, dwOldLength - dwTo);
        if (m_pSavedText) {
            FreeBlock(m_pText);
        } else {
            m_pSavedText = m_pText;
            m_dwSavedLength = dwOldLength;
        }
        m_pText = text.Detach();
        m_dwCapacity = dwCapacity;
    }
    char* p = m_pText + dwFrom;
    for (const Piece& piece : pieces) {
        if (piece.cb) std::memcpy(p, piece.p, piece.cb);
        p += piece.cb;
    }
    m_dwLength = dwNewLength;
    MoveHeaders(dwFrom, dwTo, static_cast<DWORD>(cbPieces));
    // A value written inside the cached section moves only that section's end.
    if (bWithinSection && m_nCachedIndex != -1 && dwFrom >= m_dwSectionStart && dwTo <= m_dwSectionEnd)
        m_dwSectionEnd = m_dwSectionEnd + dwNewLength - dwOldLength;
    else
        m_nCachedIndex = -1;
    if (!m_bInTrans) WriteChanges();
    return 0;
}

int CRegScript::WriteValue(int nIndex, LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize) {
    // An empty name would stand for the key's default value, which is written "@".
    if (!lpszName || !*lpszName || !pData || !m_pText) return 1;
    char szLine[MAX_LINE_CHARS + 1];
    DWORD cchLine = 0;
    if (!FormatValueLine(lpszName, dwType, pData, dwSize, szLine, &cchLine)) return 1;

    UpdateCachedSection(nIndex);
    const char* pszLineEnd = LineEnd();
    const char* const pTextEnd = m_pText + m_dwLength;
    if (m_dwSectionStart != m_dwSectionEnd) {
        const size_t cchName = std::strlen(lpszName);
        const char* const pEnd = m_pText + m_dwSectionEnd;
        for (const char* p = LineAt(m_pText + m_dwSectionStart, pEnd).pNext; p < pEnd;) {
            const Line line = LogicalLine(p, pEnd);
            if (ValueOf(line, lpszName, cchName)) {
                // Whatever stands before the opening quote, and the line's own end, stay.
                const DWORD dwFrom = static_cast<DWORD>(line.First() - m_pText);
                const DWORD dwTo = static_cast<DWORD>(line.pEnd - m_pText);
                // The store writes every value at every save: an unchanged line costs nothing.
                if (dwTo - dwFrom == cchLine && line.HasLineEnd() &&
                    std::memcmp(m_pText + dwFrom, szLine, cchLine) == 0)
                    return 0;
                return Splice(dwFrom, dwTo, "", szLine, cchLine, line.HasLineEnd() ? "" : pszLineEnd, TRUE);
            }
            p = line.pNext;
        }
    }
    // A new value goes at the end of its section, just before the next
    // section's line; for an absent template, at the end of the script, where
    // it becomes no section of that template. Either way it goes before a
    // value left open there.
    const BOOL bPresent = m_dwSectionStart != m_dwSectionEnd;
    const char* const pFirst = FirstLine(m_pText, pTextEnd);
    const DWORD dwAt = static_cast<DWORD>(
        OutsideOpenValue(pFirst, m_pText + (bPresent ? m_dwSectionEnd : m_dwLength), pTextEnd) - m_pText);
    const bool bLineStart = m_pText + dwAt == pFirst || IsBreak(m_pText[dwAt - 1]);
    return Splice(dwAt, dwAt, bLineStart ? "" : pszLineEnd, szLine, cchLine, pszLineEnd, bPresent);
}

int CRegScript::AppendTemplateSection(int nIndex) {
    if (!m_pText) return 1;
    char szHeader[MAX_HEADER_CHARS + 1];
    const int cchHeader = std::snprintf(szHeader, sizeof szHeader, "%s%d]", m_szSectionKey, nIndex);
    if (cchHeader < 0 || cchHeader > MAX_HEADER_CHARS) return 1;  // keys that Open builds always fit

    // One space on a line of its own, then the header with one space before
    // its line end; a last line without an end is ended first.
    const char* pszLineEnd = LineEnd();
    char szBlock[2 * 3 + MAX_HEADER_CHARS + 3 + 1];
    const bool bLineStart =
        m_pText + m_dwLength == FirstLine(m_pText, m_pText + m_dwLength) || IsBreak(m_pText[m_dwLength - 1]);
    std::snprintf(szBlock, sizeof szBlock, "%s %s%s %s", bLineStart ? "" : pszLineEnd, pszLineEnd, szHeader,
                  pszLineEnd);
    return Splice(m_dwLength, m_dwLength, "", szBlock, static_cast<DWORD>(std::strlen(szBlock)), "", FALSE);
}

int CRegScript::DeleteTemplateSection(int nIndex) {
    if (!m_pText) return 1;
    DWORD dwStart, dwEnd;
    FindTemplateSection(nIndex, dwStart, dwEnd);
    if (dwStart == dwEnd) return 0;  // absent: the file stays as it is

    // The header, the values and the blank lines go; a person's comments stay.
    const char* const pEnd = m_pText + dwEnd;
    DWORD cbKept = 0;
    for (const char* p = m_pText + dwStart; p < pEnd;) {
        const Line line = LineAt(p, pEnd);
        if (line.Starts(';')) cbKept += static_cast<DWORD>(line.pNext - line.pBegin);
        p = line.pNext;
    }
    CPageBuffer kept;
    if (cbKept && !kept.Alloc(cbKept)) return 1;
    char* pKept = kept.Get();
    for (const char* p = m_pText + dwStart; p < pEnd;) {
        const Line line = LineAt(p, pEnd);
        if (line.Starts(';')) {
            std::memcpy(pKept, line.pBegin, static_cast<size_t>(line.pNext - line.pBegin));
            pKept += line.pNext - line.pBegin;
        }
        p = line.pNext;
    }
    return Splice(dwStart, dwEnd, "", kept.Get(), cbKept, "", FALSE);
}

// ---- Landing changes ------------------------------------------------------
//
// Every change lands through the script's journal (journal.cpp). A failure
// leaves the script as it was and the text with it; one after which not even
// that could be done leaves the document without a text, so that no edit is
// made from a text the file no longer matches.

void CRegScript::BeginTrans() { m_bInTrans = TRUE; }

void CRegScript::CommitTrans() {
    m_bInTrans = FALSE;
    if (m_pSavedText) WriteChanges();
}

void CRegScript::Rollback() {
    m_bInTrans = FALSE;
    DropChanges();
}

void CRegScript::WriteChanges() {
    if (m_bReadOnly) {
        DropChanges();
        CFileException::ThrowOsError(ERROR_WRITE_PROTECT, m_journal.ScriptPath());
    }
    BOOL bIntact = TRUE;
    try {
        m_journal.Land(m_file, m_pSavedText, m_dwSavedLength, m_pText, m_dwLength, &bIntact);
    } catch (CException*) {
        if (bIntact)
            DropChanges();
        else
            FreeText();
        throw;
    }
    m_qwFingerprint = Fingerprint(m_pText, m_dwLength);
    FreeBlock(m_pSavedText);
    m_dwSavedLength = 0;
}
