"""Installable and offline: a manifest that Chromium accepts, with the
game's icon in the sizes stores want; after one visit the page opens and
plays with the network off; a new build comes on the next visit."""
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import urllib.request

from browser import HERE, SITE, Browser, PageTestCase, StaticServer
from png_pixels import png_rgb

PICTURE = 16  # the icon's picture in game pixels


def picture_of(width, pixels, left, cells):
    """The 16 x 16 picture of an icon whose game pixels are `cells` device
    pixels wide, starting at `left` in both directions."""
    return [pixels[3 * ((left + y * cells + cells // 2) * width + left + x * cells + cells // 2):][:3]
            for y in range(PICTURE) for x in range(PICTURE)]


class Installable(PageTestCase):
    def test_the_manifest_and_its_icons(self):
        b = self.browser
        b.open(self.server.url + "?mute=1")
        b.wait_for(lambda: b.report("state") == "playing", 30, "the game")
        self.assertEqual(b.cdp("Page.getAppManifest").get("errors"), [])
        self.assertEqual(b.cdp("Page.getInstallabilityErrors")["installabilityErrors"], [])
        with urllib.request.urlopen(self.server.url + "manifest.webmanifest") as response:
            manifest = json.load(response)
        self.assertEqual((manifest["name"], manifest["display"], manifest["orientation"]),
                         ("vonkel", "fullscreen", "landscape"))
        pictures = {}
        for icon in manifest["icons"]:
            with urllib.request.urlopen(self.server.url + icon["src"]) as response:
                width, height, pixels = png_rgb(response.read())
            self.assertEqual(f"{width}x{height}", icon["sizes"], icon["src"])
            if icon["purpose"] == "maskable":
                # The picture fills the middle half, inside the circle of 80 % that every mask keeps.
                cells = width // (2 * PICTURE)
                lit = [(i % width, i // width) for i in range(width * height) if pixels[3 * i:3 * i + 3] != b"\0\0\0"]
                radius = max(((x + 0.5 - width / 2) ** 2 + (y + 0.5 - width / 2) ** 2) ** 0.5 for x, y in lit)
                self.assertLess(radius, 0.4 * width, icon["src"])
                pictures[icon["src"]] = picture_of(width, pixels, width // 4, cells)
            else:
                pictures[icon["src"]] = picture_of(width, pixels, 0, width // PICTURE)
        self.assertEqual({(i["sizes"], i["purpose"]) for i in manifest["icons"]},
                         {("192x192", "any"), ("512x512", "any"), ("192x192", "maskable"), ("512x512", "maskable")})
        first = next(iter(pictures.values()))
        self.assertGreater(len(set(first)), 4, "the picture has the game's colours")
        for src, picture in pictures.items():
            self.assertEqual(picture, first, f"{src} shows the same picture, whole game pixels")


class Offline(unittest.TestCase):
    def setUp(self):
        folder = tempfile.mkdtemp(prefix="vonkel-site-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        self.site = os.path.join(folder, "site")
        shutil.copytree(SITE, self.site)
        # Only the service worker may keep files here, not the HTTP cache.
        self.server = StaticServer(self.site, no_store=True)
        self.addCleanup(lambda: self.server.close())
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def network(self, online):
        self.browser.cdp("Network.emulateNetworkConditions", offline=not online, latency=0,
                         downloadThroughput=-1, uploadThroughput=-1)

    def rebuild(self):
        """A new build of the page: a changed file, and the service worker
        written again by the build's own step."""
        with open(os.path.join(self.site, "index.html")) as f:
            page = f.read()
        with open(os.path.join(self.site, "index.html"), "w") as f:
            f.write(page.replace("<head>", '<head>\n<meta name="vonkel-build" content="new">'))
        with open(os.path.join(self.site, "service_worker.js")) as f:
            files = re.findall(r"'([^']+)'", re.search(r"const kFiles = \[(.*)\];", f.read()).group(1))
        subprocess.run(["cmake", f"-DSITE={self.site}", f"-DFILES={','.join(files[1:])}",
                        f"-DTEMPLATE={os.path.join(HERE, '..', '..', 'web', 'service_worker.js.in')}",
                        f"-DOUTPUT={os.path.join(self.site, 'service_worker.js')}",
                        "-P", os.path.join(HERE, "..", "..", "web", "make_service_worker.cmake")], check=True)

    def test_after_one_visit_the_page_plays_offline_and_takes_a_new_build_on_the_next(self):
        b = self.browser
        url = self.server.url
        b.open(url + "?seed=7&mute=1")
        b.wait_for(lambda: b.report("offline") == "ready", 30, "the offline copy")
        caches = "caches.keys().then(arguments[0])"
        first_build = b.driver.execute_async_script(caches)

        # The network off: the DevTools protocol's offline mode, and no server at all.
        b.cdp("Network.enable")
        self.network(False)
        port = self.server.port
        self.server.close()
        b.open(url + "?seed=9&mute=1")
        b.wait_for(lambda: (b.report("framesPlayed") or 0) > 30, 30, "frames played offline")
        self.assertEqual((b.report("error"), b.report("song")), (None, 9))
        self.assertEqual(b.console_errors(), [])

        self.rebuild()
        self.server = StaticServer(self.site, port, no_store=True)
        self.network(True)
        b.open(url + "?seed=7")
        # This visit finds the new build and stores it in place of the old one
        # (a page still at its start screen reloads into it at once) ...
        b.wait_for(lambda: len(names := b.driver.execute_async_script(caches)) == 1 and names != first_build, 30,
                   "the new build in place of the old one")
        # ... and the next visit opens it.
        b.open(url + "?seed=7")
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
        self.assertTrue(b.driver.execute_script("return document.querySelector('meta[name=vonkel-build]') !== null"))


if __name__ == "__main__":
    unittest.main()
