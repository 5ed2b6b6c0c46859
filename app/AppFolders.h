#pragma once
// The per-user folders of the program, "Plixen\Quorret\" under the temporary folder and under the
// roaming application-data folder; each is created with its missing parents when absent.
#include <string>

namespace Vorlaq {

constexpr const wchar_t* kMakerFolder = L"Plixen\\Quorret\\";
constexpr const wchar_t* kLogFileName = L"KQR.log";

// The temporary sub-folder (nothing else uses it).
std::wstring PrepareTempFolder();
// The application folder; empty before the joined sub-folder when the shell cannot name the
// application-data folder.
std::wstring PrepareAppFolder();

}  // namespace Vorlaq
