"""The page inside an iframe of another site, as a game portal embeds it:
a click gives it the keyboard, its keys steer, and the embedding page
never scrolls."""
import os
import tempfile
import unittest

from browser import SITE, Browser, StaticServer

KEYS = {"ArrowRight": 39, "ArrowDown": 40, "Space": 32}


class Embedded(unittest.TestCase):
    def setUp(self):
        self.game = StaticServer(SITE)
        self.addCleanup(self.game.close)
        folder = tempfile.TemporaryDirectory(prefix="vonkel-portal-")
        self.addCleanup(folder.cleanup)
        with open(os.path.join(folder.name, "index.html"), "w") as f:
            f.write('<!doctype html><html><body style="margin:0">'
                    f'<iframe id="game" src="{self.game.url}?seed=7&mute=1" width="800" height="600"'
                    ' allow="fullscreen; autoplay; gamepad; clipboard-write; web-share" style="border:0"></iframe>'
                    '<div style="height:3000px">the portal goes on</div></body></html>')
        self.portal = StaticServer(folder.name)  # another port: another origin
        self.addCleanup(self.portal.close)
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def key(self, kind, code):
        key = " " if code == "Space" else code
        self.browser.cdp("Input.dispatchKeyEvent", type=kind, code=code, key=key, windowsVirtualKeyCode=KEYS[code])

    def in_game(self, script):
        d = self.browser.driver
        d.switch_to.frame(d.find_element("id", "game"))
        try:
            return d.execute_script(script)
        finally:
            d.switch_to.default_content()

    def frames(self):
        return self.in_game("return window.vonkel.framesPlayed")

    def wait_frames(self, count):
        target = self.frames() + count
        self.browser.wait_for(lambda: self.frames() >= target, 30, f"{count} frames")

    def test_a_click_gives_the_game_the_keys_and_the_portal_stays_put(self):
        b = self.browser
        b.open(self.portal.url)
        b.wait_for(lambda: self.in_game("return window.vonkel.state") == "playing", 30, "the game")
        b.driver.find_element("id", "game").click()
        self.wait_frames(3)
        for code in ("ArrowDown", "Space"):  # keys that would scroll the portal
            self.key("rawKeyDown", code)
            self.wait_frames(2)
            self.key("keyUp", code)
        self.wait_frames(3)
        x0 = self.in_game("return window.vonkel.status().x")
        self.key("rawKeyDown", "ArrowRight")
        self.wait_frames(20)
        self.key("keyUp", "ArrowRight")
        self.assertGreater(self.in_game("return window.vonkel.status().x"), x0, "the arrow keys steer the game")
        self.assertEqual(b.driver.execute_script("return [scrollX, scrollY]"), [0, 0], "the portal did not scroll")

    def test_a_drag_in_the_game_does_not_scroll_the_portal(self):
        b = self.browser
        b.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        b.open(self.portal.url)
        b.wait_for(lambda: self.in_game("return window.vonkel.state") == "playing", 30, "the game")
        b.touch("touchStart", (1, 400, 500))
        for step in range(1, 11):
            b.touch("touchMove", (1, 400, 500 - 40 * step))
        b.touch("touchEnd", (1, 400, 100))
        self.wait_frames(3)
        self.assertEqual(b.driver.execute_script("return [scrollX, scrollY]"), [0, 0], "the portal did not scroll")


if __name__ == "__main__":
    unittest.main()
