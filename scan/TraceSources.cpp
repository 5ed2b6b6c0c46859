#include "scan/TraceSources.h"

namespace Vorlaq {

std::wstring TraceSourcesText(uint8_t sources) {
    static constexpr struct {
        uint8_t bit;
        const wchar_t* word;
    } kWords[] = {{kTraceIndexSlack, L"index-slack"},
                  {kTraceRecordSlack, L"record-slack"},
                  {kTraceUsn, L"usn"},
                  {kTraceOldName, L"old-name"}};
    std::wstring text;
    for (const auto& word : kWords) {
        if (!(sources & word.bit)) continue;
        if (!text.empty()) text += L',';
        text += word.word;
    }
    return text;
}

}  // namespace Vorlaq
