#pragma once
namespace vonkel {

struct World;

// A new game with a new song (main thread): resets the player, the terrain,
// the pickups, the voices and the song, drawing from world.mainRandom.
// Records the generator's state beforehand as world.songNumber and counts
// the game in world.gamesStarted.
void newGame(World& world);

}  // namespace vonkel
