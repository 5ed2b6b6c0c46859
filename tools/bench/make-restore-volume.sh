#!/usr/bin/env bash
# A volume for timing a restore: one deleted file of 512 MiB in about 128 fragments (it grew
# 4 MiB at a time in turn with a file that stays). Needs root (FUSE), mkntfs and ntfs-3g.
#   tools/bench/make-restore-volume.sh OUT.img
set -euo pipefail
out=$1
mnt=$(mktemp -d /var/tmp/quorret-bench-mnt.XXXXXX)
cleanup() {
    if mountpoint -q "$mnt"; then fusermount -u "$mnt"; fi
    rmdir "$mnt"
}
trap cleanup EXIT

rm -f "$out.part"
truncate -s 1200M "$out.part"
mkntfs -F -Q -L Restore "$out.part" > /dev/null 2>&1
ntfs-3g -o big_writes "$out.part" "$mnt"
python3 - "$mnt" << 'PY'
import sys
root = sys.argv[1]
chunk = bytes((i * 7919 >> 3) & 0xFF for i in range(1 << 16)) * 64  # 4 MiB
with open(root + "/keep.bin", "wb") as keep, open(root + "/large-deleted.bin", "wb") as gone:
    for n in range(128):
        keep.write(chunk)
        gone.write(chunk[n:] + chunk[:n])  # every piece differs: a misplaced run shows
        keep.flush()
        gone.flush()
PY
rm "$mnt/large-deleted.bin"
fusermount -u "$mnt"
mv "$out.part" "$out"
