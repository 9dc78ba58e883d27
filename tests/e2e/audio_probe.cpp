// Looks at a recording of the game's sound: raw mono 32-bit float samples
// (native byte order) at 44100 Hz, as a sound server's recorder writes them.
//
// usage: audio_probe stats FILE FROM TO
//          prints "samples N", "nonfinite N", "rms X" and "peak X" for the
//          samples from FROM to TO seconds into the recording
//        audio_probe beat FILE FROM TO
//          prints "beat_ms X" and "clarity Y": the period of the strongest
//          regular pulse between 290 and 750 ms in that stretch, and how much
//          it stands out (the normalised autocorrelation at that period)
//
// The pulse is found from an onset envelope: the signal is cut into hops of
// 128 samples, each hop's RMS level is taken, and the rises of that level
// from one hop to the next mark where notes and drums start. The
// autocorrelation of that envelope peaks at the period of the notes that
// recur most regularly. A song's drums and bass fall on every beat, four
// steps apart, while its melody fills most steps and half-steps irregularly:
// the search range 290..750 ms holds every possible beat (4 steps of
// 107..137 ms) but no single step and no two-beat stretch, so its peak is
// the beat. Exit code 0 on success, 2 on bad input.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kHop = 128;

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

bool parseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[1], "stats") != 0 && std::strcmp(argv[1], "beat") != 0)) {
        std::fprintf(stderr, "usage: audio_probe stats|beat FILE FROM-SECONDS TO-SECONDS\n");
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
        std::printf("samples %zu\nnonfinite %zu\nrms %.6f\npeak %.6f\n", n, nonfinite, std::sqrt(sum / n), peak);
        return 0;
    }

    // Onset envelope: rises of the per-hop RMS level.
    const size_t hops = n / kHop;
    std::vector<double> level(hops);
    for (size_t h = 0; h < hops; ++h) {
        double sum = 0.0;
        for (int i = 0; i < kHop; ++i) {
            const double v = std::isfinite(x[h * kHop + i]) ? x[h * kHop + i] : 0.0;
            sum += v * v;
        }
        level[h] = std::sqrt(sum / kHop);
    }
    std::vector<double> onset(hops, 0.0);
    for (size_t h = 1; h < hops; ++h) onset[h] = std::max(0.0, level[h] - level[h - 1]);
    double mean = 0.0;
    for (double v : onset) mean += v;
    mean /= static_cast<double>(hops);
    double energy = 0.0;
    for (double& v : onset) {
        v -= mean;
        energy += v * v;
    }

    const int minLag = static_cast<int>(std::floor(0.290 * kRate / kHop));
    const int maxLag = static_cast<int>(std::ceil(0.750 * kRate / kHop));
    if (hops < static_cast<size_t>(3 * maxLag) || energy <= 0.0) {
        std::fprintf(stderr, "audio_probe: too short or silent for a beat (%zu hops)\n", hops);
        return 2;
    }
    // Normalised autocorrelation, one more lag on each side for the
    // interpolation below.
    std::vector<double> r(maxLag + 2, 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0.0;
        for (size_t h = 0; h + lag < hops; ++h) sum += onset[h] * onset[h + lag];
        r[lag] = sum / energy * static_cast<double>(hops) / static_cast<double>(hops - lag);
    }
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        if (r[lag] > r[best]) best = lag;
    }
    // The peak between hops: a parabola through the best lag and its two
    // neighbours.
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double denominator = a - 2.0 * b + c;
    const double shift = denominator < 0.0 ? std::clamp(0.5 * (a - c) / denominator, -0.5, 0.5) : 0.0;
    const double periodMs = (best + shift) * kHop / kRate * 1000.0;
    std::printf("beat_ms %.1f\nclarity %.3f\n", periodMs, b);
    return 0;
}
