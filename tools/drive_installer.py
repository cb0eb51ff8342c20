"""Runs the installer under Wine as a user meets it and watches what it shows: the pieces the main
command (tools/demo.sh, through tools/demo.py) and the end-to-end tests (tests/e2e/) share.

- make_package / publish: a release made of the stand-in programs (tests/fixtures/standins) with
  incompressible bulk, published with tools/publish_release.py;
- ReleaseServer: tools/release-server.sh around a run (nginx on 127.0.0.1, the CA trusted by the
  prefix, TestServer.txt written);
- InstallerRun: starts the installer with its window at a known place ("<top> <left>" on its
  command line), watches it with page_watch.exe (which reads the window's controls from outside
  and reports every change), names the page each change shows, takes a screenshot of every page
  with ImageMagick, and clicks with xdotool where the window's controls are;
- read-backs of what an installation leaves: the install folder, the Uninstall entry, the
  shortcuts, the Run value, the stand-ins' record.

Everything runs inside a Wine session (WINEPREFIX and DISPLAY set, tools/wine-session.sh).
"""
import json
import os
import pwd
import queue
import random
import re
import shutil
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

TOOLS = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(TOOLS)
SERVER = os.path.join(TOOLS, "release-server.sh")
PROGRAMS = ("Telvista.exe", "Tandemix.Updater.exe", "uninstaller.exe")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Telvista"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"

# Places of the main window's controls, in client pixels (the window has no frame, so client and
# window coordinates are the same): left, top, width, height.
PLACES = {
    "install": (275, 374, 410, 70),
    "ok": (275, 460, 410, 70),
    "close": (908, 20, 40, 40),
    "minimise": (864, 20, 40, 40),
    "browse": (860, 520, 40, 40),
    "path": (60, 520, 800, 40),
}
CONTROL_IDS = {"install": 5612, "ok": 5618, "close": 5610, "minimise": 5611, "browse": 5614,
               "path": 5690, "accept": 5617}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def english_strings():
    """The English string table (res/strings.rc): id -> text, escapes resolved."""
    ids = {}
    with open(os.path.join(TOP, "res", "resource.h"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r"#define (IDS_\w+) (\d+)", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    texts = {}
    with open(os.path.join(TOP, "res", "strings.rc"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r'\s*(IDS_\w+)\s+"(.*)"\s*$', line)
            if m and m.group(1) in ids:
                texts[ids[m.group(1)]] = (m.group(2).replace(r"\r", "\r").replace(r"\n", "\n")
                                          .replace('""', '"'))
    return texts


STRINGS = english_strings()


def page_of(state):
    """The page a watcher report shows (the English texts tell the pages apart that show the
    same controls). The problem page with string 103 is both NoInternet and Error 103: they look
    the same to the user, and the install log tells them apart."""
    if state.get("window") is None:
        return "closed"
    visible = set(state["visible"])
    status = state["status"]
    if status == STRINGS[102]:   # only this page says it, even while the spinner still shows
        return "UpdatingInstaller"
    if 1010 in visible:   # the spinner itself hides for a moment on every frame
        return "Checking"
    if 5612 in visible or 5690 in visible:
        return "Ready"
    if status == STRINGS[103] and 5618 in visible:
        return "NoInternet"
    if 5618 in visible:
        if not status:
            return None   # the status line is being replaced
        for number in (117, 118, 121):
            if status == STRINGS[number]:
                return "Error %d" % number
        return "Error"
    if status == STRINGS[112]:
        return "Downloading"
    if status.startswith(STRINGS[113]):
        return "Installing"
    if status == STRINGS[105]:
        return "Complete"
    if not status and not (visible - {5610, 5611, 1001}):
        return "Blank"   # an empty status line shows nothing either
    if not status and 1000 in visible:
        return None   # the percent text is hidden while it changes: the page goes on
    return "unknown"


class Session:
    """The Wine session the tools/wine-session.sh functions left in the environment."""

    def __init__(self, wine=None, wine64=None):
        self.prefix = os.environ["WINEPREFIX"]
        self.wine64 = wine64 or os.environ.get("WINE64", "/usr/lib/wine/wine64")
        self.wine = wine or self.wine64
        self.user = pwd.getpwuid(os.getuid()).pw_name
        self.profile = os.path.join(self.prefix, "drive_c", "users", self.user)
        self.log = os.path.join(self.profile, "AppData", "Roaming", "Orvane", "Telvista", "Log",
                                "Install.log")
        self.default_folder = os.path.join(self.profile, "AppData", "Local", "Orvane", "Telvista")
        self.record = os.path.join(self.prefix, "drive_c", "telvista-standins.txt")

    def windows(self, path):
        """The Windows path of a file of the prefix's drive C:, else Z: (the Unix root)."""
        path = os.path.abspath(path)
        drive_c = os.path.join(self.prefix, "drive_c")
        if path == drive_c or path.startswith(drive_c + os.sep):
            return "C:\\" + os.path.relpath(path, drive_c).replace("/", "\\").rstrip(".")
        return windows_path(path)

    def unix(self, path):
        """The Unix path of a Windows path of the prefix (C:) or of the Unix root (Z:)."""
        drive, rest = path[:2].upper(), path[2:].lstrip("\\").replace("\\", "/")
        if drive == "C:":
            return os.path.join(self.prefix, "drive_c", rest)
        if drive == "Z:":
            return "/" + rest
        raise ValueError("not a path of this prefix: " + path)

    def env(self):
        env = dict(os.environ)
        env["TELVISTA_STANDIN_RECORD"] = "C:\\telvista-standins.txt"
        return env

    def reg_query(self, key):
        """Values of a registry key as {name: (type, data)}; None when the key is missing."""
        result = subprocess.run([self.wine64, "reg", "query", key], capture_output=True,
                                env=self.env())
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            m = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
            if m:
                values[m.group(1)] = (m.group(2), m.group(3).strip())
        return values

    def log_lines(self):
        try:
            with open(self.log, "rb") as f:
                text = f.read().decode("latin-1")
        except OSError:
            return []
        return [line[len("YYYY-MM-DD, HH:MM:SS - "):] for line in text.split("\r\n") if line]

    def records(self):
        """The stand-ins' record: (who, working folder, command line) per start."""
        try:
            with open(self.record, encoding="utf-8") as f:
                lines = f.read().splitlines()
        except OSError:
            return []
        return [tuple(line.split("|", 2)) for line in lines if line.count("|") >= 2]

    def shortcuts(self):
        places = [os.path.join(self.profile, "Desktop"),
                  os.path.join(self.prefix, "drive_c", "users", "Public", "Desktop"),
                  os.path.join(self.profile, "AppData", "Roaming", "Microsoft", "Windows",
                               "Start Menu", "Programs"),
                  os.path.join(self.prefix, "drive_c", "ProgramData", "Microsoft", "Windows",
                               "Start Menu", "Programs")]
        found = []
        for place in places:
            if os.path.isdir(place):
                found += [os.path.join(place, name) for name in sorted(os.listdir(place))
                          if name.lower().endswith(".lnk") and name.startswith("Pantavi")]
        return found

    def end_product(self):
        """Ends running stand-in products, as a user closes the product."""
        subprocess.run([self.wine64, "taskkill", "/f", "/im", "Telvista.exe"],
                       capture_output=True, env=self.env())


def folder_listing(folder):
    """Every file below folder with its size, relative paths sorted."""
    listing = []
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            listing.append((os.path.relpath(path, folder), os.path.getsize(path)))
    return sorted(listing)


def make_package(folder, standins, bulk_mib, seed=15):
    """The product's three programs (the stand-ins) and bulk that neither zip nor 7-Zip can
    shrink, so the download and the unpacking take long enough for the bar to move."""
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "data"))
    for name in PROGRAMS:
        shutil.copy(os.path.join(standins, name), os.path.join(folder, name))
    rng = random.Random(seed)
    with open(os.path.join(folder, "data", "bulk.bin"), "wb") as f:
        for _ in range(int(bulk_mib * 4)):
            f.write(rng.randbytes(256 * 1024))
    with open(os.path.join(folder, "readme.txt"), "w") as f:
        f.write("Stand-in package of the demo release.\n")


def stamp_version(source, target, version):
    """A copy of the installer that states another product and file version in its fixed version
    information (which the installer and the publishing tool read): the newer installer of a
    self-update without a second build."""
    with open(source, "rb") as f:
        data = bytearray(f.read())
    # The installer's own version resource, not the one of the archive tool it carries.
    blob = pe_file.PE(bytes(data)).resources()[(pe_file.RT_VERSION, 1)]
    at = data.find(blob) + bytes(blob).find(struct.pack("<I", pe_file.VERSION_SIGNATURE))
    if at < 0 or data.count(blob) != 1:
        raise ValueError("no version information of its own in " + source)
    parts = [int(p) for p in version.split(".")]
    ms, ls = (parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]
    struct.pack_into("<IIII", data, at + 8, ms, ls, ms, ls)
    with open(target, "wb") as f:
        f.write(data)


def publish(tree, port, package, version, installer, dotnet=None, extra=()):
    command = [sys.executable, os.path.join(TOOLS, "publish_release.py"), "--out", tree,
               "--replace", "--base-url", "https://localhost:%d/" % port, "--package", package,
               "--package-version", version, "--installer", installer,
               "--package-notes", "Stand-in release"]
    if dotnet:
        command += ["--dotnet", dotnet]
    subprocess.run(command + list(extra), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)
    with open(os.path.join(tree, "release.json"), encoding="utf-8") as f:
        return json.load(f)


def free_port():
    return int(subprocess.run(["bash", SERVER, "port"], check=True, capture_output=True,
                              text=True).stdout)


class ReleaseServer:
    def __init__(self, tree):
        self.tree = tree
        self.state = os.path.join(tree, "server")
        self.api_base = None

    def start(self):
        result = subprocess.run(["bash", SERVER, "start", self.tree], capture_output=True,
                                text=True)
        if result.returncode != 0:
            raise RuntimeError("release server: " + result.stderr.strip())
        self.api_base = result.stdout.strip()
        return self.api_base

    def stop(self):
        subprocess.run(["bash", SERVER, "stop", self.tree], capture_output=True)

    def master(self):
        with open(os.path.join(self.state, "nginx.pid")) as f:
            return int(f.read())

    def pause(self):
        """The server goes away for a while as a lost connection takes it: nginx ends, its open
        connections are reset, new ones refused. resume() starts it again on the same port."""
        subprocess.run(["/usr/sbin/nginx", "-p", self.state, "-c",
                        os.path.join(self.state, "nginx.conf"), "-s", "stop"],
                       capture_output=True)
        for _ in range(100):
            if not os.path.exists(os.path.join(self.state, "nginx.pid")):
                break
            time.sleep(0.05)

    def resume(self):
        subprocess.run(["/usr/sbin/nginx", "-p", self.state, "-c",
                        os.path.join(self.state, "nginx.conf"),
                        "-e", os.path.join(self.state, "error.log")], check=True)

    def throttle(self, rate):
        """Serves every reply at most at `rate` (nginx's limit_rate, e.g. "3m"), so that a
        download lasts long enough for a user to act during it."""
        conf = os.path.join(self.state, "nginx.conf")
        with open(conf) as f:
            text = f.read()
        text = text.replace("        root ", "        limit_rate %s;\n        root " % rate, 1)
        with open(conf, "w") as f:
            f.write(text)
        subprocess.run(["/usr/sbin/nginx", "-p", self.state, "-c", conf, "-s", "reload"],
                       check=True, capture_output=True)
        time.sleep(0.5)

    def access_log(self):
        try:
            with open(os.path.join(self.state, "access.log")) as f:
                return f.read().splitlines()
        except OSError:
            return []


class InstallerRun:
    """One start of the installer, watched from its start to its end."""

    def __init__(self, session, installer, watcher, shots=None, left=160, top=100,
                 arguments=None, limit=600):
        self.session = session
        self.left, self.top = left, top
        self.shots = shots
        self.seen = []         # (seconds since start, page, state)
        self.states = []       # every report, in order
        self.unknown = []      # reports that show no known page
        self.events = queue.Queue()
        self.reader_error = None   # why the reading of the watcher's reports stopped early
        self.started = time.monotonic()
        if shots:
            os.makedirs(shots, exist_ok=True)
        env = session.env()
        self.watcher = subprocess.Popen([session.wine, watcher, str(limit)],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        env=env)
        # The first report comes once the watcher runs, so no page is missed.
        self._first = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self._first.wait(60)
        self.started = time.monotonic()
        if arguments is None:
            arguments = [str(top), str(left)]
        self.process = subprocess.Popen([session.wine, installer] + arguments,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        env=env, cwd=os.path.dirname(installer) or ".")

    def _read(self):
        try:
            self._follow()
        except Exception as error:  # reported by the scenario that waits for a page
            self.reader_error = "%s: %s" % (type(error).__name__, error)
        finally:
            self._first.set()

    def _follow(self):
        for raw in self.watcher.stdout:
            try:
                state = json.loads(raw)
            except ValueError:
                continue
            self._first.set()
            at = time.monotonic() - self.started
            self.states.append((at, state))
            page = page_of(state)
            if page is None:
                continue
            if page == "Installing" and not any(p == "Ready" for _, p, _, _ in self.seen):
                # Installing only ever follows Install on the Ready page; before that, the bar
                # with "Installing n%" is the self-update's, whose "Updating installer..." may
                # have shown for less than one look of the watcher.
                page = "UpdatingInstaller"
            if page == "unknown":
                self.unknown.append(state)
            if not self.seen or self.seen[-1][1] != page:
                if page == "closed" and not self.seen:
                    continue
                # The page counts as seen at once; its screenshot, taken once its background
                # and pictures have painted, is only a picture of it and may fail.
                self.seen.append((at, page, state, None))
                if self.shots and page not in ("closed", "Blank"):
                    self._shoot(len(self.seen) - 1)
            self.events.put((at, page, state))

    def _shoot(self, index):
        at, page, state, _ = self.seen[index]
        shot = os.path.join(self.shots, "%02d-%s.png" % (index + 1, page.replace(" ", "")))
        time.sleep(0.3)
        if screenshot(shot):
            self.seen[index] = (at, page, state, shot)

    def pages(self):
        return [page for _, page, _, _ in self.seen]

    def wait_page(self, page, timeout=120):
        """Waits until the watcher reports `page`; returns its report."""
        deadline = time.monotonic() + timeout
        for _, seen, state, _ in list(self.seen):
            if seen == page:
                return state
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("page %s not seen within %d s; pages: %s"
                                   % (page, timeout, self.pages()))
            try:
                _, seen, state = self.events.get(timeout=min(left, 1))
            except queue.Empty:
                continue
            if seen == page:
                return state

    def time_of(self, page):
        for at, seen, _, _ in self.seen:
            if seen == page:
                return at
        return None

    def click_at(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "sleep", "0.15",
                        "click", "1"], check=True)
        time.sleep(0.2)

    def click(self, name, state=None):
        """A click at the middle of a control: at its place on the window (PLACES) for the
        controls of fixed place, at the place the window reports for the check box, whose row is
        centred by the width of its translated texts."""
        if name in PLACES:
            x, y, w, h = PLACES[name]
            self.click_at(self.left + x + w // 2, self.top + y + h // 2)
        else:
            state = state or self.current()
            l, t, r, b = state["rects"][str(CONTROL_IDS[name])]
            self.click_at((l + r) // 2, (t + b) // 2)

    def click_dialog(self, control_id, timeout=30):
        """A click on a button of the message dialog open over the window."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            state = self.current()
            dialog = state.get("dialog") if state else None
            if dialog and str(control_id) in dialog["rects"]:
                l, t, r, b = dialog["rects"][str(control_id)]
                time.sleep(0.3)
                self.click_at((l + r) // 2, (t + b) // 2)
                return dialog
            time.sleep(0.1)
        raise TimeoutError("no dialog with button %d" % control_id)

    def current(self):
        return self.states[-1][1] if self.states else None

    def wait_exit(self, timeout=120):
        """Waits for the installer's process to end, then for the watcher to report its window
        gone, so that every page it showed has been seen."""
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("installer still running after %d s; pages: %s"
                               % (timeout, self.pages()))
        wait_for(lambda: self.seen and self.seen[-1][1] == "closed", 10, 0.05)
        return code

    def finish(self):
        if self.process.poll() is None:
            self.process.kill()
        time.sleep(0.3)
        if self.watcher.poll() is None:
            self.watcher.kill()
        self.watcher.wait()


def screenshot(path):
    """The virtual display as it is now, saved to `path`; False where it could not be taken in
    time (a picture is never worth stalling the run for)."""
    try:
        return subprocess.run(["import", "-window", "root", path], stderr=subprocess.DEVNULL,
                              timeout=20).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def wait_for(predicate, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def product_start(session, since=0, timeout=60):
    """Waits until the stand-in product records a start after the first `since` records;
    returns (monotonic time it was seen, record) or (None, None)."""
    record = wait_for(lambda: next((r for r in session.records()[since:]
                                    if r[0] == "Telvista.exe"), None), timeout, 0.05)
    return (time.monotonic(), record) if record else (None, None)
