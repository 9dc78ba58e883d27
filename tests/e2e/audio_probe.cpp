// Looks at a recording of the game's sound: raw mono 32-bit float samples
// (native byte order) at 44100 Hz, as a sound server's recorder writes them.
//
// usage: audio_probe stats FILE FROM TO
//          prints "samples N", "nonfinite N", "rms X" and "peak X" for the
//          samples from FROM to TO seconds into the recording, and
//          "first_sound S" and "last_sound S", the times (from the start of
//          the recording) of the first and the last sample in that stretch
//          that is not 0 ("-" when all are)
//        audio_probe silences FILE FROM TO
//          prints "silence START LENGTH cut|fade" for every run of at least
//          64 samples of exact 0 between sound in that stretch: its start (s
//          from the start of the recording), its length in samples, and
//          whether the sound before it stopped in full swing ("cut") or had
//          faded out
//        audio_probe match CLIP RECORDING
//          prints "lag_s X", "correlation Y" and "halves_apart_ms Z": where
//          CLIP (the sound of a clip) fits RECORDING best (s into it), how
//          well (the normalised correlation of the samples there), and how
//          far apart its first and second halves fit
//        audio_probe beat FILE FROM TO
//          prints "beat_ms X", "clarity Y" and "gaps N": the period of the
//          strongest regular pulse between 290 and 750 ms in that stretch,
//          how much it stands out (its mean normalised autocorrelation,
//          below), and the number of dropouts found inside it
//
// The pulse is found from an onset envelope. The signal's loudness is taken
// every 128 samples over the last 512 samples, on a log scale, and its rise
// over 512 samples marks where notes and drums start (the voices swell in
// over tens of milliseconds, so a rise over a single hop would mostly show
// the ripple of the bass). The autocorrelation of that envelope peaks at
// every multiple of the period with which notes recur; a candidate period is
// scored by the mean of the autocorrelation at its first eight multiples (a
// comb), which favours the true period over its fractions and over periods
// that line up with it only now and then. The song's drums and bass fall on
// every beat, four steps apart, while the melody fills most steps and
// half-steps irregularly: the search range 290..750 ms holds every possible
// beat (4 steps of 107..137 ms) but neither a single step, nor two steps,
// nor two beats. The period is given to the hop (2.9 ms): the music's clock
// counts whole blocks of 128 samples, so a beat is a whole number of hops.
// About 7 s of music are needed for a clear result. Exit code 0 on success,
// 2 on bad input.
#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr size_t kHop = 128;

bool readSamples(const char* path, std::vector<float>& samples) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "audio_probe: cannot open '%s'\n", path);
        return false;
    }
    float block[4096];
    size_t got = 0;
    while ((got = std::fread(block, sizeof(float), 4096, file)) > 0) samples.insert(samples.end(), block, block + got);
    std::fclose(file);
    return true;
}

// Runs of exact 0 at least this long are silences.
constexpr size_t kGapSamples = 64;

// Whether the sound before sample i (which starts a silence) stops in full
// swing: its last 64 samples have an RMS level above 0.005. The music's own
// voices fade out before they fall silent; a sudden stop is a restart of the
// song (which silences every voice at once) or a dropout.
bool cutOff(const float* x, size_t i) {
    if (i < kGapSamples) return false;
    double sum = 0.0;
    for (size_t k = i - kGapSamples; k < i; ++k) sum += std::isfinite(x[k]) ? double(x[k]) * x[k] : 0.0;
    return std::sqrt(sum / kGapSamples) > 0.005;
}

bool parseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0.0;
}

// The normalised correlation of a with b from `offset` on (samples).
double correlation(const float* a, size_t n, const std::vector<float>& b, long offset) {
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const long j = offset + static_cast<long>(i);
        if (j < 0 || j >= static_cast<long>(b.size())) continue;
        ab += double(a[i]) * b[static_cast<size_t>(j)];
        aa += double(a[i]) * a[i];
        bb += double(b[static_cast<size_t>(j)]) * b[static_cast<size_t>(j)];
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// Where a stretch of n samples fits b best, wholly inside it: first by its
// loudness every hop, then sample by sample around that.
std::pair<long, double> bestFit(const float* a, size_t n, const std::vector<float>& b) {
    const auto envelope = [](const float* x, size_t count) {
        std::vector<float> e;
        for (size_t at = 0; at + kHop <= count; at += kHop) {
            double sum = 0.0;
            for (size_t k = at; k < at + kHop; ++k) sum += std::fabs(x[k]);
            e.push_back(static_cast<float>(sum / kHop));
        }
        return e;
    };
    const std::vector<float> ea = envelope(a, n), eb = envelope(b.data(), b.size());
    // The music repeats itself every beat, so several places fit the
    // loudness alike: each of the best few is tried sample by sample.
    std::vector<std::pair<double, long>> coarse;
    for (long o = 0; o + static_cast<long>(ea.size()) <= static_cast<long>(eb.size()); ++o) {
        coarse.emplace_back(correlation(ea.data(), ea.size(), eb, o), o);
    }
    std::sort(coarse.begin(), coarse.end(), std::greater<>());
    coarse.resize(std::min<size_t>(coarse.size(), 8));
    long offset = 0;
    double best = -2.0;
    const long last = static_cast<long>(b.size()) - static_cast<long>(n);
    for (const auto& candidate : coarse) {
        const long around = candidate.second * static_cast<long>(kHop);
        for (long o = std::max(0L, around - 2 * static_cast<long>(kHop));
             o <= std::min(last, around + 2 * static_cast<long>(kHop)); ++o) {
            const double c = correlation(a, n, b, o);
            if (c > best) {
                best = c;
                offset = o;
            }
        }
    }
    return {offset, best};
}

// The clip's sound against a recording of what was heard: where it fits
// best and how well, and whether its first and second halves fit at the
// same place (no drift, no stretch lost or doubled).
int match(const char* clipPath, const char* recordingPath) {
    std::vector<float> clip, recording;
    if (!readSamples(clipPath, clip) || !readSamples(recordingPath, recording)) return 2;
    if (clip.size() < 4 * kRate / 10 || clip.size() > recording.size()) {
        std::fprintf(stderr, "audio_probe: the clip's sound is too short, or longer than the recording\n");
        return 2;
    }
    const auto [whole, fit] = bestFit(clip.data(), clip.size(), recording);
    const size_t half = clip.size() / 2;
    const long first = bestFit(clip.data(), half, recording).first;
    const long second = bestFit(clip.data() + half, clip.size() - half, recording).first - static_cast<long>(half);
    std::printf("lag_s %.4f\ncorrelation %.4f\nhalves_apart_ms %.1f\n", whole / kRate, fit,
                std::fabs(static_cast<double>(second - first)) * 1000.0 / kRate);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "match") == 0) return match(argv[2], argv[3]);
    if (argc != 5 || (std::strcmp(argv[1], "stats") != 0 && std::strcmp(argv[1], "beat") != 0 &&
                      std::strcmp(argv[1], "silences") != 0)) {
        std::fprintf(stderr, "usage: audio_probe stats|silences|beat FILE FROM-SECONDS TO-SECONDS\n"
                             "       audio_probe match CLIP RECORDING\n");
        return 2;
    }
    double from = 0.0, to = 0.0;
    if (!parseSeconds(argv[3], from) || !parseSeconds(argv[4], to) || to <= from) {
        std::fprintf(stderr, "audio_probe: bad time range '%s'..'%s'\n", argv[3], argv[4]);
        return 2;
    }
    std::vector<float> all;
    if (!readSamples(argv[2], all)) return 2;
    const size_t first = static_cast<size_t>(from * kRate);
    const size_t last = std::min(all.size(), static_cast<size_t>(to * kRate));
    if (first >= last) {
        std::fprintf(stderr, "audio_probe: the recording holds %zu samples, none from %.2f s on\n", all.size(), from);
        return 2;
    }
    const float* x = all.data() + first;
    const size_t n = last - first;

    if (std::strcmp(argv[1], "stats") == 0) {
        size_t nonfinite = 0;
        double sum = 0.0, peak = 0.0;
        for (size_t i = 0; i < n; ++i) {
            if (!std::isfinite(x[i])) {
                ++nonfinite;
                continue;
            }
            sum += static_cast<double>(x[i]) * x[i];
            peak = std::max(peak, std::fabs(static_cast<double>(x[i])));
        }
        size_t firstSound = n, lastSound = n;
        for (size_t i = 0; i < n; ++i) {
            if (x[i] != 0.0f) {
                if (firstSound == n) firstSound = i;
                lastSound = i;
            }
        }
        std::printf("samples %zu\nnonfinite %zu\nrms %.6f\npeak %.6f\n", n, nonfinite, std::sqrt(sum / n), peak);
        if (firstSound < n) {
            std::printf("first_sound %.3f\nlast_sound %.3f\n", (first + firstSound) / kRate, (first + lastSound) / kRate);
        } else {
            std::printf("first_sound -\nlast_sound -\n");
        }
        return 0;
    }

    if (std::strcmp(argv[1], "silences") == 0) {
        for (size_t i = 0; i < n;) {
            if (x[i] != 0.0f) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < n && x[j] == 0.0f) ++j;
            if (j - i >= kGapSamples && i > 0 && j < n) {
                std::printf("silence %.4f %zu %s\n", (first + i) / kRate, j - i, cutOff(x, i) ? "cut" : "fade");
            }
            i = j;
        }
        return 0;
    }

    // Dropouts: a sound server that gets the program's samples late plays
    // exact silence in their place, and the music goes on after the gap,
    // shifted by its length. Such a gap cuts the music off in full swing,
    // which the music's own silences never do: all its voices have faded out
    // when they begin. So a run of at least 64 samples of exact 0 that
    // follows 64 samples with an RMS level above 0.005 is taken for a
    // dropout; the envelope is then taken from each stretch between dropouts
    // on its own, and only pairs of hops within one stretch are compared.
    std::vector<std::pair<size_t, size_t>> stretches;  // [begin, end) in x
    size_t gaps = 0;
    size_t begin = 0;
    for (size_t i = 0; i < n;) {
        if (x[i] != 0.0f) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && x[j] == 0.0f) ++j;
        if (j - i >= kGapSamples && i >= begin + kGapSamples) {
            if (cutOff(x, i)) {
                stretches.emplace_back(begin, i);
                if (j < n) ++gaps;
                begin = j;
            }
        }
        i = j;
    }
    if (n > begin) stretches.emplace_back(begin, n);

    // Onset envelope of each stretch: rises of the log loudness.
    constexpr size_t kWindow = 512;
    constexpr size_t kRiseHops = kWindow / kHop;
    std::vector<std::vector<double>> loudness;
    double meanSquare = 0.0;
    size_t loudnessCount = 0;
    for (const auto& [from, to] : stretches) {
        std::vector<double> level((to - from) / kHop);
        for (size_t h = 0; h < level.size(); ++h) {
            const size_t stop = from + (h + 1) * kHop;
            const size_t start = stop - from >= kWindow ? stop - kWindow : from;
            double sum = 0.0;
            for (size_t i = start; i < stop; ++i) {
                const double v = std::isfinite(x[i]) ? x[i] : 0.0;
                sum += v * v;
            }
            level[h] = sum / static_cast<double>(stop - start);
            meanSquare += level[h];
        }
        loudnessCount += level.size();
        loudness.push_back(std::move(level));
    }
    if (loudnessCount == 0) {
        std::fprintf(stderr, "audio_probe: no sound in the stretch\n");
        return 2;
    }
    meanSquare /= static_cast<double>(loudnessCount);
    // The floor keeps near-silence from turning into large log swings.
    const double floor = 1e-3 * meanSquare + 1e-12;
    std::vector<std::vector<double>> onsets;
    double mean = 0.0;
    size_t valid = 0;
    for (const auto& level : loudness) {
        if (level.size() <= kRiseHops) continue;
        std::vector<double> onset(level.size() - kRiseHops);
        for (size_t h = kRiseHops; h < level.size(); ++h) {
            onset[h - kRiseHops] = std::max(0.0, std::log(level[h] + floor) - std::log(level[h - kRiseHops] + floor));
            mean += onset[h - kRiseHops];
        }
        valid += onset.size();
        onsets.push_back(std::move(onset));
    }
    // The strongest onsets are limited to the 99th percentile, so that a
    // single sudden start (such as the music's return after a dropout) cannot
    // outweigh the many regular ones.
    if (valid > 0) {
        std::vector<double> sorted;
        for (const auto& onset : onsets) sorted.insert(sorted.end(), onset.begin(), onset.end());
        const size_t rank = sorted.size() * 99 / 100;
        std::nth_element(sorted.begin(), sorted.begin() + rank, sorted.end());
        const double cap = sorted[rank];
        mean = 0.0;
        for (auto& onset : onsets) {
            for (double& v : onset) {
                v = std::min(v, cap);
                mean += v;
            }
        }
    }
    mean /= static_cast<double>(std::max<size_t>(valid, 1));
    const double rise = mean;
    double variance = 0.0;
    for (auto& onset : onsets) {
        for (double& v : onset) {
            v -= mean;
            variance += v * v;
        }
    }
    variance /= static_cast<double>(std::max<size_t>(valid, 1));

    constexpr int kMultiples = 8;
    const int minLag = static_cast<int>(std::floor(0.290 * kRate / kHop));
    const int maxLag = static_cast<int>(std::ceil(0.750 * kRate / kHop));
    // Normalised autocorrelation, for every lag that at least a third of the
    // hops can be paired at.
    std::vector<double> r;
    for (size_t lag = 0;; ++lag) {
        size_t pairs = 0;
        double sum = 0.0;
        for (const auto& onset : onsets) {
            for (size_t h = 0; h + lag < onset.size(); ++h, ++pairs) sum += onset[h] * onset[h + lag];
        }
        if (3 * pairs < valid || variance <= 0.0) break;
        r.push_back(sum / static_cast<double>(pairs) / variance);
    }
    const int lastLag = static_cast<int>(r.size()) - 1;
    if (lastLag < 3 * maxLag + 2) {
        std::fprintf(stderr, "audio_probe: too short or silent for a beat (%zu hops in %zu stretches)\n", valid,
                     onsets.size());
        return 2;
    }
    auto comb = [&](int lag) {
        double sum = 0.0;
        int count = 0;
        for (int j = 1; j <= kMultiples && j * lag + 1 <= lastLag; ++j, ++count) {
            sum += std::max({r[j * lag - 1], r[j * lag], r[j * lag + 1]});
        }
        return sum / count;
    };
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        if (comb(lag) > comb(best)) best = lag;
    }
    const double periodMs = best * kHop / kRate * 1000.0;
    std::printf("beat_ms %.1f\nclarity %.3f\nrise %.4f\ngaps %zu\n", periodMs, comb(best), rise, gaps);
    return 0;
}
