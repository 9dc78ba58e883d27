#pragma once
// The two pattern generators: drums (always 24 draws) and melody (a walk of
// chord-tone positions with a loop length).
namespace vonkel {

struct World;

void makeDrumPattern(World& world);
void makeMelodyPattern(World& world);

}  // namespace vonkel
