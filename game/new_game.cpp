#include "game/new_game.h"

#include <atomic>
#include <thread>

#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"
#include "music/harmony.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

// While a restart rewrites the voices and the song, the audio thread skips
// its chunks (see renderAudioBlock); here we wait for the chunk it may be
// in the middle of, which takes microseconds. Only the main thread waits.
class RestartSection {
public:
    explicit RestartSection(RestartGate& gate) : gate_(gate) {
        gate_.restarting.store(true, std::memory_order_seq_cst);
        while (gate_.audioBusy.load(std::memory_order_seq_cst)) std::this_thread::yield();
    }
    ~RestartSection() { gate_.restarting.store(false, std::memory_order_release); }
    RestartSection(const RestartSection&) = delete;
    RestartSection& operator=(const RestartSection&) = delete;

private:
    RestartGate& gate_;
};

}  // namespace

void newGame(World& world) {
    world.songNumber = world.mainRandom.state();
    world.gamesStarted += 1;
    RestartSection section(world.restartGate);

    world.playerX = 156;
    world.playerY = 150;
    world.playerDirection = 0;
    world.energy = 120;
    world.boostFuel = 0;
    world.score = 0;
    world.gameOverCounter = 0;
    const int n = world.mainRandom.draw() % 1001;
    world.TerrainGrid.fill(0);
    world.columnPhase = 0.0f;
    world.rowPhase = 0.0f;
    world.terrainTime = static_cast<float>(n * f32(0.1f));
    for (Pickup& pickup : world.pickups) pickup.active = false;  // column and row stay as they were
    world.terrainSpeed = 0.0003f;
    world.frameCounter = 0;
    presetVoices(world, world.mainRandom);
    const int m = world.mainRandom.draw() % 1001;
    world.animTime = static_cast<float>(m * f32(0.01f));
    resetSong(world, world.mainRandom);
    world.masterGain = 0.2f;
}

}  // namespace vonkel
