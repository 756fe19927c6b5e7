#include "tools/quality/shake_measure.h"

#include <cmath>

#include "tools/jitter/jitter_metric.h"

namespace qvquality {
namespace {

constexpr double kGrid[3] = {0.15, 0.5, 0.85};
constexpr int kMargin = 5;

struct RPointTrack {
  std::vector<double> x, y;              // shown scene point / scene units per pixel
  std::vector<double> offsetX, offsetY;  // against the intended path, pixels
};

// Sum of squared residuals of a least-squares quadratic through values[first,
// end) at their indices, over the inner part without `kMargin` at each end.
double detrendedSquares(const std::vector<double>& values, int first, int end, int* count) {
  const int n = end - first;
  if (n < 2 * kMargin + 3) return 0.0;
  double s[5] = {}, b[3] = {};
  for (int i = 0; i < n; ++i) {
    const double t = (i - 0.5 * (n - 1)) / n, v = values[static_cast<std::size_t>(first + i)];
    double power = 1.0;
    for (int p = 0; p < 5; ++p, power *= t) {
      s[p] += power;
      if (p < 3) b[p] += power * v;
    }
  }
  // Normal equations of c0 + c1 t + c2 t^2, by Cramer's rule.
  const double m[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
  auto det = [](const double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double d = det(m);
  double c[3];
  for (int k = 0; k < 3; ++k) {
    double a[3][3];
    for (int r = 0; r < 3; ++r) {
      for (int col = 0; col < 3; ++col) a[r][col] = col == k ? b[r] : m[r][col];
    }
    c[k] = det(a) / d;
  }
  double sum = 0.0;
  for (int i = kMargin; i < n - kMargin; ++i) {
    const double t = (i - 0.5 * (n - 1)) / n;
    const double e = values[static_cast<std::size_t>(first + i)] - (c[0] + c[1] * t + c[2] * t * t);
    sum += e * e;
    ++*count;
  }
  return sum;
}

// `locate(n, x, y, ...)` gives, for grid point (x, y) of frame n, the scene
// point shown there, the scene point the intended camera would show there,
// and the scene units per picture pixel.
template <typename Locate>
RShake shakeOf(const qvclip::CClipGenerator& generator, int width, int height, Locate locate) {
  const qvclip::RClipSettings& s = generator.settings();
  std::vector<int> sceneStarts{0};
  if (s.cutFrame > 0) sceneStarts.push_back(s.cutFrame);
  sceneStarts.push_back(s.frameCount);

  double sums[4] = {};
  int points = 0, frames = 0, samples = 0;
  for (double gx : kGrid) {
    for (double gy : kGrid) {
      std::vector<qvjitter::RLogEntry> entries(static_cast<std::size_t>(s.frameCount));
      std::vector<double> offsetX, offsetY;
      double lastX = 0.0, lastY = 0.0;
      for (int n = 0; n < s.frameCount; ++n) {
        double planeX, planeY, intendedX, intendedY, scale;
        locate(n, gx * width, gy * height, &planeX, &planeY, &intendedX, &intendedY, &scale);
        qvjitter::RLogEntry& entry = entries[static_cast<std::size_t>(n)];
        entry.panX = (planeX - lastX) / scale;
        entry.panY = (planeY - lastY) / scale;
        entry.newScene = n == s.cutFrame;
        lastX = planeX;
        lastY = planeY;
        offsetX.push_back((planeX - intendedX) / scale);
        offsetY.push_back((planeY - intendedY) / scale);
      }
      const qvjitter::RJitter jitter = qvjitter::measureJitter(entries, kMargin);
      sums[2] += jitter.panX * jitter.panX;
      sums[3] += jitter.panY * jitter.panY;
      frames = jitter.frames;
      for (std::size_t scene = 0; scene + 1 < sceneStarts.size(); ++scene) {
        int count = 0;
        sums[0] += detrendedSquares(offsetX, sceneStarts[scene], sceneStarts[scene + 1], &count);
        sums[1] += detrendedSquares(offsetY, sceneStarts[scene], sceneStarts[scene + 1], &count);
        samples += count / 2;
      }
      ++points;
    }
  }
  RShake shake;
  if (samples > 0) {
    shake.x = std::sqrt(sums[0] / samples);
    shake.y = std::sqrt(sums[1] / samples);
  }
  shake.jitterX = std::sqrt(sums[2] / points);
  shake.jitterY = std::sqrt(sums[3] / points);
  shake.frames = frames;
  return shake;
}

class CIntendedPath {
 public:
  explicit CIntendedPath(const qvclip::RClipSettings& s)
      : settings_(s), path_(steady(s), s.seed, s.frameCount) {}

  void at(double time, double x, double y, double* planeX, double* planeY) const {
    qvclip::frameToPlane(path_.poseAt(time), settings_.width, settings_.height, x, y, planeX,
                         planeY);
  }

 private:
  static qvclip::RCameraPathSettings steady(const qvclip::RClipSettings& s) {
    qvclip::RCameraPathSettings path = s.path;
    path.jitterPixels = path.jitterDegrees = path.jitterZoom = 0.0;
    return path;
  }

  const qvclip::RClipSettings& settings_;
  qvclip::CCameraPath path_;
};

}  // namespace

RShake sourceShake(const qvclip::CClipGenerator& generator) {
  const qvclip::RClipSettings& s = generator.settings();
  const CIntendedPath intended(s);
  return shakeOf(generator, s.width, s.height,
                 [&](int n, double x, double y, double* px, double* py, double* ix, double* iy,
                     double* scale) {
                   const double time = n + s.rollingShutterReadout * y / s.height;
                   const qvclip::RPose pose = generator.poseAt(time);
                   qvclip::frameToPlane(pose, s.width, s.height, x, y, px, py);
                   intended.at(time, x, y, ix, iy);
                   *scale = pose.scale;
                 });
}

RShake outputShake(const qvclip::CClipGenerator& generator, const std::vector<RAffine>& maps,
                   int width, int height) {
  const qvclip::RClipSettings& s = generator.settings();
  const CIntendedPath intended(s);
  return shakeOf(generator, width, height,
                 [&](int n, double x, double y, double* px, double* py, double* ix, double* iy,
                     double* scale) {
                   const RAffine& map = maps[static_cast<std::size_t>(n)];
                   double sx, sy;
                   mapPoint(map, width, height, s.width, s.height, x, y, &sx, &sy);
                   const qvclip::RPose pose =
                       generator.poseAt(n + s.rollingShutterReadout * sy / s.height);
                   qvclip::frameToPlane(pose, s.width, s.height, sx, sy, px, py);
                   // A steady picture is one the intended camera could have
                   // taken: the same output point against the same point of
                   // the intended view, a fixed offset or zoom between the two
                   // goes into the trend.
                   intended.at(n + 0.5 * s.rollingShutterReadout, x * s.width / width,
                               y * s.height / height, ix, iy);
                   *scale = pose.scale * linearScale(map);
                 });
}

}  // namespace qvquality
