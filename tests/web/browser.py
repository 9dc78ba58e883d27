"""Headless Chromium for the web page's tests: a static server on a free
port of 127.0.0.1 and a fresh browser profile per test class."""
import functools
import http.server
import os
import shutil
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run", "--window-size=1024,768",
    # The tests' clicks are real gestures; this only keeps a slow start from
    # racing the audio policy.
    "--autoplay-policy=no-user-gesture-required",
]


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    no_store = False

    def log_message(self, *args):
        pass

    def end_headers(self):
        if self.no_store:
            self.send_header("Cache-Control", "no-store")
        super().end_headers()


class StaticServer:
    """Serves a folder on http://127.0.0.1 at a port the system picks (or
    the one given: the same origin again, as a service worker needs).
    no_store keeps every file out of the browser's HTTP cache."""

    def __init__(self, folder, port=0, no_store=False):
        handler = functools.partial(type("Handler", (_QuietHandler,), {"no_store": no_store}), directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    @property
    def port(self):
        return self.httpd.server_address[1]

    @property
    def url(self):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Browser:
    def __init__(self, chromium="/usr/bin/chromium", driver="/usr/bin/chromedriver"):
        self.profile = tempfile.mkdtemp(prefix="vonkel-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        options.add_argument(f"--user-data-dir={self.profile}")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(driver), options=options)

    def open(self, url):
        self.driver.get(url)

    def report(self, key=None):
        if key is None:
            return self.driver.execute_script("return window.vonkel || null")
        return self.driver.execute_script(f"return window.vonkel ? window.vonkel.{key} : null")

    def wait_for(self, condition, timeout, what):
        """Polls `condition()` until it is true; fails with `what` after `timeout` s."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = condition()
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out after {timeout} s waiting for {what}")

    def console_errors(self):
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def cdp(self, method, **params):
        return self.driver.execute_cdp_cmd(method, params)

    def box(self, selector):
        """An element's rectangle in CSS pixels: {left, top, right, bottom, width, height}."""
        return self.driver.execute_script(
            "const r = document.querySelector(arguments[0]).getBoundingClientRect();"
            "return {left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width, height: r.height};",
            selector)

    def touch(self, kind, *points):
        """A touch event (touchStart, touchMove, touchEnd) with points (id, x, y)."""
        self.cdp("Input.dispatchTouchEvent", type=kind,
                 touchPoints=[{"id": i, "x": x, "y": y} for i, x, y in points])

    def allow_downloads(self, folder):
        self.cdp("Browser.setDownloadBehavior", behavior="allow", downloadPath=folder)

    def wait_for_download(self, folder, timeout):
        """The name of the one finished download in `folder`."""
        def finished():
            names = os.listdir(folder)
            return names if len(names) == 1 and not names[0].endswith(".crdownload") else None
        return self.wait_for(finished, timeout, f"a download in {folder}")[0]

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)


HERE = os.path.dirname(os.path.abspath(__file__))
# The built page, and the lab that gives the reference runs.
SITE = os.environ.get("VONKEL_WEB_SITE", os.path.join(HERE, "..", "..", "build", "web", "site"))
LAB = os.environ.get("VONKEL_LAB", os.path.join(HERE, "..", "..", "build", "release", "vonkel-lab"))


class PageTestCase(unittest.TestCase):
    """Tests that share one server of the built page and one browser."""

    @classmethod
    def setUpClass(cls):
        cls.server = StaticServer(SITE)
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.close()
