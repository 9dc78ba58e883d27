#include "music/patterns.h"

#include "app/random.h"
#include "app/world.h"

namespace vonkel {

void makeDrumPattern(World& world) {
    for (int i = 0; i < kPatternSteps; ++i) {
        const int beatPosition = i % 4;
        int entry = 0;
        if (beatPosition == 0) {
            entry = 1;  // kick on every beat
        } else if (beatPosition == 2 && drawRandom() % 6 != 0) {
            entry |= 2;  // noise between the beats, 5 times in 6
        }
        if (beatPosition == 2 && drawRandom() % 6 == 0) entry |= 1;
        if (beatPosition == 0 && drawRandom() % 8 == 0) entry |= 2;
        world.drumPattern[i] = entry;
    }
}

// The melody holds chord-tone positions, not pitches: a walk that moves one
// position per note and, on a beat, may jump back to where it stood at the
// previous beat. A note written while the walk stands at -1 is a rest.
void makeMelodyPattern(World& world) {
    int walk = drawRandom() % 7 - 3;
    int saved = walk;
    for (int i = 0; i < kPatternSteps; ++i) {
        const bool onBeat = i % 4 == 0;
        bool note = false;
        if (onBeat) note = drawRandom() % 101 < 90;
        if (!note && i % 2 == 0) note = drawRandom() % 101 < 75;
        if (!note) note = drawRandom() % 101 < 15;
        if (onBeat) {
            if (drawRandom() % 3 == 0) walk = saved;
            saved = walk;
        }
        int entry = -1;
        if (note) {
            entry = walk;
            walk += drawRandom() % 2 == 0 ? -1 : 1;
        }
        world.melodyPattern[i] = entry;
    }
    world.melodyLength = (drawRandom() % 4) * 8 + 8;
}

}  // namespace vonkel
