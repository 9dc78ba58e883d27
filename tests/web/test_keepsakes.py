"""What a visitor takes away: the shared link opens the same song, Save
song downloads the lab's WAV file byte for byte, the screenshot holds the
lab's picture, and a clip holds pictures and sound."""
import os
import re
import subprocess
import tempfile
import time
import unittest

from browser import HERE, LAB, PageTestCase
from lab_reference import LabRun
from png_pixels import png_rgb
from test_lab_equality import page_url

CAPTURE_NAME = r"vonkel-\d{8}-\d{6}-song-(\d+)\.(png|webm|mp4)"


class Keepsakes(PageTestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="vonkel-downloads-")
        self.addCleanup(folder.cleanup)
        self.downloads = folder.name
        self.browser.allow_downloads(self.downloads)

    def press(self, action):
        self.browser.driver.find_element("css selector", f'#panel [data-action="{action}"]').click()

    def downloaded(self, timeout=60):
        name = self.browser.wait_for_download(self.downloads, timeout)
        with open(os.path.join(self.downloads, name), "rb") as f:
            return name, f.read()

    def run_script(self, seed, clock, frames, script_name):
        with open(os.path.join(HERE, "scripts", script_name)) as f:
            keys = f.read()
        b = self.browser
        b.open(page_url(self.server.url, seed, clock, frames, keys))
        b.wait_for(lambda: b.report("state") == "ended", 120, "the key script")
        return keys

    def test_the_shared_link_opens_the_song_playing(self):
        b = self.browser
        b.cdp("Browser.grantPermissions", origin=self.server.url.rstrip("/"),
              permissions=["clipboardReadWrite", "clipboardSanitizedWrite"])
        # A game over and a new game: the song playing is no longer the seed's.
        self.run_script(11, 5000, 700, "game_over_restart.keys")
        song = b.report("song")
        self.assertNotEqual(song, 11)
        self.assertEqual(b.driver.find_element("id", "song").text, str(song), "the number beside the picture")
        self.press("share")
        b.wait_for(lambda: "copied" in b.driver.find_element("id", "notice").text, 10, "a word that it was copied")
        link = b.driver.execute_async_script("navigator.clipboard.readText().then(arguments[0])")
        self.assertEqual(link, f"{self.server.url}?seed={song}")

        b.open(link)
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
        self.assertIn(f"song {song}", b.driver.find_element("id", "card").text)
        b.driver.find_element("id", "overlay").click()
        b.wait_for(lambda: len(b.report("frames") or []) >= 60, 30, "60 frames")
        self.assertEqual(b.report("seed"), song)
        lab = LabRun(LAB, song, b.report("clock"), b.report("keyScript"), 60)
        self.assertEqual(b.report("frames")[:60], lab.expected_frames())

    def test_save_song_downloads_the_labs_wav_while_the_game_plays(self):
        b = self.browser
        b.open(self.server.url + "?seed=123456789&mute=1")
        b.wait_for(lambda: (b.report("framesPlayed") or 0) > 5, 30, "the game")
        self.press("save")
        name, wav = self.downloaded()
        self.assertEqual(name, "vonkel-song-123456789.wav")
        lab = subprocess.run([LAB, "audio", "--seed", "123456789", "--seconds", "60", "--out", "-"],
                             capture_output=True, check=True).stdout
        self.assertEqual(len(wav), len(lab))
        self.assertTrue(wav == lab, "the page's WAV file is the lab's, byte for byte")
        self.assertGreater(b.report("framesWhileSaving"), 0, "frames go on while the song renders")

    def test_the_screenshot_is_the_labs_shot_of_the_frame(self):
        b = self.browser
        keys = self.run_script(4, 5000, 301, "steer_boost_pickups.keys")
        self.press("shot")
        name, png = self.downloaded()
        self.assertRegex(name, CAPTURE_NAME)
        self.assertEqual(int(re.match(CAPTURE_NAME, name).group(1)), b.report("song"))
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([LAB, "play", "--seed", "4", "--clock", "5000", "--frames", "301", "--keys", "/dev/stdin",
                            "--shots", folder, "--every", "300"], input=keys.encode(), check=True)
            with open(os.path.join(folder, "frame-000300.png"), "rb") as f:
                lab = png_rgb(f.read())
        page = png_rgb(png)
        self.assertEqual(page[:2], (640, 480))
        self.assertTrue(page == lab, "the page's screenshot has the lab's pixels")

    def test_a_clip_holds_the_pictures_and_the_sound(self):
        b = self.browser
        b.open(self.server.url + "?seed=7")
        b.wait_for(lambda: b.report("state") == "ready", 30, "the start screen")
        if b.driver.execute_script("return document.querySelector('#panel [data-action=clip]').hidden"):
            self.skipTest("this browser records no clips")
        b.driver.find_element("id", "overlay").click()
        b.wait_for(lambda: (b.report("audio") or {}).get("played", 0) > 0, 20, "the sound")
        self.press("clip")
        started = time.monotonic()
        time.sleep(2)
        self.press("clip")
        recorded = time.monotonic() - started
        name, clip = self.downloaded()
        match = re.match(CAPTURE_NAME, name)
        self.assertTrue(match, name)
        self.assertEqual(match.group(1), "7")
        if match.group(2) == "webm":
            self.assertEqual(clip[:4], b"\x1a\x45\xdf\xa3", "a WebM file")
            self.assertTrue(b"V_VP8" in clip or b"V_VP9" in clip, "with pictures")
            self.assertTrue(b"A_OPUS" in clip, "and sound")
        # The file says how long it is: the length of what it holds, about
        # the time between the presses.
        path = os.path.join(self.downloads, name)
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path],
                               capture_output=True, text=True, check=True).stdout.strip()
        self.assertNotEqual(probe, "N/A", "a duration in the file")
        packets = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "packet=pts_time", "-of", "csv=p=0", path],
                                 capture_output=True, text=True, check=True).stdout.split()
        self.assertAlmostEqual(float(probe), max(map(float, packets)), delta=0.05)
        self.assertAlmostEqual(float(probe), recorded, delta=0.5)


if __name__ == "__main__":
    unittest.main()
