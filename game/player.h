#pragma once
namespace vonkel {

struct World;
struct KeyState;

constexpr int kDirectionDx[4] = {0, 1, 0, -1};
constexpr int kDirectionDy[4] = {-1, 0, 1, 0};

void updatePlayer(World& world, const KeyState& keys);
void placePlayerAtStart(World& world);
void drawPlayer(World& world);
// The terrain cell under the centre of the player.
int playerCellOf(int playerX, int playerY);

void spawnPickup(World& world);
void updatePickups(World& world);

}  // namespace vonkel
