#include "synth/voice.h"

#include <algorithm>
#include <cmath>

#include "app/random.h"
#include "app/rounding.h"
#include "app/world.h"

namespace vonkel {
namespace {

constexpr float kAttackCeiling = 0.2f;
constexpr float kDecayFloor = 0.0001f;
constexpr float kKickPitchFall = 1.001f;
constexpr float kNoiseScale = 0.006666667f;  // 1/150
constexpr float kTriggerLevel = 0.01f;

// A part of the period is at least one internal sample long, so no step is
// ever divided by a zero length, whatever period or pulse width a voice holds.
int32_t atLeastOneSample(int32_t samples) { return std::max<int32_t>(samples, 1); }

float rampStep(float slope, int32_t samples) {
    return static_cast<float>(static_cast<double>(slope) / static_cast<double>(static_cast<float>(samples)));
}

}  // namespace

// The oscillator, filter and period state belong to the audio thread, so a
// call keeps them in locals and stores them back at the end. Fields the game
// writes while the voice sounds (amplitude, envelope flags, period, tone) are
// read afresh where they take effect: the period at each period start, the
// envelope at each tick, the tone once per call (one chunk of 128 frames).
void renderVoice(Voice& voice, float* out, int frames, bool isKick) {
    int32_t counter = voice.counter;
    int32_t periodSamples = voice.periodSamples;
    int32_t highSamples = voice.highSamples;
    int32_t inLowPhase = voice.inLowPhase;
    float oscValue = voice.oscValue;
    float step = voice.step;
    float filterPos = voice.filterPos;
    float filterVel = voice.filterVel;
    float amplitude = voice.amplitude;
    const bool noise = voice.noise;
    const double cutoff = voice.cutoff;
    const double damping = voice.damping;

    const int internalSamples = kOversampling * frames;
    for (int i = 0; i < internalSamples; ++i) {
        ++counter;
        if (counter == highSamples && highSamples != periodSamples) {
            inLowPhase = 1;
            oscValue = voice.lowLevel;
            step = rampStep(voice.lowSlope, periodSamples - highSamples);
        }
        if (counter >= periodSamples) {
            inLowPhase = 0;
            counter = 0;
            const float period = voice.period;
            const double highShare = static_cast<double>(voice.pulseWidth.load()) * 0.5 + 0.5;
            periodSamples = atLeastOneSample(roundToInt(period));
            highSamples = atLeastOneSample(roundToInt(highShare * static_cast<double>(period)));
            oscValue = voice.highLevel;
            step = rampStep(voice.highSlope, highSamples);
        }
        oscValue = static_cast<float>(static_cast<double>(oscValue) + static_cast<double>(step));
        if (noise) {
            const int r = drawRandom();
            oscValue = static_cast<float>((r % 101 - 50) * f32(kNoiseScale));
        }

        double v = (static_cast<double>(oscValue) - static_cast<double>(filterPos)) * cutoff +
                   static_cast<double>(filterVel);
        v = v - v * damping;
        filterVel = static_cast<float>(v);
        filterPos = static_cast<float>(static_cast<double>(filterPos) + v);

        if ((counter & 7) == 0) {
            if (isKick) voice.period = static_cast<float>(static_cast<double>(voice.period.load()) * f32(kKickPitchFall));
            amplitude = voice.amplitude;
            const float before = amplitude;
            if (voice.decaying) {
                amplitude = static_cast<float>(static_cast<double>(amplitude) - static_cast<double>(voice.decayStep.load()));
                if (amplitude < kDecayFloor) {
                    amplitude = 0.0f;
                    voice.decaying = false;
                }
            }
            if (voice.attacking) {
                amplitude = static_cast<float>(static_cast<double>(amplitude) + static_cast<double>(voice.attackStep.load()));
                if (amplitude > kAttackCeiling) {
                    amplitude = kAttackCeiling;
                    voice.attacking = false;
                }
            }
            if (amplitude != before) voice.amplitude = amplitude;
        }

        float& sample = out[i / kOversampling];
        sample = static_cast<float>(static_cast<double>(sample) +
                                    static_cast<double>(filterPos) * static_cast<double>(amplitude));
    }

    voice.counter = counter;
    voice.periodSamples = periodSamples;
    voice.highSamples = highSamples;
    voice.inLowPhase = inLowPhase;
    voice.oscValue = oscValue;
    voice.step = step;
    voice.filterPos = filterPos;
    voice.filterVel = filterVel;
}

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
    if (voice.amplitude == 0.0f) voice.amplitude = kTriggerLevel;
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

void presetVoices(World& world) {
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
        if (k == 0) {
            const int r1 = drawRandom();
            const int r2 = drawRandom();
            voice.highSlope = static_cast<float>(f32(-0.1f) * (r1 % 11));
            voice.lowSlope = static_cast<float>(f32(0.1f) * (r2 % 11));
        } else if (k != 5 && k != 7) {
            voice.highSlope = preset.highSlope;
            voice.lowSlope = preset.lowSlope;
        }
        if (k != 5 && k != 7) {
            voice.highLevel = preset.highLevel;
            voice.lowLevel = preset.lowLevel;
        }
        if (k == 5) voice.noise = true;
        voice.attackStep = preset.attackStep;
        voice.decayStep = preset.decayStep;
        setVoiceTone(world, k, preset.brightness, preset.resonance, 0.0f);
    }
}

}  // namespace vonkel
