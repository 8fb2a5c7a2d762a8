#include "regscript.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "journal.h"
#include "page_buffer.h"
#include "registry_layout.h"
#include "script_codec.h"

using namespace codec;

namespace {

const char kDeviceMark[] = "Device_Drivers";
const size_t kDeviceChars = 7;  // bus prefix (3) and model (4), after one separator
const size_t kModelOffset = 3;
const size_t kModelChars = 4;
const char kKeyRoot[] = "[HKEY_LOCAL_MACHINE\\Drivers\\";
const char kDriverPrefix[] = "VQX";
const char kDriverSuffix[] = "S";
const char kSingleTemplateModel[] = "6451";  // its templates sit directly under the driver key

void FreeBlock(char*& p) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
    p = nullptr;
}

void AppendText(char* pszDst, size_t cchDst, const char* pszSrc) {
    size_t n = std::strlen(pszDst);
    while (*pszSrc && n + 1 < cchDst) pszDst[n++] = *pszSrc++;
    pszDst[n] = '\0';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

ULONGLONG Fingerprint(const char* pText, DWORD cbText) {
    const ULONGLONG qw = ScriptHash(pText, cbText, cbText);
    return qw != 0 ? qw : 1;  // 0 is left free to stand for "no script"
}

const DWORD kNoHeader = 0xFFFFFFFFu;

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
    if (dwError == ERROR_SUCCESS) dwError = CheckText(m_pText, m_dwLength);
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
    IndexHeadersIn(static_cast<DWORD>(StartOfLine(m_pText, m_pText + dwFrom) - m_pText), dwFrom + cbNew);
}

// The start of the first section line at or after dwFrom (a line start), or the end.
DWORD CRegScript::NextSection(DWORD dwFrom) const {
    return static_cast<DWORD>(NextSectionLine(m_pText, m_pText + dwFrom, m_pText + m_dwLength) - m_pText);
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
    const char* const pTextEnd = m_pText + m_dwLength;
    const char* const pszLineEnd = NewLineEnd(m_pText, pTextEnd);
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
    return Splice(dwAt, dwAt, AtLineStart(pFirst, m_pText + dwAt) ? "" : pszLineEnd, szLine, cchLine, pszLineEnd,
                  bPresent);
}

int CRegScript::AppendTemplateSection(int nIndex) {
    if (!m_pText) return 1;
    const char* const pTextEnd = m_pText + m_dwLength;
    char szBlock[2 * 3 + MAX_HEADER_CHARS + 3 + 1];
    const DWORD cbBlock = FormatNewSection(m_szSectionKey, nIndex, NewLineEnd(m_pText, pTextEnd),
                                           AtLineStart(FirstLine(m_pText, pTextEnd), pTextEnd), szBlock);
    if (cbBlock == 0) return 1;  // keys that Open builds always fit
    return Splice(m_dwLength, m_dwLength, "", szBlock, cbBlock, "", FALSE);
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
        if (line.IsComment()) cbKept += static_cast<DWORD>(line.pNext - line.pBegin);
        p = line.pNext;
    }
    CPageBuffer kept;
    if (cbKept && !kept.Alloc(cbKept)) return 1;
    char* pKept = kept.Get();
    for (const char* p = m_pText + dwStart; p < pEnd;) {
        const Line line = LineAt(p, pEnd);
        if (line.IsComment()) {
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
