#include "tools/lab_commands.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>

#include <bit>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/random.h"
#include "app/world.h"
#include "game/frame_update.h"
#include "mini_json.h"
#include "synth/audio_renderer.h"
#include "temp_dir.h"
#include "tools/fnv1a.h"
#include "tools/simulation.h"

namespace vonkel::lab {
namespace {

struct LabResult {
    int status;
    std::string out;
    std::string err;
};

LabResult lab(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runLab(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<float> readWav(const std::string& path, SF_INFO& info) {
    info = {};
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    if (in == nullptr) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames));
    sf_read_float(in, samples.data(), info.frames);
    sf_close(in);
    return samples;
}

// ---------------------------------------------------------------- errors

TEST(LabErrors, BadAudioArgumentsWriteNothing) {
    TempDir dir;
    const std::string out = dir.file("song.wav");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"audio", "--seed", "1", "--seconds", "0", "--out", out},
             {"audio", "--seed", "-1", "--seconds", "1", "--out", out},
             {"audio", "--seed", "1", "--seconds", "1", "--out", dir.file("missing/song.wav")},
             {"audio", "--seed", "1", "--seconds", "1", "--out", dir.path().string()},
         }) {
        const LabResult r = lab(args);
        EXPECT_EQ(r.status, 2) << args[5];
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_TRUE(dir.list().empty());
    }
}

TEST(LabErrors, ABadKeysFileIsReportedWithItsLineAndWritesNothing) {
    TempDir dir;
    dir.write("keys.txt", "0 up\n5 sideways\n");
    const LabResult r = lab({"play", "--seed", "1", "--frames", "10", "--keys", dir.file("keys.txt"), "--trace",
                       dir.file("t.jsonl"), "--wav", dir.file("a.wav"), "--shots", dir.file("shots"), "--every",
                       "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sideways"), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"keys.txt"}));
}

TEST(LabErrors, AMissingKeysFileIsAnInputError) {
    TempDir dir;
    const LabResult r = lab({"play", "--seed", "1", "--frames", "10", "--keys", dir.file("none.txt"), "--trace",
                       dir.file("t.jsonl")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("none.txt"), std::string::npos);
    EXPECT_TRUE(dir.list().empty());
}

TEST(LabErrors, AnUnusableOutputRemovesTheOthers) {
    TempDir dir;
    dir.write("plain", "a file, not a folder");
    // The trace and the WAV are created first; the shots folder then fails.
    LabResult r = lab({"play", "--seed", "1", "--frames", "10", "--trace", dir.file("t.jsonl"), "--wav",
                 dir.file("a.wav"), "--shots", dir.file("plain"), "--every", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"plain"}));

    r = lab({"play", "--seed", "1", "--frames", "10", "--trace", dir.file("t.jsonl"), "--wav",
             dir.file("nowhere/a.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"plain"}));
}

TEST(LabErrors, NoArgumentListCrashes) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"--"},
        {"-"},
        {"--help", "--help"},
        {"song", "--seed"},
        {"song", "--seed="},
        {"song", "--seed", "1", "--"},
        {"song", "--", "--seed", "1"},
        {"play", "--frames"},
        {"play", "--seed", "1", "--frames", "-1"},
        {"play", "--seed", "1", "--frames", "1e3"},
        {"terrain", "--time", "1e400", "--speed", "0"},
        {"terrain", "--time", "--speed", "0"},
        {"audio", "--seconds", "\xff\xfe", "--seed", "1", "--out", "x"},
        {"song", std::string("--seed\0", 7), "1"},
        {"play", "song", "audio"},
        {"-h", "play"},
    };
    for (const auto& args : cases) {
        const LabResult r = lab(args);
        EXPECT_TRUE(r.status == 0 || r.status == 2) << r.status << " " << r.err;
        if (r.status == 2) {
            EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        }
    }
}

// ---------------------------------------------------------------- terrain

TEST(LabTerrain, PrintsThirtyRowsOfKindsAndTheirCounts) {
    const LabResult r = lab({"terrain", "--time", "0", "--speed", "0.0003"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 31u);
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(rows[i].size(), 40u);
        for (char c : rows[i]) {
            ASSERT_TRUE(c >= '0' && c <= '2') << rows[i];
            ++counts[c - '0'];
        }
    }
    EXPECT_EQ(rows[30], "counts: " + std::to_string(counts[0]) + " " + std::to_string(counts[1]) + " " +
                            std::to_string(counts[2]));
    // The first frame of a game whose terrain time starts at 0.
    EXPECT_EQ(rows[0][0], '2');
    EXPECT_EQ(rows[0][39], '0');
    EXPECT_EQ(rows[29][0], '0');
    EXPECT_EQ(rows[29][39], '1');
    EXPECT_EQ(rows[30], "counts: 382 526 292");
}

TEST(LabTerrain, OrientationTurnsTilesButNotKinds) {
    const LabResult plain = lab({"terrain", "--time", "41.7", "--speed", "0.01"});
    const LabResult turned = lab({"terrain", "--time", "41.7", "--speed", "0.01", "--orientation", "3"});
    ASSERT_EQ(plain.status, 0);
    const LabResult back = lab({"terrain", "--time", "41.7", "--speed", "0.01", "--orientation=-5"});
    ASSERT_EQ(turned.status, 0);
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(plain.out, turned.out);
    EXPECT_EQ(plain.out, back.out);
    // A faster field (w = 70) has more of the hazard kind than a slow one.
    const LabResult slow = lab({"terrain", "--time", "41.7", "--speed", "0.0003"});
    const auto countOf = [](const std::string& out) {
        std::istringstream last(lines(out).back().substr(8));
        int c0, c1, c2;
        last >> c0 >> c1 >> c2;
        return c2;
    };
    EXPECT_GT(countOf(plain.out), countOf(slow.out));
}

// ---------------------------------------------------------------- song

TEST(LabSong, OneSeedGivesOneLine) {
    const LabResult a = lab({"song", "--seed", "12345"});
    const LabResult b = lab({"song", "--seed", "12345"});
    const LabResult c = lab({"song", "--seed", "12346"});
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out, c.out);
    ASSERT_EQ(lines(a.out).size(), 1u);
    EXPECT_EQ(a.out.back(), '\n');
}

TEST(LabSong, PrintsTheSongStateOfANewGame) {
    const uint32_t savedState = randomState();
    const LabResult r = lab({"song", "--seed", "777"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(randomState(), savedState);  // the caller's generator is left alone

    const minijson::Value song = minijson::parse(lines(r.out).at(0));
    EXPECT_EQ(song.keys(),
              (std::vector<std::string>{"terrainTime", "animTime", "masterGain", "chunksPerStep", "chunkCounter",
                                        "bassOffbeat", "barRoots", "barQualities", "currentRoot", "currentQuality",
                                        "stepIndex", "barIndex", "melodyPattern", "melodyLength", "drumPattern",
                                        "voices", "notePeriods", "nextDraw"}));
    EXPECT_EQ(song["barRoots"].items.size(), 4u);
    EXPECT_EQ(song["barQualities"].items.size(), 4u);
    EXPECT_EQ(song["melodyPattern"].items.size(), 32u);
    EXPECT_EQ(song["drumPattern"].items.size(), 32u);
    EXPECT_EQ(song["notePeriods"].items.size(), 120u);
    ASSERT_EQ(song["voices"].items.size(), 8u);
    for (const auto& voice : song["voices"].items) {
        EXPECT_EQ(voice.keys(), (std::vector<std::string>{"highLevel", "lowLevel", "highSlope", "lowSlope", "noise",
                                                          "attackStep", "decayStep", "cutoff", "damping",
                                                          "pulseWidth", "amplitude"}));
        EXPECT_TRUE(voice["noise"].asInt() == 0 || voice["noise"].asInt() == 1);
    }
    for (const char* key : {"chunksPerStep", "chunkCounter", "bassOffbeat", "currentRoot", "stepIndex",
                            "melodyLength", "nextDraw"}) {
        EXPECT_TRUE(song[key].isInteger()) << key;
    }

    // The same game made here directly.
    auto world = std::make_unique<World>();
    seedRandom(777);
    newGame(*world);
    const int nextDraw = peekRandom();
    setRandomState(savedState);

    EXPECT_EQ(song["masterGain"].asFloat(), 0.2f);
    EXPECT_EQ(song["chunkCounter"].asInt(), 0);
    EXPECT_EQ(song["terrainTime"].asFloat(), world->terrainTime);
    EXPECT_EQ(song["animTime"].asFloat(), world->animTime);
    EXPECT_EQ(song["chunksPerStep"].asInt(), world->chunksPerStep.load());
    EXPECT_EQ(song["nextDraw"].asInt(), nextDraw);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(song["barRoots"][i].asInt(), world->barRoots[i].load());
    for (int i = 0; i < 32; ++i) EXPECT_EQ(song["melodyPattern"][i].asInt(), world->melodyPattern[i].load());
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(song["notePeriods"][i].asFloat(), world->NotePeriodTable[i].load()) << i;
    }
    for (int v = 0; v < kVoiceCount; ++v) {
        EXPECT_EQ(song["voices"][v]["highSlope"].asFloat(), world->voices[v].highSlope.load());
        EXPECT_EQ(song["voices"][v]["lowSlope"].asFloat(), world->voices[v].lowSlope.load());
        EXPECT_EQ(song["voices"][v]["cutoff"].asFloat(), world->voices[v].cutoff.load());
        EXPECT_EQ(song["voices"][v]["decayStep"].asFloat(), world->voices[v].decayStep.load());
    }
}

// ---------------------------------------------------------------- audio

// The export, made here block by block with renderAudioBlock: the lead voice
// sweeps every 16 ms, blocks start every 512/44100 s, and the audio thread's
// generator never disturbs the main thread's.
std::vector<float> renderedDirectly(uint32_t seed, uint32_t clock, int64_t blocks) {
    const uint32_t saved = randomState();
    auto world = std::make_unique<World>();
    seedRandom(seed);
    newGame(*world);
    std::vector<float> samples;
    std::vector<float> block(512);
    int64_t k = 0;
    for (int64_t frame = 0; k < blocks; ++frame) {
        const int64_t t = frame * 16;
        while (k < blocks && k * 512 * 1000 <= t * 44100) {
            const uint32_t main = randomState();
            renderAudioBlock(*world, block.data(), 512, clock + static_cast<uint32_t>(k * 512 * 1000 / 44100));
            setRandomState(main);
            samples.insert(samples.end(), block.begin(), block.end());
            ++k;
        }
        sweepLeadVoice(*world);
    }
    setRandomState(saved);
    return samples;
}

TEST(LabAudio, WritesExactlyTheRenderedBlocks) {
    TempDir dir;
    // 0.5 s is ceil(43.07) = 44 blocks; the clock wraps past 2^32 on the way.
    const LabResult r = lab({"audio", "--seed", "99", "--seconds", "0.5", "--clock", "4294967000", "--out",
                       dir.file("song.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"song.wav"}));

    SF_INFO info;
    const std::vector<float> samples = readWav(dir.file("song.wav"), info);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(samples.size(), 44u * 512u);

    const std::vector<float> expected = renderedDirectly(99, 4294967000u, 44);
    ASSERT_EQ(expected.size(), samples.size());
    size_t nonzero = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(samples[i]), std::bit_cast<uint32_t>(expected[i])) << "sample " << i;
        nonzero += samples[i] != 0.0f ? 1 : 0;
    }
    EXPECT_GT(nonzero, samples.size() / 4);  // the song plays
}

TEST(LabAudio, TheClockChangesTheNoiseButNotTheLength) {
    TempDir dir;
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--out", dir.file("a.wav")}).status, 0);
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--out", dir.file("b.wav")}).status, 0);
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--clock", "777", "--out", dir.file("c.wav")}).status,
              0);
    SF_INFO info;
    const auto a = readWav(dir.file("a.wav"), info);
    const auto b = readWav(dir.file("b.wav"), info);
    const auto c = readWav(dir.file("c.wav"), info);
    EXPECT_EQ(a.size(), 87u * 512u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(c.size(), a.size());
    // The audio thread's draws (noise hits among them) follow the clock, so
    // a second of this song differs somewhere once the clock is moved.
    EXPECT_NE(c, a);
}

// ---------------------------------------------------------------- play

TEST(LabPlay, WritesTraceAudioAndShotsOfEachFrame) {
    TempDir dir;
    const LabResult r = lab({"play", "--seed", "2024", "--frames", "5", "--trace", dir.file("t.jsonl"), "--wav",
                       dir.file("a.wav"), "--shots", dir.file("shots/deep"), "--every", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.wav", "shots", "t.jsonl"}));
    EXPECT_EQ(dir.list("shots/deep"),
              (std::vector<std::string>{"frame-000000.png", "frame-000002.png", "frame-000004.png"}));

    const auto trace = lines(dir.read("t.jsonl"));
    ASSERT_EQ(trace.size(), 5u);
    const std::vector<std::string> keys = {
        "frame",       "time",           "quit",        "playerX",    "playerY",         "playerDirection",
        "energy",      "boostFuel",      "score",       "frameCounter", "gameOverCounter", "scopeMode",
        "tileOrientation", "terrainTime", "terrainSpeed", "animTime",  "masterGain",      "beatFlag",
        "stepIndex",   "barIndex",       "currentRoot", "currentQuality", "pickups",      "grid",
        "framebuffer"};
    for (size_t f = 0; f < trace.size(); ++f) {
        const minijson::Value line = minijson::parse(trace[f]);
        EXPECT_EQ(line.keys(), keys);
        EXPECT_EQ(line["frame"].asInt(), static_cast<long long>(f));
        EXPECT_EQ(line["time"].asInt(), static_cast<long long>(16 * f));
        EXPECT_FALSE(line["quit"].boolean);
        EXPECT_EQ(line["frameCounter"].asInt(), static_cast<long long>(f + 1));
        EXPECT_EQ(line["grid"].text.size(), 16u);
        EXPECT_EQ(line["framebuffer"].text.size(), 16u);
        for (const auto& pickup : line["pickups"].items) EXPECT_EQ(pickup.items.size(), 3u);
    }

    // Blocks 0..5 start by frame 4 (64 ms): 0, 11.6, 23.2, 34.8, 46.4, 58.0.
    SF_INFO info;
    EXPECT_EQ(readWav(dir.file("a.wav"), info).size(), 6u * 512u);

    // The same five frames driven here; the last shot and trace line match.
    SimulatedRun run(2024, 0);
    run.start();
    for (int f = 0; f < 5; ++f) ASSERT_TRUE(run.playFrame(KeyState{}));
    const World& world = run.world();
    EXPECT_EQ(trace[4], traceJson(world, 4, 64, false));
    EXPECT_EQ(minijson::parse(trace[4])["framebuffer"].text, toHex16(framebufferDigest(world)));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.file("shots/deep/frame-000004.png").c_str()));
    ASSERT_EQ(image.width, 640u);
    ASSERT_EQ(image.height, 480u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const size_t i = 3 * (static_cast<size_t>(y) * 640 + static_cast<size_t>(x));
            const uint32_t got = static_cast<uint32_t>(rgb[i]) << 16 | static_cast<uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2];
            ASSERT_EQ(got, world.Framebuffer[static_cast<size_t>(y / 2 * 320 + x / 2)] & 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(LabPlay, EscapeHeldEntersScopeModeAndQuitsAfter31Frames) {
    TempDir dir;
    dir.write("keys.txt", "# hold escape\n0 escape\n");
    const LabResult r = lab({"play", "--seed", "3", "--frames", "100", "--keys", dir.file("keys.txt"), "--trace",
                       dir.file("t.jsonl")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto trace = lines(dir.read("t.jsonl"));
    ASSERT_EQ(trace.size(), 32u);  // frames 0..31; frame 31 quits
    for (size_t f = 0; f < trace.size(); ++f) {
        const minijson::Value line = minijson::parse(trace[f]);
        EXPECT_EQ(line["scopeMode"].asInt(), 1);
        EXPECT_EQ(line["quit"].boolean, f == 31) << f;
        // Every frame from the first lasts 25 ms in scope mode.
        EXPECT_EQ(line["time"].asInt(), static_cast<long long>(25 * f));
        EXPECT_EQ(line["terrainSpeed"].asFloat(), 0.01f);
    }
}

TEST(LabPlay, ScriptedKeysReachTheGame) {
    TempDir dir;
    dir.write("left.txt", "0 left\n3 -\n6 down\n");
    ASSERT_EQ(lab({"play", "--seed", "8", "--frames", "8", "--keys", dir.file("left.txt"), "--trace",
                   dir.file("left.jsonl")})
                  .status,
              0);
    ASSERT_EQ(lab({"play", "--seed", "8", "--frames", "8", "--trace", dir.file("none.jsonl")}).status, 0);
    const auto left = lines(dir.read("left.jsonl"));
    const auto none = lines(dir.read("none.jsonl"));
    ASSERT_EQ(left.size(), 8u);
    ASSERT_EQ(none.size(), 8u);
    for (int f = 0; f < 8; ++f) {
        EXPECT_EQ(minijson::parse(none[f])["playerDirection"].asInt(), 0);
        // Left from frame 0 to 2, then nothing (still facing left), then down.
        EXPECT_EQ(minijson::parse(left[f])["playerDirection"].asInt(), f < 6 ? 3 : 2) << f;
    }
}

TEST(LabPlay, TraceReportsActivePickupsInSlotOrder) {
    auto world = std::make_unique<World>();
    world->pickups[42] = Pickup{true, 0, 29};
    world->pickups[3] = Pickup{true, 7, 9};
    world->pickups[50] = Pickup{false, 5, 5};
    world->scopeMode = true;
    const minijson::Value line = minijson::parse(traceJson(*world, 12, 300, true));
    EXPECT_EQ(minijson::parse(traceJson(*world, 12, 300, true))["quit"].boolean, true);
    EXPECT_EQ(line["scopeMode"].asInt(), 1);
    EXPECT_EQ(line["beatFlag"].asInt(), 0);
    ASSERT_EQ(line["pickups"].items.size(), 2u);
    EXPECT_EQ(line["pickups"][0][0].asInt(), 3);
    EXPECT_EQ(line["pickups"][0][1].asInt(), 7);
    EXPECT_EQ(line["pickups"][0][2].asInt(), 9);
    EXPECT_EQ(line["pickups"][1][0].asInt(), 42);
    EXPECT_EQ(line["pickups"][1][2].asInt(), 29);
}

TEST(LabPlay, DigestsTakeOneByteACellAndFourLittleEndianBytesAPixel) {
    auto world = std::make_unique<World>();
    world->TerrainGrid[1] = 2;
    world->Framebuffer[0] = 0x00112233u;

    Fnv1a64 grid;
    std::vector<uint8_t> cells(1200, 0);
    cells[1] = 2;
    grid.addBytes(cells);
    EXPECT_EQ(gridDigest(*world), grid.value());

    Fnv1a64 pixels;
    std::vector<uint8_t> bytes(76800 * 4, 0);
    bytes[0] = 0x33;
    bytes[1] = 0x22;
    bytes[2] = 0x11;
    pixels.addBytes(bytes);
    EXPECT_EQ(framebufferDigest(*world), pixels.value());
}

// ---------------------------------------------------------------- the two generators

TEST(SimulatedRun, AudioBlocksNeverDisturbTheMainGenerator) {
    // After newGame and many blocks, the main generator stands where newGame
    // alone left it, and the caller's own generator is untouched.
    const uint32_t saved = randomState();
    std::vector<uint32_t> clocks;
    SimulatedRun run(4242, 100, [&](const RenderedBlock& b) { clocks.push_back(b.clockMs); });
    run.start();
    for (int f = 0; f < 30; ++f) run.sweepFrame(std::nullopt);
    EXPECT_EQ(randomState(), saved);

    auto world = std::make_unique<World>();
    seedRandom(4242);
    newGame(*world);
    const uint32_t afterNewGame = randomState();
    setRandomState(saved);
    EXPECT_EQ(run.mainRandomState(), afterNewGame);

    // 30 frames reach 464 ms: blocks 0..39, clocks 100 + floor(B_k).
    ASSERT_EQ(clocks.size(), 40u);
    for (size_t k = 0; k < clocks.size(); ++k) {
        EXPECT_EQ(clocks[k], 100u + static_cast<uint32_t>(k * 512000 / 44100));
    }
}

}  // namespace
}  // namespace vonkel::lab
