// The Recycle Bin's $I content, good and bad, built in memory: what the fixture volume cannot
// hold (a short file, a v1 path filling all 260 characters, a length that overflows, no drive).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/RecycleBinIndex.h"

using namespace Vorlaq;

namespace {

using Bytes = std::vector<uint8_t>;

void PutU64(Bytes& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutText(Bytes& b, const std::u16string& text) {
    for (char16_t c : text) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
}

// Version 1: the path in 260 characters, NUL-padded.
Bytes Version1(const std::u16string& path) {
    Bytes b;
    PutU64(b, 1);
    PutU64(b, 400);
    PutU64(b, 133700000000000000ull);
    PutText(b, path);
    b.resize(0x18 + 520, 0);
    return b;
}

// Version 2: `chars` as the stored length, then the path and its terminator.
Bytes Version2(const std::u16string& path, uint32_t chars) {
    Bytes b;
    PutU64(b, 2);
    PutU64(b, 30000);
    PutU64(b, 133700000000000000ull);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(chars >> (8 * i)));
    PutText(b, path + u'\0');
    return b;
}

std::optional<RecycleBinIndex> Parse(const Bytes& b) { return ParseRecycleBinIndex(ByteReader(b.data(), b.size())); }

}  // namespace

TEST(RecycleBinIndex, BothVersionsAndEveryWayToBeUnusable) {
    auto v1 = Parse(Version1(u"D:\\Notes\\todo.txt"));
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->version, 1u);
    EXPECT_EQ(v1->originalSize, 400u);
    EXPECT_EQ(v1->deletionTime, 133700000000000000ull);
    EXPECT_EQ(v1->originalPath, L"D:\\Notes\\todo.txt");
    // 260 characters with no terminator: all of them, and nothing beyond.
    std::u16string full = u"C:\\" + std::u16string(257, u'x');
    auto filled = Parse(Version1(full));
    ASSERT_TRUE(filled);
    EXPECT_EQ(filled->originalPath.size(), 260u);

    const std::u16string path = u"e:\\W\u00f6rk\\" + std::u16string(300, u'a');
    auto v2 = Parse(Version2(path, static_cast<uint32_t>(path.size() + 1)));
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->version, 2u);
    EXPECT_EQ(v2->originalPath.size(), path.size());
    EXPECT_EQ(v2->originalPath.substr(0, 8), L"e:\\W\u00f6rk\\");

    Bytes v1Short = Version1(u"D:\\a.txt");
    v1Short.resize(0x18 + 519);
    Bytes unknown = Version2(u"D:\\a.txt", 9);
    unknown[0] = 3;
    const std::vector<Bytes> bad = {
        {},
        Bytes(0x17, 0),                              // shorter than the header
        v1Short,                                     // version 1 without its whole path field
        unknown,                                     // version 3
        Version2(u"D:\\a.txt", 10),                  // one character past the data
        Version2(u"D:\\a.txt", 0xFFFFFFFFu),         // a length whose byte count overflows 32 bits
        Version2(u"D:\\a.txt", 0),                   // no path at all
        Version2(u"\\\\server\\share\\a.txt", 21),   // no drive
        Version2(u"D:a.txt", 8),                     // a drive without its root
        Version1(u"1:\\a.txt"),                      // not a drive letter
    };
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(Parse(bad[i])) << "case " << i;
}
