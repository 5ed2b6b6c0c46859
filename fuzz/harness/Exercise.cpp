#include "fuzz/harness/Exercise.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "ntfs/NTFSAttributeBitmap.h"
#include "ntfs/NTFSAttributeFileName.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSAttributeStandardInfo.h"
#include "ntfs/NTFSAttributeVolumeInfo.h"
#include "ntfs/NTFSAttributeVolumeName.h"
#include "ntfs/NTFSIndexEntry.h"

using namespace Vorlaq;

namespace QuorretFuzz {

namespace {

constexpr uint32_t kChunk = 0x10000;
constexpr uint32_t kNameCapacity = 260;
constexpr uint64_t kNoMoreThanRecordNumber = 0x0000FFFFFFFFFFFFull;

// One read; a read that succeeds delivers exactly what lies between the offset and the end of
// the stream, up to the length asked.
void ReadOnce(NTFSAttributeBase& attr, uint64_t offset, uint32_t length, std::vector<uint8_t>& buffer) {
    if (buffer.size() < length) buffer.resize(length);
    const uint64_t size = attr.GetDataSize();
    uint32_t got = 0xDEADBEEF;
    bool ok = attr.ReadData(offset, buffer.data(), length, &got);
    if (!ok) return;
    uint64_t expected = offset >= size ? 0 : std::min<uint64_t>(length, size - offset);
    Check(got == expected, "a successful ReadData delivers the bytes up to the stream's end");
}

void ExerciseFileName(NTFSFileName& name) {
    wchar_t buffer[kNameCapacity + 1];
    int n = name.GetFileName(buffer, kNameCapacity);
    if (n > 0) Check(std::wcslen(buffer) <= static_cast<size_t>(n), "a name copy is terminated at its length");
    int small = name.GetFileName(buffer, 3);
    if (n > 3) Check(small == -n, "a name too long for the buffer gives its negated length");
    (void)name.IsWin32Name();
    (void)name.GetNameSpace();
    (void)name.GetParentRef();
    (void)name.GetFileSize();
    (void)name.IsDirectory();
    (void)name.IsCompressed();
    uint64_t w = 0, c = 0, a = 0;
    name.GetFileTime(&w, &c, &a);
    name.GetFileTime(&w);
    (void)name.Compare(L"report.docx");
    if (n > 0 && std::wcslen(buffer) == static_cast<size_t>(n))
        Check(name.Compare(buffer) == 0, "a name compares equal to itself");
    (void)name.Compare(nullptr);
}

void ExerciseEntries(NTFSSingleList<NTFSIndexEntry>& entries) {
    for (NTFSIndexEntry* entry = entries.FindFirstEntry(); entry; entry = entries.FindNextEntry()) {
        (void)entry->GetFileReference();
        (void)entry->HasSubNode();
        (void)entry->IsLast();
        (void)entry->GetSubNodeVCN();
        ExerciseFileName(*entry);
    }
}

template <typename B>
void ExerciseBitmap(NTFSAttributeBitmap<B>& bitmap) {
    uint64_t bits = bitmap.GetBitmapSize() * 8;
    for (uint64_t index : {uint64_t{0}, uint64_t{7}, bits / 2, bits - 1, bits, bits + 4096, UINT64_MAX}) {
        bool set = false;
        (void)bitmap.IsBitSet(index, &set);
    }
}

}  // namespace

void ExerciseAttribute(NTFSAttributeBase& attr, uint64_t readLimit) {
    (void)attr.GetAttrType();
    (void)attr.GetAttrFlags();
    const bool unnamed = attr.IsUnNamed();
    wchar_t name[kNameCapacity + 1];
    int n = attr.GetAttrName(name, kNameCapacity);
    if (unnamed) Check(n == 0, "an unnamed attribute has no name");
    if (n > 0) Check(std::wcslen(name) <= static_cast<size_t>(n), "an attribute name is terminated at its length");
    (void)attr.GetAttrName(name, 1);
    uint64_t allocated = 0;
    (void)attr.GetDataSize(&allocated);
    (void)attr.IsDataRunOK();

    if (auto* info = dynamic_cast<NTFSAttributeStandardInfo*>(&attr)) {
        uint64_t w = 0, c = 0, a = 0;
        info->GetFileTime(&w, &c, &a);
        info->GetFileTime(&w);
        (void)info->GetFilePermission();
    }
    if (auto* fileName = dynamic_cast<NTFSAttributeFileName*>(&attr)) ExerciseFileName(*fileName);
    if (auto* label = dynamic_cast<NTFSAttributeVolumeName*>(&attr)) {
        Check(label->GetVolumeNameLength() == static_cast<int>(label->GetVolumeName().size()),
              "the label length is the label's");
        (void)label->GetVolumeNameNarrow().size();
    }
    if (auto* version = dynamic_cast<NTFSAttributeVolumeInfo*>(&attr)) (void)version->GetVersion();
    if (auto* root = dynamic_cast<NTFSAttributeIndexRoot*>(&attr)) {
        (void)root->IsFileNameIndex();
        ExerciseEntries(*root);
    }
    if (auto* allocation = dynamic_cast<NTFSAttributeIndexAllocation*>(&attr)) {
        uint64_t blocks = std::min<uint64_t>(allocation->GetIndexBlockCount(), 8);
        for (uint64_t vcn = 0; vcn <= blocks; ++vcn) {
            NTFSIndexBlock block;
            if (allocation->ReadIndexBlock(vcn, &block)) ExerciseEntries(block);
        }
        NTFSIndexBlock far;
        (void)allocation->ReadIndexBlock(UINT64_MAX, &far);
    }
    if (auto* bitmap = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeResident>*>(&attr)) ExerciseBitmap(*bitmap);
    if (auto* bitmap = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeNonResident>*>(&attr)) ExerciseBitmap(*bitmap);
    if (auto* nonResident = dynamic_cast<NTFSAttributeNonResident*>(&attr)) {
        (void)nonResident->GetStartVCN();
        (void)nonResident->GetLastVCN();
        (void)nonResident->GetInitializedSize();
        (void)nonResident->IsCompressedStream();
        uint64_t previousEnd = 0;
        bool first = true;
        for (const tagNTFSDataRunEntry& entry : nonResident->GetDataRuns()) {
            const tagNTFSDataRunEntry* run = &entry;
            if (run->Clusters > 0)
                Check(run->LastVCN == run->StartVCN + run->Clusters - 1, "a run's last VCN follows from its length");
            Check(run->LCN >= -1, "a run's LCN is a cluster or -1");
            if (!first && run->Clusters > 0)
                Check(run->StartVCN >= previousEnd, "runs are kept in VCN order without overlap");
            if (run->Clusters > 0) {
                previousEnd = run->LastVCN + 1;
                first = false;
            }
        }
    }
    ReadStream(attr, readLimit);
}

void Check(bool condition, const char* promise) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

void ReadStream(NTFSAttributeBase& attr, uint64_t limit) {
    std::vector<uint8_t> buffer(kChunk);
    const uint64_t size = attr.GetDataSize();
    const uint64_t end = std::min(size, limit);
    for (uint64_t offset = 0; offset < end; offset += kChunk) {
        uint32_t got = 0;
        if (!attr.ReadData(offset, buffer.data(), kChunk, &got)) break;
        Check(got == std::min<uint64_t>(kChunk, size - offset), "a restore-sized read delivers a whole piece");
    }
    // The restore's walk: holes and the stored stretches between them, in order, each step ahead.
    for (uint64_t offset = 0, steps = 0; offset < end && steps < 4096; ++steps) {
        const uint64_t hole = attr.GetHoleLength(offset);
        Check(hole <= size - offset, "a hole ends within the stream");
        const uint64_t next = hole ? offset + hole : attr.GetNextHole(offset);
        Check(next > offset && next <= size, "the next hole starts after a stored byte, within the stream");
        offset = next;
    }
    ReadOnce(attr, 1, 5000, buffer);
    ReadOnce(attr, 4095, 2, buffer);
    ReadOnce(attr, 0, 0, buffer);
    if (size > 0) ReadOnce(attr, size - 1, 100, buffer);
    ReadOnce(attr, size, 100, buffer);
    ReadOnce(attr, size + 1, 1, buffer);
    ReadOnce(attr, UINT64_MAX, 1, buffer);
    uint32_t got = 0;
    Check(!attr.ReadData(0, nullptr, 16, &got), "a read into no buffer fails");
}

void ExerciseRecord(NTFSFileRecord& record, uint64_t readLimit) {
    (void)record.IsDeleted();
    (void)record.IsDirectory();
    (void)record.GetBaseRecordRef();
    (void)record.GetFileRef();
    wchar_t name[kNameCapacity + 1];
    int n = record.GetFileName(name, kNameCapacity);
    if (n > 0) Check(std::wcslen(name) <= static_cast<size_t>(n), "a file name is terminated at its length");
    int tight = record.GetFileName(name, 5);
    if (n > 5) Check(tight == -n, "a file name too long for the buffer gives its negated length");
    uint64_t w = 0, c = 0, a = 0;
    record.GetFileTime(&w, &c, &a);
    record.GetFileTime(&w, nullptr, nullptr);
    Check(record.GetParentRef() <= kNoMoreThanRecordNumber, "a parent reference is a record number");
    (void)record.IsReadOnly();
    (void)record.IsHidden();
    (void)record.IsSystem();
    (void)record.IsSparse();
    (void)record.IsCompressed();
    (void)record.IsEncrypted();

    // The find operations share one cursor per list: collect first, exercise afterwards.
    std::vector<NTFSAttributeBase*> attrs;
    for (uint32_t type = 0x10; type <= 0x100; type += 0x10)
        for (NTFSAttributeBase* attr = record.FindFirstAttr(type); attr; attr = record.FindNextAttr(type))
            attrs.push_back(attr);
    Check(record.FindFirstAttr(0) == nullptr && record.FindFirstAttr(0x110) == nullptr,
          "types outside 0x10..0x10F have no list");

    if (NTFSAttributeBase* data = record.FindStream(nullptr))
        Check(data->IsUnNamed() && data->GetAttrType() == 0x80, "FindStream(null) finds the unnamed $DATA");
    for (NTFSAttributeBase* attr : attrs) {
        if (attr->GetAttrType() != 0x80 || attr->IsUnNamed()) continue;
        wchar_t stream[kNameCapacity + 1];
        if (attr->GetAttrName(stream, kNameCapacity) <= 0) continue;
        NTFSAttributeBase* found = record.FindStream(stream);
        Check(found != nullptr, "a named stream is found by its name");
        wchar_t again[kNameCapacity + 1];
        Check(found->GetAttrName(again, kNameCapacity) > 0 && std::wcscmp(again, stream) == 0,
              "the stream found by name carries that name");
    }
    for (NTFSAttributeBase* attr : attrs) ExerciseAttribute(*attr, readLimit);
}

void ExerciseRecordNumber(const NTFSVolume& volume, uint64_t number, uint64_t readLimit) {
    for (uint32_t mask : kMasks) {
        NTFSFileRecord record(&volume);
        record.SetAttrMask(mask);
        if (!record.ReadFileRecord(number)) continue;
        Check(record.GetFileRef() == number, "a record read keeps its number");
        (void)record.ParseAttrs();
        ExerciseRecord(record, readLimit);
    }
    // The scan's sequence: names and times, then the data streams, on the same object.
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs()) return;
    wchar_t name[kNameCapacity + 1];
    (void)record.GetFileName(name, kNameCapacity);
    record.SetAttrMask(kNTFSMaskData);
    (void)record.ParseAttrs();
    if (NTFSAttributeBase* data = record.FindStream(nullptr)) ReadStream(*data, readLimit);
}

}  // namespace QuorretFuzz
