#include "tools/lab_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/world.h"
#include "game/frame_update.h"
#include "game/game.h"
#include "lockstep/digests.h"
#include "lockstep/simulated_run.h"
#include "lab_test_support.h"
#include "tools/json_line.h"

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

using lockstep::SimulatedRun;
using test::asInt;
using test::Json;
using test::TempDir;

// `play` with a seed, a frame count and further options.
std::vector<std::string> play(const std::string& seed, const std::string& frames, std::vector<std::string> more) {
    std::vector<std::string> args = {"play", "--seed", seed, "--frames", frames};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

template <class T, size_t N>
std::vector<long long> intsOf(const Relaxed<T> (&values)[N]) {
    return std::vector<long long>(std::begin(values), std::end(values));
}

// ---------------------------------------------------------------- errors

TEST(LabErrors, ABadOrMissingKeysFileIsReportedAndWritesNothing) {
    TempDir dir;
    dir.write("keys.txt", "0 up\n5 sideways\n");
    LabResult r = lab(play("1", "10", {"--keys", dir.file("keys.txt"), "--trace", dir.file("t.jsonl"), "--wav",
                                      dir.file("a.wav"), "--shots", dir.file("shots"), "--every", "1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sideways"), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"keys.txt"}));

    r = lab(play("1", "10", {"--keys", dir.file("none.txt"), "--trace", dir.file("t.jsonl")}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("none.txt"), std::string::npos);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"keys.txt"}));
}

TEST(LabErrors, AnUnusableOutputRemovesTheOthers) {
    TempDir dir;
    dir.write("plain", "a file, not a folder");
    // The trace and the WAV are created first; the shots folder then fails.
    LabResult r = lab(play("1", "10", {"--trace", dir.file("t.jsonl"), "--wav", dir.file("a.wav"), "--shots",
                                      dir.file("plain"), "--every", "1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"plain"}));

    r = lab(play("1", "10", {"--trace", dir.file("t.jsonl"), "--wav", dir.file("nowhere/a.wav")}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"plain"}));
}

TEST(LabErrors, NoArgumentListCrashes) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {""}, {"--"}, {"-"}, {"--help", "--help"}, {"-h", "play"}, {"play", "song", "audio"},
        {"song", "--seed"}, {"song", "--seed="}, {"song", "--seed", "1", "--"}, {"song", "--", "--seed", "1"},
        {"song", std::string("--seed\0", 7), "1"}, {"play", "--frames"}, {"play", "--seed", "1", "--frames", "-1"},
        {"play", "--seed", "1", "--frames", "1e3"}, {"terrain", "--time", "1e400", "--speed", "0"},
        {"terrain", "--time", "--speed", "0"}, {"audio", "--seconds", "\xff\xfe", "--seed", "1", "--out", "x"},
    };
    for (const auto& args : cases) {
        const LabResult r = lab(args);
        EXPECT_TRUE(r.status == 0 || r.status == 2) << r.status << " " << r.err;
        EXPECT_TRUE(r.status != 2 || lines(r.err).size() == 1u) << r.err;
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
    // The first frame of a game whose terrain time starts at 0: its corners and counts.
    EXPECT_EQ((std::string{rows[0][0], rows[0][39], rows[29][0], rows[29][39]}), "2001");
    EXPECT_EQ((std::vector<int>(counts, counts + 3)), (std::vector<int>{382, 526, 292}));
    EXPECT_EQ(rows[30], "counts: 382 526 292");
}

TEST(LabTerrain, OrientationTurnsTilesButNotKinds) {
    const LabResult plain = lab({"terrain", "--time", "41.7", "--speed", "0.01"});
    const LabResult turned = lab({"terrain", "--time", "41.7", "--speed", "0.01", "--orientation", "3"});
    const LabResult back = lab({"terrain", "--time", "41.7", "--speed", "0.01", "--orientation=-5"});
    ASSERT_TRUE(plain.status == 0 && turned.status == 0 && back.status == 0) << turned.err << back.err;
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

TEST(LabSong, PrintsTheSongStateOfANewGameOnOneLine) {
    const LabResult r = lab({"song", "--seed", "777"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lab({"song", "--seed", "777"}).out, r.out);
    EXPECT_NE(lab({"song", "--seed", "778"}).out, r.out);
    ASSERT_EQ(lines(r.out).size(), 1u);
    EXPECT_EQ(r.out.back(), '\n');

    const std::string text = lines(r.out)[0];
    EXPECT_EQ(test::keysAt(text),
              (std::vector<std::string>{"terrainTime", "animTime", "masterGain", "chunksPerStep", "chunkCounter",
                                        "bassOffbeat", "barRoots", "barQualities", "currentRoot", "currentQuality",
                                        "stepIndex", "barIndex", "melodyPattern", "melodyLength", "drumPattern",
                                        "voices", "notePeriods", "nextDraw"}));
    std::vector<std::string> voiceKeys;  // the members of each of the eight voices
    for (int v = 0; v < 8; ++v)
        for (const char* key : {"highLevel", "lowLevel", "highSlope", "lowSlope", "noise", "attackStep", "decayStep",
                                "cutoff", "damping", "pulseWidth", "amplitude"})
            voiceKeys.push_back(key);
    EXPECT_EQ(test::keysAt(text, 3), voiceKeys);
    Json song = Json::parse(text);
    ASSERT_EQ(song["voices"].size(), 8u);
    for (const Json& voice : song["voices"])
        EXPECT_TRUE(asInt(voice.at("noise")) == 0 || asInt(voice.at("noise")) == 1);
    for (const char* key : {"chunksPerStep", "chunkCounter", "bassOffbeat", "currentRoot", "stepIndex",
                            "melodyLength", "nextDraw"})
        EXPECT_TRUE(song[key].is_number_integer()) << key;

    // The same game made here directly.
    auto world = std::make_unique<World>();
    startGame(*world, 777);
    const int nextDraw = world->mainRandom.peek();

    EXPECT_EQ(song["masterGain"].get<float>(), 0.2f);
    EXPECT_EQ(asInt(song["chunkCounter"]), 0);
    EXPECT_EQ(song["terrainTime"].get<float>(), world->terrainTime);
    EXPECT_EQ(song["animTime"].get<float>(), world->animTime);
    EXPECT_EQ(asInt(song["chunksPerStep"]), world->chunksPerStep.load());
    EXPECT_EQ(asInt(song["nextDraw"]), nextDraw);
    EXPECT_EQ(test::asInts(song["barRoots"]), intsOf(world->barRoots));
    EXPECT_EQ(test::asInts(song["barQualities"]), intsOf(world->barQualities));
    EXPECT_EQ(test::asInts(song["melodyPattern"]), intsOf(world->melodyPattern));
    EXPECT_EQ(test::asInts(song["drumPattern"]), intsOf(world->drumPattern));
    EXPECT_EQ(song["notePeriods"].get<std::vector<float>>(),
              std::vector<float>(std::begin(world->NotePeriodTable), std::end(world->NotePeriodTable)));
    for (int v = 0; v < kVoiceCount; ++v) {
        const Json& got = song["voices"][static_cast<size_t>(v)];
        EXPECT_EQ(got.at("highSlope").get<float>(), world->voices[v].highSlope.load());
        EXPECT_EQ(got.at("lowSlope").get<float>(), world->voices[v].lowSlope.load());
        EXPECT_EQ(got.at("cutoff").get<float>(), world->voices[v].cutoff.load());
        EXPECT_EQ(got.at("decayStep").get<float>(), world->voices[v].decayStep.load());
    }
}

// ---------------------------------------------------------------- audio

// The export, made here block by block with renderAudioBlock: the lead voice
// sweeps every 16 ms and blocks start every 512/44100 s.
std::vector<float> renderedDirectly(uint32_t seed, uint32_t clock, int64_t blocks) {
    auto world = std::make_unique<World>();
    startGame(*world, seed);
    std::vector<float> samples;
    std::vector<float> block(512);
    int64_t k = 0;
    for (int64_t frame = 0; k < blocks; ++frame) {
        const int64_t t = frame * 16;
        while (k < blocks && k * 512 * 1000 <= t * 44100) {
            renderAudioBlock(*world, block.data(), 512, clock + static_cast<uint32_t>(k * 512 * 1000 / 44100));
            samples.insert(samples.end(), block.begin(), block.end());
            ++k;
        }
        sweepLeadVoice(*world);
    }
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
    const std::vector<float> samples = test::readWav(dir.file("song.wav"), info);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(samples.size(), 44u * 512u);
    EXPECT_EQ(test::bitsOf(samples), test::bitsOf(renderedDirectly(99, 4294967000u, 44)));
    // The song plays.
    EXPECT_GT(std::count_if(samples.begin(), samples.end(), [](float s) { return s != 0.0f; }), 44 * 512 / 4);
}

TEST(LabAudio, TheClockChangesTheNoiseButNotTheLength) {
    TempDir dir;
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--out", dir.file("a.wav")}).status, 0);
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--out", dir.file("b.wav")}).status, 0);
    ASSERT_EQ(lab({"audio", "--seed", "5", "--seconds", "1", "--clock", "777", "--out", dir.file("c.wav")}).status,
              0);
    SF_INFO info;
    const auto a = test::readWav(dir.file("a.wav"), info);
    const auto b = test::readWav(dir.file("b.wav"), info);
    const auto c = test::readWav(dir.file("c.wav"), info);
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
    const LabResult r = lab(play("2024", "5", {"--trace", dir.file("t.jsonl"), "--wav", dir.file("a.wav"), "--shots",
                                              dir.file("shots/deep"), "--every", "2"}));
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
        EXPECT_EQ(test::keysAt(trace[f]), keys);
        Json line = Json::parse(trace[f]);
        EXPECT_EQ(asInt(line["frame"]), static_cast<long long>(f));
        EXPECT_EQ(asInt(line["time"]), static_cast<long long>(16 * f));
        EXPECT_EQ(line["quit"], false);
        EXPECT_EQ(asInt(line["frameCounter"]), static_cast<long long>(f + 1));
        EXPECT_EQ(line["grid"].get<std::string>().size(), 16u);
        EXPECT_EQ(line["framebuffer"].get<std::string>().size(), 16u);
        for (const Json& pickup : line["pickups"]) EXPECT_EQ(pickup.size(), 3u);
    }

    // Blocks 0..5 start by frame 4 (64 ms): 0, 11.6, 23.2, 34.8, 46.4, 58.0.
    SF_INFO info;
    EXPECT_EQ(test::readWav(dir.file("a.wav"), info).size(), 6u * 512u);

    // The same five frames driven here; the last shot and trace line match.
    SimulatedRun run(2024, 0);
    run.start();
    for (int f = 0; f < 5; ++f) ASSERT_TRUE(run.playFrame(KeyState{}));
    const World& world = run.world();
    EXPECT_EQ(trace[4], traceJson(world, run.lastFrame()));
    EXPECT_EQ(Json::parse(trace[4])["time"], 64);
    EXPECT_EQ(Json::parse(trace[4])["framebuffer"].get<std::string>(), lockstep::hex16(lockstep::framebufferDigest(world)));

    const test::Png shot = test::readPng(dir.file("shots/deep/frame-000004.png"));
    ASSERT_EQ(shot.width, 640u);
    ASSERT_EQ(shot.height, 480u);
    std::vector<uint32_t> doubled;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            doubled.push_back(world.Framebuffer[static_cast<size_t>(y / 2 * 320 + x / 2)] & 0xFFFFFFu);
    EXPECT_EQ(shot.pixels, doubled);
}

TEST(LabPlay, EscapeHeldEntersScopeModeAndQuitsAfter31Frames) {
    TempDir dir;
    dir.write("keys.txt", "# hold escape\n0 escape\n");
    const LabResult r = lab(play("3", "100", {"--keys", dir.file("keys.txt"), "--trace", dir.file("t.jsonl")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto trace = lines(dir.read("t.jsonl"));
    ASSERT_EQ(trace.size(), 32u);  // frames 0..31; frame 31 quits
    for (size_t f = 0; f < trace.size(); ++f) {
        Json line = Json::parse(trace[f]);
        EXPECT_EQ(asInt(line["scopeMode"]), 1);
        EXPECT_EQ(line["quit"], f == 31) << f;
        // Every frame from the first lasts 25 ms in scope mode.
        EXPECT_EQ(asInt(line["time"]), static_cast<long long>(25 * f));
        EXPECT_EQ(line["terrainSpeed"].get<float>(), 0.01f);
    }
}

TEST(LabPlay, ScriptedKeysReachTheGame) {
    TempDir dir;
    dir.write("left.txt", "0 left\n3 -\n6 down\n");
    ASSERT_EQ(lab(play("8", "8", {"--keys", dir.file("left.txt"), "--trace", dir.file("left.jsonl")})).status, 0);
    ASSERT_EQ(lab(play("8", "8", {"--trace", dir.file("none.jsonl")})).status, 0);
    const auto left = lines(dir.read("left.jsonl"));
    const auto none = lines(dir.read("none.jsonl"));
    ASSERT_EQ(left.size(), 8u);
    ASSERT_EQ(none.size(), 8u);
    for (int f = 0; f < 8; ++f) {
        EXPECT_EQ(asInt(Json::parse(none[f])["playerDirection"]), 0);
        // Left from frame 0 to 2, then nothing (still facing left), then down.
        EXPECT_EQ(asInt(Json::parse(left[f])["playerDirection"]), f < 6 ? 3 : 2) << f;
    }
}

TEST(LabPlay, TraceReportsQuitModesAndActivePickupsInSlotOrder) {
    auto world = std::make_unique<World>();
    world->pickups[42] = Pickup{true, 0, 29};
    world->pickups[3] = Pickup{true, 7, 9};
    world->pickups[50] = Pickup{false, 5, 5};
    world->scopeMode = true;
    const std::string text = traceJson(*world, lockstep::FrameRecord{.frame = 12, .timeMs = 300, .quit = true});
    Json line = Json::parse(text);
    EXPECT_EQ(line["quit"], true);
    EXPECT_EQ(asInt(line["scopeMode"]), 1);
    EXPECT_EQ(asInt(line["beatFlag"]), 0);
    EXPECT_NE(text.find(R"("pickups":[[3,7,9],[42,0,29]])"), std::string::npos) << text;
}

}  // namespace
}  // namespace vonkel::lab
