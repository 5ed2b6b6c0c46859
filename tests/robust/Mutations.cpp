#include "tests/robust/Mutations.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <set>

#include "base/ByteReader.h"
#include "ntfs/NTFSDataRun.h"
#include "ntfs/NTFSUpdateSequence.h"

namespace QuorretTest {

namespace {

constexpr uint64_t kRecordNumberMask = 0x0000FFFFFFFFFFFFull;

Bytes LE(uint64_t value, int width) {
    Bytes b(width);
    for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
}

struct Run {
    int64_t lcn;  // -1: sparse
    uint64_t clusters;
};

std::vector<Run> DecodeRuns(const Vorlaq::ByteReader& bytes) {
    std::vector<Run> runs;
    size_t cursor = 0;
    int64_t lcn = 0;
    while (bytes.U8(cursor).value_or(0) != 0) {
        uint64_t length = 0;
        int64_t offset = 0;
        if (!Vorlaq::DecodeDataRun(bytes, &cursor, &length, &offset)) break;
        lcn += offset;
        runs.push_back({offset == 0 ? -1 : lcn, length});
    }
    return runs;
}

struct Attr {
    size_t offset;
    uint32_t type;
    uint32_t length;
    bool nonResident;
};

// Where things are in the pristine image, read from its own bytes.
class Layout {
public:
    explicit Layout(const Bytes& image) : image_(image) {
        Vorlaq::ByteReader boot(image.data(), image.size());
        sector_ = boot.U16(0x0B).value_or(0);
        cluster_ = uint32_t{sector_} * boot.U8(0x0D).value_or(0);
        int8_t recordByte = boot.Get<int8_t>(0x40).value_or(0);
        recordSize_ = recordByte > 0 ? recordByte * cluster_ : (1u << -recordByte);
        mftAddr_ = boot.U64(0x30).value_or(0) * cluster_;
        if (cluster_ == 0 || recordSize_ == 0 || mftAddr_ + recordSize_ > image.size()) return;
        Bytes zero(image.begin() + mftAddr_, image.begin() + mftAddr_ + recordSize_);
        if (!Vorlaq::ApplyUpdateSequence(zero.data(), zero.size())) return;
        for (const Attr& a : Attrs(zero)) {
            if (a.type != 0x80 || !a.nonResident) continue;
            Vorlaq::ByteReader attr(zero.data() + a.offset, a.length);
            mftRuns_ = DecodeRuns(*attr.Sub(attr.U16(0x20).value_or(0), a.length - attr.U16(0x20).value_or(0)));
            records_ = attr.U64(0x30).value_or(0) / recordSize_;
            mftDataAttr_ = a.offset;
            break;
        }
    }

    uint32_t Cluster() const { return cluster_; }
    uint32_t RecordSize() const { return recordSize_; }
    uint64_t MftAddr() const { return mftAddr_; }
    uint64_t Records() const { return records_; }
    size_t MftDataAttr() const { return mftDataAttr_; }

    // Volume offset of a byte of the MFT stream.
    std::optional<uint64_t> MftByte(uint64_t mftOffset) const { return StreamByte(mftRuns_, mftOffset); }

    std::optional<uint64_t> StreamByte(const std::vector<Run>& runs, uint64_t offset) const {
        uint64_t vcn = offset / cluster_;
        for (const Run& run : runs) {
            if (vcn < run.clusters) {
                if (run.lcn < 0) return std::nullopt;
                return (static_cast<uint64_t>(run.lcn) + vcn) * cluster_ + offset % cluster_;
            }
            vcn -= run.clusters;
        }
        return std::nullopt;
    }

    std::optional<Bytes> Raw(uint64_t n) const {
        Bytes raw(recordSize_);
        for (uint32_t i = 0; i < recordSize_;) {
            // A record may span clusters; within one cluster its bytes lie side by side.
            const uint64_t mftOffset = n * recordSize_ + i;
            const uint32_t piece = std::min<uint32_t>(recordSize_ - i, cluster_ - mftOffset % cluster_);
            auto at = MftByte(mftOffset);
            if (!at || *at + piece > image_.size()) return std::nullopt;
            std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(*at), piece, raw.begin() + i);
            i += piece;
        }
        return raw;
    }

    // The record after the fix-up.
    std::optional<Bytes> Logical(uint64_t n) const {
        auto raw = Raw(n);
        if (!raw || !Vorlaq::ApplyUpdateSequence(raw->data(), raw->size())) return std::nullopt;
        return raw;
    }

    std::vector<Attr> Attrs(const Bytes& record) const {
        std::vector<Attr> attrs;
        Vorlaq::ByteReader r(record.data(), record.size());
        size_t offset = r.U16(0x14).value_or(0);
        while (true) {
            auto type = r.U32(offset);
            auto length = r.U32(offset + 4);
            if (!type || !length || *type == 0xFFFFFFFF || *length < 0x18 || !r.Contains(offset, *length)) break;
            attrs.push_back({offset, *type, *length, r.U8(offset + 8).value_or(0) != 0});
            offset += *length;
        }
        return attrs;
    }

    // Patches that make the bytes at `at` of record n read `bytes` once the fix-up is applied:
    // the last two bytes of a sector live in the update sequence array.
    std::vector<Patch> SetLogical(uint64_t n, size_t at, const Bytes& bytes) const {
        auto raw = Raw(n);
        std::vector<Patch> patches;
        if (!raw) return patches;
        const size_t usa = Vorlaq::ByteReader(raw->data(), raw->size()).U16(0x04).value_or(0);
        for (size_t i = 0; i < bytes.size(); ++i) {
            size_t p = at + i;
            size_t rawPos = p % 512 >= 510 ? usa + 2 * (p / 512 + 1) + (p % 512 - 510) : p;
            if (rawPos >= recordSize_) continue;
            if (auto volume = MftByte(n * recordSize_ + rawPos)) patches.push_back({*volume, Bytes{bytes[i]}});
        }
        return patches;
    }

    std::vector<Patch> SetRaw(uint64_t n, size_t at, const Bytes& bytes) const {
        std::vector<Patch> patches;
        for (size_t i = 0; i < bytes.size() && at + i < recordSize_; ++i)
            if (auto volume = MftByte(n * recordSize_ + at + i)) patches.push_back({*volume, Bytes{bytes[i]}});
        return patches;
    }

    // The runs of a non-resident attribute of a fixed-up record.
    std::vector<Run> Runs(const Bytes& record, const Attr& a) const {
        Vorlaq::ByteReader attr(record.data() + a.offset, a.length);
        size_t runsAt = attr.U16(0x20).value_or(0);
        auto runs = attr.Sub(runsAt, a.length - std::min<size_t>(runsAt, a.length));
        return runs ? DecodeRuns(*runs) : std::vector<Run>{};
    }

private:
    const Bytes& image_;
    uint16_t sector_ = 0;
    uint32_t cluster_ = 0;
    uint32_t recordSize_ = 0;
    uint64_t mftAddr_ = 0;
    uint64_t records_ = 0;
    size_t mftDataAttr_ = 0;
    std::vector<Run> mftRuns_;
};

const Attr* FindAttr(const std::vector<Attr>& attrs, uint32_t type, bool nonResident) {
    for (const Attr& a : attrs)
        if (a.type == type && a.nonResident == nonResident) return &a;
    return nullptr;
}

uint64_t ParentOf(const Layout& layout, uint64_t n) {
    auto record = layout.Logical(n);
    if (!record) return 0;
    for (const Attr& a : layout.Attrs(*record)) {
        if (a.type != 0x30 || a.nonResident) continue;
        Vorlaq::ByteReader attr(record->data() + a.offset, a.length);
        return attr.U64(attr.U16(0x14).value_or(0)).value_or(0) & kRecordNumberMask;
    }
    return 0;
}

// The bytes of a $FILE_NAME value's parent reference in record n, as a record offset.
std::optional<size_t> ParentField(const Layout& layout, const Bytes& record) {
    for (const Attr& a : layout.Attrs(record)) {
        if (a.type != 0x30 || a.nonResident) continue;
        Vorlaq::ByteReader attr(record.data() + a.offset, a.length);
        return a.offset + attr.U16(0x14).value_or(0);
    }
    return std::nullopt;
}

class Builder {
public:

    void Add(std::string name, std::vector<Patch> patches, uint64_t size = UINT64_MAX) {
        if (patches.empty() && size == UINT64_MAX) return;
        out_.push_back({std::move(name), std::move(patches), size});
    }
    void AddBytes(std::string name, uint64_t offset, Bytes bytes) { Add(std::move(name), {{offset, std::move(bytes)}}); }
    void Join(std::vector<Patch>& into, std::vector<Patch> more) { into.insert(into.end(), more.begin(), more.end()); }

    std::vector<Mutation> Take() { return std::move(out_); }

private:
    std::vector<Mutation> out_;
};

std::string Tag(const char* what, uint64_t n) { return std::string(what) + " r" + std::to_string(n); }

}  // namespace

MutationSet MakeMutations(const Bytes& image, const std::vector<uint64_t>& deletedRecords) {
    Layout L(image);
    Builder b;
    std::mt19937_64 random(0x51A7E5EEDull);
    auto pick = [&](uint64_t bound) { return bound ? random() % bound : 0; };
    const uint32_t rs = L.RecordSize();

    // The records worth damaging: deleted files spread over the MFT, their folders, records
    // holding attribute lists, and the system records the volume opens with.
    std::vector<uint64_t> files;
    for (size_t i = 0; i < deletedRecords.size() && files.size() < 8; i += std::max<size_t>(1, deletedRecords.size() / 8))
        files.push_back(deletedRecords[i]);
    std::set<uint64_t> folders;
    for (uint64_t f : files)
        if (uint64_t p = ParentOf(L, f); p >= 16) folders.insert(p);
    std::vector<uint64_t> listed;
    for (uint64_t n = 16; n < L.Records() && listed.size() < 3; ++n) {
        auto record = L.Logical(n);
        if (!record) continue;
        auto attrs = L.Attrs(*record);
        if (std::any_of(attrs.begin(), attrs.end(), [](const Attr& a) { return a.type == 0x20; })) listed.push_back(n);
    }
    std::vector<uint64_t> targets = {0, 3, 5};
    targets.insert(targets.end(), files.begin(), files.end());
    targets.insert(targets.end(), folders.begin(), std::next(folders.begin(), std::min<size_t>(folders.size(), 3)));
    targets.insert(targets.end(), listed.begin(), listed.end());

    // Bit flips: once in the raw record (the fix-up usually fails), and in the attribute area
    // after the fix-up, so that the damage reaches the attribute walk.
    for (uint64_t n : targets) {
        auto record = L.Logical(n);
        if (!record) continue;
        std::vector<Patch> raw;
        size_t at = pick(rs);
        b.Join(raw, L.SetRaw(n, at, Bytes{static_cast<uint8_t>((*L.Raw(n))[at] ^ (1u << pick(8)))}));
        b.Add(Tag("flip raw", n), raw);
        const size_t first = Vorlaq::ByteReader(record->data(), record->size()).U16(0x14).value_or(0x38);
        for (int flips : {1, 4, 16}) {
            Bytes copy = *record;
            std::vector<Patch> patches;
            for (int i = 0; i < flips; ++i) {
                size_t p = first + pick(rs > first ? rs - first : 1);
                if (p >= copy.size()) continue;
                copy[p] ^= static_cast<uint8_t>(1u << pick(8));
                b.Join(patches, L.SetLogical(n, p, Bytes{copy[p]}));
            }
            b.Add(Tag(("flip x" + std::to_string(flips)).c_str(), n), patches);
        }
    }

    // Zeroed sectors and clusters.
    b.AddBytes("zero boot sector", 0, Bytes(512, 0));
    for (uint64_t n : {uint64_t{0}, uint64_t{3}, uint64_t{5}})
        if (auto at = L.MftByte(n * rs)) b.AddBytes(Tag("zero first sector", n), *at, Bytes(512, 0));
    if (auto at = L.MftByte(16 * rs)) b.AddBytes("zero MFT cluster of record 16", *at / L.Cluster() * L.Cluster(), Bytes(L.Cluster(), 0));
    for (uint64_t n : files) {
        if (auto at = L.MftByte(n * rs + 512)) b.AddBytes(Tag("zero second sector", n), *at, Bytes(512, 0));
        auto record = L.Logical(n);
        if (!record) continue;
        const std::vector<Attr> attrs = L.Attrs(*record);
        if (const Attr* data = FindAttr(attrs, 0x80, true)) {
            auto runs = L.Runs(*record, *data);
            if (auto at = L.StreamByte(runs, 0)) b.AddBytes(Tag("zero first data sector", n), *at, Bytes(512, 0));
        }
    }

    // The image cut short.
    for (uint64_t size : {uint64_t{0}, uint64_t{511}, uint64_t{512}, uint64_t{4096}, L.MftAddr() + 3 * rs,
                          L.MftAddr() + 16 * rs + 512, L.MftAddr() + L.Records() * rs, uint64_t{image.size() / 2},
                          uint64_t{image.size() - 1}})
        b.Add("truncate at " + std::to_string(size), {}, size);

    // Run lists that point past the end, or claim more clusters than the volume has.
    auto runPatches = [&](uint64_t n, const Bytes& record, const Attr& a, bool lcn, bool widenLastVcn) {
        std::vector<Patch> patches;
        Vorlaq::ByteReader attr(record.data() + a.offset, a.length);
        const size_t runs = a.offset + attr.U16(0x20).value_or(0);
        if (runs >= record.size() || record[runs] == 0) return patches;
        const unsigned lengthBytes = record[runs] & 0x0F, offsetBytes = record[runs] >> 4;
        const size_t field = runs + 1 + (lcn ? lengthBytes : 0);
        const unsigned width = lcn ? offsetBytes : lengthBytes;
        if (width == 0 || field + width > record.size()) return patches;
        Bytes huge(width, 0xFF);
        huge[width - 1] = 0x7F;
        b.Join(patches, L.SetLogical(n, field, huge));
        if (widenLastVcn) b.Join(patches, L.SetLogical(n, a.offset + 0x18, LE(0x7FFFFFFFFFFFull, 8)));
        return patches;
    };
    for (uint64_t n : files) {
        auto record = L.Logical(n);
        if (!record) continue;
        const std::vector<Attr> attrs = L.Attrs(*record);
        const Attr* data = FindAttr(attrs, 0x80, true);
        if (!data) continue;
        b.Add(Tag("run LCN past the end", n), runPatches(n, *record, *data, true, false));
        b.Add(Tag("run length past the header", n), runPatches(n, *record, *data, false, false));
        b.Add(Tag("run length and last VCN huge", n), runPatches(n, *record, *data, false, true));
    }
    if (auto zero = L.Logical(0)) {
        const std::vector<Attr> attrs = L.Attrs(*zero);
        if (const Attr* data = FindAttr(attrs, 0x80, true)) {
            b.Add("MFT run LCN past the end", runPatches(0, *zero, *data, true, false));
            b.Add("MFT run length and last VCN huge", runPatches(0, *zero, *data, false, true));
            b.Add("MFT data size huge", L.SetLogical(0, data->offset + 0x30, LE(uint64_t{1} << 40, 8)));
            b.Add("MFT data size 0", L.SetLogical(0, data->offset + 0x30, LE(0, 8)));
            b.Add("MFT data size of 17 records", L.SetLogical(0, data->offset + 0x30, LE(17 * rs, 8)));
        }
    }

    // Parent chains that point at themselves, loop, or lead to a file or past the MFT.
    for (uint64_t n : files) {
        auto record = L.Logical(n);
        auto field = record ? ParentField(L, *record) : std::nullopt;
        if (!field) continue;
        b.Add(Tag("parent is itself", n), L.SetLogical(n, *field, LE(n, 6)));
        b.Add(Tag("parent past the MFT", n), L.SetLogical(n, *field, LE(kRecordNumberMask, 6)));
        if (n != files.front()) b.Add(Tag("parent is a file", n), L.SetLogical(n, *field, LE(files.front(), 6)));
        const uint64_t parent = ParentOf(L, n);
        auto parentRecord = parent >= 5 ? L.Logical(parent) : std::nullopt;
        auto parentField = parentRecord ? ParentField(L, *parentRecord) : std::nullopt;
        if (!parentField || parent == 5) continue;
        b.Add(Tag("folder is its own parent, above", n), L.SetLogical(parent, *parentField, LE(parent, 6)));
        // The folder's parent names the folder back: a loop of two.
        const uint64_t grand = ParentOf(L, parent);
        auto grandRecord = grand >= 5 ? L.Logical(grand) : std::nullopt;
        auto grandField = grandRecord ? ParentField(L, *grandRecord) : std::nullopt;
        if (grandField) {
            std::vector<Patch> loop = L.SetLogical(grand, *grandField, LE(parent, 6));
            b.Add(Tag("folders name each other, above", n), loop);
        }
    }

    // Attribute lists that name their own record, each other, or nothing sensible.
    auto listEntryPatches = [&](uint64_t n, const std::function<void(Bytes& value)>& edit) {
        std::vector<Patch> patches;
        auto record = L.Logical(n);
        if (!record) return patches;
        for (const Attr& a : L.Attrs(*record)) {
            if (a.type != 0x20) continue;
            Vorlaq::ByteReader attr(record->data() + a.offset, a.length);
            if (!a.nonResident) {
                const size_t at = a.offset + attr.U16(0x14).value_or(0);
                const size_t length = attr.U32(0x10).value_or(0);
                if (at + length > record->size()) return patches;
                Bytes value(record->begin() + at, record->begin() + at + length);
                edit(value);
                return L.SetLogical(n, at, value);
            }
            auto runs = L.Runs(*record, a);
            const uint64_t length = std::min<uint64_t>(attr.U64(0x30).value_or(0), 64 * 1024);
            Bytes value(length);
            for (uint64_t i = 0; i < length; ++i) {
                auto at = L.StreamByte(runs, i);
                value[i] = at && *at < image.size() ? image[*at] : 0;
            }
            edit(value);
            for (uint64_t i = 0; i < length; ++i)
                if (auto at = L.StreamByte(runs, i)) patches.push_back({*at, Bytes{value[i]}});
            return patches;
        }
        return patches;
    };
    auto forEachEntry = [](Bytes& value, const std::function<void(size_t)>& edit) {
        for (size_t at = 0; at + 0x20 <= value.size();) {
            const uint16_t length = static_cast<uint16_t>(value[at + 4] | value[at + 5] << 8);
            edit(at);
            if (length < 0x1A) break;
            at += length;
        }
    };
    auto setRef = [](Bytes& value, size_t at, uint64_t number) {
        for (int i = 0; i < 6; ++i) value[at + 0x10 + i] = static_cast<uint8_t>(number >> (8 * i));
    };
    for (size_t i = 0; i < listed.size(); ++i) {
        const uint64_t n = listed[i];
        b.Add(Tag("list names only itself", n),
              listEntryPatches(n, [&](Bytes& v) { forEachEntry(v, [&](size_t at) { setRef(v, at, n); }); }));
        b.Add(Tag("list entry length 0", n), listEntryPatches(n, [&](Bytes& v) {
                  if (v.size() >= 6) v[4] = v[5] = 0;
              }));
        b.Add(Tag("list entries of type 0x20 and 0x25", n), listEntryPatches(n, [&](Bytes& v) {
                  int k = 0;
                  forEachEntry(v, [&](size_t at) { v[at] = (k++ % 2) ? 0x25 : 0x20; });
              }));
        b.Add(Tag("list names a record past the MFT", n),
              listEntryPatches(n, [&](Bytes& v) { forEachEntry(v, [&](size_t at) { setRef(v, at, kRecordNumberMask); }); }));
        if (i + 1 < listed.size()) {
            // Two records whose lists name each other, each claiming the other as its base.
            const uint64_t m = listed[i + 1];
            std::vector<Patch> both =
                listEntryPatches(n, [&](Bytes& v) { forEachEntry(v, [&](size_t at) { setRef(v, at, m); }); });
            b.Join(both, listEntryPatches(m, [&](Bytes& v) { forEachEntry(v, [&](size_t at) { setRef(v, at, n); }); }));
            b.Join(both, L.SetLogical(n, 0x20, LE(m, 8)));
            b.Join(both, L.SetLogical(m, 0x20, LE(n, 8)));
            b.Add(Tag("lists name each other", n), both);
        }
    }

    // Stored names that a careless join would read as a path leading out of the folder.
    const std::vector<std::u16string> names = {u"..", u".", u"..\\..\\escape.txt", u"sub/x.txt", u"/", u"C:x"};
    for (size_t i = 0; i < files.size() && i < names.size(); ++i) {
        const uint64_t n = files[i];
        auto record = L.Logical(n);
        if (!record) continue;
        for (const Attr& a : L.Attrs(*record)) {
            if (a.type != 0x30 || a.nonResident) continue;
            Vorlaq::ByteReader attr(record->data() + a.offset, a.length);
            const size_t value = a.offset + attr.U16(0x14).value_or(0);
            const uint32_t valueLength = attr.U32(0x10).value_or(0);
            const std::u16string& name = names[i];
            if (valueLength < 0x42 + 2 * name.size() || record->at(value + 0x41) == 2) continue;
            Bytes field{static_cast<uint8_t>(name.size()), record->at(value + 0x41)};
            for (char16_t c : name) {
                field.push_back(static_cast<uint8_t>(c));
                field.push_back(static_cast<uint8_t>(c >> 8));
            }
            b.Add(Tag("stored name that reads as a path", n), L.SetLogical(n, value + 0x40, field));
        }
    }

    // Sizes and lengths far beyond anything the record holds.
    for (uint64_t n : files) {
        auto record = L.Logical(n);
        if (!record) continue;
        auto attrs = L.Attrs(*record);
        if (const Attr* data = FindAttr(attrs, 0x80, true)) {
            b.Add(Tag("data size 2^62", n), L.SetLogical(n, data->offset + 0x30, LE(uint64_t{1} << 62, 8)));
            b.Add(Tag("initialized size 2^62", n), L.SetLogical(n, data->offset + 0x38, LE(uint64_t{1} << 62, 8)));
            b.Add(Tag("compression unit 31", n), L.SetLogical(n, data->offset + 0x22, LE(31, 2)));
            std::vector<Patch> compressed = L.SetLogical(n, data->offset + 0x0C, LE(1, 2));
            b.Join(compressed, L.SetLogical(n, data->offset + 0x22, LE(4, 2)));
            b.Add(Tag("stored data read as compressed", n), compressed);
        }
        if (const Attr* data = FindAttr(attrs, 0x80, false))
            b.Add(Tag("resident value length huge", n), L.SetLogical(n, data->offset + 0x10, LE(0xFFFFFFF0u, 4)));
        if (!attrs.empty()) {
            const Attr& last = attrs.back();
            b.Add(Tag("attribute length huge", n), L.SetLogical(n, last.offset + 4, LE(0xFFFFFFF0u, 4)));
            b.Add(Tag("attribute length 0", n), L.SetLogical(n, attrs.front().offset + 4, LE(0, 4)));
            b.Add(Tag("attribute length 8", n), L.SetLogical(n, attrs.front().offset + 4, LE(8, 4)));
            std::vector<Patch> name = L.SetLogical(n, last.offset + 9, Bytes{0xFF});
            b.Join(name, L.SetLogical(n, last.offset + 0x0A, LE(last.length - 2, 2)));
            b.Add(Tag("attribute name past its end", n), name);
        }
        if (const Attr* name = FindAttr(attrs, 0x30, false)) {
            Vorlaq::ByteReader attr(record->data() + name->offset, name->length);
            const size_t value = name->offset + attr.U16(0x14).value_or(0);
            b.Add(Tag("file name length 255", n), L.SetLogical(n, value + 0x40, Bytes{0xFF}));
        }
        // Record header fields at their extremes.
        b.Add(Tag("update sequence offset 0xFFFF", n), L.SetRaw(n, 0x04, LE(0xFFFF, 2)));
        b.Add(Tag("update sequence count 0", n), L.SetRaw(n, 0x06, LE(0, 2)));
        b.Add(Tag("update sequence count 0xFFFF", n), L.SetRaw(n, 0x06, LE(0xFFFF, 2)));
        b.Add(Tag("first attribute at 0", n), L.SetLogical(n, 0x14, LE(0, 2)));
        b.Add(Tag("first attribute at the end", n), L.SetLogical(n, 0x14, LE(rs - 4, 2)));
        b.Add(Tag("first attribute past the end", n), L.SetLogical(n, 0x14, LE(0xFFFF, 2)));
        b.Add(Tag("base reference set", n), L.SetLogical(n, 0x20, LE(n, 8)));
    }

    // The boot sector's size fields at their extremes.
    for (uint8_t v : {0x00, 0x01, 0x80, 0x81, 0xEB, 0xF4, 0xFF}) b.AddBytes("sectors per cluster " + std::to_string(v), 0x0D, Bytes{v});
    for (uint8_t v : {0x00, 0x01, 0x02, 0x7F, 0x80, 0xE1, 0xF5, 0xF7, 0xFF})
        b.AddBytes("clusters per record " + std::to_string(v), 0x40, Bytes{v});
    for (uint8_t v : {0x00, 0x7F, 0x80, 0xE0}) b.AddBytes("clusters per index block " + std::to_string(v), 0x44, Bytes{v});
    for (uint16_t v : {0, 1, 128, 256, 1024, 4096, 8192, 0xFFFF})
        b.AddBytes("bytes per sector " + std::to_string(v), 0x0B, LE(v, 2));
    for (uint64_t v : {uint64_t{0}, uint64_t{1}, uint64_t{1} << 40, uint64_t{1} << 63})
        b.AddBytes("MFT cluster " + std::to_string(v), 0x30, LE(v, 8));
    return {b.Take(), files};
}

}  // namespace QuorretTest
