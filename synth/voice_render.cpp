// Rendering of the voices: 4 internal samples per output sample.
//
// Up to eight voices render side by side in one pass, one lane each, with
// exactly the samples and voice states of rendering them one after another.
// This file holds the lanes' oscillator and envelope steps, which every path
// shares, and the choice of path; the paths themselves are in
// voice_render_scalar.cpp, voice_render_avx2.cpp and voice_render_avx512.cpp.
// The random draws stay in order because at most one voice of a pass draws.
#include <algorithm>
#include <cstdint>

#include "app/random.h"
#include "app/rounding.h"
#include "synth/voice.h"
#include "synth/voice_render_lanes.h"
#include "synth/voice_render_paths.h"

namespace vonkel {

namespace detail {
bool portableVoiceRendering = false;
VoiceRenderPath forcedVoiceRenderPath = VoiceRenderPath::automatic;
}  // namespace detail

namespace render {
namespace {

constexpr float kAttackCeiling = 0.2f;
constexpr float kDecayFloor = 0.0001f;
constexpr float kKickPitchFall = 1.001f;
constexpr float kNoiseScale = 0.006666667f;  // 1/150

// A part of the period is at least one internal sample long, so no step is
// ever divided by a zero length, whatever period or pulse width a voice holds.
int32_t atLeastOneSample(int32_t samples) { return std::max<int32_t>(samples, 1); }

float rampStep(float slope, int32_t samples) {
    return static_cast<float>(static_cast<double>(slope) / static_cast<double>(static_cast<float>(samples)));
}

}  // namespace

OscillatorLanes::OscillatorLanes(Voice* const* voices, const bool* kick, int n) : count(n), noiseLane(-1) {
    for (int k = 0; k < kLanes; ++k) {
        const bool used = k < n;
        voice[k] = used ? voices[k] : nullptr;
        isKick[k] = used && kick[k];
        counter[k] = used ? voices[k]->counter.load() : 0;
        periodSamples[k] = used ? voices[k]->periodSamples.load() : INT32_MAX;
        highSamples[k] = used ? voices[k]->highSamples.load() : INT32_MIN;
        inLowPhase[k] = used ? voices[k]->inLowPhase.load() : 0;
        osc[k] = used ? voices[k]->oscValue.load() : 0.0f;
        step[k] = used ? voices[k]->step.load() : 0.0f;
        amp[k] = used ? voices[k]->amplitude.load() : 0.0f;
        if (used && voices[k]->noise) noiseLane = k;
    }
}

OscillatorLanes::~OscillatorLanes() {
    for (int k = 0; k < count; ++k) {
        voice[k]->counter = counter[k];
        voice[k]->periodSamples = periodSamples[k];
        voice[k]->highSamples = highSamples[k];
        voice[k]->inLowPhase = inLowPhase[k];
        voice[k]->oscValue = osc[k];
        voice[k]->step = step[k];
    }
}

void OscillatorLanes::partStarts(int k) {
    Voice& v = *voice[k];
    if (counter[k] == highSamples[k] && highSamples[k] != periodSamples[k]) {
        inLowPhase[k] = 1;
        osc[k] = v.lowLevel;
        step[k] = rampStep(v.lowSlope, periodSamples[k] - highSamples[k]);
    }
    if (counter[k] >= periodSamples[k]) {
        inLowPhase[k] = 0;
        counter[k] = 0;
        const float period = v.period;
        const double highShare = static_cast<double>(v.pulseWidth.load()) * 0.5 + 0.5;
        periodSamples[k] = atLeastOneSample(roundToInt(period));
        highSamples[k] = atLeastOneSample(roundToInt(highShare * static_cast<double>(period)));
        osc[k] = v.highLevel;
        step[k] = rampStep(v.highSlope, highSamples[k]);
    }
}

void OscillatorLanes::tick(int k) {
    Voice& v = *voice[k];
    if (isKick[k]) v.period = static_cast<float>(static_cast<double>(v.period.load()) * f32(kKickPitchFall));
    float a = v.amplitude;
    const float before = a;
    if (v.decaying) {
        a = static_cast<float>(static_cast<double>(a) - static_cast<double>(v.decayStep.load()));
        if (a < kDecayFloor) {
            a = 0.0f;
            v.decaying = false;
        }
    }
    if (v.attacking) {
        a = static_cast<float>(static_cast<double>(a) + static_cast<double>(v.attackStep.load()));
        if (a > kAttackCeiling) {
            a = kAttackCeiling;
            v.attacking = false;
        }
    }
    if (a != before) v.amplitude = a;
    amp[k] = a;
}

float OscillatorLanes::noiseValue() { return static_cast<float>((drawRandom() % 101 - 50) * f32(kNoiseScale)); }

namespace {

using LaneRenderer = void (*)(OscillatorLanes&, FilterLanes&, float*, int);

LaneRenderer laneRenderer(VoiceRenderPath path) {
    switch (path) {
        case VoiceRenderPath::avx512: return renderLanesAvx512;
        case VoiceRenderPath::avx2: return renderLanesAvx2;
        default: return renderLanesScalar;
    }
}

// One pass over at most eight voices and at most one chunk of frames.
void renderPass(Voice* const* voices, const bool* isKick, int count, float* out, int frames, LaneRenderer renderLanes) {
    FilterLanes f;
    for (int k = 0; k < count; ++k) {
        f.pos[k] = voices[k]->filterPos;
        f.vel[k] = voices[k]->filterVel;
        f.cutoff[k] = voices[k]->cutoff;
        f.damping[k] = voices[k]->damping;
    }
    {
        OscillatorLanes lanes(voices, isKick, count);
        renderLanes(lanes, f, out, frames);
    }
    for (int k = 0; k < count; ++k) {
        voices[k]->filterPos = static_cast<float>(f.pos[k]);
        voices[k]->filterVel = static_cast<float>(f.vel[k]);
    }
}

}  // namespace
}  // namespace render

bool voiceRenderPathSupported(VoiceRenderPath path) {
    switch (path) {
        case VoiceRenderPath::avx512: {
            static const bool supported = __builtin_cpu_supports("avx512f");
            return supported;
        }
        case VoiceRenderPath::avx2: {
            static const bool supported = __builtin_cpu_supports("avx2");
            return supported;
        }
        default: return true;
    }
}

VoiceRenderPath activeVoiceRenderPath() {
    if (detail::portableVoiceRendering) return VoiceRenderPath::scalar;
    const VoiceRenderPath forced = detail::forcedVoiceRenderPath;
    if (forced != VoiceRenderPath::automatic && voiceRenderPathSupported(forced)) return forced;
    for (VoiceRenderPath path : {VoiceRenderPath::avx512, VoiceRenderPath::avx2})
        if (voiceRenderPathSupported(path)) return path;
    return VoiceRenderPath::scalar;
}

void renderVoices(Voice* const* voices, const bool* isKick, int count, float* out, int frames) {
    if (count <= 0 || frames <= 0) return;
    int noiseVoices = 0;
    for (int k = 0; k < count; ++k) noiseVoices += voices[k]->noise ? 1 : 0;
    // Several noise voices draw in turn, each for the whole block: one by one.
    if (count > 1 && (frames > kMaxChunkFrames || count > render::kLanes || noiseVoices > 1)) {
        for (int k = 0; k < count; ++k) renderVoices(&voices[k], &isKick[k], 1, out, frames);
        return;
    }
    const render::LaneRenderer renderLanes = render::laneRenderer(activeVoiceRenderPath());
    for (int done = 0; done < frames; done += kMaxChunkFrames)
        render::renderPass(voices, isKick, count, out + done, std::min(frames - done, kMaxChunkFrames), renderLanes);
}

void renderVoice(Voice& voice, float* out, int frames, bool isKick) {
    Voice* const voices[1] = {&voice};
    renderVoices(voices, &isKick, 1, out, frames);
}

}  // namespace vonkel
