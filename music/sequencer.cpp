#include "music/sequencer.h"

#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"
#include "music/harmony.h"
#include "music/patterns.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

constexpr int kDrumNote = 50;

void trigger(World& world, int voice, int noteIndex) { triggerVoice(world.voices[voice], notePeriod(world, noteIndex)); }
void release(World& world, int voice) { releaseVoice(world.voices[voice]); }

// The pitch of melody position n over the current chord: positions count
// the chord's tones upward from the root; negative positions sound the root.
int melodyNoteIndex(const World& world, int n) {
    const int quality = clampInt(world.currentQuality, 0, kChordQualities - 1);
    int size = world.chords.chordSizes[quality];
    if (size < 1 || size > 6) size = 3;
    const int octave = n / size;
    const int interval = n >= 0 ? world.chords.chordIntervals[quality][n % size].load() : 0;
    return 24 + 12 * octave + interval + world.currentRoot;
}

void playMelody(World& world, int s) {
    release(world, VoiceRole::Melody);
    int length = world.melodyLength;
    if (length < 1 || length > kPatternSteps) length = kPatternSteps;
    const int n = world.melodyPattern[s % length];
    if (n != -1) trigger(world, VoiceRole::Melody, melodyNoteIndex(world, n));
}

void playDrums(World& world, int s) {
    release(world, VoiceRole::Kick);
    const int d = world.drumPattern[s];
    if (d & 1) trigger(world, VoiceRole::Kick, kDrumNote);
    if (d & 2) trigger(world, VoiceRole::NoiseHits, kDrumNote);
    release(world, VoiceRole::NoiseHits);  // noise hits attack and decay together
}

void playBass(World& world, int s) {
    if (s % 4 == 0) {
        trigger(world, VoiceRole::Bass, 12 + world.currentRoot);
        world.beatFlag = true;
    } else if (s % 4 == 2) {
        if (world.bassOffbeat)
            trigger(world, VoiceRole::Bass, 24 + world.currentRoot);
        else
            release(world, VoiceRole::Bass);
    }
}

void playChordTone(World& world, int s, Random& random) {
    if (s == 0) {
        if (random.draw() % 4 == 0 || world.barIndex == 0) {
            const int quality = clampInt(world.currentQuality, 0, kChordQualities - 1);
            const int interval = world.chords.chordIntervals[quality][random.draw() % 3];
            trigger(world, VoiceRole::ChordTone, 36 + interval + world.currentRoot);
        }
    } else if (s == 3) {
        release(world, VoiceRole::ChordTone);
    }
}

// At a phrase end the progression may move by a semitone (one shift for all
// four bars) and take new qualities; a root pushed below 0 is drawn anew.
void maybeTranspose(World& world, Random& random) {
    if (random.draw() % 5 != 0) return;
    const int shift = random.draw() % 3 - 1;
    for (int b = 0; b < 4; ++b) {
        world.barQualities[b] = random.draw() % 3;
        int root = world.barRoots[b] + shift;
        if (root < 0) root = random.draw() % 12;
        world.barRoots[b] = root;
    }
}

void endBar(World& world, Random& random) {
    world.stepIndex = 0;
    int bar = clampInt(world.barIndex, 0, 3) + 1;
    world.barIndex = bar;
    if (random.draw() % 3 == 0 && bar < 4) makeMelodyPattern(world, random);
    if (bar >= 4) {
        makeMelodyPattern(world, random);
        bar = 0;
        world.barIndex = 0;
        if (random.draw() % 3 == 0) world.bassOffbeat = !world.bassOffbeat;
        maybeTranspose(world, random);
        if (random.draw() % 2 == 1) makeDrumPattern(world, random);
    }
    world.currentQuality = world.barQualities[bar].load();
    world.currentRoot = world.barRoots[bar].load();
}

}  // namespace

void sequencerStep(World& world, Random& random) {
    const int s = clampInt(world.stepIndex, 0, kPatternSteps - 1);
    playMelody(world, s);
    playDrums(world, s);
    playBass(world, s);
    playChordTone(world, s, random);
    if (s + 1 < kPatternSteps)
        world.stepIndex = s + 1;
    else
        endBar(world, random);
}

}  // namespace vonkel
