#include "tools/clipgen/command_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <thread>

namespace qvclip {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

template <typename T>
bool parseNumber(const std::string& text, T* value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, *value);
  return result.ec == std::errc() && result.ptr == end && !text.empty();
}

// "A<separator>B" into two numbers.
template <typename T>
bool parsePair(const std::string& text, char separator, T* first, T* second) {
  const auto at = text.find(separator);
  return at != std::string::npos && parseNumber(text.substr(0, at), first) &&
         parseNumber(text.substr(at + 1), second);
}

// Options that change the variant's settings, applied after the variant.
struct ROverrides {
  std::optional<double> panX, panY, accelerationX, accelerationY, rotation, zoom;
  std::optional<double> jitterPixels, jitterDegrees, jitterZoom;
  std::optional<int> patches, cutFrame;
  std::optional<double> readout, brightness, noise;
  std::optional<bool> interlaced, upperFieldFirst;
};

}  // namespace

const std::vector<std::string>& variantNames() {
  static const std::vector<std::string> names = {"static",  "pan",  "shaky",   "rotzoom",
                                                 "patches", "cut",  "rolling", "interlaced",
                                                 "dark",    "noisy"};
  return names;
}

bool variantSettings(const std::string& name, int width, int height, int frameCount,
                     RClipSettings* settings) {
  RClipSettings s;
  s.width = width;
  s.height = height;
  s.frameCount = frameCount;
  RCameraPathSettings& p = s.path;
  auto shake = [&p](double pixels, double degrees, double zoom) {
    p.jitterPixels = pixels;
    p.jitterDegrees = degrees;
    p.jitterZoom = zoom;
  };
  if (name == "static") {
  } else if (name == "pan") {
    p.panX = 1.75;
    p.panY = 0.6;
  } else if (name == "shaky") {
    shake(3.0, 0.15, 0.002);
  } else if (name == "rotzoom") {
    p.rotation = 0.15;
    p.zoom = 1.0015;
    shake(1.0, 0.05, 0.001);
  } else if (name == "patches") {
    p.panX = 0.8;
    p.panY = -0.3;
    shake(2.0, 0.1, 0.001);
    s.patchCount = 3;
  } else if (name == "cut") {
    shake(2.0, 0.1, 0.001);
    s.cutFrame = std::max(1, frameCount / 2);
  } else if (name == "rolling") {
    p.panX = 3.0;
    p.panAccelerationX = 0.05;
    shake(1.5, 0.05, 0.0);
    s.rollingShutterReadout = 0.9;
  } else if (name == "interlaced") {
    p.panX = 1.0;
    p.panY = 0.4;
    shake(2.0, 0.1, 0.001);
    s.interlaced = true;
  } else if (name == "dark") {
    shake(3.0, 0.15, 0.002);
    s.brightness = 0.2;
  } else if (name == "noisy") {
    shake(3.0, 0.15, 0.002);
    s.noiseSigma = 8.0;
  } else {
    return false;
  }
  *settings = s;
  return true;
}

std::string usageText() {
  std::string names;
  for (const auto& name : variantNames()) names += (names.empty() ? "" : "|") + name;
  return "usage: quiventa-clipgen OUTPUT.y4m [options]\n"
         "Writes a test clip with exactly known motion, and OUTPUT.motion.txt beside it.\n"
         "OUTPUT.raw writes raw frames instead: 32-bit 0x00RRGGBB pixels, little-endian,\n"
         "rows top-down, no header.\n"
         "  --size WxH              picture size (default 640x480)\n"
         "  --frames N              number of frames (default 60)\n"
         "  --fps N or N/D          frame rate written into the clip (default 25)\n"
         "  --variant NAME          " +
         names +
         " (default static)\n"
         "  --seed N                scene, path and noise seed (default 1)\n"
         "  --pan X,Y               intended pan, pixels per frame (camera right/down)\n"
         "  --pan-acceleration X,Y  change of the pan per frame\n"
         "  --rotation DEG          intended rotation per frame (content counter-clockwise)\n"
         "  --zoom F                intended zoom factor per frame (>1: content shrinks)\n"
         "  --jitter PX             random shake, standard deviation in pixels\n"
         "  --jitter-rotation DEG   random shake of the rotation, degrees\n"
         "  --jitter-zoom F         random shake of the scale, relative (e.g. 0.002)\n"
         "  --patches N             moving foreground patches (0..16)\n"
         "  --cut-frame N           a different scene from frame N on (-1: none)\n"
         "  --readout F             rolling shutter: rows read over F frame periods (0..1)\n"
         "  --interlaced            two fields per frame, half a frame period apart\n"
         "  --upper-field-first     interlaced, upper field (even lines) first in time\n"
         "  --lower-field-first     interlaced, lower field first in time (the default)\n"
         "  --brightness F          scale all colours (dark variant: 0.2)\n"
         "  --noise SIGMA           additive Gaussian noise, 8-bit levels (noisy variant: 8)\n"
         "  --chroma 444|420        y4m chroma format (default 444)\n"
         "  --threads N             rendering threads (default 2)\n"
         "  --help                  this text\n";
}

bool parseCommandLine(const std::vector<std::string>& arguments, RCommandLine* result,
                      std::string* error) {
  RCommandLine line;
  ROverrides overrides;
  int width = 640, height = 480, frames = 60, fpsNumerator = 25, fpsDenominator = 1;
  std::uint64_t seed = 1;
  int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 2);
  bool chromaGiven = false;
  auto bad = [error](const std::string& message) {
    if (error) *error = message;
    return false;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      line.showHelp = true;
      *result = line;
      return true;
    }
    if (argument.rfind("--", 0) != 0) {
      if (!line.outputPath.empty()) {
        return bad("more than one output path: " + line.outputPath + " and " + argument);
      }
      line.outputPath = argument;
      continue;
    }
    const bool isFlag = argument == "--interlaced" || argument == "--upper-field-first" ||
                        argument == "--lower-field-first";
    if (isFlag) {
      if (argument == "--interlaced") overrides.interlaced = true;
      if (argument == "--upper-field-first") overrides.upperFieldFirst = true;
      if (argument == "--lower-field-first") overrides.upperFieldFirst = false;
      continue;
    }
    if (i + 1 >= arguments.size()) return bad("option " + argument + " needs a value");
    const std::string& value = arguments[++i];
    auto number = [&](auto* target) {
      return parseNumber(value, target) ? true : bad("bad value for " + argument + ": " + value);
    };
    auto optionalNumber = [&](auto& target) {
      typename std::remove_reference_t<decltype(target)>::value_type parsed{};
      if (!number(&parsed)) return false;
      target = parsed;
      return true;
    };
    auto optionalPair = [&](auto& first, auto& second) {
      double a = 0.0, b = 0.0;
      if (!parsePair(value, ',', &a, &b))
        return bad("bad value for " + argument + ": " + value + " (expected X,Y)");
      first = a;
      second = b;
      return true;
    };
    bool ok = true;
    if (argument == "--size") {
      if (!parsePair(value, 'x', &width, &height)) {
        return bad("bad value for --size: " + value + " (expected WIDTHxHEIGHT)");
      }
    } else if (argument == "--frames") {
      ok = number(&frames);
    } else if (argument == "--fps") {
      if (value.find('/') != std::string::npos) {
        if (!parsePair(value, '/', &fpsNumerator, &fpsDenominator)) {
          return bad("bad value for --fps: " + value);
        }
      } else {
        fpsDenominator = 1;
        ok = number(&fpsNumerator);
      }
    } else if (argument == "--variant") {
      line.variant = value;
    } else if (argument == "--seed") {
      ok = number(&seed);
    } else if (argument == "--pan") {
      ok = optionalPair(overrides.panX, overrides.panY);
    } else if (argument == "--pan-acceleration") {
      ok = optionalPair(overrides.accelerationX, overrides.accelerationY);
    } else if (argument == "--rotation") {
      ok = optionalNumber(overrides.rotation);
    } else if (argument == "--zoom") {
      ok = optionalNumber(overrides.zoom);
    } else if (argument == "--jitter") {
      ok = optionalNumber(overrides.jitterPixels);
    } else if (argument == "--jitter-rotation") {
      ok = optionalNumber(overrides.jitterDegrees);
    } else if (argument == "--jitter-zoom") {
      ok = optionalNumber(overrides.jitterZoom);
    } else if (argument == "--patches") {
      ok = optionalNumber(overrides.patches);
    } else if (argument == "--cut-frame") {
      ok = optionalNumber(overrides.cutFrame);
    } else if (argument == "--readout") {
      ok = optionalNumber(overrides.readout);
    } else if (argument == "--brightness") {
      ok = optionalNumber(overrides.brightness);
    } else if (argument == "--noise") {
      ok = optionalNumber(overrides.noise);
    } else if (argument == "--chroma") {
      if (value == "444") {
        line.chroma = EChroma::k444;
      } else if (value == "420") {
        line.chroma = EChroma::k420;
      } else {
        return bad("bad value for --chroma: " + value + " (expected 444 or 420)");
      }
      chromaGiven = true;
    } else if (argument == "--threads") {
      ok = number(&threads);
      if (ok && (threads < 1 || threads > 64)) return bad("--threads must be from 1 to 64");
    } else {
      return bad("unknown option " + argument + " (see --help)");
    }
    if (!ok) return false;
  }

  if (line.outputPath.empty()) return bad("no output path given (see --help)");
  // Raw frames feed the module directly (tools/rawhost), with no colour
  // conversion on the way.
  line.rawFrames = endsWith(line.outputPath, ".raw");
  const std::string extension = line.rawFrames ? ".raw" : ".y4m";
  if (!endsWith(line.outputPath, extension) || line.outputPath.size() <= 4 ||
      endsWith(line.outputPath, "/" + extension)) {
    return bad("the output path must name a .y4m or .raw file: " + line.outputPath);
  }
  line.motionPath = line.outputPath.substr(0, line.outputPath.size() - 4) + ".motion.txt";

  RClipSettings& s = line.settings;
  if (!variantSettings(line.variant, width, height, frames, &s)) {
    return bad("unknown variant " + line.variant + " (see --help)");
  }
  s.seed = seed;
  s.fpsNumerator = fpsNumerator;
  s.fpsDenominator = fpsDenominator;
  RCameraPathSettings& p = s.path;
  if (overrides.panX) p.panX = *overrides.panX, p.panY = *overrides.panY;
  if (overrides.accelerationX) {
    p.panAccelerationX = *overrides.accelerationX;
    p.panAccelerationY = *overrides.accelerationY;
  }
  if (overrides.rotation) p.rotation = *overrides.rotation;
  if (overrides.zoom) p.zoom = *overrides.zoom;
  if (overrides.jitterPixels) p.jitterPixels = *overrides.jitterPixels;
  if (overrides.jitterDegrees) p.jitterDegrees = *overrides.jitterDegrees;
  if (overrides.jitterZoom) p.jitterZoom = *overrides.jitterZoom;
  if (overrides.patches) s.patchCount = *overrides.patches;
  if (overrides.cutFrame) s.cutFrame = *overrides.cutFrame;
  if (overrides.readout) s.rollingShutterReadout = *overrides.readout;
  if (overrides.brightness) s.brightness = *overrides.brightness;
  if (overrides.noise) s.noiseSigma = *overrides.noise;
  if (overrides.interlaced) s.interlaced = *overrides.interlaced;
  if (overrides.upperFieldFirst) {
    if (!s.interlaced) {
      return bad("a field order needs an interlaced clip (--variant interlaced or --interlaced)");
    }
    s.upperFieldFirst = *overrides.upperFieldFirst;
  }
  std::string problem;
  if (!validateClipSettings(s, &problem)) return bad(problem);
  if (s.interlaced && line.chroma == EChroma::k420) {
    return bad(chromaGiven ? "--chroma 420 would mix the fields of an interlaced clip; use 444"
                           : "interlaced clips need --chroma 444");
  }
  if (line.chroma == EChroma::k420 && (s.width % 2 != 0 || s.height % 2 != 0)) {
    return bad("--chroma 420 needs an even width and height");
  }
  line.threads = threads;
  *result = line;
  return true;
}

}  // namespace qvclip
