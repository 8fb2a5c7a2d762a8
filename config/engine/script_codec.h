#pragma once
// The registry script's text, line by line: where lines begin and end, which
// line is a comment, a section's line, a template's header or a value, and
// the value forms read and written. It works on a text in memory, a range of
// bytes that a zero byte follows; the document (regscript.h) owns the text
// and the file.
//
// The script is usually a person's file, so the rules are those under which
// an edit leaves the rest of it as it was:
// - lines end in CR LF, LF or CR; a line added ends the way the script's
//   first line does (CR LF in a script without any); a UTF-8 byte-order mark
//   belongs to no line;
// - a comment line is one whose first non-blank character is ";", a
//   section's line one whose first non-blank character is "[": both stand
//   alone. Any other line that ends with a backslash goes on over the next
//   one, unless that one stands alone: so a comment never swallows the value
//   under it, and no value swallows a comment or a header;
// - a template's header is "[", the board's key in any letter case (as the
//   registry compares keys), the number as "%d" writes it and "]", then at
//   most blanks and a comment; a "[" inside a value or a comment opens nothing;
// - a value line begins with its own name in quotes, then "=" (in any case).
#include <afx.h>

#include <cstring>

namespace codec {

enum {
    MAX_LINE_CHARS = 255,  // a value line, CR LF included
    MAX_HEADER_CHARS = 255,
};

inline bool IsBreak(char c) { return c == '\r' || c == '\n'; }
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool EqualNoCase(const char* p, const char* q, size_t cch) {
    for (size_t i = 0; i < cch; ++i) {
        if (FoldCase(p[i]) != FoldCase(q[i])) return false;
    }
    return true;
}

inline const char* SkipBlanks(const char* p, const char* pEnd) {
    while (p < pEnd && IsBlank(*p)) ++p;
    return p;
}

// ---- Lines -----------------------------------------------------------------

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
    bool IsComment() const { return Starts(';'); }
    bool HasLineEnd() const { return pNext != pEnd; }
};

// The line that begins at p.
Line LineAt(const char* p, const char* pTextEnd);

// The line that begins at p, with the lines that continue it.
Line LogicalLine(const char* p, const char* pTextEnd);

// Where the text's first line begins: past a UTF-8 byte-order mark.
const char* FirstLine(const char* pText, const char* pTextEnd);

// Whether p begins a line of the text whose first line begins at pFirst.
inline bool AtLineStart(const char* pFirst, const char* p) { return p == pFirst || IsBreak(p[-1]); }

// The start of the line that holds p.
inline const char* StartOfLine(const char* pText, const char* p) {
    while (p > pText && !IsBreak(p[-1])) --p;
    return p;
}

// pAt, or the start of the value that ends just before pAt still open: a
// line put after an open value would be read as part of it.
const char* OutsideOpenValue(const char* pFirst, const char* pAt, const char* pTextEnd);

// The line end a line added to the text takes.
const char* NewLineEnd(const char* pText, const char* pTextEnd);

// 0 for text the document can edit; ERROR_NO_UNICODE_TRANSLATION for UTF-16
// (its byte-order mark), which would take 8-bit lines as garbage;
// ERROR_INVALID_DATA for a zero byte, which would end every search early.
DWORD CheckText(const char* pText, DWORD cbText);

// ---- Sections --------------------------------------------------------------

// The template number of a header line of the board's key pszKey (cchKey
// characters): false when the line is no such header.
bool HeaderNumber(const Line& line, const char* pszKey, size_t cchKey, int& nIndex);

// Calls fn(pLine, pBracket) for each line that "[" opens (blanks aside) at or
// after pFrom, a line start, until fn returns true; returns that line's
// start, or pEnd; pFirst is where the text's first line begins. It looks for
// "[" first and at its line afterwards.
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

// The start of the first section's line at or after pFrom (a line start), or pEnd.
inline const char* NextSectionLine(const char* pText, const char* pFrom, const char* pEnd) {
    return FindSectionLine(FirstLine(pText, pEnd), pFrom, pEnd, [](const char*, const char*) { return true; });
}

// Calls fn(line, n) for each header line of the board's templates whose "["
// lies in [pFrom, pScanEnd), pFrom a line start, in order, until fn returns
// true; returns whether one did.
template <class Fn>
bool ForEachHeader(const char* pText, const char* pEnd, const char* pFrom, const char* pScanEnd, const char* pszKey,
                   Fn fn) {
    const size_t cchKey = std::strlen(pszKey);
    const char* const pFirst = FirstLine(pText, pEnd);
    const char* pFound = FindSectionLine(pFirst, pFrom < pFirst ? pFirst : pFrom, pScanEnd, [&](const char* pLine,
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

// What a new template's section adds at the end of a text: a line of one
// space, then the header with one space before its line end, the last line
// of the text ended first when it has no end (bEnded false). Its length, or 0
// when the header would be longer than MAX_HEADER_CHARS.
DWORD FormatNewSection(const char* pszKey, int nIndex, const char* pszLineEnd, bool bEnded,
                       char (&szBlock)[2 * 3 + MAX_HEADER_CHARS + 3 + 1]);

// ---- Values ----------------------------------------------------------------

// The first character of the value when the line is lpszName's value line:
// optional blanks, the name in quotes (in any case), blanks, "=", blanks.
const char* ValueOf(const Line& line, LPCSTR lpszName, size_t cchName);

// Reads the value that begins at pValue on a line ending at pEnd: 0 = read
// into pData; 1 = not read, *pdwType and *pdwSize still reporting the value
// when its form was recognised but pData is null or its dwDataSize bytes
// cannot hold it. Strings are copied without a terminator.
int ReadLineValue(const char* pValue, const char* pEnd, DWORD* pdwType, LPVOID pData, DWORD dwDataSize,
                  DWORD* pdwSize);

// Builds `"name"=<value>` into szLine, without its line end, which counts as
// CR LF against MAX_LINE_CHARS. FALSE, with nothing built, when the line
// would not fit or would not stay one line, or for a type other than
// REG_DWORD, REG_SZ, REG_BINARY and REG_MULTI_SZ.
BOOL FormatValueLine(LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize, char (&szLine)[MAX_LINE_CHARS + 1],
                     DWORD* pcchLine);

}  // namespace codec
