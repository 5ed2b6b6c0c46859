#!/usr/bin/env python3
"""A seed for fuzz_shadow from a disk that holds shadow copies: the volume's size, then the pages
that a restore from a copy reads (traced with strace), in the order first read, zero pages left
out and pages of one repeated byte (a store's bitmaps) written as fills, until the input's budget
is spent. Pages of the $MFT past its first 64 KiB go last: the system files, the root and the
copies' files of the Windows 10 disk all lie below.

Usage: make-shadow-seed.py QUORRET_CLI DISK OFFSET_SECTORS OUT [BUDGET_BYTES]
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

PAGE = 4096
FILL = 0x80000000  # the length of a piece that is one byte repeated


def main():
    cli, disk, sectors, out = sys.argv[1:5]
    budget = int(sys.argv[5]) if len(sys.argv) > 5 else 1000000  # the fuzz scripts' -max_len for it
    base = int(sectors) * 512
    with tempfile.TemporaryDirectory() as work:
        trace = work + "/trace"
        subprocess.run(["strace", "-f", "-e", "trace=pread64", "-o", trace, cli, "restore", disk, "--offset",
                        sectors + "s", "--shadow-copies", "--all", "--filter", "*.txt", "--out", work + "/out"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))  # no leak check under ptrace
        order = []
        for line in open(trace):
            m = re.search(r"pread64\(\d+, .*, (\d+), (\d+)\) = (\d+)", line)
            if not m:
                continue
            _, offset, got = map(int, m.groups())
            for page in range(offset // PAGE, (offset + got + PAGE - 1) // PAGE):
                if page * PAGE >= base and page not in order:
                    order.append(page)
    with open(disk, "rb") as image:
        image.seek(base)
        boot = image.read(512)
        sector = struct.unpack_from("<H", boot, 0x0B)[0]
        volume_size = (struct.unpack_from("<Q", boot, 0x28)[0] + 1) * sector
        mft_start = base + struct.unpack_from("<Q", boot, 0x30)[0] * sector * boot[0x0D] + 64 * 1024
        order.sort(key=lambda page: page * PAGE >= mft_start)  # stable: first-read order otherwise
        seed = bytearray(struct.pack("<Q", volume_size))
        for page in order:
            image.seek(page * PAGE)
            data = image.read(PAGE)
            if not any(data):
                continue
            fill = data.count(data[0]) == PAGE
            piece = struct.pack("<QI", page * PAGE - base, (PAGE | FILL) if fill else PAGE) + (data[:1] if fill else data)
            if len(seed) + len(piece) > budget:
                break
            seed += piece
    with open(out, "wb") as f:
        f.write(seed)


if __name__ == "__main__":
    main()
