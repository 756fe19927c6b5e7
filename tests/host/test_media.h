// Test clips made on the fly with libav* and what the tests read back from
// the host's outputs. No video files live in the repository.
//
// A clip frame i carries its number in the top 16-row band as 16x16
// black/white blocks (bit b at x = 16 b); the stamp filter writes its own
// number into the second band the same way, so both survive H.264. The
// clip's audio is a 1 kHz tone whose amplitude steps with every video frame:
// 0.1 + 0.08 (i mod 10), so the sound at any time tells which frame it
// belongs to. Clips run at 25 frames per second.
#pragma once

extern "C" {
#include <libavutil/rational.h>
}

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/y4m_writer.h"

namespace host_test {

enum class ClipAudio { kNone, kAac, kPcm, kFlac, kOpus };

struct RClipRecipe {
  std::string path;  // the container follows the extension
  int width = 160;
  int height = 120;
  int frames = 10;
  ClipAudio audio = ClipAudio::kNone;
  bool video = true;                    // false: a file with audio only
  bool mjpeg = false;                   // MJPEG instead of H.264 (every frame stands alone)
  int corruptFrame = -1;                // this frame's packet is written as garbage
  int resizeAtFrame = -1;               // MJPEG: from this frame on, pictures of half the size
  bool secondVideoStream = false;       // the video twice, as streams 0 and 1
  const char* pixelFormat = "yuv420p";  // H.264 only
};

// Writes the clip; fails the calling test (ADD_FAILURE) on any error.
void writeClip(const RClipRecipe& recipe);

// The clip generator's clip as y4m (a format size of 0 takes the clip's).
// `store`, when given, makes each stored frame, of the format's size, from
// the generated one.
using FrameStore = std::function<void(const qvclip::RFrame& generated, qvclip::RFrame& stored)>;
void writeGeneratedClip(const std::string& path, const qvclip::RClipSettings& settings,
                        qvclip::RY4mFormat format, const FrameStore& store = {});

struct RVideoFrames {
  int width = 0;
  int height = 0;
  std::string pixelFormat;
  AVRational sampleAspect{0, 1};
  std::vector<double> times;              // seconds, from the decoded pictures
  std::vector<int> clipStamps;            // band 0
  std::vector<int> filterStamps;          // band 1
  std::vector<std::uint32_t> markColors;  // 0xRRGGBB at (8, 40)
};
// `visit`, when given, sees every decoded picture: 0xRRGGBB at (x, y), top row 0.
using RgbAt = std::function<std::uint32_t(int x, int y)>;
using PictureVisitor = std::function<void(const RgbAt& rgbAt, int width, int height)>;
RVideoFrames readVideo(const std::string& path, const PictureVisitor& visit = {});

struct RAudioTrack {
  bool present = false;
  std::string codec;
  double start = 0;            // seconds, time of samples[0]
  std::vector<float> samples;  // first channel, 48 kHz
};
RAudioTrack readAudio(const std::string& path);

// The frame number mod 10 that the tone's level in [from, to) seconds
// stands for, -1 when the window lies outside the track.
int toneFrameAt(const RAudioTrack& track, double from, double to);

// The file's bytes; empty when it cannot be read.
std::string fileText(const std::string& path);
// The names of the folder's entries.
std::set<std::string> fileNames(const std::filesystem::path& folder);

}  // namespace host_test
