#include "music/harmony.h"

#include "core/random.h"
#include "core/world.h"
#include "music/patterns.h"

namespace vonkel {
namespace {

constexpr double kLowestPitch = 27.5;           // the A of index 0
constexpr double kSemitone = 1.05946309436;     // 2^(1/12), applied in succession
constexpr double kInternalRate = 176400.0;

constexpr int kChordRows[kChordQualities][3] = {
    {0, 4, 7},  // major
    {0, 3, 7},  // minor
    {0, 5, 7},  // suspended fourth
};

void fillNotePeriodTable(World& world) {
    double pitch = kLowestPitch;
    for (int k = 0; k < kNoteCount; ++k) {
        world.NotePeriodTable[k] = static_cast<float>(kInternalRate / pitch);
        pitch *= kSemitone;
    }
}

void fillChordTable(World& world) {
    for (int q = 0; q < kChordQualities; ++q) {
        world.chords.chordSizes[q] = 3;
        for (int slot = 0; slot < 6; ++slot) world.chords.chordIntervals[q][slot] = slot < 3 ? kChordRows[q][slot] : 0;
    }
}

}  // namespace

void resetSong(World& world, Random& random) {
    fillNotePeriodTable(world);
    fillChordTable(world);
    makeMelodyPattern(world, random);
    for (int b = 0; b < 4; ++b) {
        world.barQualities[b] = random.draw() % 3;
        world.barRoots[b] = random.draw() % 12;
    }
    world.chunkCounter = 0;
    world.chunksPerStep = random.draw() % 11 + 37;
    world.stepIndex = 0;
    world.barIndex = 0;
    world.currentRoot = world.barRoots[0].load();
    world.currentQuality = world.barQualities[0].load();
    world.bassOffbeat = random.draw() % 2 == 1;
    makeDrumPattern(world, random);
}

int noteIndexInTable(int index) {
    if (index < 0) index += 12 * ((-index + 11) / 12);
    if (index >= kNoteCount) index -= 12 * ((index - kNoteCount) / 12 + 1);
    return index;
}

float notePeriod(const World& world, int index) { return world.NotePeriodTable[noteIndexInTable(index)]; }

}  // namespace vonkel
