#pragma once
// The rollback journal that lands a change of a registry script all at once,
// beside the script (its path and ".jnl"). Its format, the states a save goes
// through and what an Open makes of a journal it finds are written once, at
// the top of journal.cpp.
#include <afx.h>

// A 64-bit hash, eight bytes at a step: the journal's checks and the script's
// fingerprint. It guards against accidents, not against an adversary.
ULONGLONG ScriptHash(const void* pData, size_t cb, ULONGLONG qwSeed);

class CScriptJournal {
public:
    CScriptJournal();

    // The journal of the script at lpszScript; FALSE when its path would not fit.
    BOOL SetScript(LPCSTR lpszScript);
    LPCSTR Path() const { return m_szPath; }
    LPCSTR ScriptPath() const { return m_szScript; }
    // Where the last Recover moved a journal that no longer fits the script,
    // or "" when it moved none.
    LPCSTR SetAsidePath() const { return m_szSetAside; }
    // Off, Land writes no journal: see the top of journal.cpp.
    void SetEnabled(BOOL bEnabled) { m_bEnabled = bEnabled; }

    // At Open, with the script held exclusively and its bytes read: whatever
    // journal lies beside it is settled, so that no save is half done.
    // ERROR_SUCCESS, *pbRolledBack telling whether the script's bytes changed
    // (its old ones put back), or the error that keeps the script from being
    // trusted, with pError naming the file it concerns.
    DWORD Recover(CFile& script, const char* pText, DWORD cbText, BOOL bWritable, BOOL* pbRolledBack,
                  CFileException* pError);

    // Lands the change of the script's bytes from pOld to pNew. A failure is
    // thrown as CFileException*; *pbIntact then tells whether the script
    // holds its old bytes again (FALSE when even they could not be put back,
    // the journal then staying for the next Open, or when another program
    // has put a file of its own at the script's name).
    void Land(CFile& script, const char* pOld, DWORD cbOld, const char* pNew, DWORD cbNew, BOOL* pbIntact);

    // Errors of the journal's own, marked as applications mark theirs.
    enum : DWORD {
        // Another program gave the script's name to a file of its own while
        // a save ran: the save went into the file it replaced.
        ERROR_SCRIPT_REPLACED = 0x20000010,
        // A save was cut short, and its journal cannot be put back while the
        // script is write-protected.
        ERROR_ROLLBACK_WRITE_PROTECTED = 0x20000011,
    };

private:
    void WriteJournal(CFile& script, const char* pOld, const char* pNew, DWORD dwFrom, DWORD dwOldLength,
                      DWORD dwNewLength, DWORD dwSuffix);
    DWORD SetAside(CFileException* pError);

    char m_szScript[MAX_PATH];
    char m_szPath[MAX_PATH];
    char m_szSetAside[MAX_PATH + sizeof ".not-applied.99"];
    BOOL m_bEnabled;
};
