#include "tools/lab_reports.h"

#include <vector>

#include "core/world.h"
#include "tools/json_line.h"

namespace vonkel::lab {
namespace {

template <class T, size_t N>
std::vector<int64_t> intsOf(const T (&values)[N]) {
    std::vector<int64_t> out;
    out.reserve(N);
    for (const auto& v : values) out.push_back(static_cast<int64_t>(v.load()));
    return out;
}

template <class T, size_t N>
std::vector<float> floatsOf(const T (&values)[N]) {
    std::vector<float> out;
    out.reserve(N);
    for (const auto& v : values) out.push_back(v.load());
    return out;
}

}  // namespace

std::string songJson(const World& world, int nextDraw) {
    std::string voices = "[";
    for (int i = 0; i < kVoiceCount; ++i) {
        const Voice& v = world.voices[i];
        JsonLine line;
        line.number("highLevel", v.highLevel)
            .number("lowLevel", v.lowLevel)
            .number("highSlope", v.highSlope)
            .number("lowSlope", v.lowSlope)
            .integer("noise", v.noise ? 1 : 0)
            .number("attackStep", v.attackStep)
            .number("decayStep", v.decayStep)
            .number("cutoff", v.cutoff)
            .number("damping", v.damping)
            .number("pulseWidth", v.pulseWidth)
            .number("amplitude", v.amplitude);
        if (i != 0) voices += ',';
        voices += line.str();
    }
    voices += ']';

    JsonLine json;
    json.number("terrainTime", world.terrainTime)
        .number("animTime", world.animTime)
        .number("masterGain", world.masterGain)
        .integer("chunksPerStep", world.chunksPerStep)
        .integer("chunkCounter", world.chunkCounter)
        .integer("bassOffbeat", world.bassOffbeat ? 1 : 0)
        .integers("barRoots", intsOf(world.barRoots))
        .integers("barQualities", intsOf(world.barQualities))
        .integer("currentRoot", world.currentRoot)
        .integer("currentQuality", world.currentQuality)
        .integer("stepIndex", world.stepIndex)
        .integer("barIndex", world.barIndex)
        .integers("melodyPattern", intsOf(world.melodyPattern))
        .integer("melodyLength", world.melodyLength)
        .integers("drumPattern", intsOf(world.drumPattern))
        .raw("voices", voices)
        .numbers("notePeriods", floatsOf(world.NotePeriodTable))
        .integer("nextDraw", nextDraw);
    return json.str();
}

std::string traceJson(const World& world, const lockstep::FrameRecord& record) {
    std::string pickups = "[";
    bool first = true;
    for (size_t slot = 0; slot < world.pickups.size(); ++slot) {
        const Pickup& p = world.pickups[slot];
        if (!p.active) continue;
        if (!first) pickups += ',';
        first = false;
        pickups += '[' + std::to_string(slot) + ',' + std::to_string(p.column) + ',' + std::to_string(p.row) + ']';
    }
    pickups += ']';

    JsonLine json;
    json.integer("frame", record.frame)
        .integer("time", record.timeMs)
        .boolean("quit", record.quit)
        .integer("playerX", world.playerX)
        .integer("playerY", world.playerY)
        .integer("playerDirection", world.playerDirection)
        .integer("energy", world.energy)
        .integer("boostFuel", world.boostFuel)
        .integer("score", world.score)
        .integer("frameCounter", world.frameCounter)
        .integer("gameOverCounter", world.gameOverCounter)
        .integer("scopeMode", world.scopeMode ? 1 : 0)
        .integer("tileOrientation", world.tileOrientation)
        .number("terrainTime", world.terrainTime)
        .number("terrainSpeed", world.terrainSpeed)
        .number("animTime", world.animTime)
        .number("masterGain", world.masterGain)
        .integer("beatFlag", world.beatFlag ? 1 : 0)
        .integer("stepIndex", world.stepIndex)
        .integer("barIndex", world.barIndex)
        .integer("currentRoot", world.currentRoot)
        .integer("currentQuality", world.currentQuality)
        .raw("pickups", pickups)
        .digest("grid", record.grid)
        .digest("framebuffer", record.framebuffer);
    return json.str();
}

std::string terrainText(const World& world) {
    std::string text;
    int64_t counts[3] = {0, 0, 0};
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            const int32_t kind = world.TerrainGrid[static_cast<size_t>(row * kGridColumns + column)];
            if (kind >= 0 && kind <= 2) {
                ++counts[kind];
                text += static_cast<char>('0' + kind);
            } else {
                text += '?';  // never a kind of the field; shown rather than hidden
            }
        }
        text += '\n';
    }
    text += "counts: " + std::to_string(counts[0]) + ' ' + std::to_string(counts[1]) + ' ' +
            std::to_string(counts[2]) + '\n';
    return text;
}

}  // namespace vonkel::lab
