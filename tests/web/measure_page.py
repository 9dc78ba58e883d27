"""Measures the page in headless Chromium (figures for the notes, not a
test): compressed size, load to first frame, frame work time, and the
synthesiser's speed in wasm against vonkel-lab's native one.

    /usr/bin/python3 tests/web/measure_page.py [SECONDS]
"""
import gzip
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from browser import LAB, SITE, Browser, StaticServer
from test_lab_equality import page_url



def shipped():
    """Every file the page ships: the service worker and the files it keeps."""
    with open(os.path.join(SITE, "service_worker.js")) as f:
        kept = re.findall(r"'([^']+)'", re.search(r"const kFiles = \[(.*)\];", f.read()).group(1))
    return ["service_worker.js"] + [name for name in kept if name != "./"]


def compressed_size():
    total = 0
    for name in shipped():
        with open(os.path.join(SITE, name), "rb") as f:
            total += len(gzip.compress(f.read(), 9))
    return total


def native_song_seconds(seconds):
    with tempfile.TemporaryDirectory() as folder:
        start = time.perf_counter()
        subprocess.run([LAB, "audio", "--seed", "7", "--seconds", str(seconds), "--out",
                        os.path.join(folder, "song.wav")], check=True)
        return time.perf_counter() - start


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
    print(f"shipped files, gzip -9: {compressed_size() / 1024:.1f} KiB")
    server = StaticServer(SITE)
    browser = Browser()
    try:
        browser.open(server.url + "?mute=1&seed=7")
        browser.wait_for(lambda: browser.report("firstFrameMs") is not None, 30, "the first frame")
        print(f"navigation to module ready: {browser.report('moduleReadyMs'):.0f} ms, "
              f"to first frame: {browser.report('firstFrameMs'):.0f} ms")
        time.sleep(5)
        work = browser.report("workMs")
        print(f"real-time play, work per frame: median {statistics.median(work):.2f} ms, "
              f"max {max(work):.2f} ms over {len(work)} frames")

        keys = "0 right\n100 down,z\n200 left\n300 up,z\n"
        browser.open(page_url(server.url, 7, 0, 3000, keys))
        browser.wait_for(lambda: browser.report("state") == "ended", 120, "the key script")
        work = browser.report("workMs")
        print(f"key script run (flat out), work per frame: median {statistics.median(work):.2f} ms")

        wasm = browser.driver.execute_script(
            "const m = window.vonkelModule; const t = performance.now();"
            f"m._vonkel_render_song(7, {seconds}); return (performance.now() - t) / 1000;")
        native = native_song_seconds(seconds)
        print(f"{seconds:.0f} s of song: wasm {wasm:.2f} s ({seconds / wasm:.0f}x real time), "
              f"native vonkel-lab {native:.2f} s ({seconds / native:.0f}x real time)")
    finally:
        browser.close()
        server.close()


if __name__ == "__main__":
    main()
