#pragma once
namespace vonkel {

struct World;
struct KeyState;

// The shortest frame: a host starts the next frame no sooner than this after
// the start of the last. The sleeps of the frame update may make it longer.
constexpr int kMinFrameMs = 16;

// The host's sleep, in milliseconds. The game sleeps through it, so that a
// host on a simulated clock can count the time instead of spending it.
class Sleeper {
public:
    virtual void sleep(int milliseconds) = 0;

protected:
    ~Sleeper() = default;
};

// Runs frames flat out, as benchmarks and stress tests do.
class NoSleep final : public Sleeper {
public:
    void sleep(int /*milliseconds*/) override {}
};

// One frame of the game: modes, player, terrain, pickups and the whole
// picture. Returns false when the player asks to quit. It sleeps 10 ms in
// every frame and 15 ms more in the scope view.
bool updateFrame(World& world, const KeyState& keys, Sleeper& sleeper);

void drawHud(World& world);
void drawScope(World& world);

// The lead voice's slow sweep, done once per frame in every mode:
// animTime += 0.01, then voice 0's tone from sin/cos of animTime.
void sweepLeadVoice(World& world);

}  // namespace vonkel
