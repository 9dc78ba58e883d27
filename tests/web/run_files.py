"""Run files (.vonkelrun, lockstep/run_file.h) for the page's tests, written
from the format's description: a desktop run made from a lab run, so that
the page's replay of it can be held against the lab's trace and WAV."""
import base64
import struct

MASK64 = (1 << 64) - 1
LANE_START = 0x9E3779B97F4A7C15
LANE_MULTIPLIER = 0xD6E8FEB86659FD93


def _mix64(x):
    x = ((x ^ (x >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
    x = ((x ^ (x >> 27)) * 0x94D049BB133111EB) & MASK64
    return x ^ (x >> 31)


def digest32(words):
    """The run file's 32-bit digest of a list of 32-bit words (lockstep/digests.h)."""
    lanes = [(i + 1) * LANE_START & MASK64 for i in range(4)]
    for j in range((len(words) + 1) // 2):
        high = words[2 * j + 1] if 2 * j + 1 < len(words) else 0
        x = ((lanes[j % 4] ^ (words[2 * j] | high << 32)) * LANE_MULTIPLIER) & MASK64
        lanes[j % 4] = ((x << 31) | (x >> 33)) & MASK64
    h = len(words)
    for lane in lanes:
        h = _mix64(h ^ lane)
    return (h ^ (h >> 32)) & 0xFFFFFFFF


def _varint(value):
    out = bytearray()
    while value >= 0x80:
        out.append(value & 0x7F | 0x80)
        value >>= 7
    out.append(value)
    return bytes(out)


def _section(keyword, data):
    text = base64.urlsafe_b64encode(data).decode().rstrip("=")
    return [f"{keyword} {text[i:i + 76]}" for i in range(0, len(text), 76)]


def key_lines(keys_text, frames):
    """A key script's changes before frame `frames` as a run's key lines."""
    lines = []
    for line in keys_text.splitlines():
        line = line.strip()
        if line and not line.startswith("#") and int(line.split()[0]) < frames:
            lines.append("key " + line)
    return lines


def desktop_run(lab, seed, clock, keys_text, overlapped_every=5, origin="desktop vonkel 1.1.0"):
    """The run of a lab run (lab_reference.LabRun) as the desktop writes one:
    no clock line, the blocks as a schedule (each block before the first
    frame that starts at or after it, with the lab's clock values, every
    `overlapped_every`-th marked as rendered while the frame before it ran)
    and a sound digest per block, so that its replay plays the lab's frames
    and samples."""
    frames = len(lab.trace)
    blocks = len(lab.samples) // (4 * 512)
    schedule = bytearray()
    sounds = bytearray()
    frame = step = previous_clock = 0
    for k in range(blocks):
        while lab.trace[frame]["time"] * 44100 < k * 512 * 1000:
            frame += 1
        overlapped = k % overlapped_every == overlapped_every - 1
        clock_ms = (clock + k * 512 * 1000 // 44100) & 0xFFFFFFFF
        schedule += _varint((frame + 1 - step) << 2 | overlapped << 1)
        schedule += _varint((clock_ms - previous_clock) & 0xFFFFFFFF)
        step, previous_clock = frame + 1, clock_ms
        words = struct.unpack_from("<512I", lab.samples, k * 2048)
        sounds += struct.pack("<I", digest32(words))
    lines = ["# made by the page's tests from a lab run", "vonkel-run 1", f"seed {seed}", f"from {origin}",
             f"frames {frames}"]
    if lab.trace[-1]["quit"]:
        lines.append("quit")
    lines += key_lines(keys_text, frames) + _section("block", schedule) + _section("sound", sounds) + ["end"]
    return "\n".join(lines) + "\n"
