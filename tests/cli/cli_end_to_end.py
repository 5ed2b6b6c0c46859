#!/usr/bin/env python3
"""quorret-cli end to end: the built program runs on the fixture volumes, natively or (with
--wine) as the Windows build under Wine, and its outputs are checked against the fixture
manifests and The Sleuth Kit (fls, icat).

Usage: cli_end_to_end.py --cli PROGRAM --source REPO --work DIR [--wine tools/wine-run]
"""
import argparse
import collections
import datetime
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import unittest
from pathlib import Path

ARGS = None
EXPECTED_TOTAL = "Total %d files restored. "


# ---------------------------------------------------------------- running the program

def windows_path(path):
    """An absolute Linux path as the Windows build sees it through Wine's Z: drive."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def arg_path(path):
    return windows_path(path) if ARGS.wine else str(path)


def shown_path(path):
    """A path as the program prints it."""
    return windows_path(path) if ARGS.wine else str(Path(path).resolve())


def local_path(shown):
    """The file behind a path the program printed."""
    return Path(shown[2:].replace("\\", "/")) if ARGS.wine else Path(shown)


class Result:
    def __init__(self, proc):
        self.code = proc.returncode
        self.out = proc.stdout.decode("utf-8").replace("\r\n", "\n")
        self.err = proc.stderr.decode("utf-8", "replace").replace("\r\n", "\n")

    def __repr__(self):
        return "exit %d\n--- stdout\n%s--- stderr\n%s" % (self.code, self.out[-3000:], self.err[-3000:])


def run_cli(*args, prefix=None):
    command = [ARGS.wine, ARGS.cli] if ARGS.wine else [ARGS.cli]
    env = dict(os.environ)
    if ARGS.wine:
        env["QUORRET_WINE_NO_DISPLAY"] = "1"  # a console program needs no X server
        if prefix:
            env["WINEPREFIX"] = str(prefix)
    proc = subprocess.run(command + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          env=env, timeout=300)
    return Result(proc)


# ---------------------------------------------------------------- fixtures and oracles

def work_dir(*parts):
    path = Path(ARGS.work).joinpath(*parts)
    path.mkdir(parents=True, exist_ok=True)
    return path


def unpacked(name):
    """tests/fixtures/NAME.img.xz unpacked once into the work folder."""
    packed = Path(ARGS.source, "tests", "fixtures", name + ".img.xz")
    image = work_dir("images") / (name + ".img")
    image.parent.mkdir(parents=True, exist_ok=True)
    if not image.exists() or image.stat().st_mtime < packed.stat().st_mtime:
        with open(str(image) + ".part", "wb") as out:
            subprocess.run(["xz", "-dc", str(packed)], stdout=out, check=True)
        os.replace(str(image) + ".part", image)
    return image


def windows_image(relative, opener):
    """A Windows-written image from ../shared/fixtures/windows, unpacked once; None when absent."""
    source = Path(ARGS.source).parent / "shared" / "fixtures" / "windows" / relative
    if not source.exists():
        return None
    image = work_dir("images") / (source.name.rsplit(".", 1)[0])
    if not image.exists():
        with open(str(image) + ".part", "wb") as out:
            subprocess.run([opener, "-dc", str(source)], stdout=out, check=True)
        os.replace(str(image) + ".part", image)
    return image


def fixture_names():
    return sorted(p.name[:-len(".img.xz")] for p in Path(ARGS.source, "tests", "fixtures").glob("*.img.xz"))


Expected = collections.namedtuple("Expected", "paths size sha256")


def expected_files(name):
    """The manifest's deleted files as a scan reports them: one per record, named by a name the
    deletion left in the record (a record whose names all went is not reported)."""
    gone = set()
    rows = collections.defaultdict(list)
    for line in Path(ARGS.source, "tests", "fixtures", name + ".manifest.tsv").read_text("utf-8").splitlines()[1:]:
        if line.startswith("# name-gone\t"):
            gone.add(line.split("\t", 1)[1])
        if not line or line.startswith("#"):
            continue
        record, deleted, kind, size, sha, path = line.split("\t")
        if deleted == "1" and kind == "file":
            rows[int(record)].append((path, int(size), sha))
    expected = {}
    for record, entries in rows.items():
        named = [e for e in entries if e[0] not in gone]
        if named:
            expected[record] = Expected({e[0] for e in named}, named[0][1], named[0][2])
    return expected


def volume_path(manifest_path, root="\\"):
    """Documents/Reports/a.docx -> (\\Documents\\Reports\\, a.docx)"""
    parts = manifest_path.split("/")
    return root + "".join(p + "\\" for p in parts[:-1]), parts[-1]


TSV_HEADER = "record\tname\tpath\ttype\tsize\tmodified\tcreated"


def parse_tsv(text, recoverable=True):
    """The rows of a tsv listing: seven columns, and the recoverable column last unless the scan
    ran with --no-recoverable."""
    lines = text.splitlines()
    header = TSV_HEADER + ("\trecoverable" if recoverable else "")
    assert lines and lines[0] == header, lines[:1]
    rows = []
    for line in lines[1:]:
        fields = line.split("\t")
        assert len(fields) == header.count("\t") + 1, line
        rows.append(fields)
    return rows


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def icat(image, record, offset_sectors=0):
    command = ["icat"] + (["-o", str(offset_sectors)] if offset_sectors else []) + [str(image), str(record)]
    return subprocess.run(command, stdout=subprocess.PIPE, check=True).stdout


def have_tsk():
    return shutil.which("icat") is not None and shutil.which("fls") is not None


def mbr_disk(volume, path, start_sector=2048):
    """A whole-disk image: an MBR whose one partition (type 0x07) holds `volume` at start_sector."""
    data = Path(volume).read_bytes()
    mbr = bytearray(512)
    mbr[446:462] = bytes([0x80, 0, 0, 0, 0x07, 0, 0, 0]) + struct.pack("<II", start_sector, len(data) // 512)
    mbr[510:512] = b"\x55\xaa"
    with open(path, "wb") as out:
        out.write(mbr)
        out.write(bytes(start_sector * 512 - 512))
        out.write(data)
    return path


# ---------------------------------------------------------------- the tests

class CommandLine(unittest.TestCase):
    def test_bad_arguments_exit_2_with_usage(self):
        image = unpacked("sample")
        for args in ([], ["frobnicate", image], ["scan"], ["scan", image, "--format", "xml"],
                     ["scan", image, "--offset", "12kb"], ["restore", image, "--all"],
                     ["restore", image, "--out", work_dir("unused"), "12x"], ["info", image, "--tree"]):
            r = run_cli(*[arg_path(a) if isinstance(a, Path) else a for a in args])
            self.assertEqual(r.code, 2, (args, r))
            self.assertIn("Usage:", r.err, args)
            self.assertIn("quorret-cli: ", r.err, args)
            self.assertEqual(r.out, "", args)
        r = run_cli("--help")
        self.assertEqual(r.code, 0, r)
        self.assertIn("quorret-cli restore SOURCE --out DIR", r.out)

    def test_unreadable_sources_say_why(self):
        r = run_cli("scan", arg_path(work_dir("images") / "no-such.img"))
        self.assertEqual(r.code, 2, r)
        self.assertIn("File not found: ", r.err)
        zeros = work_dir("images") / "zeros.img"
        zeros.write_bytes(bytes(64 * 1024))
        for command in ("info", "scan"):
            r = run_cli(command, arg_path(zeros))
            self.assertEqual(r.code, 2, r)
            self.assertIn("Not a NTFS file system. ", r.err)  # the reader's reason, without --verbose
            self.assertIn("is not a valid NTFS volume", r.err)
            self.assertEqual(r.out, "")

    def test_damaged_record_is_skipped_and_counted(self):
        damaged = work_dir("images") / "sample-damaged.img"
        data = bytearray(unpacked("sample").read_bytes())
        record79 = 16384 + 79 * 1024  # the sample's MFT starts at cluster 4 and is not fragmented
        assert data[record79:record79 + 4] == b"FILE"
        data[record79 + 510:record79 + 512] = b"\xde\xad"  # the first sector's fix-up no longer matches
        damaged.write_bytes(bytes(data))
        r = run_cli("scan", arg_path(damaged), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        self.assertEqual({int(row[0]) for row in parse_tsv(r.out)}, set(expected_files("sample")) - {79})
        self.assertIn("11 deleted files found. 1 error was logged (--verbose shows the log).", r.err)
        r = run_cli("scan", arg_path(damaged), "--format", "tsv", "--verbose")
        self.assertIn("ERROR: \t", r.err)
        self.assertIn("11 deleted files found. 1 error was logged.\n", r.err)

    def test_verbose_sends_the_log_to_stderr(self):
        image = arg_path(unpacked("sample"))
        quiet = run_cli("scan", image, "--format", "tsv")
        loud = run_cli("scan", image, "--format", "tsv", "--verbose")
        self.assertEqual(quiet.code, 0, quiet)
        self.assertEqual(loud.code, 0, loud)
        self.assertEqual(quiet.out, loud.out)
        self.assertNotIn("Info: ", quiet.err)
        self.assertIn("Info: \tTotal File Records: ", loud.err)
        self.assertIn("NTFS volume version is: 3.1. ", loud.err)
        # The summary line, and no progress line: stderr is not a terminal here.
        self.assertRegex(quiet.err, r"^Scanned \d+ records in \d+\.\d\d s: 12 deleted files found\.\n$")


class Scan(unittest.TestCase):
    def check_scan(self, name):
        expected = expected_files(name)
        r = run_cli("scan", arg_path(unpacked(name)), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        rows = parse_tsv(r.out)
        records = [int(row[0]) for row in rows]
        self.assertEqual(records, sorted(records), "%s: not in record order" % name)
        self.assertEqual(set(records), set(expected), name)
        for record, fname, path, ftype, size, modified, created, _ in rows:
            want = expected[int(record)]
            self.assertIn((path, fname), {volume_path(p) for p in want.paths}, "%s record %s" % (name, record))
            self.assertEqual(int(size), want.size, "%s record %s" % (name, record))
            self.assertEqual(ftype, fname.rsplit(".", 1)[1].lower() if "." in fname else "")
            for stamp in (modified, created):
                datetime.datetime.fromisoformat(stamp)
        self.assertIn("%d deleted files found." % len(expected), r.err)
        return rows

    def test_every_fixture_equals_its_manifest(self):
        # Under Wine each run costs a second or two: two fixtures cover the target there.
        for name in (["sample", "features"] if ARGS.wine else fixture_names()):
            with self.subTest(fixture=name):
                self.check_scan(name)

    def test_three_formats_agree(self):
        image = arg_path(unpacked("features"))
        tsv = parse_tsv(run_cli("scan", image, "--format", "tsv").out)
        r = run_cli("scan", image, "--format", "json")
        self.assertEqual(r.code, 0, r)
        objects = [json.loads(line) for line in r.out.splitlines()]  # every line a JSON object
        self.assertEqual(len(objects), len(tsv))
        for row, obj in zip(tsv, objects):
            self.assertEqual(list(obj), ["record", "name", "path", "type", "size", "modified", "created",
                                         "accessed", "recoverable"])
            self.assertEqual([str(obj["record"]), obj["name"], obj["path"], obj["type"], str(obj["size"])], row[:5])
            self.assertEqual(obj["recoverable"], row[7])
            self.assertEqual((obj["modified"], obj["created"]), (row[5], row[6]))
            self.assertIsInstance(obj["size"], int)
        self.assertIn("🗑 deleted 𝄞.txt", {o["name"] for o in objects})  # outside the BMP, whole

        r = run_cli("scan", image)
        self.assertEqual(r.code, 0, r)
        lines = r.out.splitlines()
        self.assertEqual(lines[0].split(), ["Index", "Name", "Path", "Type", "Size", "Modified", "Time",
                                            "Creation", "Time", "Recoverable"])
        self.assertEqual(len(lines), len(tsv) + 1)
        for line, row in zip(lines[1:], tsv):
            self.assertEqual(line.split()[0], row[0])
            self.assertIn(row[1], line)
            size = int(row[4])
            size_text = "0" if size == 0 else "%d Bytes" % size if size < 1024 else None
            if size_text:
                self.assertIn("  " + size_text + "  ", line)
            self.assertRegex(line, r"\d{4}-\d\d-\d\d \d\d:\d\d  \d{4}-\d\d-\d\d \d\d:\d\d  " + row[7] + "$")

    def test_filter(self):
        r = run_cli("scan", arg_path(unpacked("sample")), "--format", "tsv", "--filter", "*.jpg; PDF")
        self.assertEqual(r.code, 0, r)
        names = sorted(row[1] for row in parse_tsv(r.out))
        want = sorted(p.rsplit("/", 1)[-1] for e in expected_files("sample").values() for p in e.paths
                      if p.lower().endswith((".jpg", ".pdf")))
        self.assertEqual(names, want)

    @unittest.skipIf(not have_tsk(), "The Sleuth Kit is not installed")
    def test_windows_written_volume_against_fls(self):
        if ARGS.wine:
            self.skipTest("the native run covers the Windows-written volume")
        image = windows_image("dissect.ntfs/ntfs.bin.gz", "gzip")
        if image is None:
            self.skipTest("../shared/fixtures/windows is not beside the repository")
        fls = collections.defaultdict(set)
        for line in subprocess.run(["fls", "-r", "-d", "-p", str(image)], stdout=subprocess.PIPE,
                                   check=True).stdout.decode("utf-8").splitlines():
            kind, rest = line.split(" * ", 1)
            address, path = rest.split(":\t", 1)
            if kind.endswith("/r"):
                fls[int(address.split("-")[0])].add(volume_path(path))
        r = run_cli("scan", arg_path(image), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        rows = parse_tsv(r.out)
        self.assertEqual({int(row[0]) for row in rows}, set(fls))
        for row in rows:
            self.assertIn((row[2], row[1]), fls[int(row[0])], row)


class Restore(unittest.TestCase):
    def test_all_with_tree_is_byte_identical(self):
        for name in (["sample", "features"] if ARGS.wine else fixture_names()):
            with self.subTest(fixture=name):
                expected = expected_files(name)
                image = unpacked(name)
                out = work_dir("restored") / name
                shutil.rmtree(out, ignore_errors=True)
                r = run_cli("restore", arg_path(image), "--all", "--tree", "--out", arg_path(out))
                self.assertEqual(r.code, 0, r)
                lines = r.out.splitlines()
                self.assertEqual(lines[-1], EXPECTED_TOTAL % len(expected))
                seen = set()
                for line in lines[:-1]:
                    record, dest, status = line.split("\t")[:3]  # a note may follow
                    record = int(record)
                    seen.add(record)
                    self.assertEqual(status, "ok", line)
                    want = expected[record]
                    self.assertIn(dest, {shown_path(out.joinpath(*p.split("/"))) for p in want.paths}, line)
                    local = local_path(dest)
                    self.assertEqual(sha256(local), want.sha256, "%s: %s" % (name, dest))
                    if have_tsk():
                        self.assertEqual(local.read_bytes(), icat(image, record), "%s: %s" % (name, dest))
                self.assertEqual(seen, set(expected))

    def test_keep_times_and_streams(self):
        # Record 143 (streams/deleted-host.txt) has the named streams meta and thumbnail.
        image = unpacked("features")
        stream_sha = {}
        for line in Path(ARGS.source, "tests", "fixtures", "features.manifest.tsv").read_text("utf-8").splitlines():
            fields = line.split("\t")
            if len(fields) == 6 and fields[0] == "143":
                stream_sha[fields[5].partition(":")[2]] = fields[4]
        out = work_dir("restored") / "keeps"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), "143")
        self.assertEqual(r.code, 0, r)
        self.assertEqual(r.out.splitlines()[0], "143\t%s\tok\t2 named streams left out" % shown_path(
            out / "deleted-host.txt"))
        (out / "deleted-host.txt_meta").write_bytes(b"taken")  # a name already taken is not overwritten
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), "--streams", "--keep-times", "143", "76")
        self.assertEqual(r.code, 0, r)
        restored = out / "deleted-host_0.txt"
        # Before anything reads them (a read may move the access time on).
        stats = {"143": restored.stat(), "76": (out / "small-deleted.txt").stat()}
        self.assertEqual([line.split("\t") for line in r.out.splitlines()], [
            ["143", shown_path(restored), "ok"],
            ["143", shown_path(out / "deleted-host_0.txt_meta"), "ok"],
            ["143", shown_path(out / "deleted-host_0.txt_thumbnail"), "ok"],
            ["76", shown_path(out / "small-deleted.txt"), "ok"],
            [EXPECTED_TOTAL % 2]])
        self.assertEqual(sha256(restored), stream_sha[""])
        self.assertEqual(sha256(out / "deleted-host_0.txt_meta"), stream_sha["meta"])
        self.assertEqual(sha256(out / "deleted-host_0.txt_thumbnail"), stream_sha["thumbnail"])
        self.assertEqual((out / "deleted-host.txt_meta").read_bytes(), b"taken")
        if have_tsk():
            # fls's body line: atime and mtime of $STANDARD_INFORMATION in Unix seconds.
            times = {}
            for line in subprocess.run(["fls", "-m", "/", "-r", "-d", str(image)], stdout=subprocess.PIPE,
                                       check=True).stdout.decode("utf-8").splitlines():
                fields = line.split("|")
                if "($FILE_NAME)" not in fields[1]:
                    times[fields[2].split("-")[0]] = (int(fields[7]), int(fields[8]))
            for record, stat in stats.items():
                self.assertEqual((int(stat.st_atime), int(stat.st_mtime)), times[record], record)

    def test_records_flat_with_unique_names(self):
        image = unpacked("sample")
        out = work_dir("restored") / "records"
        shutil.rmtree(out, ignore_errors=True)
        # 89 twice: the second copy is numbered; 78 is a file in use and 64 a folder in use.
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), "89", "89", "78", "64", "105")
        self.assertEqual(r.code, 1, r)
        lines = [line.split("\t") for line in r.out.splitlines()]
        self.assertEqual(lines[-1], [EXPECTED_TOTAL % 3])
        self.assertEqual(lines[:-1], [
            ["89", shown_path(out / "scan.pdf"), "ok"],
            ["89", shown_path(out / "scan_0.pdf"), "ok"],
            ["78", shown_path(out / "notes.txt"), "failed"],
            ["64", shown_path(out / "Documents"), "failed"],
            ["105", shown_path(out / "track02.mp3"), "ok"],
        ])
        expected = expected_files("sample")
        self.assertEqual(sha256(out / "scan.pdf"), expected[89].sha256)
        self.assertEqual(sha256(out / "scan_0.pdf"), expected[89].sha256)
        self.assertEqual(sha256(out / "track02.mp3"), expected[105].sha256)
        # A record in use again holds another file: refused with the reason, nothing written.
        self.assertIn("Failed to restore reused record for 78 at \\.", r.err)
        self.assertFalse((out / "notes.txt").exists())

    def test_hostile_names_stay_inside_out(self):
        # Record 64 (the folder Documents) renamed "..\\..\\zzz" and record 79 (its deleted
        # old-notes.txt) renamed "../../evil.tx": names no Windows writes, any volume may hold.
        data = bytearray(unpacked("sample").read_bytes())
        for record, old, new in ((64, "Documents", "..\\..\\zzz"), (79, "old-notes.txt", "../../evil.tx")):
            start = 16384 + record * 1024
            at = data.index(old.encode("utf-16-le"), start, start + 1024)
            assert at % 512 < 510 - 2 * len(old)  # the fix-up words stay untouched
            data[at:at + 2 * len(new)] = new.encode("utf-16-le")
        hostile = work_dir("images") / "sample-hostile.img"
        hostile.write_bytes(bytes(data))
        sandbox = work_dir("restored") / "hostile"
        shutil.rmtree(sandbox, ignore_errors=True)
        out = sandbox / "a" / "b" / "out"
        r = run_cli("restore", arg_path(hostile), "--all", "--tree", "--out", arg_path(out))
        self.assertEqual(r.code, 0, r)
        self.assertIn("79\t" + shown_path(out / "__" / "__" / "zzz" / ".._.._evil.tx") + "\tok", r.out)
        self.assertEqual(sha256(out / "__" / "__" / "zzz" / ".._.._evil.tx"), expected_files("sample")[79].sha256)
        self.assertEqual([p.name for p in sandbox.iterdir()], ["a"])
        self.assertEqual([p.name for p in (sandbox / "a").iterdir()], ["b"])
        self.assertEqual([p.name for p in (sandbox / "a" / "b").iterdir()], ["out"])

    def test_filter_without_tree(self):
        out = work_dir("restored") / "filtered"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(unpacked("sample")), "--all", "--filter", "txt", "--out", arg_path(out))
        self.assertEqual(r.code, 0, r)
        self.assertEqual(r.out.splitlines()[-1], EXPECTED_TOTAL % 2)
        expected = expected_files("sample")
        self.assertEqual(sorted(p.name for p in out.iterdir()), ["old-notes.txt", "readme.txt"])
        self.assertEqual(sha256(out / "old-notes.txt"), expected[79].sha256)
        self.assertEqual(sha256(out / "readme.txt"), expected[91].sha256)


def expected_recoverable(stored, in_use):
    """The recoverable text for a file of `stored` clusters of which `in_use` are in use."""
    if in_use == 0:
        return "intact"
    if in_use == stored:
        return "overwritten"
    return "%d%%" % ((stored - in_use) * 100 // stored)


def tsk_recoverable(image, record, size, cluster_size=4096):
    """The recoverable text from The Sleuth Kit: istat's clusters of the unnamed $DATA (those
    under the data size, sparse ones shown as 0 left out), each asked of blkstat."""
    lines = subprocess.run(["istat", str(image), str(record)], stdout=subprocess.PIPE,
                           check=True).stdout.decode("utf-8").splitlines()
    clusters, inside = [], False
    for line in lines:
        if line.startswith("Type: "):
            inside = line.startswith("Type: $DATA") and "Name: N/A" in line and "Non-Resident" in line
        elif inside:
            clusters += [int(c) for c in line.split()]
    clusters = [c for c in clusters[:-(-size // cluster_size)] if c != 0]
    in_use = sum(1 for c in clusters if "Not Allocated" not in subprocess.run(
        ["blkstat", str(image), str(c)], stdout=subprocess.PIPE, check=True).stdout.decode("utf-8"))
    return expected_recoverable(len(clusters), in_use)


class Recoverability(unittest.TestCase):
    """The reuse volume: deleted files whose clusters later files took, in whole, in part or not at
    all, with the builder's count of changed clusters in its manifest notes."""

    def test_reuse_volume_against_restores_tsk_and_the_builder(self):
        name = "reuse/reuse"
        image = unpacked(name)
        expected = expected_files(name)
        r = run_cli("scan", arg_path(image), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        rows = parse_tsv(r.out)
        self.assertEqual({int(row[0]) for row in rows}, set(expected))
        states = {int(row[0]): row[7] for row in rows}

        out = work_dir("restored") / "reuse"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--all", "--out", arg_path(out))
        equal = set()
        for line in r.out.splitlines()[:-1]:
            record, dest = line.split("\t")[:2]
            if local_path(dest).is_file() and sha256(local_path(dest)) == expected[int(record)].sha256:
                equal.add(int(record))
        intact = {n for n, state in states.items() if state == "intact"}
        self.assertTrue(intact and equal and intact != set(states), states)
        precision = len(intact & equal) / len(intact)
        recall = len(intact & equal) / len(equal)
        sys.stderr.write("\nrecoverable on %s: %d of %d files reported intact restore equal to the original "
                         "(%.1f %%); %d of %d files restored equal were reported intact (%.1f %%)\n" % (
                             name, len(intact & equal), len(intact), 100 * precision, len(intact & equal),
                             len(equal), 100 * recall))
        self.assertGreaterEqual(precision, 0.999)
        self.assertGreaterEqual(recall, 0.99)

        # The builder's count of clusters whose bytes changed: none for intact, all for overwritten.
        manifest = Path(ARGS.source, "tests", "fixtures", name + ".manifest.tsv").read_text("utf-8")
        by_path = {p: n for n, e in expected.items() for p in e.paths}
        for line in manifest.splitlines():
            if line.startswith("# reused\t"):
                _, path, counts = line.split("\t")
                changed, stored = map(int, counts.split("/"))
                state = states[by_path[path]]
                self.assertEqual(state == "intact", changed == 0, line)
                self.assertEqual(state == "overwritten", stored > 0 and changed == stored, line)

        if have_tsk():
            for record, state in sorted(states.items()):
                self.assertEqual(state, tsk_recoverable(image, record, expected[record].size), record)

        # --recoverable lists and restores the intact files alone.
        r = run_cli("scan", arg_path(image), "--format", "tsv", "--recoverable")
        self.assertEqual(r.code, 0, r)
        self.assertEqual([int(row[0]) for row in parse_tsv(r.out)], sorted(intact))
        out = work_dir("restored") / "reuse-intact"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--all", "--recoverable", "--out", arg_path(out))
        self.assertEqual(r.code, 0, r)
        self.assertEqual(sorted(int(line.split("\t")[0]) for line in r.out.splitlines()[:-1]), sorted(intact))
        self.assertEqual(r.out.splitlines()[-1], EXPECTED_TOTAL % len(intact))
        r = run_cli("scan", arg_path(image), "--format", "tsv", "--no-recoverable")
        self.assertEqual([row[:7] for row in parse_tsv(r.out, recoverable=False)], [row[:7] for row in rows])


def mactime(body_path):
    """mactime's comma-separated timeline of a body file, in UTC, without its header line."""
    return subprocess.run(["mactime", "-b", str(body_path), "-d", "-z", "UTC"], stdout=subprocess.PIPE,
                          check=True).stdout.decode("utf-8").splitlines()[1:]


class Timeline(unittest.TestCase):
    @unittest.skipIf(not have_tsk() or not shutil.which("mactime"), "The Sleuth Kit is not installed")
    def test_body_reads_in_mactime_as_fls_does(self):
        for name in ("sample", "features"):
            with self.subTest(fixture=name):
                image = unpacked(name)
                r = run_cli("scan", arg_path(image), "--format", "body")
                self.assertEqual(r.code, 0, r)
                ours = work_dir("timeline") / (name + ".body")
                ours.write_text(r.out, "utf-8")
                records = {int(line.split("|")[2]) for line in r.out.splitlines()}
                self.assertEqual(records, set(expected_files(name)))
                # fls's lines of the same deleted files: its name without " (deleted)", its inode
                # (record-type-id) as the record, its owner field as 0. Its $FILE_NAME lines and
                # orphans are no files of ours.
                fls_lines = []
                for line in subprocess.run(["fls", "-m", "/", "-r", "-d", str(image)], stdout=subprocess.PIPE,
                                           check=True).stdout.decode("utf-8").splitlines():
                    fields = line.split("|")
                    if "($FILE_NAME)" in fields[1] or not fields[1].endswith(" (deleted)"):
                        continue
                    fields[1] = fields[1][:-len(" (deleted)")]
                    fields[2] = fields[2].split("-")[0]
                    fields[4] = "0"
                    if int(fields[2]) in records:
                        fls_lines.append("|".join(fields))
                theirs = work_dir("timeline") / (name + ".fls.body")
                theirs.write_text("\n".join(fls_lines) + "\n", "utf-8")
                ours_timeline, fls_timeline = mactime(ours), mactime(theirs)
                self.assertTrue(ours_timeline)
                # fls may know a file under more names (hard links); each of our lines is one of its.
                self.assertEqual(set(ours_timeline) - set(fls_timeline), set())
                self.assertEqual({line.split(",")[6] for line in ours_timeline},
                                 {line.split(",")[6] for line in fls_timeline})


class PartitionTables(unittest.TestCase):
    def test_mbr_disk_lists_its_ntfs_partition(self):
        volume = unpacked("sample")
        disk = mbr_disk(volume, work_dir("images") / "sample-disk.img")
        r = run_cli("scan", arg_path(disk), "--format", "tsv")
        self.assertEqual(r.code, 2, r)
        self.assertEqual(r.out, "")
        self.assertIn("starts with an MBR partition table, not with an NTFS volume.", r.err)
        self.assertRegex(r.err, r"\n  1   1048576 +2048s +")
        self.assertIn("--offset 1048576", r.err)

        r = run_cli("info", arg_path(disk))
        self.assertEqual(r.code, 0, r)
        self.assertRegex(r.out, r"\n  1   1048576 +2048s +24\.0 MiB +0x07\n")

        plain = run_cli("scan", arg_path(volume), "--format", "tsv")
        for offset in ("2048s", "1048576"):
            inside = run_cli("scan", arg_path(disk), "--format", "tsv", "--offset", offset)
            self.assertEqual(inside.code, 0, inside)
            self.assertEqual(inside.out, plain.out)

        out = work_dir("restored") / "partition"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(disk), "--offset", "2048s", "--out", arg_path(out), "89")
        self.assertEqual(r.code, 0, r)
        self.assertEqual(sha256(out / "scan.pdf"), expected_files("sample")[89].sha256)

    def test_windows_written_mbr_disk(self):
        disk = windows_image("dfir_ntfs/ntfs_index.raw.gz", "gzip")
        if disk is None:
            self.skipTest("../shared/fixtures/windows is not beside the repository")
        r = run_cli("info", arg_path(disk))
        self.assertEqual(r.code, 0, r)
        self.assertRegex(r.out, r"\n  1   65536 +128s ")
        r = run_cli("info", arg_path(disk), "--offset", "128s")
        self.assertEqual(r.code, 0, r)
        self.assertIn("Label:              Test index\n", r.out)
        self.assertIn("Bytes per cluster:  2048\n", r.out)


class Info(unittest.TestCase):
    def test_sample_geometry(self):
        r = run_cli("info", arg_path(unpacked("sample")))
        self.assertEqual(r.code, 0, r)
        for line in ("Label:              Sample", "NTFS version:       3.1", "Bytes per sector:   512",
                     "Bytes per cluster:  4096", "File record size:   1024"):
            self.assertIn(line + "\n", r.out)
        self.assertRegex(r.out, r"MFT records:        \d+\n")
        r = run_cli("info", arg_path(unpacked("sector4k")))
        self.assertIn("Bytes per sector:   4096\n", r.out)
        self.assertIn("File record size:   4096\n", r.out)


class DriveLetter(unittest.TestCase):
    """The Windows build on a drive letter: D: of a private Wine prefix reads a fixture image as
    its raw volume."""

    @classmethod
    def setUpClass(cls):
        if not ARGS.wine:
            raise unittest.SkipTest("drive letters exist in the Windows build")
        cls.prefix = work_dir() / "wineprefix"
        if not (cls.prefix / "system.reg").exists():
            shared = Path(os.environ.get("QUORRET_WINEPREFIX", Path.home() / ".quorret-wine"))
            if (shared / "system.reg").exists():
                part = Path(str(cls.prefix) + ".part")
                shutil.rmtree(part, ignore_errors=True)
                subprocess.run(["cp", "-a", str(shared), str(part)], check=True)
                os.replace(part, cls.prefix)
        env = dict(os.environ, WINEPREFIX=str(cls.prefix), QUORRET_WINE_NO_DISPLAY="1")
        cls.image = unpacked("sample")
        subprocess.run([str(Path(ARGS.source, "tools", "wine-map-drive")), "d", str(cls.image)], env=env,
                       check=True, timeout=300)

    def test_scan_and_restore_through_d(self):
        image_rows = parse_tsv(run_cli("scan", arg_path(self.image), "--format", "tsv").out)
        r = run_cli("scan", "D:", "--format", "tsv", prefix=self.prefix)
        self.assertEqual(r.code, 0, r)
        rows = parse_tsv(r.out)
        self.assertEqual([row[:2] + row[3:] for row in rows], [row[:2] + row[3:] for row in image_rows])
        self.assertEqual([row[2] for row in rows], ["D:" + row[2] for row in image_rows])

        r = run_cli("info", "d:\\", prefix=self.prefix)
        self.assertEqual(r.code, 0, r)
        self.assertIn("Label:              Sample\n", r.out)

        out = work_dir("restored") / "drive"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", "D:", "--out", arg_path(out), "--tree", "91", "105", prefix=self.prefix)
        self.assertEqual(r.code, 0, r)
        expected = expected_files("sample")
        self.assertEqual(sha256(out / "Old Stuff" / "sub" / "readme.txt"), expected[91].sha256)
        self.assertEqual(sha256(out / "Music" / "track02.mp3"), expected[105].sha256)

        # Onto the drive being read: done, with a warning (D:\ shows a folder beside the image).
        root = Path(str(self.image) + ".root")
        shutil.rmtree(root / "out", ignore_errors=True)
        r = run_cli("restore", "D:", "--out", "D:\\out", "91", prefix=self.prefix)
        self.assertEqual(r.code, 0, r)
        self.assertIn("Restoring onto the drive being read", r.err)
        self.assertEqual(sha256(root / "out" / "readme.txt"), expected[91].sha256)

        r = run_cli("scan", "D:", "--offset", "0", prefix=self.prefix)
        self.assertEqual(r.code, 2, r)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine")
    ARGS, rest = parser.parse_known_args()
    ARGS.work = str(Path(ARGS.work).resolve())
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
