#!/usr/bin/env python3
"""Tests of tools/publish_release.py: the releases it refuses, and the tree it writes read back the
way the installer reads it.

CTest runs it natively with the x86_64 installer and a program without version resource:
    publish_release_test.py --installer TelvistaSetup.exe --version 1.0.0.0 --plain-exe sleeper.exe
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
import urllib.parse
import zipfile
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import publish_release  # noqa: E402

OPTIONS = argparse.Namespace()
BASE_URL = "https://localhost:8443/pantavi/"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def sha1sum(path):
    """The digest as the system's sha1sum computes it, independent of the tool."""
    return subprocess.run(["sha1sum", path], check=True, capture_output=True,
                          text=True).stdout.split()[0]


class Release(unittest.TestCase):
    """A scratch folder with an application folder, a zip of it and stand-in prerequisites."""

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.root = self.scratch.name
        self.app = os.path.join(self.root, "app")
        for name in ("Telvista.exe", "Tandemix.Updater.exe", "uninstaller.exe"):
            write(os.path.join(self.app, name), b"MZ" + name.encode())
        write(os.path.join(self.app, "data", "bulk.bin"), os.urandom(50000))
        os.makedirs(os.path.join(self.app, "empty"))
        self.zip = self.make_zip("app.zip", [(n, b"MZ") for n in publish_release.REQUIRED_PROGRAMS])
        self.dotnet = OPTIONS.plain_exe
        self.out = os.path.join(self.root, "out")

    def tearDown(self):
        self.scratch.cleanup()

    def make_zip(self, name, entries, method=zipfile.ZIP_DEFLATED):
        path = os.path.join(self.root, name)
        with zipfile.ZipFile(path, "w", method) as archive:
            for entry, data in entries:
                archive.writestr(entry, data)
        return path

    def args(self, **changes):
        values = {"out": self.out, "base_url": BASE_URL, "package": self.app,
                  "package_version": "2.4.0.0", "installer": OPTIONS.installer}
        values.update(changes)
        argv = []
        for key, value in values.items():
            if value is True:
                argv.append("--" + key.replace("_", "-"))
            elif value is not None:
                argv += ["--" + key.replace("_", "-"), value]
        return publish_release.parse_args(argv)

    def refusals(self, **changes):
        with self.assertRaises(publish_release.Refused) as refused:
            publish_release.publish(self.args(**changes))
        return refused.exception.args[0]

    def served(self, url):
        """The file of www/ that the web server sends for url."""
        path = urllib.parse.unquote(urllib.parse.urlsplit(url).path)
        return os.path.join(self.out, "www", path.lstrip("/"))

    def document(self, name):
        path = os.path.join(self.out, "www", "pantavi", "api", publish_release.CONFIG_PATHS[name])
        with open(path, "rb") as f:
            raw = f.read()
        self.assertFalse(raw.startswith(b"\xef\xbb\xbf"), "a byte-order mark breaks the reply")
        return json.loads(raw.decode("utf-8"))


class Refusals(Release):
    def assertRefused(self, changes, *expected):
        reasons = self.refusals(**changes)
        text = "\n".join(reasons)
        for part in expected:
            self.assertIn(part, text, changes)
        self.assertFalse(os.path.exists(self.out), "a refused release writes nothing")
        self.assertEqual([n for n in os.listdir(self.root) if n.startswith(".publish-")], [])

    def test_package_versions_that_are_no_plain_file_name(self):
        cases = [
            ("1.0/2", "forbids"), ("1.0\\2", "forbids"), ("C:1", "forbids"), ("1.0..2", '".."'),
            ("..", '".."'), ("...", "dots and spaces"), (" . ", "dots and spaces"), ("", "empty"),
            ("2.0?", "forbids"), ('2"0', "forbids"), ("2.0\t1", "forbids"), ("a|b", "forbids"),
            ("CON", "device"), ("nul.1.0", "device"), ("Com1 ", "device"), ("LPT9.zip", "device"),
            ("1." * 40, "longer than"),
        ]
        for version, reason in cases:
            with self.subTest(version=version):
                self.assertRefused({"package_version": version}, "package version", reason)

    def test_plain_versions_are_accepted(self):
        for version in ("2.4.0.0", "2.4 beta", "2.4.0.0-rc1", "版本2", "x.console"):
            self.assertEqual(publish_release.version_problems(version), [], version)

    def test_versions_the_installer_would_not_see_as_newer(self):
        # (new, previous): compared as UTF-16 text, never as numbers.
        cases = [("1.0.10.0", "1.0.9.0", "'1' sorts before '9'"),
                 ("2.4.0.0", "2.4.0.0", "equal"),
                 ("2.0", "2.0.0.0", "shorter text is the older"),
                 ("10.0.0.0", "9.0.0.0", "'1' sorts before '9'")]
        for new, previous, reason in cases:
            with self.subTest(new=new, previous=previous):
                self.assertRefused({"package_version": new, "previous_package_version": previous},
                                   "not newer", reason)
        # A character beyond the BMP is two UTF-16 units starting at U+D800: older than U+E000.
        self.assertFalse(publish_release.is_newer("2.\U0001F600", "2.\uE000"))
        self.assertTrue(publish_release.is_newer("1.0.9.1", "1.0.9.0"))
        self.assertTrue(publish_release.is_newer("2.0.0.0", "2.0"))

    def test_installer_version_comes_from_its_resource_and_must_be_newer(self):
        self.assertRefused({"previous_installer_version": OPTIONS.version},
                           "installer version %r (from its version resource)" % OPTIONS.version,
                           "equal")
        self.assertRefused({"installer": OPTIONS.plain_exe}, "no readable product version",
                           "no version resource")
        not_pe = write(os.path.join(self.root, "setup.exe"), b"not a program")
        self.assertRefused({"installer": not_pe}, "no readable product version", "no MZ header")

    def test_missing_files(self):
        gone = os.path.join(self.root, "gone")
        for option, what in (("package", "package"), ("installer", "installer"),
                             ("dotnet", ".NET installer"), ("vc_redist", "VC++ runtime")):
            with self.subTest(option=option):
                self.assertRefused({option: gone}, "%s: %s does not exist" % (what, gone))

    def test_packages_without_the_programs_at_their_top(self):
        os.remove(os.path.join(self.app, "Tandemix.Updater.exe"))
        self.assertRefused({}, "Tandemix.Updater.exe missing at the top of the package")
        nested = self.make_zip("nested.zip", [("Pantavi/" + n, b"MZ")
                                              for n in publish_release.REQUIRED_PROGRAMS])
        self.assertRefused({"package": nested},
                           "Telvista.exe, Tandemix.Updater.exe, uninstaller.exe missing")
        partial = self.make_zip("partial.zip", [("telvista.EXE", b"MZ"), ("uninstaller.exe", b"MZ"),
                                                ("Tandemix.Updater.exe/", b"")])
        self.assertRefused({"package": partial}, ": Tandemix.Updater.exe missing")

    def test_archives_the_installer_could_not_unpack(self):
        programs = [(n, b"MZ") for n in publish_release.REQUIRED_PROGRAMS]
        cases = [
            (self.make_zip("slip.zip", programs + [("../evil.dll", b"x")]), "outside the install"),
            (self.make_zip("abs.zip", programs + [("/evil.dll", b"x")]), "outside the install"),
            (self.make_zip("ads.zip", programs + [("a.txt:stream", b"x")]), "outside the install"),
            (self.make_zip("pipe.zip", programs + [("data/a|b.txt", b"x")]), "Windows cannot create"),
            (self.make_zip("lzma.zip", programs, zipfile.ZIP_LZMA), "lzma"),  # 7-Zip reads it
            (write(os.path.join(self.root, "text.zip"), b"PK not really"), "not a readable zip"),
        ]
        # zipfile writes no encrypted entries: set the flag of the first entry in its local and
        # central headers.
        path = self.make_zip("encrypted.zip", programs)
        with open(path, "r+b") as f:
            data = bytearray(f.read())
            for signature, flag_at in ((b"PK\x03\x04", 6), (b"PK\x01\x02", 8)):
                data[data.index(signature) + flag_at] |= 1
            f.seek(0)
            f.write(data)
        cases.append((path, "encrypted"))
        damaged = self.make_zip("damaged.zip", programs + [("data.txt", b"A" * 1000)],
                                zipfile.ZIP_STORED)
        with open(damaged, "r+b") as f:
            data = f.read()
            f.seek(data.index(b"A" * 1000) + 10)
            f.write(b"B")
        cases.append((damaged, "damaged"))
        for package, reason in cases:
            with self.subTest(package=os.path.basename(package)):
                if reason == "lzma":
                    self.assertEqual(publish_release.archive_problems(package), [])
                else:
                    self.assertRefused({"package": package}, reason)

    def test_folder_names_windows_cannot_create(self):
        for name, reason in (("what?.txt", "has a name Windows cannot create"),
                             ("a:b", "would be unpacked outside the install folder")):
            with self.subTest(name=name):
                path = write(os.path.join(self.app, "data", name), b"x")
                try:
                    self.assertRefused({}, "package folder: 'data/%s' %s" % (name, reason))
                finally:
                    os.remove(path)

    def test_prerequisites_that_would_fail_their_check(self):
        wrong = write(os.path.join(self.root, "VC_redist.x64.exe"), b"MZ" + b"\0" * 1000)
        self.assertRefused({"vc_redist": wrong}, "has 1002 bytes and SHA-1 " + sha1sum(wrong),
                           "accepts only VC_redist.x64.exe 14.36.32532.0 with 25355496 bytes and "
                           "SHA-1 c483f66c48ba83e99c764d957729789317b09c6b")
        text = write(os.path.join(self.root, "ndp.exe"), b"#!/bin/sh\n")
        self.assertRefused({"dotnet": text}, ".NET installer", "is not a Windows program")
        empty = write(os.path.join(self.root, "empty.exe"), b"")
        self.assertRefused({"dotnet": empty}, "is empty")

    def test_base_addresses_the_installer_cannot_use(self):
        for url, reason in (("https://localhost:8443/api", 'must end with "/"'),
                            ("ftp://example.com/", "not an http or https"),
                            ("localhost/", "not an http or https"),
                            ("https://example.com/?x=1/", "query")):
            with self.subTest(url=url):
                self.assertRefused({"base_url": url}, reason)

    def test_every_reason_is_given_at_once(self):
        reasons = self.refusals(package_version="a/b", installer=OPTIONS.plain_exe,
                                dotnet=os.path.join(self.root, "gone"))
        self.assertEqual(len(reasons), 3, reasons)

    def test_release_notes_longer_than_the_installer_reads(self):
        self.assertRefused({"package_notes": "x" * (1024 * 1024)}, "windows_update_package",
                           "reads at most 1048576")

    def test_an_existing_folder_is_replaced_only_when_asked(self):
        write(os.path.join(self.out, "keep.txt"), b"mine")
        reasons = self.refusals()
        self.assertIn("is not an earlier release tree", reasons[0])
        os.remove(os.path.join(self.out, "keep.txt"))
        publish_release.publish(self.args())
        self.assertIn("holds an earlier release; --replace", self.refusals()[0])
        publish_release.publish(self.args(package_version="2.5.0.0", replace=True))
        self.assertEqual(self.document("windows_update_package")["result"]["version"], "2.5.0.0")
        self.assertFalse(os.path.exists(self.served(
            BASE_URL + "files/windows_update_package/2.4.0.0/Telvista-2.4.0.0.zip")))

    def test_command_line_reports_the_reasons(self):
        run = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "publish_release.py"),
                              "--out", self.out, "--base-url", BASE_URL, "--package", self.app,
                              "--package-version", "CON", "--installer", OPTIONS.installer],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 1)
        self.assertIn("refused, nothing written", run.stderr)
        self.assertIn("package version 'CON' names a Windows device", run.stderr)


class PublishedTree(Release):
    def test_documents_describe_the_files_they_point_to(self):
        notes = "Schnellere Suche \u2013 \u4e2d\u6587 \"quoted\"\nline two"
        manifest = publish_release.publish(self.args(
            package_version="2.4 beta", package_notes=notes, dotnet=self.dotnet,
            dotnet_version="4.5.2", previous_package_version="2.3.9.9",
            previous_installer_version="0.9.9.9"))
        self.assertEqual(manifest["api_base"], BASE_URL + "api/")
        expected_versions = {"windows_installer": OPTIONS.version,
                             "windows_update_package": "2.4 beta", "net_framework": "4.5.2"}
        for name, version in expected_versions.items():
            with self.subTest(record=name):
                document = self.document(name)
                result = document["result"]
                self.assertEqual(set(document), {"result"})
                self.assertEqual(set(result), {"download_url", "version", "hash", "size",
                                               "release_notes"})
                self.assertEqual(result["version"], version)
                self.assertIsInstance(result["size"], int)
                self.assertTrue(result["download_url"].startswith(BASE_URL + "files/"))
                self.assertNotIn(" ", result["download_url"])
                served = self.served(result["download_url"])
                self.assertEqual(result["size"], os.path.getsize(served))
                self.assertEqual(result["hash"], sha1sum(served))
                self.assertEqual(manifest["records"][name], result)
        self.assertEqual(self.document("windows_update_package")["result"]["release_notes"], notes)
        installer = self.served(self.document("windows_installer")["result"]["download_url"])
        with open(installer, "rb") as a, open(OPTIONS.installer, "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_a_package_folder_becomes_a_zip_with_the_folder_at_its_top(self):
        publish_release.publish(self.args())
        url = self.document("windows_update_package")["result"]["download_url"]
        with zipfile.ZipFile(self.served(url)) as archive:
            self.assertEqual(sorted(archive.namelist()),
                             ["Tandemix.Updater.exe", "Telvista.exe", "data/", "data/bulk.bin",
                              "empty/", "uninstaller.exe"])
            with open(os.path.join(self.app, "data", "bulk.bin"), "rb") as f:
                self.assertEqual(archive.read("data/bulk.bin"), f.read())

    def test_files_older_than_a_zip_can_date_are_published(self):
        os.utime(os.path.join(self.app, "Telvista.exe"), (0, 0))
        publish_release.publish(self.args())
        url = self.document("windows_update_package")["result"]["download_url"]
        with zipfile.ZipFile(self.served(url)) as archive:
            self.assertEqual(archive.getinfo("Telvista.exe").date_time[0], 1980)

    def test_a_package_zip_is_published_as_it_is(self):
        publish_release.publish(self.args(package=self.zip))
        result = self.document("windows_update_package")["result"]
        self.assertEqual(result["hash"], sha1sum(self.zip))
        self.assertEqual(result["download_url"],
                         BASE_URL + "files/windows_update_package/2.4.0.0/Telvista-2.4.0.0.zip")

    def test_without_a_dotnet_installer_its_document_holds_no_record(self):
        publish_release.publish(self.args())
        self.assertEqual(self.document("net_framework"), {"result": {}})

    def test_the_vc_runtime_is_placed_where_the_installers_fixed_record_points(self):
        vc = write(os.path.join(self.root, "VC_redist.x64.exe"), b"MZ stand-in runtime")
        with mock.patch.object(publish_release, "VC_SIZE", os.path.getsize(vc)), \
                mock.patch.object(publish_release, "VC_SHA1", sha1sum(vc)):
            manifest = publish_release.publish(self.args(vc_redist=vc))
        # The installer asks for the API base + its fixed path, "%20" and all.
        url = BASE_URL + "api/release/vc/VC_redist.x64%202015-2022.exe"
        self.assertEqual(manifest["vc_redist"], url)
        self.assertTrue(self.served(url).endswith("/api/release/vc/VC_redist.x64 2015-2022.exe"))
        with open(self.served(url), "rb") as f:
            self.assertEqual(f.read(), b"MZ stand-in runtime")

    def test_the_fixed_vc_record_is_the_installers(self):
        with open(os.path.join(SOURCE, "pipeline", "release_check.h")) as f:
            header = f.read()
        with open(os.path.join(SOURCE, "pipeline", "release_config.h")) as f:
            paths = f.read()
        self.assertIn('kVcRuntimeHash[] = L"%s"' % publish_release.VC_SHA1, header)
        self.assertIn("kVcRuntimeSize = %d;" % publish_release.VC_SIZE, header)
        self.assertIn('kVcRuntimeVersion[] = L"%s"' % publish_release.VC_VERSION, header)
        self.assertIn('kVcRuntimeInstallerPath[] = L"%s"' % publish_release.VC_PATH, paths)
        for name, path in publish_release.CONFIG_PATHS.items():
            self.assertTrue(re.search(r'L"%s"' % re.escape(path), paths), name)

    def test_the_tree_is_readable_by_any_web_server(self):
        old = os.umask(0o077)
        try:
            publish_release.publish(self.args(dotnet=self.dotnet))
        finally:
            os.umask(old)
        for here, dirs, files in os.walk(os.path.join(self.out, "www")):
            for name in dirs + files:
                mode = os.stat(os.path.join(here, name)).st_mode
                self.assertEqual(mode & 0o004, 0o004, name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True, help="an installer with a version resource")
    parser.add_argument("--version", required=True, help="its product version")
    parser.add_argument("--plain-exe", required=True, help="a Windows program without one")
    options, rest = parser.parse_known_args()
    vars(OPTIONS).update(vars(options))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
