#include "tools/quality/frame_registration.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qvquality {
namespace {

constexpr int kSmallestSide = 40;
constexpr int kSearchRadius = 6;  // coarsest-level pixels
constexpr double kTukey = 4.685;

struct RImage {
  int width = 0, height = 0;
  std::vector<float> pixels;

  float at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // Bilinear sample at pixel-edge coordinates; false outside the centres.
  bool sample(double x, double y, float* value) const {
    const double fx = x - 0.5, fy = y - 0.5;
    if (!(fx >= 0.0 && fy >= 0.0 && fx <= width - 1.0 && fy <= height - 1.0)) return false;
    const int x0 = std::min(static_cast<int>(fx), width - 2);
    const int y0 = std::min(static_cast<int>(fy), height - 2);
    const float ax = static_cast<float>(fx - x0), ay = static_cast<float>(fy - y0);
    const float* row = &pixels[static_cast<std::size_t>(y0) * width + x0];
    const float top = row[0] + ax * (row[1] - row[0]);
    const float bottom = row[width] + ax * (row[width + 1] - row[width]);
    *value = top + ay * (bottom - top);
    return true;
  }
};

RImage fromLuma(const RLumaFrame& frame) {
  RImage image{frame.width, frame.height, {}};
  image.pixels.assign(frame.luma.begin(), frame.luma.end());
  return image;
}

RImage halved(const RImage& image) {
  RImage half{image.width / 2, image.height / 2, {}};
  half.pixels.resize(static_cast<std::size_t>(half.width) * half.height);
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      half.pixels[static_cast<std::size_t>(y) * half.width + x] =
          0.25f * (image.at(2 * x, 2 * y) + image.at(2 * x + 1, 2 * y) +
                   image.at(2 * x, 2 * y + 1) + image.at(2 * x + 1, 2 * y + 1));
    }
  }
  return half;
}

std::vector<RImage> pyramid(const RLumaFrame& frame, int levels) {
  std::vector<RImage> result{fromLuma(frame)};
  while (static_cast<int>(result.size()) < levels) result.push_back(halved(result.back()));
  return result;
}

// Central differences (one-sided at the edges), per pixel-edge unit.
void gradients(const RImage& image, RImage* gx, RImage* gy) {
  *gx = RImage{image.width, image.height, std::vector<float>(image.pixels.size())};
  *gy = *gx;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int xl = std::max(x - 1, 0), xr = std::min(x + 1, image.width - 1);
      const int yu = std::max(y - 1, 0), yd = std::min(y + 1, image.height - 1);
      const std::size_t i = static_cast<std::size_t>(y) * image.width + x;
      gx->pixels[i] = (image.at(xr, y) - image.at(xl, y)) / static_cast<float>(xr - xl);
      gy->pixels[i] = (image.at(x, yd) - image.at(x, yu)) / static_cast<float>(yd - yu);
    }
  }
}

// One pyramid level: the map in this level's pixels.
struct RLevel {
  const RImage& copy;
  const RImage& original;
  const RImage& gx;
  const RImage& gy;
};

void mapAt(const RLevel& level, const RAffine& m, double u, double v, double* X, double* Y) {
  *X = level.original.width * 0.5 + m.tx + m.xx * u + m.xy * v;
  *Y = level.original.height * 0.5 + m.ty + m.yx * u + m.yy * v;
}

// Median of |residual| over covered pixels, for the Tukey scale.
double robustSpread(const RLevel& level, const RAffine& m, int step, double* coveredShare) {
  std::vector<float> magnitudes;
  int total = 0;
  for (int y = 0; y < level.copy.height; y += step) {
    const double v = y + 0.5 - level.copy.height * 0.5;
    for (int x = 0; x < level.copy.width; x += step) {
      const double u = x + 0.5 - level.copy.width * 0.5;
      ++total;
      double X, Y;
      float value;
      mapAt(level, m, u, v, &X, &Y);
      if (level.original.sample(X, Y, &value)) {
        magnitudes.push_back(std::abs(value - level.copy.at(x, y)));
      }
    }
  }
  *coveredShare = total > 0 ? static_cast<double>(magnitudes.size()) / total : 0.0;
  if (magnitudes.empty()) return 0.0;
  auto middle = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2);
  std::nth_element(magnitudes.begin(), middle, magnitudes.end());
  return 1.4826 * *middle;
}

// 6 x 6 normal equations by Gaussian elimination with partial pivoting.
bool solve6(double a[6][7], double* solution) {
  for (int k = 0; k < 6; ++k) {
    int pivot = k;
    for (int r = k + 1; r < 6; ++r) {
      if (std::abs(a[r][k]) > std::abs(a[pivot][k])) pivot = r;
    }
    if (std::abs(a[pivot][k]) < 1e-12) return false;
    for (int c = 0; c < 7; ++c) std::swap(a[k][c], a[pivot][c]);
    for (int r = k + 1; r < 6; ++r) {
      const double f = a[r][k] / a[k][k];
      for (int c = k; c < 7; ++c) a[r][c] -= f * a[k][c];
    }
  }
  for (int k = 5; k >= 0; --k) {
    double sum = a[k][6];
    for (int c = k + 1; c < 6; ++c) sum -= a[k][c] * solution[c];
    solution[k] = sum / a[k][k];
  }
  return true;
}

// One Gauss-Newton step with Tukey weights; false when nothing fits.
bool refine(const RLevel& level, RAffine* m, double spread, int step, double* change,
            double* inliers) {
  const double c = kTukey * std::max(spread, 1.0);
  double normal[6][7] = {};
  int used = 0, total = 0;
  for (int y = 0; y < level.copy.height; y += step) {
    const double v = y + 0.5 - level.copy.height * 0.5;
    for (int x = (y / step) % step; x < level.copy.width; x += step) {
      const double u = x + 0.5 - level.copy.width * 0.5;
      ++total;
      double X, Y;
      float value, gx = 0.0f, gy = 0.0f;
      mapAt(level, *m, u, v, &X, &Y);
      if (!level.original.sample(X, Y, &value)) continue;
      const double r = value - level.copy.at(x, y);
      if (std::abs(r) >= c) continue;
      const double t = 1.0 - (r / c) * (r / c);
      const double w = t * t;
      level.gx.sample(X, Y, &gx);
      level.gy.sample(X, Y, &gy);
      const double j[6] = {gx, gx * u, gx * v, gy, gy * u, gy * v};
      for (int p = 0; p < 6; ++p) {
        for (int q = 0; q <= p; ++q) normal[p][q] += w * j[p] * j[q];
        normal[p][6] -= w * j[p] * r;
      }
      ++used;
    }
  }
  *inliers = total > 0 ? static_cast<double>(used) / total : 0.0;
  if (used < 12) return false;
  for (int p = 0; p < 6; ++p) {
    for (int q = p + 1; q < 6; ++q) normal[p][q] = normal[q][p];
  }
  double delta[6];
  if (!solve6(normal, delta)) return false;
  m->tx += delta[0];
  m->xx += delta[1];
  m->xy += delta[2];
  m->ty += delta[3];
  m->yx += delta[4];
  m->yy += delta[5];
  // How far the corners moved, in this level's pixels.
  const double reach = 0.5 * std::max(level.copy.width, level.copy.height);
  *change =
      std::abs(delta[0]) + std::abs(delta[3]) +
      reach * (std::abs(delta[1]) + std::abs(delta[2]) + std::abs(delta[4]) + std::abs(delta[5]));
  return true;
}

// Mean clipped difference, so borders and foreign content weigh little.
double clippedCost(const RLevel& level, const RAffine& m) {
  double sum = 0.0;
  int covered = 0, total = 0;
  for (int y = 0; y < level.copy.height; y += 2) {
    const double v = y + 0.5 - level.copy.height * 0.5;
    for (int x = 0; x < level.copy.width; x += 2) {
      const double u = x + 0.5 - level.copy.width * 0.5;
      ++total;
      double X, Y;
      float value;
      mapAt(level, m, u, v, &X, &Y);
      if (!level.original.sample(X, Y, &value)) continue;
      sum += std::min(std::abs(value - level.copy.at(x, y)), 30.0f);
      ++covered;
    }
  }
  if (covered * 2 < total) return 1e30;
  return sum / covered;
}

}  // namespace

void mapPoint(const RAffine& map, int copyWidth, int copyHeight, int originalWidth,
              int originalHeight, double x, double y, double* originalX, double* originalY) {
  const double u = x - copyWidth * 0.5, v = y - copyHeight * 0.5;
  *originalX = originalWidth * 0.5 + map.tx + map.xx * u + map.xy * v;
  *originalY = originalHeight * 0.5 + map.ty + map.yx * u + map.yy * v;
}

double linearScale(const RAffine& map) {
  return std::sqrt(std::abs(map.xx * map.yy - map.xy * map.yx));
}

RRegistration registerFrames(const RLumaFrame& copy, const RLumaFrame& original,
                             const RAffine& guess) {
  int levels = 1;
  for (int side = std::min({copy.width, copy.height, original.width, original.height});
       side / 2 >= kSmallestSide; side /= 2) {
    ++levels;
  }
  const std::vector<RImage> copies = pyramid(copy, levels);
  const std::vector<RImage> originals = pyramid(original, levels);

  RRegistration result;
  RAffine m = guess;
  const double coarsest = std::ldexp(1.0, -(levels - 1));
  m.tx *= coarsest;
  m.ty *= coarsest;
  for (int l = levels - 1; l >= 0; --l) {
    RImage gx, gy;
    gradients(originals[static_cast<std::size_t>(l)], &gx, &gy);
    const RLevel level{copies[static_cast<std::size_t>(l)], originals[static_cast<std::size_t>(l)],
                       gx, gy};
    if (l == levels - 1) {
      RAffine best = m;
      double bestCost = clippedCost(level, m);
      for (int dy = -kSearchRadius; dy <= kSearchRadius; ++dy) {
        for (int dx = -kSearchRadius; dx <= kSearchRadius; ++dx) {
          RAffine trial = m;
          trial.tx += dx;
          trial.ty += dy;
          const double cost = clippedCost(level, trial);
          if (cost < bestCost) bestCost = cost, best = trial;
        }
      }
      m = best;
    }
    const int iterations = l == levels - 1 ? 30 : 12;
    for (int i = 0; i < iterations; ++i) {
      double covered;
      // Every other pixel of the finest level, staggered by row, is plenty.
      const int step = l == 0 ? 2 : 1;
      const double spread = robustSpread(level, m, 2 * step, &covered);
      double change = 0.0;
      if (!refine(level, &m, spread, step, &change, &result.inlierShare)) break;
      if (change < 0.002) break;
    }
    if (l == 0) {
      double covered;
      result.residual = robustSpread(level, m, 1, &covered);
    } else {
      m.tx *= 2.0;
      m.ty *= 2.0;
    }
  }
  result.map = m;
  return result;
}

}  // namespace qvquality
