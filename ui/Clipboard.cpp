#include "ui/Clipboard.h"

#include <cstring>

namespace Vorlaq {

bool PutClipboardText(HWND owner, const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr)
        return false;
    void* at = ::GlobalLock(memory);
    if (at == nullptr) {
        ::GlobalFree(memory);
        return false;
    }
    std::memcpy(at, text.c_str(), bytes);
    ::GlobalUnlock(memory);
    if (!::OpenClipboard(owner)) {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    // Once set, the memory is the clipboard's.
    const bool put = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    if (!put)
        ::GlobalFree(memory);
    return put;
}

}  // namespace Vorlaq
