// quiventa-quality: how well a stabiliser did on a generated clip, measured
// the same way for any stabiliser: the shake left against the clip's true
// camera path, the crop and the black border.
//   quiventa-quality SOURCE.y4m OUTPUT.y4m [clip generator options]
// The options are those quiventa-clipgen made SOURCE.y4m with (the variant,
// size, frame count, seed and any others). Prints one line of named values.
// Exit status 0 on success, 2 for bad arguments, 1 when a file cannot be read
// or does not fit.
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/command_line.h"
#include "tools/clipgen/y4m_writer.h"
#include "tools/quality/frame_registration.h"
#include "tools/quality/shake_measure.h"
#include "tools/quality/y4m_reader.h"

namespace {

using namespace qvquality;

// Black as the host and FFmpeg write it (limited range), with some room for
// resampling and compression at the border's edge.
constexpr int kBlackLuma = 24;
// Below this share of fitting pixels an output frame is not a transformed
// copy of its source, and nothing about it can be measured.
constexpr double kFewestInliers = 0.2;

// The options must describe the source: compare its first frame with the
// generator's, which differ by rounding only.
bool describesSource(const qvclip::CClipGenerator& generator, const RLumaFrame& source) {
  const qvclip::RClipSettings& s = generator.settings();
  if (source.width != s.width || source.height != s.height) return false;
  qvclip::RFrame frame;
  generator.renderFrame(0, frame, 2);
  double difference = 0.0;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      std::uint8_t luma, cb, cr;
      qvclip::rgbToYCbCr(frame.at(x, y), &luma, &cb, &cr);
      difference += std::abs(static_cast<int>(luma) - source.at(x, y));
    }
  }
  return difference / (static_cast<double>(s.width) * s.height) < 1.0;
}

// Share of the output's pixels that are black and show nothing of the frame.
double blackBorderShare(const RLumaFrame& output, const RAffine& map, int sourceWidth,
                        int sourceHeight) {
  long black = 0;
  for (int y = 0; y < output.height; ++y) {
    for (int x = 0; x < output.width; ++x) {
      if (output.at(x, y) > kBlackLuma) continue;
      double sx, sy;
      mapPoint(map, output.width, output.height, sourceWidth, sourceHeight, x + 0.5, y + 0.5, &sx,
               &sy);
      if (sx < -1.0 || sy < -1.0 || sx > sourceWidth + 1.0 || sy > sourceHeight + 1.0) ++black;
    }
  }
  return static_cast<double>(black) / (static_cast<double>(output.width) * output.height);
}

int run(const std::string& sourcePath, const std::string& outputPath,
        const qvclip::RClipSettings& settings) {
  if (settings.interlaced) {
    std::fprintf(stderr, "quiventa-quality: interlaced clips are not measured\n");
    return 2;
  }
  const qvclip::CClipGenerator generator(settings);
  CY4mReader source(sourcePath), output(outputPath);
  RLumaFrame sourceFrame, outputFrame;
  std::vector<RAffine> maps;
  RAffine guess;
  double crop = 0.0, black = 0.0, residual = 0.0, worstInliers = 1.0;
  while (source.readFrame(sourceFrame)) {
    if (maps.empty() && !describesSource(generator, sourceFrame)) {
      std::fprintf(stderr,
                   "quiventa-quality: the clip generator options do not describe %s "
                   "(give the ones it was made with)\n",
                   sourcePath.c_str());
      return 1;
    }
    if (!output.readFrame(outputFrame)) {
      std::fprintf(stderr, "quiventa-quality: %s has fewer frames than %s\n", outputPath.c_str(),
                   sourcePath.c_str());
      return 1;
    }
    const RRegistration registration = registerFrames(outputFrame, sourceFrame, guess);
    const double scale = linearScale(registration.map);
    if (registration.inlierShare < kFewestInliers || !(scale > 0.05 && scale < 20.0)) {
      std::fprintf(stderr,
                   "quiventa-quality: frame %zu of %s does not show frame %zu of %s "
                   "recognisably (%.0f %% of it fits)\n",
                   maps.size(), outputPath.c_str(), maps.size(), sourcePath.c_str(),
                   100.0 * registration.inlierShare);
      return 1;
    }
    guess = registration.map;
    maps.push_back(registration.map);
    crop += 1.0 - scale;
    black += blackBorderShare(outputFrame, registration.map, sourceFrame.width, sourceFrame.height);
    residual += registration.residual;
    worstInliers = std::min(worstInliers, registration.inlierShare);
  }
  if (static_cast<int>(maps.size()) != settings.frameCount) {
    std::fprintf(stderr, "quiventa-quality: %s has %zu frames, the options say %d\n",
                 sourcePath.c_str(), maps.size(), settings.frameCount);
    return 1;
  }
  const RShake before = sourceShake(generator);
  const RShake after = outputShake(generator, maps, output.width(), output.height());
  const double frames = static_cast<double>(maps.size());
  const double ratio = std::max(after.x / before.x, after.y / before.y);
  const double jitterRatio =
      std::max(after.jitterX / before.jitterX, after.jitterY / before.jitterY);
  std::printf(
      "shake_in %.3f %.3f shake_out %.3f %.3f ratio %.3f jitter_in %.3f %.3f jitter_out %.3f "
      "%.3f jitter_ratio %.3f crop %.2f black %.2f residual %.2f inliers %.2f frames %d\n",
      before.x, before.y, after.x, after.y, ratio, before.jitterX, before.jitterY, after.jitterX,
      after.jitterY, jitterRatio, 100.0 * crop / frames, 100.0 * black / frames, residual / frames,
      worstInliers, after.frames);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr,
                 "usage: quiventa-quality SOURCE.y4m OUTPUT.y4m [clip generator options]\n"
                 "Measures the shake left in OUTPUT against the true camera path of SOURCE,\n"
                 "which quiventa-clipgen made with the given options.\n");
    return argc < 3 ? 2 : 0;
  }
  std::vector<std::string> clipArguments{argv[1]};
  clipArguments.insert(clipArguments.end(), argv + 3, argv + argc);
  qvclip::RCommandLine line;
  std::string error;
  if (!qvclip::parseCommandLine(clipArguments, &line, &error) || line.showHelp) {
    std::fprintf(stderr, "quiventa-quality: %s\n",
                 line.showHelp ? "--help comes first" : error.c_str());
    return 2;
  }
  try {
    return run(argv[1], argv[2], line.settings);
  } catch (const std::exception& exception) {
    std::fprintf(stderr, "quiventa-quality: %s\n", exception.what());
    return 1;
  }
}
