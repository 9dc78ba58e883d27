// Rendering of the voices: 4 internal samples per output sample.
//
// A chunk renders in three stages, each computing exactly what the voices
// would compute one after another, sample by sample:
//  1. oscillators and envelopes of all voices, side by side (one lane each);
//  2. the spring filters of all voices, side by side;
//  3. the mix: into each output sample the four contributions of voice 0,
//     then voice 1's, and so on, each rounded to the 32-bit sample on its own.
// Stage 1 never depends on the filter, so the split changes no value; the
// random draws stay in order because at most one voice of a pass draws.
// Where the processor has AVX2, stages 1 to 3 use four or eight lanes per
// instruction with the same arithmetic (nothing fused: -ffp-contract=off and
// no FMA); a plain scalar path does the same elsewhere (and on processors
// that are not x86, such as the web page's wasm).
#if defined(__x86_64__) || defined(__i386__)
#define VONKEL_X86_VECTORS 1
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdint>

#include "core/random.h"
#include "core/rounding.h"
#include "synth/voice.h"

namespace vonkel {

namespace detail {
bool portableVoiceRendering = false;
}  // namespace detail

namespace {

constexpr int kLanes = kVoiceCount;
constexpr int kMaxInternal = kOversampling * kMaxChunkFrames;
constexpr float kAttackCeiling = 0.2f;
constexpr float kDecayFloor = 0.0001f;
constexpr float kKickPitchFall = 1.001f;
constexpr float kNoiseScale = 0.006666667f;  // 1/150

// Oscillator values and amplitudes, sample-major: the lanes of one internal
// sample lie side by side.
struct StageBuffers {
    alignas(32) float osc[kMaxInternal][kLanes];
    alignas(32) float amp[kMaxInternal][kLanes];
};

// contribution[k][q][j]: voice k, internal sample q of output sample j
// (filterPos x amplitude, two floats, so exact in double).
using Contributions = double[kLanes][kOversampling][kMaxChunkFrames];

// A part of the period is at least one internal sample long, so no step is
// ever divided by a zero length, whatever period or pulse width a voice holds.
int32_t atLeastOneSample(int32_t samples) { return std::max<int32_t>(samples, 1); }

float rampStep(float slope, int32_t samples) {
    return static_cast<float>(static_cast<double>(slope) / static_cast<double>(static_cast<float>(samples)));
}

// The oscillator and envelope state of the voices of one pass, one lane each.
// This state belongs to the audio thread: it is loaded at the start of a
// chunk and stored back at its end. Fields the game writes while a voice
// sounds are read afresh where they take effect: period and pulse width at
// each period start, the envelope at each tick, the tone once per chunk.
// Unused lanes never reach a period start and never tick.
struct OscillatorLanes {
    alignas(32) int32_t counter[kLanes];
    alignas(32) int32_t periodSamples[kLanes];
    alignas(32) int32_t highSamples[kLanes];
    alignas(32) float osc[kLanes];
    alignas(32) float step[kLanes];
    alignas(32) float amp[kLanes];
    int32_t inLowPhase[kLanes];
    Voice* voice[kLanes];
    bool isKick[kLanes];
    int count;
    int noiseLane;  // the lane that draws noise, or -1
    Random& random;  // the audio generator the noise lane draws from

    OscillatorLanes(Voice* const* voices, const bool* kick, int n, Random& noiseRandom)
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
    OscillatorLanes(const OscillatorLanes&) = delete;
    OscillatorLanes& operator=(const OscillatorLanes&) = delete;

    ~OscillatorLanes() {
        for (int k = 0; k < count; ++k) {
            voice[k]->counter = counter[k];
            voice[k]->periodSamples = periodSamples[k];
            voice[k]->highSamples = highSamples[k];
            voice[k]->inLowPhase = inLowPhase[k];
            voice[k]->oscValue = osc[k];
            voice[k]->step = step[k];
        }
    }

    // After the counter has moved: the start of the low part, then the start
    // of a period (which wins when both fall on one sample).
    void partStarts(int k) {
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

    // Envelope tick: decay before attack; the kick's pitch falls at every tick.
    void tick(int k) {
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

    float noiseValue() { return static_cast<float>((random.draw() % 101 - 50) * f32(kNoiseScale)); }

    void advance(int k, StageBuffers& stage, int i) {
        ++counter[k];
        partStarts(k);
        // The sum of two floats computed in double and rounded to float is
        // the correctly rounded float sum: a float addition gives that value.
        osc[k] = osc[k] + step[k];
        if (k == noiseLane) osc[k] = noiseValue();
        if ((counter[k] & 7) == 0) tick(k);
        stage.osc[i][k] = osc[k];
        stage.amp[i][k] = amp[k];
    }
};

void oscillatorsPortable(OscillatorLanes& lanes, StageBuffers& stage, int internalSamples) {
    for (int i = 0; i < internalSamples; ++i)
        for (int k = 0; k < lanes.count; ++k) lanes.advance(k, stage, i);
}

#if VONKEL_X86_VECTORS
// Mixes the eight output samples from j0 on: four per vector (AVX2) or eight
// (AVX-512), the same additions in the same order as sample by sample.
using GroupMixer = void (*)(int count, const Contributions& contribution, float* out, int j0);

__attribute__((target("avx2"))) void mixGroupAvx2(int count, const Contributions& contribution, float* out, int j0) {
    for (int j = j0; j < j0 + 8; j += 4) {
        __m256d sum = _mm256_cvtps_pd(_mm_loadu_ps(out + j));
        for (int k = 0; k < count; ++k)
            for (int q = 0; q < kOversampling; ++q)
                sum = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(sum, _mm256_loadu_pd(&contribution[k][q][j]))));
        _mm_storeu_ps(out + j, _mm256_cvtpd_ps(sum));
    }
}

// (GCC 12's own AVX-512 conversion intrinsics trip its uninitialised-value
// warning.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
__attribute__((target("avx512f"))) void mixGroupAvx512(int count, const Contributions& contribution, float* out,
                                                       int j0) {
    __m512d sum = _mm512_cvtps_pd(_mm256_loadu_ps(out + j0));
    for (int k = 0; k < count; ++k)
        for (int q = 0; q < kOversampling; ++q)
            sum = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_add_pd(sum, _mm512_loadu_pd(&contribution[k][q][j0]))));
    _mm256_storeu_ps(out + j0, _mm512_cvtpd_ps(sum));
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool useAvx512() {
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported && !detail::portableVoiceRendering;
}
#endif

// The filter state of the voices of one pass, one lane each. Lanes without a
// voice hold zeros and stay at rest.
struct FilterLanes {
    alignas(32) double pos[kLanes] = {};
    alignas(32) double vel[kLanes] = {};
    alignas(32) double cutoff[kLanes] = {};
    alignas(32) double damping[kLanes] = {};
};

#if VONKEL_X86_VECTORS
// Oscillators and filters of all lanes in one loop, eight (oscillators) and
// four (filters) lanes per instruction, so that the oscillator work of one
// sample overlaps the filter chain of the one before. The rare per-lane
// events (part starts, envelope ticks) go through the scalar code above with
// the lane's state stored and reloaded.
__attribute__((target("avx2"))) void oscillatorsAndFiltersAvx2(OscillatorLanes& lanes, FilterLanes& f,
                                                               Contributions& contribution, int internalSamples) {
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i seven = _mm256_set1_epi32(7);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i active = _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes.count), laneIndex);
    const __m256i noiseMask = _mm256_cmpeq_epi32(_mm256_set1_epi32(lanes.noiseLane), laneIndex);
    const bool noise = lanes.noiseLane >= 0;

    __m256i counter = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.counter));
    __m256i period = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.periodSamples));
    __m256i high = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.highSamples));
    __m256 osc = _mm256_load_ps(lanes.osc);
    __m256 step = _mm256_load_ps(lanes.step);
    __m256 amp = _mm256_load_ps(lanes.amp);
    __m256d pos[2], vel[2], cutoff[2], damping[2];
    for (int h = 0; h < 2; ++h) {
        pos[h] = _mm256_load_pd(&f.pos[4 * h]);
        vel[h] = _mm256_load_pd(&f.vel[4 * h]);
        cutoff[h] = _mm256_load_pd(&f.cutoff[4 * h]);
        damping[h] = _mm256_load_pd(&f.damping[4 * h]);
    }
    alignas(32) double lane[kLanes];

    for (int i = 0; i < internalSamples; ++i) {
        counter = _mm256_add_epi32(counter, one);
        const __m256i lowStart = _mm256_andnot_si256(_mm256_cmpeq_epi32(high, period), _mm256_cmpeq_epi32(counter, high));
        const __m256i periodStart = _mm256_andnot_si256(_mm256_cmpgt_epi32(period, counter), active);
        int events = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(_mm256_and_si256(lowStart, active), periodStart)));
        if (events != 0) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.counter), counter);
            _mm256_store_ps(lanes.osc, osc);
            _mm256_store_ps(lanes.step, step);
            for (; events != 0; events &= events - 1) lanes.partStarts(__builtin_ctz(static_cast<unsigned>(events)));
            counter = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.counter));
            period = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.periodSamples));
            high = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.highSamples));
            osc = _mm256_load_ps(lanes.osc);
            step = _mm256_load_ps(lanes.step);
        }
        osc = _mm256_add_ps(osc, step);
        if (noise) osc = _mm256_blendv_ps(osc, _mm256_set1_ps(lanes.noiseValue()), _mm256_castsi256_ps(noiseMask));
        const __m256i tickLanes = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_and_si256(counter, seven), zero), active);
        int ticks = _mm256_movemask_ps(_mm256_castsi256_ps(tickLanes));
        if (ticks != 0) {
            _mm256_store_ps(lanes.amp, amp);
            for (; ticks != 0; ticks &= ticks - 1) lanes.tick(__builtin_ctz(static_cast<unsigned>(ticks)));
            amp = _mm256_load_ps(lanes.amp);
        }

        const __m256d oscHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(osc)), _mm256_cvtps_pd(_mm256_extractf128_ps(osc, 1))};
        const __m256d ampHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(amp)), _mm256_cvtps_pd(_mm256_extractf128_ps(amp, 1))};
        for (int h = 0; h < 2; ++h) {
            __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(oscHalf[h], pos[h]), cutoff[h]), vel[h]);
            v = _mm256_sub_pd(v, _mm256_mul_pd(v, damping[h]));
            vel[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
            pos[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(pos[h], v)));
            _mm256_store_pd(&lane[4 * h], _mm256_mul_pd(pos[h], ampHalf[h]));
        }
        for (int k = 0; k < lanes.count; ++k) contribution[k][i % kOversampling][i / kOversampling] = lane[k];
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.counter), counter);
    _mm256_store_ps(lanes.osc, osc);
    _mm256_store_ps(lanes.step, step);
    for (int h = 0; h < 2; ++h) {
        _mm256_store_pd(&f.pos[4 * h], pos[h]);
        _mm256_store_pd(&f.vel[4 * h], vel[h]);
    }
}
#endif

void filterPortable(FilterLanes& f, int count, const StageBuffers& stage, Contributions& contribution, int frames) {
    for (int k = 0; k < count; ++k) {
        for (int i = 0; i < kOversampling * frames; ++i) {
            double v = (static_cast<double>(stage.osc[i][k]) - f.pos[k]) * f.cutoff[k] + f.vel[k];
            v = v - v * f.damping[k];
            f.vel[k] = static_cast<float>(v);
            f.pos[k] = static_cast<float>(f.pos[k] + v);
            contribution[k][i % kOversampling][i / kOversampling] = f.pos[k] * static_cast<double>(stage.amp[i][k]);
        }
    }
}

// Mixes output samples from..frames-1 one at a time.
void mixPortable(int count, const Contributions& contribution, float* out, int from, int frames) {
    for (int j = from; j < frames; ++j) {
        float sample = out[j];
        for (int k = 0; k < count; ++k)
            for (int q = 0; q < kOversampling; ++q)
                sample = static_cast<float>(static_cast<double>(sample) + contribution[k][q][j]);
        out[j] = sample;
    }
}

#if VONKEL_X86_VECTORS
bool useAvx2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && !detail::portableVoiceRendering;
}
#endif

// One pass over at most eight voices and at most one chunk of frames.
void renderPass(Voice* const* voices, const bool* isKick, int count, float* out, int frames, Random& random) {
    FilterLanes f;
    for (int k = 0; k < count; ++k) {
        f.pos[k] = voices[k]->filterPos;
        f.vel[k] = voices[k]->filterVel;
        f.cutoff[k] = voices[k]->cutoff;
        f.damping[k] = voices[k]->damping;
    }
    Contributions contribution;
    int mixed = 0;
    {
        OscillatorLanes lanes(voices, isKick, count, random);
#if VONKEL_X86_VECTORS
        if (useAvx2()) {
            oscillatorsAndFiltersAvx2(lanes, f, contribution, kOversampling * frames);
            const GroupMixer mixGroup = useAvx512() ? mixGroupAvx512 : mixGroupAvx2;
            for (; mixed + 8 <= frames; mixed += 8) mixGroup(count, contribution, out, mixed);
        } else
#endif
        {
            StageBuffers stage;
            oscillatorsPortable(lanes, stage, kOversampling * frames);
            filterPortable(f, count, stage, contribution, frames);
        }
    }
    mixPortable(count, contribution, out, mixed, frames);
    for (int k = 0; k < count; ++k) {
        voices[k]->filterPos = static_cast<float>(f.pos[k]);
        voices[k]->filterVel = static_cast<float>(f.vel[k]);
    }
}

}  // namespace

void renderVoices(Voice* const* voices, const bool* isKick, int count, float* out, int frames, Random& random) {
    if (count <= 0 || frames <= 0) return;
    int noiseVoices = 0;
    for (int k = 0; k < count; ++k) noiseVoices += voices[k]->noise ? 1 : 0;
    // Several noise voices draw in turn, each for the whole block: one by one.
    if (count > 1 && (frames > kMaxChunkFrames || count > kLanes || noiseVoices > 1)) {
        for (int k = 0; k < count; ++k) renderVoices(&voices[k], &isKick[k], 1, out, frames, random);
        return;
    }
    for (int done = 0; done < frames; done += kMaxChunkFrames)
        renderPass(voices, isKick, count, out + done, std::min(frames - done, kMaxChunkFrames), random);
}

void renderVoice(Voice& voice, float* out, int frames, bool isKick, Random& random) {
    Voice* const voices[1] = {&voice};
    renderVoices(voices, &isKick, 1, out, frames, random);
}

}  // namespace vonkel
