// Directory indexes: the root folder's $INDEX_ROOT and the "INDX" blocks of its
// $INDEX_ALLOCATION (those its $BITMAP marks in use) hold the same names TSK lists in it.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "ntfs/NTFSAttributeBitmap.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "tests/ntfs/TskOutput.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

void Collect(NTFSSingleList<NTFSIndexEntry>& entries, std::set<std::wstring>* names, int* subNodes) {
    for (NTFSIndexEntry* e = entries.FindFirstEntry(); e; e = entries.FindNextEntry()) {
        if (e->HasSubNode()) {
            ++*subNodes;
            EXPECT_NE(e->GetSubNodeVCN(), UINT64_MAX);
        }
        wchar_t name[261];
        if (e->GetFileName(name, 260) <= 0 || e->GetNameSpace() == 2) continue;
        names->insert(name);
        EXPECT_EQ(e->GetParentRef() & kNTFSRecordNumberMask, 5u);  // keys of the root folder
        EXPECT_NE(e->GetFileReference(), 0u);
    }
}

}  // namespace

TEST(Index, RootFolderNamesMatchTsk) {
    std::optional<ImageEntry> sample;
    for (const ImageEntry& image : LoadImages())
        if (image.name == "sample") sample = image;
    if (!sample) GTEST_SKIP() << "sample fixture not prepared in " << ImagesDir();

    // The root's names as fls lists them: no folder part, not deleted, streams cut off.
    std::set<std::wstring> expected;
    std::istringstream lines(ReadTextFile(ImagesDir() + "/tsk/sample/fls.txt").value_or(""));
    std::string line;
    while (std::getline(lines, line)) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find(" * ") != std::string::npos) continue;
        std::string path = line.substr(tab + 1);
        if (path.find('/') != std::string::npos || path == "$OrphanFiles") continue;
        expected.insert(Utf8ToWide(path.substr(0, path.find(':'))));
    }
    ASSERT_GT(expected.size(), 15u);
    expected.insert(L".");  // the root lists itself; fls leaves that entry out

    uint32_t error = 0;
    NTFSVolume volume(OpenPathDevice(Utf8ToWide(sample->path), 0, &error), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK());
    NTFSFileRecord root(&volume);
    root.SetAttrMask(NTFSAttrMaskBit(kNTFSAttrIndexRoot) | NTFSAttrMaskBit(kNTFSAttrIndexAllocation) |
                     NTFSAttrMaskBit(kNTFSAttrBitmap));
    ASSERT_TRUE(root.ReadFileRecord(5));
    ASSERT_TRUE(root.ParseAttrs());
    auto* indexRoot = static_cast<NTFSAttributeIndexRoot*>(root.FindFirstAttr(0x90));
    ASSERT_NE(indexRoot, nullptr);
    EXPECT_TRUE(indexRoot->IsFileNameIndex());

    std::set<std::wstring> names;
    int subNodes = 0;
    Collect(*indexRoot, &names, &subNodes);
    auto* allocation = static_cast<NTFSAttributeIndexAllocation*>(root.FindFirstAttr(0xA0));
    ASSERT_NE(allocation, nullptr);  // the root of this volume has outgrown its record
    EXPECT_GT(subNodes, 0);
    auto* bitmap = static_cast<NTFSAttributeBitmap<NTFSAttributeResident>*>(root.FindFirstAttr(0xB0));
    ASSERT_NE(bitmap, nullptr);
    ASSERT_GT(allocation->GetIndexBlockCount(), 0u);
    EXPECT_GE(bitmap->GetBitmapSize() * 8, allocation->GetIndexBlockCount());
    int blocks = 0;
    for (uint64_t vcn = 0; vcn < allocation->GetIndexBlockCount(); ++vcn) {
        bool used = false;
        ASSERT_TRUE(bitmap->IsBitSet(vcn, &used));
        if (!used) continue;
        NTFSIndexBlock block;
        ASSERT_TRUE(allocation->ReadIndexBlock(vcn, &block)) << vcn;
        Collect(block, &names, &subNodes);
        ++blocks;
    }
    EXPECT_GT(blocks, 0);
    NTFSIndexBlock none;
    EXPECT_FALSE(allocation->ReadIndexBlock(allocation->GetIndexBlockCount(), &none));
    EXPECT_EQ(names, expected);
}
