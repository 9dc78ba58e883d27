"""The page on a phone: the touch pad against the lab, multi-touch, a page
that never scrolls under a finger, layouts in which the pad and the panel
never cover the picture, and an end screen that stays under the thumb
that quit."""
import os
import time
import unittest

from browser import LAB, PageTestCase
from lab_reference import LabRun

PHONE_PORTRAIT = (390, 844)
PHONE_LANDSCAPE = (844, 390)


class TouchPad(PageTestCase):
    def phone(self, width, height, query):
        b = self.browser
        b.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True)
        b.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.addCleanup(b.cdp, "Emulation.setTouchEmulationEnabled", enabled=False)
        self.addCleanup(b.cdp, "Emulation.clearDeviceMetricsOverride")
        b.open(self.server.url + query)

    def frames(self):
        return self.browser.report("framesPlayed")

    def state(self):
        return self.browser.report("state")

    def tap(self, selector):
        point = self.centre(selector)
        self.browser.touch("touchStart", (1, *point))
        self.browser.touch("touchEnd", (1, *point))

    def press_start_until_the_end(self):
        """Puts a thumb on Start and keeps it there until the game has quit."""
        self.browser.touch("touchStart", (1, *self.centre("#pad-buttons .pad-start")))
        self.browser.wait_for(lambda: self.state() == "ended", 10, "the end screen")

    def quit_with_start(self):
        """From play: Start opens the scope view, and Start again, from its
        31st frame on, quits; the thumb lifts over the end screen."""
        self.hold(3, (1, *self.centre("#pad-buttons .pad-start")))
        self.wait_frames(35)
        self.press_start_until_the_end()
        self.browser.touch("touchEnd", (1, *self.centre("#pad-buttons .pad-start")))

    def wait_frames(self, count):
        target = self.frames() + count
        self.browser.wait_for(lambda: self.frames() >= target, 30, f"{count} frames")

    def dpad_point(self, dx, dy):
        """A point on the d-pad, (dx, dy) in its radii from its middle."""
        face = self.browser.box("#dpad-face")
        return (face["left"] + face["width"] / 2 * (1 + dx), face["top"] + face["height"] / 2 * (1 + dy))

    def centre(self, selector):
        box = self.browser.box(selector)
        return (box["left"] + box["width"] / 2, box["top"] + box["height"] / 2)

    def hold(self, frames, *points):
        """Holds fingers (id, x, y) down for `frames` frames, then lifts them."""
        b = self.browser
        for i in range(len(points)):
            b.touch("touchStart", *points[:i + 1])
        self.wait_frames(frames)
        b.touch("touchEnd", *points)
        self.wait_frames(3)

    def test_the_pad_plays_as_the_keys_do_in_the_lab(self):
        b = self.browser
        self.phone(*PHONE_LANDSCAPE, "?seed=7&clock=0&mute=1")
        b.wait_for(lambda: b.report("state") == "playing", 30, "the game")
        self.wait_frames(5)
        x0 = b.driver.execute_script("return window.vonkel.status()")["x"]
        self.hold(20, (1, *self.dpad_point(0.7, 0)))
        self.assertGreater(b.driver.execute_script("return window.vonkel.status()")["x"], x0, "right moves right")
        self.hold(10, (1, *self.dpad_point(0.5, 0.5)))                    # a diagonal: two arrows
        self.hold(10, (1, *self.dpad_point(0, 0.7)), (2, *self.centre("#pad-buttons .pad-a")))  # steer and boost
        b.touch("touchStart", (1, *self.dpad_point(0.7, 0)))              # a thumb sliding from right to up
        self.wait_frames(5)
        b.touch("touchMove", (1, *self.dpad_point(0, -0.7)))
        self.wait_frames(5)
        b.touch("touchEnd", (1, *self.dpad_point(0, -0.7)))
        self.wait_frames(3)

        frames, status, script = b.driver.execute_script(
            "return [vonkel.framesPlayed, vonkel.status(), vonkel.keyScript]")
        held = [line.split(" ")[1] for line in script.splitlines()]
        for keys in ("right", "down,right", "down,z", "up"):
            self.assertIn(keys, held)
        self.assertIn("right\nup", "\n".join(held), "the sliding thumb goes from right to up at once")
        lab = LabRun(LAB, 7, 0, script, frames)
        self.assertEqual((lab.trace[-1]["playerX"], lab.trace[-1]["playerY"]), (status["x"], status["y"]),
                         "the lab, holding the same keys for as many frames, ends where the page does")
        recorded = b.report("frames")[:frames]
        self.assertEqual(recorded, lab.expected_frames()[:len(recorded)], "and the first frames are the lab's")

        self.hold(3, (1, *self.centre("#pad-buttons .pad-start")))
        self.assertEqual(b.driver.execute_script("return window.vonkel.status()")["scope"], 1, "Start: the scope view")

    def test_a_drag_on_the_pad_moves_nothing(self):
        b = self.browser
        self.phone(*PHONE_PORTRAIT, "?seed=7&mute=1")
        b.wait_for(lambda: b.report("state") == "playing", 30, "the game")
        x, y = self.dpad_point(0, 0)
        b.touch("touchStart", (1, x, y))
        for step in range(1, 11):
            b.touch("touchMove", (1, x + 8 * step, y - 60 * step))
        b.touch("touchEnd", (1, x + 80, y - 600))
        b.touch("touchStart", (1, 20, 20))  # and a long press elsewhere
        b.touch("touchEnd", (1, 20, 20))
        viewport = b.driver.execute_script(
            "return [scrollX, scrollY, visualViewport.scale, visualViewport.offsetLeft, visualViewport.offsetTop,"
            " String(getSelection())]")
        self.assertEqual(viewport, [0, 0, 1, 0, 0, ""])

    def test_phone_layouts_show_picture_pad_and_panel_side_by_side(self):
        b = self.browser
        for width, height in (PHONE_PORTRAIT, PHONE_LANDSCAPE):
            self.phone(width, height, "?seed=7")
            b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
            card = b.driver.find_element("id", "card").text
            for words in ("vonkel", "Left pad", "A", "Start", "Tap to start"):
                self.assertIn(words, card)
            picture = b.box("#screen")
            parts = {name: b.box(selector) for name, selector in
                     (("d-pad", "#dpad-face"), ("A", ".pad-a"), ("Start", ".pad-start"), ("panel", "#panel"))}
            self.assertGreater(picture["width"], 0.6 * min(width, 1.34 * height), "the picture takes the room it can")
            for name, box in {"picture": picture, **parts}.items():
                self.assertTrue(box["left"] >= 0 and box["top"] >= 0 and box["right"] <= width
                                and box["bottom"] <= height, f"{name} inside the {width} x {height} screen")
            for name, box in parts.items():
                apart = (box["right"] <= picture["left"] or box["left"] >= picture["right"]
                         or box["bottom"] <= picture["top"] or box["top"] >= picture["bottom"])
                self.assertTrue(apart, f"{name} {box} off the picture {picture} in {width} x {height}")
            if os.environ.get("VONKEL_WEB_SHOTS"):
                b.driver.save_screenshot(os.path.join(os.environ["VONKEL_WEB_SHOTS"], f"phone-{width}x{height}.png"))
        # A tap starts the game.
        b.touch("touchStart", (1, *self.centre("#overlay")))
        b.touch("touchEnd", (1, *self.centre("#overlay")))
        b.wait_for(lambda: b.report("state") == "playing", 10, "a tap to start the game")

    def test_the_end_screen_stays_under_the_thumb_that_quit(self):
        b = self.browser
        self.phone(*PHONE_PORTRAIT, "?seed=7&clock=0&mute=1")
        b.cdp("Browser.grantPermissions", origin=self.server.url.rstrip("/"),
              permissions=["clipboardReadWrite", "clipboardSanitizedWrite"])
        b.wait_for(lambda: self.state() == "playing", 30, "the game")
        self.quit_with_start()
        time.sleep(3)
        self.assertEqual(self.state(), "ended", "the lift did not start a new game")
        self.tap('#card [data-action="share"]')
        b.wait_for(lambda: "copied" in b.driver.find_element("id", "notice").text, 10, "Share on the end card")
        self.assertEqual(self.state(), "ended")
        self.tap("#overlay")
        b.wait_for(lambda: self.state() == "playing", 10, "a fresh tap to start a new game")

        # A slow press of Start from play: the held Start opens the scope
        # view and quits from its 31st frame; lifting starts nothing.
        self.wait_frames(5)
        self.press_start_until_the_end()
        time.sleep(0.5)
        b.touch("touchEnd", (1, *self.centre("#pad-buttons .pad-start")))
        time.sleep(1)
        self.assertEqual(self.state(), "ended", "one long press does not quit and restart")
        self.tap("#pad-buttons .pad-a")  # a fresh tap on the pad starts one
        b.wait_for(lambda: self.state() == "playing", 10, "a tap of A on the end screen")

    def test_dpad_directions(self):
        self.browser.open(self.server.url + "?mute=1")
        cases = {(1, 0): ["right"], (1, 1): ["down", "right"], (0, 1): ["down"], (-1, 1): ["down", "left"],
                 (-1, 0): ["left"], (-1, -1): ["left", "up"], (0, -1): ["up"], (1, -1): ["right", "up"],
                 (1, 0.35): ["right"], (1, 0.45): ["down", "right"], (0.1, 0.1): []}
        for (dx, dy), keys in cases.items():
            got = self.browser.driver.execute_async_script(
                "const done = arguments[0]; import('./touch_pad.js')"
                f".then((m) => done(m.dpadKeys({dx} * 50, {dy} * 50, 50)));")
            self.assertEqual(got, keys, (dx, dy))


if __name__ == "__main__":
    unittest.main()
