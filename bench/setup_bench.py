#!/usr/bin/env python3
"""Benchmarks of the built Setup against the plain tools that do the same work.

Builds its own installation media (a command payload of N files of mixed sizes whose script
copies every file with QENCopyFile and records each for uninstall, and a second one that fails
after its copies), runs the real Setup in silent and terminal mode against a temporary system
root, and times each next to its anchors in the same run: cp -a and rm -rf of the same tree, the
same tree packed as an uncompressed .deb and installed and removed with dpkg --root on a fresh
admin folder, the least work that a removal which can be taken back must do (safe_remove_floor:
an lstat, an exclusive move aside, a journal record and two log lines per file, the unlinks at
the end), the sqlite3 CLI, gzip -6, sqlite3 :memory: .quit. Prints the medians and their
ratios, the engine's own time taken from the session log apart from the silent workflow's
2-second waits, the cost per file at each size and the marginal cost per file between sizes,
peak memory, and CPU time beside wall time where work runs on several threads.

    python3 bench/setup_bench.py [--build build] [--runs 5] [--sizes 1000,10000,50000]
                                 [--work /dev/shm[,/work/bench]] [--keep]

The first work folder should be a tmpfs (the default is /dev/shm when it exists): it holds every
row, and the CPU-bound ones compare best without a disk's noise. Further folders (a disk-backed
one, say) get the install and removal rows at the middle size, Setup next to dpkg, cp -a and
rm -rf on the same file system.
"""

import argparse
import gzip
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAYLOAD_CODE = "{6C1B7E2A-4D0F-4B8E-9A51-3E2F70C4D9B1}"
FILES_PER_FOLDER = 100
WAIT_SECONDS = 2.0  # the silent workflow's poll interval while an operation runs

# Mixed sizes, about 14 KB a file on average like a real application folder: many small files,
# some medium ones, a few large.
SIZE_CLASSES = [(60, 512, 4096), (30, 8192, 32768), (9, 32768, 131072), (1, 262144, 524288)]


def ipc_key_low_bits(device, inode):
    """The low 24 bits of the key of a lock's semaphore set, as platform::MakeIPCKey mixes them from
    the device and inode numbers of the root's tmp folder (the top byte is the lock's own)."""
    mask = (1 << 64) - 1
    mixed = ((device * 0x9E3779B97F4A7C15) & mask) ^ inode
    mixed = ((mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9) & mask
    mixed = ((mixed ^ (mixed >> 27)) * 0x94D049BB133111EB) & mask
    mixed ^= mixed >> 31
    return (mixed & 0xFFFFFF) or 1


def fail(text):
    sys.stderr.write("setup_bench: %s\n" % text)
    sys.exit(1)


# ---- media ----

def file_sizes(count, seed):
    generator = random.Random(seed)
    sizes = []
    weights = [share for share, _, _ in SIZE_CLASSES]
    for _ in range(count):
        _, low, high = generator.choices(SIZE_CLASSES, weights)[0]
        sizes.append(generator.randint(low, high))
    return sizes


def write_assets(folder, count):
    """N files in folders of 100; answers the folders and the files, relative to folder."""
    block = os.urandom(1 << 20)
    folders, files = [], []
    offset = 0
    for index, size in enumerate(file_sizes(count, count)):
        sub = "d%04d" % (index // FILES_PER_FOLDER)
        if index % FILES_PER_FOLDER == 0:
            folders.append(sub)
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
        name = "%s/f%06d.bin" % (sub, index)
        start = offset % (len(block) - size)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(block[start:start + size])
        offset += 7919
        files.append(name)
    return folders, files


def js_list(items):
    return "[" + ",".join("'%s'" % item for item in items) + "]"


def instructions(folders, files, fail_after_copies):
    lines = [
        "var target = QENGetProperty('INSTALLDIR');",
        "var assets = QENGetProperty('QEN_ASSETS');",
        "function makeFolder(path) {",
        "  if (!QENCreateDirectory(path)) throw new Error('no folder ' + path);",
        "  QENAddToUninstallScript(\"QENDeleteDirectory('\" + path + \"');\");",
        "}",
        "makeFolder(target);",
        "var folders = %s;" % js_list(folders),
        "for (var i = 0; i < folders.length; i++) makeFolder(target + '/' + folders[i]);",
        "var files = %s;" % js_list(files),
        "for (var j = 0; j < files.length; j++) {",
        "  var copy = target + '/' + files[j];",
        "  if (!QENCopyFile(assets + '/' + files[j], copy)) throw new Error('not copied ' + files[j]);",
        "  QENAddToUninstallScript(\"QENDeleteFile('\" + copy + \"');\");",
        "}",
    ]
    if fail_after_copies:
        lines.append("throw new Error('the benchmark fails this install after its copies');")
    lines += [
        "if (!QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Bench',",
        "    'Bench Payload', '1.0', '20240611.1', QENGetProperty('installLanguage'), target, '', false, '', '',",
        "    ['sessionID'], [QENGetProperty('sessionID')], [], [], '', QENGetProperty('QEN_PAYLOAD'), 'install'))",
        "  throw new Error('not recorded');",
    ]
    return "\n".join(lines) + "\n"


BOOTSTRAPPER = """var folder = QENGetProperty('INSTALLDIR');
var installers = folder.substring(0, folder.lastIndexOf('/'));
if (!QENPathExists(installers) && !QENCreateDirectory(installers)) throw new Error('no folder');
if (!QENCreateDirectory(folder)) throw new Error('no folder');
QENAddToUninstallScript("QENDeleteDirectory('" + folder + "');");
if (!QENCAPSWriteCollectionData(QENGetProperty('sessionID'), QENGetProperty('driverOrvexCode'),
                                QENGetProperty('installSourcePath'), ''))
  throw new Error('collection not recorded');
"""

PROXY = """<?xml version="1.0" encoding="utf-8"?>
<PayloadInfo version="2.0">
  <InstallerProperties>
    <Property name="OrvexCode">%s</Property>
    <Property name="ProductName">Bench Payload</Property>
    <Property name="ProductVersion">1.0</Property>
    <Property name="INSTALLDIR">[OrvexProgramFiles]</Property>
  </InstallerProperties>
  <BuildInfo><Property name="Created">20240611.1</Property></BuildInfo>
  <Languages languageIndependent="1"><Language>en_US</Language></Languages>
  <Satisfies><ProductInfo><Family>Bench</Family><ProductName>Bench Payload</ProductName>
    <ProductVersion>1.0</ProductVersion></ProductInfo></Satisfies>
  <InstallDir>
    <Platform name="Default" folderName="Bench Payload" isFixed="0">[OrvexProgramFiles]</Platform>
  </InstallDir>
  <AddRemoveInfo><DisplayName><Value lang="en_US">Bench Payload</Value></DisplayName></AddRemoveInfo>
</PayloadInfo>
""" % PAYLOAD_CODE


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write(text)


def write_image(image, code, script):
    os.makedirs(os.path.join(image, "Assets"), exist_ok=True)
    prop = '<Property name="OrvexCode">%s</Property>' % code if code else ""
    write_text(os.path.join(image, "Proxy.xml"),
               '<?xml version="1.0" encoding="utf-8"?><PayloadInfo version="2.0"><InstallerProperties>%s'
               '</InstallerProperties></PayloadInfo>' % prop)
    write_text(os.path.join(image, "Conditions.js"), "true;\n")
    write_text(os.path.join(image, "Instructions.js"), script)


def make_medium(medium, count, fail_after_copies, assets_from=None):
    """A medium beside which Setup runs: payloads/, resources/ and Bootstrapper.dmg."""
    if os.path.isdir(medium):
        return
    building = medium + ".part"
    shutil.rmtree(building, ignore_errors=True)
    shutil.copytree(os.path.join(SOURCE, "examples", "resources"), os.path.join(building, "resources"))
    write_text(os.path.join(building, "payloads", "Setup.xml"),
               '<?xml version="1.0" encoding="utf-8"?>\n<Setup>\n  <Driver folder="BenchPayload"/>\n</Setup>\n')
    write_text(os.path.join(building, "payloads", "BenchPayload", "BenchPayload.proxy.xml"), PROXY)
    write_image(os.path.join(building, "Bootstrapper.dmg"), "", BOOTSTRAPPER)
    image = os.path.join(building, "payloads", "BenchPayload", "BenchPayload.dmg")
    assets = os.path.join(image, "Assets")
    if assets_from:
        os.makedirs(image)
        subprocess.run(["cp", "-a", assets_from, assets], check=True)
        folders = sorted(os.listdir(assets))
        files = sorted("%s/%s" % (f, n) for f in folders for n in os.listdir(os.path.join(assets, f)))
    else:
        os.makedirs(assets)
        folders, files = write_assets(assets, count)
    write_image(image, PAYLOAD_CODE, instructions(folders, files, fail_after_copies))
    os.rename(building, medium)


def deployment_file(path, action):
    write_text(path, '<?xml version="1.0" encoding="utf-8"?><Deployment><Payloads>'
                     '<Payload orvexCode="%s"><Action>%s</Action></Payload></Payloads></Deployment>'
               % (PAYLOAD_CODE, action))


DEB_PACKAGE = "bench-payload"
DEB_FOLDER = "opt/bench-payload"


def make_deb(media, count, assets):
    """The same tree as an uncompressed .deb that installs it under /opt."""
    deb = os.path.join(media, "%s-%d.deb" % (DEB_PACKAGE, count))
    if os.path.exists(deb):
        return deb
    tree = deb + ".tree"
    shutil.rmtree(tree, ignore_errors=True)
    write_text(os.path.join(tree, "DEBIAN", "control"),
               "Package: %s\nVersion: 1.0\nArchitecture: all\nMaintainer: Bench <bench@example.invalid>\n"
               "Description: the benchmark's payload tree\n" % DEB_PACKAGE)
    os.makedirs(os.path.dirname(os.path.join(tree, DEB_FOLDER)))
    subprocess.run(["cp", "-a", assets, os.path.join(tree, DEB_FOLDER)], check=True)
    subprocess.run(["dpkg-deb", "-Znone", "--root-owner-group", "--build", tree, deb + ".part"], check=True,
                   stdout=subprocess.DEVNULL)
    os.rename(deb + ".part", deb)
    shutil.rmtree(tree)
    return deb


def dpkg_root(base):
    """A fresh root for dpkg --root: an empty admin folder under it."""
    root = os.path.join(base, "dpkg")
    admin = os.path.join(root, "var", "lib", "dpkg")
    for sub in ("info", "updates", "triggers"):
        os.makedirs(os.path.join(admin, sub))
    open(os.path.join(admin, "status"), "w").close()
    return root


# ---- processes, with their resources ----

class Measure:
    """One process run to its end: wall seconds, CPU seconds (user and system, its own and its
    children's), peak resident memory in bytes (the largest of it and its children)."""

    def __init__(self, wall, cpu, peak, code):
        self.wall, self.cpu, self.peak, self.code = wall, cpu, peak, code


MEASURER = None  # bench/run_measured of the build, set by Bench


def run_measured(command, **options):
    options.setdefault("stdout", subprocess.DEVNULL)
    with tempfile.NamedTemporaryFile("r") as result:
        subprocess.run([MEASURER, result.name] + command, **options)
        wall, cpu, peak, code = result.read().split()
    return Measure(float(wall), float(cpu), int(peak), int(code))


# ---- the session log, watched while Setup runs ----

HEADER = re.compile(r"^\[ *(\d+)\] \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4} (FATAL|ERROR| WARN| INFO|DEBUG)$")
OPERATION_END = re.compile(r"^(Install|Uninstall|Repair)Payload (succeeded|failed)\.$")


class LogWatcher:
    """Reads the log files of a folder as they grow and stamps each line with the moment it
    reached the file. A header line, and the message after it, reach the file at once, so a
    stretch of work is timed from the header that opens it to the one that opens the next."""

    def __init__(self, folders):
        self.folders = folders
        self.lines = {}  # path -> [(stamp, text)]
        self.offsets = {}
        self.partial = {}
        self.done = False

    def poll(self):
        now = time.monotonic()
        for folder in self.folders:
            try:
                names = os.listdir(folder)
            except OSError:
                continue
            for name in names:
                if not name.endswith(".log"):
                    continue
                path = os.path.join(folder, name)
                try:
                    with open(path, "rb") as log:
                        log.seek(self.offsets.get(path, 0))
                        data = log.read()
                except OSError:
                    continue
                if not data:
                    continue
                self.offsets[path] = self.offsets.get(path, 0) + len(data)
                text = self.partial.get(path, b"") + data
                pieces = text.split(b"\n")
                self.partial[path] = pieces.pop()
                entries = self.lines.setdefault(path, [])
                for piece in pieces:
                    entries.append((now, piece.decode("utf-8", "replace")))

    def run(self):
        while not self.done:
            self.poll()
            time.sleep(0.0005)
        self.poll()


def read_events(watcher):
    """The operations that the log shows, with their thread's time, the moments the log shows a
    rollback beginning, and how many times the silent workflow slept while it waited."""
    operations, rollbacks, sleeps = [], [], 0
    for path, entries in watcher.lines.items():
        thread, header_stamp = None, None
        current = None
        for stamp, text in entries:
            match = HEADER.match(text)
            if match:
                thread, header_stamp = match.group(1), stamp
                continue
            if text.startswith("Installer Operation: "):
                current = {"kind": text[len("Installer Operation: "):], "thread": thread, "start": header_stamp,
                           "end": header_stamp, "ok": None}
                operations.append(current)
            elif current is not None and thread == current["thread"] and not text.startswith("*=*="):
                # Other threads write in between; the next operation's opening lines are not ours.
                current["end"] = stamp
                ended = OPERATION_END.match(text)
                if ended:
                    current["ok"] = ended.group(2) == "succeeded"
            if text == "Rolling back prior actions...":
                rollbacks.append(stamp)
            if text == "Checking bootstrapper progress":
                sleeps += 1
    for operation in operations:
        operation["seconds"] = operation["end"] - operation["start"]
    return operations, rollbacks, sleeps


# ---- runs ----

class Bench:
    def __init__(self, args):
        self.args = args
        self.build = os.path.abspath(args.build)
        self.setup = os.path.join(self.build, "Setup.app", "Contents", "MacOS", "Setup")
        for program in (self.setup, self.tool("caps_records_bench"), self.tool("log_finish_bench"),
                        self.tool("run_measured"), self.tool("safe_remove_floor")):
            if not os.access(program, os.X_OK):
                fail("%s is not built (cmake --build %s)" % (program, args.build))
        global MEASURER
        MEASURER = self.tool("run_measured")
        for program in ("sqlite3", "gzip", "cp", "rm", "dpkg", "dpkg-deb"):
            if shutil.which(program) is None:
                fail("%s is missing (bash scripts/install-deps)" % program)
        self.works = [tempfile.mkdtemp(prefix="setup-bench.", dir=folder) for folder in args.work.split(",")]
        self.work = self.works[0]
        self.roots = 0

    def tool(self, name):
        return os.path.join(self.build, "bench", name)

    def close(self):
        if not self.args.keep:
            for work in self.works:
                shutil.rmtree(work, ignore_errors=True)

    def new_root(self, work=None):
        self.roots += 1
        base = os.path.join(work or self.work, "root%d" % self.roots)
        os.makedirs(os.path.join(base, "home"))
        subprocess.run(["bash", os.path.join(SOURCE, "scripts", "make-sysroot"), os.path.join(base, "root"),
                        self.build], check=True, stdout=subprocess.DEVNULL)
        return base

    def drop_root(self, base):
        self.drop_semaphores(os.path.join(base, "root", "tmp"))
        subprocess.run(["rm", "-rf", base], check=True)

    @staticmethod
    def drop_semaphores(folder):
        """Setup keeps the semaphore sets of its named locks (keyed by the root's tmp folder)
        after it ends; a root thrown away takes them with it, or each run would leave two behind."""
        try:
            info = os.stat(folder)
        except OSError:
            return
        low = ipc_key_low_bits(info.st_dev, info.st_ino)
        listing = subprocess.run(["ipcs", "-s"], stdout=subprocess.PIPE, text=True).stdout.split("\n")
        for line in listing:
            fields = line.split()
            if len(fields) > 1 and fields[0].startswith("0x") and int(fields[0], 16) & 0xFFFFFF == low:
                subprocess.run(["ipcrm", "-s", fields[1]], stderr=subprocess.DEVNULL)

    def environment(self, base):
        return {"PATH": "/usr/bin:/bin", "HOME": os.path.join(base, "home"),
                "TOLK_SYSTEM_ROOT": os.path.join(base, "root"), "LANG": "C"}

    def run_setup(self, base, arguments, expected=0, watch=True):
        """One Setup run: its Measure and what its session log shows."""
        folders = [os.path.join(base, "root", "Library", "Logs", "Orvex", "Installers"),
                   os.path.join(base, "home", "Library", "Logs", "Orvex", "Installers")]
        watcher = LogWatcher(folders)
        thread = None
        if watch:
            thread = threading.Thread(target=watcher.run)
            thread.start()
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            measure = run_measured([self.setup] + arguments, env=self.environment(base), cwd=base, stdout=out,
                                   stderr=err)
            if thread is not None:
                watcher.done = True
                thread.join()
            if measure.code != expected:
                out.seek(0)
                err.seek(0)
                fail("Setup %s ended with %d, not %d:\n%s%s" % (" ".join(arguments), measure.code, expected,
                                                                out.read().decode(), err.read().decode()))
        return measure, read_events(watcher)

    @staticmethod
    def timed(command, **options):
        return Bench.measured(command, **options).wall

    @staticmethod
    def measured(command, **options):
        measure = run_measured(command, **options)
        if measure.code != 0:
            fail("%s ended with %d" % (" ".join(command), measure.code))
        return measure


def waits_off(wall, operations, sleeps):
    """The run less the silent workflow's idle waits: each waited operation costs whole 2-second
    sleeps, of which only the operation's own time is work."""
    waited = sum(o["seconds"] for o in operations)
    return wall - max(0.0, sleeps * WAIT_SECONDS - waited)


def payload_operation(operations, kind):
    found = [o for o in operations if o["kind"] == kind]
    if not found:
        fail("the session log shows no %s operation" % kind)
    return found[-1]


def median(values):
    return statistics.median(values) if values else float("nan")


# ---- scenarios ----

def measure_payload(bench, work, count, runs):
    """Install and uninstall of N files next to cp -a and rm -rf of the same tree, and dpkg -i and
    dpkg -r of it packed as a .deb, interleaved run by run on the same file system."""
    media = os.path.join(work, "media")
    medium = os.path.join(media, "medium-%d" % count)
    make_medium(medium, count, False)
    assets = os.path.join(medium, "payloads", "BenchPayload", "BenchPayload.dmg", "Assets")
    deb = make_deb(media, count, assets)
    size = sum(os.path.getsize(os.path.join(folder, name))
               for folder, _, names in os.walk(assets) for name in names)
    figures = {k: [] for k in ("install", "install_engine", "install_peak", "copy", "copy_peak", "dpkg_install",
                               "dpkg_install_peak", "uninstall", "uninstall_engine", "uninstall_peak", "remove",
                               "floor", "dpkg_remove")}
    dpkg_environment = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C"}
    for run in range(runs):
        base = bench.new_root(work)
        measure, (operations, _, sleeps) = bench.run_setup(base, ["--mode=silent", "--installerParent=" + medium])
        figures["install"].append(waits_off(measure.wall, operations, sleeps))
        figures["install_peak"].append(measure.peak)
        figures["install_engine"].append(payload_operation(operations, "PayloadInstaller")["seconds"])

        removal = os.path.join(base, "remove.xml")
        deployment_file(removal, "remove")
        measure, (operations, _, sleeps) = bench.run_setup(
            base, ["--mode=silent", "--installerParent=" + medium, "--deploymentFile=" + removal])
        figures["uninstall"].append(waits_off(measure.wall, operations, sleeps))
        figures["uninstall_peak"].append(measure.peak)
        figures["uninstall_engine"].append(payload_operation(operations, "PayloadUninstaller")["seconds"])
        leftovers = os.listdir(os.path.join(base, "root", "Applications"))
        if leftovers != ["Utilities"]:
            fail("the uninstall left %s behind" % leftovers)
        # The anchors work on the same file system, once Setup's copy is gone again, so that no
        # more than one copy of the tree takes memory at a time.
        copy = os.path.join(base, "root", "anchor")
        measure = bench.measured(["cp", "-a", assets, copy])
        figures["copy"].append(measure.wall)
        figures["copy_peak"].append(measure.peak)
        figures["remove"].append(bench.timed(["rm", "-rf", copy]))
        # The least that a removal which can be taken back must do, on the same tree.
        subprocess.run(["cp", "-a", assets, copy], check=True)
        aside = os.path.join(base, "root", "aside")
        os.mkdir(aside, 0o700)
        figures["floor"].append(bench.timed([bench.tool("safe_remove_floor"), copy, aside]))
        if os.path.lexists(copy):
            fail("safe_remove_floor left %s behind" % copy)
        root = dpkg_root(base)
        measure = bench.measured(["dpkg", "--root=" + root, "-i", deb], env=dpkg_environment)
        figures["dpkg_install"].append(measure.wall)
        figures["dpkg_install_peak"].append(measure.peak)
        figures["dpkg_remove"].append(bench.timed(["dpkg", "--root=" + root, "-r", DEB_PACKAGE],
                                                  env=dpkg_environment))
        if os.path.lexists(os.path.join(root, DEB_FOLDER)):
            fail("dpkg -r left %s behind" % DEB_FOLDER)
        bench.drop_root(base)
        progress("%d files, run %d: install %.2f s (engine %.2f s), cp -a %.2f s, dpkg -i %.2f s, uninstall %.2f s "
                 "(engine %.2f s), rm -rf %.2f s, dpkg -r %.2f s" % (
                     count, run + 1, figures["install"][-1], figures["install_engine"][-1], figures["copy"][-1],
                     figures["dpkg_install"][-1], figures["uninstall"][-1], figures["uninstall_engine"][-1],
                     figures["remove"][-1], figures["dpkg_remove"][-1]))
    result = {k: median(v) for k, v in figures.items()}
    result["bytes"] = size
    return result


class RemovalWatcher:
    """Sees when the installed folder goes, which a rollback removes last (its first command)."""

    def __init__(self, folder):
        self.folder = folder
        self.seen = False
        self.end = None
        self.done = False

    def run(self):
        while not self.done and self.end is None:
            now = time.monotonic()
            if not self.seen:
                self.seen = os.path.lexists(self.folder)
            elif not os.path.lexists(self.folder):
                self.end = now
            time.sleep(0.0002)


def measure_rollback(bench, count, runs):
    media = os.path.join(bench.work, "media")
    good = os.path.join(media, "medium-%d" % count)
    medium = os.path.join(media, "failing-%d" % count)
    make_medium(good, count, False)
    assets = os.path.join(good, "payloads", "BenchPayload", "BenchPayload.dmg", "Assets")
    make_medium(medium, count, True, assets_from=assets)
    rollbacks, removes = [], []
    import threading
    for run in range(runs):
        base = bench.new_root()
        watcher = RemovalWatcher(os.path.join(base, "root", "Applications", "Bench Payload"))
        thread = threading.Thread(target=watcher.run)
        thread.start()
        try:
            _, (_, rolled, _) = bench.run_setup(base, ["--mode=silent", "--installerParent=" + medium], expected=22)
        finally:
            watcher.done = True
            thread.join()
        # From the log line that opens the rollback (it reaches the file within a block of lines,
        # a few milliseconds at most) to the moment the installed folder is gone: the log alone
        # cannot close it, as its header lines, which open a new stretch, are written whenever the
        # second changes (in the middle of a rollback too), and its last lines only with the run's.
        if not rolled or watcher.end is None or watcher.end <= rolled[-1]:
            fail("the rollback was not seen in the session log and on disk")
        rollbacks.append(watcher.end - rolled[-1])
        copy = os.path.join(base, "root", "anchor")
        subprocess.run(["cp", "-a", assets, copy], check=True)
        removes.append(bench.timed(["rm", "-rf", copy]))
        if os.listdir(os.path.join(base, "root", "Applications")) != ["Utilities"]:
            fail("the rollback left files behind")
        bench.drop_root(base)
    progress("rollback of %d files: %s s; rm -rf: %s s" % (count, " ".join("%.3f" % r for r in rollbacks),
                                                         " ".join("%.3f" % r for r in removes)))
    return median(rollbacks), median(removes)


def measure_startup(bench, runs):
    medium = os.path.join(bench.work, "media", "medium-1000")
    make_medium(medium, 1000, False)
    base = bench.new_root()
    setups, anchors = [], []
    for _ in range(runs + 1):
        measure, _ = bench.run_setup(base, ["--mode=terminal", "--installerParent=" + medium], watch=False)
        setups.append(measure.wall)
        anchors.append(bench.timed(["sqlite3", ":memory:", ".quit"]))
    bench.drop_root(base)
    return median(setups[1:]), median(anchors[1:])


def measure_records(bench, count, runs):
    template_root = bench.new_root()
    subprocess.run([bench.tool("caps_records_bench"), "0"], env=bench.environment(template_root), check=True)
    template = os.path.join(template_root, "root", "Library", "Application Support", "Orvex", "caps", "caps.db")
    collection = "bench0000000000000000000000000000"
    statements = ["BEGIN;",
                  "INSERT INTO tolk_collection (collectionID, collectionPayloadID, tsInstalled, tsModified) "
                  "VALUES ('%s', '{00000000-0000-0000-0000-000000000000}', 1, 1);" % collection]
    for i in range(count):
        code = "{%08X-0000-4000-8000-000000000000}" % i
        statements.append("INSERT OR REPLACE INTO tolk_payload (payloadID, productFamily, productName, version, "
                          "signature) VALUES ('%s', 'Bench', 'Bench Payload', '1.0', '20240611.1');" % code)
        statements.append("INSERT INTO tolk_collection_payload (collectionID, payloadID, installState, tsInstalled) "
                          "VALUES ('%s', '%s', 0, 1);" % (collection, code))
    statements.append("COMMIT;")
    script = os.path.join(bench.work, "records.sql")
    write_text(script, "\n".join(statements) + "\n")
    setups, anchors = [], []
    for _ in range(runs):
        base = bench.new_root()
        database = os.path.join(base, "root", "Library", "Application Support", "Orvex", "caps", "caps.db")
        os.makedirs(os.path.dirname(database))
        shutil.copy(template, database)
        setups.append(bench.timed([bench.tool("caps_records_bench"), str(count)], env=bench.environment(base)))
        anchor = os.path.join(base, "anchor.db")
        shutil.copy(template, anchor)
        with open(script) as sql:
            anchors.append(bench.timed(["sqlite3", anchor], stdin=sql))
        bench.drop_root(base)
    bench.drop_root(template_root)
    return median(setups), median(anchors)


def measure_log_finish(bench, megabytes, runs):
    template = os.path.join(bench.work, "session.log.template")
    line = 0
    with open(template, "w") as log:
        written = 0
        while written < megabytes << 20:
            chunk = []
            if line % 400 == 0:
                chunk.append("[       1] Wed Dec  9 11:54:%02d 2026 DEBUG\n" % (line // 400 % 60))
            chunk.append('%d Copying file "/tmp/.tempdirXXPysnTN/Assets/d%04d/f%06d.bin" to "/Applications/Bench '
                         'Payload/d%04d/f%06d.bin"\n%d Copied\n' % (line, line // 100, line, line // 100, line, line))
            text = "".join(chunk)
            log.write(text)
            written += len(text)
            line += 1
    setups, anchors = [], []
    for _ in range(runs):
        plain = os.path.join(bench.work, "session.log")
        shutil.copy(template, plain)
        setups.append(bench.measured([bench.tool("log_finish_bench"), plain]))
        os.unlink(plain + ".gz")
        with open(os.path.join(bench.work, "anchor.gz"), "wb") as out:
            anchors.append(bench.measured(["gzip", "-6", "-c", template], stdout=out))
    return ((median([m.wall for m in setups]), median([m.cpu for m in setups])),
            (median([m.wall for m in anchors]), median([m.cpu for m in anchors])))


def progress(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


# ---- the table ----

def seconds(value):
    return "%.3f s" % value if value < 10 else "%.1f s" % value


def megabytes(value):
    return "%.1f MB" % (value / 1e6)


def row(work, setup, anchor_name, anchor, goal, limit):
    ratio = setup / anchor if anchor > 0 else float("inf")
    verdict = "" if limit is None else "ok" if ratio <= limit else "OVER"
    return "| %s | %s | %s %s | %.2f× | %s | %s |" % (work, seconds(setup), anchor_name, seconds(anchor), ratio,
                                                       goal or "—", verdict)


def file_system(folder):
    return subprocess.run(["stat", "-f", "-c", "%T", folder], stdout=subprocess.PIPE, text=True).stdout.strip()


def marginal(payloads, low, high, key):
    """The cost of each file added from low to high files, in microseconds."""
    return 1e6 * (payloads[high][key] - payloads[low][key]) / (high - low)


def payload_rows(payloads, count, where, first):
    """The install and removal rows of one size on one file system."""
    p = payloads[count]
    label = "%d files / %d MB, %s" % (count, p["bytes"] // 1000000, where)
    lines = [row("install %s, whole run" % label, p["install"], "dpkg -i", p["dpkg_install"], "≤ 1×", 1),
             row("install %s, whole run" % label, p["install"], "cp -a", p["copy"], None, None)]
    if first:
        lines.append(row("· the install operation", p["install_engine"], "cp -a", p["copy"], "≤ 1.6×", 1.6))
    lines += [row("remove %s, whole run" % label, p["uninstall"], "dpkg -r", p["dpkg_remove"], "≤ 1×", 1),
              row("remove %s, whole run" % label, p["uninstall"], "rm -rf", p["remove"], None, None)]
    if first:
        lines += [row("· the uninstall operation", p["uninstall_engine"], "rm -rf", p["remove"], "≤ 2.5×", 2.5),
                  row("· the least a removal that can be taken back does (bench/safe_remove_floor)", p["floor"],
                      "rm -rf", p["remove"], None, None),
                  row("· the uninstall operation", p["uninstall_engine"], "that least", p["floor"], None, None)]
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"), help="the build folder (default: build)")
    parser.add_argument("--runs", type=int, default=5, help="runs per figure (default 5; 3 at the largest size)")
    parser.add_argument("--sizes", default="1000,10000,50000", help="payload sizes in files (default 1000,10000,50000)")
    parser.add_argument("--work", default="/dev/shm" if os.path.isdir("/dev/shm") else tempfile.gettempdir(),
                        help="where the media and system roots go (default /dev/shm); further folders after "
                             "commas get the install and removal rows at the middle size too")
    parser.add_argument("--keep", action="store_true", help="keep the work folders")
    args = parser.parse_args()
    sizes = sorted(int(size) for size in args.sizes.split(","))
    if os.geteuid() != 0:
        fail("Setup keeps its installation database in folders that only root may make: run as root")
    bench = Bench(args)
    middle = 10000 if 10000 in sizes else sizes[len(sizes) // 2]
    try:
        payloads = {}
        for count in sizes:
            runs = args.runs if count < 50000 else min(args.runs, 3)
            progress("measuring an install and uninstall of %d files (%d runs)" % (count, runs))
            payloads[count] = measure_payload(bench, bench.work, count, runs)
        elsewhere = []
        for work in bench.works[1:]:
            progress("measuring an install and uninstall of %d files in %s (%d runs)" % (middle, work, args.runs))
            elsewhere.append((file_system(work), {middle: measure_payload(bench, work, middle, args.runs)}))
        progress("measuring a rollback of %d files" % middle)
        rollback, rollback_anchor = measure_rollback(bench, middle, args.runs)
        progress("measuring start-up, database records and log finishing")
        startup, startup_anchor = measure_startup(bench, args.runs)
        records, records_anchor = measure_records(bench, 1000, args.runs)
        finish, finish_anchor = measure_log_finish(bench, 100, args.runs)
        where = file_system(bench.work)
    finally:
        bench.close()

    largest, smallest = max(sizes), min(sizes)
    lines = ["| work | Setup | anchor | ratio | goal | |", "|---|---|---|---|---|---|"]
    lines += payload_rows(payloads, middle, where, True)
    for other_where, other in elsewhere:
        lines += payload_rows(other, middle, other_where, False)
    if largest != middle:
        q = payloads[largest]
        lines += [row("install %d files, the install operation" % largest, q["install_engine"], "cp -a", q["copy"],
                      "≤ 1.6×", 1.6),
                  row("remove %d files, the uninstall operation" % largest, q["uninstall_engine"], "rm -rf",
                      q["remove"], "≤ 2.5×", 2.5)]
    if smallest != middle:
        s = payloads[smallest]
        lines += [row("install %d files, whole run" % smallest, s["install"], "cp -a", s["copy"], "≤ 4×", 4),
                  row("remove %d files, whole run" % smallest, s["uninstall"], "rm -rf", s["remove"], None, None)]
    q = payloads[largest]
    lines.append("| peak memory of an install of %d files | %s | cp -a %s, dpkg -i %s | | ≤ 40 MB | %s |" % (
        largest, megabytes(q["install_peak"]), megabytes(q["copy_peak"]), megabytes(q["dpkg_install_peak"]),
        "ok" if q["install_peak"] <= 40e6 else "OVER"))
    lines += [row("rollback of a failed install of %d files (the rollback itself)" % middle, rollback, "rm -rf",
                  rollback_anchor, "≤ 1.5×", 1.5),
              row("`Setup --mode=terminal` start-up", startup, "sqlite3 :memory: .quit", startup_anchor, "≤ 3×", 3),
              row("1 000 payload records in one database session", records, "sqlite3 CLI, one transaction,",
                  records_anchor, "≤ 1.2×", 1.2),
              "| finishing (gzip) a 100 MB session log (wall; CPU) | %s; %s | gzip -6 %s; %s | %.2f× | ≤ 1.1× | %s |" % (
                  seconds(finish[0]), seconds(finish[1]), seconds(finish_anchor[0]), seconds(finish_anchor[1]),
                  finish[0] / finish_anchor[0], "ok" if finish[0] <= 1.1 * finish_anchor[0] else "OVER")]
    print("\n".join(lines))
    print()
    print("Cost per file (milliseconds; whole runs with the prescribed waits taken off), and peak memory:")
    print("| files | install, whole run | install operation | cp -a | dpkg -i | remove, whole run | "
          "uninstall operation | rm -rf | dpkg -r | peak memory, install |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    keys = ("install", "install_engine", "copy", "dpkg_install", "uninstall", "uninstall_engine", "remove",
            "dpkg_remove")
    for count in sizes:
        f = payloads[count]
        print("| %d | %s | %s |" % (count, " | ".join("%.3f" % (1000 * f[k] / count) for k in keys),
                                    megabytes(f["install_peak"])))
    if len(sizes) > 1:
        print()
        print("Marginal cost per file between sizes (microseconds: the difference of the times over the "
              "difference of the files):")
        print("| files | %s |" % " | ".join(("install, whole run", "install operation", "cp -a", "dpkg -i",
                                             "remove, whole run", "uninstall operation", "rm -rf", "dpkg -r")))
        print("|---|---|---|---|---|---|---|---|---|")
        for low, high in zip(sizes, sizes[1:]):
            print("| %d–%d | %s |" % (low, high, " | ".join("%.1f" % marginal(payloads, low, high, k) for k in keys)))
        if len(sizes) > 2:
            a, b, c = sizes[-3:]
            growth = ["%s %.2f×" % (name, marginal(payloads, b, c, key) / marginal(payloads, a, b, key))
                      for name, key in (("install, whole run", "install"), ("install operation", "install_engine"),
                                        ("remove, whole run", "uninstall"),
                                        ("uninstall operation", "uninstall_engine"), ("cp -a", "copy"),
                                        ("rm -rf", "remove"))]
            print()
            print("Growth of the marginal cost from %d–%d to %d–%d files (goal ≤ 1.1× for Setup): %s" % (
                a, b, b, c, ", ".join(growth)))


if __name__ == "__main__":
    main()
