#include "script_codec.h"

#include <cstdint>
#include <cstdio>

#include "number_text.h"

namespace codec {

namespace {

bool StartsNoCase(const char* p, const char* pEnd, const char* pszWord) {
    const size_t cch = std::strlen(pszWord);
    return static_cast<size_t>(pEnd - p) >= cch && EqualNoCase(p, pszWord, cch);
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

// Reading, rewriting and cutting all take lines so.
bool StandsAlone(const Line& line) { return line.Starts(';') || line.Starts('['); }

bool EndsOpen(const Line& line) {
    const char* pLast = line.pEnd;
    while (pLast > line.pBegin && IsBlank(pLast[-1])) --pLast;
    return pLast > line.pBegin && pLast[-1] == '\\';
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

// The end of a value's text: its first ';' or the end of the line.
const char* ValueTextEnd(const char* p, const char* pEnd) {
    const char* pSemicolon = static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(pEnd - p)));
    return pSemicolon ? pSemicolon : pEnd;
}

const char kHexUpper[] = "0123456789ABCDEF";

char* PutHexByte(char* p, BYTE b) {
    *p++ = kHexUpper[b >> 4];
    *p++ = kHexUpper[b & 0xF];
    return p;
}

bool HoldsBreak(const char* p, size_t cch) {
    return std::memchr(p, '\r', cch) != nullptr || std::memchr(p, '\n', cch) != nullptr;
}

const char kCrLf[] = "\r\n";
const char kUtf8Mark[] = "\xEF\xBB\xBF";

}  // namespace

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

// The mark stays where it is; an edit never moves it.
const char* FirstLine(const char* pText, const char* pTextEnd) {
    return pTextEnd - pText >= 3 && std::memcmp(pText, kUtf8Mark, 3) == 0 ? pText + 3 : pText;
}

const char* OutsideOpenValue(const char* pFirst, const char* pAt, const char* pTextEnd) {
    const char* pStart = pAt;
    for (const char* p = LineBefore(pFirst, pAt); p; p = LineBefore(pFirst, p)) {
        const Line line = LineAt(p, pTextEnd);
        if (StandsAlone(line) || !EndsOpen(line)) break;
        pStart = p;
    }
    return pStart;
}

const char* NewLineEnd(const char* pText, const char* pTextEnd) {
    const Line first = LineAt(FirstLine(pText, pTextEnd), pTextEnd);
    if (!first.HasLineEnd()) return kCrLf;
    return first.pNext - first.pEnd == 2 ? kCrLf : *first.pEnd == '\n' ? "\n" : "\r";
}

DWORD CheckText(const char* pText, DWORD cbText) {
    if (cbText >= 2) {
        const BYTE b0 = static_cast<BYTE>(pText[0]), b1 = static_cast<BYTE>(pText[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) return ERROR_NO_UNICODE_TRANSLATION;
    }
    return std::memchr(pText, '\0', cbText) ? ERROR_INVALID_DATA : ERROR_SUCCESS;
}

// The number is taken only as "%d" writes it, so that "Template03" is no
// header of template 3.
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

DWORD FormatNewSection(const char* pszKey, int nIndex, const char* pszLineEnd, bool bEnded,
                       char (&szBlock)[2 * 3 + MAX_HEADER_CHARS + 3 + 1]) {
    char szHeader[MAX_HEADER_CHARS + 1];
    const int cchHeader = std::snprintf(szHeader, sizeof szHeader, "%s%d]", pszKey, nIndex);
    if (cchHeader < 0 || cchHeader > MAX_HEADER_CHARS) return 0;
    std::snprintf(szBlock, sizeof szBlock, "%s %s%s %s", bEnded ? "" : pszLineEnd, pszLineEnd, szHeader, pszLineEnd);
    return static_cast<DWORD>(std::strlen(szBlock));
}

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

BOOL FormatValueLine(LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize, char (&szLine)[MAX_LINE_CHARS + 1],
                     DWORD* pcchLine) {
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
    if (1 + cchName + 1 + cchValue + 2 > MAX_LINE_CHARS) return FALSE;

    char* p = szLine;
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
    *pcchLine = static_cast<DWORD>(p - szLine);
    return TRUE;
}

}  // namespace codec
