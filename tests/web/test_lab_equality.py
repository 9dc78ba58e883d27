"""The page with ?seed, ?clock and ?keys against vonkel-lab with the same
seed, clock and key script: every frame's time and digests, and every
sample, the same."""
import os
import unittest
import urllib.parse

from browser import HERE, LAB, PageTestCase
from lab_reference import LabRun

# (script, seed, clock, frames): each runs past 600 frames or quits after.
CASES = {
    "steer_boost_pickups": (4, 5000, 720),
    "game_over_restart": (11, 5000, 700),
    "scope_and_quit": (9, 4294967000, 900),  # a clock that wraps during the run
}


def page_url(base, seed, clock, frames, keys_text):
    query = urllib.parse.urlencode({"seed": seed, "clock": clock, "frames": frames, "keys": keys_text},
                                   quote_via=urllib.parse.quote)
    return f"{base}?{query}"


class PageEqualsLab(PageTestCase):
    def run_page(self, seed, clock, frames, keys_text):
        b = self.browser
        b.open(page_url(self.server.url, seed, clock, frames, keys_text))
        b.wait_for(lambda: b.report("state") in ("ended", "error"), 120, "the key script to finish")
        self.assertEqual(b.report("error"), None)
        self.assertEqual(b.console_errors(), [])
        return b.report("frames")

    def check_case(self, name):
        seed, clock, frames = CASES[name]
        with open(os.path.join(HERE, "scripts", name + ".keys")) as f:
            keys_text = f.read()
        lab = LabRun(LAB, seed, clock, keys_text, frames)
        expected = lab.expected_frames()
        self.assertGreaterEqual(len(expected), 600)
        self.assertEqual(len(lab.samples), 4 * expected[-1]["samples"], "the WAV holds the blocks of the run")

        got = self.run_page(seed, clock, frames, keys_text)
        self.assertEqual(len(got), len(expected), "frames played")
        for want, have in zip(expected, got):
            have = {key: have[key] for key in want}
            if have != want:
                self.fail(f"{name}: first difference at frame {want['frame']}:\n lab  {want}\n page {have}")
        return lab

    def test_steering_with_boost_and_pickups(self):
        lab = self.check_case("steer_boost_pickups")
        self.assertGreater(max(t["score"] for t in lab.trace), 0, "the script collects pickups")
        self.assertGreater(max(t["boostFuel"] for t in lab.trace), 0, "the script has fuel to boost with")

    def test_game_over_and_restart(self):
        lab = self.check_case("game_over_restart")
        over = [t["frame"] for t in lab.trace if t["gameOverCounter"] > 0]
        self.assertTrue(over, "the script runs out of energy")
        self.assertEqual(lab.trace[-1]["gameOverCounter"], 0, "and plays on in a new game")

    def test_scope_view_and_quit(self):
        lab = self.check_case("scope_and_quit")
        self.assertTrue(lab.trace[-1]["quit"], "the script quits from the scope view")
        self.assertTrue(any(t["scopeMode"] for t in lab.trace))


if __name__ == "__main__":
    unittest.main()
