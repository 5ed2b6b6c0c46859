#!/usr/bin/env python3
"""Quorret.exe end to end under Wine, driven from outside as a person would.

Drive D: of a private Wine prefix reads the sample NTFS image, E: a non-NTFS image, F: and G: are
plain folders that receive restored files. The program runs on its own Xvfb display; the test
clicks and types with xdotool (each window is given the X input focus first: there is no window
manager), reads window texts, states and rectangles with quorret-probe (a separate program that
asks the windows, as assistive tools do), and posts button clicks to the shell's own choosers
where pointer input is unreliable without a window manager. The list itself draws its rows, so
its rows are checked through what the user gets from them: the count label, the files restored
from every row (names and bytes against the fixture's manifest and quorret-cli's scan of the same
drive), and the top row after each header click, restored alone. Screenshots of every state go to
OUT/screenshots. Prints "N passed, N failed" and exits non-zero on any failure.

The progress bar and Stop need a scan that lasts: D: then reads a copy of the sample whose MFT
grew to 100,000 records with some 5,000 deleted files (tools/fixtures/fxtool.py grow-mft), and
strace delays every pread of the running program, as a slow disk would. Restores meet the hard
cases the same way: D: reads the devnames fixture (names Windows takes for devices, names too long
once numbered) restored into H:, a small tmpfs is the full drive I:, and a restore into J: runs
while strace slows the reads, so the window must answer and Stop must end it. Last, D: reads the
recycle fixture (an emptied Recycle Bin), whose files are listed and restored into K: under the
names they had.
"""
import argparse
import contextlib
import hashlib
import lzma
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.dont_write_bytecode = True  # nothing of ours lands in the source tree
sys.path.insert(0, str(REPO / "tools" / "fixtures"))
import fxtool  # noqa: E402
CAPTION = "Vorlaq Quorret"
BM_CLICK = 0x00F5
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
IDCANCEL = 2
ABORT_QUESTION = "Are you sure to abort the scanning and exit? "
LARGE_RECORDS = 100000
LARGE_DELETED_EVERY = 20
SLOW_READ_US = 150000
FULL_DRIVE = "1m"  # the size of the tmpfs that is drive I:
DEVICE_STEMS = {"con", "prn", "aux", "nul", "conin$", "conout$"} | {f"{p}{d}" for p in ("com", "lpt") for d in "0123456789"}
SAME_DRIVE = ("Are you sure to save the restored file(s) to the same drive? \\r\\n"
              "You may get corrupted data! ")


class Failure(Exception):
    pass


class Session:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.out = Path(args.out).resolve()
        self.shots = self.out / "screenshots"
        self.passed = 0
        self.failed = 0
        self.env = dict(os.environ)
        self.xvfb = None
        self.app = None

    # --- checks -------------------------------------------------------------------------------
    def check(self, ok, what):
        if ok:
            self.passed += 1
            print(f"ok   {what}", flush=True)
        else:
            self.failed += 1
            print(f"FAIL {what}", flush=True)
        return ok

    def wait_for(self, condition, what, timeout=20.0):
        end = time.time() + timeout
        while time.time() < end:
            value = condition()
            if value:
                return value
            time.sleep(0.2)
        raise Failure(f"timed out waiting for {what}")

    # --- set-up -------------------------------------------------------------------------------
    def prepare(self):
        if self.out.exists():
            shutil.rmtree(self.out)
        self.shots.mkdir(parents=True)
        self.sample = self.work / "sample.img"
        with lzma.open(self.args.image_xz) as src, open(self.sample, "wb") as dst:
            shutil.copyfileobj(src, dst)
        # E: holds a volume of another kind: the disk list must leave it out.
        self.other = self.work / "other.img"
        with open(self.other, "wb") as f:
            f.truncate(8 << 20)
        if shutil.which("mkfs.ext2") or Path("/usr/sbin/mkfs.ext2").exists():
            subprocess.run([shutil.which("mkfs.ext2") or "/usr/sbin/mkfs.ext2", "-q", "-F", str(self.other)],
                           check=True)
        self.f_dir = self.out / "f"
        self.g_dir = self.out / "g"
        self.f_dir.mkdir()
        self.g_dir.mkdir()
        self.h_dir = self.out / "h"
        self.i_dir = self.out / "i"
        self.j_dir = self.out / "j"
        self.k_dir = self.out / "k"
        for folder in (self.h_dir, self.i_dir, self.j_dir, self.k_dir):
            folder.mkdir()
        # A drive that fills up: a small tmpfs (needs root, as the fixtures do).
        self.full_mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={FULL_DRIVE}", "tmpfs",
                                            str(self.i_dir)], stderr=subprocess.DEVNULL).returncode == 0

        shared = Path(os.environ.get("QUORRET_WINEPREFIX", Path.home() / ".quorret-wine"))
        if not (shared / "system.reg").exists():
            subprocess.run([str(REPO / "tools/wine-run"), "cmd", "/c", "exit", "0"], env=dict(
                os.environ, QUORRET_WINE_NO_DISPLAY="1"), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        prefix = self.work / "pfx"
        subprocess.run(["cp", "-a", str(shared), str(prefix)], check=True)
        self.prefix = prefix
        self.env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEARCH="win32",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        mapper = str(REPO / "tools/wine-map-drive")
        subprocess.run([mapper, "D", str(self.sample)], env=self.env, check=True)
        subprocess.run([mapper, "E", str(self.other)], env=self.env, check=True)
        for letter, folder in (("f", self.f_dir), ("g", self.g_dir), ("h", self.h_dir), ("i", self.i_dir),
                               ("j", self.j_dir), ("k", self.k_dir)):
            os.symlink(folder, prefix / "dosdevices" / f"{letter}:")
        self.d_dir = Path(str(self.sample) + ".root")

        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten",
                                      "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def close(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if getattr(self, "full_mounted", False):
            subprocess.run(["umount", str(self.i_dir)], stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    # --- tools --------------------------------------------------------------------------------
    def wine(self, *argv, timeout=120):
        try:
            return subprocess.run(["wine", *map(str, argv)], env=self.env, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return subprocess.CompletedProcess(argv, -1, b"", b"")

    def probe(self, *argv):
        return self.wine(self.args.probe, *argv, timeout=30).stdout.decode("utf-8", "replace")

    def state(self):
        values = {}
        for line in self.probe("state").splitlines():
            key, _, value = line.partition("=")
            values[key] = value
        return values

    def windows(self):
        """Visible top-level windows: dicts with their fields and a list of controls."""
        tops = []
        for line in self.probe("windows").splitlines():
            line = line.rstrip("\r\n").lstrip(" ")
            kind = line.split(" ")[0]
            record = {}
            rest = line[len(kind) + 1:]
            # "title=" and "text=" come last and may hold blanks.
            for last in ("title=", "text="):
                if last in rest:
                    head, _, tail = rest.partition(" " + last)
                    record[last[:-1]] = tail
                    rest = head
            for item in rest.split(" "):
                key, _, value = item.partition("=")
                record[key] = value
            if kind == "window":
                record["controls"] = []
                tops.append(record)
            elif tops:
                tops[-1]["controls"].append(record)
        return tops

    def top_window(self, title, owned=True):
        for w in self.windows():
            if w.get("title") == title and (not owned or w.get("owner") != "0"):
                return w
        return None

    def message_box(self):
        """The message box the main window shows, as (window, its text), or None."""
        for w in self.windows():
            if w.get("title") == CAPTION and w.get("owner") != "0":
                texts = [c["text"] for c in w["controls"] if c["id"] == "65535"]
                return w, (texts[0] if texts else "")
        return None

    @staticmethod
    def centre(rect):
        left, top, right, bottom = map(int, rect.split(","))
        return (left + right) // 2, (top + bottom) // 2

    def xdo(self, *argv):
        return subprocess.run(["xdotool", *map(str, argv)], env=self.env, capture_output=True, text=True)

    def pointer(self):
        return dict(line.split("=", 1) for line in self.xdo("getmouselocation", "--shell").stdout.split())

    def focus_at(self, x, y):
        # A synchronous move to where the pointer already is waits for a motion that never comes.
        where = self.pointer()
        if (where.get("X"), where.get("Y")) != (str(x), str(y)):
            self.xdo("mousemove", "--sync", x, y)
            where = self.pointer()
        if where.get("WINDOW"):
            self.xdo("windowfocus", "--sync", where["WINDOW"])

    def click(self, x, y):
        self.focus_at(x, y)
        self.xdo("click", 1)
        time.sleep(0.4)

    def click_rect(self, rect):
        self.click(*self.centre(rect))

    def keys(self, x, y, *keys):
        self.focus_at(x, y)
        self.xdo("key", "--delay", 80, *keys)
        time.sleep(0.4)

    def press(self, window, button_text):
        for c in window["controls"]:
            if c["class"] == "Button" and c["text"].replace("&", "") == button_text:
                self.probe("post", c["hwnd"], BM_CLICK, 0, 0)
                time.sleep(0.5)
                return
        raise Failure(f"no button {button_text} in {window.get('title')}")

    def shot(self, name):
        path = self.shots / f"{name}.png"
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, check=False)
        return path

    # --- the main window's parts ----------------------------------------------------------------
    def header_point(self, column):
        """A point on the header of the column (0..7) at the widths the list starts with."""
        widths = [60, 100, 100, 40, 70, 100, 100, 90]
        left, top, _, _ = map(int, self.main["list.rect"].split(","))
        x = left + 2 + sum(widths[:column]) + widths[column] // 2
        return x, top + 10

    def row_point(self, row):
        left, top, _, _ = map(int, self.main["list.rect"].split(","))
        return left + 120, top + 19 + 19 * row + 9

    def answer_box(self, expected, button, shot):
        box = self.wait_for(self.message_box, f"message box '{expected}'")
        window, text = box
        self.check(text == expected, f"message box says {expected!r} (got {text!r})")
        self.shot(shot)
        self.press(window, button)
        self.wait_for(lambda: self.message_box() is None, "the message box to close")

    def restore_selected_to_file(self, path_text, shot=None):
        """Presses Restore..., types the path into the save dialog and saves."""
        self.click_rect(self.main["restore.rect"])
        dialog = self.wait_for(lambda: self.top_window("Save As"), "the save dialog")
        if shot:
            self.shot(shot)
        proposed = [c["text"] for c in dialog["controls"] if c["class"] == "Edit" and c["id"] == "1148"]
        self.probe("settext", dialog["hwnd"], 1148, path_text)
        self.press(dialog, "Save")
        return proposed[0] if proposed else ""

    def restore_selected_to_folder(self, drive, shot=None):
        """Presses Restore..., picks the drive's root in the folder chooser and confirms."""
        self.click_rect(self.main["restore.rect"])
        chooser = self.wait_for(lambda: self.top_window("Browse for Folder"), "the folder chooser")
        tree = [c for c in chooser["controls"] if c["class"] == "SysTreeView32"][0]
        x, y = self.centre(tree["rect"])

        def selected():
            w = self.top_window("Browse for Folder")
            return [c["text"] for c in w["controls"] if c["class"] == "Edit"][0] if w else ""

        # Desktop > My Computer > (X:): the chooser's hidden name box follows the selection.
        seen = []
        self.keys(x, y, "Home")
        for _ in range(8):
            seen.append(selected())
            if seen[-1] == "My Computer":
                break
            self.keys(x, y, "Down")
        self.keys(x, y, "Right")
        for _ in range(16):
            self.keys(x, y, "Down")
            seen.append(selected())
            if seen[-1].strip() == f"({drive}:)":
                break
        if shot:
            self.shot(shot)
        self.check(seen[-1].strip() == f"({drive}:)", f"folder chooser selects drive {drive}: (went through {seen})")
        self.press(self.top_window("Browse for Folder"), "OK")


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def read_manifest(path):
    rows = {}
    lines = Path(path).read_text(encoding="utf-8").splitlines()
    header = lines[0].split("\t")
    for line in lines[1:]:
        row = dict(zip(header, line.split("\t")))
        if row.get("deleted") == "1" and row.get("type") == "file":
            rows[int(row["record"])] = row
    return rows


def run(s):
    s.prepare()
    manifest = read_manifest(s.args.manifest)

    # Reference: the command line's scan of the same drive.
    cli = s.wine(s.args.cli, "scan", "D:", "--format", "tsv")
    lines = cli.stdout.decode("utf-8").replace("\r", "").splitlines()
    header = lines[0].split("\t")
    reference = [dict(zip(header, line.split("\t"))) for line in lines[1:] if line]
    s.check(len(reference) > 2, f"quorret-cli finds {len(reference)} deleted files on D:")
    by_record = {int(r["record"]): r for r in reference}
    s.check(set(by_record) == set(manifest), "quorret-cli's rows are the manifest's deleted files")

    # Start-up: the disk list offers the NTFS drive only.
    s.app = subprocess.Popen(["wine", s.args.exe], env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    s.main = s.wait_for(lambda: (lambda st: st if st.get("found") == "1" and st.get("visible") == "1" else None)(
        s.state()), "the main window", timeout=60)
    time.sleep(1)
    s.shot("01-empty")
    s.check(s.main["disks.entries"] == "D:\\", f"disk list offers D:\\ only (got {s.main['disks.entries']!r})")
    s.check(s.main["disks.selection"] == "0", "the first disk is selected")
    s.check(s.main["scan.text"] == "Scan" and s.main["count.text"] == "0" and s.main["progress.visible"] == "0",
            "idle: Scan, count 0, no progress bar")
    s.check(s.main["filters.text"] == "*.*", "pattern edit holds *.*")

    # Scan.
    s.click_rect(s.main["scan.rect"])
    done = s.wait_for(lambda: (lambda st: st if st["scan.text"] == "Scan" and st["count.text"] != "0" else None)(
        s.state()), "the scan to end")
    s.shot("02-found")
    s.check(done["count.text"] == str(len(reference)),
            f"count label {done['count.text']} equals quorret-cli's {len(reference)} rows")
    s.check(done["disks.enabled"] == "1" and done["filters.enabled"] == "1" and done["progress.visible"] == "0",
            "after the scan: inputs enabled, progress bar hidden")
    copy_all_and_compare(s, reference)

    # Header clicks: greatest first, then reversed. The top row is restored alone to see which it is.
    def top_row_after(column, clicks, name):
        for _ in range(clicks):
            s.click(*s.header_point(column))
        s.click(*s.row_point(0))
        target = f"F:\\{name}"
        proposed = s.restore_selected_to_file(target)
        s.answer_box(f"File restored: {target}. ", "OK", f"box-restored-{name}")
        return proposed, s.f_dir / name

    def record_of(path):
        digest = sha256(path)
        hits = [r for r, m in manifest.items() if m["sha256"] == digest]
        return hits[0] if len(hits) == 1 else None

    highest = max(by_record)
    proposed, path = top_row_after(0, 1, "top-index")
    s.shot("03-sorted-index-down")
    s.check(record_of(path) == highest and proposed == by_record[highest]["name"],
            f"Index clicked once: top row is record {highest} ({proposed})")
    lowest = min(by_record)
    proposed, path = top_row_after(0, 1, "top-index-reversed")
    s.check(record_of(path) == lowest and proposed == by_record[lowest]["name"],
            f"Index clicked again: rows reversed, top row is record {lowest} ({proposed})")
    largest = max(by_record, key=lambda r: int(by_record[r]["size"]))
    proposed, path = top_row_after(4, 1, "top-size")
    s.shot("04-sorted-size-down")
    s.check(record_of(path) == largest and path.stat().st_size == int(by_record[largest]["size"]),
            f"Size clicked: top row is the largest file, record {largest} ({proposed})")
    greatest_name = max(by_record, key=lambda r: by_record[r]["name"].encode("utf-16-be"))
    for _ in range(1):
        s.click(*s.header_point(1))
    s.shot("05-sorted-name-down")
    s.click(*s.row_point(0))
    proposed = s.restore_selected_to_file("D:\\same-drive.bin")
    s.check(proposed == by_record[greatest_name]["name"],
            f"Name clicked: top row is {by_record[greatest_name]['name']} (save dialog proposes {proposed})")
    s.answer_box(SAME_DRIVE, "No", "box-same-drive-question")
    s.check(not (s.d_dir / "same-drive.bin").exists(), "No to the same-drive question writes nothing")

    # Every row into G:\ through the folder chooser.
    s.click(*s.row_point(0))
    s.keys(*s.row_point(0), "ctrl+a")
    s.restore_selected_to_folder("G", shot="06-folder-chooser")
    s.answer_box(f"Total {len(reference)} files restored. ", "OK", "box-total")
    restored = {p.name: sha256(p) for p in s.g_dir.iterdir()}
    expected = {}
    for r in sorted(by_record):
        expected.setdefault(by_record[r]["name"], manifest[r]["sha256"])
    s.check(sorted(restored) == sorted(expected), f"G:\\ holds one file per row: {sorted(restored)}")
    s.check(all(restored.get(n) == d for n, d in expected.items()), "every restored file is byte-identical")

    # A plain click on one row of the whole selection leaves that row alone selected: Restore
    # then asks for a file name, not a folder.
    s.click(*s.row_point(2))
    s.click_rect(s.main["restore.rect"])
    chooser = s.wait_for(lambda: s.top_window("Save As") or s.top_window("Browse for Folder"), "a chooser")
    s.check(chooser["title"] == "Save As", f"a click on one row of all selects it alone ({chooser['title']} opened)")
    s.press(chooser, "Cancel")
    s.wait_for(lambda: s.top_window(chooser["title"]) is None, "the chooser to close")

    # Several rows onto the drive being read: asked once, Yes restores.
    s.click(*s.row_point(0))
    s.keys(*s.row_point(0), "ctrl+a")
    s.restore_selected_to_folder("D")
    s.answer_box(SAME_DRIVE, "Yes", "box-same-drive-multi")
    s.answer_box(f"Total {len(reference)} files restored. ", "OK", "box-total-d")
    on_d = {p.name: sha256(p) for p in s.d_dir.iterdir() if p.is_file()}
    s.check(all(on_d.get(n) == d for n, d in expected.items()), "the files restored onto D:\\ are byte-identical")

    # About box.
    s.click_rect(s.main["about.rect"])
    about = s.wait_for(lambda: s.top_window("About Vorlaq Quorret"), "the about box")
    time.sleep(0.5)
    s.shot("07-about")
    texts = [c["text"] for c in about["controls"]]
    s.check("Vorlaq Quorret 1.2.186\\nCopyright (C) 2024 Plixen" in texts
            and "Visit Plixen" in texts, f"about box texts: {texts}")
    s.press(about, "OK")
    s.wait_for(lambda: s.top_window("About Vorlaq Quorret") is None, "the about box to close")

    # A second copy: exits with -1 and brings the first one back from the taskbar.
    s.probe("post", s.main["hwnd"], WM_SYSCOMMAND, SC_MINIMIZE, 0)
    s.wait_for(lambda: s.state().get("iconic") == "1", "the main window to minimise")
    second = subprocess.run(["wine", s.args.exe], env=s.env, capture_output=True, timeout=60)
    s.check(second.returncode == 255, f"second copy exits with -1 (exit status {second.returncode})")
    after = s.wait_for(lambda: (lambda st: st if st.get("iconic") == "0" else None)(s.state()),
                       "the first window to come back")
    s.check(after.get("foreground") == "1", "the first copy's window is in the foreground")
    s.shot("08-brought-forward")

    # A scan that fails (the drive's image is gone): back to idle, with the message.
    os.rename(s.sample, str(s.sample) + ".gone")
    s.click_rect(s.main["scan.rect"])
    s.answer_box("Failed to scan this disk. ", "OK", "box-scan-failed")
    idle = s.state()
    s.check(idle["scan.text"] == "Scan" and idle["disks.enabled"] == "1" and idle["filters.enabled"] == "1"
            and idle["progress.visible"] == "0", "after the failed scan the dialog is idle again")
    os.rename(str(s.sample) + ".gone", s.sample)

    restore_hard_cases(s, manifest, len(reference))
    recycle_bin_names(s)
    scan_garbled_mft(s, len(reference))
    scan_large_volume_slowly(s)

    # Close with Escape's command: exit code 2.
    s.probe("post", s.main["hwnd"], WM_COMMAND, IDCANCEL, 0)
    code = s.app.wait(timeout=30)
    s.check(code == 2, f"closing exits with 2 (exit status {code})")

    log = next(iter(s.prefix.glob("drive_c/users/*/AppData/Roaming/Plixen/Quorret/KQR.log")), None)
    s.check(log is not None, "KQR.log is in the application-data folder")
    if log:
        text = log.read_bytes().decode("cp1252", "replace")
        shutil.copy(log, s.out / "KQR.log")
        for line in ("Info: \tNTFS volume version is: 3.1. \r\n", "Info: \tBegin to scan volume: D:\\. \r\n",
                     "Info: \tScan Finished\r\n", "Info: \tFile restored: F:\\top-index.\r\n",
                     "ERROR: \tFailed to scan volume: D:\\. \r\n", "Info: \tCancel scanning disk: D:\\\r\n"):
            s.check(line in text, f"KQR.log has {line!r}")
        s.check(not text.startswith("Info: \tBegin"), "KQR.log starts with the drive probes, not a banner")


def scan_large_volume_slowly(s):
    """Progress bar, Escape's question and Stop during a scan that lasts, then a full scan."""
    large = s.work / "large.img"
    fxtool.cmd_grow_mft(s.sample, large, LARGE_RECORDS, LARGE_DELETED_EVERY)
    os.rename(s.sample, str(s.sample) + ".small")
    os.rename(large, s.sample)
    cli = s.wine(s.args.cli, "scan", "D:", "--format", "tsv")
    lines = [line for line in cli.stdout.decode("utf-8").replace("\r", "").splitlines() if line.strip()]
    header = lines[0].split("\t")
    grown = [dict(zip(header, line.split("\t"))) for line in lines[1:]]  # in record order, as the window lists them
    total = len(grown)
    s.check(total > 100, f"quorret-cli finds {total} deleted files on the grown D:")

    comm = Path(f"/proc/{s.app.pid}/comm").read_text().strip()
    s.check(comm == "Quorret.exe", f"the program's process is {comm}")
    slow = subprocess.Popen(["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=pread64",
                             "-e", f"inject=pread64:delay_exit={SLOW_READ_US}", "-p", str(s.app.pid)],
                            stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        if not s.check(slow.poll() is None, "strace is attached to the program (its reads are slowed)"):
            return
        # A double-click on Scan starts the scan and does not stop it again.
        s.focus_at(*s.centre(s.main["scan.rect"]))
        s.xdo("click", "--repeat", 2, "--delay", 120, 1)
        started = time.time()
        st = s.wait_for(lambda: (lambda st: st if st["progress.visible"] == "1" else None)(s.state()),
                        "the progress bar", timeout=30)
        time.sleep(1.5)
        s.check(s.state()["scan.text"] == "Stop", "a double-click on Scan started the scan and left it running")
        first = int(st["progress.pos"])
        s.check(st["scan.text"] == "Stop" and st["disks.enabled"] == "0" and st["filters.enabled"] == "0",
                f"scanning: Stop, inputs disabled, bar shown {time.time() - started:.1f} s after Scan")
        s.check(0 <= first < 100, f"the bar's first position is {first}")

        # Escape, pressed while found files pour in, asks first; No goes on scanning.
        x, y = s.centre(s.main["count.rect"])
        s.keys(x, y, "Escape")
        s.answer_box(ABORT_QUESTION, "No", "box-abort-question")
        st = s.state()
        s.check(s.app.poll() is None and st["scan.text"] == "Stop", "No to the abort question keeps scanning")

        st = s.wait_for(lambda: (lambda st: st if int(st["progress.pos"]) > first else None)(s.state()),
                        "the bar to move", timeout=15)
        s.shot("09-scanning")
        s.check(st["scan.text"] == "Stop" and st["progress.visible"] == "1",
                f"the bar moves on while scanning ({first} -> {st['progress.pos']}), {st['count.text']} rows so far")
        # Sorted by Name while rows pour in: the rows that come later go to their sorted places.
        s.click(*s.header_point(1))
        st = s.wait_for(lambda: (lambda st: st if int(st["count.text"] or 0) >= 1000 else None)(s.state()),
                        "a thousand rows", timeout=60)

        # Stop with thousands of files found and more coming: the scan stops, its rows stay, and
        # no other scan starts however long we wait.
        s.click_rect(s.main["scan.rect"])
        pressed = time.time()
        # The click reaches the window through the X server: on a loaded machine its handling
        # may trail the click by more than one state query.
        st = s.wait_for(lambda: (lambda st: st if st["scan.text"] == "Scan" else None)(s.state()),
                        "the button to say Scan after Stop", timeout=10)
        s.check(st["scan.text"] == "Scan" and st["disks.enabled"] == "1" and st["filters.enabled"] == "1",
                f"Stop: the button says Scan and the inputs are enabled {time.time() - pressed:.2f} s after the "
                f"click (button {st['scan.text']!r}, {st['count.text']} rows)")
        st = s.wait_for(lambda: (lambda st: st if st["progress.visible"] == "0" and st["count.text"].endswith(
            " (stopped)") else None)(s.state()), "the stopped scan to end", timeout=15)
        s.shot("10-stopped")
        stopped = int(st["count.text"].split(" ")[0])
        s.check(1000 <= stopped < total, f"the stopped scan listed {stopped} of {total} files, bar hidden, "
                                         f"the count says {st['count.text']!r}")
        time.sleep(3)
        st = s.state()
        s.check(st["count.text"] == f"{stopped} (stopped)" and st["scan.text"] == "Scan"
                and st["progress.visible"] == "0", f"3 s after Stop: still {st['count.text']} rows, no scan running")
    finally:
        slow.terminate()
        slow.wait()

    # Greatest first: the two bottom rows hold the least name of those listed. Had the rows that
    # came after the click been added at the end, the bottom rows would be the last two found,
    # whose names differ (the grown volume repeats the sample's names in turn).
    least = min(r["name"] for r in grown[:stopped]).encode("utf-16-be")
    bottom = []
    for keys, target in ((("End", "Up"), "F:\\above-bottom-after-sort"), (("End",), "F:\\bottom-after-sort")):
        s.click(*s.row_point(0))
        s.keys(*s.row_point(0), *keys)
        bottom.append(s.restore_selected_to_file(target))
        s.answer_box(f"File restored: {target}. ", "OK", "box-" + target[3:])
    s.check(all(name.encode("utf-16-be") == least for name in bottom),
            f"sorted by Name during the scan: the two bottom rows are {bottom}, the least name of the {stopped} "
            f"listed is {least.decode('utf-16-be')!r}")

    s.click_rect(s.main["scan.rect"])
    done = s.wait_for(lambda: (lambda st: st if st["scan.text"] == "Scan" and st["count.text"] == str(total)
                               else None)(s.state()), "the full scan of the grown volume", timeout=60)
    s.check(done["progress.visible"] == "0", f"scanned again: all {total} files listed, bar hidden")
    os.rename(s.sample, large)
    os.rename(str(s.sample) + ".small", s.sample)


def copy_all_and_compare(s, reference):
    """Ctrl+A, Ctrl+C: the clipboard holds the titles, then every row in the list's order, the
    Recoverable column in the command line's words."""
    titles = ["Index", "Name", "Path", "Type", "Size", "Modified Time", "Creation Time", "Recoverable"]
    s.click(*s.row_point(0))
    s.keys(*s.row_point(0), "ctrl+a", "ctrl+c")
    copied = s.wait_for(lambda: (lambda t: t if t.startswith("Index\t") else None)(s.probe("clipboard")),
                        "the copied rows on the clipboard")
    s.check(copied.endswith("\r\n") and "\n" not in copied.replace("\r\n", ""),
            "the copied text ends each line with CR LF")
    lines = copied.split("\r\n")[:-1]
    s.check(lines[0].split("\t") == titles, f"the copied header is the column titles (got {lines[0]!r})")
    rows = [dict(zip(titles, line.split("\t"))) for line in lines[1:]]
    s.check([r["Index"] for r in rows] == [r["record"] for r in reference],
            f"all {len(reference)} rows copied in the list's order")
    s.check(all(r["Name"] == ref["name"] and r["Path"] == ref["path"] and r["Recoverable"] == ref["recoverable"]
                for r, ref in zip(rows, reference)),
            "each copied row's name, path and Recoverable words are quorret-cli's")
    # The list scrolled right to show the Recoverable column beside Creation Time.
    s.keys(*s.row_point(0), *["ctrl+Right"] * 6)
    s.shot("02b-recoverable")
    s.keys(*s.row_point(0), *["ctrl+Left"] * 6)


def box_text(s):
    window, text = s.wait_for(s.message_box, "the restore's message box", timeout=120)
    return window, text.replace("\\r", "\r").replace("\\n", "\n")


def scan_and_select_all(s, count):
    s.click_rect(s.main["scan.rect"])
    s.wait_for(lambda: (lambda st: st if st["scan.text"] == "Scan" and st["count.text"] == str(count) else None)(
        s.state()), f"a scan listing {count} files", timeout=60)
    s.click(*s.row_point(0))
    s.keys(*s.row_point(0), "ctrl+a")


@contextlib.contextmanager
def sample_replaced_by(s, xz):
    """Drive D:'s image is the fixture XZ unpacked for the cases within, and the sample again after."""
    os.rename(s.sample, str(s.sample) + ".small")
    try:
        with lzma.open(xz) as src, open(s.sample, "wb") as dst:
            shutil.copyfileobj(src, dst)
        yield
    finally:
        os.replace(str(s.sample) + ".small", s.sample)


def recycle_bin_names(s):
    """A volume with an emptied Recycle Bin: the files the bin's index files name are listed, copied
    and restored under the names and folders they had, as the fixture's manifest records them."""
    lines = Path(s.args.recycle_manifest).read_text(encoding="utf-8").splitlines()
    # A record that a live file took since is not listed.
    live = {line.split("\t")[0] for line in lines[1:] if line.split("\t")[1:2] == ["0"]}
    deleted = {r: m for r, m in read_manifest(s.args.recycle_manifest).items() if str(r) not in live}
    record_of = {m["path"]: r for r, m in deleted.items()}
    originals = {}  # record: (folder, name)
    for line in lines:
        if line.startswith("# original\t"):
            bin_path, original = line.split("\t")[1:3]
            folder, name = original.rsplit("\\", 1)
            originals[record_of[bin_path]] = (folder + "\\", name)
    with sample_replaced_by(s, s.args.recycle_xz):
        scan_and_select_all(s, len(deleted))
        s.shot("13-recycle-bin")
        s.keys(*s.row_point(0), "ctrl+c")
        copied = s.wait_for(lambda: (lambda t: t if " (bin)" in t else None)(s.probe("clipboard")),
                            "the recycle volume's rows on the clipboard")
        titles = copied.split("\r\n")[0].split("\t")
        rows = {int(r["Index"]): r for r in (dict(zip(titles, line.split("\t")))
                                             for line in copied.split("\r\n")[1:] if line)}
        # The copied cells escape a backslash as the command line's tsv does.
        shown = {r: (rows[r]["Path"], rows[r]["Name"]) for r in originals if r in rows}
        expected = {r: (folder.replace("\\", "\\\\") + " (bin)", name) for r, (folder, name) in originals.items()}
        s.check(shown == expected, f"each file of the emptied bin is listed where it was, marked (bin): {shown}")
        s.check(all(rows[r]["Name"] == m["path"].split("/")[-1] for r, m in deleted.items() if r not in originals),
                "every other file keeps its stored name")

        s.restore_selected_to_folder("K")
        s.answer_box(f"Total {len(deleted)} files restored. ", "OK", "box-recycle-restored")
        made = {p.name: sha256(p) for p in s.k_dir.iterdir()}
        s.check(all(made.get(name) == deleted[r]["sha256"] for r, (_, name) in originals.items()),
                f"the bin's files are restored byte-identical under their original names: {sorted(made)}")

        # Sorted by name, the top row is the greatest name shown; the save dialog proposes it.
        s.click(*s.header_point(1))
        s.click(*s.row_point(0))
        top = max((r["Name"] for r in rows.values()), key=lambda n: n.encode("utf-16-be"))
        proposed = s.restore_selected_to_file("F:\\bin-top-name")
        s.answer_box("File restored: F:\\bin-top-name. ", "OK", "box-recycle-one")
        s.check(proposed == top and top in {name for _, name in originals.values()},
                f"one bin file alone: the save dialog proposes its original name {top!r} (got {proposed!r})")


def scan_garbled_mft(s, sample_count, records=(80, 81)):
    """A volume whose MFT holds records that cannot be read: the count says the scan met errors."""
    data = bytearray(s.sample.read_bytes())
    sector = int.from_bytes(data[11:13], "little")
    cluster = sector * data[13]
    size_code = int.from_bytes(data[0x40:0x41], "little", signed=True)
    record_size = 1 << -size_code if size_code < 0 else size_code * cluster
    mft = int.from_bytes(data[0x30:0x38], "little") * cluster
    for record in records:  # live files: their fix-ups no longer match, no deleted file is lost
        data[mft + record * record_size + sector - 2] ^= 0xFF
    os.rename(s.sample, str(s.sample) + ".small")
    s.sample.write_bytes(bytes(data))
    try:
        s.click_rect(s.main["scan.rect"])
        st = s.wait_for(lambda: (lambda st: st if st["scan.text"] == "Scan" and st["count.text"].startswith(
            f"{sample_count} (") else None)(s.state()), "the scan of the garbled MFT to end", timeout=60)
        s.shot("12-garbled-mft")
        words = st["count.text"].split(" ")
        s.check(len(words) == 6 and words[1].startswith("(") and int(words[1][1:]) >= len(records)
                and " ".join(words[2:]) == "errors: see the log)",
                f"a scan that met {len(records)} garbled records says so: {st['count.text']!r}")
    finally:
        os.replace(str(s.sample) + ".small", s.sample)


def restore_hard_cases(s, manifest, sample_count):
    """Device names and names too long once numbered, a full drive, and a restore from a slow disk."""
    # Names Windows takes for devices, and two files of each of two names: every one is a file.
    devnames = read_manifest(s.args.devnames_manifest)
    with sample_replaced_by(s, s.args.devnames_xz):
        scan_and_select_all(s, len(devnames))
        s.restore_selected_to_folder("H")
        s.answer_box(f"Total {len(devnames)} files restored. ", "OK", "box-device-names")
        made = {p.name: sha256(p) for p in s.h_dir.iterdir()}
        s.check(sorted(made.values()) == sorted(m["sha256"] for m in devnames.values()),
                f"H:\\ holds every file byte-identical: {sorted(n[:40] for n in made)}")
        s.check(not any(n.split(".")[0].rstrip(" ").lower() in DEVICE_STEMS for n in made),
                "no restored name is a device name")
        s.check(all(len(n) <= 255 for n in made), "the numbered long name was cut to fit")

    # A drive that fills up: the message counts what was restored, names every failure with its
    # reason, and leaves no empty file behind; a partial file says how much it holds.
    scan_and_select_all(s, sample_count)
    if s.check(s.full_mounted, f"drive I: is a {FULL_DRIVE} tmpfs"):
        s.restore_selected_to_folder("I")
        window, text = box_text(s)
        s.shot("box-full-drive")
        lines = text.split("\r\n")
        on_disk = {p.name: p for p in s.i_dir.iterdir()}
        by_name = {m["path"].split("/")[-1]: m for m in manifest.values()}
        complete = [n for n, p in on_disk.items() if sha256(p) == by_name[n]["sha256"]]
        partial = [n for n in on_disk if n not in complete]
        failed = sample_count - len(complete)
        s.check(lines[0] == f"Total {len(complete)} files restored. ",
                f"the full drive: {len(complete)} complete files on disk, the message says {lines[0]!r}")
        s.check(failed > 0 and len(lines) > 1 and lines[1] == f"{failed} files failed:", f"{failed} failures counted")
        named = lines[2:]
        s.check(all(any(line.startswith(f"I:\\{n}: Disk is full (") and "bytes kept)" in line for line in named)
                    for n in partial), f"every partial file is named with its reason and what it keeps: {partial}")
        s.check(any("Disk is full" in line for line in named), f"the reason is given: {named[:3]}")
        s.check(all(p.stat().st_size > 0 for p in on_disk.values()), "no empty file is left behind")
        s.press(window, "OK")
        s.wait_for(lambda: s.message_box() is None, "the message box to close")

    # A restore from a slow disk: the window answers, the count label says how far it is, and
    # Restore (now Stop) ends it with the files not restored counted.
    comm = Path(f"/proc/{s.app.pid}/comm").read_text().strip()
    slow = subprocess.Popen(["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=pread64",
                             "-e", f"inject=pread64:delay_exit={SLOW_READ_US}", "-p", str(s.app.pid)],
                            stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        if not s.check(comm == "Quorret.exe" and slow.poll() is None, "strace slows the program's reads"):
            return
        s.click(*s.row_point(0))
        s.keys(*s.row_point(0), "ctrl+a")
        s.restore_selected_to_folder("J")
        st = s.wait_for(lambda: (lambda st: st if st["count.text"].startswith("Restoring") else None)(s.state()),
                        "the restore's progress line", timeout=30)
        s.check(st["restore.text"] == "Stop" and st["progress.visible"] == "1",
                f"restoring: {st['count.text']!r}, Restore reads {st['restore.text']!r}, bar shown")
        answers = []
        for _ in range(3):
            asked = time.time()
            answers.append((s.state().get("count.text", ""), time.time() - asked))
        s.check(all(text.startswith("Restoring") for text, _ in answers),
                f"the window answers while it restores: {[(t, round(d, 2)) for t, d in answers]}")
        s.shot("11-restoring")
        s.click_rect(s.main["restore.rect"])
        window, text = box_text(s)
        s.shot("box-restore-stopped")
        stopped = [line for line in text.split("\r\n") if line.startswith("Stopped: ")]
        done = [p for p in s.j_dir.iterdir()]
        s.check(len(stopped) == 1 and stopped[0].endswith(" files not restored.") and len(done) < sample_count,
                f"Stop ends the restore: {text!r}, {len(done)} files made")
        s.press(window, "OK")
        s.wait_for(lambda: s.message_box() is None, "the message box to close")
        st = s.state()
        s.check(st["restore.text"] == "Restore..." and st["count.text"] == str(sample_count),
                f"after the restore: Restore... and the count {st['count.text']} again")
    finally:
        slow.terminate()
        slow.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("exe", "cli", "probe", "image-xz", "manifest", "devnames-xz", "devnames-manifest", "recycle-xz",
                 "recycle-manifest", "out"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    for tool in ("wine", "Xvfb", "xdotool", "import", "strace"):
        if not shutil.which(tool):
            print(f"missing {tool}: run tools/setup", file=sys.stderr)
            return 1
    work = Path(tempfile.mkdtemp(prefix="quorret-e2e-"))
    s = Session(args, work)
    try:
        run(s)
    except (Failure, OSError, KeyError, IndexError, subprocess.SubprocessError) as e:
        s.check(False, f"{type(e).__name__}: {e}")
        s.shot("zz-failure")
    finally:
        s.close()
        shutil.rmtree(work, ignore_errors=True)
    print(f"screenshots: {s.shots}")
    print(f"{s.passed} passed, {s.failed} failed")
    return 0 if s.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
