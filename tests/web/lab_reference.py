"""What vonkel-lab makes of a seed, a clock and a key script: the trace's
per-frame digests and the samples of its WAV file, for the page to match."""
import json
import os
import struct
import subprocess
import tempfile

FNV_OFFSET = 0xCBF29CE484222325
FNV_PRIME = 0x100000001B3
MASK64 = (1 << 64) - 1


def fnv1a_prefixes(data, ends):
    """The FNV-1a 64 digest of data[:end] for each end in `ends` (ascending)."""
    digests = {}
    h = FNV_OFFSET
    position = 0
    for end in sorted(set(ends)):
        for byte in data[position:end]:
            h = ((h ^ byte) * FNV_PRIME) & MASK64
        position = end
        digests[end] = f"{h:016x}"
    return digests


def wav_float_samples(path):
    """The data chunk of a mono 32-bit float WAV file, as raw bytes."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a WAV file")
    position = 12
    fmt = None
    while position + 8 <= len(blob):
        chunk, size = struct.unpack_from("<4sI", blob, position)
        body = blob[position + 8:position + 8 + size]
        if chunk == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif chunk == b"data":
            if fmt is None or fmt[0] != 3 or fmt[1] != 1 or fmt[2] != 44100 or fmt[5] != 32:
                raise ValueError(f"{path}: expected mono 44100 Hz 32-bit float, got {fmt}")
            return body
        position += 8 + size + (size & 1)
    raise ValueError(f"{path}: no data chunk")


class LabRun:
    """One `vonkel-lab play` run with --trace and --wav."""

    def __init__(self, lab, seed, clock, keys_text, frames):
        with tempfile.TemporaryDirectory(prefix="vonkel-lab-") as folder:
            keys = os.path.join(folder, "keys.txt")
            trace = os.path.join(folder, "trace.jsonl")
            wav = os.path.join(folder, "game.wav")
            with open(keys, "w") as f:
                f.write(keys_text)
            subprocess.run([lab, "play", "--seed", str(seed), "--clock", str(clock), "--frames", str(frames),
                            "--keys", keys, "--trace", trace, "--wav", wav], check=True)
            with open(trace) as f:
                self.trace = [json.loads(line) for line in f]
            self.samples = wav_float_samples(wav)

    @staticmethod
    def samples_by(time_ms):
        """Samples rendered once a frame starting at `time_ms` has begun:
        every 512-sample block k with k x 512 x 1000 / 44100 <= time_ms."""
        return (time_ms * 44100 // (512 * 1000) + 1) * 512

    def expected_frames(self):
        """Per frame: the trace's digests, and the count and digest of the
        WAV's samples rendered up to that frame."""
        counts = [self.samples_by(t["time"]) for t in self.trace]
        digests = fnv1a_prefixes(self.samples, [4 * n for n in counts])
        return [{"frame": t["frame"], "time": t["time"], "quit": t["quit"], "grid": t["grid"],
                 "framebuffer": t["framebuffer"], "samples": n, "sampleHash": digests[4 * n]}
                for t, n in zip(self.trace, counts)]
