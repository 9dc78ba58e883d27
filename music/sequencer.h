#pragma once
namespace vonkel {

struct World;

// Plays one step of the bar on the melody, kick, noise, bass and chord-tone
// voices, signals the beat, and moves the song on at bar and phrase ends.
// Audio thread only.
void sequencerStep(World& world);

}  // namespace vonkel
