// The behaviours of the real common controls that the dialogs rely on, as
// scenarios of operations and the notifications each one raises. Only Win32
// calls and CUser are used, so the same expectations hold on either backend.
#include <gtest/gtest.h>
#include "afx_scenario.h"

namespace {

const DWORD kTreeStyle = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;

AFX_SCENARIO_STEP Insert(LPCSTR text, LPCSTR parent = NULL) { return {SCN_TREE_INSERT, text, parent, 0}; }
AFX_SCENARIO_STEP Select(LPCSTR text) { return {SCN_TREE_SELECT, text, NULL, 0}; }
AFX_SCENARIO_STEP FirstVisible(LPCSTR text) { return {SCN_TREE_FIRSTVISIBLE, text, NULL, 0}; }
AFX_SCENARIO_STEP Delete(LPCSTR text) { return {SCN_TREE_DELETE, text, NULL, 0}; }
AFX_SCENARIO_STEP Expand(LPCSTR text, int code = TVE_EXPAND) { return {SCN_TREE_EXPAND, text, NULL, code}; }
AFX_SCENARIO_STEP Collapse(LPCSTR text) { return Expand(text, TVE_COLLAPSE); }
AFX_SCENARIO_STEP Focus() { return {SCN_TREE_FOCUS, NULL, NULL, 0}; }
AFX_SCENARIO_STEP Click(LPCSTR text) { return {SCN_TREE_CLICK, text, NULL, 0}; }
AFX_SCENARIO_STEP ClickButton(LPCSTR text) { return {SCN_TREE_CLICKBUTTON, text, NULL, 0}; }
AFX_SCENARIO_STEP Scroll(int lines) { return {SCN_TREE_SCROLL, NULL, NULL, lines}; }
AFX_SCENARIO_STEP TreeState() { return {SCN_TREE_STATE, NULL, NULL, 0}; }

std::vector<std::string> RunTree(int rows, const std::vector<AFX_SCENARIO_STEP>& steps) {
    AFX_SCENARIO scenario = {WC_TREEVIEWA, kTreeStyle, rows, steps.data(), (int)steps.size()};
    return AfxRunControlScenario(scenario);
}

std::vector<std::string> RunControl(LPCSTR cls, DWORD style, const std::vector<AFX_SCENARIO_STEP>& steps) {
    AFX_SCENARIO scenario = {cls, style, 0, steps.data(), (int)steps.size()};
    return AfxRunControlScenario(scenario);
}

typedef std::vector<std::string> Log;

TEST(TreeSelection, FromCodeNotifiesOnlyRealMovesAndExpandsTheParentBetween) {
    Log log = RunTree(5, {Insert("Root"), Insert("A", "Root"), Insert("B", "Root"), TreeState(), Select("A"),
                          Select("A"), Select("B"), Select(NULL), TreeState()});
    EXPECT_EQ(log, (Log{
                       "> insert Root under - = 1",
                       "> insert A under Root = 1",
                       "> insert B under Root = 1",
                       "> state caret=- first=Root shown=[Root] order=[Root]",
                       "> select A = 1",
                       "TVN_SELCHANGING action=0 old=- new=A",
                       "TVN_ITEMEXPANDING action=2 item=Root",
                       "TVN_ITEMEXPANDED action=2 item=Root",
                       "TVN_SELCHANGED action=0 old=- new=A",
                       "> select A = 1",
                       "> select B = 1",
                       "TVN_SELCHANGING action=0 old=A new=B",
                       "TVN_SELCHANGED action=0 old=A new=B",
                       "> select - = 1",
                       "TVN_SELCHANGING action=0 old=B new=-",
                       "TVN_SELCHANGED action=0 old=B new=-",
                       "> state caret=- first=Root shown=[Root,A,B] order=[Root,A,B]",
                   }));
}

TEST(TreeFirstVisible, ScrollsClampedAndExpandsButNeverSelects) {
    Log log = RunTree(3, {Insert("Root"), Insert("Dev", "Root"), Insert("T0", "Dev"), Insert("T1", "Dev"),
                          Insert("T2", "Dev"), Insert("T3", "Dev"), Insert("T4", "Dev"), FirstVisible("T0"),
                          TreeState(), FirstVisible("T4"), TreeState(), FirstVisible("Root"), TreeState(),
                          Select("T3"), TreeState(), FirstVisible("T3"), TreeState(), FirstVisible("T0"), TreeState()});
    Log expected = {
        "> insert Root under - = 1", "> insert Dev under Root = 1", "> insert T0 under Dev = 1",
        "> insert T1 under Dev = 1", "> insert T2 under Dev = 1", "> insert T3 under Dev = 1",
        "> insert T4 under Dev = 1",
        // Collapsed ancestors open, nearest first.
        "> firstvisible T0 = 1",
        "TVN_ITEMEXPANDING action=2 item=Dev",
        "TVN_ITEMEXPANDED action=2 item=Dev",
        "TVN_ITEMEXPANDING action=2 item=Root",
        "TVN_ITEMEXPANDED action=2 item=Root",
        "> state caret=- first=T0 shown=[T0,T1,T2] order=[Root,Dev,T0,T1,T2,T3,T4]",
        // No gap at the bottom: T4 cannot be the top row of three.
        "> firstvisible T4 = 1",
        "> state caret=- first=T2 shown=[T2,T3,T4] order=[Root,Dev,T0,T1,T2,T3,T4]",
        "> firstvisible Root = 1",
        "> state caret=- first=Root shown=[Root,Dev,T0] order=[Root,Dev,T0,T1,T2,T3,T4]",
        // Selecting scrolls just far enough.
        "> select T3 = 1",
        "TVN_SELCHANGING action=0 old=- new=T3",
        "TVN_SELCHANGED action=0 old=- new=T3",
        "> state caret=T3 first=T1 shown=[T1,T2,T3] order=[Root,Dev,T0,T1,T2,T3,T4]",
        // The selected item itself is taken as already done, whatever the flag.
        "> firstvisible T3 = 1",
        "> state caret=T3 first=T1 shown=[T1,T2,T3] order=[Root,Dev,T0,T1,T2,T3,T4]",
        "> firstvisible T0 = 1",
        "> state caret=T3 first=T0 shown=[T0,T1,T2] order=[Root,Dev,T0,T1,T2,T3,T4]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreeDeletion, SelectionMovesToNextSiblingElseParentElsePreviousSibling) {
    Log log = RunTree(5, {Insert("Root"), Insert("A", "Root"), Insert("B", "Root"), Insert("C", "Root"), Insert("X"),
                          Expand("Root"), Select("B"), Delete("B"), Delete("C"), Select("X"), Delete("X"),
                          Select("A"), Delete("Root"), TreeState(), Insert("Z"), Select("Z"), Delete("Z"), TreeState()});
    Log expected = {
        "> insert Root under - = 1", "> insert A under Root = 1", "> insert B under Root = 1",
        "> insert C under Root = 1", "> insert X under - = 1",
        // The first expansion from code is notified.
        "> expand Root = 1",
        "TVN_ITEMEXPANDING action=2 item=Root",
        "TVN_ITEMEXPANDED action=2 item=Root",
        "> select B = 1",
        "TVN_SELCHANGING action=0 old=- new=B",
        "TVN_SELCHANGED action=0 old=- new=B",
        "> delete B = 1",
        "TVN_DELETEITEM item=B",
        "TVN_SELCHANGING action=0 old=- new=C",
        "TVN_SELCHANGED action=0 old=- new=C",
        "> delete C = 1",
        "TVN_DELETEITEM item=C",
        "TVN_SELCHANGING action=0 old=- new=Root",
        "TVN_SELCHANGED action=0 old=- new=Root",
        "> select X = 1",
        "TVN_SELCHANGING action=0 old=Root new=X",
        "TVN_SELCHANGED action=0 old=Root new=X",
        "> delete X = 1",
        "TVN_DELETEITEM item=X",
        "TVN_SELCHANGING action=0 old=- new=Root",
        "TVN_SELCHANGED action=0 old=- new=Root",
        "> select A = 1",
        "TVN_SELCHANGING action=0 old=Root new=A",
        "TVN_SELCHANGED action=0 old=Root new=A",
        // Deleting the selection's ancestor, with nothing left to select.
        "> delete Root = 1",
        "TVN_DELETEITEM item=A",
        "TVN_DELETEITEM item=Root",
        "> state caret=- first=- shown=[] order=[]",
        "> insert Z under - = 1",
        "> select Z = 1",
        "TVN_SELCHANGING action=0 old=- new=Z",
        "TVN_SELCHANGED action=0 old=- new=Z",
        "> delete Z = 1",
        "TVN_DELETEITEM item=Z",
        "> state caret=- first=- shown=[] order=[]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreeCollapse, MovesTheSelectionSilentlyAndOnlyAPersonsToggleNotifiesAgain) {
    Log log = RunTree(5, {Insert("Root"), Insert("Dev", "Root"), Insert("T0", "Dev"), Insert("T1", "Dev"),
                          Expand("Root"), Expand("Dev"), Select("T1"), Collapse("Dev"), TreeState(), Expand("Dev"),
                          TreeState(), Collapse("Root"), TreeState(), ClickButton("Root"), ClickButton("Root"),
                          TreeState()});
    Log expected = {
        "> insert Root under - = 1", "> insert Dev under Root = 1", "> insert T0 under Dev = 1",
        "> insert T1 under Dev = 1",
        "> expand Root = 1",
        "TVN_ITEMEXPANDING action=2 item=Root",
        "TVN_ITEMEXPANDED action=2 item=Root",
        "> expand Dev = 1",
        "TVN_ITEMEXPANDING action=2 item=Dev",
        "TVN_ITEMEXPANDED action=2 item=Dev",
        "> select T1 = 1",
        "TVN_SELCHANGING action=0 old=- new=T1",
        "TVN_SELCHANGED action=0 old=- new=T1",
        "> collapse Dev = 1",
        "> state caret=Dev first=Root shown=[Root,Dev] order=[Root,Dev]",
        "> expand Dev = 1",
        "> state caret=Dev first=Root shown=[Root,Dev,T0,T1] order=[Root,Dev,T0,T1]",
        "> collapse Root = 1",
        "> state caret=Root first=Root shown=[Root] order=[Root]",
        "> clickbutton Root = 1",
        "NM_CLICK",
        "TVN_ITEMEXPANDING action=2 item=Root",
        "TVN_ITEMEXPANDED action=2 item=Root",
        "NM_SETFOCUS",
        "> clickbutton Root = 1",
        "NM_CLICK",
        "TVN_ITEMEXPANDING action=1 item=Root",
        "TVN_ITEMEXPANDED action=1 item=Root",
        "> state caret=Root first=Root shown=[Root] order=[Root]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreeVisibleOrder, VisitsOnlyItemsUnderExpandedAncestorsAndInsertingNeverExpands) {
    Log log = RunTree(5, {Insert("Root"), Insert("A", "Root"), Insert("A1", "A"), Insert("B", "Root"), TreeState(),
                          Expand("Root"), TreeState(), Insert("A2", "A"), TreeState(), Expand("A"), TreeState(),
                          Insert("A3", "A"), TreeState()});
    Log expected = {
        "> insert Root under - = 1", "> insert A under Root = 1", "> insert A1 under A = 1",
        "> insert B under Root = 1",
        "> state caret=- first=Root shown=[Root] order=[Root]",
        "> expand Root = 1",
        "TVN_ITEMEXPANDING action=2 item=Root",
        "TVN_ITEMEXPANDED action=2 item=Root",
        "> state caret=- first=Root shown=[Root,A,B] order=[Root,A,B]",
        "> insert A2 under A = 1",
        "> state caret=- first=Root shown=[Root,A,B] order=[Root,A,B]",
        "> expand A = 1",
        "TVN_ITEMEXPANDING action=2 item=A",
        "TVN_ITEMEXPANDED action=2 item=A",
        "> state caret=- first=Root shown=[Root,A,A1,A2,B] order=[Root,A,A1,A2,B]",
        "> insert A3 under A = 1",
        "> state caret=- first=Root shown=[Root,A,A1,A2,A3] order=[Root,A,A1,A2,A3,B]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreeFocus, SelectsTheFirstVisibleItemWhenNothingIsSelected) {
    Log empty = RunTree(2, {Focus(), TreeState()});
    EXPECT_EQ(empty, (Log{"> focus", "NM_SETFOCUS", "> state caret=- first=- shown=[] order=[]"}));

    Log log = RunTree(2, {Insert("R1"), Insert("R2"), Insert("R3"), Insert("R4"), FirstVisible("R3"), TreeState(),
                          Focus(), TreeState()});
    Log expected = {
        "> insert R1 under - = 1", "> insert R2 under - = 1", "> insert R3 under - = 1", "> insert R4 under - = 1",
        "> firstvisible R3 = 1",
        "> state caret=- first=R3 shown=[R3,R4] order=[R1,R2,R3,R4]",
        "> focus",
        "TVN_SELCHANGING action=0 old=- new=R3",
        "TVN_SELCHANGED action=0 old=- new=R3",
        "NM_SETFOCUS",
        "> state caret=R3 first=R3 shown=[R3,R4] order=[R1,R2,R3,R4]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreePerson, ClicksOnlyWhatIsShownAndScrollsWithinTheItems) {
    Log log = RunTree(3, {Insert("R1"), Insert("R2"), Insert("R3"), Insert("R4"), Insert("R5"), Insert("R6"),
                          Click("R5"), Click("R2"), Click("R2"), Scroll(2), TreeState(), Scroll(5), TreeState(),
                          Click("R5"), Scroll(-10), TreeState()});
    Log expected = {
        "> insert R1 under - = 1", "> insert R2 under - = 1", "> insert R3 under - = 1",
        "> insert R4 under - = 1", "> insert R5 under - = 1", "> insert R6 under - = 1",
        "> click R5 = 0",
        "> click R2 = 1",
        "NM_CLICK",
        "TVN_SELCHANGING action=1 old=- new=R2",
        "TVN_SELCHANGED action=1 old=- new=R2",
        "NM_SETFOCUS",
        "> click R2 = 1",
        "NM_CLICK",
        "> scroll 2 = 1",
        "> state caret=R2 first=R3 shown=[R3,R4,R5] order=[R1,R2,R3,R4,R5,R6]",
        "> scroll 5 = 1",
        "> state caret=R2 first=R4 shown=[R4,R5,R6] order=[R1,R2,R3,R4,R5,R6]",
        "> click R5 = 1",
        "NM_CLICK",
        "TVN_SELCHANGING action=1 old=R2 new=R5",
        "TVN_SELCHANGED action=1 old=R2 new=R5",
        "> scroll -10 = 1",
        "> state caret=R5 first=R1 shown=[R1,R2,R3] order=[R1,R2,R3,R4,R5,R6]",
    };
    EXPECT_EQ(log, expected);
}

TEST(TreeRows, DeletionsExpansionsAndResetsFollowTheControlsOwnArithmetic) {
    Log deleting = RunTree(3, {Insert("R1"), Insert("R2"), Insert("R3"), Insert("R4"), Insert("R5"), Insert("R6"),
                               FirstVisible("R6"), Delete("R1"), TreeState(), Delete("R6"), TreeState(), Delete("R4"),
                               TreeState(), Scroll(1), TreeState()});
    Log expected = {
        "> insert R1 under - = 1", "> insert R2 under - = 1", "> insert R3 under - = 1",
        "> insert R4 under - = 1", "> insert R5 under - = 1", "> insert R6 under - = 1",
        "> firstvisible R6 = 1",
        "> delete R1 = 1",
        "TVN_DELETEITEM item=R1",
        "> state caret=- first=R4 shown=[R4,R5,R6] order=[R2,R3,R4,R5,R6]",
        // The clamp uses the rows as they were, so the last deletion leaves a gap.
        "> delete R6 = 1",
        "TVN_DELETEITEM item=R6",
        "> state caret=- first=R4 shown=[R4,R5] order=[R2,R3,R4,R5]",
        "> delete R4 = 1",
        "TVN_DELETEITEM item=R4",
        "> state caret=- first=R2 shown=[R2,R3,R5] order=[R2,R3,R5]",
        "> scroll 1 = 1",  // everything shows: no scroll bar
        "> state caret=- first=R2 shown=[R2,R3,R5] order=[R2,R3,R5]",
    };
    EXPECT_EQ(deleting, expected);

    Log expanding = RunTree(3, {Insert("A"), Insert("B"), Insert("C"), Insert("C1", "C"), Insert("C2", "C"),
                                Insert("C3", "C"), Expand("C"), TreeState(), Collapse("C"), TreeState(), Select("C3"),
                                TreeState(), ClickButton("C"), Expand("C", TVE_TOGGLE), TreeState(),
                                Expand("C", TVE_COLLAPSE | TVE_COLLAPSERESET), TreeState()});
    expected = {
        "> insert A under - = 1", "> insert B under - = 1", "> insert C under - = 1",
        "> insert C1 under C = 1", "> insert C2 under C = 1", "> insert C3 under C = 1",
        // Expanding scrolls up so that as many children as can be show.
        "> expand C = 1",
        "TVN_ITEMEXPANDING action=2 item=C",
        "TVN_ITEMEXPANDED action=2 item=C",
        "> state caret=- first=C shown=[C,C1,C2] order=[A,B,C,C1,C2,C3]",
        "> collapse C = 1",
        "> state caret=- first=A shown=[A,B,C] order=[A,B,C]",
        "> select C3 = 1",
        "TVN_SELCHANGING action=0 old=- new=C3",
        "TVN_ITEMEXPANDING action=2 item=C",
        "TVN_ITEMEXPANDED action=2 item=C",
        "TVN_SELCHANGED action=0 old=- new=C3",
        "> state caret=C3 first=C1 shown=[C1,C2,C3] order=[A,B,C,C1,C2,C3]",
        "> clickbutton C = 0",  // scrolled out of view
        "> toggle C = 1",
        "> state caret=C first=A shown=[A,B,C] order=[A,B,C]",
        // Already collapsed: 0, and the children go all the same.
        "> collapsereset C = 0",
        "TVN_DELETEITEM item=C1",
        "TVN_DELETEITEM item=C2",
        "TVN_DELETEITEM item=C3",
        "> state caret=C first=A shown=[A,B,C] order=[A,B,C]",
    };
    EXPECT_EQ(expanding, expected);
}

TEST(ComboBox, MessagesNeverNotifyAndAnIndexOutOfRangeKeepsTheSelection) {
    AFX_SCENARIO_STEP steps[] = {
        {SCN_COMBO_ADD, "a", NULL, 0},       {SCN_COMBO_ADD, "b", NULL, 0},       {SCN_COMBO_ADD, "c", NULL, 0},
        {SCN_COMBO_STATE, NULL, NULL, 0},    {SCN_COMBO_SETCURSEL, NULL, NULL, 1}, {SCN_COMBO_STATE, NULL, NULL, 0},
        {SCN_COMBO_SETCURSEL, NULL, NULL, 5}, {SCN_COMBO_STATE, NULL, NULL, 0},   {SCN_COMBO_SETCURSEL, NULL, NULL, -1},
        {SCN_COMBO_STATE, NULL, NULL, 0},    {SCN_COMBO_CHOOSE, NULL, NULL, 2},   {SCN_COMBO_STATE, NULL, NULL, 0},
        {SCN_COMBO_CHOOSE, NULL, NULL, 2},   {SCN_COMBO_CHOOSE, NULL, NULL, 7},
    };
    Log log = RunControl(WC_COMBOBOXA, CBS_DROPDOWNLIST | WS_VSCROLL, std::vector<AFX_SCENARIO_STEP>(std::begin(steps), std::end(steps)));
    Log expected = {
        "> add a = 0", "> add b = 1", "> add c = 2",
        "> state cursel=-1",
        "> setcursel 1 = 1", "> state cursel=1",
        "> setcursel 5 = -1", "> state cursel=1",
        "> setcursel -1 = -1", "> state cursel=-1",
        "> choose 2 = 1",
        "WM_COMMAND CBN_SETFOCUS",
        "WM_COMMAND CBN_DROPDOWN",
        "WM_COMMAND CBN_SELENDOK",
        "WM_COMMAND CBN_CLOSEUP",
        "WM_COMMAND CBN_SELCHANGE",
        "> state cursel=2",
        "> choose 2 = 1",
        "WM_COMMAND CBN_DROPDOWN",
        "WM_COMMAND CBN_SELENDOK",
        "WM_COMMAND CBN_CLOSEUP",
        "WM_COMMAND CBN_SELCHANGE",
        "> choose 7 = 0",
    };
    EXPECT_EQ(log, expected);
}

TEST(TabControl, FirstItemIsSelectedSilentlyAndOnlyAClickNotifies) {
    AFX_SCENARIO_STEP steps[] = {
        {SCN_TAB_STATE, NULL, NULL, 0},      {SCN_TAB_INSERT, "Device", NULL, 0}, {SCN_TAB_STATE, NULL, NULL, 0},
        {SCN_TAB_INSERT, "AO", NULL, 1},     {SCN_TAB_STATE, NULL, NULL, 0},      {SCN_TAB_SETCURSEL, NULL, NULL, 1},
        {SCN_TAB_STATE, NULL, NULL, 0},      {SCN_TAB_SETCURSEL, NULL, NULL, 5},  {SCN_TAB_STATE, NULL, NULL, 0},
        {SCN_TAB_CLICK, NULL, NULL, 0},      {SCN_TAB_CLICK, NULL, NULL, 0},      {SCN_TAB_INSERT, "First", NULL, 0},
        {SCN_TAB_STATE, NULL, NULL, 0},      {SCN_TAB_SETCURSEL, NULL, NULL, -1}, {SCN_TAB_STATE, NULL, NULL, 0},
    };
    Log log = RunControl(WC_TABCONTROLA, 0, std::vector<AFX_SCENARIO_STEP>(std::begin(steps), std::end(steps)));
    Log expected = {
        "> state cursel=-1",
        "> insert Device at 0 = 0", "> state cursel=0",
        "> insert AO at 1 = 1", "> state cursel=0",
        "> setcursel 1 = 0", "> state cursel=1",
        "> setcursel 5 = -1", "> state cursel=1",
        "> click 0 = 1",
        "TCN_SELCHANGING",
        "TCN_SELCHANGE",
        "NM_CLICK",
        "> click 0 = 1",
        "NM_CLICK",
        // Inserting before the selected item moves the selection with it.
        "> insert First at 0 = 0", "> state cursel=1",
        "> setcursel -1 = 1", "> state cursel=-1",
    };
    EXPECT_EQ(log, expected);
}

}  // namespace
