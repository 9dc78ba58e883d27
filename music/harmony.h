#pragma once
// Note periods, chord shapes and the start of a new song.
namespace vonkel {

struct World;

// Fills the tables, composes a new progression, tempo, bass style and
// patterns, and puts the song at its first step (main thread; draws from
// the calling thread's generator).
void resetSong(World& world);

// The period of note `index`, with an index outside the table moved by whole
// octaves into it so that it keeps its pitch class.
float notePeriod(const World& world, int index);
int noteIndexInTable(int index);

}  // namespace vonkel
