#include "tools/lab_subcommand_options.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "lockstep/run_recorder.h"

namespace vonkel::lab {
namespace {

using lockstep::readFloat32;
using lockstep::readInteger;
using lockstep::readSecondsAsBlocks;
using lockstep::readUnsigned32;
using lockstep::printable;

// An option whose text one of the strict readers turns into `into`. A text
// it rejects ends the parse with "--NAME: expected WHAT, got 'TEXT'".
template <class T, class Reader>
CLI::Option* addNumber(CLI::App* app, const std::string& name, T& into, Reader read, const std::string& what,
                       const std::string& help) {
    const CLI::Validator valid(
        [read, what](std::string& text) {
            return read(text) ? std::string() : "expected " + what + ", got '" + printable(text) + "'";
        },
        "", "");
    const auto store = [&into, read](const std::string& text) { into = static_cast<T>(*read(text)); };
    return app->add_option_function<std::string>(name, store, help)->check(valid);
}

// A file or folder name (a std::string or an optional one); never empty.
template <class T>
CLI::Option* addPath(CLI::App* app, const std::string& name, T& into, const std::string& help) {
    const CLI::Validator named([](std::string& text) { return text.empty() ? "empty file name" : ""; }, "", "");
    const auto store = [&into](const std::string& text) { into = text; };
    return app->add_option_function<std::string>(name, store, help)->check(named);
}

CLI::Option* addSeed(CLI::App* app, LabOptions& options) {
    return addNumber(app, "--seed", options.seed, readUnsigned32, "an integer 0..4294967295",
                     "seed of the main random generator (0..4294967295)")
        ->required()
        ->type_name("N");
}

CLI::Option* addClock(CLI::App* app, LabOptions& options) {
    return addNumber(app, "--clock", options.clockMs, readUnsigned32, "an integer 0..4294967295",
                     "millisecond clock at the start, C (0..4294967295, default 0)")
        ->type_name("C");
}

void addSong(CLI::App& app, LabOptions& options) {
    CLI::App* song = app.add_subcommand("song", "Compose the song of a new game and print it as one JSON line");
    song->callback([&options] { options.command = Command::Song; });
    addSeed(song, options);
    song->footer("Prints one JSON line: tempo, progression, patterns, the eight voices, the\n"
                 "note periods and nextDraw, the main generator's next draw.");
}

// The sound format: --format (an empty one names none), else the extension
// of --out.
void chooseSoundFormat(LabOptions& options, const std::optional<std::string>& named) {
    const auto format = named ? output::soundFormatNamed(*named) : output::soundFormatFor(options.out);
    if (!format) {
        throw CLI::ValidationError(named ? "--format" : "--out",
                                   "'" + printable(named ? *named : options.out) +
                                       "' is not a sound format this program writes (" + output::kSoundFormats +
                                       (named ? "" : "; --format picks one") + ")");
    }
    options.soundFormat = *format;
}

void addAudio(CLI::App& app, LabOptions& options) {
    CLI::App* audio = app.add_subcommand(
        "audio", "Export a song as a sound file (WAV, mono 44100 Hz 32-bit float; or FLAC, Ogg, Opus, MP3)");
    auto format = std::make_shared<std::optional<std::string>>();
    audio->callback([&options, format] {
        options.command = Command::Audio;
        chooseSoundFormat(options, *format);
    });
    addSeed(audio, options);
    addNumber(audio, "--seconds", options.blocks, readSecondsAsBlocks, "a decimal number of seconds, 0 < S <= 3600",
              "length, a decimal number of seconds, 0 < S <= 3600")
        ->required()
        ->type_name("S");
    addClock(audio, options);
    addPath(audio, "--out", options.out, "the sound file to write, by its extension ('-': standard output)")
        ->required()
        ->type_name("FILE.wav");
    audio->add_option_function<std::string>(
             "--format", [format](const std::string& text) { *format = text; },
             "the format, whatever the name: wav, flac, ogg, opus or mp3")
        ->type_name("FORMAT");
    audio->footer("The song of a new game from --seed, as the game plays it with no key\n"
                  "pressed: ceil(S x 44100 / 512) whole blocks of 512 samples. WAV holds\n"
                  "them exactly; FLAC at 24 bits; Ogg Vorbis, Opus (at 48 kHz) and MP3\n"
                  "are for sharing. A name without an extension, or '-', is WAV.");
}

void addTerrain(CLI::App& app, LabOptions& options) {
    CLI::App* terrain = app.add_subcommand("terrain", "Compute one frame of the terrain field and print its cells");
    terrain->callback([&options] { options.command = Command::Terrain; });
    const auto speed = [](std::string_view text) {
        const auto value = readFloat32(text);
        return value && *value >= 0.0f && *value <= 1.0f ? value : std::nullopt;
    };
    const auto orientation = [](std::string_view text) { return readInteger(text, -1'000'000'000, 1'000'000'000); };
    addNumber(terrain, "--time", options.terrainTime, readFloat32, "a finite decimal number",
              "terrain time before the step (a 32-bit float)")
        ->required()
        ->type_name("T");
    addNumber(terrain, "--speed", options.terrainSpeed, speed, "a decimal number 0..1",
              "terrain speed (a 32-bit float, 0..1)")
        ->required()
        ->type_name("S");
    addNumber(terrain, "--orientation", options.orientation, orientation, "an integer -1000000000..1000000000",
              "tile orientation in quarter turns (-1000000000..1000000000, default 0)")
        ->type_name("O");
    terrain->footer("Advances the field once from the given time, speed and orientation and\n"
                    "prints its 30 rows of 40 cell kinds, then 'counts: c0 c1 c2'.");
}

// The video's format, by the extension of --video.
void chooseVideoFormat(LabOptions& options) {
    if (!options.videoFile) return;
    const auto format = output::videoFormatFor(*options.videoFile);
    if (!format) {
        throw CLI::ValidationError("--video", "'" + printable(*options.videoFile) + "' is not a video format (" +
                                                  output::kVideoFormats + ")");
    }
    options.videoFormat = *format;
}

// The outputs that play and replay both make of a game.
void addGameOutputs(CLI::App* app, LabOptions& options) {
    const auto every = [](std::string_view text) { return readInteger(text, 1, 0x7FFFFFFF); };
    addPath(app, "--trace", options.traceFile, "write one JSON line per frame to FILE ('-': standard output)")
        ->type_name("FILE");
    addPath(app, "--wav", options.wavFile, "write every rendered audio block to a WAV file ('-': standard output)")
        ->type_name("FILE");
    addPath(app, "--video", options.videoFile,
            "write the pictures and the sound as a video: .mp4 (H.264, AAC) or .mkv (lossless; '-': standard output)")
        ->type_name("FILE");
    CLI::Option* shots =
        addPath(app, "--shots", options.shotsDir, "write PNG screenshots (640 x 480) into DIR, created if missing")
            ->type_name("DIR");
    CLI::Option* everyK = addNumber(app, "--every", options.every, every, "an integer 1..2147483647",
                                    "screenshot frames 0, K, 2K, ... (K >= 1; goes with --shots)")
                              ->type_name("K");
    shots->needs(everyK);
    everyK->needs(shots);
}

void addPlay(CLI::App& app, LabOptions& options) {
    CLI::App* play =
        app.add_subcommand("play", "Play a game headless with scripted keys; write a trace, audio, screenshots");
    play->callback([&options] {
        options.command = Command::Play;
        chooseVideoFormat(options);
        // The recorder stops there: a longer run file would not be the whole game.
        if (options.runFile && options.frames > lockstep::kMaxRecordedFrames) {
            throw CLI::ValidationError("--run", "a run file holds at most " +
                                                    std::to_string(lockstep::kMaxRecordedFrames) +
                                                    " frames (3 hours); --frames is " + std::to_string(options.frames));
        }
    });
    const auto frames = [](std::string_view text) { return readInteger(text, 1, kMaxFrames); };
    addSeed(play, options);
    addNumber(play, "--frames", options.frames, frames, "an integer 1.." + std::to_string(kMaxFrames),
              "number of frames to play (1..10000000)")
        ->required()
        ->type_name("F");
    addClock(play, options);
    addPath(play, "--keys", options.keysFile, "key script (see below); without it no key is pressed")->type_name("FILE");
    addGameOutputs(play, options);
    addPath(play, "--run", options.runFile,
            "write the run (seed, keys, digests) as a .vonkelrun file for replay ('-': standard output)")
        ->type_name("FILE");
    play->footer(
        "A fresh game from --seed, then F frames with the keys of --keys, on the\n"
        "simulated clock; the run ends early if the game asks to quit.\n"
        "Key script: lines 'FRAME KEYS'; from frame FRAME on exactly those keys\n"
        "are held. KEYS is '-' or a comma-separated list of up, down, left,\n"
        "right, z, enter, escape. Lines starting with '#' are comments:\n"
        "  0 up,z\n"
        "  60 -\n"
        "Trace: one JSON object per frame. Screenshots: frame-000000.png ...");
}

void addReplay(CLI::App& app, LabOptions& options) {
    CLI::App* replay = app.add_subcommand(
        "replay", "Replay a run file (lab, page or desktop game), check it; write a trace, audio, video, screenshots");
    replay->callback([&options] {
        options.command = Command::Replay;
        chooseVideoFormat(options);
    });
    addPath(replay, "RUN", options.replayFile, "the run file to replay ('-': standard input)")
        ->required()
        ->type_name("FILE");
    addGameOutputs(replay, options);
    replay->add_flag("--strict", options.strict,
                     "demand every picture and every sound block equal, also where a desktop run may differ");
    // The run holds these: named, they are refused with the reason.
    for (const std::string name : {"--seed", "--frames", "--clock", "--keys"}) {
        replay
            ->add_option_function<std::string>(
                name,
                [name](const std::string&) {
                    throw CLI::ValidationError(name, "replay takes the seed, clock, frames and keys from the run file");
                },
                "")
            ->expected(0, 1)
            ->group("");
    }
    replay->footer(
        "Plays the run again from its seed, keys and audio blocks, makes the\n"
        "outputs that play makes (for a run of 'play --run', the very same\n"
        "files), and prints one line that compares every picture and sound\n"
        "block with the run's digests, on standard output (on standard error\n"
        "when an output is '-'):\n"
        "  pictures equal 3000 of 3000, sound blocks equal 4133 of 4133; no difference\n"
        "Exit status: 0 the replay matches its run; 1 it does not (the outputs\n"
        "are still written: they show what the replay made), or a file could not\n"
        "be written; 2 bad arguments or a bad run file (nothing is written).\n"
        "A desktop run matches when every picture is equal but those of the scope\n"
        "view, which draws the sound: its sound may differ where a block was\n"
        "rendered while a frame ran on the other thread (the line counts them);\n"
        "--strict demands every one equal, as a run of the lab or the page\n"
        "always must. A run without digests has\n"
        "nothing to check but where the game ends.");
}

}  // namespace

void addSubcommands(CLI::App& app, LabOptions& options) {
    addSong(app, options);
    addAudio(app, options);
    addTerrain(app, options);
    addPlay(app, options);
    addReplay(app, options);
}

}  // namespace vonkel::lab
