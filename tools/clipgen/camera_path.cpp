#include "tools/clipgen/camera_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/clipgen/seeded_random.h"

namespace qvclip {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr std::uint64_t kJitterStream = 0x6A17;

}  // namespace

RMotion motionBetween(const RPose& previous, const RPose& current) {
  // The current point (h, v) shows plane point C1 + s1 R(a1) (h, v); in the
  // previous frame that point sits at R(-a0) (P - C0) / s0
  //   = k R(a1 - a0) (h, v) + T  with k = s1 / s0, T = R(-a0) (C1 - C0) / s0.
  // With y pointing down the displacement is (h' - h, -(v' - v)), which is
  // the model with z = k cos(da) - 1, r = -k sin(da), panX = T.h, panY = -T.v.
  const double k = current.scale / previous.scale;
  const double turn = current.angle - previous.angle;
  const double dX = current.centreX - previous.centreX;
  const double dY = current.centreY - previous.centreY;
  const double c0 = std::cos(previous.angle), s0 = std::sin(previous.angle);
  const double th = (c0 * dX + s0 * dY) / previous.scale;
  const double tv = (-s0 * dX + c0 * dY) / previous.scale;
  RMotion motion;
  motion.z = k * std::cos(turn) - 1.0;
  motion.r = -k * std::sin(turn);
  motion.panX = th;
  motion.panY = -tv;
  motion.zoom = std::sqrt((1.0 + motion.z) * (1.0 + motion.z) + motion.r * motion.r);
  motion.rotation = std::atan2(motion.r, 1.0 + motion.z) / kRadiansPerDegree;
  return motion;
}

void planeToFrame(const RPose& pose, int width, int height, double planeX, double planeY, double* x,
                  double* yTop) {
  const double c = std::cos(pose.angle), s = std::sin(pose.angle);
  const double dX = planeX - pose.centreX, dY = planeY - pose.centreY;
  const double h = (c * dX + s * dY) / pose.scale;
  const double v = (-s * dX + c * dY) / pose.scale;
  *x = h + width * 0.5;
  *yTop = height * 0.5 - v;
}

void frameToPlane(const RPose& pose, int width, int height, double x, double yTop, double* planeX,
                  double* planeY) {
  const double c = std::cos(pose.angle), s = std::sin(pose.angle);
  const double h = x - width * 0.5;
  const double v = height * 0.5 - yTop;
  *planeX = pose.centreX + pose.scale * (c * h - s * v);
  *planeY = pose.centreY + pose.scale * (s * h + c * v);
}

CCameraPath::CCameraPath(const RCameraPathSettings& settings, std::uint64_t seed, int frameCount) {
  const int count = std::max(frameCount, 1) + 4;  // frames -2 .. frameCount + 1
  // White noise for frames -3 .. frameCount + 2, smoothed with (1, 2, 1)/sqrt(6)
  // so each offset keeps a standard deviation of 1.
  const int noiseCount = count + 2;
  std::vector<double> noise[4];
  CSeededRandom random(hashValues(seed, kJitterStream));
  for (auto& channel : noise) channel.resize(noiseCount);
  for (int i = 0; i < noiseCount; ++i) {
    for (auto& channel : noise) channel[i] = random.gaussian();
  }
  const double norm = 1.0 / std::sqrt(6.0);
  auto smoothed = [&](int channel, int i) {
    const auto& n = noise[channel];
    return (n[i] + 2.0 * n[i + 1] + n[i + 2]) * norm;
  };

  poses_.resize(count);
  for (int i = 0; i < count; ++i) {
    const double t = kFirstFrame + i;
    // Intended path: the camera centre moves on the plane by (panX, -panY) per
    // frame (Y is up), the frame turns clockwise by `rotation` per frame and
    // the scale grows by `zoom` per frame.
    const double moveX = settings.panX * t + 0.5 * settings.panAccelerationX * t * t;
    const double moveY = settings.panY * t + 0.5 * settings.panAccelerationY * t * t;
    RPose pose;
    pose.angle = -settings.rotation * kRadiansPerDegree * t;
    pose.scale = std::pow(settings.zoom, t);
    pose.centreX = moveX;
    pose.centreY = -moveY;
    // Jitter: offsets in frame pixels along the frame's own axes, so that a
    // jitter of (jx, jy) shifts the picture content by (-jx, -jy) pixels.
    const double jx = settings.jitterPixels * smoothed(0, i);
    const double jy = settings.jitterPixels * smoothed(1, i);
    const double c = std::cos(pose.angle), s = std::sin(pose.angle);
    pose.centreX += pose.scale * (c * jx + s * jy);
    pose.centreY += pose.scale * (s * jx - c * jy);
    pose.angle -= settings.jitterDegrees * kRadiansPerDegree * smoothed(2, i);
    pose.scale *= std::exp(settings.jitterZoom * smoothed(3, i));
    poses_[i] = pose;
  }
}

RPose CCameraPath::poseAt(double time) const {
  const double position = time - kFirstFrame;
  const int last = static_cast<int>(poses_.size()) - 1;
  const int index = std::clamp(static_cast<int>(std::floor(position)), 0, last - 1);
  const double f = position - index;
  if (f == 0.0) return poses_[index];
  const RPose& a = poses_[index];
  const RPose& b = poses_[index + 1];
  RPose pose;
  pose.centreX = a.centreX + f * (b.centreX - a.centreX);
  pose.centreY = a.centreY + f * (b.centreY - a.centreY);
  pose.angle = a.angle + f * (b.angle - a.angle);
  pose.scale = a.scale * std::pow(b.scale / a.scale, f);
  return pose;
}

}  // namespace qvclip
