#!/usr/bin/env python3
"""End-to-end scenarios: the installer started as a user starts it (from the Downloads folder,
window at a known place), driven by pointer clicks (xdotool) at its controls, against nginx
serving a release published with tools/publish_release.py. Each scenario gets a fresh copy of the
session's prefix and asserts the pages seen (read from the window's controls by page_watch.exe),
the install log lines of its road, the files, the registry and the programs started (the
stand-ins record every start).

CTest runs it as root inside tests/fixtures/netns_run.sh, so the connection that Wine reports
(the default route) can be switched off and on; nginx listens on the namespace's 127.0.0.1.

    run_e2e.py --installer EXE --wine LOADER --standins DIR --watcher page_watch.exe --holder hold_file.exe
        --work DIR [--only NAME]
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import drive_installer as drive  # noqa: E402

VERSION = "2.4.0.0"
OLD_VERSION = "2.3.0.0"
NEWER_INSTALLER = "1.0.1.0"
LEFT, TOP = 160, 100
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver")
WINE64 = "/usr/lib/wine/wine64"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def network(on):
    subprocess.run(["ip", "route", "add" if on else "del", "default", "via", "10.200.0.2",
                    "dev", "tvnet0", "onlink"], check=True)


class Context:
    """One scenario's prefix, release and server."""

    def __init__(self, args, name, template):
        self.args = args
        self.name = name
        self.work = os.path.join(args.work, name)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.prefix = tempfile.mkdtemp(prefix="telvista-e2e.")
        subprocess.run(["cp", "-a", template + "/.", self.prefix], check=True)
        os.environ["WINEPREFIX"] = self.prefix
        subprocess.run([WINESERVER, "-p5"], check=True)
        self.session = drive.Session(wine=args.wine)
        self.server = None
        self.runs = []
        self.setup = os.path.join(self.session.profile, "Downloads", "TelvistaSetup.exe")
        os.makedirs(os.path.dirname(self.setup), exist_ok=True)
        shutil.copy(args.installer, self.setup)

    def release(self, bulk_mib=2, installer=None, dotnet=False, version=VERSION):
        if self.server:
            self.server.stop()
        app = os.path.join(self.work, "app")
        drive.make_package(app, self.args.standins, bulk_mib)
        self.package = app
        tree = os.path.join(self.work, "release")
        self.published = drive.publish(
            tree, drive.free_port(), app, version, installer or self.args.installer,
            dotnet=os.path.join(self.args.standins, "dotnet-installer.exe") if dotnet else None)
        self.server = drive.ReleaseServer(tree)
        self.server.start()
        self.tree = tree
        return self.published

    def package_file(self):
        url = self.published["records"]["windows_update_package"]["download_url"]
        relative = urllib.parse.unquote(url[len(self.published["base_url"]):])
        return os.path.join(self.tree, "www", relative)

    def start(self, **kwargs):
        run = drive.InstallerRun(self.session, self.setup, self.args.watcher,
                                 shots=os.path.join(self.work, "shots"), left=LEFT, top=TOP,
                                 **kwargs)
        self.runs.append(run)
        return run

    def preinstall(self, version, dotnet=True):
        """A working installation as the installer leaves it: the package's files in the
        default folder and the Uninstall entry naming it; with dotnet, the .NET Framework 4.5.2
        as well (the stand-in installer writes what the real one writes)."""
        if dotnet:
            subprocess.run([self.session.wine, os.path.join(self.args.standins,
                                                            "dotnet-installer.exe"),
                            "/q", "/norestart"], check=True, env=self.session.env())
        folder = self.session.default_folder
        os.makedirs(os.path.dirname(folder), exist_ok=True)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(self.package, folder)
        windows = self.session.windows(folder)
        for name, value in (("InstallLocation", windows), ("DisplayVersion", version),
                            ("DisplayName", "Pantavi"),
                            ("UninstallString", '"%s\\uninstaller.exe"' % windows)):
            subprocess.run([self.session.wine64, "reg", "add", drive.UNINSTALL_KEY, "/v", name,
                            "/t", "REG_SZ", "/d", value, "/f"], check=True,
                           capture_output=True, env=self.session.env())

    def close(self):
        for run in self.runs:
            run.finish()
        # Every report of every run, to look at afterwards (build/x64/tests/e2e/<scenario>/).
        with open(os.path.join(self.work, "reports.jsonl"), "w") as out:
            for number, run in enumerate(self.runs, 1):
                for at, state in run.states:
                    out.write(json.dumps({"run": number, "at": round(at, 3),
                                          "page": drive.page_of(state), "state": state}) + "\n")
        if self.server:
            self.server.stop()
        subprocess.run([WINESERVER, "-k"], capture_output=True)
        time.sleep(0.5)
        shutil.rmtree(self.prefix, ignore_errors=True)


def install_clicks(run):
    """On the Ready page: the Install button where it belongs, the box ticked, Install pressed."""
    state = run.wait_page("Ready", 120)
    x, y, w, h = drive.PLACES["install"]
    check(state["rects"]["5612"] == [LEFT + x, TOP + y, LEFT + x + w, TOP + y + h],
          "Install button at %s" % state["rects"]["5612"])
    check(state["window"] == [LEFT, TOP, LEFT + 960, TOP + 600],
          "window at %s" % state["window"])
    time.sleep(0.3)
    run.click("accept", state)
    run.click("install")


def expect_pages(run, expected):
    """The pages appear in this order among those seen (pages that show only for a moment, such
    as Blank, may fall between two looks of the watcher)."""
    seen = run.pages()
    at = 0
    for page in expected:
        while at < len(seen) and seen[at] != page:
            at += 1
        check(at < len(seen), "pages %s do not include %s in order; seen %s"
              % (expected, page, seen))
        at += 1


def expect_log(ctx, expected, absent=()):
    lines = ctx.session.log_lines()
    at = 0
    for wanted in expected:
        while at < len(lines) and not lines[at].startswith(wanted):
            at += 1
        check(at < len(lines), "log lacks %r (in order); log:\n  %s"
              % (wanted, "\n  ".join(lines[-40:])))
        at += 1
    for unwanted in absent:
        check(not any(line.startswith(unwanted) for line in lines), "log has %r" % unwanted)


def started(ctx, who):
    return [r for r in ctx.session.records() if r[0] == who]


def temp_folder_gone(ctx):
    """The installer's own temporary folder (with 7za.exe, downloads and the unpacked package)."""
    temp = os.path.join(ctx.session.profile, "AppData", "Local", "Temp")
    return not any(os.path.exists(os.path.join(root, "7za.exe")) for root, _, _ in os.walk(temp))


def expect_installed(ctx, version=VERSION):
    folder = ctx.session.default_folder
    check(drive.folder_listing(folder) == drive.folder_listing(ctx.package),
          "install folder differs from the package: %s" % drive.folder_listing(folder)[:5])
    values = ctx.session.reg_query(drive.UNINSTALL_KEY) or {}
    windows = ctx.session.windows(folder)
    check(values.get("InstallLocation", ("", ""))[1].lower() == windows.lower(),
          "InstallLocation %s" % (values.get("InstallLocation"),))
    check(values.get("DisplayVersion", ("", ""))[1] == version,
          "DisplayVersion %s" % (values.get("DisplayVersion"),))
    check(values.get("UninstallString", ("", ""))[1].lower() ==
          ('"%s\\uninstaller.exe"' % windows).lower(), "UninstallString %s"
          % (values.get("UninstallString"),))
    run_values = ctx.session.reg_query(drive.RUN_KEY) or {}
    check(any(data.lower() == ('"%s\\telvista.exe" /winstart' % windows).lower()
              for _, data in run_values.values()), "Run value missing: %s" % run_values)
    check(ctx.session.shortcuts(), "no shortcut")


# ---- the scenarios ------------------------------------------------------------------------


def first_install_then_removal(ctx):
    ctx.release(bulk_mib=4)
    run = ctx.start()
    install_clicks(run)
    run.wait_page("Complete", 300)
    run.wait_exit(60)
    at, record = drive.product_start(ctx.session, 0, 30)
    check(record, "product not started")
    expect_pages(run, ["Checking", "Ready", "Installing", "Complete"])
    folder = ctx.session.windows(ctx.session.default_folder)
    expect_log(ctx, ["Server: " + ctx.server.api_base, "Run this...",
                     "Download: " + ctx.published["records"]["windows_update_package"]["download_url"], "Download ok",
                     "Install", "CopytoInstallPath ok", "RegisterToSystem ok",
                     'Start application: %s\\Tandemix.Updater.exe -l "%s\\Telvista.exe"'
                     % (folder, folder)])
    expect_installed(ctx)
    updater = started(ctx, "Tandemix.Updater.exe")
    check(updater and updater[0][1].lower() == folder.lower(), "updater %s" % updater)
    check(record[1].lower() == folder.lower(), "product started in %s" % record[1])
    check(drive.wait_for(lambda: temp_folder_gone(ctx), 10), "temporary folder left")
    check(any(" 200 " in line and VERSION in line for line in ctx.server.access_log()),
          "package not fetched")

    # Removal, as Windows' list of programs does it: the registered UninstallString.
    command = ctx.session.reg_query(drive.UNINSTALL_KEY)["UninstallString"][1]
    subprocess.run([ctx.session.wine, command.strip('"')], env=ctx.session.env(),
                   capture_output=True)
    gone = drive.wait_for(lambda: not os.path.exists(os.path.dirname(ctx.session.default_folder))
                          and ctx.session.reg_query(drive.UNINSTALL_KEY) is None, 60, 0.5)
    check(gone, "uninstall left the folder or the key")
    check(not ctx.session.shortcuts(), "shortcuts left: %s" % ctx.session.shortcuts())
    run_values = ctx.session.reg_query(drive.RUN_KEY) or {}
    check(not any("telvista.exe" in data.lower() for _, data in run_values.values()),
          "Run value left")


def first_install_browsed(ctx):
    ctx.release()
    run = ctx.start()
    state = run.wait_page("Ready", 120)
    default = state["path"]
    time.sleep(0.3)
    run.click("browse")
    browser = drive.wait_for(lambda: (run.current() or {}).get("browser"), 30)
    check(browser, "no folder browser")
    time.sleep(1.5)   # the browser fills its tree
    drive.screenshot(os.path.join(ctx.work, "shots", "browser.png"))
    l, t, r, b = browser["ok"]
    run.click_at((l + r) // 2, (t + b) // 2)
    path = drive.wait_for(lambda: not run.current().get("browser") and
                          run.current()["path"] != default and run.current()["path"], 30)
    check(path and path.endswith("\\Orvane\\Telvista"), "browsed path %r (default %r)"
          % (path, default))
    install_clicks(run)
    run.wait_page("Complete", 300)
    run.wait_exit(60)
    _, record = drive.product_start(ctx.session, 0, 30)
    check(record and record[1].lower() == path.lower(), "product started as %s" % (record,))
    folder = ctx.session.unix(path)
    check(drive.folder_listing(folder) == drive.folder_listing(ctx.package),
          "%s does not hold the package" % folder)
    values = ctx.session.reg_query(drive.UNINSTALL_KEY) or {}
    check(values.get("InstallLocation", ("", ""))[1].lower() == path.lower(),
          "InstallLocation %s" % (values.get("InstallLocation"),))
    check(not os.path.exists(ctx.session.default_folder) or
          not os.listdir(ctx.session.default_folder), "the default folder was filled too")
    expect_pages(run, ["Checking", "Ready", "Installing", "Complete"])


def installed_and_current(ctx):
    ctx.release()
    ctx.preinstall(VERSION)
    run = ctx.start()
    run.wait_page("Complete", 120)
    run.wait_exit(60)
    _, record = drive.product_start(ctx.session, 0, 30)
    check(record, "installed product not started")
    check(record[2].endswith("%d %d" % (TOP, LEFT)), "product command line %s" % record[2])
    check("Ready" not in run.pages(), "Ready shown: %s" % run.pages())
    expect_log(ctx, ["No valid app to download, start the installed one: "])
    check(not any("/files/" in line for line in ctx.server.access_log()),
          "something was downloaded: %s" % ctx.server.access_log())


def self_update(ctx):
    newer = os.path.join(ctx.work, "TelvistaSetup-B.exe")
    drive.stamp_version(ctx.args.installer, newer, NEWER_INSTALLER)
    ctx.release(installer=newer)
    run = ctx.start()
    run.wait_page("UpdatingInstaller", 120)
    # B replaces A and carries on at A's place, up to the Ready page.
    state = None
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        pages = run.pages()
        if "UpdatingInstaller" in pages and "Ready" in pages[pages.index("UpdatingInstaller"):]:
            state = [s for _, p, s, _ in run.seen if p == "Ready"][-1]
            break
        time.sleep(0.2)
    check(state, "the new installer did not reach Ready; pages %s" % run.pages())
    expect_pages(run, ["Checking", "UpdatingInstaller", "closed", "Ready"])
    check(state["window"] == [LEFT, TOP, LEFT + 960, TOP + 600], "B's window at %s"
          % state["window"])
    with open(ctx.setup, "rb") as f, open(newer, "rb") as g:
        check(f.read() == g.read(), "the installer in Downloads is not B")
    expect_log(ctx, ["Installer new version exist", "Download new installer ok",
                     "cmdline: ", "cmdline: ", "Run this..."])
    lines = ctx.session.log_lines()
    cmdlines = [line for line in lines if line.startswith("cmdline: ")]
    check(any(line.rstrip().endswith("u %d %d" % (TOP, LEFT)) for line in cmdlines),
          "no tmp copy started with u T L: %s" % cmdlines)
    check(cmdlines[-1].rstrip().endswith("%d %d" % (TOP, LEFT)), "B started with %s"
          % cmdlines[-1])
    check(not os.path.exists(os.path.join(os.path.dirname(ctx.setup), "tmpTelvistaSetup.exe")),
          "tmp copy left")


def dotnet_with_app_current(ctx):
    ctx.release(dotnet=True)
    ctx.preinstall(VERSION, dotnet=False)
    before = drive.folder_listing(ctx.session.default_folder)
    run = ctx.start()
    install_clicks(run)
    run.wait_exit(180)
    expect_pages(run, ["Checking", "Ready", "Installing"])
    dotnet = started(ctx, "dotnet-installer")
    check(dotnet and dotnet[0][2].endswith("/q /norestart"), "dotnet stand-in %s" % dotnet)
    expect_log(ctx, ["Download check .net framework", "Install", "Install .net framwork ok"],
               absent=["CopytoInstallPath"])
    check(drive.folder_listing(ctx.session.default_folder) == before, "product touched")


def no_connection_then_back(ctx):
    ctx.release()
    network(False)
    try:
        run = ctx.start()
        run.wait_page("NoInternet", 60)
        time.sleep(2)
        check(run.pages()[-1] == "NoInternet", "pages %s" % run.pages())
    finally:
        network(True)
    run.wait_page("Ready", 60)
    expect_pages(run, ["NoInternet", "Checking", "Ready"])
    expect_log(ctx, ["Server: "])


def connection_lost_30s(ctx):
    ctx.release(bulk_mib=24)
    run = ctx.start()
    install_clicks(run)

    def far_enough():
        lines = ctx.session.log_lines()
        marks = [i for i, line in enumerate(lines) if line.startswith("Download: ")]
        kib = [int(line.split(":")[1]) for line in lines[marks[-1]:]
               if line.startswith("download : ")] if marks else []
        return kib and kib[-1] >= 4096
    check(drive.wait_for(far_enough, 120, 0.02), "package download did not start")
    network(False)
    ctx.server.pause()
    cut_at = time.monotonic()
    try:
        run.wait_page("Checking", 60)
        time.sleep(max(0, 30 - (time.monotonic() - cut_at)))
    finally:
        ctx.server.resume()
        network(True)
    run.wait_page("Complete", 300)
    run.wait_exit(60)
    expect_pages(run, ["Ready", "Installing", "Checking", "Installing", "Complete"])
    ranges = [line for line in ctx.server.access_log() if " 206 " in line and '"bytes=' in line]
    check(ranges, "no resumed request: %s" % ctx.server.access_log())
    offset = int(ranges[0].rsplit('"bytes=', 1)[1].split("-")[0])
    check(offset >= 4096 * 1024, "resumed from %d" % offset)
    expect_installed(ctx)


def digest_mismatch(ctx):
    ctx.release()
    path = ctx.package_file()
    with open(path, "r+b") as f:   # same size, other bytes
        f.seek(1000)
        byte = f.read(1)
        f.seek(1000)
        f.write(bytes([byte[0] ^ 0xFF]))
    run = ctx.start()
    install_clicks(run)
    state = run.wait_page("NoInternet", 120)   # the Error page with string 103
    check(5618 in state["visible"], "no OK button")
    expect_log(ctx, ["Download: ", "CheckDownloadFile failed"], absent=["CopytoInstallPath"])
    check(not os.path.exists(ctx.session.default_folder) or
          not os.listdir(ctx.session.default_folder), "something installed")
    run.click("ok")
    run.wait_exit(30)
    check(drive.wait_for(lambda: temp_folder_gone(ctx), 10), "temporary folder left after OK")


def leave_during_download(ctx):
    ctx.release(bulk_mib=24)
    ctx.server.throttle("3m")
    run = ctx.start()
    install_clicks(run)
    run.wait_page("Installing", 60)
    time.sleep(1)
    run.click("close")
    dialog = run.click_dialog(5692)            # RESUME
    check(any("cancel" in text.lower() for text in dialog["texts"]), "dialog %s" % dialog)
    time.sleep(1.5)
    check(run.process.poll() is None, "installer ended on RESUME")
    counts = []
    for _ in range(6):
        counts.append(len([line for line in ctx.session.log_lines()
                           if line.startswith("download : ")]))
        time.sleep(0.5)
    check(counts[-1] > counts[0], "download did not continue after RESUME: chunks %s, dialog %s"
          % (counts, run.current().get("dialog")))
    run.click("close")
    run.click_dialog(5693)                     # CANCEL
    run.wait_exit(30)
    check(drive.wait_for(lambda: temp_folder_gone(ctx), 10), "temporary folder left")
    check(not os.path.exists(ctx.session.default_folder) or
          not os.listdir(ctx.session.default_folder), "something installed")
    check(not started(ctx, "Telvista.exe"), "product started")


def update_fails_copying(ctx):
    ctx.release(bulk_mib=1, version=OLD_VERSION)
    ctx.preinstall(OLD_VERSION)
    old = drive.folder_listing(ctx.session.default_folder)
    ctx.release(bulk_mib=2)
    # The old product runs, as it does on a user's machine (the installer ends it first).
    product = subprocess.Popen([ctx.session.wine, os.path.join(ctx.session.default_folder,
                                                               "Telvista.exe")],
                               env=ctx.session.env(), cwd=ctx.session.default_folder)
    run = ctx.start()
    install_clicks(run)
    # Once unpacked, a file of the new package is held open by another program (as a scanner
    # does) until after the copy, so the copy cannot read it.
    check(drive.wait_for(lambda: any(line.startswith("7za exit code")
                                     for line in ctx.session.log_lines()), 120, 0.02),
          "package not unpacked")
    extracted = os.path.join(ctx.session.profile, "AppData", "Roaming", "Orvane", "Telvista",
                             "Temp", "extract-%s.zip" % VERSION, "readme.txt")
    holder = subprocess.Popen([ctx.session.wine, ctx.args.holder, ctx.session.windows(extracted),
                               "20"], stdout=subprocess.PIPE, env=ctx.session.env())
    try:
        check(holder.stdout.readline().strip() == b"held", "could not hold the unpacked file")
        state = run.wait_page("Error 121", 120)
        check(5618 in state["visible"], "no OK button")
    finally:
        holder.kill()
        holder.wait()
        product.wait(30)
    folder = ctx.session.windows(ctx.session.default_folder)
    expect_log(ctx, ["TerminateProcess Telvista.exe",
                     "MoveFolder %s to %s.old" % (folder, folder), "CopytoInstallPath failed",
                     "Restore %s.old to %s" % (folder, folder)], absent=["RegisterToSystem ok"])
    check(drive.folder_listing(ctx.session.default_folder) == old, "old installation not back")
    values = ctx.session.reg_query(drive.UNINSTALL_KEY) or {}
    check(values.get("DisplayVersion", ("", ""))[1] == OLD_VERSION,
          "DisplayVersion %s" % (values.get("DisplayVersion"),))
    # The old product still works: it starts from its folder.
    count = len(ctx.session.records())
    again = subprocess.Popen([ctx.session.wine, os.path.join(ctx.session.default_folder,
                                                             "Telvista.exe"), "/end-after", "100"],
                             env=ctx.session.env(), cwd=ctx.session.default_folder)
    again.wait(30)
    check(any(r[0] == "Telvista.exe" for r in ctx.session.records()[count:]),
          "the old product does not start")


SCENARIOS = [
    ("first_install_then_removal", first_install_then_removal),
    ("first_install_browsed", first_install_browsed),
    ("installed_and_current", installed_and_current),
    ("self_update", self_update),
    ("dotnet_with_app_current", dotnet_with_app_current),
    ("no_connection_then_back", no_connection_then_back),
    ("connection_lost_30s", connection_lost_30s),
    ("digest_mismatch", digest_mismatch),
    ("leave_during_download", leave_during_download),
    ("update_fails_copying", update_fails_copying),
]


def report_failure(ctx):
    """What a failed scenario leaves to look at: each run's pages, its exit code and the watcher's
    last report, the installer's last log lines and the screen as it was."""
    for run in ctx.runs:
        print("     pages: %s" % run.pages(), flush=True)
        print("     installer exit code: %s, watcher exit code: %s, reader: %s, last report: %s"
              % (run.process.poll(), run.watcher.poll(), run.reader_error or "reading",
                 run.current()), flush=True)
        for state in run.unknown[:3]:
            print("     unknown page: %s" % state, flush=True)
    lines = ctx.session.log_lines() or ["(no log)"]
    print("     log (last lines):\n       %s" % "\n       ".join(lines[-25:]), flush=True)
    shots = os.path.join(ctx.work, "shots")
    os.makedirs(shots, exist_ok=True)
    drive.screenshot(os.path.join(shots, "failed.png"))


def run_scenarios(args, template, session_prefix, failed):
    for name, scenario in SCENARIOS:
        if args.only and name not in args.only:
            continue
        began = time.monotonic()
        ctx = Context(args, name, template)
        try:
            scenario(ctx)
            print("PASS %-28s %5.1f s  pages %s" % (name, time.monotonic() - began,
                                                   ctx.runs[0].pages() if ctx.runs else []),
                  flush=True)
        except Exception as error:  # a scenario's failure is reported, the others still run
            failed.append(name)
            print("FAIL %-28s %5.1f s  %s" % (name, time.monotonic() - began, error), flush=True)
            if not isinstance(error, (Failure, TimeoutError)):
                traceback.print_exc()
            report_failure(ctx)
        finally:
            ctx.close()
            os.environ["WINEPREFIX"] = session_prefix


def make_template():
    """A prefix made for this run alone, so that no scenario inherits what earlier tests of the
    suite left in the session's prefix (log lines, an empty install folder, registry values)."""
    template = tempfile.mkdtemp(prefix="telvista-e2e-template.")
    env = dict(os.environ, WINEPREFIX=template)
    subprocess.run([WINE64, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    subprocess.run([WINESERVER, "-w"], env=env, timeout=120)
    # As tools/wine-session.sh does: the profile's folders of its own, not links to the Unix home.
    users = os.path.join(template, "drive_c", "users")
    for user in os.listdir(users):
        for name in os.listdir(os.path.join(users, user)):
            link = os.path.join(users, user, name)
            if os.path.islink(link):
                os.unlink(link)
                os.makedirs(link)
    return template


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--standins", required=True)
    parser.add_argument("--watcher", required=True)
    parser.add_argument("--holder", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--only", action="append")
    args = parser.parse_args()
    args.installer = os.path.abspath(args.installer)
    args.work = os.path.abspath(args.work)
    # Ended by CTest's time-out, a scenario still cleans up (nginx, its prefix and server).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    session_prefix = os.environ["WINEPREFIX"]
    template = make_template()
    # Layered windows (the cover under the questions) are blended only with a compositing
    # manager, as the screenshots should show them.
    compositor = subprocess.Popen(["xcompmgr"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL) if shutil.which("xcompmgr") else None
    failed = []
    try:
        run_scenarios(args, template, session_prefix, failed)
    finally:
        shutil.rmtree(template, ignore_errors=True)
        if compositor:
            compositor.kill()
            compositor.wait()
    print("%d scenarios failed: %s" % (len(failed), ", ".join(failed)) if failed
          else "all scenarios passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
