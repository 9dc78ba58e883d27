#pragma once
// The frame update's parts that tests and the lab reach for; a host calls
// updateFrame (game/game.h).
namespace vonkel {

struct World;

// The pace the game asks for: every frame lasts at least 10 ms, a scope-view
// frame 15 ms more; and no frame is shorter than kMinFrameMs (game/game.h).
// So a frame lasts 16 ms in play and 25 ms in the scope view.
constexpr int kFramePaceMs = 10;
constexpr int kScopePaceMs = 15;

void drawHud(World& world);
void drawScope(World& world);

// The lead voice's slow sweep, done once per frame in every mode:
// animTime += 0.01, then voice 0's tone from sin/cos of animTime.
void sweepLeadVoice(World& world);

}  // namespace vonkel
