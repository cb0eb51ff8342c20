#!/usr/bin/env python3
"""Publishes a small release with tools/publish_release.py, serves it with tools/release-server.sh
(nginx on 127.0.0.1) and runs the installer's network code against it under Wine
(release_server_tests.exe); checks that nginx listens on its one loopback port only while it runs
and that stopping it ends every nginx process it started and undoes the prefix changes.

CTest runs it natively inside the Wine session of the test command:
    run_release_server.py --installer TelvistaSetup.exe --program release_server_tests.exe \\
        --stand-in sleeper.exe --work DIR --wine /usr/lib/wine/wine64
"""
import argparse
import json
import os
import pwd
import random
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.normpath(os.path.join(HERE, "..", "..", "tools"))
SERVER = os.path.join(TOOLS, "release-server.sh")
NOTES = "Schnellere Suche \u2013 \u4e2d\u6587"
PROGRAM_TIMEOUT = 240


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fail(message):
    print("run_release_server: " + message, file=sys.stderr)
    return 1


def make_package(folder, stand_in):
    """The three programs (a small Windows program under each name) and incompressible bulk, so
    the download spans many chunks after the partial file."""
    os.makedirs(os.path.join(folder, "data"))
    with open(stand_in, "rb") as f:
        program = f.read()
    for name in ("Telvista.exe", "Tandemix.Updater.exe", "uninstaller.exe"):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(program)
    with open(os.path.join(folder, "data", "bulk.bin"), "wb") as f:
        f.write(random.Random(15).randbytes(400 * 1024))


def publish(args, tree, port):
    command = [sys.executable, os.path.join(TOOLS, "publish_release.py"), "--out", tree,
               "--replace", "--base-url", "https://localhost:%d/" % port,
               "--package", os.path.join(args.work, "app"), "--package-version", "2.4.0.0",
               "--previous-package-version", "2.3.0.0", "--package-notes", NOTES,
               "--installer", args.installer, "--dotnet", args.stand_in]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(tree, "release.json"), encoding="utf-8") as f:
        return json.load(f)


def server(*arguments, env):
    return subprocess.run(["bash", SERVER] + list(arguments), env=env, capture_output=True,
                          text=True)


def nginx_pids(master):
    pids = {master}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == master:
                pids.add(int(entry))
    return pids


def listening(pids):
    """The TCP sockets in LISTEN and every UDP socket that the processes hold, as (kind, address,
    port)."""
    inodes = set()
    for pid in pids:
        folder = "/proc/%d/fd" % pid
        for fd in os.listdir(folder):
            try:
                target = os.readlink(os.path.join(folder, fd))
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    found = []
    for kind in ("tcp", "tcp6", "udp", "udp6"):
        with open("/proc/net/" + kind) as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                address, port = fields[1].split(":")
                if fields[9] in inodes and (kind.startswith("udp") or fields[3] == "0A"):
                    if len(address) == 8:
                        address = socket.inet_ntoa(bytes.fromhex(address)[::-1])
                    found.append((kind, address, int(port, 16)))
    return sorted(found)


def refused(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=2).close()
        return False
    except OSError:
        return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--stand-in", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    args = parser.parse_args()
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or not os.path.isdir(os.path.join(prefix, "drive_c")):
        return fail("needs the Wine session of tools/test.sh (WINEPREFIX)")

    subprocess.run(["rm", "-rf", args.work], check=True)
    make_package(os.path.join(args.work, "app"), args.stand_in)
    tree = os.path.join(args.work, "release")
    env = dict(os.environ, WINE64=args.wine)

    # A free port can be taken by someone else before nginx binds it: publish again for another.
    for attempt in range(3):
        port = int(server("port", env=env).stdout)
        release = publish(args, tree, port)
        started = server("start", tree, env=env)
        if started.returncode == 0:
            break
        print(started.stderr, file=sys.stderr)
    else:
        return fail("the release server did not start")

    state = os.path.join(tree, "server")
    # Wine names the profile folder after the Unix user, as the server script does.
    override = os.path.join(prefix, "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name,
                            "Downloads", "TestServer.txt")
    problems = []
    code = 1
    pids = set()
    api_base = started.stdout.strip()
    try:
        if api_base != release["api_base"]:
            problems.append("start printed %r, not the API base %r" % (api_base,
                                                                        release["api_base"]))
        with open(os.path.join(state, "nginx.pid")) as f:
            master = int(f.read())
        pids = nginx_pids(master)
        sockets = listening(pids)
        if sockets != [("tcp", "127.0.0.1", port)]:
            problems.append("nginx listens on %s, not on 127.0.0.1:%d alone" % (sockets, port))
        with open(override, encoding="utf-8") as f:
            if json.load(f) != {"ApplicationUpdate": api_base}:
                problems.append("TestServer.txt does not point at %s" % api_base)

        expected = os.path.join(args.work, "expected.tsv")
        with open(expected, "w", encoding="utf-8") as f:
            for name, record in release["records"].items():
                f.write("\t".join([name, record["version"], str(record["size"]), record["hash"],
                                   record["download_url"], record["release_notes"]]) + "\n")
        package_url = release["records"]["windows_update_package"]["download_url"]
        package = os.path.join(tree, "www", package_url.split("/", 3)[3])
        program_env = dict(env, TELVISTA_RELEASE_EXPECTED=windows_path(expected),
                           TELVISTA_RELEASE_API_BASE=api_base,
                           TELVISTA_RELEASE_PACKAGE=windows_path(package),
                           TELVISTA_RELEASE_LOG=windows_path(os.path.join(state, "access.log")))
        try:
            code = subprocess.run([args.wine, args.program, "--gtest_color=no"], env=program_env,
                                  timeout=PROGRAM_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            problems.append("%s did not end within %d s" % (args.program, PROGRAM_TIMEOUT))
        with open(os.path.join(state, "access.log"), encoding="utf-8") as f:
            print("nginx access log:\n" + f.read())
    finally:
        stopped = server("stop", tree, env=env)
    if stopped.returncode != 0:
        problems.append("stop failed: " + stopped.stderr)
    for _ in range(50):
        alive = [pid for pid in pids if os.path.exists("/proc/%d" % pid)]
        if not alive:
            break
        time.sleep(0.1)
    if alive:
        problems.append("nginx processes %s still run after stop" % alive)
    if not refused(port):
        problems.append("127.0.0.1:%d still accepts connections after stop" % port)
    # Only ours goes: a file that was there before start is back (under Wine the Downloads folder
    # may be the Unix home, which other programs use too).
    if os.path.exists(override):
        with open(override, encoding="utf-8", errors="replace") as f:
            if api_base in f.read():
                problems.append("stop left TestServer.txt pointing at the stopped server")

    for problem in problems:
        print("run_release_server: " + problem, file=sys.stderr)
    if problems:
        return 1
    print("release server: started on 127.0.0.1:%d only, served, stopped" % port)
    return code


if __name__ == "__main__":
    sys.exit(main())
