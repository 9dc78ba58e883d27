#include "game/player.h"

#include "core/keys.h"
#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"
#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

constexpr int kMaxX = 312;
constexpr int kMaxY = 232;
constexpr int kMaxEnergy = 120;
constexpr uint32_t kPlayerColour = 0xC0FFFF;

int terrainKindAt(const World& world, int cell) {
    if (cell < 0 || cell >= kGridCells) return 0;
    return world.TerrainGrid[static_cast<size_t>(cell)];
}

// Up, Right, Down, Left in this order: a later key overrides an earlier one.
int heldDirection(const KeyState& keys) {
    int d = -1;
    if (keys.isKeyDown(ScanCode::Up)) d = 0;
    if (keys.isKeyDown(ScanCode::Right)) d = 1;
    if (keys.isKeyDown(ScanCode::Down)) d = 2;
    if (keys.isKeyDown(ScanCode::Left)) d = 3;
    return d;
}

void startGameOver(World& world) {
    world.energy = 0;
    world.gameOverCounter = 1;
    Voice& drone = world.voices[VoiceRole::Drone];
    drone.amplitude = 0.15f;
    drone.period = 150.0f;
    setVoiceTone(world, VoiceRole::Drone, 0.8f, 0.7f, 0.0f);
}

}  // namespace

int playerCellOf(int playerX, int playerY) { return ((playerY + 4) / 8) * kGridColumns + (playerX + 4) / 8; }

void updatePlayer(World& world, const KeyState& keys) {
    const int kind = terrainKindAt(world, world.playerCell);  // the field on screen
    int stepLength = (kind != TerrainKind::Calm && world.frameCounter % 2 != 0) ? 0 : 1;

    Voice& drone = world.voices[VoiceRole::Drone];
    if (kind == TerrainKind::Hazard) {
        world.energy -= 1;
        drone.amplitude = 0.25f;
        drone.period = static_cast<float>(5000 + world.mainRandom.draw() % 2001);
        setVoiceTone(world, VoiceRole::Drone, 0.35f, 0.9f, 0.0f);
    } else {
        drone.amplitude = 0.0f;
    }
    if (kind == TerrainKind::Calm) world.energy += 1;

    const int d = heldDirection(keys);
    const bool action = keys.isKeyDown(ScanCode::Z) || keys.isKeyDown(ScanCode::Enter);
    if (action && world.boostFuel >= 1) {
        stepLength = 2;
        if (d != -1) world.boostFuel -= 1;
    }
    // A turn first completes one step in the old direction.
    if (d != -1) {
        const int facing = wrapIndex(world.playerDirection, 4);
        world.playerX += kDirectionDx[facing] * stepLength;
        world.playerY += kDirectionDy[facing] * stepLength;
        world.playerDirection = d;
    }
    world.playerX = clampInt(world.playerX, 0, kMaxX);
    world.playerY = clampInt(world.playerY, 0, kMaxY);

    if (world.energy > kMaxEnergy) world.energy = kMaxEnergy;
    if (world.energy < 0) startGameOver(world);
}

// In the first frame of a game, a player who starts on a hazard cell is
// moved to a random grid position off the hazard. The number of tries is
// bounded so that a field of nothing but hazard could never hang the game.
void placePlayerAtStart(World& world) {
    if (world.frameCounter != 1) return;
    int cell = world.playerCell;
    for (int tries = 0; tries < 1000000 && terrainKindAt(world, cell) == TerrainKind::Hazard; ++tries) {
        world.playerX = (world.mainRandom.draw() % 34) * 8 + 24;
        world.playerY = (world.mainRandom.draw() % 24) * 8 + 24;
        cell = playerCellOf(world.playerX, world.playerY);
    }
}

void drawPlayer(World& world) {
    drawGlyph(world, playerGlyph, kPlayerColour, world.playerX, world.playerY, world.playerDirection);
}

}  // namespace vonkel
