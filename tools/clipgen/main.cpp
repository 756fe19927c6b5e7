// quiventa-clipgen: writes a test clip with exactly known motion (YUV4MPEG2)
// and its motion file. Exit status 0 on success, 2 for bad arguments, 1 when
// the files cannot be written; existing files are replaced only on success.
#include <bit>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/command_line.h"
#include "tools/clipgen/motion_file.h"
#include "tools/clipgen/output_file.h"
#include "tools/clipgen/y4m_writer.h"

namespace {

int run(const qvclip::RCommandLine& line) {
  using namespace qvclip;
  const auto start = std::chrono::steady_clock::now();
  const RClipSettings& settings = line.settings;
  const CClipGenerator generator(settings);

  RY4mFormat format;
  format.width = settings.width;
  format.height = settings.height;
  format.fpsNumerator = settings.fpsNumerator;
  format.fpsDenominator = settings.fpsDenominator;
  format.fieldOrder = !settings.interlaced       ? EFieldOrder::kProgressive
                      : settings.upperFieldFirst ? EFieldOrder::kUpperFirst
                                                 : EFieldOrder::kLowerFirst;
  format.chroma = line.chroma;

  std::string error;
  CY4mWriter clip;
  COutputFile raw;
  COutputFile motion;
  const bool opened = line.rawFrames ? raw.open(line.outputPath, &error)
                                     : clip.open(line.outputPath, format, &error);
  if (!opened || !motion.open(line.motionPath, &error)) {
    std::fprintf(stderr, "quiventa-clipgen: %s\n", error.c_str());
    return 1;
  }
  static_assert(std::endian::native == std::endian::little, "raw frames are little-endian");
  RFrame frame;
  for (int n = 0; n < settings.frameCount; ++n) {
    generator.renderFrame(n, frame, line.threads);
    const bool written = line.rawFrames
                             ? raw.write(frame.pixels.data(), frame.pixels.size() * 4, &error)
                             : clip.writeFrame(frame, &error);
    if (!written) {
      std::fprintf(stderr, "quiventa-clipgen: %s\n", error.c_str());
      return 1;
    }
  }
  std::string clipName = line.outputPath;
  if (const auto slash = clipName.rfind('/'); slash != std::string::npos) {
    clipName = clipName.substr(slash + 1);
  }
  const std::string text =
      formatMotionFile(settings, generator.motionRecords(), clipName, "variant " + line.variant);
  bool finished = motion.write(text, &error);
  finished = finished && (line.rawFrames ? raw.commit(&error) : clip.finish(&error));
  if (!finished || !motion.commit(&error)) {
    std::fprintf(stderr, "quiventa-clipgen: %s\n", error.c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("wrote %s (%dx%d, %d frames, variant %s) and %s in %.2f s\n", line.outputPath.c_str(),
              settings.width, settings.height, settings.frameCount, line.variant.c_str(),
              line.motionPath.c_str(), seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  qvclip::RCommandLine line;
  std::string error;
  if (!qvclip::parseCommandLine(arguments, &line, &error)) {
    std::fprintf(stderr, "quiventa-clipgen: %s\n", error.c_str());
    return 2;
  }
  if (line.showHelp) {
    std::fputs(qvclip::usageText().c_str(), stdout);
    return 0;
  }
  try {
    return run(line);
  } catch (const std::exception& exception) {
    std::fprintf(stderr, "quiventa-clipgen: %s\n", exception.what());
    return 1;
  }
}
