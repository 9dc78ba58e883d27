#include "synth/voice.h"

#include <cmath>

#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"

namespace vonkel {

void setVoiceTone(World& world, int index, float brightness, float resonance, float pulseWidth) {
    if (index < 0 || index >= kVoiceCount) return;
    Voice& voice = world.voices[index];
    const double b = brightness;
    voice.pulseWidth = pulseWidth;
    voice.cutoff = static_cast<float>((b * b * 1000 + 1) * f32(0.00002f));
    voice.damping = static_cast<float>((1 - std::sqrt(static_cast<double>(resonance))) * f32(0.2f) +
                                       (f32(0.001f) - b * f32(0.0008f)));
}

void triggerVoice(Voice& voice, float period) {
    if (voice.amplitude == 0.0f) voice.amplitude = 0.01f;  // a voice at 0 is not rendered, so its envelope would never start
    voice.period = period;
    voice.decaying = false;
    voice.attacking = true;
}

void releaseVoice(Voice& voice) { voice.decaying = true; }

namespace {
struct VoicePreset {
    float highLevel, lowLevel, highSlope, lowSlope;
    float attackStep, decayStep, brightness, resonance;
};

// Voice 0's slopes are drawn per game; voices 5 and 7 keep their levels.
constexpr VoicePreset kPresets[kVoiceCount] = {
    {1.0f, -1.0f, 0.0f, 0.0f, 0.0004f, 0.00003f, 1.0f, 0.0f},     // 0 melody
    {1.0f, 0.0f, -1.0f, -1.0f, 0.0004f, 0.001f, 0.5f, 0.6f},      // 1 bass
    {1.0f, 0.0f, -1.0f, 0.0f, 0.00002f, 0.000005f, 0.7f, 0.2f},   // 2 chord tone
    {1.0f, -1.0f, -2.0f, 2.0f, 0.002f, 0.0005f, 0.3f, 0.6f},      // 3 kick
    {0.75f, -0.75f, 0.0f, 0.0f, 0.02f, 0.00005f, 1.0f, 0.4f},     // 4 pickup chime
    {0.0f, 0.0f, 0.0f, 0.0f, 0.02f, 0.00005f, 1.0f, 0.6f},        // 5 noise hits
    {1.0f, -1.0f, -2.0f, 0.0f, 0.0004f, 0.001f, 0.2f, 0.9f},      // 6 hazard drone
    {0.0f, 0.0f, 0.0f, 0.0f, 0.0004f, 0.00003f, 1.0f, 0.0f},      // 7 silent
};
}  // namespace

void presetVoices(World& world, Random& random) {
    for (int k = 0; k < kVoiceCount; ++k) {
        Voice& voice = world.voices[k];
        voice.amplitude = 0.0f;
        voice.counter = 0;
        voice.oscValue = 0.0f;
        voice.filterPos = 0.0f;
        voice.filterVel = 0.0f;
        voice.attacking = false;
        voice.decaying = false;
        voice.attackStep = 0.0004f;
        voice.decayStep = 0.00003f;
        setVoiceTone(world, k, 1.0f, 0.0f, 0.0f);
    }
    for (int k = 0; k < kVoiceCount; ++k) {
        Voice& voice = world.voices[k];
        const VoicePreset& preset = kPresets[k];
        if (k == VoiceRole::Melody) {
            const int r1 = random.draw();
            const int r2 = random.draw();
            voice.highSlope = static_cast<float>(f32(-0.1f) * (r1 % 11));
            voice.lowSlope = static_cast<float>(f32(0.1f) * (r2 % 11));
        } else if (k != VoiceRole::NoiseHits && k != VoiceRole::Spare) {
            voice.highSlope = preset.highSlope;
            voice.lowSlope = preset.lowSlope;
        }
        if (k != VoiceRole::NoiseHits && k != VoiceRole::Spare) {
            voice.highLevel = preset.highLevel;
            voice.lowLevel = preset.lowLevel;
        }
        if (k == VoiceRole::NoiseHits) voice.noise = true;
        voice.attackStep = preset.attackStep;
        voice.decayStep = preset.decayStep;
        setVoiceTone(world, k, preset.brightness, preset.resonance, 0.0f);
    }
}

}  // namespace vonkel
