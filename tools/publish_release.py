#!/usr/bin/env python3
"""Publishes a release of Pantavi as a static tree that any web server can serve.

    python3 tools/publish_release.py --out build/release --base-url https://downloads.example/ \\
        --package app-folder-or.zip --package-version 2.4.0.0 \\
        --installer build/TelvistaSetup.exe \\
        [--dotnet NDP452-KB2901907-x86-x64-AllOS-ENU.exe] [--vc-redist VC_redist.x64.exe] \\
        [--previous-package-version 2.3.0.0] [--previous-installer-version 1.0.0.0]

The tree's folder www/ is served at --base-url; the installer's API base is that address followed
by "api/". Below it lie the three release-config documents the installer reads, and the files
they point to under files/. release.json beside www/ records what was published (the local
release server reads it; it is not served).

Everything is checked before anything is written; a release the installer could not use is
refused with the reasons, and nothing is written then.
"""
import argparse
import hashlib
import json
import os
import shutil
import stat
import sys
import tempfile
import urllib.parse
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

CONFIG_PATHS = {
    "windows_installer": "release/windows_installer/config",
    "windows_update_package": "release/windows_update_package/config",
    "net_framework": "release/net_framework/config",
}
API_FOLDER = "api/"
FILES_FOLDER = "files/"

# The installer's fixed record of the VC++ 2015-2022 x64 redistributable: the file is fetched from
# the API base + VC_PATH and must be exactly this file (pipeline/release_check.h).
VC_PATH = "release/vc/VC_redist.x64%202015-2022.exe"
VC_SHA1 = "c483f66c48ba83e99c764d957729789317b09c6b"
VC_SIZE = 25355496
VC_VERSION = "14.36.32532.0"

# The programs the installer starts or registers from the install folder, which is the package's
# root.
REQUIRED_PROGRAMS = ("Telvista.exe", "Tandemix.Updater.exe", "uninstaller.exe")
DOTNET_VERSION = "4.5.2"

# The installer reads a reply of at most 1 MiB.
MAX_DOCUMENT = 1024 * 1024
# Sizes travel as 32-bit numbers and a resumed download asks for "bytes=N-" with N a signed 32-bit
# number: a file of 2 GiB or more could not be resumed.
MAX_FILE = 2 ** 31 - 1
# The package's version becomes "<version>.zip" and "extract-<version>.zip" in the temporary
# folder and is kept in a 260-character registry buffer; a short text keeps every path in bounds.
MAX_VERSION = 64
WINDOWS_FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)}
# In a path inside the package, "/" and "\\" separate names and ":" is judged on its own.
NAME_FORBIDDEN = WINDOWS_FORBIDDEN - set('/\\:')
RESERVED_NAMES = {"CON", "PRN", "AUX", "NUL"} | {"COM%d" % i for i in range(1, 10)} | {
    "LPT%d" % i for i in range(1, 10)}
# Methods the archive tool of the installer (7-Zip 9.20) unpacks.
ZIP_METHODS = {0: "stored", 8: "deflate", 9: "deflate64", 12: "bzip2", 14: "lzma"}


class Refused(Exception):
    """The inputs would make a broken release; args[0] is the list of reasons."""


def utf16_units(text):
    return [int.from_bytes(text.encode("utf-16-be")[i:i + 2], "big")
            for i in range(0, len(text.encode("utf-16-be")), 2)]


def is_newer(version, previous):
    """The installer's comparison: UTF-16 text, code unit by code unit, a prefix is smaller."""
    return utf16_units(version) > utf16_units(previous)


def why_not_newer(version, previous):
    a, b = utf16_units(version), utf16_units(previous)
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return ("the installer compares versions as text, character by character: at "
                    "character %d %r sorts before %r" % (i + 1, chr(x), chr(y))
                    if x < y else "")
    if a == b:
        return "the two texts are equal"
    return "%r is the beginning of %r, and the shorter text is the older" % (version, previous)


def version_problems(version):
    """Why a package version cannot be the name of the installer's downloaded file and unpack
    folder ("<version>.zip", "extract-<version>.zip"); empty when it can."""
    problems = []
    if not version:
        return ["is empty"]
    bad = sorted(set(version) & WINDOWS_FORBIDDEN)
    if bad:
        problems.append("holds characters Windows forbids in file names: " +
                        " ".join(repr(c) for c in bad))
    if ".." in version:
        problems.append('holds ".."')
    if not version.strip(". "):
        problems.append("is nothing but dots and spaces")
    if version.split(".")[0].rstrip(" ").upper() in RESERVED_NAMES:
        problems.append("names a Windows device (%s.zip would open the device, not a file)" %
                        version)
    if len(version) > MAX_VERSION:
        problems.append("is longer than %d characters" % MAX_VERSION)
    return problems


def check_base_url(url):
    parts = urllib.parse.urlsplit(url)
    if parts.scheme.lower() not in ("http", "https") or not parts.hostname:
        return ["--base-url %r is not an http or https address" % url]
    if parts.query or parts.fragment:
        return ["--base-url %r carries a query or fragment" % url]
    if not parts.path.endswith("/"):
        return ["--base-url %r must end with \"/\": the installer appends its request paths "
                "directly" % url]
    return []


def sha1_of(path):
    digest = hashlib.sha1()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()


I386 = 0x14C


def installer_machine(path):
    with open(path, "rb") as f:
        return pe_file.PE(f.read(4096)).machine


def is_executable(path):
    try:
        with open(path, "rb") as f:
            pe_file.PE(f.read(4096))
        return True
    except (OSError, ValueError):
        return False


def entry_problem(name):
    """Why the installer could not unpack an archive entry into the install folder, or None."""
    parts = name.replace("\\", "/").rstrip("/").split("/")
    if name.startswith(("/", "\\")) or ".." in parts or any(":" in p for p in parts):
        return "would be unpacked outside the install folder"
    if any(set(p) & NAME_FORBIDDEN for p in parts):
        return "has a name Windows cannot create"
    return None


def folder_entries(folder):
    """(archive name, path or None for a folder) of every entry below folder, in name order."""
    entries, problems = [], []
    for here, dirs, files in os.walk(folder):
        dirs.sort()
        for name in list(dirs):
            path = os.path.join(here, name)
            if os.path.islink(path):
                problems.append("package folder: %s is a link to a folder" % path)
                dirs.remove(name)
                continue
            entries.append((os.path.relpath(path, folder).replace(os.sep, "/") + "/", None))
        for name in sorted(files):
            path = os.path.join(here, name)
            if not os.path.isfile(path):
                problems.append("package folder: %s is not a regular file" % path)
                continue
            entries.append((os.path.relpath(path, folder).replace(os.sep, "/"), path))
    for name, _ in entries:
        problem = entry_problem(name)
        if problem:
            problems.append("package folder: %r %s" % (name, problem))
    return entries, problems


def archive_problems(zip_path):
    """Why the installer could not unpack the zip into the install folder as it stands."""
    problems, names = [], []
    try:
        with zipfile.ZipFile(zip_path) as archive:
            for info in archive.infolist():
                names.append(info.filename)
                problem = entry_problem(info.filename)
                if problem:
                    problems.append("package: entry %r %s" % (info.filename, problem))
                if info.flag_bits & 1:
                    problems.append("package: entry %r is encrypted (the unpacking would wait "
                                    "for a password nobody can type)" % info.filename)
                if info.compress_type not in ZIP_METHODS:
                    problems.append("package: entry %r uses compression method %d, which the "
                                    "installer's 7-Zip 9.20 cannot unpack" %
                                    (info.filename, info.compress_type))
            if not problems:
                broken = archive.testzip()
                if broken:
                    problems.append("package: entry %r is damaged (CRC mismatch)" % broken)
    except (zipfile.BadZipFile, OSError, EOFError) as e:
        return ["package: %s is not a readable zip archive (%s)" % (zip_path, e)]
    return problems + missing_programs(names)


def missing_programs(names):
    # The install folder is the package's root; Windows finds files whatever their letter case.
    root = {n.lower() for n in names if "/" not in n.replace("\\", "/").rstrip("/") and
            not n.endswith("/")}
    missing = [p for p in REQUIRED_PROGRAMS if p.lower() not in root]
    return ["package: %s missing at the top of the package (the installer starts and registers "
            "them from the install folder)" % ", ".join(missing)] if missing else []


def check_file(path, what, problems):
    if path is None:
        return False
    if not os.path.exists(path):
        problems.append("%s: %s does not exist" % (what, path))
        return False
    if not os.path.isfile(path):
        problems.append("%s: %s is not a file" % (what, path))
        return False
    size = os.path.getsize(path)
    if size == 0:
        problems.append("%s: %s is empty" % (what, path))
    if size > MAX_FILE:
        problems.append("%s: %s has %d bytes; the installer downloads files below 2 GiB" %
                        (what, path, size))
    return True


def plan(args):
    """Checks every input; returns what to publish or raises Refused with every reason."""
    problems = check_base_url(args.base_url)

    package_version = args.package_version
    problems += ["package version %r %s" % (package_version, p)
                 for p in version_problems(package_version)]
    if args.previous_package_version is not None and not is_newer(
            package_version, args.previous_package_version):
        problems.append("package version %r is not newer than the previous %r: installed "
                        "products would not update (%s)" % (
                            package_version, args.previous_package_version,
                            why_not_newer(package_version, args.previous_package_version)))

    package_entries = None
    if not os.path.exists(args.package):
        problems.append("package: %s does not exist" % args.package)
    elif os.path.isdir(args.package):
        package_entries, found = folder_entries(args.package)
        problems += found
        problems += missing_programs([name for name, path in package_entries if path])
    elif check_file(args.package, "package", problems):
        problems += archive_problems(args.package)

    installer_version = None
    if check_file(args.installer, "installer", problems):
        try:
            installer_version = pe_file.read_product_version(args.installer)
        except (OSError, ValueError) as e:
            problems.append("installer: %s has no readable product version (%s); a running "
                            "installer without one would update itself for ever" %
                            (args.installer, e))
    if installer_version and args.previous_installer_version is not None and not is_newer(
            installer_version, args.previous_installer_version):
        problems.append("installer version %r (from its version resource) is not newer than the "
                        "previous %r: installers of that version would not update themselves "
                        "(%s)" % (installer_version, args.previous_installer_version,
                                  why_not_newer(installer_version,
                                                args.previous_installer_version)))

    if check_file(args.dotnet, ".NET installer", problems) and not is_executable(args.dotnet):
        problems.append(".NET installer: %s is not a Windows program" % args.dotnet)
    if check_file(args.vc_redist, "VC++ runtime", problems):
        size, digest = os.path.getsize(args.vc_redist), sha1_of(args.vc_redist)
        if size != VC_SIZE or digest != VC_SHA1:
            problems.append("VC++ runtime: %s has %d bytes and SHA-1 %s; the installer accepts only "
                            "VC_redist.x64.exe %s with %d bytes and SHA-1 %s" % (
                                args.vc_redist, size, digest, VC_VERSION, VC_SIZE, VC_SHA1))

    out = args.out
    if os.path.exists(out) and (not os.path.isdir(out) or os.listdir(out)):
        if not os.path.isfile(os.path.join(out, "release.json")):
            problems.append("--out %s exists and is not an earlier release tree" % out)
        elif not args.replace:
            problems.append("--out %s holds an earlier release; --replace replaces it" % out)

    if problems:
        raise Refused(problems)
    return {"installer_version": installer_version, "package_entries": package_entries}


def url_of(base_url, relative):
    return base_url + "/".join(urllib.parse.quote(part) for part in relative.split("/"))


def write_package_zip(entries, target):
    # Files dated before 1980, which a zip cannot date, are stored as of 1980.
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, strict_timestamps=False) as archive:
        for name, path in entries:
            if path is None:
                archive.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), b"")
            else:
                archive.write(path, name)


def record(base_url, www, relative, version, notes):
    path = os.path.join(www, relative)
    return {
        "download_url": url_of(base_url, relative),
        "version": version,
        "hash": sha1_of(path),
        "size": os.path.getsize(path),
        "release_notes": notes,
    }


def config_document(result):
    text = json.dumps({"result": result}, ensure_ascii=False, indent=2) + "\n"
    return text.encode("utf-8")


def publish(args):
    """Writes the tree; returns the contents of release.json."""
    found = plan(args)
    base_url = args.base_url
    base_path = urllib.parse.unquote(urllib.parse.urlsplit(base_url).path).lstrip("/")
    parent = os.path.dirname(os.path.abspath(args.out))
    os.makedirs(parent, exist_ok=True)
    staging = tempfile.mkdtemp(prefix=".publish-", dir=parent)
    try:
        www = os.path.join(staging, "www", base_path)
        os.makedirs(www, exist_ok=True)

        def place(relative, source=None):
            target = os.path.join(www, relative)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if source:
                shutil.copyfile(source, target)
            return target

        installer_version = found["installer_version"]
        installer_rel = "%swindows_installer/%s/%s" % (
            FILES_FOLDER, installer_version, os.path.basename(args.installer))
        place(installer_rel, args.installer)

        package_rel = "%swindows_update_package/%s/Telvista-%s.zip" % (
            FILES_FOLDER, args.package_version, args.package_version)
        if found["package_entries"] is not None:
            write_package_zip(found["package_entries"], place(package_rel))
        else:
            place(package_rel, args.package)

        records = {
            "windows_installer": record(base_url, www, installer_rel, installer_version,
                                        args.installer_notes),
            "windows_update_package": record(base_url, www, package_rel, args.package_version,
                                             args.package_notes),
        }
        if args.dotnet:
            dotnet_rel = "%snet_framework/%s/%s" % (FILES_FOLDER, sha1_of(args.dotnet),
                                                   os.path.basename(args.dotnet))
            place(dotnet_rel, args.dotnet)
            records["net_framework"] = record(base_url, www, dotnet_rel, args.dotnet_version, "")
        else:
            # A document without a record: machines without .NET 4.5.2 get nothing to install.
            records["net_framework"] = {}

        problems = []
        for name, result in records.items():
            document = config_document(result)
            if len(document) > MAX_DOCUMENT:
                problems.append("%s: the release-config document has %d bytes; the installer "
                                "reads at most %d" % (name, len(document), MAX_DOCUMENT))
            with open(place(API_FOLDER + CONFIG_PATHS[name]), "wb") as f:
                f.write(document)
        if problems:
            raise Refused(problems)

        vc_rel = None
        if args.vc_redist:
            vc_rel = API_FOLDER + urllib.parse.unquote(VC_PATH)
            place(vc_rel, args.vc_redist)

        manifest = {
            "base_url": base_url,
            "api_base": base_url + API_FOLDER,
            "records": records,
            "vc_redist": url_of(base_url, vc_rel) if vc_rel else None,
        }
        with open(os.path.join(staging, "release.json"), "w", encoding="utf-8") as f:
            json.dump(manifest, f, ensure_ascii=False, indent=2)
            f.write("\n")
        # Readable by the web server's workers whatever the maker's umask.
        for here, dirs, files in os.walk(staging):
            for name in dirs + files:
                path = os.path.join(here, name)
                os.chmod(path, os.stat(path).st_mode | stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH |
                         (stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH if name in dirs else 0))
        os.chmod(staging, 0o755)

        if os.path.isdir(args.out):
            for name in ("www", "release.json"):
                path = os.path.join(args.out, name)
                if os.path.isdir(path):
                    shutil.rmtree(path)
                elif os.path.exists(path):
                    os.remove(path)
            for name in ("www", "release.json"):
                os.rename(os.path.join(staging, name), os.path.join(args.out, name))
            os.rmdir(staging)
        else:
            os.rename(staging, args.out)
        return manifest
    except BaseException:
        shutil.rmtree(staging, ignore_errors=True)
        raise


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Publish a release of Pantavi as a static tree for a web server.")
    parser.add_argument("--out", required=True,
                        help="folder to write (www/ is served at --base-url, release.json beside it)")
    parser.add_argument("--base-url", required=True,
                        help="address www/ is served at, ending with /; the API base is this + api/")
    parser.add_argument("--package", required=True,
                        help="application folder, or a zip of it, with Telvista.exe, "
                             "Tandemix.Updater.exe and uninstaller.exe at its top")
    parser.add_argument("--package-version", required=True)
    parser.add_argument("--previous-package-version",
                        help="the package version this release replaces: the new one must be newer")
    parser.add_argument("--package-notes", default="", help="release notes of the package")
    parser.add_argument("--installer", required=True,
                        help="TelvistaSetup.exe; its version comes from its version resource")
    parser.add_argument("--previous-installer-version",
                        help="the installer version this release replaces: the new one must be newer")
    parser.add_argument("--installer-notes", default="", help="release notes of the installer")
    parser.add_argument("--dotnet", help=".NET Framework 4.5.2 offline installer")
    parser.add_argument("--dotnet-version", default=DOTNET_VERSION)
    parser.add_argument("--vc-redist",
                        help="Microsoft's VC_redist.x64.exe %s (%d bytes, SHA-1 %s)" % (
                            VC_VERSION, VC_SIZE, VC_SHA1))
    parser.add_argument("--replace", action="store_true",
                        help="replace the release tree already in --out")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    try:
        manifest = publish(args)
    except Refused as refused:
        print("publish_release: refused, nothing written:", file=sys.stderr)
        for reason in refused.args[0]:
            print("  - " + reason, file=sys.stderr)
        return 1
    print("published %s" % os.path.join(args.out, "www"))
    print("API base: %s" % manifest["api_base"])
    for name, result in manifest["records"].items():
        if result:
            print("%-23s %s  %d bytes  SHA-1 %s\n%23s %s" % (
                name, result["version"], result["size"], result["hash"], "", result["download_url"]))
        else:
            print("%-23s (none: no .NET installer given)" % name)
    if installer_machine(args.installer) != I386:
        print("warning: %s is not a 32-bit (i386) program: 32-bit Windows cannot run it" %
              args.installer)
    if not manifest["vc_redist"]:
        print("warning: no VC++ runtime given; 64-bit Windows 10 and 11 machines without it fetch "
              "%s%s, find nothing and stop with error 103" % (manifest["api_base"], VC_PATH))
    print('TestServer.txt: {"ApplicationUpdate": "%s"}' % manifest["api_base"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
