#include "tools/lab_options.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace vonkel::lab {
namespace {

constexpr const char* kProgram = "vonkel-lab";

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// One line, printable, not too long: safe to echo back in a message.
std::string shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 60)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7f) ? c : '?';
    }
    if (text.size() > 60) out += "...";
    return out;
}

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

constexpr const char* kDescription =
    "vonkel-lab: the headless companion of the vonkel game. It runs the game's\n"
    "deterministic core without a window or a sound device, so that songs,\n"
    "terrain and whole games can be inspected, compared and exported.";

constexpr const char* kFooter =
    "Run 'vonkel-lab SUBCOMMAND --help' for the options of each.\n"
    "To save a song you like, export it as a WAV file:\n"
    "  vonkel-lab audio --seed N --seconds 180 --out song.wav\n"
    "Exit status: 0 success; 2 bad arguments or input (nothing is written);\n"
    "1 a file could not be written during the run.";

constexpr const char* kBlockClockText =
    "Simulated clock: the game starts at 0 ms. Audio block k (512 frames)\n"
    "starts at k x 512000 / 44100 ms and is rendered with the millisecond\n"
    "clock C + floor(that), wrapping at 2^32 (C from --clock).";

}  // namespace

std::optional<uint32_t> readUnsigned32(std::string_view text) {
    const auto value = readInteger(text, 0, 0xFFFFFFFFLL);
    if (!value) return std::nullopt;
    return static_cast<uint32_t>(*value);
}

std::optional<int64_t> readInteger(std::string_view text, int64_t min, int64_t max) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (!allDigits(text)) return std::nullopt;
    // Any magnitude past this is out of every range used here.
    constexpr int64_t kCeiling = int64_t{1} << 62;
    int64_t magnitude = 0;
    for (char c : text) {
        if (magnitude > kCeiling / 10) return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<float> readFloat32(std::string_view text) {
    // Decimal notation only: digits, one point, an exponent.
    if (text.empty() || text.size() > 100) return std::nullopt;
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') {
            return std::nullopt;
        }
    }
    if (!digit) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int64_t> readSecondsAsBlocks(std::string_view text) {
    const size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if ((!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction))) return std::nullopt;
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 9) return std::nullopt;

    // S = numerator / 10^decimals, exactly.
    int64_t numerator = 0;
    for (char c : whole) {
        numerator = numerator * 10 + (c - '0');
        if (numerator > kMaxSeconds) return std::nullopt;
    }
    int64_t denominator = 1;
    for (char c : fraction) {
        numerator = numerator * 10 + (c - '0');
        denominator *= 10;
    }
    if (numerator == 0 || numerator > kMaxSeconds * denominator) return std::nullopt;
    // ceil(S x 44100 / 512); at most 3600 x 44100 x 10^9, inside 64 bits.
    const int64_t top = numerator * 44100;
    const int64_t bottom = denominator * 512;
    return (top + bottom - 1) / bottom;
}

ParsedArguments parseLabArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app(kDescription, kProgram);
    app.require_subcommand(1);

    std::string seed, clock, seconds, time, speed, orientation = "0", frames, every;
    std::string audioOut, keys, trace, wav, shots;

    CLI::App* song = app.add_subcommand("song", "Compose the song of a new game and print it as one JSON line");
    song->add_option("--seed", seed, "seed of the main random generator (0..4294967295)")
        ->required()
        ->type_name("N");
    song->footer(
        "A fresh game, the main random generator seeded with --seed, one new\n"
        "game. Prints one JSON line: terrain and lead-voice time, master gain,\n"
        "tempo, progression, patterns, the eight voices, the note-period table\n"
        "and nextDraw, the value the next draw of the main generator would give.");

    CLI::App* audio =
        app.add_subcommand("audio", "Export a song as a WAV file (mono, 44100 Hz, 32-bit float samples)");
    audio->add_option("--seed", seed, "seed of the main random generator (0..4294967295)")
        ->required()
        ->type_name("N");
    audio->add_option("--seconds", seconds, "length, a decimal number of seconds, 0 < S <= 3600")
        ->required()
        ->type_name("S");
    audio->add_option("--clock", clock, "millisecond clock at the start, C (0..4294967295, default 0)")
        ->type_name("C");
    audio->add_option("--out", audioOut, "the WAV file to write")->required()->type_name("FILE.wav");
    audio->footer(std::string(
                      "The song of a new game from --seed, played for --seconds as the game\n"
                      "plays it with no key pressed: the lead voice sweeps once every 16 ms.\n"
                      "This is the way to save a song you like. The file holds\n"
                      "ceil(S x 44100 / 512) whole blocks of 512 samples, exactly as the audio\n"
                      "renderer produced them.\n\n") +
                  kBlockClockText);

    CLI::App* terrain = app.add_subcommand("terrain", "Compute one frame of the terrain field and print its cells");
    terrain->add_option("--time", time, "terrain time before the step (a 32-bit float)")->required()->type_name("T");
    terrain->add_option("--speed", speed, "terrain speed (a 32-bit float, 0..1)")->required()->type_name("S");
    terrain->add_option("--orientation", orientation, "tile orientation in quarter turns (-1000000000..1000000000, default 0)")
        ->type_name("O");
    terrain->footer(
        "Sets the terrain time, speed and tile orientation, advances the field\n"
        "once, and prints its 30 rows of 40 cell kinds (0, 1, 2; row 0 first),\n"
        "then the line 'counts: c0 c1 c2'.");

    CLI::App* play =
        app.add_subcommand("play", "Play a game headless with scripted keys; write a trace, audio, screenshots");
    play->add_option("--seed", seed, "seed of the main random generator (0..4294967295)")
        ->required()
        ->type_name("N");
    play->add_option("--frames", frames, "number of frames to play (1..10000000)")->required()->type_name("F");
    play->add_option("--clock", clock, "millisecond clock at the start, C (0..4294967295, default 0)")
        ->type_name("C");
    play->add_option("--keys", keys, "key script (see below); without it no key is pressed")->type_name("FILE");
    play->add_option("--trace", trace, "write one JSON line per frame to FILE")->type_name("FILE");
    play->add_option("--wav", wav, "write every rendered audio block to a WAV file")->type_name("FILE");
    CLI::Option* shotsOption =
        play->add_option("--shots", shots, "write PNG screenshots (640 x 480) into DIR, created if missing")
            ->type_name("DIR");
    CLI::Option* everyOption =
        play->add_option("--every", every, "screenshot frames 0, K, 2K, ... (K >= 1; goes with --shots)")
            ->type_name("K");
    shotsOption->needs(everyOption);
    everyOption->needs(shotsOption);
    play->footer(
        std::string("A fresh game from --seed, then --frames frames of the whole frame\n"
                    "update with the keys of --keys, interleaved with the audio blocks on\n"
                    "the simulated clock. The run ends after frame F-1, or after the frame\n"
                    "in which the game asks to quit.\n\n") +
        kBlockClockText +
        "\nFrame f starts at F_f: F_0 = 0, then +25 ms after a frame that ends in\n"
        "scope mode and +16 ms after any other. Before frame f reads its keys,\n"
        "every block that has started by F_f is rendered.\n"
        "\nKey script: lines 'FRAME KEYS'. From frame FRAME on exactly those keys\n"
        "are held, until the next line; before the first line none is. KEYS is\n"
        "'-' (none) or a comma-separated list of up, down, left, right, z, enter,\n"
        "escape. Frames strictly increase. Blank lines and lines starting with '#'\n"
        "are ignored. Example:\n"
        "  # boost up for a second, then let go\n"
        "  0 up,z\n"
        "  60 -\n"
        "\nTrace: one JSON object per frame, written after the frame update: frame,\n"
        "time (ms), quit, the player, score, modes, terrain, song position,\n"
        "pickups as [slot, column, row], and FNV-1a 64 digests of the terrain\n"
        "grid (one byte a cell) and of the 320 x 240 frame (4 bytes a pixel,\n"
        "little-endian). Screenshots are named frame-000000.png and so on.");

    app.footer(kFooter);

    if (!args.empty() && !args.front().empty() && args.front().front() != '-') {
        const std::string& name = args.front();
        if (name != "song" && name != "audio" && name != "terrain" && name != "play") {
            err << kProgram << ": unknown subcommand '" << shown(name)
                << "' (song, audio, terrain or play; see " << kProgram << " --help)\n";
            return {std::nullopt, kExitUsage};
        }
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(std::move(reversed));
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            out << app.help();
            return {std::nullopt, kExitOk};
        }
        err << kProgram << ": " << oneLine(e.what()) << " (see " << kProgram << " --help)\n";
        return {std::nullopt, kExitUsage};
    }

    ParsedArguments result;
    LabOptions options;
    std::string problem;
    auto fail = [&](const std::string& message) {
        if (problem.empty()) problem = message;
    };
    auto needSeed = [&] {
        if (const auto value = readUnsigned32(seed)) {
            options.seed = *value;
        } else {
            fail("--seed: expected an integer 0..4294967295, got '" + shown(seed) + "'");
        }
    };
    auto needClock = [&] {
        if (app.get_subcommands().front()->count("--clock") == 0) return;
        if (const auto value = readUnsigned32(clock)) {
            options.clockMs = *value;
        } else {
            fail("--clock: expected an integer 0..4294967295, got '" + shown(clock) + "'");
        }
    };

    if (song->parsed()) {
        options.command = Command::Song;
        needSeed();
    } else if (audio->parsed()) {
        options.command = Command::Audio;
        needSeed();
        if (const auto blocks = readSecondsAsBlocks(seconds)) {
            options.blocks = *blocks;
        } else {
            fail("--seconds: expected a decimal number of seconds, 0 < S <= 3600, got '" + shown(seconds) + "'");
        }
        needClock();
        options.out = audioOut;
        if (audioOut.empty()) fail("--out: empty file name");
    } else if (terrain->parsed()) {
        options.command = Command::Terrain;
        if (const auto value = readFloat32(time)) {
            options.terrainTime = *value;
        } else {
            fail("--time: expected a finite decimal number, got '" + shown(time) + "'");
        }
        const auto speedValue = readFloat32(speed);
        if (speedValue && *speedValue >= 0.0f && *speedValue <= 1.0f) {
            options.terrainSpeed = *speedValue;
        } else {
            fail("--speed: expected a decimal number 0..1, got '" + shown(speed) + "'");
        }
        if (const auto value = readInteger(orientation, -1'000'000'000, 1'000'000'000)) {
            options.orientation = static_cast<int32_t>(*value);
        } else {
            fail("--orientation: expected an integer -1000000000..1000000000, got '" + shown(orientation) + "'");
        }
    } else if (play->parsed()) {
        options.command = Command::Play;
        needSeed();
        if (const auto value = readInteger(frames, 1, kMaxFrames)) {
            options.frames = *value;
        } else {
            fail("--frames: expected an integer 1.." + std::to_string(kMaxFrames) + ", got '" + shown(frames) + "'");
        }
        needClock();
        auto path = [&](const char* name, const std::string& value, std::optional<std::string>& into) {
            if (play->count(name) == 0) return;
            if (value.empty()) fail(std::string(name) + ": empty file name");
            into = value;
        };
        path("--keys", keys, options.keysFile);
        path("--trace", trace, options.traceFile);
        path("--wav", wav, options.wavFile);
        path("--shots", shots, options.shotsDir);
        if (options.shotsDir) {
            if (const auto value = readInteger(every, 1, 0x7FFFFFFF)) {
                options.every = *value;
            } else {
                fail("--every: expected an integer 1..2147483647, got '" + shown(every) + "'");
            }
        }
        if (options.traceFile && options.wavFile && *options.traceFile == *options.wavFile) {
            fail("--trace and --wav name the same file '" + shown(*options.traceFile) + "'");
        }
    }

    if (!problem.empty()) {
        err << kProgram << ": " << problem << "\n";
        return {std::nullopt, kExitUsage};
    }
    result.options = std::move(options);
    return result;
}

}  // namespace vonkel::lab
