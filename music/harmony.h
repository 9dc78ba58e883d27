#pragma once
// Note periods, chord shapes and the start of a new song.
namespace vonkel {

struct World;
class Random;

// Fills the tables, composes a new progression, tempo, bass style and
// patterns, and puts the song at its first step (main thread; draws from
// `random`, the main generator).
void resetSong(World& world, Random& random);

// The period of note `index`, with an index outside the table moved by whole
// octaves into it so that it keeps its pitch class.
float notePeriod(const World& world, int index);
int noteIndexInTable(int index);

}  // namespace vonkel
