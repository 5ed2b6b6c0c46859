#pragma once
// A list over a model of generated rows, with a parent window that records what the list tells
// it. Shared by the window tests, the screenshot program and the benchmark.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listctrl/ListImpl.h"

namespace listtest {

struct Row {
    int number = 0;
    std::wstring name;
    std::wstring path;
    std::wstring type;
    std::wstring note;   // an editable column
    std::wstring done;   // a check-box column
};

Row MakeRow(int i);

class TestList : public Vorlaq::CListImpl<TestList> {
public:
    std::vector<Row> rows;
    std::vector<std::pair<int, bool>> sortCalls;
    int reverseCalls = 0;
    bool withEditColumns = false;
    std::vector<int> formats = {0, 0, 0, 0, 1, 4};  // by column identity

    int GetItemCount() const { return static_cast<int>(rows.size()); }
    std::wstring GetItemText(int row, int column) const;
    int GetItemFormat(int, int column) const
    {
        return column >= 0 && column < static_cast<int>(formats.size()) ? formats[static_cast<size_t>(column)] : 0;
    }
    bool SetItemText(int row, int column, const std::wstring& text);
    std::vector<std::wstring> GetItemComboList(int, int) const { return {L"red", L"green", L"blue"}; }
    void SortItems(int column, bool ascending);
    void ReverseItems()
    {
        ++reverseCalls;
        std::reverse(rows.begin(), rows.end());
    }
    bool SetUpList();
};

struct Notice {
    int code;
    int item;
    int column;
    UINT_PTR id;
    HWND from;
    int exitKey;
};

// A top-level window that keeps every list notification it receives.
class Host {
public:
    Host(int rows, int width = 500, int height = 300, bool editColumns = false);
    ~Host();
    HWND window = nullptr;
    TestList list;
    std::vector<Notice> notices;
    int Count(int code) const;

    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
};

// Sends a real message sequence to the list and lets posted ones run.
void Pump();
void Click(HWND list, int x, int y, UINT keys = 0);
void MouseDown(HWND list, int x, int y, UINT keys = 0);
void MouseMove(HWND list, int x, int y, UINT keys = MK_LBUTTON);
void MouseUp(HWND list, int x, int y, UINT keys = 0);
void Key(HWND list, UINT vk, bool shift = false, bool ctrl = false);

}  // namespace listtest
