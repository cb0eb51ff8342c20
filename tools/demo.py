#!/usr/bin/env python3
"""The main command's run (tools/demo.sh calls it inside its Wine session): publishes a demo
release made of the stand-ins, serves it with nginx, starts the installer as a user does (a copy
in the Downloads folder, its window at a known place), clicks through it, takes a screenshot of
every page and prints what the installation left.

    demo.py --installer EXE --wine LOADER --standins DIR --watcher page_watch.exe --out DIR
            [--road install|self-update|no-connection|connection-lost|uninstall]

The road "install" installs the product, or, when the prefix has it installed and current,
starts it (a second run of the main command). no-connection and connection-lost run inside a
private network namespace (tests/fixtures/netns_run.sh), where the default route, which Wine's
connection test looks at, is deleted and added again.
"""
import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drive_installer as drive  # noqa: E402

PACKAGE_VERSION = "2.4.0.0"
NEWER_INSTALLER = "1.0.1.0"


def say(text=""):
    print(text, flush=True)


def network(on):
    command = ["ip", "route", "add" if on else "del", "default", "via", "10.200.0.2",
               "dev", "tvnet0", "onlink"]
    subprocess.run(command, check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--watcher", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--bulk-mib", type=float, default=48)
    parser.add_argument("--road", default="install",
                        choices=["install", "self-update", "no-connection", "connection-lost",
                                 "uninstall"])
    args = parser.parse_args()

    session = drive.Session(wine=args.wine)
    out = os.path.abspath(args.out)
    shots = os.path.join(out, "shots-" + args.road)
    if os.path.isdir(shots):
        shutil.rmtree(shots)

    if args.road == "uninstall":
        return uninstall(session)

    # The release: the stand-ins with bulk, and the stand-in .NET installer (the prefix has no
    # .NET Framework 4.5.2, so the installer downloads and runs it).
    app = os.path.join(out, "app")
    if not os.path.isfile(os.path.join(app, "data", "bulk.bin")) or \
            os.path.getsize(os.path.join(app, "data", "bulk.bin")) != int(args.bulk_mib * 4) * 256 * 1024:
        drive.make_package(app, args.standins, args.bulk_mib)
    published = args.installer
    if args.road == "self-update":
        published = os.path.join(out, "TelvistaSetup-%s.exe" % NEWER_INSTALLER)
        drive.stamp_version(args.installer, published, NEWER_INSTALLER)
    tree = os.path.join(out, "release")
    port = drive.free_port()
    drive.publish(tree, port, app, PACKAGE_VERSION, published,
                  dotnet=os.path.join(args.standins, "dotnet-installer.exe"))
    server = drive.ReleaseServer(tree)
    api = server.start()
    say("demo: nginx serves the release at %s: package %s (%g MiB of bulk), installer %s"
        % (api, PACKAGE_VERSION, args.bulk_mib,
           NEWER_INSTALLER + " (newer than the one started)" if published != args.installer
           else "as the one started"))

    # As a user downloads it: the installer in the Downloads folder (a self-update replaces it
    # there).
    downloads = os.path.join(session.profile, "Downloads")
    os.makedirs(downloads, exist_ok=True)
    setup = os.path.join(downloads, "TelvistaSetup.exe")
    shutil.copy(args.installer, setup)
    installed_before = session.reg_query(drive.UNINSTALL_KEY)
    records_before = len(session.records())
    log_before = len(session.log_lines())

    if args.road == "no-connection":
        network(False)
    run = drive.InstallerRun(session, setup, args.watcher, shots=shots)
    try:
        if args.road == "no-connection":
            run.wait_page("NoInternet", 60)
            say("demo: no connection: the installer shows NoInternet; the connection comes back in 10 s")
            time.sleep(10)
            network(True)
        cut = None
        if args.road == "connection-lost":
            cut = threading.Thread(target=lose_connection, args=(session, server, run, log_before),
                                   daemon=True)
            cut.start()
        first = wait_any(run, ["Ready", "Complete", "Error 117", "Error 118", "Error 121"], 240)
        if first == "Ready":
            state = run.wait_page("Ready")
            time.sleep(0.5)
            run.click("accept", state)   # tick the box
            run.click("install")
            run.wait_page("Complete", 600)
        run.wait_exit(120)
        product_at, record = drive.product_start(session, records_before, 60)
    finally:
        run.finish()
        server.stop()

    say()
    say("Pages seen (seconds from the start, screenshot):")
    for at, page, _, shot in run.seen:
        if page != "closed":
            say("  %6.2f  %-18s %s" % (at, page, shot or ""))
    if args.road == "connection-lost":
        say()
        say("nginx's access log, the resumed request of the package:")
        for line in server.access_log():
            if " 206 " in line:
                say("  " + line)
    ready = run.time_of("Ready")
    say()
    if ready is not None:
        say("Start to Ready: %.2f s" % ready)
    if record:
        say("Start to the product's start: %.2f s (%s started in %s with: %s)"
            % (product_at - run.started, record[0], record[1], record[2]))
    else:
        say("The product was not started.")
    if installed_before and args.road == "install":
        say("(The product was installed and current already: the installer started it.)")
    report(session)
    return 0


def wait_any(run, pages, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for page in pages:
            if page in run.pages():
                return page
        time.sleep(0.1)
    raise TimeoutError("none of %s within %d s; pages: %s" % (pages, timeout, run.pages()))


def lose_connection(session, server, run, log_before):
    """Cuts the connection for 30 s once a quarter of the package is on the disk."""
    def far_enough():
        lines = session.log_lines()[log_before:]
        package = [i for i, line in enumerate(lines) if line.startswith("Download: ")
                   and "windows_update_package" in line]
        if not package:
            return False
        kib = [int(line.split(":")[1]) for line in lines[package[-1]:]
               if line.startswith("download : ")]
        return kib and kib[-1] >= 8 * 1024
    if not drive.wait_for(far_enough, 600, 0.05):
        return
    network(False)
    server.pause()
    say("demo: connection lost in the middle of the package; back in 30 s")
    time.sleep(30)
    server.resume()
    network(True)
    say("demo: connection back")


def report(session):
    folder = session.default_folder
    say()
    say("Install folder %s:" % session.windows(folder))
    if os.path.isdir(folder):
        for name, size in drive.folder_listing(folder):
            say("  %12d  %s" % (size, name))
    else:
        say("  (none)")
    say()
    say("Uninstall entry %s:" % drive.UNINSTALL_KEY)
    values = session.reg_query(drive.UNINSTALL_KEY)
    for name, (kind, data) in sorted((values or {}).items()):
        say("  %-16s %-10s %s" % (name, kind, data))
    if not values:
        say("  (none)")
    say()
    say("Shortcuts:")
    for path in session.shortcuts():
        say("  " + session.windows(path))
    if not session.shortcuts():
        say("  (none)")
    say()
    run_values = {k: v for k, v in (session.reg_query(drive.RUN_KEY) or {}).items()
                  if "Telvista" in v[1] or "Pantavi" in k}
    say("Run value (%s):" % drive.RUN_KEY)
    for name, (kind, data) in run_values.items():
        say("  %-16s %-10s %s" % (name, kind, data))
    if not run_values:
        say("  (none)")
    say()
    say("Install log: " + session.log)


def uninstall(session):
    values = session.reg_query(drive.UNINSTALL_KEY)
    if not values or "UninstallString" not in values:
        say("demo: the product is not installed (no UninstallString)")
        return 1
    command = values["UninstallString"][1]
    say("demo: running the registered UninstallString %s" % command)
    program = command.strip('"')
    subprocess.run([session.wine, program], env=session.env(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    gone = drive.wait_for(lambda: not os.path.exists(session.default_folder) and
                          session.reg_query(drive.UNINSTALL_KEY) is None, 60, 0.5)
    say("demo: %s" % ("removed" if gone else "something is left"))
    report(session)
    return 0 if gone else 1


if __name__ == "__main__":
    sys.exit(main())
