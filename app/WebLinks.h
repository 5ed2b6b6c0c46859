#pragma once
// The maker's web pages: the Help button opens the first, the about box's link the second.
namespace Vorlaq {

constexpr const wchar_t* kHelpPageUrl = L"https://www.plixen.com/quorret/help";
constexpr const wchar_t* kHomePageUrl = L"https://www.plixen.com/";

}  // namespace Vorlaq
