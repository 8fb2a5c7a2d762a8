// The rollback journal of a registry script.
//
// A save changes the script in place, from the first byte it changes on.
// Before it touches the script it writes the journal beside it, the script's
// path and ".jnl": the bytes it will overwrite, the bytes it will write, and
// enough to tell later whether the script is still in a state this save
// itself could have left.
//
// Format, numbers little-endian. old is the script before the save, L0 bytes
// long; new is the script after it, L1 bytes; F is the first byte in which
// they differ, and S how many bytes they share at their ends after F.
//
//   offset  bytes
//        0     16  "PCI6406Cfg jnl2\n"
//       16      4  F
//       20      4  L0
//       24      4  L1
//       28      4  S
//       32      8  check of old[0, F): what the save leaves before F
//       40      8  check of old[L0 - S, L0): what it leaves at the end when
//                  the length stays (and moves, when not)
//       48      8  check of bytes 0..47 and of all that follows them
//       56    |X|  X = old[F, L0 - S) when L1 = L0, else old[F, L0): every
//                  byte the save overwrites
//   56+|X|    |D|  D = new[F, L1 - S): the bytes it writes that old lacks
//
// A whole journal is exactly 56 + |X| + |D| bytes. The checks are ScriptHash
// (journal.h): of old[0, F) seeded with F; of old's last S bytes seeded with
// the 32-bit complement of S; of the journal, bytes 0..47 seeded with 0, then X
// seeded with that hash, then D seeded with the hash of both.
//
// new is old[0, F) + D + old[L0 - S, L0). When L1 = L0 the save writes D over
// X and nothing else; otherwise it writes D and the moved end from F on, then
// ends the file at L1. A save whose new bytes are the old ones writes nothing
// at all, no journal either.
//
// The states of a save, and what each leaves when the process dies in it:
//   1. The journal is made as a new file: never through a link, never more
//      readable than the script (the script's owner and group where the
//      process may give them, and no more of its permissions). It is written
//      and flushed.  Dies here: a journal empty or cut short, the script as
//      it was.
//   2. The script is written from F, ended at L1 and flushed.  Dies here: a
//      whole journal, and the script old, new, or new up to some byte and old
//      after it (longer than L0 when the writing had grown it).
//   3. The save checks that the script's name still leads to the file it
//      wrote; another program may have put its own file there meanwhile
//      (sed -i, an editor's save). If not, the journal goes and the save is
//      reported as lost: that file is the other program's, kept as it is.
//   4. The journal is removed: this is the moment the save lands.
// A failure in 2 to 4, rather than a death, puts the old bytes back from
// memory and removes the journal; when even that fails the journal stays.
// With the journal switched off (SetEnabled) a save is state 2 and 3 alone:
// a failure still puts the old bytes back, a death leaves the script as 2
// leaves it, and nothing puts it back.
//
// Recovery. Open holds the script exclusively, so no save of this library is
// running on it, reads it, and then looks at the journal's name:
//   - Nothing there: nothing to do.
//   - A link, a folder, a device, or a file that does not begin with the
//     mark: no journal of this script. It is left alone, and never followed;
//     a save then fails on it with a message naming it.
//   - A file that cannot be read: Open fails, naming it, since the script
//     may be half saved.
//   - The mark, but empty or cut short: a save that died in state 1, before
//     it touched the script. The journal is removed.
//   - A whole journal, and the script in a state that 2 leaves, its bytes
//     before F and its unchanged end matching their checks: the old bytes go
//     back (nothing to write when the script is old already), and then the
//     journal is removed. A write-protected script cannot be put back, and
//     Open fails saying so.
//   - A whole journal and the script in any other state, or a journal that
//     fails its check though not short (or is longer than whole, or whose
//     F, L0, L1 and S do not fit together): the script was changed after the
//     save died (a backup put back, a hand edit, a fresh copy), or the
//     journal was. The script is kept as it is, and the journal is renamed
//     to the journal's path and ".not-applied" (".not-applied.2" to
//     ".not-applied.99" when that is taken; with all of them taken Open
//     fails, naming the journal), which the caller tells the person beside
//     the script's path.
#include "journal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "page_buffer.h"

namespace {

const char kMagic[16] = {'P', 'C', 'I', '6', '4', '0', '6', 'C', 'f', 'g', ' ', 'j', 'n', 'l', '2', '\n'};
const DWORD kHeaderBytes = 56;
const DWORD kCheckedHeaderBytes = 48;
const char kSetAsideSuffix[] = ".not-applied";
const int kSetAsideNames = 99;  // ".not-applied", then ".2" to ".99"

void PutDword(BYTE* p, DWORD dw) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(dw >> (8 * i));
}
DWORD GetDword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}
void PutQword(BYTE* p, ULONGLONG qw) {
    PutDword(p, static_cast<DWORD>(qw));
    PutDword(p + 4, static_cast<DWORD>(qw >> 32));
}
ULONGLONG GetQword(const BYTE* p) { return GetDword(p) | static_cast<ULONGLONG>(GetDword(p + 4)) << 32; }

const size_t kBlock = 4096;

// The length of the run that a and b share from their starts, up to n.
size_t SharedStart(const char* a, const char* b, size_t n) {
    size_t i = 0;
    while (i + kBlock <= n && std::memcmp(a + i, b + i, kBlock) == 0) i += kBlock;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// The length of the run that the bytes ending at aEnd and bEnd share, up to n.
size_t SharedEnd(const char* aEnd, const char* bEnd, size_t n) {
    size_t i = 0;
    while (i + kBlock <= n && std::memcmp(aEnd - i - kBlock, bEnd - i - kBlock, kBlock) == 0) i += kBlock;
    while (i < n && aEnd[-1 - static_cast<ptrdiff_t>(i)] == bEnd[-1 - static_cast<ptrdiff_t>(i)]) ++i;
    return i;
}

ULONGLONG PrefixCheck(const char* pText, DWORD dwFrom) { return ScriptHash(pText, dwFrom, dwFrom); }
ULONGLONG SuffixCheck(const char* pEnd, DWORD dwSuffix) { return ScriptHash(pEnd - dwSuffix, dwSuffix, ~dwSuffix); }

// A journal as read, and its parts.
struct Journal {
    DWORD dwFrom, dwOldLength, dwNewLength, dwSuffix;
    ULONGLONG qwPrefix, qwSuffix;
    const char* pOld;  // X
    const char* pNew;  // D
    bool InPlace() const { return dwOldLength == dwNewLength; }
    DWORD OldBytes() const { return (InPlace() ? dwOldLength - dwSuffix : dwOldLength) - dwFrom; }
    DWORD NewBytes() const { return dwNewLength - dwSuffix - dwFrom; }
};

ULONGLONG JournalCheck(const BYTE* pHeader, const char* pOld, DWORD cbOld, const char* pNew, DWORD cbNew) {
    return ScriptHash(pNew, cbNew, ScriptHash(pOld, cbOld, ScriptHash(pHeader, kCheckedHeaderBytes, 0)));
}

enum Reading { NOT_OURS, CUT_SHORT, DAMAGED, WHOLE };

Reading ReadJournal(const BYTE* p, DWORD cb, Journal& j) {
    if (cb < sizeof kMagic) return std::memcmp(p, kMagic, cb) == 0 ? CUT_SHORT : NOT_OURS;
    if (std::memcmp(p, kMagic, sizeof kMagic) != 0) return NOT_OURS;
    if (cb < kHeaderBytes) return CUT_SHORT;
    j.dwFrom = GetDword(p + 16);
    j.dwOldLength = GetDword(p + 20);
    j.dwNewLength = GetDword(p + 24);
    j.dwSuffix = GetDword(p + 28);
    j.qwPrefix = GetQword(p + 32);
    j.qwSuffix = GetQword(p + 40);
    const DWORD dwShorter = std::min(j.dwOldLength, j.dwNewLength);
    if (j.dwFrom > dwShorter || j.dwSuffix > dwShorter - j.dwFrom) return DAMAGED;
    const uint64_t cbWhole = static_cast<uint64_t>(kHeaderBytes) + j.OldBytes() + j.NewBytes();
    if (cb < cbWhole) return CUT_SHORT;
    j.pOld = reinterpret_cast<const char*>(p) + kHeaderBytes;
    j.pNew = j.pOld + j.OldBytes();
    const ULONGLONG qwCheck = JournalCheck(p, j.pOld, j.OldBytes(), j.pNew, j.NewBytes());
    if (cb > cbWhole || GetQword(p + kCheckedHeaderBytes) != qwCheck) return DAMAGED;
    return WHOLE;
}

// How the script stands against a whole journal.
enum Standing { UNTOUCHED, PART_SAVED, CHANGED_SINCE };

// new[F, F + n) shared with the bytes at p, as a count: new from F is D, then
// old's last S bytes, which X holds when the length changes.
size_t SharedWithNew(const Journal& j, const char* p, size_t n) {
    const size_t cbD = j.NewBytes();
    const size_t nD = SharedStart(p, j.pNew, std::min(n, cbD));
    if (nD < cbD || n <= cbD) return nD;
    const char* pOldEnd = j.pOld + (j.dwOldLength - j.dwSuffix - j.dwFrom);
    return cbD + SharedStart(p + cbD, pOldEnd, std::min<size_t>(n - cbD, j.dwSuffix));
}

Standing Judge(const Journal& j, const char* pText, DWORD cbText) {
    if (cbText < j.dwFrom || PrefixCheck(pText, j.dwFrom) != j.qwPrefix) return CHANGED_SINCE;
    const char* pTail = pText + j.dwFrom;
    const DWORD cbTail = cbText - j.dwFrom;
    if (j.InPlace()) {
        // Only X's place is written: old, new, or new up to a byte and old after it.
        if (cbText != j.dwOldLength || SuffixCheck(pText + cbText, j.dwSuffix) != j.qwSuffix) return CHANGED_SINCE;
        const DWORD n = j.OldBytes();
        const size_t nNew = SharedStart(pTail, j.pNew, n);
        const size_t nOldFrom = n - SharedEnd(pTail + n, j.pOld + n, n);
        return nOldFrom > nNew ? CHANGED_SINCE : nOldFrom == 0 ? UNTOUCHED : PART_SAVED;
    }
    const DWORD cbNewTail = j.dwNewLength - j.dwFrom;
    if (cbText == j.dwNewLength && SharedWithNew(j, pTail, cbTail) == cbTail) return PART_SAVED;  // all written
    if (cbText == j.dwOldLength) {
        const size_t nNew = SharedWithNew(j, pTail, std::min(cbTail, cbNewTail));
        const size_t nOldFrom = cbTail - SharedEnd(pTail + cbTail, j.pOld + cbTail, cbTail);
        return nOldFrom > nNew ? CHANGED_SINCE : nOldFrom == 0 ? UNTOUCHED : PART_SAVED;
    }
    // Grown past the old end by a write that stopped before the new one.
    if (cbText > j.dwOldLength && cbText < j.dwNewLength && SharedWithNew(j, pTail, cbTail) == cbTail)
        return PART_SAVED;
    return CHANGED_SINCE;
}

void Fill(CFileException* pError, DWORD dwError, LPCSTR lpszFile) {
    pError->m_cause = CFileException::OsErrorToException(static_cast<LONG>(dwError));
    pError->m_lOsError = static_cast<LONG>(dwError);
    pError->SetFileName(lpszFile);
}

void RemoveIfYouCan(LPCSTR lpszPath) {
    try {
        CFile::Remove(lpszPath);
    } catch (CException* pError) {
        pError->Delete();
    }
}

// Why a new file cannot take the name: what holds it.
DWORD WhatHoldsTheName(LPCSTR lpszPath) {
    const DWORD dwAttributes = GetFileAttributesA(lpszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_EXISTS;
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ERROR_STOPPED_ON_SYMLINK;
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (dwAttributes & FILE_ATTRIBUTE_DEVICE) return ERROR_BAD_FILE_TYPE;
    return ERROR_FILE_EXISTS;
}

}  // namespace

ULONGLONG ScriptHash(const void* pData, size_t cb, ULONGLONG qwSeed) {
    const BYTE* pb = static_cast<const BYTE*>(pData);
    const ULONGLONG kMultiplier = 0xFF51AFD7ED558CCDull;
    ULONGLONG qwHash = qwSeed ^ 0x9E3779B97F4A7C15ull;
    for (; cb >= 8; pb += 8, cb -= 8) {
        ULONGLONG qw;
        std::memcpy(&qw, pb, 8);
        qwHash = (qwHash ^ qw) * kMultiplier;
        qwHash ^= qwHash >> 29;
    }
    for (; cb > 0; ++pb, --cb) qwHash = (qwHash ^ *pb) * kMultiplier;
    return qwHash ^ (qwHash >> 32);
}

CScriptJournal::CScriptJournal() : m_bEnabled(TRUE) {
    m_szScript[0] = m_szPath[0] = m_szSetAside[0] = '\0';
}

BOOL CScriptJournal::SetScript(LPCSTR lpszScript) {
    const size_t cch = std::strlen(lpszScript);
    if (cch + sizeof ".jnl" > sizeof m_szPath) return FALSE;
    std::memcpy(m_szScript, lpszScript, cch + 1);
    std::memcpy(m_szPath, lpszScript, cch);
    std::memcpy(m_szPath + cch, ".jnl", sizeof ".jnl");
    m_szSetAside[0] = '\0';
    return TRUE;
}

DWORD CScriptJournal::Recover(CFile& script, const char* pText, DWORD cbText, BOOL bWritable, BOOL* pbRolledBack,
                              CFileException* pError) {
    *pbRolledBack = FALSE;
    m_szSetAside[0] = '\0';
    const DWORD dwAttributes = GetFileAttributesA(m_szPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
        Fill(pError, dwError, m_szPath);
        return dwError;
    }
    // A journal is only ever a file made new: whatever else has its name is
    // somebody else's.
    if (dwAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return ERROR_SUCCESS;
    CFile journal;
    if (!journal.Open(m_szPath, CFile::modeRead | CFile::shareExclusive, pError)) {
        if (pError->m_lOsError == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        return static_cast<DWORD>(pError->m_lOsError);
    }
    const DWORD cbJournal = journal.GetLength();
    CPageBuffer bytes;
    if (!bytes.Alloc(cbJournal)) {
        Fill(pError, ERROR_NOT_ENOUGH_MEMORY, m_szPath);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const UINT cbRead = journal.Read(bytes.Get(), cbJournal);
    journal.Close();
    Journal j = {};
    switch (ReadJournal(reinterpret_cast<const BYTE*>(bytes.Get()), cbRead, j)) {
    case NOT_OURS:
        return ERROR_SUCCESS;
    case CUT_SHORT:
        RemoveIfYouCan(m_szPath);
        return ERROR_SUCCESS;
    case DAMAGED:
        return SetAside(pError);
    case WHOLE:
        break;
    }
    switch (Judge(j, pText, cbText)) {
    case UNTOUCHED:
        RemoveIfYouCan(m_szPath);
        return ERROR_SUCCESS;
    case CHANGED_SINCE:
        return SetAside(pError);
    case PART_SAVED:
        break;
    }
    if (!bWritable) {
        Fill(pError, ERROR_ROLLBACK_WRITE_PROTECTED, m_szScript);
        return ERROR_ROLLBACK_WRITE_PROTECTED;
    }
    script.Seek(static_cast<LONG>(j.dwFrom), CFile::begin);
    script.Write(j.pOld, j.OldBytes());
    script.SetLength(j.dwOldLength);
    script.Flush();
    *pbRolledBack = TRUE;
    RemoveIfYouCan(m_szPath);  // what it holds, the script holds again
    return ERROR_SUCCESS;
}

DWORD CScriptJournal::SetAside(CFileException* pError) {
    const size_t cchPath = std::strlen(m_szPath);
    for (int n = 1; n <= kSetAsideNames; ++n) {
        std::memcpy(m_szSetAside, m_szPath, cchPath);
        std::memcpy(m_szSetAside + cchPath, kSetAsideSuffix, sizeof kSetAsideSuffix);
        if (n > 1) {
            char* p = m_szSetAside + cchPath + sizeof kSetAsideSuffix - 1;
            *p++ = '.';
            if (n >= 10) *p++ = static_cast<char>('0' + n / 10 % 10);
            *p++ = static_cast<char>('0' + n % 10);
            *p = '\0';
        }
        try {
            CFile::Rename(m_szPath, m_szSetAside);
            return ERROR_SUCCESS;
        } catch (CFileException* pRename) {
            const DWORD dwError = static_cast<DWORD>(pRename->m_lOsError);
            pRename->Delete();
            if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS) {
                m_szSetAside[0] = '\0';
                Fill(pError, dwError, m_szPath);
                return dwError;
            }
        }
    }
    m_szSetAside[0] = '\0';
    Fill(pError, ERROR_FILE_EXISTS, m_szPath);
    return ERROR_FILE_EXISTS;
}

void CScriptJournal::Land(CFile& script, const char* pOld, DWORD cbOld, const char* pNew, DWORD cbNew,
                          BOOL* pbIntact) {
    *pbIntact = TRUE;
    const DWORD cbShorter = std::min(cbOld, cbNew);
    const DWORD dwFrom = static_cast<DWORD>(SharedStart(pOld, pNew, cbShorter));
    if (dwFrom == cbShorter && cbOld == cbNew) return;
    const DWORD dwSuffix = static_cast<DWORD>(SharedEnd(pOld + cbOld, pNew + cbNew, cbShorter - dwFrom));
    if (m_bEnabled) WriteJournal(script, pOld, pNew, dwFrom, cbOld, cbNew, dwSuffix);

    const bool bInPlace = cbOld == cbNew;
    bool bReplaced = false;
    try {
        script.Seek(static_cast<LONG>(dwFrom), CFile::begin);
        script.Write(pNew + dwFrom, (bInPlace ? cbNew - dwSuffix : cbNew) - dwFrom);
        if (cbNew < cbOld) script.SetLength(cbNew);
        script.Flush();
        if (!script.IsNamed(m_szScript)) {
            // The journal concerns the file written, which is gone from the name.
            bReplaced = true;
            if (m_bEnabled) RemoveIfYouCan(m_szPath);
            CFileException::ThrowOsError(static_cast<LONG>(ERROR_SCRIPT_REPLACED), m_szScript);
        }
        if (m_bEnabled) CFile::Remove(m_szPath);
    } catch (CException*) {
        // Back to the old bytes; should that fail, the journal stays for the next Open.
        *pbIntact = !bReplaced;
        if (!bReplaced) {
            try {
                script.Seek(static_cast<LONG>(dwFrom), CFile::begin);
                script.Write(pOld + dwFrom, (bInPlace ? cbOld - dwSuffix : cbOld) - dwFrom);
                script.SetLength(cbOld);
                script.Flush();
            } catch (CException* pUndo) {
                pUndo->Delete();
                *pbIntact = FALSE;
            }
        }
        if (*pbIntact && m_bEnabled) RemoveIfYouCan(m_szPath);  // it holds the bytes the script holds again
        throw;
    }
}

void CScriptJournal::WriteJournal(CFile& script, const char* pOld, const char* pNew, DWORD dwFrom,
                                  DWORD dwOldLength, DWORD dwNewLength, DWORD dwSuffix) {
    Journal j = {dwFrom, dwOldLength, dwNewLength, dwSuffix, 0, 0, pOld + dwFrom, pNew + dwFrom};
    BYTE header[kHeaderBytes];
    std::memcpy(header, kMagic, sizeof kMagic);
    PutDword(header + 16, dwFrom);
    PutDword(header + 20, dwOldLength);
    PutDword(header + 24, dwNewLength);
    PutDword(header + 28, dwSuffix);
    PutQword(header + 32, PrefixCheck(pOld, dwFrom));
    PutQword(header + 40, SuffixCheck(pOld + dwOldLength, dwSuffix));
    PutQword(header + kCheckedHeaderBytes, JournalCheck(header, j.pOld, j.OldBytes(), j.pNew, j.NewBytes()));

    CFile journal;
    CFileException error;
    if (!journal.CreateNewLike(m_szPath, script, &error)) {
        DWORD dwError = static_cast<DWORD>(error.m_lOsError);
        if (dwError == ERROR_FILE_EXISTS || dwError == ERROR_ALREADY_EXISTS) dwError = WhatHoldsTheName(m_szPath);
        CFileException::ThrowOsError(static_cast<LONG>(dwError), m_szPath);
    }
    try {
        journal.Write(header, sizeof header);
        journal.Write(j.pOld, j.OldBytes());
        journal.Write(j.pNew, j.NewBytes());
        journal.Flush();
        journal.Close();
    } catch (CException*) {
        // The script is untouched; a journal cut short is dropped by the next Open anyway.
        journal.Abort();
        RemoveIfYouCan(m_szPath);
        throw;
    }
}
