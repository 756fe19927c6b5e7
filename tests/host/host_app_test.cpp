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
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/machine_limits.h"
#include "tests/host/test_media.h"
#include "tests/support/log_files.h"
#include "tests/support/scratch_folder.h"
#include "tools/clipgen/command_line.h"

namespace fs = std::filesystem;
using host_test::ClipAudio;
using host_test::fileText;
using host_test::RClipRecipe;
using host_test::readAudio;
using host_test::readVideo;
using host_test::RVideoFrames;
using testing_support::writeTextFile;

namespace {

// A command line, the status it must end with and what standard error says.
struct RRun {
  std::vector<std::string> arguments;
  int status;
  std::string message;
};

class HostRunTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QV_STAMP_CALLBACKS", callbackLog().c_str(), 1); }
  void TearDown() override {
    unsetenv("QV_STAMP_INTERRUPT_AT");
    unsetenv("QV_STAMP_CALLBACKS");
  }

  std::string path(const std::string& name) const { return scratch_.path(name); }

  // A clip in the scratch folder and, beside it where render looks for it,
  // the log pass 1 gives for its first `logFrames` frames (all by default).
  std::string clip(RClipRecipe recipe, int logFrames = -1) {
    recipe.path = path(recipe.path);
    host_test::writeClip(recipe);
    writeLogFor(recipe.path, logFrames < 0 ? recipe.frames : logFrames);
    return recipe.path;
  }
  static void writeLogFor(const std::string& input, int frames) {
    writeTextFile(input + ".log", testing_support::shakyLogText(frames - 1, 1));
  }

  // In process. Every command but config writes, and replaces existing files (-y).
  int run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    if (arguments.front() != "config") arguments.push_back("-y");
    return host::runQuiventa(arguments, out_, err_);
  }
  bool succeeds(const std::vector<std::string>& arguments) {
    const int status = run(arguments);
    EXPECT_EQ(status, 0) << err_.str();
    return status == 0;
  }
  void expectRun(const RRun& expected) {
    EXPECT_EQ(run(expected.arguments), expected.status) << expected.message << ": " << err_.str();
    EXPECT_NE(err_.str().find(expected.message), std::string::npos) << err_.str();
  }
  // The built program, through the shell: its exit status.
  static int shell(const std::string& command) { return WEXITSTATUS(std::system(command.c_str())); }

  // The stamp filter; it writes its callbacks to callbackLog().
  static std::vector<std::string> stamp(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--module", QV_STAMP_MODULE_PATH});
    return arguments;
  }
  std::string callbackLog() const { return path("callbacks.log"); }
  std::vector<std::string> callbacks() const {
    std::istringstream file(fileText(callbackLog()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  // Only the files the test made itself: no temporary output left behind.
  std::set<std::string> files() const { return host_test::fileNames(scratch_.folder()); }

  testing_support::CScratchFolder scratch_;
  std::ostringstream out_;
  std::ostringstream err_;
};

bool isRed(std::uint32_t color) {
  return (color >> 16) > 200 && ((color >> 8) & 0xFF) < 70 && (color & 0xFF) < 70;
}

// Output frame j shows input frame j with the filter's stamp j, at input
// frame j's time, and the sound at that time belongs to frame j.
void expectAligned(const std::string& input, const std::string& output, bool audio) {
  const RVideoFrames in = readVideo(input);
  const RVideoFrames out = readVideo(output);
  ASSERT_EQ(out.times.size(), in.times.size()) << output;
  for (std::size_t j = 0; j < out.times.size(); ++j) {
    EXPECT_NEAR(out.times[j], in.times[j], 1e-6) << output << " frame " << j;
    EXPECT_EQ(out.clipStamps[j], static_cast<int>(j)) << output;
    EXPECT_EQ(out.filterStamps[j], static_cast<int>(j)) << output;
  }
  const host_test::RAudioTrack track = readAudio(output);
  ASSERT_EQ(track.present, audio) << output;
  for (std::size_t j = 0; audio && j < out.times.size(); ++j) {
    EXPECT_EQ(host_test::toneFrameAt(track, out.times[j] + 0.012, out.times[j] + 0.028),
              static_cast<int>(j % 10))
        << "sound at frame " << j << " of " << output;
  }
}

TEST_F(HostRunTest, RenderCompensatesTheFilterDelayAndKeepsAudioInSync) {
  const std::string input = clip({.path = "in.mp4", .frames = 40, .audio = ClipAudio::kAac});
  ASSERT_TRUE(succeeds(stamp({"render", input, path("out.mp4"), "--set", "useFutureFrames=1",
                              "--set", "futureFrames=3"})));
  expectAligned(input, path("out.mp4"), true);
  EXPECT_EQ(readAudio(path("out.mp4")).codec, "aac");  // copied
  const RVideoFrames out = readVideo(path("out.mp4"));
  EXPECT_TRUE(std::all_of(out.markColors.begin(), out.markColors.end(), isRed))
      << "the filter draws through the device context the host gave it";
  // 40 frames and 3 delay calls.
  std::vector<std::string> expected = {"initProc", "paramProc src=160x120 dst=160x120 pitch=640",
                                       "startProc pass=2 dst=160x120 hdc=1"};
  for (int k = 0; k < 43; ++k) {
    expected.push_back("runProc frame=" + std::to_string(k) +
                       " usec=40000 ms=" + std::to_string(40 * k) + " hdc=1");
  }
  expected.insert(expected.end(), {"endProc frames=43", "deinitProc"});
  EXPECT_EQ(callbacks(), expected);

  // Unless told to keep the delay: then the filter's output is written as it comes.
  fs::remove(callbackLog());
  ASSERT_TRUE(succeeds(stamp({"render", input, path("out.mkv"), "--keep-delay", "--set",
                              "useFutureFrames=1", "--set", "futureFrames=3"})));
  const RVideoFrames in = readVideo(input), kept = readVideo(path("out.mkv"));
  ASSERT_EQ(kept.times.size(), 40u);
  for (int j = 0; j < 40; ++j) {
    // Matroska keeps milliseconds and moves the whole file so that the
    // copied AAC's priming starts at 0.
    EXPECT_NEAR(kept.times[j] - kept.times[0], in.times[j] - in.times[0], 0.0015);
    EXPECT_EQ(kept.filterStamps[j], j < 3 ? 1023 : j - 3) << j;
    if (j >= 3) {
      EXPECT_EQ(kept.clipStamps[j], j - 3);
    }
  }
  EXPECT_EQ(callbacks().size(), 3u + 40u + 2u);
}

// Audio the output's container cannot hold is re-encoded, in sync, and
// said; what else the host cannot use is announced or refused.
TEST_F(HostRunTest, MediaIsCopiedReencodedAnnouncedOrRefused) {
  using A = ClipAudio;
  const struct {
    RClipRecipe recipe;
    const char* output;  // none: analyze
    int status;
    const char* message;
    const char* audioCodec = "";  // of the output
  } cases[] = {
      {{.path = "pcm.mkv", .audio = A::kPcm}, "o1.mp4", 0, "(pcm_s16le) is re-encoded", "aac"},
      {{.path = "pcm.mkv", .audio = A::kPcm}, "o2.mkv", 0, "", "pcm_s16le"},
      {{.path = "pcm.mkv", .audio = A::kPcm}, "o9.y4m", 0, ""},  // no sound
      {{.path = "silent.mp4"}, "o3.mov", 0, ""},
      {{.path = "flac.mkv", .audio = A::kFlac}, "o4.mp4", 0, "(flac) is re-encoded as aac", "aac"},
      {{.path = "flac.mkv", .audio = A::kFlac}, "o5.mov", 0, "(flac) is re-encoded as aac", "aac"},
      {{.path = "opus.mkv", .audio = A::kOpus}, "o6.mov", 0, "(opus) is re-encoded as aac", "aac"},
      {{.path = "two.mkv", .secondVideoStream = true}, "o7.mp4", 0, "2 video streams; stream 0"},
      {{.path = "size.mkv", .mjpeg = true, .resizeAtFrame = 6}, "o8.mp4", 1, "to 80x60 at frame 6"},
      {{.path = "still.mp4", .frames = 1}, "", 1, "single picture"},
      {{.path = "tiny.mp4", .width = 72, .height = 60, .frames = 3}, "", 2, "at least 80 pixels"},
      {{.path = "flat.mp4", .height = 16, .frames = 3}, "", 2, "has no block to match"},
  };
  for (const auto& c : cases) {
    const std::string input = clip(c.recipe);
    std::vector<std::string> arguments = {*c.output ? "render" : "analyze", input};
    if (*c.output) arguments.push_back(path(c.output));
    arguments.insert(arguments.end(), {"--set", "useFutureFrames=1", "--set", "futureFrames=2"});
    expectRun({stamp(arguments), c.status, c.message});
    if (c.status != 0) continue;
    expectAligned(input, path(c.output), *c.audioCodec != '\0');
    EXPECT_EQ(readAudio(path(c.output)).codec, c.audioCodec);
  }
}

TEST_F(HostRunTest, OutputSizesFollowParamProc) {
  const std::string input = clip({.path = "in.mp4", .frames = 8, .audio = ClipAudio::kAac});
  // Pass 1 with video output: a 10-row strip and a device context; the
  // preview keeps the sound.
  ASSERT_TRUE(succeeds(stamp({"analyze", input, "--preview", path("p.mp4")})));
  RVideoFrames preview = readVideo(path("p.mp4"));
  EXPECT_EQ(std::pair(preview.width, preview.height), std::pair(160, 130));
  EXPECT_EQ(preview.times.size(), 8u);
  EXPECT_EQ(readAudio(path("p.mp4")).codec, "aac");
  EXPECT_TRUE(isRed(preview.markColors[0]));
  EXPECT_EQ(callbacks()[2], "startProc pass=1 dst=160x130 hdc=1");

  // Without video output: 8 x 8 and no device context.
  fs::remove(callbackLog());
  ASSERT_TRUE(succeeds(
      stamp({"analyze", input, "--preview", path("small.mkv"), "--set", "videoOutput=0"})));
  preview = readVideo(path("small.mkv"));
  EXPECT_EQ(std::pair(preview.width, preview.height), std::pair(8, 8));
  EXPECT_EQ(callbacks()[2], "startProc pass=1 dst=8x8 hdc=0");

  // Pass 2 with its own destination size, odd sides included: they are
  // padded to stay in the widely playable 4:2:0 profiles.
  ASSERT_TRUE(succeeds(stamp({"render", input, path("r.mp4"), "--set", "sameDestAsSource=0",
                              "--set", "destWidth=121", "--set", "destHeight=97"})));
  const RVideoFrames rendered = readVideo(path("r.mp4"));
  EXPECT_EQ(std::pair(rendered.width, rendered.height), std::pair(122, 98));
  EXPECT_EQ(rendered.pixelFormat, "yuv420p");
  EXPECT_NE(err_.str().find("122x98, not 121x97"), std::string::npos) << err_.str();
  EXPECT_EQ(rendered.filterStamps[5], 5);
}

TEST_F(HostRunTest, StabilizeRunsBothPassesOnOneInstanceAndKeepsTheLog) {
  const std::string input = clip({.path = "in.mp4", .audio = ClipAudio::kAac});
  ASSERT_TRUE(succeeds(stamp({"stabilize", input, path("out.mp4")})));
  const std::vector<std::string> lines = callbacks();
  ASSERT_EQ(lines.size(), 1u + (3u + 10u) * 2u + 1u) << "one initProc and deinitProc";
  // No preview: the filter is spared drawing pass 1's picture.
  EXPECT_EQ(lines[2], "startProc pass=1 dst=8x8 hdc=0");
  EXPECT_EQ(lines[13], "endProc frames=10");
  EXPECT_EQ(lines[15], "startProc pass=2 dst=160x120 hdc=1");
  EXPECT_EQ(readVideo(path("out.mp4")).times.size(), 10u);
  // Pass 1's log lies beside the output.
  const std::string log = fileText(path("out.mp4.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 9);
  EXPECT_NE(err_.str().find("quiventa render " + input + " " + path("out.mp4") + " -y --log " +
                            path("out.mp4.log")),
            std::string::npos)
      << err_.str();
}

TEST_F(HostRunTest, FailuresLeaveExistingFilesUntouched) {
  const std::string input = clip({.path = "in.mp4", .audio = ClipAudio::kAac});
  const std::string output = path("out.mp4");
  writeTextFile(output, "precious");
  const std::string inputBytes = fileText(input);
  const std::string garbage = path("garbage.mp4"), missing = path("missing.mp4");
  const std::string nowhere = path("nowhere/out.mp4"), text = path("text.vdf");
  writeTextFile(garbage, "not a video");
  writeLogFor(garbage, 10);
  clip({.path = "sound.mka", .audio = ClipAudio::kPcm, .video = false});
  writeTextFile(text, "not a module");
  const RRun runs[] = {
      // An input that cannot be opened, or has no video.
      {stamp({"render", garbage, output}), 1, "cannot open input " + garbage},
      {stamp({"render", missing, output, "--log", input + ".log"}), 1, "input " + missing},
      {stamp({"render", path("sound.mka"), output}), 1, "has no video stream"},
      // OUTPUT equal to INPUT, also when spelled differently: refused before anything runs.
      {stamp({"render", input, path("./sub/../in.mp4")}), 2, "same file"},
      {stamp({"analyze", input, "--preview", input}), 2, "same file"},
      // An output folder that does not exist; a missing module, a file that is none.
      {stamp({"render", input, nowhere}), 1, "cannot write " + nowhere},
      {{"render", input, output, "--module", path("none.vdf")}, 1, "none.vdf does not exist"},
      {{"config", "--module", text}, 1, "cannot load filter module " + text},
  };
  for (const RRun& r : runs) expectRun(r);
  const std::size_t callbacksBefore = callbacks().size();
  EXPECT_EQ(run(stamp({"stabilize", input, nowhere})), 1);
  EXPECT_EQ(callbacks().size(), callbacksBefore + 2) << "initProc and deinitProc, no pass ran";

  // Ctrl-C in the middle of the run.
  setenv("QV_STAMP_INTERRUPT_AT", "5", 1);
  expectRun({stamp({"render", input, output}), 130, "interrupted"});
  const std::vector<std::string> lines = callbacks();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], "endProc frames=6") << "the run ends cleanly";

  EXPECT_EQ(fileText(output), "precious");
  EXPECT_EQ(fileText(input), inputBytes);
  EXPECT_EQ(files(), (std::set<std::string>{"callbacks.log", "garbage.mp4", "garbage.mp4.log",
                                            "in.mp4", "in.mp4.log", "out.mp4", "sound.mka",
                                            "sound.mka.log", "text.vdf"}));
}

TEST_F(HostRunTest, CorruptFramesAreSkippedWithAWarning) {
  // The log covers the frames that can be decoded.
  const std::string input =
      clip({.path = "in.mkv", .frames = 20, .mjpeg = true, .corruptFrame = 10}, 19);
  ASSERT_TRUE(succeeds(stamp({"render", input, path("out.mp4")})));
  EXPECT_NE(err_.str().find("warning: 1 corrupt frame"), std::string::npos) << err_.str();
  const RVideoFrames out = readVideo(path("out.mp4"));
  ASSERT_EQ(out.clipStamps.size(), 19u);
  EXPECT_EQ(out.clipStamps[9], 9);
  EXPECT_EQ(out.clipStamps[10], 11);
}

// The stabiliser module itself: its settings statement and whole runs.
class StabiliserModuleTest : public HostRunTest {
 protected:
  static std::vector<std::string> module(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--module", QV_MODULE_PATH});
    return arguments;
  }
  static std::string defaultStatement() {
    const char* data = std::getenv("XDG_DATA_HOME");
    return "Config(\"12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|300|4|" +
           std::string(data ? data : "") +
           "/Quiventa/Quiventa.log|0|0|0|0|0|0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|0|0|0|1|0|0|"
           "10|1|15|1000|1|88\")\n";
  }
};

TEST_F(StabiliserModuleTest, ConfigPrintsAndReadsTheSettingsStatement) {
  // The program finds the module beside itself.
  EXPECT_EQ(shell(QV_HOST_PATH " config >'" + path("out.txt") + "'"), 0);
  EXPECT_EQ(fileText(path("out.txt")), defaultStatement());

  ASSERT_TRUE(succeeds(module({"config", "--set", "blockSize=20", "--set", "extraZoom=1.5"})));
  std::string changed = defaultStatement();
  changed.replace(changed.find("12|1|30|"), 8, "12|1|20|");
  changed.replace(changed.find("|0|1|15|15|5|15|"), 16, "|0|1.5|15|15|5|15|");
  EXPECT_EQ(out_.str(), changed);

  // A profile comes first, whatever its place on the line: --set wins.
  ASSERT_TRUE(succeeds(module({"config", "--set", "darkerThanPercent=5", "--profile", "robust"})));
  EXPECT_NE(out_.str().find("|1500|3|1|"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("|1|5|1000|"), std::string::npos) << out_.str();

  ASSERT_TRUE(succeeds(module({"config", "--config", changed.substr(0, changed.size() - 1)})));
  EXPECT_EQ(out_.str(), changed);

  // What the filter cannot use; the dialog needs a display, and the suites
  // run without one.
  const RRun runs[] = {
      {module({"config", "--config", "Config(\"13|1\")"}), 2, "newer version"},
      {module({"config", "--set", "blockSize=0"}), 2, "would make the filter misbehave"},
      {module({"config", "--dialog", "--set", "blockSize=20"}), 1, "--dialog needs a display"},
      {module({"config", "--set", "blockSize=150"}), 0, "warning: blockSize=150 is outside"},
  };
  for (const RRun& r : runs) {
    expectRun(r);
    EXPECT_EQ(out_.str().empty(), r.status != 0) << out_.str();
  }
  // The program's own status for a usage error, and for help.
  EXPECT_EQ(shell(QV_HOST_PATH " config --set blockSize=abc 2>/dev/null"), 2);
  EXPECT_EQ(shell(QV_HOST_PATH " --help >/dev/null"), 0);
}

TEST_F(StabiliserModuleTest, PlanShowsWhatPassTwoWouldMakeOfALog) {
  std::string log = testing_support::shakyLogText(60, 3);
  writeTextFile(path("shaky.log"),
                log.insert(log.find("\r\n", log.find("     30\t")), "\tnew_scene"));
  ASSERT_TRUE(succeeds(module({"plan", path("shaky.log"), "--size", "320x240", "--plot",
                               path("plan.svg"), "--set", "edgeCompensation=3"})));
  const std::string summary = out_.str();
  EXPECT_NE(summary.find("61 entries"), std::string::npos) << summary;
  EXPECT_NE(summary.find("scene starts: 1 at entries 30"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Fixed zoom"), std::string::npos) << summary;
  const std::string plot = fileText(path("plan.svg"));
  EXPECT_EQ(plot.rfind("<svg", 0), 0u);
  EXPECT_NE(plot.find("Horizontal panning"), std::string::npos);
  EXPECT_NE(plot.find("scene start"), std::string::npos);

  // Broken and missing logs are messages; an unwritable plot path leaves no
  // file behind.
  writeTextFile(path("broken.log"), "not a log\n\x01\x02\n");
  const RRun runs[] = {
      {module({"plan", path("broken.log"), "--size", "320x240"}), 1, "holds no plan"},
      {module({"plan", path("missing.log"), "--size", "320x240"}), 1, "cannot read"},
      {module({"plan", path("shaky.log"), "--size", "320x240", "--plot",
               path("no/such/folder/plan.svg")}),
       1, "plan.svg"},
  };
  for (const RRun& r : runs) expectRun(r);
  EXPECT_FALSE(fs::exists(path("no")));
}

// A y4m clip of a shaking camera, stored squeezed to 11/16 of its width
// (sample aspect ratio 16:11), with a disc that is round as displayed.
std::string squeezedClip(const std::string& path) {
  qvclip::RClipSettings settings;
  EXPECT_TRUE(qvclip::variantSettings("shaky", 512, 288, 30, &settings));
  settings.path.jitterDegrees = 3;
  const auto squeeze = [](const qvclip::RFrame& frame, qvclip::RFrame& stored) {
    for (int y = 0; y < stored.height; ++y) {
      for (int x = 0; x < stored.width; ++x) {
        const double dx = (x + 0.5) * 16 / 11 - 330, dy = y + 0.5 - 144;
        stored.pixels[y * stored.width + x] =
            dx * dx + dy * dy < 45 * 45 ? 0xFF00FFu : frame.at(x * 16 / 11, y);
      }
    }
  };
  host_test::writeGeneratedClip(path, settings, {.width = 352, .height = 288}, squeeze);
  std::string y4m = fileText(path);
  writeTextFile(path, y4m.replace(y4m.find(" A1:1 "), 6, " A16:11 "));
  return path;
}

// How far the magenta disc of each picture is from round as displayed: the
// ratio of its axes (1 for a circle), largest over the pictures.
double worstDiscAxisRatio(const std::string& video) {
  double worst = 0;
  readVideo(video, [&](const host_test::RgbAt& rgbAt, int width, int height) {
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = rgbAt(x, y);
        if ((p >> 16) < 170 || (p >> 8 & 0xFF) > 90 || (p & 0xFF) < 170) continue;
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
  const std::string squeezed = squeezedClip(path("squeezed.y4m"));
  ASSERT_TRUE(succeeds(module({"stabilize", squeezed, path("square.y4m"), "--no-auto-metadata"})));
  ASSERT_TRUE(succeeds(module({"stabilize", squeezed, path("right.y4m")})));
  EXPECT_NE(err_.str().find("sample aspect ratio 16:11 sets sourcePixelAspect and "
                            "destPixelAspect to 1.4545454545454546"),
            std::string::npos)
      << err_.str();
  EXPECT_GT(worstDiscAxisRatio(path("square.y4m")), 1.04)
      << "rotated as if the pixels were square, the disc shears";
  EXPECT_LT(worstDiscAxisRatio(path("right.y4m")), 1.025);
  EXPECT_EQ(readVideo(path("right.y4m")).sampleAspect.num, 16);

  // Field by field without any option: a line per field after the first.
  qvclip::RClipSettings settings;
  EXPECT_TRUE(qvclip::variantSettings("interlaced", 160, 120, 8, &settings));
  settings.upperFieldFirst = true;
  const std::string fields = path("fields.y4m");
  host_test::writeGeneratedClip(fields, settings, {.fieldOrder = qvclip::EFieldOrder::kUpperFirst});
  ASSERT_TRUE(succeeds(module({"analyze", fields})));
  EXPECT_NE(err_.str().find("interlaced, upper field first"), std::string::npos) << err_.str();
  const std::string log = fileText(fields + ".log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 * 8 - 1);
  EXPECT_NE(log.find("0B\t"), std::string::npos) << log;
  ASSERT_TRUE(succeeds(module({"analyze", fields, "--set", "interlaced=0"})));
  EXPECT_EQ(err_.str().find("interlaced, upper"), std::string::npos) << "the user's choice stays";
}

// A disk that fills up while pass 1 writes (a file size limit stands in for
// it): the program fails, and the log of an earlier run stays as it was.
TEST_F(StabiliserModuleTest, ALogCutShortByAFullDiskFailsTheRun) {
  const std::string input = clip({.path = "in.mp4", .frames = 60});
  const std::string earlier = fileText(input + ".log");
  const std::string err = path("err.txt");
  EXPECT_EQ(shell("bash -c \"trap '' XFSZ; ulimit -f 1; exec " QV_HOST_PATH " analyze '" + input +
                  "' --quiet\" 2>'" + err + "'"),
            1);
  EXPECT_NE(fileText(err).find("of the 59 lines of the log"), std::string::npos) << fileText(err);
  EXPECT_EQ(fileText(input + ".log"), earlier);
  EXPECT_EQ(files(), (std::set<std::string>{"err.txt", "in.mp4", "in.mp4.log"}));
}

TEST_F(HostRunTest, TellsTheFilterTheProcessorCountBeforeItStarts) {
  // (The suites' environment sets NUMBER_OF_PROCESSORS=3.)
  ASSERT_TRUE(succeeds({"config", "--module", QV_STAMP_MODULE_PATH, "--threads", "2"}));
  EXPECT_STREQ(std::getenv("NUMBER_OF_PROCESSORS"), "2");
  setenv("NUMBER_OF_PROCESSORS", "5", 1);
  ASSERT_TRUE(succeeds({"config", "--module", QV_STAMP_MODULE_PATH}));
  EXPECT_STREQ(std::getenv("NUMBER_OF_PROCESSORS"), "5") << "the user's value stays";
  // ... within what the machine can use: not one thread per pixel.
  setenv("NUMBER_OF_PROCESSORS", "100000", 1);
  ASSERT_TRUE(succeeds({"config", "--module", QV_STAMP_MODULE_PATH}));
  EXPECT_EQ(std::getenv("NUMBER_OF_PROCESSORS"), std::to_string(host::maximumProcessorCount()));
  EXPECT_NE(err_.str().find("NUMBER_OF_PROCESSORS=100000 is more than"), std::string::npos);
  EXPECT_EQ(run({"config", "--module", QV_STAMP_MODULE_PATH, "--threads", "100000"}), 2);
}

// What a careless user or an attacker tries: each refused with a message
// and a failing status, and no existing file changed.
TEST_F(HostRunTest, HostileInputIsRefusedAndChangesNoFile) {
  const std::string input = clip({.path = "in.mp4"});
  writeTextFile(path("out.mp4"), "precious");
  fs::create_directory(path("frames"));
  fs::create_directory_symlink(path("frames"), path("link"));
  ASSERT_TRUE(succeeds(stamp({"render", input, path("frames/f%04d.png")})));
  const std::string firstFrame = fileText(path("frames/f0001.png")), log = fileText(input + ".log");
  ASSERT_FALSE(firstFrame.empty()) << "sequences count from 1";
  const auto render = [&](const std::string& name, const std::string* text = nullptr) {
    if (text != nullptr) writeTextFile(path(name), *text);
    return stamp({"render", input, path("out.mp4"), "--log", path(name)});
  };
  std::string gap = log, huge = log;
  gap.erase(gap.find("      4\t"), gap.find("      5\t") - gap.find("      4\t"));
  huge.replace(huge.find('\t') + 1, 7, "  1e300");
  writeLogFor(path("short"), 7);
  writeLogFor(path("long"), 14);
  const std::string empty, unended = "      1\t0\t0\t0\t1\r";
  ASSERT_EQ(mkfifo(path("fifo.log").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(path("fifo.mp4").c_str(), 0600), 0);
  const RRun runs[] = {
      // Logs that do not fit the clip, unless the user insists (below).
      {render("short.log"), 1, "no motion for frame 7"},
      {render("gap.log", &gap), 1, "no motion for frame 4"},
      {render("long.log"), 1, "spans frames 0 to 13, "},
      {render("empty.log", &empty), 1, "holds no plan"},
      {render("cr.log", &unended), 1, "holds no plan"},
      {render("huge.log", &huge), 1, "no motion between two frames"},
      {render("fifo.log"), 2, "is a FIFO"},
      {stamp({"plan", path("fifo.log"), "--size", "160x120"}), 2, "is a FIFO"},
      {stamp({"analyze", input, "--log", path("fifo.log")}), 2, "is a FIFO"},
      {stamp({"plan", "/dev/zero", "--size", "160x120"}), 2, "is a device"},
      {stamp({"stabilize", input, path("out.mp4"), "--log", "/dev/full"}), 2,
       "/dev/full is a device"},
      {stamp({"analyze", input, "--log", path("nowhere/a.log")}), 1, "cannot write the log file"},
      // Each clip has its own default log: another clip's is not used.
      {stamp({"render", clip({.path = "other.mp4"}) + "x", path("out.mp4")}), 1,
       "other.mp4x.log does not exist"},
      // Names that alias an input.
      {stamp({"render", path("frames/f%04d.png"), path("link/f%04d.png")}), 2, ""},
      {stamp({"analyze", path("link/f%d.png"), "--preview", path("frames/f%04d.png")}), 2, ""},
      {stamp({"stabilize", input, path("o|x.mp4")}), 2, ""},
      {stamp({"stabilize", input, path("o\"x.mp4")}), 2, ""},
      {stamp({"plan", input + ".log", "--size", "160x120", "--plot", input + ".log"}), 2, ""},
      // Renamed into place, the plot would replace the FIFO (or, for root,
      // /dev/full) itself.
      {stamp({"plan", input + ".log", "--size", "160x120", "--plot", path("fifo.mp4")}), 2, ""},
      {stamp({"stabilize", path("fifo.mp4"), path("out.mp4")}), 2, ""},
      {stamp({"analyze", input, "--log", input}), 2, ""},
      {stamp({"stabilize", input, path("o.mp4"), "--log", path("o.mp4")}), 2, ""},
  };
  for (const RRun& r : runs) {
    expectRun(r);
    EXPECT_EQ(fileText(path("out.mp4")), "precious");
    EXPECT_EQ(fileText(path("frames/f0001.png")), firstFrame);
    EXPECT_EQ(fileText(input + ".log"), log);
  }

  std::vector<std::string> forced = render("short.log");
  forced.push_back("--force-log");
  ASSERT_TRUE(succeeds(forced));
  EXPECT_NE(err_.str().find("no motion for frame 7 (its entries span frames 0 to 6); rendering"),
            std::string::npos)
      << err_.str();
  for (const std::string& name : files()) EXPECT_NE(name[0], '.') << "a temporary is left";
  // A shorter run into the same sequence replaces it whole: no frame of the
  // earlier run is left to pass for one of this run.
  ASSERT_TRUE(succeeds(
      stamp({"render", clip({.path = "short.mp4", .frames = 6}), path("link/f%04d.png")})));
  EXPECT_EQ(std::distance(fs::directory_iterator(path("frames")), {}), 6);
}

TEST_F(HostRunTest, ALogIsReplacedOnlyByACompleteOne) {
  const std::string input = clip({.path = "in.mp4"});
  const std::string analysed = fileText(input + ".log");
  writeTextFile(path("out.mp4.log"), "earlier log\r\n");
  setenv("QV_STAMP_INTERRUPT_AT", "5", 1);
  EXPECT_EQ(run(stamp({"stabilize", input, path("out.mp4")})), 130);
  unsetenv("QV_STAMP_INTERRUPT_AT");
  EXPECT_EQ(fileText(path("out.mp4.log")), "earlier log\r\n");

  // Appending keeps what was there, after an empty line.
  ASSERT_TRUE(succeeds(stamp({"analyze", input, "--set", "appendToLogFile=1"})));
  const std::string appended = fileText(input + ".log");
  EXPECT_EQ(appended.rfind(analysed + "\r\n      1\t", 0), 0u);
  EXPECT_EQ(std::count(appended.begin(), appended.end(), '\n'), 9 + 1 + 9);
  EXPECT_EQ(files(),
            (std::set<std::string>{"callbacks.log", "in.mp4", "in.mp4.log", "out.mp4.log"}));
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
      {"yuv420p", "f%03d.png", {}, 0, "rgb24", ""},
      {"yuv444p10le", "o3.mp4", {"--codec", "mpeg4"}, 0, "yuv420p", "has no 10-bit 4:4:4"},
      {"yuv420p", "o4.mov", {"--pix-fmt", "yuv444p", "--crf", "30"}, 0, "yuv444p", ""},
      {"yuv420p", "o5.mkv", {"--encoder-option", "tune=film"}, 0, "yuv420p", ""},
      {"yuv420p", "o6.mkv", {"--encoder-option", "nosuch=1"}, 2, "", "has no option"},
      {"yuv420p", "o7.mkv", {"--codec", "mpeg4", "--crf", "20"}, 2, "", "has no crf option"},
      {"yuv420p", "o8.mkv", {"--pix-fmt", "rgb24"}, 2, "", "libx264 encoder takes yuv420p"},
  };
  for (const auto& c : cases) {
    const std::string input = clip(
        {.path = std::string(c.inputFormat) + ".mkv", .frames = 6, .pixelFormat = c.inputFormat});
    std::vector<std::string> arguments = {"render", input, path(c.output)};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    expectRun({stamp(arguments), c.status, c.message});
    if (c.status != 0) continue;
    EXPECT_EQ(readVideo(path(c.output)).pixelFormat, c.outputFormat) << c.output;
    expectAligned(input, path(c.output), false);
  }
}

// FFmpeg's -y and -n: an existing output is replaced only when allowed, and
// a batch job without a terminal to ask on is refused.
TEST_F(HostRunTest, ExistingOutputsAreReplacedOnlyWhenAllowed) {
  const std::string input = clip({.path = "in.mp4", .frames = 6});
  const struct {
    const char* flag;
    int status;
    const char* message;
  } cases[] = {{"", 2, "already exists: give -y"}, {"-n", 1, "-n keeps it"}, {"-y", 0, ""}};
  const std::string err = path("err.txt");
  for (const auto& c : cases) {
    writeTextFile(path("out.mp4"), "precious");
    EXPECT_EQ(
        shell(std::string(QV_HOST_PATH) + " render '" + input + "' '" + path("out.mp4") +
              "' --module " + QV_STAMP_MODULE_PATH + " " + c.flag + " </dev/null 2>'" + err + "'"),
        c.status)
        << c.flag;
    EXPECT_NE(fileText(err).find(c.message), std::string::npos) << fileText(err);
    EXPECT_EQ(fileText(path("out.mp4")) == "precious", c.status != 0) << c.flag;
  }
  EXPECT_EQ(readVideo(path("out.mp4")).times.size(), 6u);
  // Standard error is a file here: progress comes as plain lines, the last
  // one of a pass with its true frame count.
  EXPECT_NE(fileText(err).find("quiventa: pass 2: frame 6 of 6, "), std::string::npos)
      << fileText(err);
}

// A part of the input, and the input beside the output: the filter sees
// the input's own frame numbers, the part starts at time 0, and each
// comparison frame shows an input and the output made from it.
TEST_F(HostRunTest, WritesAPartAndTheComparison) {
  const std::string input = clip({.path = "in.mp4", .frames = 40, .audio = ClipAudio::kAac});
  ASSERT_TRUE(succeeds(
      stamp({"render", input, path("part.mp4"), "--start", "0.4", "--duration", "0.4", "--compare",
             path("both.mkv"), "--set", "useFutureFrames=1", "--set", "futureFrames=3", "--set",
             "usePreviousFrames=1", "--set", "previousFrames=3"})));
  const RVideoFrames part = readVideo(path("part.mp4"));
  const RVideoFrames both = readVideo(path("both.mkv"));
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
  const host_test::RAudioTrack track = readAudio(path("part.mp4"));
  for (int j = 1; j < 10; ++j) {
    EXPECT_EQ(host_test::toneFrameAt(track, part.times[j] + 0.012, part.times[j] + 0.028), j % 10)
        << "the sound of input frame " << 10 + j;
  }
  // The filter saw frames 7 (the frames held for the borders) to 22 (the
  // future frames of the last one written).
  const std::vector<std::string> lines = callbacks();
  ASSERT_EQ(lines.size(), 3u + 16u + 3u + 2u);
  EXPECT_EQ(lines[3], "runProc frame=7 usec=40000 ms=280 hdc=1");

  // Stabilize analyses more than the part, for the smoothing.
  ASSERT_TRUE(
      succeeds(stamp({"stabilize", input, path("s.mp4"), "--start", "1.4", "--duration", "0.2",
                      "--set", "smoothHorizontalPanning=10", "--set", "smoothVerticalPanning=10",
                      "--set", "smoothRotation=10", "--set", "smoothZoom=10"})));
  EXPECT_EQ(readVideo(path("s.mp4")).clipStamps, (std::vector<int>{35, 36, 37, 38, 39}));
  // From frame 35 - 7 (5 sqrt(10 / 10), and 2): frame 28 is the reference of the first line.
  const std::string log = fileText(path("s.mp4.log"));
  EXPECT_EQ(log.substr(0, 8), "     29\t") << log;
  EXPECT_NE(log.find("     39\t"), std::string::npos) << "to the clip's end";
}

}  // namespace
