#pragma once
// The instruction-set paths of the voice renderer. Each path computes the
// same samples bit for bit; the renderer takes the fastest one the processor
// runs, and tests and benchmarks may pick one themselves.
namespace vonkel {

enum class VoiceRenderPath { automatic, scalar, avx2, avx512 };

// Whether the processor runs the path (automatic and scalar always run).
bool voiceRenderPathSupported(VoiceRenderPath path);

// The path that renderVoices takes: the forced one if the processor runs it,
// else the fastest one it runs.
VoiceRenderPath activeVoiceRenderPath();

namespace detail {
// For tests and benchmarks only; automatic in the game.
extern VoiceRenderPath forcedVoiceRenderPath;
}  // namespace detail

}  // namespace vonkel
