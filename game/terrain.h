#pragma once
namespace vonkel {

struct World;

constexpr unsigned kKindColours[3] = {0x80A040, 0x4080A0, 0xA04080};

// Advances the pattern one frame, recomputes every cell and draws the tiles.
void stepTerrain(World& world);

}  // namespace vonkel
