#pragma once
// One synthesiser voice: a two-part ramp (or noise) oscillator into a damped
// spring low-pass filter, scaled by an attack/decay envelope, all running at
// four times the output rate.
#include <cstdint>

#include "core/random.h"
#include "core/voice_record.h"

namespace vonkel {

struct World;

// Adds 4 x frames internal samples of the voice into out[0 .. frames-1].
// isKick selects the pitch fall of the kick voice. A noise voice draws from
// `random`, the audio generator of the block.
void renderVoice(Voice& voice, float* out, int frames, bool isKick, Random& random);

// Renders several voices into the same frames (at most kMaxChunkFrames),
// with exactly the result of calling renderVoice for each in turn.
constexpr int kMaxChunkFrames = 128;
void renderVoices(Voice* const* voices, const bool* isKick, int count, float* out, int frames, Random& random);

// Tone of voice `index`: pulse width, and the filter's cutoff and damping
// from a brightness and a resonance in 0..1.
void setVoiceTone(World& world, int index, float brightness, float resonance, float pulseWidth);

// Start a note: a silent voice starts at 0.01, the period applies from the
// next period start, and the attack runs (from the present level).
void triggerVoice(Voice& voice, float period);
// Let the note decay; a running attack keeps running.
void releaseVoice(Voice& voice);

// The defaults and per-voice presets of a new game; takes two draws from
// `random`, the main generator (the melody voice's two slopes).
void presetVoices(World& world, Random& random);

}  // namespace vonkel
