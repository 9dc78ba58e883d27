#pragma once
// The two pattern generators: drums (always 24 draws) and melody (a walk of
// chord-tone positions with a loop length).
namespace vonkel {

struct World;
class Random;

// Both draw from `random`: the main generator in a newGame, the audio
// generator when the sequencer varies the song.
void makeDrumPattern(World& world, Random& random);
void makeMelodyPattern(World& world, Random& random);

}  // namespace vonkel
