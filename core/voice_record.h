#pragma once
// The record of one synthesiser voice, and the role of each of the eight
// voices. The record lives here because the World holds the voices; what a
// voice does with these fields is in synth/voice.h.
#include <cstdint>

#include "core/relaxed.h"

namespace vonkel {

constexpr int kVoiceCount = 8;
constexpr int kOversampling = 4;  // internal samples per output sample (176400 Hz)

// What each voice plays. The sequencer plays the melody, bass, chord tone,
// kick and noise hits; the game plays the chime and the drone.
namespace VoiceRole {
constexpr int Melody = 0;     // its tone also sweeps with the game's animation time
constexpr int Bass = 1;
constexpr int ChordTone = 2;
constexpr int Kick = 3;       // its pitch falls while it sounds
constexpr int Chime = 4;      // rung by each pickup
constexpr int NoiseHits = 5;  // a noise oscillator
constexpr int Drone = 6;      // the hazard buzz and the game-over drone
constexpr int Spare = 7;      // never played
}  // namespace VoiceRole

// Every field is shared between the threads (the game writes some voices
// while the audio thread renders them), so each is read and written whole.
struct Voice {
    Relaxed<float> highLevel;
    Relaxed<float> lowLevel;
    Relaxed<float> highSlope;
    Relaxed<float> lowSlope;
    Relaxed<float> step;
    Relaxed<int32_t> inLowPhase;
    Relaxed<bool> noise;
    Relaxed<float> amplitude;
    Relaxed<float> pulseWidth;
    Relaxed<float> cutoff;
    Relaxed<float> damping;
    Relaxed<float> period;
    Relaxed<int32_t> periodSamples;
    Relaxed<int32_t> highSamples;
    Relaxed<int32_t> counter;
    Relaxed<float> oscValue;
    Relaxed<float> filterPos;
    Relaxed<float> filterVel;
    Relaxed<bool> decaying;
    Relaxed<float> decayStep;
    Relaxed<bool> attacking;
    Relaxed<float> attackStep;
};

}  // namespace vonkel
