#!/usr/bin/env python3
"""quorret-cli's deep scan on disks that hold more than one NTFS: two old volumes of different
cluster sizes on one disk, a volume kept as a file inside another (in one run, and in pieces), and
a quick format over a file system whose folders the new one reuses. The volumes are made here by
mkntfs and the ntfs-3g driver (root and FUSE); every file restored "ok" must be the file written.

Usage: old_volumes_end_to_end.py --cli PROGRAM --work DIR
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

ARGS = None
MIB = 1 << 20


def run_cli(*args):
    proc = subprocess.run([ARGS.cli] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc.returncode, proc.stdout.decode("utf-8"), proc.stderr.decode("utf-8")


def work(name):
    path = Path(ARGS.work) / name
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    return path


class Mounted:
    """An NTFS image mounted through ntfs-3g for the block's length."""

    def __init__(self, image):
        self.image = image
        self.folder = Path(str(image) + ".mnt")

    def __enter__(self):
        self.folder.mkdir(exist_ok=True)
        subprocess.run(["ntfs-3g", str(self.image), str(self.folder)], check=True, timeout=60)
        return self.folder

    def __exit__(self, *exc):
        subprocess.run(["fusermount", "-u", str(self.folder)], check=True, timeout=60)
        self.folder.rmdir()


def mkntfs(image, mib, cluster, quick_over=False):
    if not quick_over:
        with open(image, "wb") as f:
            f.truncate(mib * MIB)
    subprocess.run(["mkntfs", "-F", "-Q", "-q", "-c", str(cluster), str(image)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def write_files(root, top, count, seed, largest=200000):
    """COUNT files of random bytes under TOP (in a few folders); their volume paths and sha256."""
    rng = random.Random(seed)
    written = {}
    for i in range(count):
        folder = Path(top) / ("Sub%d" % (i % 4)) / ("Deep%d" % (i % 3))
        (root / folder).mkdir(parents=True, exist_ok=True)
        data = rng.randbytes(rng.choice([300, 5000, 40000, rng.randrange(1, largest)]))
        name = folder / ("file%03d.bin" % i)
        (root / name).write_bytes(data)
        written["\\" + str(name).replace("/", "\\")] = hashlib.sha256(data).hexdigest()
    return written


def restored(out, code_out):
    """(shown path, status, sha256 or None) for each result line of a restore --tree; a folder
    named as a file restored beside it (a volume kept in that file) is made unique with "_N"."""
    rows = []
    for line in code_out.splitlines()[:-1]:
        fields = line.split("\t")
        dest = Path(fields[1])
        shown = re.sub(r"\.img_\d+\\", r".img\\", "\\" + str(dest.relative_to(out)).replace("/", "\\"))
        digest = hashlib.sha256(dest.read_bytes()).hexdigest() if fields[2] == "ok" else None
        rows.append((shown, fields[2], digest))
    return rows


@unittest.skipIf(not (shutil.which("ntfs-3g") and shutil.which("mkntfs") and os.geteuid() == 0
                      and Path("/dev/fuse").exists()), "root, FUSE, mkntfs and ntfs-3g are needed")
class OldVolumes(unittest.TestCase):
    def check_restore(self, image, expected, least, *where):
        """Restores every old file of IMAGE: each "ok" is the file written (one of that name for a
        lost file), and at least LEAST of each group of EXPECTED (a dict of dicts: volume -> path
        -> sha256) comes back identical, where it was or among the lost files."""
        out = work(Path(image).name + ".out")
        code, text, err = run_cli("restore", image, *where, "--deep", "--all", "--tree", "--out", out)
        rows = restored(out, text)
        every = {path: digest for files in expected.values() for path, digest in files.items()}
        by_name = {}
        for path, digest in every.items():
            by_name.setdefault(path.rsplit("\\", 1)[1], set()).add(digest)
        for shown, status, digest in rows:
            if status == "ok" and shown.startswith("\\Lost Files\\"):
                self.assertIn(digest, by_name.get(shown.rsplit("\\", 1)[1], set()), "not a file written: " + shown)
            elif status == "ok":
                self.assertEqual(digest, every.get(shown), "restored ok but not the file written: " + shown)
        for name, files in expected.items():
            digests = set(files.values())
            same = sum(1 for shown, _, digest in rows if digest and (
                files.get(shown) == digest or (shown.startswith("\\Lost Files\\") and digest in digests)))
            self.assertGreaterEqual(same, least * len(files), (name, same, len(files), err))
        return code, rows, err

    def test_two_old_volumes_of_different_cluster_sizes_on_one_disk(self):
        folder = work("two")
        volumes = {}
        for name, mib, cluster, count in (("Alpha", 64, 4096, 150), ("Beta", 48, 2048, 100)):
            image = folder / (name + ".img")
            mkntfs(image, mib, cluster)
            with Mounted(image) as root:
                volumes[name] = write_files(root, name, count, name)
        disk = folder / "disk.img"
        starts = {"Alpha": 1 * MIB, "Beta": 128 * MIB}
        with open(disk, "wb") as f:
            f.truncate(176 * MIB)
            for name, start in starts.items():
                f.seek(start)
                data = (folder / (name + ".img")).read_bytes()
                f.write(data)
                # Repartitioned: Alpha's boot sector and its backup are gone, Beta's first.
                f.seek(start)
                f.write(bytes(512))
                if name == "Alpha":
                    f.seek(start + len(data) - 512)
                    f.write(bytes(512))
        self.check_restore(disk, volumes, 0.95, "--offset", "0")
        code, text, err = run_cli("scan", disk, "--offset", "0", "--deep", "--format", "tsv")
        self.assertIn("Old file system at byte 1048576, 4096-byte clusters (from its $MFT record", err)
        self.assertIn("Old file system at byte 134217728, 2048-byte clusters (from its boot sector", err)

    def test_a_volume_kept_in_a_file_of_a_quick_formatted_volume(self):
        folder = work("inner")
        inner = folder / "inner.img"
        mkntfs(inner, 16, 1024)
        with Mounted(inner) as root:
            inside = write_files(root, "Docs", 60, "inner", 60000)
        image_bytes = inner.read_bytes()
        for pieces in (False, True):
            with self.subTest(pieces=pieces):
                outer = folder / ("outer-%s.img" % ("pieces" if pieces else "whole"))
                mkntfs(outer, 96, 4096)
                with Mounted(outer) as root:
                    outside = write_files(root, "Work", 40, "outer")
                    (root / "VMs").mkdir()
                    outside["\\VMs\\inner.img"] = hashlib.sha256(image_bytes).hexdigest()
                    if pieces:
                        # Written 64 KiB at a time in turn with another file: its clusters interleave.
                        other = os.urandom(len(image_bytes))
                        outside["\\VMs\\other.bin"] = hashlib.sha256(other).hexdigest()
                        with open(root / "VMs" / "inner.img", "wb", buffering=0) as a, \
                                open(root / "VMs" / "other.bin", "wb", buffering=0) as b:
                            for at in range(0, len(image_bytes), 65536):
                                a.write(image_bytes[at:at + 65536])
                                b.write(other[at:at + 65536])
                    else:
                        (root / "VMs" / "inner.img").write_bytes(image_bytes)
                mkntfs(outer, 96, 4096, quick_over=True)
                # The inner volume's files, under the file's path, read through the file's runs.
                listed_inside = {"\\VMs\\inner.img" + path: digest for path, digest in inside.items()}
                self.check_restore(outer, {"outer": outside, "inner": listed_inside}, 0.95)
                err = run_cli("scan", outer, "--deep", "--format", "tsv")[2]
                # A filter that the holder's name does not pass still leaves its files where they are.
                only = run_cli("scan", outer, "--deep", "--filter", "file000.bin", "--format", "tsv")[1]
                self.assertIn("\tfile000.bin\t\\\\VMs\\\\inner.img\\\\Docs\\\\", only)
                self.assertRegex(err, r"Old file system at byte \d+, 1024-byte clusters \(from its boot sector[^)]*\): "
                                      r"60 files, inside the file \\VMs\\inner\.img\.")

    def test_a_quick_format_over_a_used_file_system(self):
        # The new file system's folders take the old one's record numbers: no old file may be put
        # in one of them. The old records left in the new MFT's unused tail restore by position.
        folder = work("reformat")
        image = folder / "reformat.img"
        mkntfs(image, 64, 4096)
        with Mounted(image) as root:
            first = write_files(root, "Docs", 280, "first", 20000)
        mkntfs(image, 64, 4096, quick_over=True)
        with Mounted(image) as root:
            for name in ("ZetaA", "ZetaB", "ZetaC"):
                for sub in ("Reports", "Letters", "Mail", "Misc"):
                    (root / name / sub).mkdir(parents=True)
            write_files(root, "ZetaA", 20, "second", 2000)
        code, text, err = run_cli("scan", image, "--deep", "--format", "tsv")
        self.assertEqual(code, 0, err)
        rows = [line.split("\t") for line in text.splitlines()[1:]]
        old = [row for row in rows if row[-1] == "1"]
        self.assertGreater(len(old), 200, err)
        for row in old:
            self.assertFalse(row[2].startswith("\\\\Zeta"), row)
        # Every row's index restores: plain numbers by the live MFT, positions by the old one (the
        # first rows are the old records left in the new MFT's allocated but unused tail).
        out = work("reformat.one")
        code, text, err = run_cli("restore", image, "--deep", "--out", out, *[row[0] for row in old[:40]])
        self.assertNotIn("is not a file the deep scan lists", err)
        self.assertNotIn("beyond the last MFT record", err)
        self.check_restore(image, {"first": first}, 0.85)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.work = str(Path(ARGS.work).resolve())
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
