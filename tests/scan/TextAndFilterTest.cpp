#include <gtest/gtest.h>

#include "scan/FileFilter.h"
#include "scan/TextUtils.h"

using namespace Vorlaq;
using Strings = std::vector<std::wstring>;

TEST(SplitString, ExampleTable) {
    EXPECT_EQ(SplitString(L"a;;b;", L";", false), (Strings{L"a", L"b"}));
    EXPECT_EQ(SplitString(L"a;;b;", L";", true), (Strings{L"a", L"", L"b", L""}));
    EXPECT_EQ(SplitString(L";;;", L";", false), Strings{});
    EXPECT_EQ(SplitString(L";;;", L";", true), (Strings{L"", L"", L"", L""}));
    EXPECT_EQ(SplitString(L"", L";", false), Strings{});
    EXPECT_EQ(SplitString(L"", L";", true), Strings{L""});
}

TEST(SplitString, SeparatorIsAWholeTextNotACharacterSet) {
    EXPECT_EQ(SplitString(L"a;b:;c:;:d;", L":;", false), (Strings{L"a;b", L"c", L":d;"}));
    EXPECT_EQ(SplitString(L"", L"", false), Strings{L""});
    EXPECT_EQ(SplitString(L"a;b", L"", false), Strings{L"a;b"});
}

TEST(Trim, RemovesOnlyTheSetAtTheEnds) {
    std::wstring text = L" \t\r\n\v x y \v\n";
    TrimLeft(text, WhitespaceChars());
    EXPECT_EQ(text, L"x y \v\n");
    TrimRight(text, WhitespaceChars());
    EXPECT_EQ(text, L"x y");
    std::wstring blank = L" \t ";
    TrimRight(blank, WhitespaceChars());
    EXPECT_EQ(blank, L"");
    std::wstring other = L"\f x";  // form feed is not in the set
    TrimLeft(other, WhitespaceChars());
    EXPECT_EQ(other, L"\f x");
    EXPECT_EQ(WhitespaceChars(), L" \t\n\r\v");
}

namespace {
Strings ListOf(const std::wstring& text) {
    FileFilter filter;
    filter.SetFilters(text);
    return filter.GetFilterList();
}
}  // namespace

TEST(FileFilter, TokenTable) {
    EXPECT_EQ(ListOf(L"*.txt"), Strings{L"txt"});
    EXPECT_EQ(ListOf(L"*.TXT"), Strings{L"txt"});
    EXPECT_EQ(ListOf(L"txt"), Strings{L"txt"});
    EXPECT_EQ(ListOf(L".Log"), Strings{L"log"});
    EXPECT_EQ(ListOf(L"*.*"), Strings{L"*"});
    EXPECT_EQ(ListOf(L"*"), Strings{L"*"});
    EXPECT_EQ(ListOf(L"report.doc"), Strings{L"doc"});
    EXPECT_EQ(ListOf(L"*.tar.gz"), Strings{L"gz"});
    EXPECT_EQ(ListOf(L"*.tx?"), Strings{L"tx?"});
    EXPECT_EQ(ListOf(L"."), Strings{});
    EXPECT_EQ(ListOf(L"*."), Strings{});
    EXPECT_EQ(ListOf(L"  \t"), Strings{});
    EXPECT_EQ(ListOf(L"*.txt;txt;A.TXT"), (Strings{L"txt", L"txt", L"txt"}));  // duplicates stay
}

TEST(FileFilter, WholeTextTable) {
    FileFilter filter;
    EXPECT_EQ(filter.GetFilterText(), L"*.*");
    EXPECT_FALSE(filter.MatchFile(L"a.txt"));  // nothing passes before the first SetFilters

    filter.SetFilters(L"");
    EXPECT_EQ(filter.GetFilterText(), L"*.*");
    EXPECT_EQ(filter.GetFilterList(), Strings{L"*"});
    EXPECT_TRUE(filter.MatchFile(L"README"));
    EXPECT_TRUE(filter.MatchFile(L"x.y"));
    EXPECT_FALSE(filter.MatchFile(L""));

    filter.SetFilters(L"*.txt; *.LOG ;");
    EXPECT_EQ(filter.GetFilterText(), L"*.txt; *.LOG ;");
    EXPECT_EQ(filter.GetFilterList(), (Strings{L"txt", L"log"}));
    EXPECT_TRUE(filter.MatchFile(L"Notes.Txt"));
    EXPECT_TRUE(filter.MatchFile(L"app.log"));
    EXPECT_FALSE(filter.MatchFile(L"notes.txt.bak"));
    EXPECT_FALSE(filter.MatchFile(L"README"));

    filter.SetFilters(L";;;");
    EXPECT_EQ(filter.GetFilterList(), Strings{L"*"});
    EXPECT_TRUE(filter.MatchFile(L"anything"));

    filter.SetFilters(L" ; ");
    EXPECT_EQ(filter.GetFilterList(), Strings{});
    EXPECT_FALSE(filter.MatchFile(L"a.txt"));
    EXPECT_FALSE(filter.MatchFile(L"README"));
}

TEST(FileFilter, WildcardsAreLiteralInsideAnExtension) {
    FileFilter filter;
    filter.SetFilters(L"*.tx?;*.*x");
    EXPECT_TRUE(filter.MatchFile(L"a.TX?"));
    EXPECT_FALSE(filter.MatchFile(L"a.txt"));
    EXPECT_TRUE(filter.MatchFile(L"b.*X"));
    EXPECT_FALSE(filter.MatchFile(L"noext"));  // no "*" entry: names without a dot never pass
    filter.SetFilters(L"*.txt;*.*");
    EXPECT_TRUE(filter.MatchFile(L"noext"));
    EXPECT_FALSE(filter.MatchFile(L""));
}

TEST(FileFilter, OnlyAsciiLettersAreFolded) {
    FileFilter filter;
    filter.SetFilters(L"*.\u00C9T");  // É stays upper case, T folds
    EXPECT_EQ(filter.GetFilterList(), Strings{L"\u00C9t"});
    EXPECT_TRUE(filter.MatchFile(L"x.\u00C9T"));
    EXPECT_FALSE(filter.MatchFile(L"x.\u00E9t"));
    filter.SetFilters(L"*.zip;*.ZAP");  // both ends of A-Z, on either side
    EXPECT_EQ(filter.GetFilterList(), (Strings{L"zip", L"zap"}));
    EXPECT_TRUE(filter.MatchFile(L"A.ZIP"));
    EXPECT_TRUE(filter.MatchFile(L"c.zAp"));
}
