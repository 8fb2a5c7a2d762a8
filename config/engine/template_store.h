#pragma once
// The template store: the board's 16 setting templates while a person edits
// them, the operations that list, load, add, remove and save them, the edits
// the pages offer with their refusals, and the session with the registry
// script: one read at the start, one transaction a save, and no save over
// what another program wrote meanwhile. It knows no control. The main dialog
// is its view (its tree lists the listed templates, its pages show the
// selected one's entry); pci6406cfg drives it directly.
#include <afx.h>
#include <afxstr.h>

#include "ao_setting.h"
#include "registry_layout.h"

class CRegScript;

struct TemplateEntry {
    DWORD SwitchID;
    AoChannelSetting Channels[AO_CHANNEL_COUNT];
};

// Unsaved edits, library-wide: every edit sets it, a save clears it. The
// dialog's Save button goes with it.
extern bool g_bModified;

// The refusals the person is shown, and the first lines of the script's
// failures (CTemplateStore::ScriptErrorText).
extern const char kTooManyTemplates[];  // "Support up to 16 Templates"
extern const char kSwitchIDUsed[];      // "SwitchID already used!"
extern const char kCannotRead[];        // the start could not read the script
extern const char kLeftOut[];           // what became of what could not be read
extern const char kCannotSave[];

// Entry n as a template the script lacks holds it: SwitchID n, every channel
// -10..10 V without a current range.
void SetDefaultTemplate(TemplateEntry& entry, int nIndex);

// Bit n of a template or SwitchID mask; 0 for a number outside 0..15, which
// no mask has room for.
WORD TemplateBit(DWORD n);

// The number of a template's name ("Template0" .. "Template15"), or -1.
int TemplateNumberOf(LPCSTR lpszItemText);

// The lowest template number whose bit wUsed lacks; TEMPLATE_COUNT when every
// number is used.
int LowestFreeTemplateNumber(WORD wUsed);

// Gives entry n the lowest SwitchID 0..15 that no entry of the table holds,
// listed or not, and marks it in wUsedSwitchIDs: TRUE. When every number is
// held (a table still at its defaults holds each once), entry n keeps the one
// it holds, which is then in use: FALSE.
BOOL ChooseFreeSwitchID(TemplateEntry (&templates)[TEMPLATE_COUNT], int nIndex, WORD& wUsedSwitchIDs);

// Template n from the script: FALSE, with the entry at its defaults, when the
// script holds no dword "SwitchID" for it. A channel whose text is missing,
// not a string or longer than 255 characters keeps its default, and so do the
// numbers a text lacks.
BOOL LoadTemplateEntry(CRegScript& script, int nIndex, TemplateEntry& entry);

// Entry n into the script: its section appended when missing, then
// "SwitchID" and the four channel texts. FALSE when the document could take
// no more (it writes nothing when out of memory); what came before stays in
// the document.
BOOL SaveTemplateEntry(CRegScript& script, int nIndex, const TemplateEntry& entry);

// A script that is not there yet (its file or folder missing) holds no
// templates; any other failure to open it means they could not be read.
BOOL IsScriptMissing(DWORD dwError);

// Why the script could not be opened, read or written, in words for a
// message; NULL for an error without words here.
LPCSTR DescribeScriptError(DWORD dwError);

// ---- The output ranges a channel is given ---------------------------------
// Two lists per channel: the voltage ranges, and the current ranges with a
// blank item for none. Choosing an item gives the channel the range it stands
// for; the result is the item of the channel's other list that goes with it,
// or -1 when that list stays as it is. Both FALSE/-1 for an item outside
// the list.
enum { VOLTAGE_RANGE_ITEMS = 4, CURRENT_RANGE_ITEMS = 3 };
extern const char* const kVoltageRangeItems[VOLTAGE_RANGE_ITEMS];
extern const char* const kCurrentRangeItems[CURRENT_RANGE_ITEMS];
int ApplyVoltageRange(int nItem, AoChannelSetting& channel);
int ApplyCurrentRange(int nItem, AoChannelSetting& channel);
// The items that show the channel's range; FALSE when the lists offer no such
// range.
BOOL ShownRangeItems(const AoChannelSetting& channel, int& nVoltageItem, int& nCurrentItem);

class CTemplateStore {
public:
    enum { MAX_SCRIPT_PATH = 255 };  // characters, without the terminator

    CTemplateStore();

    // m_szScriptPath = root + "Public\Quorvex\Device_Drivers\" + DEV + "\" +
    // DEV + ".reg", DEV the first seven characters of the device name, all
    // copied verbatim (NULL reads as ""). FALSE, with the path left empty,
    // when that would exceed MAX_SCRIPT_PATH characters.
    BOOL SetScriptPath(LPCSTR lpszRoot, LPCSTR lpszDevice);
    // Why DriverConfig's root and device name name no script, as a message:
    // a device name that is not a three-letter bus and a four-character
    // model, or a path too long; "" when they name one.
    static CString ScriptPathProblem(LPCSTR lpszRoot, LPCSTR lpszDevice);

    // ---- The operations -----------------------------------------------------
    // The start: every entry loaded and the script's templates listed in
    // ascending order, from one reading of the script. What could not be read
    // is not listed (m_wUnreadTemplates; m_dwScriptError says why).
    BOOL LoadTemplateList();
    BOOL LoadTemplate(CRegScript& script, TemplateEntry& entry, int nIndex);
    BOOL SaveTemplate(CRegScript& script, const TemplateEntry& entry, int nIndex);
    BOOL FindFreeTemplateIndex(int& nIndex);
    BOOL AssignFreeSwitchID(int nIndex);
    // An edit even when refused: the number listed last, or -1 when every
    // number is listed (kTooManyTemplates).
    int AddTemplate();
    // Makes template n the selected one, whose entry the pages edit.
    void SelectTemplate(int nIndex);
    // Template n, when listed, leaves the list and is cut out at the next
    // save. An edit even when n is no listed template.
    void RemoveTemplate(int nIndex);
    BOOL DeleteTemplateFromScript(CRegScript& script, int nIndex);
    // FALSE when the script could not be brought in line (m_dwScriptError
    // says why): the script is as it was, and the edits, the pending
    // removals and g_bModified are kept for another try. A script that
    // another program changed since it was read is not written at all.
    BOOL SaveAllTemplates();

    // ---- The selected template's edits ---------------------------------------
    TemplateEntry& CurrentTemplate() { return m_templates[m_nCurTemplate]; }
    // FALSE when another template holds the SwitchID (kSwitchIDUsed): the
    // entry keeps its own. Choosing the number it holds is an edit too.
    BOOL ChooseSwitchID(DWORD dwSwitchID);
    // Channel nChannel of the selected template gets the item's range; the
    // item of the other list that goes with it, or -1. An edit unless bQuiet.
    int ChooseVoltageRange(int nChannel, int nItem, BOOL bQuiet = FALSE);
    int ChooseCurrentRange(int nChannel, int nItem, BOOL bQuiet = FALSE);
    void SetModified();

    // ---- The list --------------------------------------------------------------
    // The listed templates in the order a save writes them: ascending as
    // listed at the start, then the added ones in the order of adding.
    int ListedCount() const { return m_nListed; }
    int ListedAt(int i) const { return m_anListed[i]; }
    BOOL IsListed(int nIndex) const;

    // ---- What the person is told -------------------------------------------------
    // The script's failure as a message: what failed, the script's path, the
    // reason, what became of the script; one line each.
    CString ScriptErrorText(LPCSTR lpszWhat, LPCSTR lpszOutcome) const;
    // A journal that an open of the script set aside, as a message, once; ""
    // when there is none to tell.
    CString TakeSetAsideNotice();

    TemplateEntry m_templates[TEMPLATE_COUNT];
    int m_nCurTemplate;
    WORD m_wPendingRemoval;
    WORD m_wUsedSwitchIDs;
    char m_szScriptPath[MAX_SCRIPT_PATH + 1];
    // Template numbers the script may hold but that could not be read: they
    // are not listed, written, cut or reused, so the script keeps them as
    // they are.
    WORD m_wUnreadTemplates;
    // Listed templates the script holds without a "SwitchID": shown at their
    // defaults, so a save leaves their lines as they are until the person
    // edits them or adds them again.
    WORD m_wUnloadedTemplates;
    // The operating system's error of the last script operation that failed,
    // or SCRIPT_CHANGED_ELSEWHERE; the file it concerned when not the script.
    DWORD m_dwScriptError;
    CString m_strErrorFile;

    // An application's own error code, as Win32 marks them.
    static const DWORD SCRIPT_CHANGED_ELSEWHERE = 0x20000001;

private:
    // FALSE, with m_dwScriptError set, when the script cannot be opened.
    BOOL OpenScript(CRegScript& script);
    BOOL OpenScriptToRead(CRegScript& script, WORD wUnread);
    void NoteFileError(CException* pError);
    void NoteTemplateEdited();
    int ChooseRange(int (*pfnApply)(int, AoChannelSetting&), int nItems, int nChannel, int nItem, BOOL bQuiet);

    int m_anListed[TEMPLATE_COUNT];
    int m_nListed;
    // The script as it was read: a save writes over nothing else. 0 for a
    // script that was not there; m_bScriptRead once it was looked at.
    ULONGLONG m_qwScriptFingerprint;
    BOOL m_bScriptRead;
    // A journal that an open of the script set aside, not yet told.
    CString m_strSetAsideJournal;
};
