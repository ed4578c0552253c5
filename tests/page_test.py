#!/usr/bin/env python3
"""The page that applies a patch (<build>/web/bndpatch.html), in a real
browser: Debian's chromium, headless, driven by chromedriver, the page
opened from its file. For each outcome the page must say what bndpatch
says, in the browser's language, and a patched bundle's download must be
byte for byte what bndpatch writes; the page must ask no host for anything.
A screenshot of each outcome is left in the output folder. Where the page
writes in place, it is given a folder held in the page (page_fake_folder.js)
in place of the browser's folder picker, which no driver can work.

page_test.py PAGE BNDDIFF BNDPATCH OUTDIR LANGUAGE
"""
import base64
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PAGE, BNDDIFF, BNDPATCH, OUTDIR, LANGUAGE = sys.argv[1:6]
TABLE_SIZE = 512
WAIT_SECONDS = 60
ALLOWED_SCHEMES = ("file:", "data:", "blob:")
FAKE_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "page_fake_folder.js")
FREE_SPACE = re.compile(r"[0-9]+ are free")  # the disk's room, which a page cannot know


def bundle(pieces):
    """A bundle: the table of offsets, then the pieces end to end."""
    offsets, at = [], TABLE_SIZE
    for p in pieces:
        offsets.append(at)
        at += len(p)
    offsets.append(at)
    table = struct.pack("<%dI" % len(offsets), *offsets).ljust(TABLE_SIZE, b"\0")
    return table + b"".join(pieces)


OLD = bundle([b"first piece " * 40, b"second piece " * 50, b"third piece " * 60])
NEW = bundle([b"first piece " * 40, b"second piece, changed " * 50, b"third piece " * 60])
OTHER = bundle([b"first piece " * 40, b"another version " * 50, b"third piece " * 60])


def bndpatch(work, bundle_bytes):
    """What bndpatch says and writes for DATA.BND holding these bytes."""
    with open(os.path.join(work, "DATA.BND"), "wb") as f:
        f.write(bundle_bytes)
    for name in ("DATA.BND.BAK",):
        if os.path.exists(os.path.join(work, name)):
            os.remove(os.path.join(work, name))
    r = subprocess.run([BNDPATCH, "DATA.BND", "fix.bndpatch"], cwd=work, capture_output=True,
                       env=dict(os.environ, LC_ALL="C"))
    with open(os.path.join(work, "DATA.BND"), "rb") as f:
        return r.returncode, r.stdout.decode(), r.stderr.decode(), f.read()


def tree_of(top):
    """Every file below a folder, by its path from there: its bytes."""
    files = {}
    for where, _, names in os.walk(top):
        for name in names:
            path = os.path.join(where, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, top)] = f.read()
    return files


def write_tree(top, files):
    for path, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(top, path)), exist_ok=True)
        with open(os.path.join(top, path), "wb") as f:
            f.write(data)


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.downloads = os.path.join(cls.work, "downloads")
        cls.picked = os.path.join(cls.work, "picked")
        for d in (cls.downloads, cls.picked):
            os.mkdir(d)
        for name, data in (("OLD.BND", OLD), ("NEW.BND", NEW)):
            with open(os.path.join(cls.work, name), "wb") as f:
                f.write(data)
        subprocess.run([BNDDIFF, "OLD.BND", "NEW.BND", "fix.bndpatch"], cwd=cls.work, check=True,
                       capture_output=True)
        shutil.copy(os.path.join(cls.work, "fix.bndpatch"), cls.picked)
        options = webdriver.ChromeOptions()
        for a in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1000,1200",
                  "--lang=" + LANGUAGE):
            options.add_argument(a)
        options.add_experimental_option("prefs", {"intl.accept_languages": LANGUAGE})
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        options.binary_location = shutil.which("chromium") or shutil.which("chromium-browser")
        cls.driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
        cls.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": cls.downloads})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work)

    def open_page(self):
        self.driver.get("file://" + os.path.abspath(PAGE))
        with open(FAKE_FOLDER) as f:
            self.driver.execute_script(f.read())

    def wait(self, ready):
        deadline = time.time() + WAIT_SECONDS
        while not self.driver.execute_script("return " + ready) and time.time() < deadline:
            time.sleep(0.05)

    def click_apply(self, patch):
        d = self.driver
        d.find_element("id", "patch").send_keys(os.path.join(self.picked, patch))
        d.find_element("id", "apply").click()
        self.wait("document.body.dataset.done")
        return d.execute_script("return document.getElementById('output').textContent")

    def apply(self, bundle_bytes):
        """The page opened anew, the patch and DATA.BND picked, Apply
        clicked; what the page shows once it is done."""
        self.open_page()
        with open(os.path.join(self.picked, "DATA.BND"), "wb") as f:
            f.write(bundle_bytes)
        self.driver.find_element("id", "bundle").send_keys(os.path.join(self.picked, "DATA.BND"))
        return self.click_apply("fix.bndpatch")

    def fake_folder(self, name, files, last_modified=0):
        """The folder the page's folder picker gives: these files"""
        tree = {path: base64.b64encode(data).decode() for path, data in files.items()}
        self.driver.execute_script("window.fakeFolder(arguments[0], arguments[1], arguments[2])", name, tree,
                                   last_modified)

    def folder_bytes(self):
        tree = self.driver.execute_script("return window.folderBytes()")
        return {path: base64.b64decode(b64) for path, b64 in tree.items()}

    def download(self):
        """The file the page's download link saves."""
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        self.driver.find_element("id", "download").click()
        saved = os.path.join(self.downloads, "DATA.BND")
        deadline = time.time() + WAIT_SECONDS
        while not os.path.exists(saved) and time.time() < deadline:
            time.sleep(0.05)
        with open(saved, "rb") as f:
            return f.read()

    def requests(self):
        """Every address the browser asked for since the last look."""
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls

    def test_each_outcome_as_bndpatch_says_it(self):
        japanese = LANGUAGE.startswith("ja")
        cases = [("applies", OLD, 0), ("another-version", OTHER, 1), ("already-applied", NEW, 3)]
        for name, bundle_bytes, status in cases:
            with self.subTest(name):
                got_status, out, err, made = bndpatch(self.work, bundle_bytes)
                self.assertEqual(got_status, status)
                shown = self.apply(bundle_bytes)
                self.driver.save_screenshot(os.path.join(OUTDIR, "page-%s-%s.png" % (LANGUAGE, name)))
                if japanese or not err:
                    self.assertEqual(shown, out + err)
                else:  # the headline in English, the detail line as bndpatch prints it
                    headline, detail = err.split("\n", 1)
                    shown_headline, shown_detail = shown[len(out):].split("\n", 1)
                    self.assertTrue(shown.startswith(out))
                    self.assertNotEqual(shown_headline, headline)
                    self.assertTrue(shown_headline.isascii(), shown_headline)
                    self.assertEqual(shown_detail, detail)
                if status == 1:
                    self.assertIn("piece 001", shown)
                if status == 0:
                    self.assertEqual(self.download(), made)
                else:
                    self.assertEqual(self.driver.find_elements("id", "download"), [])

    def test_bundle_written_in_place_keeping_its_backup(self):
        _, _, _, made = bndpatch(self.work, OLD)
        self.apply(OLD)
        picked = os.path.join(self.picked, "DATA.BND")
        self.fake_folder("Game", {"DATA.BND": OLD}, os.stat(picked).st_mtime_ns // 1000000)
        self.driver.find_element("id", "in-place").click()
        self.wait("document.getElementById('actions').children.length > 2")
        self.driver.save_screenshot(os.path.join(OUTDIR, "page-%s-in-place.png" % LANGUAGE))
        self.assertEqual(self.folder_bytes(), {"DATA.BND": made, "DATA.BND.BAK": OLD})

    def test_folder_patched_in_place_as_bndpatch_does(self):
        old = {"DATA.BND": OLD, "readme.txt": b"version 1\n", "sub/gone.bin": b"\1\2\3"}
        new = {"DATA.BND": NEW, "readme.txt": b"version 2, translated\n", "sub/added.bin": b"\4\5"}
        for top, files in (("OldGame", old), ("NewGame", new), ("Game", old)):
            write_tree(os.path.join(self.work, top), files)
        subprocess.run([BNDDIFF, "-r", "OldGame", "NewGame", os.path.join(self.picked, "folder.bndpatch")],
                       cwd=self.work, check=True, capture_output=True)
        native = subprocess.run([BNDPATCH, "Game", os.path.join(self.picked, "folder.bndpatch")], cwd=self.work,
                                capture_output=True, env=dict(os.environ, LC_ALL="C"))
        self.assertEqual(native.returncode, 0)
        self.open_page()
        self.fake_folder("Game", old)
        self.driver.find_element("id", "folder").click()
        self.wait("document.getElementById('folder-name').textContent")
        shown = self.click_apply("folder.bndpatch")
        self.driver.save_screenshot(os.path.join(OUTDIR, "page-%s-folder.png" % LANGUAGE))
        said = native.stdout.decode().replace(os.path.join(self.picked, ""), "")
        self.assertEqual(FREE_SPACE.sub("", shown), FREE_SPACE.sub("", said))
        self.assertEqual(self.folder_bytes(), tree_of(os.path.join(self.work, "Game")))

    def test_no_host_is_asked_for_anything(self):
        self.apply(OLD)
        urls = self.requests()
        self.assertTrue(any(u.startswith("file:") for u in urls), urls)  # the log saw the page itself
        self.assertEqual([u for u in urls if not u.startswith(ALLOWED_SCHEMES)], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
