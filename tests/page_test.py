#!/usr/bin/env python3
"""The page that applies a patch (<build>/web/bndpatch.html), in a real
browser: Debian's chromium, headless, driven by chromedriver, the page
opened from its file. For each outcome the page must say what bndpatch
says, in the browser's language, and a patched bundle's download must be
byte for byte what bndpatch writes; the page must ask no host for anything.
A screenshot of each outcome is left in the output folder.

page_test.py PAGE BNDDIFF BNDPATCH OUTDIR LANGUAGE
"""
import json
import os
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

    def apply(self, bundle_bytes):
        """The page opened anew, the patch and DATA.BND picked, Apply
        clicked; what the page shows once it is done."""
        d = self.driver
        d.get("file://" + os.path.abspath(PAGE))
        with open(os.path.join(self.picked, "DATA.BND"), "wb") as f:
            f.write(bundle_bytes)
        d.find_element("id", "patch").send_keys(os.path.join(self.picked, "fix.bndpatch"))
        d.find_element("id", "bundle").send_keys(os.path.join(self.picked, "DATA.BND"))
        d.find_element("id", "apply").click()
        deadline = time.time() + WAIT_SECONDS
        while not d.execute_script("return document.body.dataset.done") and time.time() < deadline:
            time.sleep(0.05)
        return d.execute_script("return document.getElementById('output').textContent")

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

    def test_no_host_is_asked_for_anything(self):
        self.apply(OLD)
        urls = self.requests()
        self.assertTrue(any(u.startswith("file:") for u in urls), urls)  # the log saw the page itself
        self.assertEqual([u for u in urls if not u.startswith(ALLOWED_SCHEMES)], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
