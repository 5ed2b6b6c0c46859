#include <gtest/gtest.h>

#include "base/Utf16.h"
#include "scan/PathNames.h"

using namespace Vorlaq;

TEST(PathNames, ExampleTable) {
    EXPECT_EQ(GetFileNamePart(L"D:\\Out\\a.b.txt"), L"a.b.txt");
    EXPECT_EQ(GetFileExtension(L"D:\\Out\\a.b.txt"), L"txt");
    EXPECT_EQ(GetFileExtension(L"Notes.TXT"), L"TXT");
    EXPECT_EQ(GetFileExtension(L"README"), L"");
    EXPECT_EQ(RemoveExtension(L"D:\\Out\\a.b.txt"), L"D:\\Out\\a.b");
    EXPECT_EQ(RemoveExtension(L"D:\\Out\\.profile"), L"D:\\Out\\");
    EXPECT_EQ(GetParentPath(L"D:\\Out\\a.txt"), L"D:\\Out\\");
    EXPECT_EQ(GetParentPath(L"D:\\Out\\"), L"D:\\");
    EXPECT_EQ(JoinPath(L"D:\\Out", L"a.txt"), L"D:\\Out\\a.txt");
    EXPECT_EQ(JoinPath(L"D:\\Out\\", L"a.txt"), L"D:\\Out\\a.txt");
    EXPECT_EQ(JoinPath(L"D:/Out//x", L"y.txt"), L"D:\\Out\\x\\y.txt");
}

TEST(PathNames, SeparatorsDotsAndRootsAreNormalised) {
    EXPECT_EQ(RemoveExtension(L"C:/a//b/./c/../d.e"), L"C:\\a\\b\\d");
    EXPECT_EQ(GetParentPath(L"\\\\server\\share\\f.txt"), L"\\\\server\\share\\");
    EXPECT_EQ(GetParentPath(L"\\\\server\\"), L"\\\\server\\");  // a root alone stays
    EXPECT_EQ(GetParentPath(L"D:\\"), L"D:\\");
    EXPECT_EQ(GetParentPath(L"/x/y/"), L"\\x\\");
    EXPECT_EQ(GetParentPath(L"\\"), L"\\");
    EXPECT_EQ(JoinPath(L"C:\\a\\..\\..\\b", L"c"), L"C:\\b\\c");  // ".." never climbs above a root
    EXPECT_EQ(GetFileNamePart(L"C:\\dir\\"), L"");
    EXPECT_EQ(GetFileNamePart(L"C:\\dir\\.."), L"");
    EXPECT_EQ(GetFileNamePart(L"a/b\\c"), L"c");
}

TEST(PathNames, RelativePathsClimbWithDotDot) {
    EXPECT_EQ(GetParentPath(L"a.txt"), L"");
    EXPECT_EQ(GetParentPath(L""), L"..\\");
    EXPECT_EQ(GetParentPath(L"..\\"), L"..\\..\\");
    EXPECT_EQ(GetParentPath(L"x\\y\\"), L"x\\");
    EXPECT_EQ(JoinPath(L"", L"a.txt"), L"a.txt");
    EXPECT_EQ(JoinPath(L"x\\y", L"..\\..\\..\\z"), L"..\\z");
    EXPECT_EQ(JoinPath(L"out", L"C:\\ignored\\root.txt"), L"out\\ignored\\root.txt");
}

TEST(PathNames, UnsplittableTextsStillGiveTheLastExtension) {
    // Drive letter without a separator: read as the drive's root.
    EXPECT_EQ(JoinPath(L"C:out", L"f"), L"C:\\out\\f");
    EXPECT_EQ(GetFileExtension(L"c:*.txt"), L"txt");
    // A colon after a character that is not a letter is just part of a name.
    EXPECT_EQ(GetFileNamePart(L"1:abc.d"), L"1:abc.d");
    EXPECT_EQ(GetFileExtension(L":*.LOG"), L"LOG");
    EXPECT_EQ(GetFileExtension(L".:x/y.z"), L"z");
    EXPECT_EQ(GetFileExtension(L"*."), L"");
    EXPECT_EQ(GetFileExtension(L"."), L"");
    EXPECT_EQ(GetFileExtension(L".."), L"");
    EXPECT_EQ(RemoveExtension(L"1:2"), L"1:2");
}

TEST(PathNames, ReplaceInvalidCharsTouchesExactlyTheNine) {
    EXPECT_EQ(ReplaceInvalidChars(L"a\\b/c:d*e?f\"g<h>i|j", L"_"), L"a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(ReplaceInvalidChars(L"ok name (1).txt~!@#$%^&", L"_"), L"ok name (1).txt~!@#$%^&");
    EXPECT_EQ(ReplaceInvalidChars(L"::", L"--"), L"----");
}

TEST(PathNames, DeviceNamesAreKnownInEveryFormAndMadeSafe) {
    for (const wchar_t* name : {L"nul", L"NUL", L"con.txt", L"Aux.tar.gz", L"prn.", L"com1", L"LPT9.log", L"nul .txt",
                                L"COM\u00B9", L"conin$", L"CONOUT$.x"})
        EXPECT_TRUE(IsReservedDeviceName(name)) << WideToUtf8(name);
    for (const wchar_t* name : {L"null", L"console.txt", L"com10", L"lpt", L"a.nul", L"_nul", L"com1x.txt", L""})
        EXPECT_FALSE(IsReservedDeviceName(name)) << WideToUtf8(name);
    EXPECT_EQ(SafeFileName(L"nul"), L"nul_");
    EXPECT_EQ(SafeFileName(L"CON.txt"), L"CON_.txt");
    EXPECT_EQ(SafeFileName(L"aux:x.log"), L"aux_x.log");  // the colon went first: no device left
    EXPECT_EQ(SafeFileName(L"lpt1.a.b"), L"lpt1_.a.b");
    EXPECT_EQ(SafeFileName(L"nuls.txt"), L"nuls.txt");
}
