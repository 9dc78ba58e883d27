#pragma once
namespace vonkel {

struct World;

// A new game with a new song (main thread): resets the player, the terrain,
// the pickups, the voices and the song, drawing from world.mainRandom.
void newGame(World& world);

}  // namespace vonkel
