#include "music/patterns.h"

#include "core/random.h"
#include "core/world.h"

namespace vonkel {

void makeDrumPattern(World& world, Random& random) {
    for (int i = 0; i < kPatternSteps; ++i) {
        const int beatPosition = i % 4;
        int entry = 0;
        if (beatPosition == 0) {
            entry = 1;  // kick on every beat
        } else if (beatPosition == 2 && random.draw() % 6 != 0) {
            entry |= 2;  // noise between the beats, 5 times in 6
        }
        if (beatPosition == 2 && random.draw() % 6 == 0) entry |= 1;
        if (beatPosition == 0 && random.draw() % 8 == 0) entry |= 2;
        world.drumPattern[i] = entry;
    }
}

// The melody holds chord-tone positions, not pitches: a walk that moves one
// position per note and, on a beat, may jump back to where it stood at the
// previous beat. A note written while the walk stands at -1 is a rest.
void makeMelodyPattern(World& world, Random& random) {
    int walk = random.draw() % 7 - 3;
    int saved = walk;
    for (int i = 0; i < kPatternSteps; ++i) {
        const bool onBeat = i % 4 == 0;
        bool note = false;
        if (onBeat) note = random.draw() % 101 < 90;
        if (!note && i % 2 == 0) note = random.draw() % 101 < 75;
        if (!note) note = random.draw() % 101 < 15;
        if (onBeat) {
            if (random.draw() % 3 == 0) walk = saved;
            saved = walk;
        }
        int entry = -1;
        if (note) {
            entry = walk;
            walk += random.draw() % 2 == 0 ? -1 : 1;
        }
        world.melodyPattern[i] = entry;
    }
    world.melodyLength = (random.draw() % 4) * 8 + 8;
}

}  // namespace vonkel
