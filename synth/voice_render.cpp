// Rendering of the voices: 4 internal samples per output sample.
//
// Up to eight voices render side by side in one pass, one lane each, with
// exactly the samples and voice states of rendering them one after another.
// This file holds the lanes' set-up and the choice of path; the steps every
// path shares are in voice_render_lanes.h, the paths themselves in
// voice_render_scalar.cpp, voice_render_avx2.cpp and voice_render_avx512.cpp.
// The random draws stay in order because at most one voice of a pass draws.
#include <algorithm>
#include <cstdint>

#include "synth/voice.h"
#include "synth/voice_render_lanes.h"
#include "synth/voice_render_paths.h"

namespace vonkel {

namespace detail {
VoiceRenderPath forcedVoiceRenderPath = VoiceRenderPath::automatic;
}  // namespace detail

namespace render {
OscillatorLanes::OscillatorLanes(Voice* const* voices, const bool* kick, int n, Random& noiseRandom)
    : count(n), noiseLane(-1), random(noiseRandom) {
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

namespace {

using LaneRenderer = void (*)(OscillatorLanes&, FilterLanes&, float*, int);

LaneRenderer laneRenderer(VoiceRenderPath path) {
    switch (path) {
#if VONKEL_X86_VECTORS
        case VoiceRenderPath::avx512: return renderLanesAvx512;
        case VoiceRenderPath::avx2: return renderLanesAvx2;
#endif
        default: return renderLanesScalar;
    }
}

// One pass over at most eight voices and at most one chunk of frames.
void renderPass(Voice* const* voices, const bool* isKick, int count, float* out, int frames, LaneRenderer renderLanes,
                Random& random) {
    FilterLanes f;
    for (int k = 0; k < count; ++k) {
        f.pos[k] = voices[k]->filterPos;
        f.vel[k] = voices[k]->filterVel;
        f.cutoff[k] = voices[k]->cutoff;
        f.damping[k] = voices[k]->damping;
    }
    {
        OscillatorLanes lanes(voices, isKick, count, random);
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
#if VONKEL_X86_VECTORS
        case VoiceRenderPath::avx512: {
            static const bool supported = __builtin_cpu_supports("avx512f");
            return supported;
        }
        case VoiceRenderPath::avx2: {
            static const bool supported = __builtin_cpu_supports("avx2");
            return supported;
        }
#else
        case VoiceRenderPath::avx512:
        case VoiceRenderPath::avx2: return false;
#endif
        default: return true;
    }
}

VoiceRenderPath activeVoiceRenderPath() {
    const VoiceRenderPath forced = detail::forcedVoiceRenderPath;
    if (forced != VoiceRenderPath::automatic && voiceRenderPathSupported(forced)) return forced;
    for (VoiceRenderPath path : {VoiceRenderPath::avx512, VoiceRenderPath::avx2})
        if (voiceRenderPathSupported(path)) return path;
    return VoiceRenderPath::scalar;
}

void renderVoices(Voice* const* voices, const bool* isKick, int count, float* out, int frames, Random& random) {
    if (count <= 0 || frames <= 0) return;
    int noiseVoices = 0;
    for (int k = 0; k < count; ++k) noiseVoices += voices[k]->noise ? 1 : 0;
    // Several noise voices draw in turn, each for the whole block: one by one.
    if (count > 1 && (frames > kMaxChunkFrames || count > render::kLanes || noiseVoices > 1)) {
        for (int k = 0; k < count; ++k) renderVoices(&voices[k], &isKick[k], 1, out, frames, random);
        return;
    }
    const render::LaneRenderer renderLanes = render::laneRenderer(activeVoiceRenderPath());
    for (int done = 0; done < frames; done += kMaxChunkFrames)
        render::renderPass(voices, isKick, count, out + done, std::min(frames - done, kMaxChunkFrames), renderLanes,
                           random);
}

void renderVoice(Voice& voice, float* out, int frames, bool isKick, Random& random) {
    Voice* const voices[1] = {&voice};
    renderVoices(voices, &isKick, 1, out, frames, random);
}

}  // namespace vonkel
