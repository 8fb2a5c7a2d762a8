// The tree-view control, in the real one's order of notifications and steps, each feature
// for a dialog behaviour:
// - selecting from code notifies when the selection moves: the pages follow Add's selection.
// - deleting the selected item selects a neighbour, notified: the pages follow Remove.
// - visible order and first visible item, clamped at the bottom: the templates scroll to the top.
// - the focus selecting the first visible item: the dialog opens on "DeviceTemplate".
// - expanding, collapsing and the scroll bar's lines: a folded or scrolled tree loses no template.
// - a click on a label selects it: how a person picks a template.
// - keys announced with TVN_KEYDOWN: F1 in the tree opens the About box.
// - items deleted after the dialog's WM_DESTROY: the dialog saves from the tree there.
#include <algorithm>
#include <cstring>
#include <set>
#include "hl_window.h"

namespace hl {
namespace {

const int kIndent = 19;              // the control's minimum indent
const int kCharWidth = 6;            // an average character of 8-point MS Sans Serif
const int kNaturalItemHeight = 16;   // its 13-pixel height plus 3, rounded down to even

struct Item {
    Item* parent = NULL;
    Item* firstChild = NULL;
    Item* lastChild = NULL;
    Item* prev = NULL;
    Item* next = NULL;
    std::string text;
    UINT state = 0;
    int cChildren = 0;
    int level = 0;
    int order = -1;  // row in the visible order; -1 under a collapsed ancestor
};

struct Tree {
    explicit Tree(HWND hWnd) : hwnd(hWnd) {
        root.state = TVIS_EXPANDED;
        root.level = -1;
    }
    HWND hwnd;
    Item root;
    std::set<Item*> items;
    Item* selected = NULL;
    Item* firstVisible = NULL;
    int maxOrder = 0;
    int itemHeight = kNaturalItemHeight;
    int clientWidth = 0;
    int clientHeight = 0;

    ~Tree() {
        for (Item* item : items) delete item;
    }
};

Item* ToItem(HTREEITEM hItem) { return reinterpret_cast<Item*>(hItem); }
HTREEITEM ToHandle(Item* item) { return reinterpret_cast<HTREEITEM>(item); }
bool Valid(const Tree& tree, const Item* item) { return item != NULL && tree.items.count(const_cast<Item*>(item)) != 0; }
bool Shown(const Item* item) { return item->order >= 0; }
bool HasChildren(const Item* item) { return item->cChildren != 0; }
DWORD Style(const Tree& tree) { return (DWORD)GetWindowLongPtrA(tree.hwnd, GWL_STYLE); }

bool IsDescendant(const Item* ancestor, const Item* item) {
    for (item = item->parent; item != NULL; item = item->parent) {
        if (item == ancestor) return true;
    }
    return false;
}

// ---- Visible order -----------------------------------------------------

Item* NextListItem(const Item* item) {
    if ((item->state & TVIS_EXPANDED) && item->firstChild != NULL) return item->firstChild;
    for (; item != NULL; item = item->parent) {
        if (item->next != NULL) return item->next;
    }
    return NULL;
}

Item* LastListItem(Tree& tree, Item* item) {
    while (item->lastChild != NULL && (item->state & TVIS_EXPANDED)) item = item->lastChild;
    return item == &tree.root ? NULL : item;
}

Item* PrevListItem(Tree& tree, const Item* item) {
    if (item->prev != NULL) {
        Item* up = item->prev;
        return (up->state & TVIS_EXPANDED) && up->lastChild != NULL ? LastListItem(tree, up->lastChild) : up;
    }
    return item->parent != &tree.root ? item->parent : NULL;
}

// count items on (back when negative), stopping at the first or last one.
Item* ListItem(Tree& tree, Item* item, int count) {
    Item* previous = item;
    for (; count != 0 && item != NULL; count += count > 0 ? -1 : 1) {
        previous = item;
        item = count > 0 ? NextListItem(item) : PrevListItem(tree, item);
    }
    return item != NULL ? item : previous;
}

// Only items whose ancestors are all expanded take a row.
void RecalcOrder(Tree& tree) {
    for (Item* item : tree.items) item->order = -1;
    int order = 0;
    for (Item* item = tree.root.firstChild; item != NULL; item = NextListItem(item)) item->order = order++;
    tree.maxOrder = order;
}

int VisibleCount(const Tree& tree) { return tree.itemHeight > 0 ? tree.clientHeight / tree.itemHeight : 0; }

// The first visible item never leaves a gap at the bottom: it moves up
// until the last row is filled, or to the first item.
void SetFirstVisible(Tree& tree, Item* first) {
    if (first != NULL) {
        int gap = VisibleCount(tree) - tree.maxOrder + first->order;
        if (gap > 0) {
            first = ListItem(tree, first, -gap);
            if (first == NULL) first = tree.root.firstChild;
        }
    }
    tree.firstVisible = first;
}

// ---- Notifications -----------------------------------------------------

// The items by handle and state; the dialogs read nothing else of them.
void Describe(TVITEMA& target, Item* item) {
    target.mask = TVIF_HANDLE | TVIF_STATE;
    target.hItem = ToHandle(item);
    target.state = item->state;
}

LRESULT SendTreeNotify(Tree& tree, UINT code, UINT action, Item* oldItem, Item* newItem) {
    NMTREEVIEWA nm;
    memset(&nm, 0, sizeof(nm));
    nm.action = action;
    if (oldItem != NULL) Describe(nm.itemOld, oldItem);
    if (newItem != NULL) Describe(nm.itemNew, newItem);
    return Notify(tree.hwnd, code, &nm.hdr);
}

// ---- Expanding and collapsing ------------------------------------------

// From code the control notifies only the first expansion of an item; for a
// person, and when it expands ancestors to show an item, always.
bool Expand(Tree& tree, Item* item, bool byUser) {
    if (!HasChildren(item)) return false;
    bool notify = byUser || !(item->state & TVIS_EXPANDEDONCE);
    if (notify && SendTreeNotify(tree, TVN_ITEMEXPANDINGA, TVE_EXPAND, NULL, item)) return false;
    if (!Valid(tree, item) || item->firstChild == NULL) return false;
    item->state |= TVIS_EXPANDED;
    if (Shown(item) && tree.firstVisible != NULL) {
        RecalcOrder(tree);
        // Scrolls up so that as many of the children as can be are shown.
        int children = item->lastChild->order - item->firstChild->order + 1;
        int row = item->order - tree.firstVisible->order;
        int rowsBelow = VisibleCount(tree) - row - 1;
        if (row > 0 && children > rowsBelow) {
            int scroll = std::min(children - rowsBelow, row);
            if (scroll > 0) SetFirstVisible(tree, ListItem(tree, tree.firstVisible, scroll));
        }
    }
    if (notify) {
        SendTreeNotify(tree, TVN_ITEMEXPANDEDA, TVE_EXPAND, NULL, item);
        if (Valid(tree, item)) item->state |= TVIS_EXPANDEDONCE;
    }
    return true;
}

void RemoveItem(Tree& tree, Item* item);

// Collapsing over the selection moves it to the collapsed item without any
// notification.
bool Collapse(Tree& tree, Item* item, bool removeChildren, bool byUser) {
    if (!HasChildren(item)) return false;
    UINT action = TVE_COLLAPSE | (removeChildren ? TVE_COLLAPSERESET : 0);
    if (byUser) SendTreeNotify(tree, TVN_ITEMEXPANDINGA, action, NULL, item);
    if (!Valid(tree, item) || item->firstChild == NULL) return false;
    bool wasExpanded = (item->state & TVIS_EXPANDED) != 0;
    item->state &= ~TVIS_EXPANDED;
    if (wasExpanded && byUser) SendTreeNotify(tree, TVN_ITEMEXPANDEDA, action, NULL, item);
    if (!Valid(tree, item)) return false;
    bool moveSelection = tree.selected != NULL && IsDescendant(item, tree.selected);
    bool moveFirstVisible = tree.firstVisible != NULL && IsDescendant(item, tree.firstVisible);
    if (removeChildren) {
        int cChildren = item->cChildren;
        item->state &= ~TVIS_EXPANDEDONCE;
        while (item->firstChild != NULL) RemoveItem(tree, item->firstChild);
        item->cChildren = cChildren;
    }
    if (!wasExpanded) return false;
    RecalcOrder(tree);
    if (moveSelection) {
        if (Valid(tree, tree.selected)) tree.selected->state &= ~TVIS_SELECTED;
        item->state |= TVIS_SELECTED;
        tree.selected = item;
    }
    SetFirstVisible(tree, moveFirstVisible ? item : tree.firstVisible);
    return true;
}

bool Toggle(Tree& tree, Item* item, bool byUser) {
    return (item->state & TVIS_EXPANDED) ? Collapse(tree, item, false, byUser) : Expand(tree, item, byUser);
}

// Expands the collapsed ancestors (nearest first, notifying) and scrolls
// the item into the rows shown.
bool EnsureVisible(Tree& tree, Item* item) {
    if (!Valid(tree, item)) return false;
    if (!Shown(item)) {
        for (Item* parent = item->parent; parent != &tree.root && parent != NULL; parent = parent->parent) {
            if (!(parent->state & TVIS_EXPANDED)) Expand(tree, parent, true);
        }
    }
    if (!Valid(tree, item) || tree.firstVisible == NULL) return false;
    int visibleCount = VisibleCount(tree);
    int row = item->order - tree.firstVisible->order;
    Item* first = NULL;
    if (row < 0)
        first = item;
    else if (row >= visibleCount && row > 0)
        first = ListItem(tree, tree.firstVisible, row - visibleCount + 1);
    if (first == NULL || first == tree.firstVisible) return false;
    SetFirstVisible(tree, first);
    return true;
}

// ---- Selection ---------------------------------------------------------

// TVN_SELCHANGING, then the new selection is scrolled into view (expanding
// collapsed ancestors), then TVN_SELCHANGED; nothing when it is already
// selected.
bool DoSelect(Tree& tree, Item* item, UINT cause) {
    Item* previous = tree.selected;
    if (previous == item) {
        if (item != NULL) EnsureVisible(tree, item);
        return true;
    }
    if (SendTreeNotify(tree, TVN_SELCHANGINGA, cause, previous, item)) return false;
    if (item != NULL && !Valid(tree, item)) return false;
    if (Valid(tree, previous)) previous->state &= ~TVIS_SELECTED;
    if (item != NULL) item->state |= TVIS_SELECTED;
    tree.selected = item;
    if (item != NULL) EnsureVisible(tree, item);
    SendTreeNotify(tree, TVN_SELCHANGEDA, cause, Valid(tree, previous) ? previous : NULL,
                   Valid(tree, item) ? item : NULL);
    return true;
}

LRESULT SelectItem(Tree& tree, UINT flag, Item* item) {
    if (item != NULL && !Valid(tree, item)) return FALSE;
    // As the control does: asking for the selected item, whatever the flag,
    // does nothing (so TVGN_FIRSTVISIBLE does not scroll to it either).
    if (item == tree.selected) return TRUE;
    switch (flag) {
    case TVGN_CARET:
        return DoSelect(tree, item, TVC_UNKNOWN);
    case TVGN_FIRSTVISIBLE:
        // Scrolls (and expands ancestors) but leaves the selection alone.
        if (item != NULL) {
            EnsureVisible(tree, item);
            if (Valid(tree, item)) SetFirstVisible(tree, item);
        }
        return TRUE;
    default:
        return TRUE;
    }
}

// ---- Insertion and deletion --------------------------------------------

void LinkAfter(Item* item, Item* sibling, Item* parent) {
    item->prev = sibling;
    item->next = sibling != NULL ? sibling->next : parent->firstChild;
    if (item->next != NULL) item->next->prev = item;
    if (sibling != NULL) sibling->next = item;
    if (item->prev == NULL) parent->firstChild = item;
    if (item->next == NULL) parent->lastChild = item;
}

void Unlink(Item* item) {
    Item* parent = item->parent;
    if (parent->firstChild == item) parent->firstChild = item->next;
    if (parent->lastChild == item) parent->lastChild = item->prev;
    if (parent->firstChild == NULL && parent->lastChild == NULL && parent->cChildren > 0) parent->cChildren = 0;
    if (item->prev != NULL) item->prev->next = item->next;
    if (item->next != NULL) item->next->prev = item->prev;
}

// Items are appended only, as the dialogs add them. Inserting never expands
// the parent: children of a collapsed item stay out of the visible order
// until it is expanded.
LRESULT InsertItem(Tree& tree, const TVINSERTSTRUCTA* insert) {
    if (insert == NULL || insert->hInsertAfter != TVI_LAST) return 0;
    Item* parent = &tree.root;
    if (insert->hParent != TVI_ROOT && insert->hParent != NULL) {
        if (!Valid(tree, ToItem(insert->hParent))) return 0;
        parent = ToItem(insert->hParent);
    }
    Item* item = new Item();
    item->parent = parent;
    if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText != NULL) item->text = insert->item.pszText;
    tree.items.insert(item);
    LinkAfter(item, parent->lastChild, parent);
    item->level = parent == &tree.root ? 0 : parent->level + 1;
    if (parent->cChildren == 0) parent->cChildren = 1;
    if (tree.firstVisible == NULL) tree.firstVisible = item;
    if (parent == &tree.root || (Shown(parent) && (parent->state & TVIS_EXPANDED))) RecalcOrder(tree);
    return (LRESULT)ToHandle(item);
}

void FreeItem(Tree& tree, Item* item) {
    tree.items.erase(item);
    if (tree.selected == item) tree.selected = NULL;
    if (tree.firstVisible == item) tree.firstVisible = NULL;
    delete item;
}

// Children first, each announced with TVN_DELETEITEM while still valid.
void RemoveItem(Tree& tree, Item* item) {
    while (item->firstChild != NULL) RemoveItem(tree, item->firstChild);
    SendTreeNotify(tree, TVN_DELETEITEMA, TVC_UNKNOWN, item, NULL);
    Unlink(item);
    FreeItem(tree, item);
}

// Deleting the selected item (or its ancestor) selects the next sibling,
// else the parent, else the previous sibling, with notifications that have
// no old item; deleting the last item selects nothing and says nothing.
LRESULT DeleteItem(Tree& tree, HTREEITEM hItem) {
    Item* newSelection = NULL;
    Item* newFirstVisible = NULL;
    bool shown = false;
    if (hItem == TVI_ROOT || hItem == NULL) {
        shown = true;
        while (tree.root.firstChild != NULL) RemoveItem(tree, tree.root.firstChild);
    } else {
        Item* item = ToItem(hItem);
        if (!Valid(tree, item)) return FALSE;
        shown = Shown(item);
        if (tree.selected != NULL && (tree.selected == item || IsDescendant(item, tree.selected))) {
            if (item->next != NULL)
                newSelection = item->next;
            else if (item->parent != &tree.root)
                newSelection = item->parent;
            else
                newSelection = item->prev;
        }
        if (tree.firstVisible == item) {
            shown = true;
            if (item->next != NULL)
                newFirstVisible = item->next;
            else if (item->prev != NULL)
                newFirstVisible = item->prev;
            else if (item->parent != &tree.root)
                newFirstVisible = item->parent;
            SetFirstVisible(tree, NULL);
        } else {
            newFirstVisible = tree.firstVisible;
        }
        RemoveItem(tree, item);
    }
    if (tree.selected == NULL && Valid(tree, newSelection)) DoSelect(tree, newSelection, TVC_UNKNOWN);
    if (!Valid(tree, newFirstVisible)) newFirstVisible = tree.root.firstChild;
    // The control clamps with the rows as they were before the deletion.
    if (shown) SetFirstVisible(tree, newFirstVisible);
    if (shown) RecalcOrder(tree);
    return TRUE;
}

// ---- Queries -----------------------------------------------------------

LRESULT GetNextItem(Tree& tree, UINT which, HTREEITEM hItem) {
    switch (which) {
    case TVGN_CHILD:
        if (hItem != NULL) break;
        return (LRESULT)ToHandle(tree.root.firstChild);  // the child of nothing is the first root item
    case TVGN_ROOT:
        return (LRESULT)ToHandle(tree.root.firstChild);
    case TVGN_CARET:
        return (LRESULT)ToHandle(tree.selected);
    case TVGN_FIRSTVISIBLE:
        return (LRESULT)ToHandle(tree.firstVisible);
    default:
        break;
    }
    Item* item = hItem == TVI_ROOT ? &tree.root : ToItem(hItem);
    if (item != &tree.root && !Valid(tree, item)) return 0;
    switch (which) {
    case TVGN_NEXT:
        return (LRESULT)ToHandle(item->next);
    case TVGN_PARENT:
        return (LRESULT)ToHandle(item->parent != &tree.root ? item->parent : NULL);
    case TVGN_CHILD:
        return (LRESULT)ToHandle(item->firstChild);
    case TVGN_NEXTVISIBLE:
        return (LRESULT)ToHandle(NextListItem(item));
    default:
        return 0;
    }
}

// The dialogs read an item's text only.
LRESULT GetItem(Tree& tree, TVITEMA* target) {
    if (target == NULL || !Valid(tree, ToItem(target->hItem))) return FALSE;
    if ((target->mask & TVIF_TEXT) && target->cchTextMax > 0)
        CopyText(ToItem(target->hItem)->text, target->pszText, target->cchTextMax);
    return TRUE;
}

// ---- Geometry and the mouse --------------------------------------------

struct Layout {
    int linesOffset;
    int stateOffset;
    int textOffset;
    int textWidth;
};

Layout LayoutOf(const Tree& tree, const Item* item) {
    bool linesAtRoot = (Style(tree) & (TVS_LINESATROOT | TVS_HASLINES | TVS_HASBUTTONS)) > TVS_LINESATROOT;
    Layout layout;
    layout.linesOffset = kIndent * (linesAtRoot ? item->level : item->level - 1);
    layout.stateOffset = layout.linesOffset + kIndent;
    layout.textOffset = layout.stateOffset;
    layout.textWidth = (int)item->text.size() * kCharWidth;
    return layout;
}

int RowTop(const Tree& tree, const Item* item) { return tree.itemHeight * (item->order - tree.firstVisible->order); }

enum Hit { HIT_NOWHERE, HIT_INDENT, HIT_BUTTON, HIT_LABEL, HIT_RIGHT };

Item* HitTest(Tree& tree, int x, int y, Hit& hit) {
    hit = HIT_NOWHERE;
    if (tree.firstVisible == NULL || x < 0 || y < 0 || y >= tree.clientHeight) return NULL;
    int row = y / tree.itemHeight + tree.firstVisible->order;
    Item* item = tree.firstVisible;
    while (item != NULL && item->order != row) item = NextListItem(item);
    if (item == NULL) return NULL;
    Layout layout = LayoutOf(tree, item);
    if (x >= layout.textOffset + layout.textWidth + 4)
        hit = HIT_RIGHT;
    else if (x >= layout.textOffset)
        hit = HIT_LABEL;
    else if (x >= layout.linesOffset && (Style(tree) & TVS_HASBUTTONS))
        hit = HIT_BUTTON;
    else
        hit = HIT_INDENT;
    return item;
}

// NM_CLICK first; then a click on the label selects (TVC_BYMOUSE) and one on
// the button expands or collapses; the tree takes the focus last.
void LButtonDown(Tree& tree, int x, int y) {
    HWND hWnd = tree.hwnd;
    Hit hit;
    Item* item = HitTest(tree, x, y, hit);
    if (!NotifySimple(hWnd, NM_CLICK) && ControlOf<Tree>(hWnd) == &tree && Valid(tree, item)) {
        if (hit == HIT_BUTTON && HasChildren(item))
            Toggle(tree, item, true);
        else if (hit == HIT_LABEL)
            DoSelect(tree, item, TVC_BYMOUSE);
    }
    SetFocus(hWnd);
}

// The dialogs act on no key of the tree's own: each is only announced.
void KeyDown(Tree& tree, WPARAM key) {
    NMTVKEYDOWN nm;
    memset(&nm, 0, sizeof(nm));
    nm.wVKey = (WORD)key;
    Notify(tree.hwnd, TVN_KEYDOWN, &nm.hdr);
}

// A line up or down on the scroll bar, which only a tree with more items
// than rows has.
void VScroll(Tree& tree, WPARAM code) {
    if (tree.maxOrder * tree.itemHeight <= tree.clientHeight || tree.firstVisible == NULL) return;
    Item* first = NULL;
    if (LOWORD(code) == SB_LINEUP)
        first = PrevListItem(tree, tree.firstVisible);
    else if (LOWORD(code) == SB_LINEDOWN)
        first = NextListItem(tree.firstVisible);
    if (first != NULL && first != tree.firstVisible) SetFirstVisible(tree, first);
}

}  // namespace

bool TreeItemShown(HWND hWndTree, HTREEITEM hItem, POINT* label, POINT* button) {
    Tree* tree = ControlOf<Tree>(hWndTree);
    Item* item = ToItem(hItem);
    if (tree == NULL || !Valid(*tree, item) || !Shown(item) || tree->firstVisible == NULL) return false;
    int row = item->order - tree->firstVisible->order;
    if (row < 0 || row >= VisibleCount(*tree)) return false;
    Layout layout = LayoutOf(*tree, item);
    int middle = RowTop(*tree, item) + tree->itemHeight / 2;
    if (label != NULL) *label = {layout.textOffset + 2 + layout.textWidth / 2, middle};
    if (button != NULL) {
        if (!HasChildren(item) || !(Style(*tree) & TVS_HASBUTTONS)) return false;
        *button = {(layout.linesOffset + layout.stateOffset) / 2, middle};
    }
    return true;
}

LRESULT CALLBACK TreeViewProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Tree* tree = ControlState<Tree>(hWnd, Msg);
    if (tree == NULL || Msg == WM_NCCREATE) return DefWindowProcA(hWnd, Msg, wParam, lParam);
    switch (Msg) {
    case WM_CREATE: {
        RECT client;
        GetClientRect(hWnd, &client);
        tree->clientWidth = client.right;
        tree->clientHeight = client.bottom;
        return 0;
    }
    case WM_DESTROY:
        // Every item is announced deleted as the control goes.
        while (tree->root.firstChild != NULL) RemoveItem(*tree, tree->root.firstChild);
        return 0;
    case WM_SIZE:
        tree->clientWidth = (SHORT)LOWORD(lParam);
        tree->clientHeight = (SHORT)HIWORD(lParam);
        RecalcOrder(*tree);
        SetFirstVisible(*tree, tree->firstVisible);
        return 0;
    case WM_SETFOCUS:
        // Getting the focus with nothing selected selects the first visible
        // item, with notifications.
        if (tree->selected == NULL) DoSelect(*tree, tree->firstVisible, TVC_UNKNOWN);
        NotifySimple(hWnd, NM_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifySimple(hWnd, NM_KILLFOCUS);
        return 0;
    case WM_KEYDOWN:
        KeyDown(*tree, wParam);
        return 0;
    case WM_LBUTTONDOWN:
        LButtonDown(*tree, (SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam));
        return 0;
    case WM_VSCROLL:
        VScroll(*tree, wParam);
        return 0;
    case TVM_INSERTITEMA:
        return InsertItem(*tree, (const TVINSERTSTRUCTA*)lParam);
    case TVM_DELETEITEM:
        return DeleteItem(*tree, (HTREEITEM)lParam);
    case TVM_EXPAND: {
        Item* item = ToItem((HTREEITEM)lParam);
        if (!Valid(*tree, item)) return 0;
        switch (wParam & TVE_TOGGLE) {
        case TVE_COLLAPSE:
            return Collapse(*tree, item, (wParam & TVE_COLLAPSERESET) != 0, false);
        case TVE_EXPAND:
            return Expand(*tree, item, false);
        case TVE_TOGGLE:
            return Toggle(*tree, item, false);
        default:
            return 0;
        }
    }
    case TVM_GETNEXTITEM:
        return GetNextItem(*tree, (UINT)wParam, (HTREEITEM)lParam);
    case TVM_SELECTITEM:
        return SelectItem(*tree, (UINT)wParam, ToItem((HTREEITEM)lParam));
    case TVM_GETITEMA:
        return GetItem(*tree, (TVITEMA*)lParam);
    case TVM_GETVISIBLECOUNT:
        return VisibleCount(*tree);
    case TVM_SETITEMHEIGHT: {
        // Rows of a set height, for the control scenarios; -1 is the font's.
        int previous = tree->itemHeight;
        tree->itemHeight = (SHORT)wParam == -1 ? kNaturalItemHeight : std::max(1, (int)(SHORT)wParam);
        if (tree->itemHeight != previous) RecalcOrder(*tree);
        return previous;
    }
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

}  // namespace hl
