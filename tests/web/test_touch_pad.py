"""The page on a phone: the touch pad against the lab, multi-touch, a page
that never scrolls under a finger, layouts in which the pad and the panel
never cover the picture, an end screen that stays under the thumb that
quit, and cards and buttons that fit small screens."""
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
            self.shot(f"phone-{width}x{height}.png")
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

    def test_the_error_and_the_end_card_fit_small_phones(self):
        b = self.browser
        for width, height in ((320, 568), PHONE_PORTRAIT):
            def inside(name, box, outer):
                self.assertTrue(box["left"] >= outer["left"] - 0.5 and box["right"] <= outer["right"] + 0.5
                                and box["top"] >= outer["top"] - 0.5 and box["bottom"] <= outer["bottom"] + 0.5,
                                f"{name} {box} inside {outer} at {width} x {height}")

            screen = {"left": 0, "top": 0, "right": width, "bottom": height}
            self.phone(width, height, "?seed=abc")
            b.wait_for(lambda: self.state() == "error", 10, "the error")
            inside("the error", b.box("#card .call"), b.box("#screen"))
            inside("the picture", b.box("#screen"), screen)
            self.assertGreaterEqual(self.font_sizes("#card .call")[0][1], 12)
            self.shot(f"error-{width}x{height}.png")

            # Every calendar-time seed has ten digits.
            self.phone(width, height, "?seed=4294967295&clock=0&mute=1")
            b.wait_for(lambda: self.state() == "playing", 30, "the game")
            self.quit_with_start()
            inside("the end card", b.box("#card"), b.box("#overlay"))
            inside("the picture", b.box("#screen"), screen)
            for words, size in self.font_sizes("#card p, #card dt, #card dd, #card button"):
                self.assertGreaterEqual(size, 12, f"{words!r} at {width} x {height}")
            buttons = b.driver.execute_script(
                "return [...document.querySelectorAll('#panel button, #card button')]"
                ".filter((e) => e.getClientRects().length).map((e) => {"
                " const r = e.getBoundingClientRect(), label = e.querySelector('span');"
                " return {action: e.dataset.action, left: r.left, top: r.top, right: r.right, bottom: r.bottom,"
                " width: r.width, height: r.height, label: label ? label.getBoundingClientRect().width : null}; })")
            self.assertEqual([button["action"] for button in buttons].count("share"), 2, "the panel's and the card's")
            for box in buttons:
                self.assertTrue(box["width"] >= 44 and box["height"] >= 44, f"{box} at {width} x {height}")
                inside(box["action"], box, screen)
            song, first = b.box("#song-box"), b.box("#panel button")
            inside("the song's number", b.box("#song"), screen)
            self.assertLessEqual(song["bottom"], first["top"], "the song's number on a line above the buttons")
            names = [e.accessible_name for e in b.driver.find_elements("css selector", "#panel button")
                     if e.is_displayed()]
            self.assertEqual(names, ["Share", "Save song", "Screenshot", "Clip", "Fullscreen", "Open run"])
            self.shot(f"end-{width}x{height}.png")
        labels = [box["label"] for box in buttons if box["label"] is not None]
        self.assertTrue(all(label > 15 for label in labels), f"at 390 px the buttons show their names: {labels}")

    def font_sizes(self, selector):
        """[text, font size] of each element shown that `selector` picks."""
        return self.browser.driver.execute_script(
            "return [...document.querySelectorAll(arguments[0])].filter((e) => e.getClientRects().length)"
            ".map((e) => [e.textContent.trim(), parseFloat(getComputedStyle(e).fontSize)])", selector)

    def shot(self, name):
        if os.environ.get("VONKEL_WEB_SHOTS"):
            self.browser.driver.save_screenshot(os.path.join(os.environ["VONKEL_WEB_SHOTS"], name))

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
