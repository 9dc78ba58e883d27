"""Runs on the page: Share run's link replays the game as the lab plays it,
a 3-minute game's link stays short, a desktop run opened as a file plays
with its sound, and bad runs say why inside the layout."""
import base64
import os
import random
import tempfile
import unittest
import zlib

from browser import HERE, LAB, PageTestCase
from lab_reference import LabRun
from run_files import desktop_run
from test_lab_equality import page_url

KEYS = {"ArrowRight": ("ArrowRight", 39), "ArrowDown": ("ArrowDown", 40), "Escape": ("Escape", 27), "KeyZ": ("z", 90)}
HELD = ["-", "up", "down", "left", "right", "up,left", "up,right", "down,left", "down,right"]


class Runs(PageTestCase):
    def key(self, kind, code):
        key, virtual = KEYS[code]
        self.browser.cdp("Input.dispatchKeyEvent", type=kind, code=code, key=key, windowsVirtualKeyCode=virtual)

    def hold(self, code, frames):
        b = self.browser
        self.key("rawKeyDown", code)
        target = b.report("framesPlayed") + frames
        b.wait_for(lambda: b.report("framesPlayed") >= target, 30, f"{frames} frames")
        self.key("keyUp", code)

    def own_link(self):
        """The link Share run makes of the game the page played."""
        return self.browser.driver.execute_async_script(
            "const done = arguments[0]; import('./runs.js')"
            ".then((r) => r.runLink(location.href, r.ownLinkText(window.vonkelModule))).then(done)")

    def replay_to_the_end(self):
        b = self.browser
        b.wait_for(lambda: b.report("state") == "replaying", 30, "the replay")
        b.wait_for(lambda: b.report("state") == "ended", 60, "the end of the replay")
        self.assertEqual(b.report("replay")["outcome"], "The run has played.")
        self.assertEqual(b.console_errors(), [])
        return b.report("frames")

    def test_share_runs_link_replays_the_game_frame_for_frame_as_the_lab_does(self):
        b = self.browser
        b.cdp("Browser.grantPermissions", origin=self.server.url.rstrip("/"),
              permissions=["clipboardReadWrite", "clipboardSanitizedWrite"])
        b.open(self.server.url + "?mute=1")
        b.wait_for(lambda: (b.report("framesPlayed") or 0) > 5, 30, "the game")
        self.hold("ArrowRight", 20)
        self.hold("KeyZ", 10)
        self.hold("ArrowDown", 15)
        self.hold("Escape", 3)  # the scope view, and from its 31st frame on Escape quits
        self.hold("ArrowRight", 35)
        self.key("rawKeyDown", "Escape")
        b.wait_for(lambda: b.report("state") == "ended", 10, "the end screen")
        self.key("keyUp", "Escape")
        seed, clock, frames, keys = (b.report(name) for name in ("seed", "clock", "framesPlayed", "keyScript"))
        self.assertGreaterEqual(keys.count("\n"), 6, keys)

        b.driver.find_element("css selector", '#card [data-action="shareRun"]').click()
        b.wait_for(lambda: "copied" in b.driver.find_element("id", "notice").text, 10, "a word that it was copied")
        link = b.driver.execute_async_script("navigator.clipboard.readText().then(arguments[0])")
        self.assertRegex(link, "^" + self.server.url + "#run=[A-Za-z0-9_-]+$")

        b.open(link)
        b.wait_for(lambda: b.report("state") in ("run-ready", "refused"), 30, "the run's card")
        self.assertEqual(b.report("runError"), None)
        self.assertIn(f"Replay: run of song {seed} from page vonkel", b.driver.find_element("id", "card").text)
        b.driver.find_element("id", "overlay").click()
        got = self.replay_to_the_end()
        self.assertIsNone(b.report("replay")["summary"], "a link has no digests to check")
        lab = LabRun(LAB, seed, clock, keys, frames)
        self.assertTrue(lab.trace[-1]["quit"])
        self.assertEqual(len(got), frames)
        for want, have in zip(lab.expected_frames(), got):
            self.assertEqual(have, want, f"frame {want['frame']}")

    def test_a_three_minute_games_link_stays_under_4000_characters(self):
        """11250 frames of 16 ms, the held keys changing every 10 frames or so."""
        rng = random.Random(1)
        lines, frame, last = [], 0, None
        while frame < 11250:
            keys = rng.choice(HELD)
            if rng.random() < 0.3:
                keys = "z" if keys == "-" else keys + ",z"
            if keys != last:
                lines.append(f"{frame} {keys}")
                last = keys
            frame += rng.randint(1, 19)
        b = self.browser
        b.open(page_url(self.server.url, 1712345678, 123456789, 11250, "\n".join(lines)))
        b.wait_for(lambda: b.report("state") == "ended", 120, "the key script")
        link = self.own_link()
        print(f"\n3-minute game, {len(lines)} key changes: a link of {len(link)} characters")
        self.assertLess(len(link), 4000)

    def test_a_desktop_run_opened_as_a_file_plays_with_its_sound(self):
        with open(os.path.join(HERE, "scripts", "steer_boost_pickups.keys")) as f:
            keys = f.read()
        lab = LabRun(LAB, 4, 5000, keys, 300)
        blocks = len(lab.samples) // 2048
        folder = tempfile.TemporaryDirectory(prefix="vonkel-runs-")
        self.addCleanup(folder.cleanup)
        path = os.path.join(folder.name, "desktop.vonkelrun")
        with open(path, "w") as f:
            f.write(desktop_run(lab, 4, 5000, keys))

        b = self.browser
        b.open(self.server.url + "?seed=1")
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
        b.driver.find_element("id", "overlay").click()
        b.wait_for(lambda: (b.report("audio") or {}).get("received", 0) > 0, 20, "the sound")
        received = b.report("audio")["received"]
        b.driver.find_element("id", "run-file").send_keys(path)
        b.wait_for(lambda: b.report("state") == "replaying", 10, "the replay")
        self.assertEqual(b.driver.find_element("id", "replay-note").text,
                         "Replay: run of song 4 from desktop vonkel 1.1.0 (Esc or a click stops it)")
        got = self.replay_to_the_end()
        self.assertEqual(got, lab.expected_frames())
        self.assertEqual(b.report("replay")["summary"], f"no picture digests, sound blocks equal {blocks} of {blocks}"
                         f" ({blocks // 5} blocks rendered while a frame ran); no difference")
        self.assertIn(b.report("replay")["summary"], b.driver.find_element("id", "card").text)
        b.wait_for(lambda: b.report("audio")["received"] - received >= blocks * 512, 5,
                   "the run's sound in the worklet")


class BadRuns(PageTestCase):
    def test_bad_runs_say_why_inside_the_layout_and_the_page_recovers(self):
        b = self.browser
        b.cdp("Emulation.setDeviceMetricsOverride", width=320, height=568, deviceScaleFactor=2, mobile=True)
        b.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.addCleanup(b.cdp, "Emulation.setTouchEmulationEnabled", enabled=False)
        self.addCleanup(b.cdp, "Emulation.clearDeviceMetricsOverride")
        folder = tempfile.TemporaryDirectory(prefix="vonkel-runs-")
        self.addCleanup(folder.cleanup)

        said = [None]

        def refused(what):
            b.wait_for(lambda: b.report("state") == "refused" and b.report("runError") != said[0], 20,
                       f"the refusal of {what}")
            line = said[0] = b.report("runError")
            picture, shown = b.box("#screen"), b.box("#card .refusal")
            self.assertTrue(shown["left"] >= picture["left"] and shown["right"] <= picture["right"]
                            and shown["top"] >= picture["top"] and shown["bottom"] <= picture["bottom"],
                            f"{line!r} {shown} inside the picture {picture}")
            self.assertEqual(b.driver.find_element("css selector", "#card .refusal").text, line)
            return line

        run = "vonkel-run 1\nseed 1\nfrom desktop vonkel 1.1.0\nframes 3\nkey 1 up\nend\n"
        schedule = base64.urlsafe_b64encode(bytes([1 << 2, 12]) + bytes([0, 12]) * 2999).decode().rstrip("=")
        hostile = run.replace("end\n", "".join(f"block {schedule[i:i + 76]}\n" for i in range(0, len(schedule), 76))
                              + "end\n")  # 3000 blocks of 12 ms before frame 0
        files = {
            "cut.vonkelrun": (run[:run.index("end")].encode(), "line 6: the run is cut short (no 'end' line)"),
            "future.vonkelrun": (run.replace("vonkel-run 1", "vonkel-run 2").encode(),
                                 "line 1: this run is version 2; this vonkel reads version 1"),
            "garbage.vonkelrun": (bytes(random.Random(2).randrange(256) for _ in range(5000)),
                                  "line 1: a character that is not printable ASCII"),
            "huge.vonkelrun": (b"#" * (17 << 20), "larger than 16 MiB: not a run this vonkel reads"),
            "hostile.vonkelrun": (hostile.encode(), "3000 sound blocks (34.8 s) before frame 0: more than this page"
                                  " renders between two frames (2048 blocks, 23.8 s)"),
        }
        b.open(self.server.url + "?seed=7")
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
        for name, (content, reason) in files.items():
            path = os.path.join(folder.name, name)
            with open(path, "wb") as f:
                f.write(content)
            b.driver.find_element("id", "run-file").send_keys(path)
            self.assertEqual(refused(name), f"Cannot play {name}: {reason}")

        bomb = zlib.compressobj(9, zlib.DEFLATED, -15)
        bomb = bomb.compress(b"#" * (17 << 20)) + bomb.flush()
        links = {
            "#run=" + base64.urlsafe_b64encode(bomb).decode().rstrip("="):
                "larger than 16 MiB: not a run this vonkel reads",
            "#run=AAAA": "its run does not inflate (the link is damaged or cut short)",
            "#run=a+b": "not a run link (its data is not base64url)",
        }
        for fragment, reason in links.items():
            b.open(self.server.url + fragment)
            self.assertEqual(refused(fragment[:20]), f"Cannot play the link: {reason}")
        # A tap starts a new game.
        overlay = b.box("#overlay")
        point = (1, overlay["left"] + overlay["width"] / 2, overlay["top"] + overlay["height"] / 2)
        b.touch("touchStart", point)
        b.touch("touchEnd", point)
        b.wait_for(lambda: b.report("state") == "playing", 10, "a new game")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
