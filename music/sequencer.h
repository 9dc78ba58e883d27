#pragma once
namespace vonkel {

struct World;
class Random;

// Plays one step of the bar on the melody, kick, noise, bass and chord-tone
// voices, signals the beat, and moves the song on at bar and phrase ends.
// Audio thread only: `random` is the audio generator of the block.
void sequencerStep(World& world, Random& random);

}  // namespace vonkel
