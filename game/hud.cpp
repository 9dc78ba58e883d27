#include "core/world.h"
#include "game/frame_update.h"
#include "game/framebuffer.h"

namespace vonkel {

// The status panel near the top centre: energy bar, boost bar and score.
void drawHud(World& world) {
    fillRect(world, 97, 1, 222, 14, 0x000000);
    fillRect(world, 98, 2, 221, 13, 0x4080A0);
    fillRect(world, 99, 3, 220, 6, 0x000000);
    fillRect(world, 100, 4, 99 + world.energy, 5, 0xFFA040);
    fillRect(world, 99, 8, 160, 12, 0x000000);
    fillRect(world, 100, 9, 99 + world.boostFuel, 11, 0xFFFFFF);
    drawNumber(world, world.score, 214, 8, 0xFFFFFF);
}

}  // namespace vonkel
