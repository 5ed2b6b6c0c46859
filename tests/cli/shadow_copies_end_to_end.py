#!/usr/bin/env python3
"""quorret-cli --shadow-copies end to end on the Windows-written disks that hold shadow copies
(../shared/fixtures/windows): each copy's files are listed and restored byte for byte as
libvshadow's own vshadowmount and The Sleuth Kit's icat read them, through the raw disk, an E01
and a QCOW2 made from it; a damaged store leaves the newer copies readable.

Usage: shadow_copies_end_to_end.py --cli PROGRAM --source REPO --work DIR
"""
import datetime
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import cli_end_to_end as e2e  # noqa: E402  (its runner, work folders and oracles)

SAMPLES = ("ntfs-samples/ntfs.tgz", "ntfs.raw", 2048)
SERVER_2003 = ("dfir_ntfs/vss_2003.tgz", "vss_2003.raw", 63)


def windows_fixture(relative):
    """A Windows-written fixture beside the repository (../shared) or its worktree (../../shared)."""
    for root in Path(e2e.ARGS.source).resolve().parents[:2]:
        candidate = root / "shared" / "fixtures" / "windows" / relative
        if candidate.exists():
            return candidate
    return None


def unpacked_disk(fixture):
    """The fixture's sparse disk image, unpacked once into the work folder (tar keeps the holes)."""
    relative, name, _ = fixture
    packed = windows_fixture(relative)
    if packed is None:
        return None
    folder = e2e.work_dir("shadow", name.split(".")[0])
    if not (folder / name).exists():
        subprocess.run(["tar", "-xzSf", str(packed), "-C", str(folder)], check=True)
    return folder / name


class Mounted:
    """vshadowmount's view of a disk's shadow copies: vss1, vss2, ... (needs FUSE)."""

    def __init__(self, disk, offset_sectors):
        self.folder = Path(tempfile.mkdtemp(prefix="vss-", dir=e2e.work_dir("shadow")))
        subprocess.run(["vshadowmount", "-o", str(offset_sectors * 512), str(disk), str(self.folder)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def copy(self, number):
        return self.folder / ("vss%d" % number)

    def close(self):
        subprocess.run(["fusermount", "-u", str(self.folder)], check=False, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.folder, ignore_errors=True)


def icat(image, record):
    return subprocess.run(["icat", str(image), str(record)], stdout=subprocess.PIPE, check=True).stdout


def istat(image, record, offset_sectors=0):
    """The record's sequence number, whether it is in use, and its names, as istat reads them."""
    out = subprocess.run(["istat"] + (["-o", str(offset_sectors)] if offset_sectors else []) +
                         [str(image), str(record)], stdout=subprocess.PIPE, check=True).stdout.decode("utf-8")
    sequence = int(re.search(r"Sequence: (\d+)", out).group(1))
    return sequence, "Not Allocated File" not in out, set(re.findall(r"^Name: (.*)$", out, re.M))


def scan_json(source, offset_sectors, *extra):
    r = e2e.run_cli("scan", source, "--offset", "%ds" % offset_sectors, "--shadow-copies", "--format", "json", *extra)
    assert r.code == 0, r
    return [json.loads(line) for line in r.out.splitlines()], r


def copy_rows(rows):
    return [row for row in rows if row["copy"] is not None]


def restore(source, offset_sectors, out, *what):
    shutil.rmtree(out, ignore_errors=True)
    r = e2e.run_cli("restore", source, "--offset", "%ds" % offset_sectors, "--shadow-copies", "--out", out, *what)
    results = {}
    for line in r.out.splitlines()[:-1]:
        ident, dest, state = line.split("\t")[:3]
        results[ident] = (Path(dest), state)
    return r, results


def local_iso(vshadowinfo_time):
    """vshadowinfo's 'Jul 25, 2020 12:26:04.398924700 UTC' as the program prints it: local time."""
    stamp = datetime.datetime.strptime(vshadowinfo_time.split(".")[0], "%b %d, %Y %H:%M:%S")
    text = stamp.replace(tzinfo=datetime.timezone.utc).astimezone().strftime("%Y-%m-%dT%H:%M:%S%z")
    return text[:-2] + ":" + text[-2:]


@unittest.skipIf(not all(shutil.which(t) for t in ("vshadowmount", "vshadowinfo", "icat", "istat", "fusermount")),
                 "libvshadow-utils, sleuthkit or FUSE missing")
class ShadowCopies(unittest.TestCase):

    def check_against_vshadowmount(self, fixture, expected_names):
        """Every listed copy file is a file of that copy that the live volume does not hold, and
        every one restores byte for byte as icat reads it from the mounted copy."""
        disk = unpacked_disk(fixture)
        if disk is None:
            self.skipTest("%s is not there" % fixture[0])
        offset = fixture[2]
        mounted = Mounted(disk, offset)
        try:
            rows, _ = scan_json(disk, offset)
            shadow = copy_rows(rows)
            found = {(row["copy"], row["name"]) for row in shadow}
            self.assertTrue(expected_names <= found, found)
            # The newest copy that holds a file unchanged gives it; the same file listed twice
            # differs in content.
            seen = {}
            for row in shadow:
                image = mounted.copy(row["copy"])
                sequence, _, names = istat(image, row["record"])
                self.assertIn(row["name"], names)
                # The live volume's record is free, or holds another file.
                live_sequence, live_allocated, live_names = istat(disk, row["record"], offset)
                self.assertFalse(live_allocated and live_sequence == sequence and row["name"] in live_names, row)
                key = (row["record"], sequence, row["name"])
                content = icat(image, row["record"])
                self.assertNotIn(content, seen.setdefault(key, []), "listed twice with the same content: %r" % row)
                seen[key].append(content)
            r, results = restore(disk, offset, e2e.work_dir("shadow", "out") / disk.stem, "--all", "--tree")
            self.assertEqual(r.code, 0, r)
            self.assertEqual(len(results), len(rows), r)
            for row in shadow:
                ident = "%d:%d" % (row["copy"], row["record"])
                dest, state = results[ident]
                self.assertEqual(state, "ok", r)
                self.assertEqual(dest.read_bytes(), icat(mounted.copy(row["copy"]), row["record"]), ident)
            return disk, rows, mounted
        except BaseException:
            mounted.close()
            raise

    def test_windows_10_copies_listed_restored_and_named_by_info(self):
        disk, rows, mounted = self.check_against_vshadowmount(SAMPLES, {(1, "shadow_1.txt"), (2, "shadow_2.txt")})
        try:
            # The live volume holds neither file, and no file of its own is listed as lost.
            self.assertEqual([row for row in rows if row["copy"] is None], [])
            live = subprocess.run(["fls", "-r", "-o", "2048", str(disk)], stdout=subprocess.PIPE,
                                  check=True).stdout.decode("utf-8")
            self.assertNotIn("shadow_1.txt", live)
            self.assertNotIn("shadow_2.txt", live)

            # info: the number, creation time and offline mark of each copy.
            info = e2e.run_cli("info", disk, "--offset", "2048s")
            self.assertEqual(info.code, 0, info)
            reference = subprocess.run(["vshadowinfo", "-o", str(2048 * 512), str(disk)], stdout=subprocess.PIPE,
                                       check=True).stdout.decode("utf-8")
            times = re.findall(r"Creation time\s*: (.*)", reference)
            self.assertIn("Shadow copies:      2\n", info.out)
            self.assertIn("Shadow copy 1:      %s\n" % local_iso(times[0]), info.out)
            self.assertIn("Shadow copy 2:      %s offline\n" % local_iso(times[1]), info.out)

            # By the name the scan gives it, with the rules of every restore; a file the scan
            # does not list from a copy is refused before anything is made.
            out = e2e.work_dir("shadow", "by-id")
            r, results = restore(disk, 2048, out, "2:38")
            self.assertEqual(r.code, 0, r)
            self.assertEqual(results["2:38"][0].read_bytes(), icat(mounted.copy(2), 38))
            r, _ = restore(disk, 2048, out, "1:39")
            self.assertEqual(r.code, 2, r)
            self.assertIn("1:39 is not a file that only a shadow copy holds", r.err)
            self.assertFalse(out.exists())

            # The copies' store blocks hold records of live files: the deep scan leaves them to
            # --shadow-copies rather than list them as an earlier file system's.
            deep = e2e.run_cli("scan", disk, "--offset", "2048s", "--deep", "--format", "tsv")
            self.assertEqual(deep.out.count("\n"), 1, deep)
            self.assertRegex(deep.err, r" \d+ records in live files' clusters \(shadow copies' stores, disk images\) "
                                       r"were passed over\.")

            # Without the option nothing changes: no columns, no rows of copies.
            plain = e2e.run_cli("scan", disk, "--offset", "2048s", "--format", "tsv")
            self.assertEqual(plain.out.split("\n")[0].split("\t")[-1], "deleted")
            self.assertNotIn("Shadow copies", plain.err)

            # The same through the containers of the field, made from the disk.
            made = e2e.work_dir("shadow", "containers")
            qcow = made / "disk.qcow2"
            if not qcow.exists():
                e2e.tool("qemu-img", "convert", "-f", "raw", "-O", "qcow2", disk, qcow)
            containers = [qcow]
            if shutil.which("ewfacquire"):
                if not (made / "disk.E01").exists():
                    e2e.tool("ewfacquire", "-u", "-q", "-c", "empty-block", "-t", made / "disk.part", disk)
                    os.replace(made / "disk.part.E01", made / "disk.E01")
                containers.append(made / "disk.E01")
            for container in containers:
                listed, _ = scan_json(container, 2048)
                self.assertEqual(listed, rows, container)
                r, results = restore(container, 2048, made / "out", "--all")
                self.assertEqual(r.code, 0, r)
                self.assertEqual(results["1:38"][0].read_bytes(), icat(mounted.copy(1), 38), container)
                self.assertEqual(results["2:38"][0].read_bytes(), icat(mounted.copy(2), 38), container)
        finally:
            mounted.close()

    def test_windows_2003_copies_against_vshadowmount(self):
        _, rows, mounted = self.check_against_vshadowmount(SERVER_2003, set())
        mounted.close()
        self.assertEqual({row["copy"] for row in copy_rows(rows)}, {1, 2, 3, 4, 5, 6})
        info = e2e.run_cli("info", unpacked_disk(SERVER_2003), "--offset", "63s")
        self.assertEqual(re.findall(r"Shadow copy (\d):.* offline", info.out), ["4", "6"])

    def test_damaged_store_leaves_the_newer_copy(self):
        disk = unpacked_disk(SAMPLES)
        if disk is None:
            self.skipTest("ntfs.tgz is not there")
        base = 2048 * 512
        for damage in ("its block list", "its store header", "its catalog entry"):
            damaged = e2e.work_dir("shadow", "damaged") / "disk.raw"
            subprocess.run(["cp", "--sparse=always", str(disk), str(damaged)], check=True)
            with open(damaged, "r+b") as f:
                f.seek(base + 0x1E00 + 48)
                catalog = int.from_bytes(f.read(8), "little")
                f.seek(base + catalog)
                block = bytearray(f.read(0x4000))
                first_store = next(at for at in range(128, 0x4000, 128)
                                   if int.from_bytes(block[at:at + 8], "little") == 3)
                if damage == "its block list":
                    f.seek(base + int.from_bytes(block[first_store + 8:first_store + 16], "little"))
                    f.write(b"\xAA" * 128)
                else:
                    if damage == "its store header":  # the library is sent to a store header that is not one
                        block[first_store + 32:first_store + 40] = (0x7777777000).to_bytes(8, "little")
                    else:  # all but the entry's type garbled: a store no copy describes
                        block[first_store + 8:first_store + 128] = b"\xAA" * 120
                    f.seek(base + catalog)
                    f.write(block)
            rows, r = scan_json(damaged, 2048)
            names = {(row["copy"], row["name"]) for row in copy_rows(rows)}
            self.assertIn((2, "shadow_2.txt"), names, damage)
            self.assertNotIn((1, "shadow_1.txt"), names, damage)
            self.assertRegex(r.err, r"(?i)shadow copy 1 (cannot be read|holds no readable)", damage)
            self.assertIn("Shadow copies: 1 read, 3 files found.", r.err, damage)
        # In our words, naming the copy.
        self.assertIn("Shadow copy 1 cannot be read: its catalog entry is damaged (no entry places its store).", r.err)
        self.assertNotIn("libvshadow", r.err)


if __name__ == "__main__":
    e2e.main()
