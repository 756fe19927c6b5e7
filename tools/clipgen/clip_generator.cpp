#include "tools/clipgen/clip_generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tools/clipgen/seeded_random.h"

namespace qvclip {
namespace {

constexpr std::uint64_t kSceneStream = 0x5CE7;
constexpr std::uint64_t kNoiseStream = 0x7015;
constexpr int kMaxSide = 16384;
constexpr int kMaxFrames = 1000000;
constexpr int kMaxPatches = 16;

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

namespace {

// Checked before any member is built from the settings.
const RClipSettings& checkedSettings(const RClipSettings& settings) {
  std::string error;
  if (!validateClipSettings(settings, &error)) throw std::invalid_argument(error);
  return settings;
}

}  // namespace

bool validateClipSettings(const RClipSettings& s, std::string* error) {
  if (error) error->clear();
  if (s.width < 16 || s.width > kMaxSide || s.height < 16 || s.height > kMaxSide) {
    return fail(error, "size must be between 16x16 and 16384x16384 pixels, not " +
                           std::to_string(s.width) + "x" + std::to_string(s.height));
  }
  if (s.frameCount < 1 || s.frameCount > kMaxFrames) {
    return fail(error,
                "frame count must be between 1 and 1000000, not " + std::to_string(s.frameCount));
  }
  if (s.fpsNumerator <= 0 || s.fpsDenominator <= 0) {
    return fail(error, "frame rate must be positive");
  }
  if (s.patchCount < 0 || s.patchCount > kMaxPatches) {
    return fail(error, "patch count must be between 0 and 16, not " + std::to_string(s.patchCount));
  }
  if (s.cutFrame != -1 && (s.cutFrame < 1 || s.cutFrame >= s.frameCount)) {
    return fail(error, "the scene cut must come at a frame from 1 to " +
                           std::to_string(s.frameCount - 1) + ", not " +
                           std::to_string(s.cutFrame));
  }
  if (!(s.rollingShutterReadout >= 0.0 && s.rollingShutterReadout <= 1.0)) {
    return fail(error, "rolling-shutter readout must be between 0 and 1 frame period");
  }
  if (s.interlaced && s.rollingShutterReadout > 0.0) {
    return fail(error, "a clip is either interlaced or has a rolling shutter, not both");
  }
  if (s.interlaced && s.height % 2 != 0) {
    return fail(error, "an interlaced clip needs an even height, not " + std::to_string(s.height));
  }
  if (!(s.brightness > 0.0 && s.brightness <= 10.0)) {
    return fail(error, "brightness must be above 0 and at most 10");
  }
  if (!(s.noiseSigma >= 0.0 && s.noiseSigma <= 255.0)) {
    return fail(error, "noise must be between 0 and 255 levels");
  }
  const RCameraPathSettings& p = s.path;
  for (double value : {p.panX, p.panY, p.panAccelerationX, p.panAccelerationY, p.rotation,
                       p.jitterPixels, p.jitterDegrees, p.jitterZoom}) {
    if (!std::isfinite(value)) return fail(error, "camera path values must be finite numbers");
  }
  if (p.jitterPixels < 0.0 || p.jitterDegrees < 0.0 || p.jitterZoom < 0.0) {
    return fail(error, "jitter amplitudes must not be negative");
  }
  if (!(p.zoom > 0.0) || !std::isfinite(p.zoom)) {
    return fail(error, "zoom per frame must be a positive factor");
  }
  // The texture's finest detail starts to alias beyond a scale of about 1.3;
  // far beyond it, or at tiny scales, the clip would be useless.
  const double finalScale = std::pow(p.zoom, s.frameCount + 1.0);
  if (!(finalScale >= 0.5 && finalScale <= 2.0)) {
    return fail(error, "the zoom per frame takes the scale out of 0.5 .. 2 within the clip");
  }
  if (p.jitterZoom > 0.05) return fail(error, "zoom jitter must be at most 0.05");
  return true;
}

void copyToBottomUp(const RFrame& frame, std::uint32_t* bottomRow, std::ptrdiff_t pitchBytes) {
  auto* base = reinterpret_cast<unsigned char*>(bottomRow);
  for (int y = 0; y < frame.height; ++y) {
    // Picture row y (from the top) is stored row height - 1 - y.
    std::memcpy(base + static_cast<std::ptrdiff_t>(frame.height - 1 - y) * pitchBytes,
                &frame.pixels[static_cast<std::size_t>(y) * frame.width],
                static_cast<std::size_t>(frame.width) * 4);
  }
}

CClipGenerator::CClipGenerator(const RClipSettings& settings)
    : settings_(checkedSettings(settings)),
      path_(settings.path, settings.seed, settings.frameCount),
      patches_(settings.seed, settings.patchCount, settings.width, settings.height) {
  scenes_[0] = std::make_unique<CSceneTexture>(hashValues(settings.seed, kSceneStream, 0));
  if (settings.cutFrame >= 0) {
    scenes_[1] = std::make_unique<CSceneTexture>(hashValues(settings.seed, kSceneStream, 1));
  }
}

int CClipGenerator::sceneOf(int frame) const {
  return settings_.cutFrame >= 0 && frame >= settings_.cutFrame ? 1 : 0;
}

double CClipGenerator::rowTime(int frame, int yTop) const {
  if (settings_.interlaced) {
    const bool upper = yTop % 2 == 0;
    return frame + (upper == settings_.upperFieldFirst ? 0.0 : 0.5);
  }
  return frame + settings_.rollingShutterReadout * (yTop + 0.5) / settings_.height;
}

void CClipGenerator::renderRows(int frame, int firstRow, int endRow, bool snapshot,
                                double snapshotTime, RFrame& out) const {
  const int width = settings_.width, height = settings_.height;
  const CSceneTexture& scene = *scenes_[sceneOf(frame)];
  const double gain = 255.0 * settings_.brightness;
  const bool noisy = !snapshot && settings_.noiseSigma > 0.0;
  std::vector<RColour> row(static_cast<std::size_t>(width));
  for (int y = firstRow; y < endRow; ++y) {
    const double time = snapshot ? snapshotTime : rowTime(frame, y);
    const RPose pose = path_.poseAt(time);
    // Pixel (x, y) shows centre + scale R(angle) (x + 0.5 - W/2, H/2 - y - 0.5).
    const double c = std::cos(pose.angle) * pose.scale, s = std::sin(pose.angle) * pose.scale;
    const double h0 = 0.5 - width * 0.5, v = height * 0.5 - (y + 0.5);
    scene.sampleLine(pose.centreX + c * h0 - s * v, pose.centreY + s * h0 + c * v, c, s, width,
                     row.data());
    patches_.paintRow(time, y, width, row.data());
    CSeededRandom noise(hashValues(settings_.seed, kNoiseStream, static_cast<std::uint64_t>(frame),
                                   static_cast<std::uint64_t>(y)));
    std::uint32_t* target = &out.pixels[static_cast<std::size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      double channels[3] = {row[x].r * gain, row[x].g * gain, row[x].b * gain};
      std::uint32_t pixel = 0;
      for (double value : channels) {
        if (noisy) value += settings_.noiseSigma * noise.gaussian();
        const double level = std::clamp(std::floor(value + 0.5), 0.0, 255.0);
        pixel = (pixel << 8) | static_cast<std::uint32_t>(level);
      }
      target[x] = pixel;
    }
  }
}

void CClipGenerator::renderFrame(int frame, RFrame& out, int threads) const {
  out.width = settings_.width;
  out.height = settings_.height;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  threads = std::clamp(threads, 1, out.height);
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) {
    workers.emplace_back([this, frame, i, threads, &out] {
      renderRows(frame, out.height * i / threads, out.height * (i + 1) / threads, false, 0.0, out);
    });
  }
  renderRows(frame, 0, out.height / threads, false, 0.0, out);
  for (auto& worker : workers) worker.join();
}

void CClipGenerator::renderSnapshot(double time, RFrame& out) const {
  out.width = settings_.width;
  out.height = settings_.height;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  renderRows(static_cast<int>(std::floor(time)), 0, out.height, true, time, out);
}

void CClipGenerator::previousPosition(const RMotionRecord& record, double x, double yTop,
                                      double* previousX, double* previousYTop) const {
  const int width = settings_.width, height = settings_.height;
  const double readout = settings_.interlaced ? 0.0 : settings_.rollingShutterReadout;
  const double now = settings_.interlaced ? record.time : record.frame + readout * yTop / height;
  const double before = settings_.interlaced ? record.time - 0.5 : record.frame - 1.0;
  double planeX, planeY;
  frameToPlane(path_.poseAt(now), width, height, x, yTop, &planeX, &planeY);
  // The previous frame took line Y at before + readout * Y / H; the content
  // lies at the line that was taken when the camera looked at it. A fixed
  // point, found by iteration: each step shrinks the error by about
  // readout * (vertical speed) / H.
  *previousYTop = yTop;
  for (int iteration = 0; iteration < 50; ++iteration) {
    const double lastY = *previousYTop;
    planeToFrame(path_.poseAt(before + readout * lastY / height), width, height, planeX, planeY,
                 previousX, previousYTop);
    if (readout == 0.0 || std::abs(*previousYTop - lastY) < 1e-10) break;
  }
}

std::vector<RMotionRecord> CClipGenerator::motionRecords() const {
  std::vector<RMotionRecord> records;
  auto between = [this](double previous, double current) {
    return motionBetween(path_.poseAt(previous), path_.poseAt(current));
  };
  for (int n = 0; n < settings_.frameCount; ++n) {
    if (settings_.interlaced) {
      for (int field = 0; field < 2; ++field) {
        RMotionRecord record;
        record.frame = n;
        record.field = field;
        record.upperField = (field == 0) == settings_.upperFieldFirst;
        record.time = n + 0.5 * field;
        record.first = n == 0 && field == 0;
        record.newScene = n == settings_.cutFrame && field == 0;
        if (!record.first && !record.newScene) {
          record.motion = between(record.time - 0.5, record.time);
        }
        records.push_back(record);
      }
      continue;
    }
    const double readout = settings_.rollingShutterReadout;
    RMotionRecord record;
    record.frame = n;
    record.time = n + 0.5 * readout;
    record.first = n == 0;
    record.newScene = n == settings_.cutFrame;
    record.hasEdges = readout > 0.0;
    if (!record.first && !record.newScene) {
      record.motion = between(record.time - 1.0, record.time);
      if (record.hasEdges) {
        record.top = between(n - 1.0, n);
        record.bottom = between(n - 1.0 + readout, n + readout);
      }
    }
    records.push_back(record);
  }
  return records;
}

}  // namespace qvclip
