#!/usr/bin/env bash
# Unpacks the NTFS images the reader's image tests read, and records what The Sleuth Kit says
# about every MFT record of each one it can open (istat, and icat of the unnamed $DATA).
#
#   prepare-images.sh REPO OUTDIR
#
# OUTDIR/images.tsv lists: name, kind (fixture | windows | mft), path, byte offset of the
# volume, whether TSK output exists (1/0). OUTDIR/tsk/NAME/ holds fls.txt, istat/N.txt,
# icat/N.bin and icat/N.rc. Work already done for an unchanged source is kept, so the build
# trees of one checkout share it; a lock keeps two runs apart.
set -euo pipefail
REPO=$(cd "$1" && pwd)
OUT=$2
WIN=$REPO/../shared/fixtures/windows
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
exec 9>"$OUT/.lock"
flock 9

LIST=$OUT/images.tsv.new
: > "$LIST"

# stamp SOURCE...: a line that changes when any source file changes.
stamp() { stat -c '%n %s %Y' "$@"; }

# unpack NAME DEST COMMAND... : runs COMMAND (writing DEST) unless DEST is up to date.
unpack() {
    local name=$1 dest=$2 sources=$3
    shift 3
    local want
    want=$(stamp $sources)
    if [ -f "$dest" ] && [ -f "$dest.stamp" ] && [ "$(cat "$dest.stamp")" = "$want" ]; then return; fi
    rm -f "$dest" "$dest.stamp"
    mkdir -p "$(dirname "$dest")"
    echo "unpacking $name" >&2
    "$@"
    echo "$want" > "$dest.stamp"
}

sparse_from() {  # sparse_from DEST COMMAND... : the command's output, written sparse
    local dest=$1
    shift
    "$@" | dd of="$dest.part" bs=1M iflag=fullblock conv=sparse status=none
    mv "$dest.part" "$dest"
}

from_pieces() {  # from_pieces DEST DIR : a sparse volume from 1 KiB pieces named by offset
    local dest=$1 dir=$2 boot size piece offset
    boot=$dir/0x00000000.bin
    size=$(python3 - "$boot" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
print((struct.unpack_from('<Q', b, 0x28)[0] + 1) * struct.unpack_from('<H', b, 0x0B)[0])
PY
)
    rm -f "$dest.part"
    truncate -s "$size" "$dest.part"
    for piece in "$dir"/0x*.bin; do
        offset=$(basename "$piece" .bin)
        dd if="$piece" of="$dest.part" bs=1024 seek=$((offset / 1024)) conv=notrunc status=none
    done
    mv "$dest.part" "$dest"
}

untar_raw() {  # untar_raw DEST TGZ MEMBER
    local dest=$1 tgz=$2 member=$3 tmp
    tmp=$(mktemp -d "$OUT/untar.XXXXXX")
    tar -xzf "$tgz" -C "$tmp" "$member"
    mv "$tmp/$member" "$dest"
    rm -rf "$tmp"
}

add() { printf '%s\t%s\t%s\t%s\t%s\n' "$@" >> "$LIST"; }

# ---- fixture volumes made by tools/fixtures (mkntfs + ntfs-3g)
for xz in "$REPO"/tests/fixtures/*.img.xz; do
    [ -e "$xz" ] || continue
    name=$(basename "$xz" .img.xz)
    dest=$OUT/fixtures/$name.img
    unpack "$name" "$dest" "$xz" sparse_from "$dest" xz -dc "$xz"
    add "$name" fixture "$dest" 0 1
done

# ---- Windows-written data beside the repository
if [ -d "$WIN" ]; then
    W=$OUT/windows
    unpack ntfs_index "$W/ntfs_index.raw" "$WIN/dfir_ntfs/ntfs_index.raw.gz" \
        sparse_from "$W/ntfs_index.raw" gzip -dc "$WIN/dfir_ntfs/ntfs_index.raw.gz"
    add ntfs_index windows "$W/ntfs_index.raw" 65536 1
    unpack vss_2003 "$W/vss_2003.raw" "$WIN/dfir_ntfs/vss_2003.tgz" \
        untar_raw "$W/vss_2003.raw" "$WIN/dfir_ntfs/vss_2003.tgz" vss_2003.raw
    add vss_2003 windows "$W/vss_2003.raw" 32256 1
    add file_4k windows "$WIN/dfir_ntfs/file_4k.bin" 0 1
    unpack dissect_ntfs "$W/dissect_ntfs.bin" "$WIN/dissect.ntfs/ntfs.bin.gz" \
        sparse_from "$W/dissect_ntfs.bin" gzip -dc "$WIN/dissect.ntfs/ntfs.bin.gz"
    add dissect_ntfs windows "$W/dissect_ntfs.bin" 0 1
    unpack charlie "$W/charlie.dd" "$WIN/go-ntfs/charlie.dd.bz2" \
        sparse_from "$W/charlie.dd" bzip2 -dc "$WIN/go-ntfs/charlie.dd.bz2"
    add charlie windows "$W/charlie.dd" 0 1
    unpack ramslack "$W/ntfs-ramslack.raw" "$WIN/ntfs-samples/ntfs-ramslack.raw.gz" \
        sparse_from "$W/ntfs-ramslack.raw" gzip -dc "$WIN/ntfs-samples/ntfs-ramslack.raw.gz"
    add ramslack windows "$W/ntfs-ramslack.raw" 65536 1
    # TSK cannot open a volume with 2 MiB clusters.
    unpack ntfs-2m "$W/ntfs-2m.raw" "$WIN/ntfs-samples/ntfs-2m.raw.gz" \
        sparse_from "$W/ntfs-2m.raw" gzip -dc "$WIN/ntfs-samples/ntfs-2m.raw.gz"
    add ntfs-2m windows "$W/ntfs-2m.raw" 65536 0
    for volume in highly_fragmented_mft large_file_small_init; do
        unpack "$volume" "$W/$volume.img" "$(echo "$WIN"/go-ntfs/$volume/0x*.bin)" \
            from_pieces "$W/$volume.img" "$WIN/go-ntfs/$volume"
        add "$volume" pieces "$W/$volume.img" 0 0
    done
    unpack dissect_mft "$W/dissect_mft.bin" "$WIN/dissect.ntfs/mft.bin.gz" \
        sparse_from "$W/dissect_mft.bin" gzip -dc "$WIN/dissect.ntfs/mft.bin.gz"
    add dissect_mft mft "$W/dissect_mft.bin" 0 0
    for mft in "$WIN"/dfir_ntfs/*.mft "$WIN"/libmft/MFT_*.bin "$WIN"/libmft/stress_filename.bin; do
        add "$(basename "$mft")" mft "$mft" 0 0
    done
fi

# ---- what TSK says, per record
tsk_record() {  # tsk_record IMG SECTORS DIR N
    local img=$1 sectors=$2 dir=$3 n=$4
    istat -z UTC -o "$sectors" "$img" "$n" > "$dir/istat/$n.txt" 2> "$dir/istat/$n.err" || echo "$?" > "$dir/istat/$n.rc"
    if grep -q '^Type: \$DATA (128-[0-9]*)   Name: N/A' "$dir/istat/$n.txt"; then
        local rc=0
        icat -o "$sectors" "$img" "$n" > "$dir/icat/$n.bin" 2> "$dir/icat/$n.err" || rc=$?
        echo "$rc" > "$dir/icat/$n.rc"
    fi
}
export -f tsk_record

while IFS=$'\t' read -r name kind path offset tsk; do
    [ "$tsk" = 1 ] || continue
    dir=$OUT/tsk/$name
    want=$(stamp "$path"; command -v istat)
    if [ -f "$dir/.done" ] && [ "$(cat "$dir/.done")" = "$want" ]; then continue; fi
    echo "asking TSK about $name" >&2
    rm -rf "$dir"
    mkdir -p "$dir/istat" "$dir/icat"
    sectors=$((offset / 512))
    fls -r -p -o "$sectors" "$path" > "$dir/fls.txt" 2>/dev/null || true
    last=$(fsstat -o "$sectors" "$path" | sed -n 's/^Range: 0 - \([0-9]*\).*/\1/p' | head -1)
    # The last inode TSK lists is its virtual orphan folder, not a record.
    seq 0 $((last - 1)) > "$dir/records.txt"
    xargs -P 2 -I{} bash -c 'tsk_record "$@"' _ "$path" "$sectors" "$dir" {} < "$dir/records.txt"
    echo "$want" > "$dir/.done"
done < "$LIST"

mv "$LIST" "$OUT/images.tsv"
echo "images ready: $(wc -l < "$OUT/images.tsv")" >&2
