#!/usr/bin/env python3
"""Install benchmark (tools/bench-install.sh runs it in a Wine session): figures only.

1. Start to the Ready page with a local nginx, against a blank Win32 window program started
   under the same Wine (the installer's own cost of starting is the difference).
2. A whole install of a package of --mib MiB from nginx, driven by clicks: the time from the
   Install click to the product's start, against its parts measured alone in the same run
   (GetUrlFile with its per-chunk flush and log line, CheckDownloadFile, 7-Zip unpacking,
   CopytoInstallPath), with the phases as the install log's lines show them, and the installer's
   peak working set (VmHWM of its process).
3. The installer's size and what each resource and the code take of it.

    bench_install.py --installer EXE --wine LOADER --tests build/x64/tests --work DIR [--mib 100]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import drive_installer as drive  # noqa: E402
import pe_file  # noqa: E402

VERSION = "2.4.0.0"
RESOURCE_TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
                  10: "raw data", 14: "icon group", 16: "version", 24: "manifest"}


def figures(text):
    out = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 2:
            try:
                out[parts[0]] = float(parts[1])
            except ValueError:
                pass
    return out


def start_cost(session, tests, installer, rounds=3):
    """Seconds from the process start to a visible window: the blank program, the installer's
    Ready page."""
    blank, ready = [], []
    bench = os.path.join(tests, "install_bench.exe")
    watcher = os.path.join(tests, "page_watch.exe")
    for _ in range(rounds):
        watch = subprocess.Popen([session.wine, watcher, "60", "Telvista blank bench"],
                                 stdout=subprocess.PIPE, env=session.env())
        watch.stdout.readline()
        began = time.monotonic()
        program = subprocess.Popen([session.wine, bench, "blank", "Telvista blank bench"],
                                   env=session.env())
        line = watch.stdout.readline()
        if b"titled" in line:
            blank.append(time.monotonic() - began)
        program.kill()
        watch.kill()
        program.wait()
        watch.wait()
        run = drive.InstallerRun(session, installer, watcher)
        try:
            run.wait_page("Ready", 120)
            ready.append(run.time_of("Ready"))
        finally:
            run.finish()
    return statistics.median(blank), statistics.median(ready)


class LogClock(threading.Thread):
    """Notes when lines appear in the install log (monotonic seconds), polling every 10 ms."""

    def __init__(self, session):
        super().__init__(daemon=True)
        self.session = session
        self.seen = []
        self.stop = False

    def run(self):
        count = 0
        while not self.stop:
            lines = self.session.log_lines()
            now = time.monotonic()
            for line in lines[count:]:
                self.seen.append((now, line))
            count = max(count, len(lines))
            time.sleep(0.01)

    def first(self, prefix, after=0.0):
        return next((at for at, line in self.seen if at >= after and line.startswith(prefix)),
                    None)


def peak_rss_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return None


def whole_install(session, tests, installer, work, published, tree):
    clock = LogClock(session)
    clock.start()
    run = drive.InstallerRun(session, installer, os.path.join(tests, "page_watch.exe"))
    peak = [0.0]

    def sample():
        while run.process.poll() is None:
            value = peak_rss_mib(run.process.pid)
            if value:
                peak[0] = max(peak[0], value)
            time.sleep(0.05)
    sampler = threading.Thread(target=sample, daemon=True)
    sampler.start()
    try:
        state = run.wait_page("Ready", 120)
        time.sleep(0.3)
        run.click("accept", state)
        clicked = time.monotonic()
        run.click("install")
        run.wait_page("Complete", 900)
        run.wait_exit(120)
        product_at, _ = drive.product_start(session, 0, 60)
    finally:
        run.finish()
        clock.stop = True
    clock.join()
    package_url = published["records"]["windows_update_package"]["download_url"]
    marks = {
        "download": (clock.first("Download: " + package_url, clicked),
                     clock.first("Download ok", clicked)),
        "check + unpack": (clock.first("Download ok", clicked), clock.first("7za exit code", clicked)),
        "install phase to the copy": (clock.first("Install", clicked),
                                      clock.first("MakePathExist", clicked)),
        "copy": (clock.first("MakePathExist", clicked), clock.first("CopytoInstallPath ok", clicked)),
        "registration, shortcuts, product start": (clock.first("CopytoInstallPath ok", clicked),
                                                   product_at),
    }
    return product_at - clicked, marks, peak[0]


def parts_alone(session, tests, installer, work, published):
    record = published["records"]["windows_update_package"]
    # In the prefix, on the same file system as the installer's own temporary folder.
    target = os.path.join(session.prefix, "drive_c", "bench-alone")
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    zip_path = os.path.join(target, "package.zip")
    result = subprocess.run([session.wine, os.path.join(tests, "download_bench.exe"),
                             record["download_url"], session.windows(zip_path), record["hash"],
                             str(record["size"])], capture_output=True, env=session.env())
    bench = figures(result.stdout.decode())
    # The archive tool as the installer carries it (resource FILE 156), run as the installer runs it.
    with open(installer, "rb") as f:
        tool = pe_file.PE(f.read()).resources()[("FILE", 156)]
    sevenza = os.path.join(target, "7za.exe")
    with open(sevenza, "wb") as f:
        f.write(tool)
    unpacked = os.path.join(target, "extract")
    began = time.monotonic()
    subprocess.run([session.wine, sevenza, "x", session.windows(zip_path), "-y", "-aoa",
                    "-o" + session.windows(unpacked)], capture_output=True, env=session.env())
    unpack = time.monotonic() - began
    installed = os.path.join(target, "Orvane", "Telvista")
    os.makedirs(installed)
    copy = figures(subprocess.run([session.wine, os.path.join(tests, "install_bench.exe"),
                                   "copy", session.windows(unpacked), session.windows(installed)],
                                  capture_output=True, env=session.env()).stdout.decode())
    shutil.rmtree(target, ignore_errors=True)
    if not copy.get("copy_ok"):
        print("copy alone failed", file=sys.stderr)
    return {"download (GetUrlFile)": bench.get("download_seconds"),
            "digest (CheckDownloadFile)": bench.get("check_seconds"),
            "7-Zip unpacking": unpack,
            "copy (CopytoInstallPath)": copy.get("copy_seconds")}, bench


def sizes(installer):
    with open(installer, "rb") as f:
        data = f.read()
    pe = pe_file.PE(data)
    print("\nThe installer's size: %d bytes (%.2f MiB), %s" % (len(data), len(data) / 1048576,
                                                                 os.path.basename(installer)))
    for name, _, size, _ in pe.sections:
        print("  section %-10s %10d bytes" % (name.decode(), size))
    groups = {}
    for (rtype, rid), blob in pe.resources().items():
        label = "FILE %s" % rid if rtype == "FILE" else RESOURCE_TYPES.get(rtype, str(rtype))
        if rtype == "PNG":
            label = "PNG images"
        groups[label] = groups.get(label, 0) + len(blob)
    for label, size in sorted(groups.items(), key=lambda item: -item[1]):
        print("  resource %-16s %10d bytes" % (label, size))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--tests", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--mib", type=float, default=100)
    args = parser.parse_args()
    session = drive.Session(wine=args.wine)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    app = os.path.join(work, "app")
    drive.make_package(app, os.path.join(args.tests, "standins"), args.mib)
    tree = os.path.join(work, "release")
    published = drive.publish(tree, drive.free_port(), app, VERSION, args.installer)
    server = drive.ReleaseServer(tree)
    server.start()
    downloads = os.path.join(session.profile, "Downloads")
    setup = os.path.join(downloads, "TelvistaSetup.exe")
    shutil.copy(args.installer, setup)
    try:
        blank, ready = start_cost(session, args.tests, setup)
        print("Start to a visible window (median of 3):")
        print("  %-44s %7.2f s" % ("blank Win32 window program", blank))
        print("  %-44s %7.2f s" % ("installer, start to the Ready page", ready))
        print("  %-44s %7.2f s" % ("the installer's own cost of starting", ready - blank))

        total, marks, peak = whole_install(session, args.tests, setup, work, published, tree)
        alone, bench = parts_alone(session, args.tests, args.installer, work, published)
    finally:
        server.stop()
    print("\nWhole install of a %g MiB package from nginx (Install click to the product's start):"
          % args.mib)
    print("  %-44s %7.2f s" % ("total", total))
    print("  phases as the install log shows them (10 ms polling):")
    for name, (begin, end) in marks.items():
        if begin and end:
            print("    %-42s %7.2f s" % (name, end - begin))
    print("  the parts measured alone, same run:")
    for name, seconds in alone.items():
        print("    %-42s %7.2f s" % (name, seconds or 0))
    parts = sum(seconds or 0 for seconds in alone.values())
    print("    %-42s %7.2f s" % ("sum of the parts", parts))
    print("  %-44s %7.2f s" % ("the rest (total - sum of the parts)", total - parts))
    print("  %-44s %7.1f MiB" % ("peak working set of the installer (VmHWM)", peak))
    print("  download alone: %.1f MiB/s; of it WinINet reads %.2f s, write + flush %.2f s, "
          "log lines %.2f s" % (bench.get("download_mib_per_s", 0),
                                bench.get("reads_only_seconds", 0),
                                bench.get("write_and_flush_seconds", 0),
                                bench.get("log_lines_seconds", 0)))
    sizes(args.installer)
    return 0


if __name__ == "__main__":
    sys.exit(main())
