"""The page as a player meets it: the start overlay, real key events
through the DevTools protocol, focus, the end screen and the sound."""
import re
import subprocess
import time
import unittest
import urllib.parse

from browser import LAB, SITE, Browser, PageTestCase, StaticServer

KEYS = {
    "ArrowRight": ("ArrowRight", 39),
    "ArrowDown": ("ArrowDown", 40),
    "Escape": ("Escape", 27),
    "KeyZ": ("z", 90),
}


class LivePage(unittest.TestCase):
    def setUp(self):
        self.server = StaticServer(SITE)
        self.browser = Browser()
        self.addCleanup(self.server.close)
        self.addCleanup(self.browser.close)

    def key(self, kind, code):
        key, virtual = KEYS[code]
        self.browser.cdp("Input.dispatchKeyEvent", type=kind, code=code, key=key, windowsVirtualKeyCode=virtual)

    def status(self):
        return self.browser.driver.execute_script("return window.vonkel.status()")

    def frames(self):
        return self.browser.report("framesPlayed")

    def wait_frames(self, count):
        """Waits until `count` more frames have been played."""
        target = self.frames() + count
        self.browser.wait_for(lambda: self.frames() >= target, 30, f"{count} frames")

    def start(self, query="?seed=7"):
        b = self.browser
        b.open(self.server.url + query)
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start overlay")
        overlay = b.driver.find_element("id", "overlay")
        for words in ("vonkel", "Arrow keys", "Z or Enter", "Esc", "Click or press a key to start"):
            self.assertIn(words, overlay.text)
        overlay.click()
        b.wait_for(lambda: b.report("state") == "playing", 30, "the game to start")
        self.wait_frames(5)

    def test_loads_without_console_errors_and_scales_by_whole_steps(self):
        self.start()
        self.wait_frames(30)
        self.assertEqual(self.browser.console_errors(), [])
        d = self.browser.driver
        self.assertEqual(d.execute_script("return getComputedStyle(document.getElementById('screen')).imageRendering"),
                         "pixelated")
        screen_width = "return document.getElementById('screen').getBoundingClientRect().width"
        for width, height, scale in ((1400, 1000, 2), (1279, 2000, 1), (2600, 1500, 3), (500, 600, 500 / 640)):
            self.browser.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                             mobile=False)
            self.browser.wait_for(lambda: abs(d.execute_script(screen_width) - 640 * scale) < 0.5, 5,
                                  f"a {640 * scale} px wide picture in {width} x {height}")
            picture, panel = self.browser.box("#screen"), self.browser.box("#panel")
            self.assertTrue(panel["left"] >= picture["right"] or panel["top"] >= picture["bottom"],
                            f"the panel {panel} beside or below the picture {picture}")
            self.assertTrue(panel["right"] <= width and panel["bottom"] <= height, "and inside the page")
        self.assertEqual(d.find_element("id", "song").text, "7", "the song's number beside the picture")

    def test_keys_steer_escape_opens_the_scope_view_and_quits_to_the_end_screen(self):
        self.start()
        x0 = self.status()["x"]
        self.key("rawKeyDown", "ArrowRight")
        self.wait_frames(20)
        self.key("keyUp", "ArrowRight")
        self.wait_frames(5)
        moved = self.status()["x"]
        self.assertGreater(moved, x0, "held ArrowRight moves the player right")
        self.wait_frames(10)
        self.assertEqual(self.status()["x"], moved, "released, the player stops")
        # Scrolling keys keep the page still.
        self.assertEqual(self.browser.driver.execute_script("return scrollY"), 0)

        self.key("rawKeyDown", "Escape")
        self.wait_frames(3)
        self.key("keyUp", "Escape")
        self.assertEqual(self.status()["scope"], 1, "Escape opens the scope view")
        self.wait_frames(40)
        self.key("rawKeyDown", "Escape")
        b = self.browser
        b.wait_for(lambda: b.report("state") == "ended", 10, "the end screen")
        self.key("keyUp", "Escape")
        self.assertIn("ended", b.driver.find_element("id", "overlay").text)
        # A key starts afresh: a new game, out of the scope view.
        self.key("rawKeyDown", "KeyZ")
        self.key("keyUp", "KeyZ")
        b.wait_for(lambda: b.report("state") == "playing", 10, "a new start-up")
        self.wait_frames(3)
        self.assertEqual(self.status()["scope"], 0)

    def test_losing_focus_releases_held_keys(self):
        self.start()
        y0 = self.status()["y"]
        self.key("rawKeyDown", "ArrowDown")
        self.wait_frames(10)
        self.assertGreater(self.status()["y"], y0, "held ArrowDown moves the player down")
        d = self.browser.driver
        game_tab = d.current_window_handle
        d.switch_to.new_window("tab")  # the game's tab is hidden and blurred
        time.sleep(0.3)
        d.switch_to.window(game_tab)
        d.execute_script("window.focus()")
        self.browser.wait_for(lambda: d.execute_script("return document.hasFocus()"), 10, "the focus to come back")
        self.wait_frames(5)
        y_back = self.status()["y"]
        self.wait_frames(20)
        self.assertEqual(self.status()["y"], y_back, "no key is held after the focus came back, with no keyUp sent")

    def test_the_worklet_plays_non_silent_samples_at_the_audio_clocks_pace(self):
        self.start()
        b = self.browser
        b.wait_for(lambda: (b.report("audio") or {}).get("played", 0) > 0, 20, "the worklet to play")
        first = b.report("audio")
        b.wait_for(lambda: b.report("audio")["time"] - first["time"] > 3, 20, "three seconds of audio")
        last = b.report("audio")
        self.assertEqual(b.report("audioState"), "running")
        audio_seconds = last["time"] - first["time"]
        received = (last["received"] - first["received"]) / 44100
        played = (last["played"] - first["played"]) / 44100
        # The page renders and the worklet plays about as fast as the sound
        # card's clock runs: not a timing test, a check that rendering keeps up.
        self.assertGreater(received / audio_seconds, 0.8)
        self.assertLess(received / audio_seconds, 1.2)
        self.assertGreater(played / audio_seconds, 0.8)
        self.assertGreater(last["nonSilent"] - first["nonSilent"], 0.5 * (last["played"] - first["played"]))
        # About 75 ms queued between rendering and playing.
        self.assertGreater(last["queued"], 0.03 * 44100)
        self.assertLess(last["queued"], 0.2 * 44100)



class PageScripts(PageTestCase):
    """The page's own modules, loaded in the browser."""

    def run_module(self, module, body):
        """Runs `body` with the module's exports as `m`; returns its value."""
        return self.browser.driver.execute_async_script(
            f"const done = arguments[0]; import('./{module}').then((m) => done({body}))"
            ".catch((e) => done('error: ' + e));")

    def test_gamepad_mapping_is_the_desktops(self):
        self.browser.open(self.server.url + "?mute=1")

        def pad(pressed=(), axes=(0, 0)):
            buttons = ",".join(f"{{pressed: {'true' if i in pressed else 'false'}}}" for i in range(17))
            return f"m.gamepadKeys({{buttons: [{buttons}], axes: [{axes[0]}, {axes[1]}, 0.9, 0.9]}})"

        cases = [
            (pad(), []),
            (pad(pressed=(12,)), ["up"]), (pad(pressed=(13,)), ["down"]), (pad(pressed=(14,)), ["left"]),
            (pad(pressed=(15,)), ["right"]), (pad(pressed=(0,)), ["z"]), (pad(pressed=(1,)), ["z"]),
            (pad(pressed=(9,)), ["escape"]), (pad(pressed=(2, 3, 8)), []),
            (pad(axes=(-0.9, 0)), ["left"]), (pad(axes=(0.9, 0.9)), ["down", "right"]), (pad(axes=(0, -0.6)), ["up"]),
            (pad(axes=(0.24, -0.24)), []),  # inside the dead zone (right stick ignored)
            (pad(axes=(0.25, -0.25)), ["right", "up"]),  # just past it, as 8000 of 32767 on the desktop
            (pad(pressed=(0, 15), axes=(0, 1)), ["down", "right", "z"]),
        ]
        for expression, keys in cases:
            self.assertEqual(self.run_module("input.js", expression), keys, expression)

    def test_key_scripts_are_read_by_the_labs_reader(self):
        """The page refuses what the lab refuses, with the lab's words."""
        b = self.browser
        for bad in ("010 up", "0 jump", "5 up\n5 down", "0 up,up", "7", "-1 up", "0 up,"):
            lab = subprocess.run([LAB, "play", "--seed", "1", "--frames", "1", "--keys", "/dev/stdin"], input=bad,
                                 capture_output=True, text=True)
            self.assertEqual(lab.returncode, 2, bad)
            reason = lab.stderr.split("' line ", 1)[1].strip()
            b.open(self.server.url + "?keys=" + urllib.parse.quote(bad))
            b.wait_for(lambda: b.report("state") == "error", 10, "the error")
            self.assertEqual(b.report("error"), "?keys=: line " + reason, bad)

    def test_numbers_are_read_by_the_labs_reader(self):
        """?seed=, ?clock= and ?frames= refuse what the lab's options refuse, with its words."""
        b = self.browser
        for name, bad in (("seed", "010"), ("seed", "abc"), ("seed", "4294967296"), ("seed", ""), ("clock", "+5"),
                          ("frames", "0"), ("frames", "1e3")):
            options = {"seed": "1", "clock": "0", "frames": "1", name: bad}
            arguments = [part for option, value in options.items() for part in (f"--{option}", value)]
            lab = subprocess.run([LAB, "play", "--keys", "/dev/null", *arguments], capture_output=True, text=True)
            self.assertEqual(lab.returncode, 2, (name, bad))
            reason = re.fullmatch(rf"vonkel-lab: --{name}: (.*) \(see vonkel-lab play --help\)\n", lab.stderr).group(1)
            b.open(self.server.url + f"?{name}=" + urllib.parse.quote(bad))
            b.wait_for(lambda: b.report("state") == "error", 10, "the error")
            self.assertEqual(b.report("error"), f"?{name}=: {reason}", (name, bad))
        self.assertIn(reason, b.driver.find_element("id", "overlay").text, "shown on the page")


if __name__ == "__main__":
    unittest.main()
