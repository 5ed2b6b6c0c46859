#!/usr/bin/env python3
"""Candidate seed inputs for the fuzz targets, cut from the fixture volumes.

Usage: tools/fuzz/make-seeds.py OUT_DIR [FIXTURE.img.xz ...]

Writes OUT_DIR/<target>/<name> for every target. The candidates are many and overlap; run-fuzz
--merge keeps the ones that add coverage in fuzz/corpus/<target>/. Input layouts are those of
fuzz/harness/*Targets.cpp:

  fuzz_record    one raw record (1024 bytes, fix-up applied on disk) + the data area: clusters
                 from LCN 64 of the synthetic volume (4 KiB clusters) the record's runs point to
  fuzz_attrlist  count byte (records - 1), the base record (number 16), its extension records
                 (17, 18, ...), then the data area as above
  fuzz_runlist   flags, compression unit, starting VCN, last VCN, data size, initialized size,
                 run list length, run list, clusters (LCN n at n * 4096 of what follows)
  fuzz_lznt1     output size selector, then one compressed unit as stored
  fuzz_volume,
  fuzz_scan      a whole small volume: the fixture's system records and a few of its files,
                 their folders and extension records, renumbered from 16, with their clusters
                 moved next to the MFT
  fuzz_text      UTF-16LE filter text, file name and path separated by NUL characters
"""
import hashlib
import lzma
import os
import struct
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures"))
from fxtool import encode_runs, stored  # noqa: E402  (run lists and fix-ups as the disk holds them)

SCRATCH_DATA_LCN = 64          # ScratchVolume::kDataLcn
SCRATCH_DATA_CLUSTERS = 16     # ScratchVolume::kDataClusters
SCRATCH_CLUSTER = 4096
SCRATCH_RECORD = 1024
FIRST_SLOT = 16
LZNT1_SIZES = [1, 4095, 4096, 4097, 8192, 12288, 16384, 32768, 65535, 65536, 131072]  # kOutputSizes
END = 0xFFFFFFFF


def u16(b, o): return struct.unpack_from("<H", b, o)[0]
def u32(b, o): return struct.unpack_from("<I", b, o)[0]
def u64(b, o): return struct.unpack_from("<Q", b, o)[0]


# ------------------------------------------------------------------ records and runs

def fixup_decode(raw):
    rec = bytearray(raw)
    usa, count = u16(rec, 4), u16(rec, 6)
    usn = rec[usa:usa + 2]
    for i in range(1, count):
        pos = i * 512 - 2
        if pos + 2 > len(rec) or rec[pos:pos + 2] != usn:
            return None
        rec[pos:pos + 2] = rec[usa + 2 * i:usa + 2 * i + 2]
    return rec


def attributes(rec):
    """(offset, type, length, nonresident) of each attribute of a fixed-up record."""
    off = u16(rec, 0x14)
    while off + 8 <= len(rec):
        typ, length = u32(rec, off), u32(rec, off + 4)
        if typ == END or length < 0x18 or off + length > len(rec):
            return
        yield off, typ, length, rec[off + 8] != 0
        off += length


def decode_runs(b):
    runs, pos, lcn = [], 0, 0
    while pos < len(b) and b[pos]:
        h = b[pos]
        ln, on = h & 15, h >> 4
        if ln > 8 or on > 8 or pos + 1 + ln + on > len(b):
            break
        length = int.from_bytes(b[pos + 1:pos + 1 + ln], "little")
        if on:
            delta = int.from_bytes(b[pos + 1 + ln:pos + 1 + ln + on], "little", signed=True)
            lcn += delta
            runs.append((lcn if delta else None, length))
        else:
            runs.append((None, length))
        pos += 1 + ln + on
    return runs


class Volume:
    def __init__(self, data):
        self.data = data
        self.sector = u16(data, 0x0B)
        spc = data[0x0D]
        self.cluster = self.sector * (spc if spc <= 0x80 else 1 << (256 - spc))
        self.mft_lcn = u64(data, 0x30)
        v = struct.unpack_from("<b", data, 0x40)[0]
        self.record_size = v * self.cluster if v > 0 else 1 << -v
        first = self.data[self.mft_lcn * self.cluster:self.mft_lcn * self.cluster + self.record_size]
        rec0 = fixup_decode(first)
        self.mft_runs = []
        for off, typ, length, nonres in attributes(rec0):
            if typ == 0x80 and nonres:
                self.mft_runs = decode_runs(rec0[off + u16(rec0, off + 0x20):off + length])
                self.mft_size = u64(rec0, off + 0x30)
                break
        self.count = self.mft_size // self.record_size

    def clusters(self, lcn, count):
        return self.data[lcn * self.cluster:(lcn + count) * self.cluster]

    def raw(self, n):
        out, want = bytearray(), n * self.record_size
        vcn = 0
        for lcn, length in self.mft_runs:
            lo, hi = vcn * self.cluster, (vcn + length) * self.cluster
            if lo <= want < hi and lcn is not None:
                at = lcn * self.cluster + want - lo
                return bytes(self.data[at:at + self.record_size])
            vcn += length
        return bytes(self.record_size)

    def record(self, n):
        return fixup_decode(self.raw(n))


class Area:
    """Clusters placed one after another from `first`, at most `limit` of them."""

    def __init__(self, first, limit, cluster):
        self.first, self.limit, self.cluster = first, limit, cluster
        self.bytes = bytearray()

    def used(self):
        return len(self.bytes) // self.cluster

    def place(self, content):
        n = len(content) // self.cluster
        if self.used() + n > self.limit:
            return None
        lcn = self.first + self.used()
        self.bytes += content
        return lcn


def relocate(rec, vol, area):
    """Moves the clusters of every non-resident attribute of `rec` into `area` and rewrites the
    run lists to match; an attribute whose clusters do not fit keeps its runs."""
    for off, typ, length, nonres in list(attributes(rec)):
        if not nonres or typ == 0x20:
            continue
        ro = u16(rec, off + 0x20)
        runs = decode_runs(rec[off + ro:off + length])
        stored = sum(n for lcn, n in runs if lcn is not None)
        if not runs or area.used() + stored > area.limit:
            continue
        moved = []
        for lcn, n in runs:
            moved.append((None, n) if lcn is None else (area.place(vol.clusters(lcn, n)), n))
        encoded = encode_runs(moved)
        if ro + len(encoded) > length:
            continue
        rec[off + ro:off + length] = encoded + bytes(length - ro - len(encoded))


def file_name_parent(rec):
    for off, typ, length, nonres in attributes(rec):
        if typ == 0x30 and not nonres:
            return off + u16(rec, off + 0x14)
    return None


def list_attr(rec):
    for off, typ, length, nonres in attributes(rec):
        if typ == 0x20:
            return off, length, nonres
    return None


def list_value(rec, vol):
    """The $ATTRIBUTE_LIST value of `rec` (read from its clusters when non-resident), or None."""
    found = list_attr(rec)
    if found is None:
        return None
    off, length, nonres = found
    if not nonres:
        vo = off + u16(rec, off + 0x14)
        return bytes(rec[vo:vo + u32(rec, off + 0x10)])
    runs = decode_runs(rec[off + u16(rec, off + 0x20):off + length])
    value = b"".join(vol.clusters(lcn, n) if lcn is not None else bytes(n * vol.cluster) for lcn, n in runs)
    return value[:u64(rec, off + 0x30)]


def list_refs(value):
    """(offset of the reference in the value, record number) of each entry."""
    out, pos = [], 0
    while value is not None and pos + 0x18 <= len(value):
        out.append((pos + 0x10, u64(value, pos + 0x10) & 0xFFFFFFFFFFFF))
        el = u16(value, pos + 4)
        if el < 0x1A:
            break
        pos += el
    return out


def list_entries(rec, vol):
    return [ref for _, ref in list_refs(list_value(rec, vol))]


def rewrite_list(rec, vol, area, renumber):
    """Renumbers the references of the record's attribute list; a non-resident list is written
    into `area` and its run list pointed there."""
    value = list_value(rec, vol)
    if value is None:
        return
    value = bytearray(value)
    for at, ref in list_refs(value):
        if ref in renumber:
            set_ref(value, at, renumber[ref])
    off, length, nonres = list_attr(rec)
    if not nonres:
        vo = off + u16(rec, off + 0x14)
        rec[vo:vo + len(value)] = value
        return
    n = max(1, (len(value) + vol.cluster - 1) // vol.cluster)
    lcn = area.place(bytes(value) + bytes(n * vol.cluster - len(value)))
    ro = u16(rec, off + 0x20)
    encoded = encode_runs([(lcn, n)])
    if lcn is None or ro + len(encoded) > length:
        return
    rec[off + ro:off + length] = encoded + bytes(length - ro - len(encoded))
    struct.pack_into("<QQ", rec, off + 0x10, 0, n - 1)
    struct.pack_into("<Q", rec, off + 0x28, n * vol.cluster)


def set_ref(rec, at, number):
    seq = u64(rec, at) >> 48
    struct.pack_into("<Q", rec, at, seq << 48 | number)


# ------------------------------------------------------------------ seeds

def write(out, target, content, seen):
    digest = hashlib.sha1(content).hexdigest()
    if (target, digest) in seen:
        return
    seen.add((target, digest))
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, digest[:16]), "wb") as f:
        f.write(content)


def record_seeds(vol, out, seen):
    if vol.record_size != SCRATCH_RECORD or vol.cluster != SCRATCH_CLUSTER:
        return
    for n in range(vol.count):
        rec = vol.record(n)
        if rec is None:
            write(out, "fuzz_record", vol.raw(n), seen)
            continue
        area = Area(SCRATCH_DATA_LCN, 4, vol.cluster)
        relocate(rec, vol, area)
        write(out, "fuzz_record", stored(rec) + bytes(area.bytes), seen)


def attrlist_seeds(vol, out, seen):
    if vol.record_size != SCRATCH_RECORD or vol.cluster != SCRATCH_CLUSTER:
        return
    for n in range(vol.count):
        rec = vol.record(n)
        if rec is None or not list_entries(rec, vol):
            continue
        numbers = []
        for ref in list_entries(rec, vol):
            if ref != n and ref not in numbers:
                numbers.append(ref)
        numbers = numbers[:7]
        renumber = {n: FIRST_SLOT}
        renumber.update({ref: FIRST_SLOT + 1 + i for i, ref in enumerate(numbers)})
        area = Area(SCRATCH_DATA_LCN, SCRATCH_DATA_CLUSTERS, vol.cluster)
        rewrite_list(rec, vol, area, renumber)
        relocate(rec, vol, area)
        records = [rec]
        for ref in numbers:
            ext = vol.record(ref) or bytearray(vol.record_size)
            if u64(ext, 0x20) & 0xFFFFFFFFFFFF == n:
                set_ref(ext, 0x20, FIRST_SLOT)
            relocate(ext, vol, area)
            records.append(ext)
        body = b"".join(stored(r) if u16(r, 6) else bytes(r) for r in records)
        write(out, "fuzz_attrlist", bytes([len(records) - 1]) + body + bytes(area.bytes), seen)


def runlist_seeds(vol, out, seen):
    for n in range(vol.count):
        rec = vol.record(n)
        if rec is None:
            continue
        for off, typ, length, nonres in attributes(rec):
            if not nonres or length < 0x40:
                continue
            flags, unit = u16(rec, off + 0x0C), u16(rec, off + 0x22)
            start, last = u64(rec, off + 0x10), u64(rec, off + 0x18)
            size, init = u64(rec, off + 0x30), u64(rec, off + 0x38)
            runs = decode_runs(rec[off + u16(rec, off + 0x20):off + length])
            # Keep the runs whose stored clusters fit 4 clusters, moved to LCN 1 on.
            area = Area(1, 4, vol.cluster)
            kept, vcns = [], 0
            for lcn, count in runs:
                if lcn is None:
                    kept.append((None, count))
                else:
                    at = area.place(vol.clusters(lcn, count))
                    if at is None:
                        break
                    kept.append((at, count))
                vcns += count
            if not kept:
                continue
            encoded = encode_runs(kept)
            last = start + vcns - 1
            size = min(size, vcns * vol.cluster)
            init = min(init, size)
            large = 1 if vol.cluster == 4096 else 0
            compressed = 2 if flags & 1 else 0
            head = struct.pack("<BBQQQQB", large | compressed, unit & 0xFF, start, last, size, init, len(encoded))
            write(out, "fuzz_runlist", head + encoded + bytes(vol.cluster) + bytes(area.bytes), seen)


def lznt1_seeds(vol, out, seen):
    selector = LZNT1_SIZES.index(65536)
    for n in range(vol.count):
        rec = vol.record(n)
        if rec is None:
            continue
        for off, typ, length, nonres in attributes(rec):
            if typ != 0x80 or not nonres or not (u16(rec, off + 0x0C) & 1) or u64(rec, off + 0x10) != 0:
                continue
            unit = 1 << u16(rec, off + 0x22)
            runs = decode_runs(rec[off + u16(rec, off + 0x20):off + length])
            vcn, units = 0, {}
            for lcn, count in runs:
                for i in range(count):
                    if lcn is not None:
                        units.setdefault((vcn + i) // unit, []).append(lcn + i)
                vcn += count
            for index, lcns in sorted(units.items())[:4]:
                if len(lcns) < unit:
                    stored = b"".join(vol.clusters(l, 1) for l in lcns)
                    write(out, "fuzz_lznt1", bytes([selector]) + stored, seen)


def compact_image(vol, picks, out, seen, target_names=("fuzz_volume", "fuzz_scan")):
    """The system records, `picks` and the folders and extension records they need, renumbered
    from 16, with the MFT at cluster 1 and the files' clusters after it."""
    chosen = []

    def add(n):
        if n >= 16 and n not in chosen and n < vol.count and len(chosen) < 24:
            chosen.append(n)

    for n in picks:
        add(n)
        rec = vol.record(n)
        depth = 0
        while rec is not None and depth < 32:
            for ref in list_entries(rec, vol):
                add(ref)
            at = file_name_parent(rec)
            if at is None:
                break
            parent = u64(rec, at) & 0xFFFFFFFFFFFF
            if parent < 16 or parent in chosen:
                break
            add(parent)
            rec, depth = vol.record(parent), depth + 1
    renumber = {n: FIRST_SLOT + i for i, n in enumerate(chosen)}
    total = FIRST_SLOT + len(chosen)
    mft_clusters = (total * vol.record_size + vol.cluster - 1) // vol.cluster
    area = Area(1 + mft_clusters, 8, vol.cluster)

    records = []
    for n in list(range(16)) + chosen:
        rec = vol.record(n)
        if rec is None:
            records.append(vol.raw(n))
            continue
        if n == 0:
            for off, typ, length, nonres in attributes(rec):
                if typ == 0x80 and nonres:
                    ro = u16(rec, off + 0x20)
                    encoded = encode_runs([(1, mft_clusters)])
                    rec[off + ro:off + length] = encoded + bytes(length - ro - len(encoded))
                    struct.pack_into("<QQQQ", rec, off + 0x18, mft_clusters - 1, 0, 0, 0)
                    struct.pack_into("<H", rec, off + 0x20, ro)
                    struct.pack_into("<QQQ", rec, off + 0x28, mft_clusters * vol.cluster,
                                     total * vol.record_size, total * vol.record_size)
                    break
        elif n >= 16:
            at = file_name_parent(rec)
            if at is not None and (u64(rec, at) & 0xFFFFFFFFFFFF) in renumber:
                set_ref(rec, at, renumber[u64(rec, at) & 0xFFFFFFFFFFFF])
            rewrite_list(rec, vol, area, renumber)
            base = u64(rec, 0x20) & 0xFFFFFFFFFFFF
            if base in renumber:
                set_ref(rec, 0x20, renumber[base])
            struct.pack_into("<I", rec, 0x2C, renumber[n])
            relocate(rec, vol, area)
        records.append(stored(rec))
    image = bytearray(vol.data[:vol.cluster])
    struct.pack_into("<Q", image, 0x30, 1)
    mft = b"".join(records)
    image += mft + bytes(mft_clusters * vol.cluster - len(mft)) + area.bytes
    for target in target_names:
        write(out, target, bytes(image), seen)


def deleted_records(vol):
    out = []
    for n in range(16, vol.count):
        rec = vol.record(n)
        if rec is not None and not (u16(rec, 0x16) & 1) and file_name_parent(rec) is not None:
            out.append(n)
    return out


def image_seeds(vol, out, seen):
    deleted = deleted_records(vol)
    # A few deleted files per image, at most six images, chosen across the MFT.
    step = max(3, len(deleted) // 6)
    for i in range(0, len(deleted), step):
        compact_image(vol, deleted[i:i + 3], out, seen)
    # Live records with attribute lists: a deleted file's list as Windows would leave it.
    listed = [n for n in range(16, vol.count) if vol.record(n) is not None and list_entries(vol.record(n), vol)]
    if listed:
        compact_image(vol, listed[:3], out, seen)


TEXTS = [
    ("*.txt;*.log", "Notes.Txt", "D:\\Out\\a.b.txt"),
    ("*.txt; *.LOG ;", "app.log", "D:/Out//x"),
    ("", "README", "D:\\Out\\"),
    (";;;", "archive.TAR.GZ", "\\\\server\\share\\dir\\file"),
    (" ; ", "report.docx", "C:\\"),
    ("*.*", ".profile", "D:\\Out\\.profile"),
    ("*.tx?", "a.tx?", "relative\\..\\..\\up"),
    ("txt;.Log;report.doc;*.tar.gz", "deep-deleted.bin", "C:x\\y"),
    ("*.", "..", ":colon\\name"),
    ("*", "a:b*c?d\"e<f>g|h", "/a/./b/../c"),
]


def text_seeds(out, seen, manifests):
    def encode(parts):
        return "\0".join(parts).encode("utf-16-le")
    for parts in TEXTS:
        write(out, "fuzz_text", encode(parts), seen)
    for path in manifests:
        name = path.rsplit("/", 1)[-1]
        write(out, "fuzz_text", encode(("*." + name.rsplit(".", 1)[-1], name, "C:\\" + path.replace("/", "\\"))), seen)


def main():
    out = sys.argv[1]
    fixtures = sys.argv[2:]
    seen = set()
    paths = []
    for fixture in fixtures:
        with lzma.open(fixture) as f:
            vol = Volume(f.read())
        record_seeds(vol, out, seen)
        attrlist_seeds(vol, out, seen)
        runlist_seeds(vol, out, seen)
        lznt1_seeds(vol, out, seen)
        image_seeds(vol, out, seen)
        manifest = fixture.replace(".img.xz", ".manifest.tsv")
        if os.path.exists(manifest):
            with open(manifest, encoding="utf-8") as f:
                rows = [line.rstrip("\n").split("\t") for line in f][1:]
            paths += [r[5] for r in rows if len(r) > 5 and r[2] == "file"][:40]
    text_seeds(out, seen, paths)
    for target in sorted(os.listdir(out)):
        print("%-14s %d candidates" % (target, len(os.listdir(os.path.join(out, target)))))


if __name__ == "__main__":
    main()
