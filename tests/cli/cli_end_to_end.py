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
import re
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time
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


def cli_command(*args, prefix=None):
    """The command line and environment that run the program with these arguments."""
    command = [ARGS.wine, ARGS.cli] if ARGS.wine else [ARGS.cli]
    env = dict(os.environ)
    if ARGS.wine:
        env["QUORRET_WINE_NO_DISPLAY"] = "1"  # a console program needs no X server
        if prefix:
            env["WINEPREFIX"] = str(prefix)
    return command + [str(a) for a in args], env


def run_into_closed_pipe(*args):
    """The program with its standard output a pipe whose reader is gone (`| head` that has ended)."""
    command, env = cli_command(*args)
    read_end, write_end = os.pipe()
    os.close(read_end)
    try:
        return subprocess.run(command, stdout=write_end, stderr=subprocess.PIPE, env=env, timeout=300)
    finally:
        os.close(write_end)


def run_cli(*args, prefix=None):
    command, env = cli_command(*args, prefix=prefix)
    proc = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300)
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


def windows_tar_image(relative, member):
    """MEMBER of a tar archive in ../shared/fixtures/windows, unpacked once (kept sparse); None
    when absent."""
    source = Path(ARGS.source).parent / "shared" / "fixtures" / "windows" / relative
    if not source.exists():
        return None
    image = work_dir("images") / member
    if not image.exists():
        subprocess.run(["tar", "-xzf", str(source), "-C", str(work_dir("images", "tar")), member], check=True)
        os.replace(work_dir("images", "tar") / member, image)
    return image


def scan_sources():
    """(label, arguments that open it) for every fixture volume, one with times set apart, and
    the Windows-written volumes and disks found beside the repository."""
    sources = [(name, [arg_path(unpacked(name))]) for name in fixture_names()]
    sources.append(("sample, times apart", [arg_path(times_set_apart("sample")[0])]))
    plain = Path(ARGS.source).parent / "shared" / "fixtures" / "windows" / "dfir_ntfs" / "file_4k.bin"
    for label, image, extra in (("dissect.ntfs", windows_image("dissect.ntfs/ntfs.bin.gz", "gzip"), []),
                                ("charlie", windows_image("go-ntfs/charlie.dd.bz2", "bzip2"), []),
                                ("file_4k", plain if plain.exists() else None, []),
                                ("ntfs_index", windows_image("dfir_ntfs/ntfs_index.raw.gz", "gzip"), ["--partition", "1"]),
                                ("vss_2003", windows_tar_image("dfir_ntfs/vss_2003.tgz", "vss_2003.raw"),
                                 ["--partition", "1"])):
        if image is not None:
            sources.append((label, [arg_path(image)] + extra))
    return sources


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


DEVICE_STEMS = {"con", "prn", "aux", "nul", "conin$", "conout$"} | {p + d for p in ("com", "lpt") for d in "0123456789"}


def restored_path(manifest_path):
    """Where a restore puts a file: a name Windows opens as a device (nul, CON.txt) gains "_" at
    the end of its stem, on every system."""
    folder, _, name = manifest_path.rpartition("/")
    stem, dot, rest = name.partition(".")
    if stem.rstrip(" ").lower() in DEVICE_STEMS:
        name = stem + "_" + dot + rest
    return folder + "/" + name if folder else name


def volume_path(manifest_path, root="\\"):
    """Documents/Reports/a.docx -> (\\Documents\\Reports\\, a.docx)"""
    parts = manifest_path.split("/")
    return root + "".join(p + "\\" for p in parts[:-1]), parts[-1]


TSV_ESCAPE = re.compile(r"\\(\\|t|n|r|x[0-9A-F]{2}|u\{[0-9A-F]{4}\})")


def tsv_decode(field):
    """A tsv field back to its text: \\\\ \\t \\n \\r, \\xHH and \\u{XXXX}, as README describes."""
    def one(match):
        code = match.group(1)
        return {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}.get(code) or chr(int(code[1:].strip("{}"), 16))
    decoded = TSV_ESCAPE.sub(one, field)
    assert TSV_ESCAPE.sub("", field).count("\\") == 0, "a lone backslash in %r" % field
    return decoded


TSV_HEADER = "record\tname\tpath\ttype\tsize\tmodified\tcreated\taccessed"


def parse_tsv(text, recoverable=True):
    """The rows of a tsv listing, texts decoded: eight columns, recoverable unless the scan ran
    with --no-recoverable, then original_path and deleted."""
    lines = text.split("\n")
    assert lines.pop() == "", "the last line ends with a line feed"
    header = TSV_HEADER + ("\trecoverable" if recoverable else "") + "\toriginal_path\tdeleted"
    assert lines and lines[0] == header, lines[:1]
    rows = []
    for line in lines[1:]:
        fields = line.split("\t")
        assert len(fields) == header.count("\t") + 1, line
        texts = [tsv_decode(f) for f in fields[1:4]]
        rows.append(fields[:1] + texts + [tsv_decode(f) for f in fields[4:-1]] + fields[-1:])
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


FILETIME_EPOCH = datetime.datetime(1601, 1, 1, tzinfo=datetime.timezone.utc)
HOUR = 36000000000  # in FILETIME ticks


def times_set_apart(name):
    """A copy of fixture NAME (its MFT in one piece at cluster 4) whose deleted files' creation,
    modification and access times all differ, where the fixtures give each file one time for all
    three: creation moves a day and an hour before modification, access two days and a half hour
    after. Returns the copy and each record's times in UTC, to the second."""
    data = bytearray(unpacked(name).read_bytes())
    times = {}
    for record in expected_files(name):
        start = 16384 + record * 1024
        assert data[start:start + 4] == b"FILE", record
        attr = start + struct.unpack_from("<H", data, start + 0x14)[0]
        while struct.unpack_from("<I", data, attr)[0] != 0x10:  # $STANDARD_INFORMATION
            assert struct.unpack_from("<I", data, attr)[0] < 0x10, record
            attr += struct.unpack_from("<I", data, attr + 4)[0]
        value = attr + struct.unpack_from("<H", data, attr + 0x14)[0]
        assert value + 0x20 <= start + 510  # the fix-up words stay untouched
        modified = struct.unpack_from("<Q", data, value + 0x08)[0]
        created, accessed = modified - 25 * HOUR, modified + 48 * HOUR + HOUR // 2
        struct.pack_into("<Q", data, value, created)
        struct.pack_into("<Q", data, value + 0x18, accessed)
        times[record] = {column: (FILETIME_EPOCH + datetime.timedelta(microseconds=ticks // 10)).replace(microsecond=0)
                         for column, ticks in (("modified", modified), ("created", created), ("accessed", accessed))}
    copy = work_dir("images") / (name + "-times.img")
    copy.write_bytes(bytes(data))
    return copy, times


def listing(folder):
    """Every entry below folder (links not followed) with what it holds: a checksum for a file,
    the target for a link."""
    entries = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = Path(root, name)
            rel = str(path.relative_to(folder))
            if path.is_symlink():
                entries[rel] = "link " + os.readlink(path)
            elif path.is_dir():
                entries[rel] = "dir"
            else:
                entries[rel] = "%d %s" % (path.stat().st_nlink, sha256(path))
    return entries


def flip_links(stop, plants):
    """Until stop is set: each (link, target) appears as a link and goes again, the way a user who
    can write into the destination would try to slip one in between a check and an open."""
    while not stop.is_set():
        for link, target in plants:
            try:
                os.symlink(target, link)
            except FileExistsError:
                continue
            try:
                if os.path.islink(link):
                    os.unlink(link)
            except FileNotFoundError:
                pass


def patch_names(data, changes):
    """changes: (record, old text, new text of the same length) written over the sample's MFT
    (it starts at byte 16384 and is not fragmented); the fix-up words stay untouched."""
    for record, old, new in changes:
        assert len(new.encode("utf-16-le", "surrogatepass")) <= len(old.encode("utf-16-le")), new
        start = 16384 + record * 1024
        at = data.index(old.encode("utf-16-le"), start, start + 1024)
        assert at % 512 < 510 - 2 * len(old)
        data[at:at + 2 * len(new)] = new.encode("utf-16-le", "surrogatepass")
        if len(new) < len(old):
            assert data[at - 2] == len(old)
            data[at - 2] = len(new)  # a $FILE_NAME's name length (the label's is the attribute's)
    return data


def raw_controls(text):
    """The characters a terminal acts on that the text carries unescaped (line ends aside)."""
    return [c for c in text if (ord(c) < 0x20 and c not in "\n\t") or 0x7F <= ord(c) <= 0x9F
            or 0x202A <= ord(c) <= 0x202E or 0x2066 <= ord(c) <= 0x2069]


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
        # The Recycle Bin's files come after the walk, each part in record order.
        in_bin = [int(row[0]) for row in rows if row[2].lower().startswith("\\$recycle.bin\\")]
        self.assertEqual(records, sorted(set(records) - set(in_bin)) + sorted(in_bin), "%s: not in record order" % name)
        self.assertEqual(set(records), set(expected), name)
        for record, fname, path, ftype, size, modified, created, accessed, _, _, _ in rows:
            want = expected[int(record)]
            self.assertIn((path, fname), {volume_path(p) for p in want.paths}, "%s record %s" % (name, record))
            self.assertEqual(int(size), want.size, "%s record %s" % (name, record))
            self.assertEqual(ftype, fname.rsplit(".", 1)[1].lower() if "." in fname else "")
            for stamp in (modified, created, accessed):
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
                                         "accessed", "recoverable", "original_path", "deleted"])
            self.assertEqual([str(obj["record"]), obj["name"], obj["path"], obj["type"], str(obj["size"])], row[:5])
            self.assertEqual(obj["recoverable"], row[8])
            self.assertEqual((obj["modified"], obj["created"], obj["accessed"]), (row[5], row[6], row[7]))
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
            self.assertRegex(line, r"\d{4}-\d\d-\d\d \d\d:\d\d  \d{4}-\d\d-\d\d \d\d:\d\d  " + row[8] + "$")

        # Each format's times under their own names, where no two of a file's times are equal.
        image, times = times_set_apart("sample")
        r = run_cli("scan", arg_path(image), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        lines = r.out.splitlines()
        tsv = [dict(zip(lines[0].split("\t"), line.split("\t"))) for line in lines[1:]]
        self.assertEqual({int(row["record"]) for row in tsv}, set(times))
        for row in tsv:
            for column in ("modified", "created", "accessed"):
                self.assertEqual(datetime.datetime.fromisoformat(row[column]), times[int(row["record"])][column],
                                 "tsv %s of record %s" % (column, row["record"]))
        r = run_cli("scan", arg_path(image), "--format", "json")
        self.assertEqual(r.code, 0, r)
        objects = [json.loads(line) for line in r.out.splitlines()]
        self.assertEqual(len(objects), len(times))
        for obj in objects:
            for column in ("modified", "created", "accessed"):
                self.assertEqual(datetime.datetime.fromisoformat(obj[column]), times[obj["record"]][column],
                                 "json %s of record %d" % (column, obj["record"]))
        r = run_cli("scan", arg_path(image))
        self.assertEqual(r.code, 0, r)
        lines = r.out.splitlines()
        local = datetime.datetime.fromisoformat(tsv[0]["modified"]).tzinfo  # the offset the program uses
        self.assertEqual(len(lines), len(times) + 1)
        # Cells stand left-aligned under their titles.
        columns = [(column, title, lines[0].index(title))
                   for column, title in (("modified", "Modified Time"), ("created", "Creation Time"))]
        for line in lines[1:]:
            record = int(line.split()[0])
            for column, title, at in columns:
                self.assertEqual(line[at:at + 16], times[record][column].astimezone(local).strftime("%Y-%m-%d %H:%M"),
                                 "table %s of record %d" % (title, record))

    def test_threads_print_and_log_what_one_thread_does(self):
        """Records parsed on several threads: every format prints the same bytes and the log has the
        same lines in the same order as with one thread (or, given --reference-cli, as that build
        prints with its defaults), in several time zones."""
        if ARGS.wine:
            self.skipTest("the native run compares every volume")
        zones = ["UTC", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe"]
        formats = ["table", "tsv", "json", "body"]
        reference = [ARGS.reference_cli] if ARGS.reference_cli else [ARGS.cli, "--threads", "1"]
        compared = 0
        for label, source in scan_sources():
            for i, fmt in enumerate(formats):
                zone = zones[(i + compared) % len(zones)]
                env = dict(os.environ, TZ=zone)
                runs = []
                for command in (reference, [ARGS.cli, "--threads", "3"], [ARGS.cli]):
                    proc = subprocess.run(command[:1] + ["scan"] + source + ["--format", fmt, "--verbose"] + command[1:],
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300)
                    # The summary's time is the one thing allowed to differ.
                    runs.append((proc.returncode, proc.stdout, re.sub(rb" in \d+\.\d\d s: ", b" in T s: ", proc.stderr)))
                with self.subTest(source=label, format=fmt, zone=zone):
                    self.assertEqual(runs[0][0], 0, runs[0])
                    for other in runs[1:]:
                        self.assertEqual(other, runs[0])
            compared += 1
        self.assertGreaterEqual(compared, len(fixture_names()) + 1)

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


class RecycleBin(unittest.TestCase):
    def test_emptied_bin_items_under_their_original_names(self):
        manifest = Path(ARGS.source, "tests", "fixtures", "recycle.manifest.tsv").read_text("utf-8").splitlines()
        original, unjoined = {}, set()
        for line in manifest:
            fields = line.split("\t")
            if fields[0] == "# original":
                original[volume_path(fields[1])] = (fields[2], datetime.datetime.fromisoformat(
                    fields[3].replace("Z", "+00:00")))
            elif fields[0] == "# unjoined":
                unjoined.add(volume_path(fields[1]))
        self.assertEqual((len(original), len(unjoined)), (6, 3))
        expected = expected_files("recycle")
        image = arg_path(unpacked("recycle"))

        r = run_cli("scan", image, "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        self.assertIn("Recycle Bin: 6 original paths found, 2 damaged $I files ignored.", r.err)
        rows = parse_tsv(r.out)
        joined = {}
        for row in rows:
            key = (row[2], row[1])
            if key in original:
                joined[key] = (row[9], datetime.datetime.fromisoformat(row[10]))
            else:
                self.assertEqual(row[9:], ["", ""], row)
        self.assertEqual(joined, original)
        self.assertTrue(unjoined <= {(row[2], row[1]) for row in rows})
        self.assertGreater(max(len(p) for p, _ in original.values()), 260)

        # A filter that hides the folder's index file still joins the file found inside it.
        r = run_cli("scan", image, "--format", "tsv", "--filter", "bin")
        self.assertEqual([row[9] for row in parse_tsv(r.out)], ["D:\\Projects\\Old Project\\sub\\data.bin"])

        r = run_cli("scan", image, "--format", "json")
        objects = {(o["path"], o["name"]): o for o in map(json.loads, r.out.splitlines())}
        for key, (path, _) in original.items():
            self.assertEqual(objects[key]["original_path"], path)
        self.assertEqual({objects[key]["original_path"] for key in unjoined}, {None})

        r = run_cli("scan", image)
        for path, _ in original.values():
            folder, name = path.rsplit("\\", 1)
            self.assertRegex(r.out, r"\n +\d+  %s +%s\\ \(bin\) " % (re.escape(name), re.escape(folder)))

        out = work_dir("restored") / "recycle"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", image, "--all", "--tree", "--original-names", "--out", arg_path(out))
        self.assertEqual(r.code, 0, r)
        self.assertEqual(r.out.splitlines()[-1], EXPECTED_TOTAL % len(expected))
        by_path = {volume_path(p): e for e in expected.values() for p in e.paths}
        for key, want in by_path.items():
            place = original[key][0][3:] if key in original else (key[0] + key[1])[1:]
            self.assertEqual(sha256(out.joinpath(*place.split("\\"))), want.sha256, place)
        r = run_cli("restore", image, "--original-names", "--out", arg_path(out), "78")
        self.assertEqual(r.code, 2, r)

        # An index file that points upwards is made safe like any stored name.
        data = bytearray(unpacked("recycle").read_bytes())
        old, new = "D:\\Notes\\todo.txt".encode("utf-16-le"), "D:\\..\\..\\evil.txt".encode("utf-16-le")
        at = data.index(old)
        assert len(old) == len(new) and at % 512 < 510 - len(old)  # the fix-up words stay untouched
        data[at:at + len(new)] = new
        hostile = work_dir("images") / "recycle-hostile.img"
        hostile.write_bytes(bytes(data))
        sandbox = work_dir("restored") / "recycle-hostile"
        shutil.rmtree(sandbox, ignore_errors=True)
        r = run_cli("restore", arg_path(hostile), "--all", "--tree", "--original-names", "--out",
                    arg_path(sandbox / "out"))
        self.assertEqual(r.code, 0, r)
        self.assertTrue((sandbox / "out" / "__" / "__" / "evil.txt").is_file(), r.out)
        self.assertEqual([p.name for p in sandbox.iterdir()], ["out"])


class Traces(unittest.TestCase):
    """Names of deleted files whose records later files took, found in slack and the journal."""

    def scan_traces(self, image, *extra):
        r = run_cli("scan", arg_path(image), "--traces", "--format", "tsv", *extra)
        self.assertEqual(r.code, 0, r)
        lines = r.out.split("\n")
        self.assertEqual(lines.pop(), "")
        self.assertTrue(lines[0].endswith("\tdeleted\tfound_in"), lines[0])
        rows = [line.split("\t") for line in lines[1:]]
        return r, [(tsv_decode(f[1]), tsv_decode(f[2]), f[-1]) for f in rows if f[0].startswith("T")]

    def test_built_volume_names_and_no_other(self):
        image = unpacked("traces/traces")
        data = image.read_bytes()
        deleted, live = set(), set()
        for line in Path(ARGS.source, "tests", "fixtures", "traces", "traces.manifest.tsv").read_text("utf-8").splitlines()[1:]:
            if line and not line.startswith("#"):
                record, gone, kind, size, sha, path = line.split("\t")
                (deleted if gone == "1" else live).add(volume_path(path)[::-1])
        on_volume = {d for d in deleted if d[0].encode("utf-16-le") in data}
        r, traces = self.scan_traces(image)
        found = {(name, path) for name, path, _ in traces}
        self.assertEqual(len(found), len(traces), "one row per name")
        self.assertEqual(found - deleted, set(), "a name that never existed, or one still live")
        self.assertGreaterEqual(len(found & on_volume), 0.9 * len(on_volume), (found, on_volume))
        self.assertGreater(len(on_volume), 10)
        self.assertIn("0 deleted files found. %d names found only in traces" % len(traces), r.err)
        # The same rows in the other formats: json carries found_in, body inode 0 for mactime.
        j = run_cli("scan", arg_path(image), "--traces", "--format", "json")
        rows = [json.loads(line) for line in j.out.splitlines()]
        self.assertEqual([(o["record"], o["found_in"]) for o in rows],
                         [("T%d" % (i + 1), found_in.split(",")) for i, (_, _, found_in) in enumerate(traces)])
        body = run_cli("scan", arg_path(image), "--traces", "--format", "body").out.splitlines()
        self.assertEqual([line.split("|")[1:3] for line in body],
                         [["/" + path.strip("\\").replace("\\", "/") + "/" + name, "0"] for name, path, _ in traces])
        # A trace has no data: restoring one is refused before anything is written.
        out = work_dir("traces") / "out"
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), "T1")
        self.assertEqual(r.code, 2, r)
        self.assertIn("'T1' is a trace: only its name was found, there is no data to restore", r.err)
        self.assertFalse(out.exists())

    def test_no_file_the_scan_lists_is_repeated(self):
        # Deleting a file leaves its index entry in the slack while its record keeps the name:
        # such names, and copies of live entries, are not traces. A trace is a deleted name of
        # the manifest that the scan cannot list (the driver took it out of the record).
        for name in fixture_names() + ["reuse/reuse"]:
            with self.subTest(fixture=name):
                image = unpacked(name)
                deleted = set()
                for line in Path(ARGS.source, "tests", "fixtures", name + ".manifest.tsv").read_text("utf-8").splitlines()[1:]:
                    if line and not line.startswith("#") and line.split("\t")[1] == "1":
                        deleted.add(volume_path(line.split("\t")[5])[::-1])
                listed = {(row[1], row[2]) for row in parse_tsv(run_cli("scan", arg_path(image), "--format", "tsv").out)}
                _, traces = self.scan_traces(image)
                found = {(n, p) for n, p, _ in traces}
                self.assertEqual(found & listed, set())
                self.assertEqual(found - deleted, set())

    def test_windows_written_slack_and_journal(self):
        disk = windows_image("dfir_ntfs/ntfs_index.raw.gz", "gzip")
        if disk is None:
            self.skipTest("../shared/fixtures/windows is not beside the repository")
        # The root's slack also holds "... - Copy (11).txt", a shifted copy of a live entry
        # (record 64, the same creation time): not a trace.
        _, traces = self.scan_traces(disk, "--offset", "128s")
        self.assertEqual(traces, [("BBBBBBBBBBBBB-del.txt", "\\test_dir\\", "index-slack")])
        raw = work_dir("images") / "ntfs.raw"
        if not raw.exists():
            source = Path(ARGS.source).parent / "shared" / "fixtures" / "windows" / "ntfs-samples" / "ntfs.tgz"
            subprocess.run(["tar", "-xzf", str(source), "-C", str(raw.parent), "ntfs.raw"], check=True)
        r, traces = self.scan_traces(raw, "--offset", "2048s")
        # A healthy volume: the 198 records Windows never wrote (all zeros) are no errors.
        self.assertIn("198 of the records were never used (all zeros).", r.err)
        self.assertNotIn("error", r.err)
        # Renamed to file_8.txt (record 54 keeps its sequence number): its old index entry lies in
        # the folder's record slack and the journal holds the rename.
        self.assertIn(("file_hidden.txt", "\\test_dir\\", "record-slack,usn,old-name"), traces)
        self.assertIn(("shadow_2.txt", "\\", "usn"), traces)


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
                    self.assertIn(dest, {shown_path(out.joinpath(*restored_path(p).split("/"))) for p in want.paths},
                                  line)
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

    def test_keep_times_never_sets_a_time_the_destination_clamps(self):
        """A modification time in the year 3000: kept exactly where the destination holds it,
        otherwise refused with a note, never set to another date (ext4 stops in 2446)."""
        data = bytearray(unpacked("sample").read_bytes())
        start = 16384 + 91 * 1024
        attr = start + struct.unpack_from("<H", data, start + 0x14)[0]
        while struct.unpack_from("<I", data, attr)[0] != 0x10:  # $STANDARD_INFORMATION
            attr += struct.unpack_from("<I", data, attr + 4)[0]
        value = attr + struct.unpack_from("<H", data, attr + 0x14)[0]
        wanted = datetime.datetime(3000, 1, 1, tzinfo=datetime.timezone.utc)
        struct.pack_into("<Q", data, value + 8, (wanted - FILETIME_EPOCH) // datetime.timedelta(microseconds=1) * 10)
        image = work_dir("images") / "sample-year3000.img"
        image.write_bytes(bytes(data))
        out = work_dir("restored") / "year3000"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), "--keep-times", "91")
        self.assertEqual(r.code, 0, r)
        line = r.out.splitlines()[0].split("\t")
        modified = (out / "readme.txt").stat().st_mtime
        if line[2:] == ["ok"]:
            self.assertEqual(modified, wanted.timestamp())
        else:
            self.assertEqual(line[2], "ok")
            self.assertRegex(line[3], r"^warning: times not kept")
            self.assertLess(modified, datetime.datetime(2400, 1, 1, tzinfo=datetime.timezone.utc).timestamp())

    def test_records_flat_with_unique_names(self):
        image = unpacked("sample")
        out = work_dir("restored") / "records"
        shutil.rmtree(out, ignore_errors=True)
        # 89 twelve times: the copies after the first are numbered, on past one digit.
        r = run_cli("restore", arg_path(image), "--out", arg_path(out), *["89"] * 12, "105")
        self.assertEqual(r.code, 0, r)
        lines = [line.split("\t") for line in r.out.splitlines()]
        self.assertEqual(lines[-1], [EXPECTED_TOTAL % 13])
        copies = ["scan.pdf"] + ["scan_%d.pdf" % k for k in range(11)]
        self.assertEqual(lines[:-1], [["89", shown_path(out / copy), "ok"] for copy in copies] + [
            ["105", shown_path(out / "track02.mp3"), "ok"],
        ])
        expected = expected_files("sample")
        for copy in copies:
            self.assertEqual(sha256(out / copy), expected[89].sha256, copy)
        self.assertEqual(sha256(out / "track02.mp3"), expected[105].sha256)

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
        # The folder's backslashes are part of its one name: one level, as "_".
        self.assertIn("79\t" + shown_path(out / ".._.._zzz" / ".._.._evil.tx") + "\tok", r.out)
        self.assertEqual(sha256(out / ".._.._zzz" / ".._.._evil.tx"), expected_files("sample")[79].sha256)
        self.assertEqual([p.name for p in sandbox.iterdir()], ["a"])
        self.assertEqual([p.name for p in (sandbox / "a").iterdir()], ["b"])
        self.assertEqual([p.name for p in (sandbox / "a" / "b").iterdir()], ["out"])

    def test_planted_links_and_a_race_never_lead_outside_out(self):
        """Someone who can write into --out plants a dangling link, a link to an existing file, a
        hard link, folder links (dangling or not) and names that keep turning into links: no
        byte lands outside --out, and every file reported "ok" holds the deleted file's bytes."""
        image = unpacked("sample")
        expected = expected_files("sample")
        base = work_dir("adversary")
        shutil.rmtree(base, ignore_errors=True)
        sentinel, flat, tree = base / "sentinel", base / "flat", base / "tree"
        for folder in (sentinel / "folder", flat, tree):
            folder.mkdir(parents=True)
        for name in ("existing.txt", "hard.txt", "race.txt", "folder/keep.txt"):
            (sentinel / name).write_bytes(name.encode() + b"\n")
        os.symlink(sentinel / "dangling.pdf", flat / "scan.pdf")
        os.symlink(sentinel / "existing.txt", flat / "readme.txt")
        os.link(sentinel / "hard.txt", flat / "letter.docx")
        os.symlink(sentinel / "folder", tree / "Old Stuff")
        os.symlink(sentinel / "dangling-folder", tree / "Documents")
        before = listing(sentinel)
        stop = threading.Event()
        racer = threading.Thread(target=flip_links, args=(stop, [
            (flat / "track02.mp3", sentinel / "race.txt"), (flat / "IMG_0042.jpg", sentinel / "race.txt"),
            (tree / "Music", sentinel / "folder"), (tree / "Photos", sentinel / "folder")]))
        racer.start()
        runs = []
        try:
            for _ in range(1 if ARGS.wine else 4):
                for out, extra in ((flat, []), (tree, ["--tree"])):
                    runs.append((out, run_cli("restore", arg_path(image), "--all", "--out", arg_path(out), *extra)))
        finally:
            stop.set()
            racer.join()
        self.assertEqual(listing(sentinel), before)
        self.assertFalse((sentinel / "dangling.pdf").exists() or (sentinel / "dangling-folder").exists())
        # Under Wine a name that turns into a link while Wine looks it up can fail its file (the
        # failure is reported as such); nothing may still land outside --out.
        racing = {"track02.mp3", "IMG_0042.jpg", "Music", "Photos"}
        for out, r in runs:
            lines = r.out.splitlines()
            failed = [line for line in lines[:-1] if line.split("\t")[2] != "ok"]
            if ARGS.wine:
                for line in failed:
                    self.assertTrue(racing & set(re.split(r"[\\/]", line.split("\t")[1])), line)
            self.assertEqual(r.code, 1 if failed and ARGS.wine else 0, r)
            if not failed:
                self.assertEqual(lines[-1], EXPECTED_TOTAL % len(expected), r)
            for line in lines[:-1]:
                record, dest, status = line.split("\t")[:3]
                local = local_path(dest)
                if ARGS.wine and status == "failed":
                    continue
                self.assertEqual(status, "ok", line)
                self.assertFalse(local.is_symlink(), line)
                self.assertTrue(os.path.realpath(local).startswith(os.path.realpath(out) + os.sep), line)
                self.assertEqual(sha256(local), expected[int(record)].sha256, line)
                if have_tsk():
                    self.assertEqual(local.read_bytes(), icat(image, int(record)), line)
        # The planted names stay what they were; the files took the next free names.
        self.assertTrue((flat / "scan.pdf").is_symlink() and (flat / "readme.txt").is_symlink())
        self.assertEqual((flat / "letter.docx").read_bytes(), b"hard.txt\n")
        self.assertEqual(sha256(flat / "scan_0.pdf"), expected[89].sha256)
        self.assertEqual(sha256(tree / "Old Stuff_0" / "sub" / "readme.txt"), expected[91].sha256)
        self.assertEqual(sha256(tree / "Documents_0" / "old-notes.txt"), expected[79].sha256)

    def test_out_through_a_link_in_a_shared_folder(self):
        """In a sticky folder anyone may write to (/tmp), --out follows only a link of the caller
        or of the folder's owner: one planted by another user is refused before anything is made."""
        if ARGS.wine or os.geteuid() != 0:
            self.skipTest("needs a second user: root, natively")
        base = work_dir("shared-out")
        shutil.rmtree(base, ignore_errors=True)
        shared, target = base / "tmp", base / "target"
        shared.mkdir(parents=True)
        target.mkdir()
        shared.chmod(0o1777)
        os.symlink(target, shared / "planted")
        os.lchown(shared / "planted", 65534, 65534)
        os.symlink(target, shared / "mine")
        image = arg_path(unpacked("sample"))
        for out in (shared / "planted", shared / "planted" / "deeper"):
            r = run_cli("restore", image, "--out", str(out), "91")
            self.assertEqual(r.code, 2, r)
            self.assertEqual(r.out, "")
            self.assertIn("--out is not followed through %s: a link owned by " % (shared / "planted"), r.err)
            self.assertIn("(uid 65534)", r.err)
            self.assertEqual(list(target.iterdir()), [])
        r = run_cli("restore", image, "--out", str(shared / "mine" / "made"), "91")
        self.assertEqual(r.code, 0, r)
        self.assertEqual(sha256(target / "made" / "readme.txt"), expected_files("sample")[91].sha256)

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


def formatted_over(name, wipe):
    """NAME's volume with a new, empty file system written over it by a quick format (mkntfs -Q);
    with `wipe`, its boot sector, the boot sector's backup and the new MFT's first 16 KiB zeroed
    too, so that no file system is left to read."""
    image = work_dir("deep") / ("%s-%s.img" % (name, "wiped" if wipe else "formatted"))
    shutil.copyfile(unpacked(name), image)
    subprocess.run(["mkntfs", "-F", "-Q", "-q", str(image)], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    if wipe:
        with open(image, "r+b") as f:
            boot = f.read(512)
            cluster = struct.unpack_from("<H", boot, 11)[0] * boot[13]
            mft = struct.unpack_from("<Q", boot, 0x30)[0] * cluster
            for offset, length in ((0, 512), (image.stat().st_size - 512, 512), (mft, 16384)):
                f.seek(offset)
                f.write(bytes(length))
    return image


class DeepScan(unittest.TestCase):
    @unittest.skipIf(not shutil.which("mkntfs"), "mkntfs is not installed")
    def test_files_of_a_formatted_or_lost_file_system(self):
        # bigmft's MFT lies in hundreds of pieces: folders are found across them. Every file it held,
        # in use or deleted, was stored whole but one (its clusters reused before the format).
        lines = Path(ARGS.source, "tests", "fixtures", "bigmft.manifest.tsv").read_text("utf-8").splitlines()
        lost = {l.split("\t")[1] for l in lines if l.startswith("# data-incomplete\t")}
        expected = {}
        for line in lines[1:]:
            fields = line.split("\t")
            if len(fields) == 6 and fields[2] == "file" and fields[5] not in lost:
                expected["".join(volume_path(fields[5]))] = fields[4]
        # The last case is the wiped volume as the partition of a whole disk, read from the disk's start.
        for wipe, disk in ((False, False), (True, False), (True, True)):
            with self.subTest(wipe=wipe, disk=disk):
                image = formatted_over("bigmft", wipe)
                where = []
                if disk:
                    image = mbr_disk(image, work_dir("deep") / "bigmft-wiped-disk.img")
                    where = ["--offset", "0"]
                else:
                    self.assertNotIn("\tok", run_cli("restore", arg_path(image), "--all", "--out",
                                                     arg_path(work_dir("deep", "plain"))).out)
                r = run_cli("scan", arg_path(image), *where, "--deep", "--format", "tsv")
                self.assertEqual(r.code, 0, r)
                # Looked through on one thread or on three, the rows and the summary are the same.
                for threads in ("1", "3"):
                    again = run_cli("scan", arg_path(image), *where, "--deep", "--format", "tsv", "--threads", threads)
                    self.assertEqual([again.code, again.out, re.sub(r" in \d+\.\d\d s: ", "", again.err)],
                                     [r.code, r.out, re.sub(r" in \d+\.\d\d s: ", "", r.err)])
                rows = [l.split("\t") for l in r.out.splitlines()]
                self.assertEqual(rows[0][-4:], ["recoverable", "original_path", "deleted", "old_mft"])
                listed = {tsv_decode(row[2]) + tsv_decode(row[1]): row for row in rows[1:]}
                self.assertGreaterEqual(len(set(listed) & set(expected)), 0.95 * len(expected))
                self.assertTrue(all(row[0].startswith("@") and row[-1] == "1" for row in rows[1:]))
                # One old file system, placed where the partition starts; a quick format leaves the
                # new boot sector, a wiped one the new $MFTMirr, both written at the old geometry.
                place = "from its $MFTMirr's copies" if wipe else "from its boot sector"
                self.assertIn("No live file system. " if wipe else "live MFT. Old file system", r.err)
                self.assertRegex(r.err, r"Old file system at byte %d, 4096-byte clusters \(%s[^)]*\): \d+ files\."
                                 % (1048576 if disk else 0, re.escape(place)))
                out = work_dir("deep", "disk" if disk else "wiped" if wipe else "formatted")
                shutil.rmtree(out, ignore_errors=True)
                r = run_cli("restore", arg_path(image), *where, "--deep", "--all", "--tree", "--out", arg_path(out))
                identical = 0
                for line in r.out.splitlines()[:-1]:
                    position, dest, status = line.split("\t")[:3]
                    shown = "\\" + str(Path(local_path(dest)).relative_to(out)).replace("/", "\\")
                    same = status == "ok" and shown in expected and sha256(local_path(dest)) == expected[shown]
                    identical += same
                    # A file called intact restores as it was stored.
                    if shown in listed and listed[shown][8] == "intact":
                        self.assertTrue(same, line)
                self.assertGreaterEqual(identical, 0.95 * len(expected), r)
                # One file named by its position, alone.
                first = rows[-1]
                one = work_dir("deep", "one")
                shutil.rmtree(one, ignore_errors=True)
                r = run_cli("restore", arg_path(image), *where, "--deep", "--out", arg_path(one), first[0])
                self.assertEqual(r.out.splitlines()[0].split("\t")[0::2], [first[0], "ok"], r)

    @unittest.skipIf(not shutil.which("mkntfs"), "mkntfs is not installed")
    def test_folders_named_by_their_parents_index_blocks(self):
        # features after a quick format, with the records of three folders whose parents' indexes
        # lie in index blocks zeroed too: their files keep their folders, named by those blocks.
        lines = Path(ARGS.source, "tests", "fixtures", "features.manifest.tsv").read_text("utf-8").splitlines()
        entries = [line.split("\t") for line in lines[1:] if not line.startswith("#")]
        folders = {int(e[0]): e[5] for e in entries if e[2] == "dir" and e[5] in
                   ("compressed/inner", "unicode/Ελληνικά", "dos/Program Files")}
        expected = {"".join(volume_path(e[5])) for e in entries
                    if e[2] == "file" and e[5].rsplit("/", 1)[0] in folders.values()}
        image = formatted_over("features", False)
        data = bytearray(image.read_bytes())
        wiped = 0
        for at in range(0, len(data) - 1024, 512):
            if data[at:at + 4] == b"FILE" and struct.unpack_from("<I", data, at + 0x2C)[0] in folders \
                    and data[at + 0x16] & 2:
                data[at:at + 1024] = bytes(1024)
                wiped += 1
        self.assertEqual(wiped, len(folders))
        image.write_bytes(data)
        r = run_cli("scan", arg_path(image), "--deep", "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        listed = {tsv_decode(row[2]) + tsv_decode(row[1]) for row in (l.split("\t") for l in r.out.splitlines()[1:])}
        self.assertTrue(expected and expected <= listed, (expected, listed))
        # An old file's named streams come from its own record, in use in its file system as it is.
        streams = {e[5].split("/")[-1].replace(":", "_"): e[4] for e in entries if e[2] == "stream" and e[5].startswith("streams/")
                   and "/folder" not in e[5]}
        out = work_dir("deep", "streams")
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--deep", "--streams", "--all", "--out", arg_path(out))
        self.assertNotIn("stream failed", r.out)
        self.assertEqual({name: sha256(out / name) for name in streams}, streams, r)

    def test_progress_on_a_terminal_and_ctrl_c(self):
        if ARGS.wine or not shutil.which("strace"):
            self.skipTest("a POSIX terminal and strace are needed")
        # Reads slowed by strace so that the scan is still reading when the progress line shows;
        # Ctrl+C then lists what was found so far and exits 130.
        command, env = cli_command("scan", arg_path(formatted_over("bigmft", True)), "--deep", "--format", "tsv")
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"  # LeakSanitizer cannot run traced
        controller, terminal = os.openpty()
        proc = subprocess.Popen(["strace", "-f", "-qq", "-o", os.devnull, "-e", "trace=pread64",
                                 "-e", "inject=pread64:delay_exit=20000", "--"] + command,
                                stdout=subprocess.PIPE, stderr=terminal, env=env)
        os.close(terminal)
        def read_terminal(until=None):
            text = b""
            while until is None or until not in text:
                try:
                    chunk = os.read(controller, 4096)
                except OSError:  # the terminal's other end is closed
                    break
                if not chunk:
                    break
                text += chunk
            return text
        # The count grows while the source is read, not only once it is.
        shown = b""
        deadline = time.monotonic() + 120
        while not re.search(rb"   [1-9]\d* files found", shown) and time.monotonic() < deadline:
            more = read_terminal(b"left")
            if not more:
                break
            shown += more
        os.kill(int(Path("/proc/%d/task/%d/children" % (proc.pid, proc.pid)).read_text().split()[0]), signal.SIGINT)
        stdout, _ = proc.communicate(timeout=300)
        shown += read_terminal()
        os.close(controller)
        self.assertEqual(proc.returncode, 130, shown)
        self.assertRegex(shown.decode("utf-8"), r"\r +[\d.]+%   \d+ of 64 MiB   [\d-]+ MiB/s   \d+ files found")
        self.assertIn(b"Interrupted: the listing holds what was found so far.", shown)
        self.assertTrue(stdout.decode("utf-8").startswith("record\tname\t"), stdout[:200])


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
        states = {int(row[0]): row[8] for row in rows}

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


    def test_body_keeps_names_whole_and_times_as_tsv_shows_them(self):
        """A "|" or "/" inside a name cannot pass for a separator; a time before 1970 or after 2038
        gives the instant tsv shows."""
        data = patch_names(bytearray(unpacked("sample").read_bytes()), [(95, "IMG_0043.jpg", "a|b/cdef.jpg")])
        start = 16384 + 79 * 1024
        attr = start + struct.unpack_from("<H", data, start + 0x14)[0]
        while struct.unpack_from("<I", data, attr)[0] != 0x10:  # $STANDARD_INFORMATION
            attr += struct.unpack_from("<I", data, attr + 4)[0]
        value = attr + struct.unpack_from("<H", data, attr + 0x14)[0]
        stamps = {"created": datetime.datetime(1960, 3, 1, 12, 0, 30, tzinfo=datetime.timezone.utc),
                  "modified": datetime.datetime(2100, 6, 1, 8, 15, 0, tzinfo=datetime.timezone.utc),
                  "accessed": datetime.datetime(2040, 1, 19, 3, 14, 8, tzinfo=datetime.timezone.utc)}
        for column, at in (("created", 0), ("modified", 8), ("accessed", 0x18)):
            ticks = (stamps[column] - FILETIME_EPOCH) // datetime.timedelta(microseconds=1) * 10
            struct.pack_into("<Q", data, value + at, ticks)
        image = work_dir("images") / "sample-body.img"
        image.write_bytes(bytes(data))
        r = run_cli("scan", arg_path(image), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        lines = r.out.splitlines()
        tsv = {int(row["record"]): row for row in (dict(zip(lines[0].split("\t"), line.split("\t")))
                                                   for line in lines[1:])}
        self.assertEqual(datetime.datetime.fromisoformat(tsv[79]["created"]), stamps["created"])
        r = run_cli("scan", arg_path(image), "--format", "body")
        self.assertEqual(r.code, 0, r)
        body = {}
        for line in r.out.splitlines():
            fields = line.split("|")
            self.assertEqual(len(fields), 11, line)
            body[int(fields[2])] = fields
        self.assertTrue(body[95][1].endswith("/a\\x7cb\\x2fcdef.jpg"), body[95])
        for record, row in tsv.items():
            for column, field in (("accessed", 7), ("modified", 8), ("created", 10)):
                shown = datetime.datetime.fromisoformat(row[column]).timestamp()
                self.assertEqual(int(body[record][field]), shown, "%s of record %d" % (column, record))


class HonestOutput(unittest.TestCase):
    def test_failures_are_never_reported_as_success(self):
        sample = unpacked("sample")
        expected = expected_files("sample")
        # Records that are not deleted files: refused before anything is made.
        out = work_dir("honest") / "refused"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(unpacked("bigmft")), "--out", arg_path(out), "915", "80", "100000", "5")
        self.assertEqual(r.code, 2, r)
        self.assertEqual(r.err.splitlines(), [
            "quorret-cli: record 915 is in use", "quorret-cli: record 80 is a directory",
            "quorret-cli: record 100000 is beyond the last MFT record (8112)",
            "quorret-cli: record 5 cannot be restored: records below 16 hold the volume's own files"])
        self.assertFalse(out.exists())

        # A source cut inside track02.mp3 (record 105): info and scan say so once; every byte of
        # the file the source still holds stays on disk and its line says how many.
        data = sample.read_bytes()
        track = icat(sample, 105) if have_tsk() else None
        start = data.index(track[:65536]) if track else 0x20000
        cut = work_dir("images") / "sample-cut.img"
        cut.write_bytes(data[:start + 100000])
        held = (start + 100000) // 512 * 512  # whole sectors
        r = run_cli("info", arg_path(cut))
        self.assertIn("\n%s ends after %d of the volume's %d bytes" % (arg_path(cut), held, len(data) - 512), r.out)
        r = run_cli("scan", arg_path(cut), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        self.assertEqual(r.err.count(" ends after %d of the volume's " % held), 1, r)
        # What lies past the cut is lost: never intact, never chosen by --recoverable.
        recoverable = {int(row[0]): row[TSV_HEADER.count("\t") + 1] for row in parse_tsv(r.out)}
        self.assertNotEqual(recoverable[105], "intact")
        chosen = work_dir("honest") / "chosen"
        shutil.rmtree(chosen, ignore_errors=True)
        r = run_cli("restore", arg_path(cut), "--all", "--recoverable", "--out", arg_path(chosen))
        self.assertNotIn("105", [line.split("\t")[0] for line in r.out.splitlines()], r)
        stub = work_dir("images") / "sample-8k.img"  # the boot sector, not the MFT
        stub.write_bytes(data[:8192])
        r = run_cli("info", arg_path(stub))
        self.assertEqual(r.code, 2, r)
        self.assertIn("%s ends after 8192 of the volume's %d bytes" % (arg_path(stub), len(data) - 512), r.err)
        out = work_dir("honest") / "partial"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(cut), "--out", arg_path(out), "105", "91")
        self.assertEqual(r.code, 1, r)
        lines = r.out.splitlines()
        self.assertEqual(lines[0], "105\t%s\tfailed\t100000 of %d bytes (source ends early)"
                         % (shown_path(out / "track02.mp3"), expected[105].size))
        self.assertEqual(lines[1], "91\t%s\tok" % shown_path(out / "readme.txt"))
        self.assertEqual(lines[2], (EXPECTED_TOTAL % 1) + "1 partly restored. ")
        self.assertEqual((out / "track02.mp3").stat().st_size, 100000)
        if track:
            self.assertEqual((out / "track02.mp3").read_bytes(), track[:100000])
        # Cut where track02.mp3 starts: nothing of it could be read, so no empty file is left.
        cut0 = work_dir("images") / "sample-cut0.img"
        cut0.write_bytes(data[:start])
        out = work_dir("honest") / "nothing-read"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(cut0), "--out", arg_path(out), "105")
        self.assertEqual(r.code, 1, r)
        self.assertEqual(r.out.splitlines(), ["105\t%s\tfailed" % shown_path(out / "track02.mp3"),
                                              (EXPECTED_TOTAL % 0) + "1 failed. "])
        self.assertEqual(list(out.iterdir()), [])

        # Output that cannot be written: a message and exit 1, never a quiet cut.
        command, env = cli_command("scan", arg_path(sample), "--format", "json")
        if Path("/dev/full").exists():
            with open("/dev/full", "wb") as full:
                proc = subprocess.run(command, stdout=full, stderr=subprocess.PIPE, env=env, timeout=300)
            self.assertEqual(proc.returncode, 1, proc.stderr)
            self.assertIn(b"standard output could not be written", proc.stderr)
        if not ARGS.wine:
            # A reader that goes away (| head): said, exit 1, whatever the format or the extras.
            for extra in (["--format", "table"], ["--format", "tsv"], ["--format", "json"], ["--format", "body"],
                          ["--traces"], ["--shadow-copies"]):
                proc = run_into_closed_pipe("scan", arg_path(sample), *extra)
                self.assertEqual(proc.returncode, 1, (extra, proc.returncode, proc.stderr))
                self.assertIn(b"standard output could not be written", proc.stderr, extra)

        # A directory as SOURCE, a folder that cannot be made, the version.
        r = run_cli("scan", arg_path(work_dir("honest")))
        self.assertEqual(r.code, 2, r)
        self.assertIn(" is a directory: give an NTFS image file or a block device.", r.err)
        blocker = work_dir("honest") / "a-file"
        blocker.write_bytes(b"")
        r = run_cli("restore", arg_path(sample), "--out", arg_path(blocker / "sub"), "91")
        self.assertEqual(r.code, 2, r)
        if not ARGS.wine:
            self.assertEqual(r.err, "Path not found: %s/sub (Not a directory)\n" % blocker)
        r = run_cli("--version")
        self.assertEqual(r.code, 0, r)
        self.assertRegex(r.out, r"^quorret-cli \d+\.\d+\.\d+\n$")

    def test_a_fifo_source_and_an_out_on_the_source_are_refused(self):
        if ARGS.wine:
            self.skipTest("FIFOs and FUSE mounts are POSIX matters")
        fifo = work_dir("honest") / "fifo"
        if fifo.exists():
            fifo.unlink()
        os.mkfifo(fifo)
        r = run_cli("scan", fifo)
        self.assertEqual(r.code, 2, r)
        self.assertIn("Not a disk or an image file: %s" % fifo, r.err)
        if not (shutil.which("ntfs-3g") and os.geteuid() == 0 and Path("/dev/fuse").exists()):
            return
        # The volume being read, mounted: nothing is made on it.
        image = work_dir("images") / "sample-mounted.img"
        shutil.copyfile(unpacked("sample"), image)
        mount = work_dir("honest") / "mounted"
        mount.mkdir(exist_ok=True)
        subprocess.run(["ntfs-3g", str(image), str(mount)], check=True, timeout=60)
        try:
            r = run_cli("restore", image, "--all", "--out", mount / "restored")
            self.assertEqual(r.code, 2, r)
            self.assertIn("%s lies on %s, the volume being read" % (mount / "restored", image), r.err)
            self.assertFalse((mount / "restored").exists())
        finally:
            subprocess.run(["fusermount", "-u", str(mount)], timeout=60)

    def test_interrupted_restore_still_tells_the_truth(self):
        if ARGS.wine:
            self.skipTest("signals are a POSIX matter")
        # Ctrl+C, and a terminal or ssh session that closes (SIGHUP), end a restore alike.
        for sig in (signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                out = work_dir("honest") / ("interrupted-" + sig.name)
                shutil.rmtree(out, ignore_errors=True)
                log = work_dir("honest") / ("interrupted-%s.log" % sig.name)
                command, env = cli_command("restore", arg_path(unpacked("bigmft")), "--all", "--out", arg_path(out))
                with open(log, "wb") as stdout:
                    proc = subprocess.Popen(command, stdout=stdout, stderr=subprocess.PIPE, env=env)
                    deadline = time.time() + 120
                    while time.time() < deadline and log.stat().st_size == 0:
                        time.sleep(0.01)  # result lines are written as each file ends
                    proc.send_signal(sig)
                    err = proc.stderr.read().decode()
                    proc.stderr.close()
                    code = proc.wait(timeout=300)
                self.assertEqual(code, 130, err)
                self.assertIn("interrupted", err)
                lines = log.read_text("utf-8").splitlines()
                self.assertRegex(lines[-1], r"^Total \d+ files restored\. ")
                on_disk = sorted(p.name for p in out.iterdir())
                reported = sorted(Path(line.split("\t")[1]).name for line in lines[:-1]
                                  if len(line.split("\t")) > 3 or line.endswith("\tok"))
                self.assertEqual(on_disk, reported)
                self.assertLess(len(on_disk), 1112)

    def test_restore_whose_output_breaks_says_so_on_stderr(self):
        # A reader that is gone before the first line (| head that has ended): the file in hand
        # is finished, its line and the summary go to standard error, no further file is begun.
        out = work_dir("honest") / "broken-pipe"
        shutil.rmtree(out, ignore_errors=True)
        proc = run_into_closed_pipe("restore", arg_path(unpacked("sample")), "--all", "--out", arg_path(out))
        err = proc.stderr.decode("utf-8").replace("\r\n", "\n").splitlines()
        self.assertEqual(proc.returncode, 1, err)
        on_disk = [p.name for p in out.iterdir()]
        self.assertEqual(len(on_disk), 1, on_disk)
        self.assertRegex(err[0], r"^\d+\t.*%s\tok$" % re.escape(on_disk[0]))
        self.assertEqual(err[1], (EXPECTED_TOTAL % 1) + "11 not attempted. ")
        self.assertIn("standard output could not be written", err[2])

        # A file of several MiB, its reads slowed by strace so that the interrupt lands inside it:
        # its line says how many bytes were written, and the file holds just those.
        if not shutil.which("strace"):
            self.skipTest("strace is not installed")
        expected = expected_files("features")
        record = max(expected, key=lambda n: expected[n].size)
        self.assertGreater(expected[record].size, 4 << 20)
        out = work_dir("honest") / "interrupted-mid-file"
        shutil.rmtree(out, ignore_errors=True)
        command, env = cli_command("restore", arg_path(unpacked("features")), "--out", arg_path(out), str(record))
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"  # LeakSanitizer cannot run traced
        proc = subprocess.Popen(["strace", "-f", "-qq", "-o", os.devnull, "-e", "trace=pread64",
                                 "-e", "inject=pread64:delay_exit=20000", "--"] + command,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        children = Path("/proc/%d/task/%d/children" % (proc.pid, proc.pid))
        deadline = time.time() + 120
        while time.time() < deadline and not (children.read_text().split() and any(
                p.stat().st_size >= 65536 for p in out.glob("*"))):
            time.sleep(0.01)
        os.kill(int(children.read_text().split()[0]), signal.SIGINT)
        stdout, stderr = proc.communicate(timeout=300)
        self.assertEqual(proc.returncode, 130, stderr)
        lines = stdout.decode("utf-8").splitlines()
        restored = out / next(iter(expected[record].paths)).rsplit("/", 1)[-1]
        written = restored.stat().st_size
        self.assertEqual(lines[0], "%d\t%s\tfailed\tinterrupted at %d of %d bytes" % (
            record, shown_path(restored), written, expected[record].size))
        self.assertTrue(0 < written < expected[record].size, written)
        self.assertEqual(lines[1], "Total 0 files restored. 1 partly restored. ")


class Escaping(unittest.TestCase):
    # Names that hide what they are: line breaks and a backslash-n that must not read alike, a
    # terminal's escape sequences (ESC, the one-character CSI U+009B, NEL U+0085, DEL) and the
    # bidirectional override and isolates that turn "exe.gpj" round. Each is as long as the name
    # it replaces in the sample.
    HIDDEN = {79: ("old-notes.txt", "a\nb\\nc\td\r\x1b[2J"), 88: ("letter.docx", "\u202exxxgpj.exe"),
              89: ("scan.pdf", "\x9b31m\\x.p"), 91: ("readme.txt", "\u2066a\\b\u2069\x7f.txt"),
              101: ("build.log", "\\\\n\x85z.log")}
    LABEL = "\x1b]0;x\x07"  # would retitle the terminal

    def test_hidden_names_round_trip_and_never_reach_a_terminal_raw(self):
        data = patch_names(bytearray(unpacked("sample").read_bytes()),
                           [(r, old, new) for r, (old, new) in self.HIDDEN.items()] + [(3, "Sample", self.LABEL)])
        image = work_dir("images") / "sample-hidden.img"
        image.write_bytes(bytes(data))
        names = {r: new for r, (old, new) in self.HIDDEN.items()}

        r = run_cli("scan", arg_path(image), "--format", "tsv")
        self.assertEqual(r.code, 0, r)
        tsv = {int(row[0]): row for row in parse_tsv(r.out)}
        self.assertEqual({rec: tsv[rec][1] for rec in names}, names)
        json_out = run_cli("scan", arg_path(image), "--format", "json").out
        json_rows = [json.loads(line) for line in json_out.split("\n")[:-1]]  # NEL is no line end here
        self.assertEqual([[str(o["record"]), o["name"], o["path"], o["type"]] for o in json_rows],
                         [row[:4] for row in tsv.values()])
        # A lone surrogate, which UTF-8 cannot carry, decodes back from tsv as from json. (Only
        # listed: Wine cannot make a host file of such a name.)
        lone = work_dir("images") / "sample-lone-surrogate.img"
        lone.write_bytes(bytes(patch_names(bytearray(data), [(107, "installer.exe", "inst\ud800ler.exe")])))
        tsv_name = {int(row[0]): row[1] for row in parse_tsv(run_cli("scan", arg_path(lone), "--format", "tsv").out)}
        json_name = {o["record"]: o["name"] for o in map(json.loads, run_cli("scan", arg_path(lone), "--format",
                                                                             "json").out.split("\n")[:-1])}
        self.assertEqual((tsv_name[107], json_name[107]), ("inst\ud800ler.exe", "inst\ud800ler.exe"))

        r = run_cli("scan", arg_path(image))
        self.assertEqual(r.code, 0, r)
        self.assertEqual(raw_controls(r.out), [])
        for shown in ("\\u{202E}xxxgpj.exe", "\\x9B31m\\x.p", "\\u{2066}a\\b\\u{2069}\\x7F.txt",
                      "a\\nb\\nc\\td\\r\\x1B[2J", "\\\\n\\x85z.log"):
            self.assertIn(shown, r.out)

        r = run_cli("info", arg_path(image))
        self.assertIn("Label:              \\x1B]0;x\\x07\n", r.out)
        self.assertEqual(raw_controls(r.out), [])

        out = work_dir("restored") / "hidden"
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--all", "--out", arg_path(out), "--verbose")
        self.assertEqual(r.code, 0, r)
        self.assertEqual((raw_controls(r.out), raw_controls(r.err)), ([], []))
        self.assertEqual(len(list(out.iterdir())), 12)

        # A found file "sub" beside the found folder "sub" (record 90 renamed): --tree restores
        # both, the one that comes later under a numbered name.
        data = patch_names(data, [(90, "Fotos München.jpg", "sub")])
        image.write_bytes(bytes(data))
        shutil.rmtree(out, ignore_errors=True)
        r = run_cli("restore", arg_path(image), "--all", "--tree", "--out", arg_path(out))
        self.assertEqual(r.code, 0, r)
        expected = expected_files("sample")
        self.assertEqual(sha256(out / "Old Stuff" / "sub"), expected[90].sha256)
        self.assertEqual(sha256(out / "Old Stuff" / "sub_0" / "\u2066a_b\u2069\x7f.txt"), expected[91].sha256)


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

    def test_damaged_boot_sector_read_from_the_partitions_end(self):
        # The disk goes on past the partition: the backup boot sector is found where the table
        # ends the partition, not at the end of the disk.
        disk = mbr_disk(unpacked("sample"), work_dir("images") / "sample-disk-damaged.img")
        with open(disk, "r+b") as f:
            f.seek(1048576)
            f.write(bytes(512))
            f.seek(0, 2)
            f.write(bytes(1048576))
        r = run_cli("scan", arg_path(disk))
        self.assertRegex(r.err, r"\n  1   1048576 +2048s +")
        plain = run_cli("scan", arg_path(unpacked("sample")), "--format", "tsv")
        for where in (["--partition", "1"], ["--offset", "2048s"]):
            r = run_cli("scan", arg_path(disk), "--format", "tsv", *where)
            self.assertEqual((r.code, r.out), (0, plain.out), r)
            self.assertEqual(r.err.count("The boot sector is damaged; using its backup at byte 25165312. \n"), 1, r)
        # Record 0 of the $MFT zeroed: read from $MFTMirr, said once.
        data = bytearray(unpacked("sample").read_bytes())
        data[16384:16384 + 1024] = bytes(1024)
        damaged = work_dir("images") / "sample-record0.img"
        damaged.write_bytes(bytes(data))
        r = run_cli("scan", arg_path(damaged), "--format", "tsv")
        self.assertEqual((r.code, r.out), (0, plain.out), r)
        self.assertEqual(r.err.count("MFT record 0 is damaged; using the copy in $MFTMirr\n"), 1, r)
        self.assertNotIn("error", r.err)

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


def restored_tree(out):
    """Every restored file under `out`: relative path -> sha256."""
    return {str(p.relative_to(out)): sha256(p) for p in sorted(Path(out).rglob("*")) if p.is_file()}


def tool(*command, cwd=None):
    subprocess.run([str(c) for c in command], check=True, cwd=cwd, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


@unittest.skipIf(not (shutil.which("ewfacquire") and shutil.which("qemu-img")), "ewf-tools or qemu-utils missing")
class Containers(unittest.TestCase):
    """Disk images in the containers of the field, made from a fixture by the field's own tools:
    each reads exactly as the raw fixture does."""

    def make_containers(self, raw, root):
        shutil.rmtree(root, ignore_errors=True)
        root.mkdir(parents=True)
        made = {}

        def folder(name):
            path = root / name
            path.mkdir()
            return path

        # One E01 with fast compression, renamed: the signature decides, not the name.
        tool("ewfacquire", "-u", "-q", "-c", "deflate:fast", "-t", folder("e01") / "disk", raw)
        os.replace(root / "e01" / "disk.E01", root / "e01" / "evidence.img")
        made["E01 renamed"] = root / "e01" / "evidence.img"
        tool("ewfacquire", "-u", "-q", "-c", "deflate:none", "-S", "1MiB", "-t", folder("split") / "disk", raw)
        made["E01 in segments"] = root / "split" / "disk.E01"
        # A fixed VHD is the raw disk with a footer: its signature is at the end.
        for name, fmt, options in (("VHD", "vpc", []), ("VHD fixed", "vpc", ["-o", "subformat=fixed"]),
                                   ("VHDX", "vhdx", []), ("VMDK", "vmdk", []), ("QCOW2", "qcow2", [])):
            made[name] = folder(name.replace(" ", "-")) / ("disk." + fmt)
            tool("qemu-img", "convert", "-f", "raw", "-O", fmt, *options, raw, made[name])
        # Differencing disks over a parent beside them.
        tool("qemu-img", "convert", "-f", "raw", "-O", "qcow2", raw, folder("overlay") / "base.qcow2")
        tool("qemu-img", "create", "-f", "qcow2", "-b", "base.qcow2", "-F", "qcow2", "child.qcow2",
             cwd=root / "overlay")
        made["QCOW2 overlay"] = root / "overlay" / "child.qcow2"
        # qemu's usual overlay: a QCOW2 over a raw parent. The parent lacks 512 KiB of the image,
        # which the overlay holds: both are read.
        base = bytearray(Path(raw).read_bytes())
        base[8192:8192 + 524288] = bytes(524288)
        (folder("rawbase") / "base.img").write_bytes(base)
        tool("qemu-img", "convert", "-f", "raw", "-O", "qcow2", "-B", "base.img", "-F", "raw", Path(raw).resolve(),
             "child.qcow2", cwd=root / "rawbase")
        made["QCOW2 over raw"] = root / "rawbase" / "child.qcow2"
        tool("qemu-img", "convert", "-f", "raw", "-O", "vhdx", raw, folder("diff") / "base.vhdx")
        sys.path.insert(0, str(Path(__file__).parent))
        import vhdx_child
        vhdx_child.write_differencing_vhdx(root / "diff" / "base.vhdx", root / "diff" / "child.vhdx", "base.vhdx")
        made["VHDX differencing"] = root / "diff" / "child.vhdx"
        return made

    def test_every_container_reads_as_the_raw_image(self):
        if ARGS.wine:
            # The Windows build reads drives and raw images only, and says so.
            image = work_dir("containers-wine") / "disk.qcow2"
            tool("qemu-img", "convert", "-f", "raw", "-O", "qcow2", unpacked("sample"), image)
            r = run_cli("scan", arg_path(image))
            self.assertEqual(r.code, 2, r)
            self.assertIn("is a QCOW image: the Windows build reads raw images and drives only.", r.err)
            # Shadow copies likewise: refused before the volume is read.
            r = run_cli("scan", arg_path(unpacked("sample")), "--shadow-copies")
            self.assertEqual((r.code, r.out), (2, ""), r)
            self.assertIn("--shadow-copies needs libvshadow, which only the Linux build", r.err)
            return
        raw = unpacked("sample")
        root = work_dir("containers")
        made = self.make_containers(raw, root)
        raw_scan = run_cli("scan", raw, "--format", "tsv")
        self.assertEqual(raw_scan.code, 0, raw_scan)
        shutil.rmtree(root / "restored-raw", ignore_errors=True)
        r = run_cli("restore", raw, "--all", "--tree", "--out", root / "restored-raw")
        self.assertEqual(r.code, 0, r)
        raw_files = restored_tree(root / "restored-raw")
        self.assertEqual(len(raw_files), len(expected_files("sample")))
        for name, image in made.items():
            with self.subTest(container=name):
                r = run_cli("scan", image, "--format", "tsv")
                self.assertEqual((r.code, r.out), (0, raw_scan.out), r)
                out = root / ("restored-" + name.replace(" ", "-"))
                r = run_cli("restore", image, "--all", "--tree", "--out", out)
                self.assertEqual(r.code, 0, r)
                self.assertEqual(restored_tree(out), raw_files)

        # A fixed VHD of a volume whose boot sector is damaged: the footer alone says what the file
        # is, and only read through it does the volume end where the backup boot sector lies (4096-
        # byte sectors: read raw, no sector size puts the backup at the file's end).
        data = bytearray(unpacked("sector4k").read_bytes())
        data[:512] = bytes(512)
        (root / "damaged-boot.img").write_bytes(bytes(data))
        tool("qemu-img", "convert", "-f", "raw", "-O", "vpc", "-o", "subformat=fixed,force_size=on",
             root / "damaged-boot.img", root / "damaged-boot.vhd")
        want = run_cli("scan", unpacked("sector4k"), "--format", "tsv")
        r = run_cli("scan", root / "damaged-boot.vhd", "--format", "tsv")
        self.assertEqual((r.code, r.out), (0, want.out), r)
        self.assertIn("The boot sector is damaged; using its backup", r.err)

        # A whole disk inside a container: the partition listing, --partition and --offset.
        disk = mbr_disk(raw, root / "disk.img")
        tool("qemu-img", "convert", "-f", "raw", "-O", "qcow2", disk, root / "disk.qcow2")
        r = run_cli("scan", root / "disk.qcow2")
        self.assertEqual(r.code, 2, r)
        self.assertRegex(r.err, r"\n  1   1048576 +2048s +")
        self.assertIn("quorret-cli scan %s --partition 1\n" % (root / "disk.qcow2"), r.err)
        for where in (["--partition", "1"], ["--offset", "2048s"]):
            r = run_cli("scan", root / "disk.qcow2", "--format", "tsv", *where)
            self.assertEqual((r.code, r.out), (0, raw_scan.out), r)
        r = run_cli("scan", root / "disk.qcow2", "--partition", "2")
        self.assertEqual(r.code, 2, r)
        self.assertIn("has no partition 2.", r.err)

        # A part of the image that is a link out of its folder is never read.
        (root / "elsewhere").mkdir()
        os.replace(root / "split" / "disk.E03", root / "elsewhere" / "disk.E03")
        os.symlink(root / "elsewhere" / "disk.E03", root / "split" / "disk.E03")
        r = run_cli("scan", made["E01 in segments"])
        self.assertEqual(r.code, 2, r)
        self.assertIn("disk.E03 is a link to %s, outside the image's folder: refused" % (root / "elsewhere" / "disk.E03"),
                      r.err)
        os.replace(root / "elsewhere" / "disk.E03", root / "split" / "disk.E03")

        # What cannot be read is said, and nothing crashes.
        os.replace(root / "split" / "disk.E07", root / "disk.E07")
        r = run_cli("scan", made["E01 in segments"])
        self.assertEqual(r.code, 2, r)
        self.assertIn("a segment is missing or truncated (found 6, ", r.err)
        os.replace(root / "disk.E07", root / "split" / "disk.E07")
        last = sorted((root / "split").glob("disk.E*"))[-1]
        os.truncate(last, last.stat().st_size // 2)
        r = run_cli("scan", made["E01 in segments"])
        self.assertEqual(r.code, 2, r)
        self.assertIn("a segment is missing or truncated", r.err)
        for name, parent in (("VHDX differencing", "base.vhdx"), ("QCOW2 overlay", "base.qcow2")):
            os.remove(made[name].parent / parent)
            r = run_cli("scan", made[name])
            self.assertEqual(r.code, 2, r)
            self.assertIn("is a differencing image whose parent ", r.err)
            self.assertIn("is missing: put %s beside it." % parent, r.err)

    def test_one_open_per_run_and_no_ok_from_damaged_chunks(self):
        if ARGS.wine:
            self.skipTest("the Windows build reads raw images and drives only")
        raw = unpacked("sample")
        root = work_dir("containers-damage")
        shutil.rmtree(root, ignore_errors=True)
        root.mkdir(parents=True)
        tool("ewfacquire", "-u", "-q", "-c", "deflate:none", "-S", "1MiB", "-t", root / "disk", raw)
        e01 = root / "disk.E01"
        segments = sorted(root.glob("disk.E??"))
        if shutil.which("strace"):
            trace = root / "trace"
            command, env = cli_command("restore", e01, "--all", "--streams", "--out", root / "all")
            subprocess.run(["strace", "-f", "-e", "trace=open,openat", "-o", str(trace)] + command, env=env,
                           capture_output=True, timeout=300)
            opens = [line for line in trace.read_text().splitlines() if "/disk.E" in line and "= -1" not in line]
            # Each segment once, however many files; the first once more, where its signature is read.
            self.assertEqual(sorted(line.split('"')[1] for line in opens), sorted(map(str, segments + segments[:1])))
        if not have_tsk():
            return
        # One byte changed in a chunk of track02.mp3 (stored uncompressed): its checksum fails.
        data = Path(raw).read_bytes()
        chunk = data.index(icat(raw, 105)[:65536]) // 32768 * 32768 + 32768
        for segment in segments:
            stored = bytearray(segment.read_bytes())
            at = stored.find(data[chunk:chunk + 32768])
            if at >= 0:
                stored[at + 1000] ^= 0xFF
                segment.write_bytes(stored)
                break
        else:
            self.fail("the chunk was not found in the segments")
        shutil.rmtree(root / "damaged", ignore_errors=True)
        r = run_cli("restore", e01, "--out", root / "damaged", "105", "91")
        self.assertEqual(r.code, 1, r)
        lines = r.out.splitlines()
        self.assertEqual(lines[0], "105\t%s\tfailed\t32768 bytes from damaged chunks" % (root / "damaged" / "track02.mp3"))
        self.assertEqual(lines[1], "91\t%s\tok" % (root / "damaged" / "readme.txt"))
        # The deep scan reads every chunk: the file is damaged there too, and the summary says so.
        r = run_cli("scan", e01, "--deep", "--format", "tsv")
        self.assertEqual([row[8] for row in (l.split("\t") for l in r.out.splitlines()) if row[0] == "105"],
                         ["damaged"], r)
        self.assertIn("The source holds 1 damaged chunk (its checksum failed).", r.err)


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

        # Onto the drive being read: refused before anything is made (D:\ shows a folder beside
        # the image).
        root = Path(str(self.image) + ".root")
        shutil.rmtree(root / "out", ignore_errors=True)
        r = run_cli("restore", "D:", "--out", "D:\\out", "91", prefix=self.prefix)
        self.assertEqual(r.code, 2, r)
        self.assertIn("D:\\out lies on D:, the volume being read", r.err)
        self.assertFalse((root / "out").exists())

        r = run_cli("scan", "D:", "--offset", "0", prefix=self.prefix)
        self.assertEqual(r.code, 2, r)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine")
    parser.add_argument("--reference-cli", help="a previous build whose scan output this one must repeat byte for byte")
    ARGS, rest = parser.parse_known_args()
    ARGS.work = str(Path(ARGS.work).resolve())
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
