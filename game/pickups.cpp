#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"
#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/player.h"

namespace vonkel {
namespace {

constexpr int kChimeNote = 80;
constexpr int kMaxBoostFuel = 60;

bool onHazard(const World& world, const Pickup& pickup) {
    return world.TerrainGrid[static_cast<size_t>(pickup.row * kGridColumns + pickup.column)] == TerrainKind::Hazard;
}

// Strict overlap of the player's 8 x 8 box with the pickup's cell.
bool touchesPlayer(const World& world, const Pickup& pickup) {
    const int px = 8 * pickup.column;
    const int py = 8 * pickup.row;
    return world.playerX < px + 8 && px < world.playerX + 8 && world.playerY < py + 8 && py < world.playerY + 8;
}

// Attack and decay together: the chime rings up and dies away on its own.
void ringChime(World& world) {
    Voice& chime = world.voices[VoiceRole::Chime];
    if (chime.amplitude == 0.0f) chime.amplitude = 0.01f;
    chime.period = world.NotePeriodTable[kChimeNote].load();
    chime.decaying = true;
    chime.attacking = true;
}

}  // namespace

// One draw every frame; one frame in 16 (every frame in scope mode) the first
// free slot that lands on a hazard cell gets a pickup, trying each free slot
// once with a random cell.
void spawnPickup(World& world) {
    if (world.mainRandom.draw() % 16 != 0 && !world.scopeMode) return;
    for (Pickup& pickup : world.pickups) {
        if (pickup.active) continue;
        pickup.active = true;
        pickup.column = world.mainRandom.draw() % kGridColumns;
        pickup.row = world.mainRandom.draw() % kGridRows;
        if (onHazard(world, pickup)) return;
        pickup.active = false;
    }
}

void updatePickups(World& world) {
    const uint32_t colour = wrapIndex(world.frameCounter, 16) < 8 ? 0xFFC080 : 0xFFFFFF;
    double speed = world.terrainSpeed;  // raised once per pickup, stored once
    for (Pickup& pickup : world.pickups) {
        if (!pickup.active) continue;
        drawGlyph(world, pickupGlyph, colour, 8 * pickup.column, 8 * pickup.row, 0);
        if (!onHazard(world, pickup)) pickup.active = false;  // drawn once more, gone next frame
        if (world.gameOverCounter == 0 && touchesPlayer(world, pickup)) {
            pickup.active = false;
            world.boostFuel += 20;
            world.score += 16;
            speed *= f32(1.02f);
            if (!world.scopeMode) ringChime(world);
        }
    }
    world.terrainSpeed = static_cast<float>(speed);
    if (world.boostFuel > kMaxBoostFuel) world.boostFuel = kMaxBoostFuel;
}

}  // namespace vonkel
