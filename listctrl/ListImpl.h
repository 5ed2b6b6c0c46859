#pragma once
// CListImpl<T>: the list engine over a derived class T that holds the rows. T supplies
//   int GetItemCount();
//   std::wstring GetItemText(int row, int column);     column = the column's identity index
//   void SortItems(int column, bool ascending);
//   void ReverseItems();
// and may hide any of the defaults below (image, format, flags, colours, tooltip text, storing
// edited cells, combo choices, row drag, set-up on creation). The engine reaches them through
// functions made here from T's own members, so T's choices are bound at compile time and none
// of them needs to be virtual.
#include <string>
#include <vector>

#include "listctrl/ListEngine.h"

namespace Vorlaq {

template <class T>
class CListImpl : public ListEngine {
public:
    CListImpl() : ListEngine(MakeRowSource(this)) {}

    // Creates the list as a child window; T's set-up (SetUpList) runs during creation.
    HWND Create(HWND parent, const RECT& rect, UINT id,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                DWORD exStyle = 0)
    {
        static WindowClassInfo info{nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                    reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), IDC_ARROW, 0, {}};
        const ATOM atom = info.Register(StartWindowProc);
        if (atom == 0)
            return nullptr;
        return CreateFromAtom(atom, parent, &rect, nullptr, style, exStyle, id, nullptr);
    }

    // Defaults, hidden by T where it has its own.
    int GetItemImage(int, int) { return -1; }
    int GetItemFormat(int, int column) { return ColumnByIndex(column) ? ColumnByIndex(column)->format : kFormatText; }
    unsigned GetItemFlags(int, int column) { return ColumnByIndex(column) ? ColumnByIndex(column)->flags : 0u; }
    bool GetItemColours(int, int, COLORREF* background, COLORREF* text)
    {
        *background = Colours().background;
        *text = Colours().rowText;
        return false;
    }
    bool GetItemMark(int, int, COLORREF*) { return false; }
    std::wstring GetItemToolTip(int, int) { return {}; }
    bool SetItemText(int, int, const std::wstring&) { return false; }
    bool SetItemDate(int, int, const SYSTEMTIME&) { return false; }
    std::vector<std::wstring> GetItemComboList(int, int) { return {}; }
    void BeginRowDrag() {}
    void CopySelection() {}
    bool SetUpList() { return Initialise(); }

protected:
    const ListColumn* ColumnByIndex(int index) const { return Columns().At(Columns().PositionOf(index)); }

private:
    static T* Self(void* self) { return static_cast<T*>(static_cast<CListImpl*>(self)); }

    static ListRowSource MakeRowSource(CListImpl* self)
    {
        ListRowSource s;
        s.self = self;
        s.count = [](void* p) { return Self(p)->GetItemCount(); };
        s.text = [](void* p, int r, int c) -> std::wstring { return Self(p)->GetItemText(r, c); };
        s.image = [](void* p, int r, int c) { return Self(p)->GetItemImage(r, c); };
        s.format = [](void* p, int r, int c) { return Self(p)->GetItemFormat(r, c); };
        s.flags = [](void* p, int r, int c) { return static_cast<unsigned>(Self(p)->GetItemFlags(r, c)); };
        s.colours = [](void* p, int r, int c, COLORREF* b, COLORREF* t) { return Self(p)->GetItemColours(r, c, b, t); };
        s.mark = [](void* p, int r, int c, COLORREF* m) { return Self(p)->GetItemMark(r, c, m); };
        s.toolTip = [](void* p, int r, int c) -> std::wstring { return Self(p)->GetItemToolTip(r, c); };
        s.sort = [](void* p, int c, bool a) { Self(p)->SortItems(c, a); };
        s.reverse = [](void* p) { Self(p)->ReverseItems(); };
        s.setText = [](void* p, int r, int c, const std::wstring& t) { return Self(p)->SetItemText(r, c, t); };
        s.setDate = [](void* p, int r, int c, const SYSTEMTIME& d) { return Self(p)->SetItemDate(r, c, d); };
        s.comboItems = [](void* p, int r, int c) { return Self(p)->GetItemComboList(r, c); };
        s.beginDrag = [](void* p) { Self(p)->BeginRowDrag(); };
        s.copy = [](void* p) { Self(p)->CopySelection(); };
        s.setUp = [](void* p) { return Self(p)->SetUpList(); };
        return s;
    }
};

}  // namespace Vorlaq
