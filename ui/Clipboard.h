#pragma once
// Unicode text on the clipboard.
#include <windows.h>

#include <string>

namespace Vorlaq {

// Replaces what the clipboard holds with `text` (CF_UNICODETEXT), for `owner`. False when the
// clipboard could not be opened or the memory not had.
bool PutClipboardText(HWND owner, const std::wstring& text);

}  // namespace Vorlaq
