// The quiventa program end to end, in process: real clips through FFmpeg,
// the stamp filter (frame order, sizes, device context, delay compensation,
// audio) and the stabiliser module (settings statement, a full run).
#include "host/host_app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/machine_limits.h"
#include "tests/host/test_media.h"
#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/command_line.h"
#include "tools/clipgen/y4m_writer.h"

namespace fs = std::filesystem;
using host_test::ClipAudio;
using host_test::RClipRecipe;

namespace {

class HostRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qv-host-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    setenv("QV_STAMP_CALLBACKS", callbackLog().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QV_STAMP_INTERRUPT_AT");
    unsetenv("QV_STAMP_CALLBACKS");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // A clip and, beside it where render looks for it, the log pass 1 gives.
  std::string clip(const std::string& name, ClipAudio audio, int frames = 40) {
    RClipRecipe recipe;
    recipe.path = path(name);
    recipe.audio = audio;
    recipe.frames = frames;
    host_test::writeClip(recipe);
    writeLogFor(recipe.path, frames);
    return recipe.path;
  }
  void writeLogFor(const std::string& input, int frames) {
    std::string log;
    for (int i = 1; i < frames; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%7d\t   0.50\t  -0.25\t  0.010\t1.00000\r\n", i);
      log += line;
    }
    writeText(input + ".log", log);
  }

  int run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    const std::string& command = arguments.empty() ? "" : arguments[0];
    if (command == "render" || command == "stabilize" || command == "analyze" ||
        command == "plan") {
      arguments.push_back("-y");
    }
    return host::runQuiventa(arguments, out_, err_);
  }

  // The stamp filter; it writes its callbacks to callbackLog().
  std::vector<std::string> stamp(std::vector<std::string> arguments) {
    arguments.push_back("--module");
    arguments.push_back(QV_STAMP_MODULE_PATH);
    return arguments;
  }
  std::string callbackLog() const { return path("callbacks.log"); }
  std::vector<std::string> callbacks() const {
    std::ifstream file(callbackLog());
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  void writeText(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  std::string readText(const std::string& file) {
    std::ifstream stream(file, std::ios::binary);
    std::stringstream content;
    content << stream.rdbuf();
    return content.str();
  }
  // Only the files the test made itself: no temporary output left behind.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

bool isRed(std::uint32_t color) {
  return (color >> 16) > 200 && ((color >> 8) & 0xFF) < 70 && (color & 0xFF) < 70;
}

// Output frame j shows input frame j with the filter's stamp j, at input
// frame j's time, and the sound at that time belongs to frame j.
void expectAligned(const std::string& input, const std::string& output, bool audio) {
  const host_test::RVideoFrames in = host_test::readVideo(input);
  const host_test::RVideoFrames out = host_test::readVideo(output);
  ASSERT_EQ(out.times.size(), in.times.size());
  for (std::size_t j = 0; j < out.times.size(); ++j) {
    EXPECT_NEAR(out.times[j], in.times[j], 1e-6) << "frame " << j;
    EXPECT_EQ(out.clipStamps[j], static_cast<int>(j));
    EXPECT_EQ(out.filterStamps[j], static_cast<int>(j));
  }
  const host_test::RAudioTrack track = host_test::readAudio(output);
  ASSERT_EQ(track.present, audio);
  if (!audio) return;
  const double frame = 1.0 / 25;
  for (std::size_t j = 0; j < out.times.size(); ++j) {
    EXPECT_EQ(host_test::toneFrameAt(track, out.times[j] + 0.3 * frame, out.times[j] + 0.7 * frame),
              static_cast<int>(j % 10))
        << "sound at output frame " << j;
  }
}

TEST_F(HostRunTest, RenderCompensatesTheFilterDelayAndKeepsAudioInSync) {
  const std::string input = clip("in.mp4", ClipAudio::kAac);
  writeText(callbackLog(), "");
  ASSERT_EQ(run(stamp({"render", input, path("out.mp4"), "--set", "useFutureFrames=1", "--set",
                       "futureFrames=3"})),
            0)
      << err_.str();
  expectAligned(input, path("out.mp4"), true);
  EXPECT_EQ(host_test::readAudio(path("out.mp4")).codec, "aac");  // copied
  const host_test::RVideoFrames out = host_test::readVideo(path("out.mp4"));
  EXPECT_TRUE(std::all_of(out.markColors.begin(), out.markColors.end(), isRed))
      << "the filter draws through the device context the host gave it";

  // initProc, paramProc, startProc, 40 frames and 3 delay calls, endProc, deinitProc.
  const std::vector<std::string> lines = callbacks();
  ASSERT_EQ(lines.size(), 3u + 43u + 2u);
  EXPECT_EQ(lines[0], "initProc");
  EXPECT_EQ(lines[1], "paramProc src=160x120 dst=160x120 pitch=640");
  EXPECT_EQ(lines[2], "startProc pass=2 dst=160x120 hdc=1");
  for (int k = 0; k < 43; ++k) {
    EXPECT_EQ(lines[3 + k], "runProc frame=" + std::to_string(k) +
                                " usec=40000 ms=" + std::to_string(40 * k) + " hdc=1");
  }
  EXPECT_EQ(lines[46], "endProc frames=43");
  EXPECT_EQ(lines[47], "deinitProc");
}

TEST_F(HostRunTest, KeepDelayWritesTheFilterOutputAsItComes) {
  const std::string input = clip("in.mp4", ClipAudio::kAac);
  writeText(callbackLog(), "");
  ASSERT_EQ(run(stamp({"render", input, path("out.mkv"), "--keep-delay", "--set",
                       "useFutureFrames=1", "--set", "futureFrames=3"})),
            0)
      << err_.str();
  const host_test::RVideoFrames in = host_test::readVideo(input);
  const host_test::RVideoFrames out = host_test::readVideo(path("out.mkv"));
  ASSERT_EQ(out.times.size(), 40u);
  for (int j = 0; j < 40; ++j) {
    // Matroska keeps milliseconds and moves the whole file so that the
    // copied AAC's priming starts at 0.
    EXPECT_NEAR(out.times[j] - out.times[0], in.times[j] - in.times[0], 0.0015);
    EXPECT_EQ(out.filterStamps[j], j < 3 ? 1023 : j - 3) << j;
    if (j >= 3) {
      EXPECT_EQ(out.clipStamps[j], j - 3);
    }
  }
  EXPECT_EQ(callbacks().size(), 3u + 40u + 2u);
}

TEST_F(HostRunTest, AudioTheContainerCannotHoldIsReencodedInSync) {
  RClipRecipe recipe;
  recipe.path = path("in.mkv");
  recipe.audio = ClipAudio::kPcm;
  host_test::writeClip(recipe);
  writeLogFor(recipe.path, recipe.frames);
  ASSERT_EQ(run(stamp({"render", recipe.path, path("out.mp4"), "--set", "useFutureFrames=1",
                       "--set", "futureFrames=2"})),
            0)
      << err_.str();
  const host_test::RAudioTrack track = host_test::readAudio(path("out.mp4"));
  EXPECT_EQ(track.codec, "aac");
  expectAligned(recipe.path, path("out.mp4"), true);
  EXPECT_NE(err_.str().find("re-encoded as aac"), std::string::npos) << err_.str();

  // Matroska holds PCM: copied as it is.
  ASSERT_EQ(run(stamp({"render", recipe.path, path("copy.mkv")})), 0) << err_.str();
  EXPECT_EQ(host_test::readAudio(path("copy.mkv")).codec, "pcm_s16le");
}

TEST_F(HostRunTest, VideoWithoutAudioStaysWithoutAudio) {
  const std::string input = clip("in.mp4", ClipAudio::kNone);
  writeText(callbackLog(), "");
  ASSERT_EQ(run(stamp({"render", input, path("out.mov")})), 0) << err_.str();
  expectAligned(input, path("out.mov"), false);
}

TEST_F(HostRunTest, WritesY4mAndPngSequences) {
  const std::string input = clip("in.mp4", ClipAudio::kAac, 12);
  writeText(callbackLog(), "");
  ASSERT_EQ(run(stamp({"render", input, path("out.y4m")})), 0) << err_.str();
  const host_test::RVideoFrames y4m = host_test::readVideo(path("out.y4m"));
  ASSERT_EQ(y4m.clipStamps.size(), 12u);
  EXPECT_EQ(y4m.clipStamps[11], 11);
  EXPECT_FALSE(host_test::readAudio(path("out.y4m")).present);

  fs::create_directory(path("frames"));
  ASSERT_EQ(run(stamp({"render", input, path("frames/f%03d.png")})), 0) << err_.str();
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path("frames"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names.front(), "f001.png");
  EXPECT_EQ(names.back(), "f012.png");
  const host_test::RVideoFrames png = host_test::readVideo(path("frames/f%03d.png"));
  ASSERT_EQ(png.filterStamps.size(), 12u);
  EXPECT_EQ(png.filterStamps[7], 7);
}

TEST_F(HostRunTest, OutputSizesFollowParamProc) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 8);
  // Pass 1 with video output: a 10-row strip and a device context.
  ASSERT_EQ(run(stamp({"analyze", input, "--preview", path("p.mp4")})), 0) << err_.str();
  host_test::RVideoFrames preview = host_test::readVideo(path("p.mp4"));
  EXPECT_EQ(preview.width, 160);
  EXPECT_EQ(preview.height, 130);
  EXPECT_EQ(preview.times.size(), 8u);
  EXPECT_TRUE(isRed(preview.markColors[0]));
  EXPECT_EQ(callbacks()[2], "startProc pass=1 dst=160x130 hdc=1");

  // Without video output: 8 x 8 and no device context.
  fs::remove(callbackLog());
  ASSERT_EQ(
      run(stamp({"analyze", input, "--preview", path("small.mkv"), "--set", "videoOutput=0"})), 0)
      << err_.str();
  preview = host_test::readVideo(path("small.mkv"));
  EXPECT_EQ(preview.width, 8);
  EXPECT_EQ(preview.height, 8);
  EXPECT_EQ(callbacks()[2], "startProc pass=1 dst=8x8 hdc=0");

  // Pass 2 with its own destination size, odd sides included.
  ASSERT_EQ(run(stamp({"render", input, path("r.mp4"), "--set", "sameDestAsSource=0", "--set",
                       "destWidth=121", "--set", "destHeight=97"})),
            0)
      << err_.str();
  const host_test::RVideoFrames rendered = host_test::readVideo(path("r.mp4"));
  // Odd sides are padded to stay in the widely playable 4:2:0 profiles.
  EXPECT_EQ(rendered.width, 122);
  EXPECT_EQ(rendered.height, 98);
  EXPECT_EQ(rendered.pixelFormat, "yuv420p");
  EXPECT_NE(err_.str().find("122x98, not 121x97"), std::string::npos) << err_.str();
  EXPECT_EQ(rendered.filterStamps[5], 5);
}

TEST_F(HostRunTest, StabilizeRunsBothPassesOnOneInstanceAndKeepsTheLog) {
  const std::string input = clip("in.mp4", ClipAudio::kAac, 10);
  const std::vector<std::string> arguments = {"stabilize", input, path("out.mp4"), "--module",
                                              QV_STAMP_MODULE_PATH};
  out_.str("");
  err_.str("");
  ASSERT_EQ(host::runQuiventa(arguments, out_, err_), 0) << err_.str();
  const std::vector<std::string> lines = callbacks();
  ASSERT_EQ(lines.size(), 1u + (3u + 10u) * 2u + 1u);
  EXPECT_EQ(lines[0], "initProc");
  // No preview: the filter is spared drawing pass 1's picture.
  EXPECT_EQ(lines[2], "startProc pass=1 dst=8x8 hdc=0");
  EXPECT_EQ(lines[13], "endProc frames=10");
  EXPECT_EQ(lines[15], "startProc pass=2 dst=160x120 hdc=1");
  EXPECT_EQ(lines.back(), "deinitProc");
  EXPECT_EQ(host_test::readVideo(path("out.mp4")).times.size(), 10u);
  // Pass 1's log lies beside the output.
  const std::string log = readText(path("out.mp4.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 9);
  EXPECT_NE(err_.str().find("quiventa render " + input + " " + path("out.mp4") + " -y --log " +
                            path("out.mp4.log")),
            std::string::npos)
      << err_.str();
}

TEST_F(HostRunTest, FailuresLeaveExistingFilesUntouched) {
  const std::string input = clip("in.mp4", ClipAudio::kAac, 10);
  const std::string output = path("out.mp4");
  writeText(output, "precious");
  writeText(callbackLog(), "");
  const std::string inputBytes = readText(input);

  // An input that cannot be opened, or has no video.
  writeText(path("garbage.mp4"), "not a video");
  writeLogFor(path("garbage.mp4"), 10);
  EXPECT_EQ(run(stamp({"render", path("garbage.mp4"), output})), 1);
  EXPECT_NE(err_.str().find("cannot open input " + path("garbage.mp4")), std::string::npos);
  EXPECT_EQ(run(stamp({"render", path("missing.mp4"), output})), 1);
  RClipRecipe soundOnly;
  soundOnly.path = path("sound.mka");
  soundOnly.video = false;
  soundOnly.audio = ClipAudio::kPcm;
  host_test::writeClip(soundOnly);
  writeLogFor(soundOnly.path, 10);
  EXPECT_EQ(run(stamp({"render", soundOnly.path, output})), 1);
  EXPECT_NE(err_.str().find("has no video stream"), std::string::npos) << err_.str();

  // OUTPUT equal to INPUT, also when spelled differently: refused before anything runs.
  EXPECT_EQ(run(stamp({"render", input, input})), 2);
  EXPECT_EQ(run(stamp({"render", input, dir_.string() + "/./sub/../in.mp4"})), 2);
  EXPECT_NE(err_.str().find("same file"), std::string::npos);
  EXPECT_EQ(run(stamp({"analyze", input, "--preview", input})), 2);

  // An output folder that does not exist; a missing module.
  EXPECT_EQ(run(stamp({"render", input, path("nowhere/out.mp4")})), 1);
  EXPECT_NE(err_.str().find("cannot write " + path("nowhere/out.mp4")), std::string::npos);
  const std::size_t callbacksBefore = callbacks().size();
  EXPECT_EQ(run(stamp({"stabilize", input, path("nowhere/out.mp4")})), 1);
  EXPECT_EQ(callbacks().size(), callbacksBefore + 2) << "initProc and deinitProc, no pass ran";
  EXPECT_EQ(run({"render", input, output, "--module", path("none.vdf")}), 1);
  EXPECT_NE(err_.str().find("filter module " + path("none.vdf") + " does not exist"),
            std::string::npos);
  writeText(path("text.vdf"), "not a module");
  EXPECT_EQ(run({"config", "--module", path("text.vdf")}), 1);
  EXPECT_NE(err_.str().find("cannot load filter module"), std::string::npos);

  // Ctrl-C in the middle of the run.
  setenv("QV_STAMP_INTERRUPT_AT", "5", 1);
  EXPECT_EQ(run(stamp({"render", input, output})), 130);
  EXPECT_NE(err_.str().find("interrupted"), std::string::npos);
  unsetenv("QV_STAMP_INTERRUPT_AT");
  const std::vector<std::string> lines = callbacks();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], "endProc frames=6") << "the run ends cleanly";

  EXPECT_EQ(readText(output), "precious");
  EXPECT_EQ(readText(input), inputBytes);
  EXPECT_EQ(files(), (std::vector<std::string>{"callbacks.log", "garbage.mp4", "garbage.mp4.log",
                                               "in.mp4", "in.mp4.log", "out.mp4", "sound.mka",
                                               "sound.mka.log", "text.vdf"}));
}

TEST_F(HostRunTest, CorruptFramesAreSkippedWithAWarning) {
  RClipRecipe recipe;
  recipe.path = path("in.mkv");
  recipe.mjpeg = true;
  recipe.frames = 20;
  recipe.corruptFrame = 10;
  host_test::writeClip(recipe);
  writeLogFor(recipe.path, 19);  // the frames that can be decoded
  ASSERT_EQ(run(stamp({"render", recipe.path, path("out.mp4")})), 0) << err_.str();
  EXPECT_NE(err_.str().find("warning: 1 corrupt frame"), std::string::npos) << err_.str();
  const host_test::RVideoFrames out = host_test::readVideo(path("out.mp4"));
  ASSERT_EQ(out.clipStamps.size(), 19u);
  EXPECT_EQ(out.clipStamps[9], 9);
  EXPECT_EQ(out.clipStamps[10], 11);
}

// The stabiliser module itself: its settings statement and a whole run.
class StabiliserModuleTest : public HostRunTest {
 protected:
  std::vector<std::string> module(std::vector<std::string> arguments) {
    arguments.push_back("--module");
    arguments.push_back(QV_MODULE_PATH);
    return arguments;
  }
  static std::string defaultStatement() {
    const char* data = std::getenv("XDG_DATA_HOME");
    return std::string(
               "Config(\"12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|"
               "300|4|") +
           (data ? data : "") +
           "/Quiventa/Quiventa.log|0|0|0|0|0|0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|0|0|0|1|"
           "0|0|10|1|15|1000|1|88\")\n";
  }
};

TEST_F(StabiliserModuleTest, ConfigPrintsAndReadsTheSettingsStatement) {
  ASSERT_EQ(run(module({"config"})), 0) << err_.str();
  EXPECT_EQ(out_.str(), defaultStatement());

  ASSERT_EQ(run(module({"config", "--set", "blockSize=20", "--set", "extraZoom=1.5"})), 0);
  std::string changed = defaultStatement();
  changed.replace(changed.find("12|1|30|"), 8, "12|1|20|");
  changed.replace(changed.find("|0|1|15|15|5|15|"), 16, "|0|1.5|15|15|5|15|");
  EXPECT_EQ(out_.str(), changed);

  // A profile comes first, whatever its place on the line: --set wins.
  ASSERT_EQ(run(module({"config", "--set", "darkerThanPercent=5", "--profile", "robust"})), 0);
  EXPECT_NE(out_.str().find("|1500|3|1|"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("|1|5|1000|"), std::string::npos) << out_.str();

  const std::string statement = changed.substr(0, changed.size() - 1);
  ASSERT_EQ(run(module({"config", "--config", statement})), 0) << err_.str();
  EXPECT_EQ(out_.str(), changed);
  ASSERT_EQ(run(module(
                {"config", "--config", "VirtualDub.video.filters.instance[0]." + statement + ";"})),
            0);
  EXPECT_EQ(out_.str(), changed);

  EXPECT_EQ(run(module({"config", "--set", "nosuch=1"})), 2);
  EXPECT_NE(err_.str().find("unknown setting 'nosuch'"), std::string::npos);
  EXPECT_EQ(run(module({"config", "--set", "blockSize=abc"})), 2);
  EXPECT_NE(err_.str().find("blockSize=abc"), std::string::npos);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(run(module({"config", "--config", "Config(\"13|1\")"})), 2);
  EXPECT_NE(err_.str().find("newer version"), std::string::npos);
  EXPECT_EQ(run(module({"config", "--set", "blockSize=0"})), 2);
  EXPECT_NE(err_.str().find("blockSize=0 would make the filter misbehave"), std::string::npos);
  ASSERT_EQ(run(module({"config", "--set", "blockSize=150"})), 0);
  EXPECT_NE(err_.str().find("warning: blockSize=150 is outside the dialog range 1 to 100"),
            std::string::npos);

  // The dialog needs a display; the suites run without one.
  EXPECT_EQ(run(module({"config", "--dialog", "--set", "blockSize=20"})), 1);
  EXPECT_NE(err_.str().find("config --dialog needs a display"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str(), "");
}

TEST_F(StabiliserModuleTest, AnalyzeAndRenderRunEndToEnd) {
  const std::string input = clip("in.mp4", ClipAudio::kAac, 12);
  ASSERT_EQ(run(module({"analyze", input, "--preview", path("p.mp4"), "--log", path("a.log")})), 0)
      << err_.str();
  const host_test::RVideoFrames preview = host_test::readVideo(path("p.mp4"));
  EXPECT_EQ(preview.width, 160);
  EXPECT_EQ(preview.height, 130);
  EXPECT_EQ(preview.times.size(), 12u);
  EXPECT_TRUE(host_test::readAudio(path("p.mp4")).present);

  ASSERT_EQ(run(module({"render", input, path("out.mp4"), "--log", path("a.log"), "--set",
                        "useFutureFrames=1", "--set", "futureFrames=4"})),
            0)
      << err_.str();
  const host_test::RVideoFrames out = host_test::readVideo(path("out.mp4"));
  const host_test::RVideoFrames in = host_test::readVideo(input);
  ASSERT_EQ(out.times.size(), 12u);
  for (std::size_t j = 0; j < 12; ++j) EXPECT_NEAR(out.times[j], in.times[j], 1e-6);
}

TEST_F(StabiliserModuleTest, PlanShowsWhatPassTwoWouldMakeOfALog) {
  std::string log;
  for (int i = 1; i <= 60; ++i) {
    const double shake = (i % 3 - 1) * 2.0;
    char line[200];
    std::snprintf(line, sizeof line, "%7i\t%7.2f\t%7.2f\t%7.3f\t%7.5f%s\r\n", i, 1.0 + shake,
                  -shake, 0.1 * shake, 1.0, i == 30 ? "\tnew_scene" : "");
    log += line;
  }
  writeText(path("shaky.log"), log);
  ASSERT_EQ(run(module({"plan", path("shaky.log"), "--size", "320x240", "--plot", path("plan.svg"),
                        "--set", "edgeCompensation=3"})),
            0)
      << err_.str();
  const std::string summary = out_.str();
  EXPECT_NE(summary.find("61 entries"), std::string::npos) << summary;
  EXPECT_NE(summary.find("scene starts: 1 at entries 30"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Fixed zoom"), std::string::npos) << summary;
  std::ifstream svg(path("plan.svg"));
  const std::string plot((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
  EXPECT_EQ(plot.rfind("<svg", 0), 0u);
  EXPECT_NE(plot.find("Horizontal panning"), std::string::npos);
  EXPECT_NE(plot.find("scene start"), std::string::npos);

  // The size is required; broken, empty and missing logs are messages.
  EXPECT_EQ(run(module({"plan", path("shaky.log")})), 2);
  EXPECT_NE(err_.str().find("--size WIDTHxHEIGHT"), std::string::npos);
  writeText(path("broken.log"), "not a log\n\x01\x02\n");
  EXPECT_EQ(run(module({"plan", path("broken.log"), "--size", "320x240"})), 1);
  EXPECT_NE(err_.str().find("holds no plan"), std::string::npos);
  writeText(path("empty.log"), "");
  EXPECT_EQ(run(module({"plan", path("empty.log"), "--size", "320x240"})), 1);
  EXPECT_EQ(run(module({"plan", path("missing.log"), "--size", "320x240"})), 1);
  EXPECT_NE(err_.str().find("cannot read"), std::string::npos);
  // An unwritable plot path leaves no file behind.
  EXPECT_EQ(run(module({"plan", path("shaky.log"), "--size", "320x240", "--plot",
                        path("no/such/folder/plan.svg")})),
            1);
  EXPECT_FALSE(fs::exists(path("no")));
}

// A y4m clip of a shaking camera, stored squeezed to 11/16 of its width
// (sample aspect ratio 16:11), with a disc that is round as displayed, or
// interlaced with the upper field first.
std::string metadataClip(const std::string& path, bool anamorphic) {
  qvclip::RClipSettings settings;
  EXPECT_TRUE(qvclip::variantSettings(anamorphic ? "shaky" : "interlaced", anamorphic ? 512 : 160,
                                      anamorphic ? 288 : 120, anamorphic ? 30 : 8, &settings));
  settings.path.jitterDegrees = 3;
  settings.upperFieldFirst = true;
  const qvclip::CClipGenerator generator(settings);
  const int width = anamorphic ? 352 : settings.width, height = settings.height;
  std::string y4m = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) +
                    " F25:1 " + (anamorphic ? "Ip A16:11" : "It A1:1") + " C444\n";
  qvclip::RFrame frame;
  for (int n = 0; n < settings.frameCount; ++n) {
    generator.renderFrame(n, frame, 1);
    std::string planes(static_cast<std::size_t>(width * height * 3), '\0');
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        // Each stored pixel covers 16/11 displayed ones: their mean.
        double sum[3] = {0, 0, 0};
        const int from = x * settings.width / width, to = (x + 1) * settings.width / width;
        for (int d = from; d < to; ++d) {
          const double dx = d + 0.5 - 330, dy = y + 0.5 - 144;
          const std::uint32_t pixel =
              anamorphic && dx * dx + dy * dy < 45 * 45 ? 0xFF00FFu : frame.at(d, y);
          for (int c = 0; c < 3; ++c) sum[c] += (pixel >> (16 - 8 * c)) & 0xFF;
        }
        const std::uint32_t mean = (static_cast<std::uint32_t>(sum[0] / (to - from) + 0.5) << 16) |
                                   (static_cast<std::uint32_t>(sum[1] / (to - from) + 0.5) << 8) |
                                   static_cast<std::uint32_t>(sum[2] / (to - from) + 0.5);
        std::uint8_t* yuv = reinterpret_cast<std::uint8_t*>(planes.data());
        qvclip::rgbToYCbCr(mean, &yuv[y * width + x], &yuv[width * height + y * width + x],
                           &yuv[2 * width * height + y * width + x]);
      }
    }
    y4m += "FRAME\n" + planes;
  }
  std::ofstream(path, std::ios::binary) << y4m;
  return path;
}

// How far the magenta disc of each picture is from round as displayed: the
// ratio of its axes (1 for a circle), largest over the pictures.
double worstDiscAxisRatio(const std::string& video) {
  double worst = 0;
  host_test::readVideo(video, [&](const std::uint8_t* rgb, int stride, int width, int height) {
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = rgb + y * stride + 3 * x;
        if (p[0] < 170 || p[1] > 90 || p[2] < 170) continue;
        const double dx = (x + 0.5) * 16 / 11;  // displayed position
        n += 1, sx += dx, sy += y, sxx += dx * dx, syy += double(y) * y, sxy += dx * y;
      }
    }
    if (n < 100) return;
    const double a = sxx / n - sx * sx / n / n, b = syy / n - sy * sy / n / n,
                 c = sxy / n - sx * sy / n / n;
    const double root = std::sqrt((a - b) * (a - b) / 4 + c * c);
    worst = std::max(worst, std::sqrt(((a + b) / 2 + root) / ((a + b) / 2 - root)));
  });
  return worst;
}

TEST_F(StabiliserModuleTest, TheInputsAspectAndFieldOrderSetTheGeometry) {
  const std::string squeezed = metadataClip(path("squeezed.y4m"), true);
  ASSERT_EQ(run(module({"stabilize", squeezed, path("square.y4m"), "--no-auto-metadata"})), 0)
      << err_.str();
  ASSERT_EQ(run(module({"stabilize", squeezed, path("right.y4m")})), 0) << err_.str();
  EXPECT_NE(err_.str().find("sample aspect ratio 16:11 sets sourcePixelAspect and "
                            "destPixelAspect to 1.4545454545454546"),
            std::string::npos)
      << err_.str();
  const double wrong = worstDiscAxisRatio(path("square.y4m"));
  const double right = worstDiscAxisRatio(path("right.y4m"));
  RecordProperty("discAxisRatioSquarePixels", std::to_string(wrong));
  RecordProperty("discAxisRatioInputAspect", std::to_string(right));
  EXPECT_GT(wrong, 1.04) << "rotated as if the pixels were square, the disc shears";
  EXPECT_LT(right, 1.025);
  EXPECT_EQ(host_test::readVideo(path("right.y4m")).sampleAspect.num, 16);

  // Field by field without any option: a line per field after the first.
  const std::string fields = metadataClip(path("fields.y4m"), false);
  ASSERT_EQ(run(module({"analyze", fields})), 0) << err_.str();
  EXPECT_NE(err_.str().find("interlaced, upper field first"), std::string::npos) << err_.str();
  const std::string log = readText(fields + ".log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 * 8 - 1);
  EXPECT_NE(log.find("0B\t"), std::string::npos) << log;
  ASSERT_EQ(run(module({"analyze", fields, "--set", "interlaced=0"})), 0) << err_.str();
  EXPECT_EQ(err_.str().find("interlaced, upper"), std::string::npos) << "the user's choice stays";
}

// A disk that fills up while pass 1 writes (a file size limit stands in for
// it): the program fails, and the log of an earlier run stays as it was.
TEST_F(StabiliserModuleTest, ALogCutShortByAFullDiskFailsTheRun) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 60);
  const std::string earlier = readText(input + ".log");
  const std::string command = "bash -c \"trap '' XFSZ; ulimit -f 1; exec " QV_HOST_PATH
                              " analyze '" +
                              input + "' --quiet\" 2>'" + path("err.txt") + "'";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_NE(readText(path("err.txt")).find("of the 59 lines of the log"), std::string::npos)
      << readText(path("err.txt"));
  EXPECT_EQ(readText(input + ".log"), earlier);
  EXPECT_EQ(files(), (std::vector<std::string>{"err.txt", "in.mp4", "in.mp4.log"}));
}

TEST_F(HostRunTest, TellsTheFilterTheProcessorCountBeforeItStarts) {
  ASSERT_EQ(run({"config", "--module", QV_STAMP_MODULE_PATH, "--threads", "3"}), 0);
  EXPECT_STREQ(std::getenv("NUMBER_OF_PROCESSORS"), "3");
  setenv("NUMBER_OF_PROCESSORS", "5", 1);
  ASSERT_EQ(run({"config", "--module", QV_STAMP_MODULE_PATH}), 0);
  EXPECT_STREQ(std::getenv("NUMBER_OF_PROCESSORS"), "5") << "the user's value stays";
  // ... within what the machine can use: not one thread per pixel.
  setenv("NUMBER_OF_PROCESSORS", "100000", 1);
  ASSERT_EQ(run({"config", "--module", QV_STAMP_MODULE_PATH}), 0);
  EXPECT_EQ(std::getenv("NUMBER_OF_PROCESSORS"), std::to_string(host::maximumProcessorCount()));
  EXPECT_NE(err_.str().find("NUMBER_OF_PROCESSORS=100000 is more than"), std::string::npos);
  EXPECT_EQ(run({"config", "--module", QV_STAMP_MODULE_PATH, "--threads", "100000"}), 2);
}

// What a careless user or an attacker tries: each refused with a message
// and a failing status, and no existing file changed.

TEST_F(HostRunTest, LogsThatDoNotFitTheClipAreRefusedUnlessTheUserInsists) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 10);
  writeText(path("out.mp4"), "precious");
  auto logFile = [&](const std::string& name, const std::string& text) {
    writeText(path(name), text);
    return path(name);
  };
  std::string gap = readText(input + ".log");
  gap.erase(gap.find("      4\t"), gap.find("      5\t") - gap.find("      4\t"));
  writeLogFor(path("short"), 7);
  writeLogFor(path("long"), 14);
  std::string huge = readText(input + ".log");
  huge.replace(huge.find("   0.50"), 7, "  1e300");
  ASSERT_EQ(mkfifo(path("fifo.log").c_str(), 0600), 0);
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  } cases[] = {
      {{"render", input, path("out.mp4"), "--log", path("short.log")}, 1, "no motion for frame 7"},
      {{"render", input, path("out.mp4"), "--log", logFile("gap.log", gap)},
       1,
       "no motion for frame 4"},
      {{"render", input, path("out.mp4"), "--log", path("long.log")}, 1, "spans frames 0 to 13, "},
      {{"render", input, path("out.mp4"), "--log", logFile("empty.log", "")}, 1, "holds no plan"},
      {{"render", input, path("out.mp4"), "--log", logFile("cr.log", "      1\t0\t0\t0\t1\r")},
       1,
       "holds no plan"},
      {{"render", input, path("out.mp4"), "--log", logFile("huge.log", huge)},
       1,
       "no motion between two frames"},
      {{"render", input, path("out.mp4"), "--log", path("fifo.log")}, 2, "is a FIFO"},
      {{"plan", path("fifo.log"), "--size", "160x120"}, 2, "is a FIFO"},
      {{"analyze", input, "--log", path("fifo.log")}, 2, "is a FIFO"},
      {{"plan", "/dev/zero", "--size", "160x120"}, 2, "is a device"},
      // Each clip has its own default log: another clip's is not used.
      {{"render", clip("other.mp4", ClipAudio::kNone, 10) + "x", path("out.mp4")},
       1,
       "other.mp4x.log does not exist"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(stamp(c.arguments)), c.status) << c.message;
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    EXPECT_EQ(readText(path("out.mp4")), "precious");
  }

  ASSERT_EQ(
      run(stamp({"render", input, path("out.mp4"), "--log", path("short.log"), "--force-log"})), 0);
  EXPECT_NE(err_.str().find("no motion for frame 7 (its entries span frames 0 to 6); rendering"),
            std::string::npos)
      << err_.str();
  for (const std::string& name : files()) EXPECT_NE(name[0], '.') << "a temporary is left";
}

TEST_F(HostRunTest, ALogIsReplacedOnlyByACompleteOne) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 10);
  const std::string analysed = readText(input + ".log");
  writeText(path("out.mp4.log"), "earlier log\r\n");
  setenv("QV_STAMP_INTERRUPT_AT", "5", 1);
  EXPECT_EQ(run(stamp({"stabilize", input, path("out.mp4")})), 130);
  unsetenv("QV_STAMP_INTERRUPT_AT");
  EXPECT_EQ(readText(path("out.mp4.log")), "earlier log\r\n");

  EXPECT_EQ(run(stamp({"analyze", input, "--log", path("nowhere/a.log")})), 1);
  EXPECT_NE(err_.str().find("cannot write the log file"), std::string::npos) << err_.str();
  EXPECT_EQ(run(stamp({"stabilize", input, path("out.mp4"), "--log", "/dev/full"})), 2);
  EXPECT_NE(err_.str().find("/dev/full is a device"), std::string::npos) << err_.str();

  // Appending keeps what was there, after an empty line.
  ASSERT_EQ(run(stamp({"analyze", input, "--set", "appendToLogFile=1"})), 0) << err_.str();
  const std::string appended = readText(input + ".log");
  EXPECT_EQ(appended.rfind(analysed + "\r\n      1\t", 0), 0u);
  EXPECT_EQ(std::count(appended.begin(), appended.end(), '\n'), 9 + 1 + 9);
  EXPECT_EQ(files(),
            (std::vector<std::string>{"callbacks.log", "in.mp4", "in.mp4.log", "out.mp4.log"}));
}

TEST_F(HostRunTest, NamesThatAliasAnInputAreRefused) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 10);
  fs::create_directory(path("frames"));
  fs::create_directory_symlink(path("frames"), path("link"));
  ASSERT_EQ(run(stamp({"render", input, path("frames/f%04d.png")})), 0) << err_.str();
  const std::string firstFrame = readText(path("frames/f0001.png"));
  const std::string log = readText(input + ".log");
  ASSERT_EQ(mkfifo(path("fifo.mp4").c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> refused = {
      {"render", path("frames/f%04d.png"), path("frames/f%004d.png")},
      {"render", path("frames/f%04d.png"), path("link/f%04d.png")},
      {"analyze", path("link/f%d.png"), "--preview", path("frames/f%04d.png")},
      {"stabilize", input, path("o|x.mp4")},
      {"stabilize", input, path("o\"x.mp4")},
      {"plan", input + ".log", "--size", "160x120", "--plot", input + ".log"},
      // Renamed into place, the plot would replace the FIFO (or, for root,
      // /dev/full) itself.
      {"plan", input + ".log", "--size", "160x120", "--plot", path("fifo.mp4")},
      {"stabilize", path("fifo.mp4"), path("out.mp4")},
      {"analyze", input, "--log", input},
      {"stabilize", input, path("o.mp4"), "--log", path("o.mp4")},
  };
  for (const std::vector<std::string>& arguments : refused) {
    EXPECT_EQ(run(stamp(arguments)), 2) << arguments[2];
    EXPECT_EQ(readText(path("frames/f0001.png")), firstFrame);
    EXPECT_EQ(readText(input + ".log"), log);
  }

  // A shorter run into the same sequence replaces it whole: no frame of the
  // earlier run is left to pass for one of this run.
  ASSERT_EQ(run(stamp({"render", clip("short.mp4", ClipAudio::kNone, 6), path("link/f%04d.png")})),
            0);
  EXPECT_EQ(std::distance(fs::directory_iterator(path("frames")), {}), 6);
}

TEST_F(HostRunTest, MediaIsReencodedAnnouncedOrRefused) {
  const struct {
    RClipRecipe recipe;
    const char* command;
    const char* output;
    int status;
    const char* message;
  } cases[] = {
      {{path("flac.mkv"), 160, 120, 10, {25, 1}, ClipAudio::kFlac},
       "render",
       "o1.mp4",
       0,
       "(flac) is re-encoded as aac"},
      {{path("flac.mkv"), 160, 120, 10, {25, 1}, ClipAudio::kFlac},
       "render",
       "o2.mov",
       0,
       "(flac) is re-encoded as aac"},
      {{path("opus.mkv"), 160, 120, 10, {25, 1}, ClipAudio::kOpus},
       "render",
       "o3.mov",
       0,
       "(opus) is re-encoded as aac"},
      {{.path = path("two.mkv"), .frames = 10, .secondVideoStream = true},
       "render",
       "o4.mp4",
       0,
       "has 2 video streams; stream 0 (h264, 160x120) is stabilised"},
      {{.path = path("sizes.mkv"), .frames = 10, .mjpeg = true, .resizeAtFrame = 6},
       "render",
       "o5.mp4",
       1,
       "changes its picture size from 160x120 to 80x60 at frame 6"},
      {{.path = path("still.mp4"), .frames = 1}, "analyze", "", 1, "single picture"},
      {{.path = path("tiny.mp4"), .width = 72, .height = 60, .frames = 3},
       "analyze",
       "",
       2,
       "at least 80 pixels"},
      {{.path = path("flat.mp4"), .width = 160, .height = 16, .frames = 3},
       "analyze",
       "",
       2,
       "has no block to match"},
  };
  for (const auto& c : cases) {
    host_test::writeClip(c.recipe);
    writeLogFor(c.recipe.path, c.recipe.frames);
    std::vector<std::string> arguments = {c.command, c.recipe.path};
    if (*c.output != '\0') arguments.push_back(path(c.output));
    EXPECT_EQ(run(stamp(arguments)), c.status) << c.message << ": " << err_.str();
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    if (c.status == 0) {
      EXPECT_EQ(host_test::readVideo(path(c.output)).times.size(), 10u) << c.output;
      if (c.recipe.audio != ClipAudio::kNone) {
        EXPECT_EQ(host_test::readAudio(path(c.output)).codec, "aac") << c.output;
      }
    }
  }
}

// The output keeps the input's chroma format and bit depth where the encoder
// has them, else says what it changed; the user's choices win.
TEST_F(HostRunTest, OutputFormatsFollowTheInputUnlessTheUserChooses) {
  const struct {
    const char* inputFormat;
    const char* output;
    std::vector<std::string> options;
    int status;
    const char* outputFormat;
    const char* message;
  } cases[] = {
      {"yuv422p10le", "o1.mkv", {}, 0, "yuv422p10le", ""},
      {"yuv422p10le", "o2.y4m", {}, 0, "yuv422p10le", ""},
      {"yuv444p10le", "o3.mp4", {"--codec", "mpeg4"}, 0, "yuv420p", "has no 10-bit 4:4:4"},
      {"yuv420p", "o4.mov", {"--pix-fmt", "yuv444p", "--crf", "30"}, 0, "yuv444p", ""},
      {"yuv420p", "o5.mkv", {"--encoder-option", "tune=film"}, 0, "yuv420p", ""},
      {"yuv420p", "o6.mkv", {"--encoder-option", "nosuch=1"}, 2, "", "has no option"},
      {"yuv420p", "o7.mkv", {"--codec", "mpeg4", "--crf", "20"}, 2, "", "has no crf option"},
      {"yuv420p", "o8.mkv", {"--pix-fmt", "rgb24"}, 2, "", "libx264 encoder takes yuv420p"},
  };
  for (const auto& c : cases) {
    RClipRecipe recipe{.path = path(std::string(c.inputFormat) + ".mkv"), .frames = 6};
    recipe.pixelFormat = c.inputFormat;
    host_test::writeClip(recipe);
    writeLogFor(recipe.path, recipe.frames);
    std::vector<std::string> arguments = {"render", recipe.path, path(c.output)};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(run(stamp(arguments)), c.status) << c.output << ": " << err_.str();
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    if (c.status != 0) continue;
    const host_test::RVideoFrames out = host_test::readVideo(path(c.output));
    EXPECT_EQ(out.pixelFormat, c.outputFormat) << c.output;
    ASSERT_EQ(out.filterStamps.size(), 6u) << c.output;
    EXPECT_EQ(out.filterStamps[5], 5) << c.output;
  }
}

// FFmpeg's -y and -n: an existing output is replaced only when allowed, and
// a batch job without a terminal to ask on is refused.
TEST_F(HostRunTest, ExistingOutputsAreReplacedOnlyWhenAllowed) {
  const std::string input = clip("in.mp4", ClipAudio::kNone, 6);
  const struct {
    const char* flag;
    int status;
    const char* message;
  } cases[] = {{"", 2, "already exists: give -y"}, {"-n", 1, "-n keeps it"}, {"-y", 0, ""}};
  for (const auto& c : cases) {
    writeText(path("out.mp4"), "precious");
    fs::remove(path("err.txt"));
    const std::string command = std::string(QV_HOST_PATH) + " render '" + input + "' '" +
                                path("out.mp4") + "' --module " + QV_STAMP_MODULE_PATH + " " +
                                c.flag + " </dev/null 2>'" + path("err.txt") + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), c.status) << c.flag;
    EXPECT_NE(readText(path("err.txt")).find(c.message), std::string::npos)
        << readText(path("err.txt"));
    if (c.status != 0) {
      EXPECT_EQ(readText(path("out.mp4")), "precious") << c.flag;
    }
  }
  EXPECT_EQ(host_test::readVideo(path("out.mp4")).times.size(), 6u);
  // Standard error is a file here: progress comes as plain lines, the last
  // one of a pass with its true frame count.
  EXPECT_NE(readText(path("err.txt")).find("quiventa: pass 2: frame 6 of 6, "), std::string::npos)
      << readText(path("err.txt"));
}

// A part of the input, and the input beside the output: the filter sees
// the input's own frame numbers, the part starts at time 0, and each
// comparison frame shows an input and the output made from it.
TEST_F(HostRunTest, WritesAPartAndTheComparison) {
  const std::string input = clip("in.mp4", ClipAudio::kAac, 40);
  ASSERT_EQ(
      run(stamp({"render", input, path("part.mp4"), "--start", "0.4", "--duration", "0.4",
                 "--compare", path("both.mkv"), "--set", "useFutureFrames=1", "--set",
                 "futureFrames=3", "--set", "usePreviousFrames=1", "--set", "previousFrames=3"})),
      0)
      << err_.str();
  const host_test::RVideoFrames part = host_test::readVideo(path("part.mp4"));
  const host_test::RVideoFrames both = host_test::readVideo(path("both.mkv"));
  ASSERT_EQ(part.times.size(), 10u);
  ASSERT_EQ(both.times.size(), 10u);
  EXPECT_EQ(both.width, 320);
  for (int j = 0; j < 10; ++j) {
    EXPECT_NEAR(part.times[j], 0.04 * j, 1e-6);
    EXPECT_EQ(part.clipStamps[j], 10 + j);
    EXPECT_EQ(part.filterStamps[j], 10 + j);
    EXPECT_EQ(both.clipStamps[j] & 1023, 10 + j) << "input, left";
    EXPECT_EQ(both.clipStamps[j] >> 10 & 1023, 10 + j) << "output, right";
  }
  const host_test::RAudioTrack track = host_test::readAudio(path("part.mp4"));
  for (int j = 1; j < 10; ++j) {
    EXPECT_EQ(host_test::toneFrameAt(track, part.times[j] + 0.012, part.times[j] + 0.028), j % 10)
        << "the sound of input frame " << 10 + j;
  }
  // The filter saw frames 7 (the frames held for the borders) to 22 (the
  // future frames of the last one written).
  const std::vector<std::string> lines = callbacks();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "runProc frame=7 usec=40000 ms=280 hdc=1"),
            lines.end());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("runProc", 0) == 0; }),
            16 + 3);

  // Stabilize analyses more than the part, for the smoothing.
  std::vector<std::string> arguments = {"stabilize", input,        path("s.mp4"), "--start",
                                        "1.4",       "--duration", "0.2"};
  for (const char* name : {"HorizontalPanning", "VerticalPanning", "Rotation", "Zoom"}) {
    arguments.insert(arguments.end(), {"--set", std::string("smooth") + name + "=10"});
  }
  ASSERT_EQ(run(stamp(arguments)), 0) << err_.str();
  EXPECT_EQ(host_test::readVideo(path("s.mp4")).clipStamps, (std::vector<int>{35, 36, 37, 38, 39}));
  // From frame 35 - 7 (5 sqrt(10 / 10), and 2): frame 28 is the reference of the first line.
  const std::string log = readText(path("s.mp4.log"));
  EXPECT_EQ(log.substr(0, 8), "     29\t") << log;
  EXPECT_NE(log.find("     39\t"), std::string::npos) << "to the clip's end";
}

TEST(QuiventaProgramTest, FindsTheModuleBesideItselfAndReportsUsageErrors) {
  std::string output;
  FILE* pipe = popen(QV_HOST_PATH " config 2>/dev/null", "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0);
  EXPECT_EQ(output.rfind("Config(\"12|1|30|4|", 0), 0u) << output;

  EXPECT_EQ(WEXITSTATUS(std::system(QV_HOST_PATH " config --set blockSize=abc 2>/dev/null")), 2);
  EXPECT_EQ(WEXITSTATUS(std::system(QV_HOST_PATH " frobnicate 2>/dev/null")), 2);
  EXPECT_EQ(WEXITSTATUS(std::system(QV_HOST_PATH " --help >/dev/null")), 0);
}

}  // namespace
