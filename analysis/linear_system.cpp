#include "analysis/linear_system.h"

#include <cmath>
#include <new>
#include <vector>

int solveLinearSystem(int n, double* matrix, double* solution) {
  const int stride = n + 1;
  auto a = [&](int row, int column) -> double& { return matrix[row * stride + column]; };

  std::vector<int> order;
  std::vector<double> scale;
  try {
    order.resize(static_cast<std::size_t>(n));
    scale.resize(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return kLinearSystemNoMemory;
  }

  for (int row = 0; row < n; ++row) {
    order[row] = row;
    double largest = 0.0;
    for (int column = 0; column < n; ++column)
      largest = std::max(largest, std::fabs(a(row, column)));
    if (largest == 0.0) return kLinearSystemSingular;
    scale[row] = largest;
  }

  for (int k = 0; k < n - 1; ++k) {
    int pivot = k;
    double bestRatio = 0.0;
    for (int i = k; i < n; ++i) {
      const double ratio = std::fabs(a(order[i], k)) / scale[order[i]];
      if (ratio > bestRatio) {
        bestRatio = ratio;
        pivot = i;
      }
    }
    if (bestRatio == 0.0) return kLinearSystemSingular;
    std::swap(order[k], order[pivot]);
    const int pivotRow = order[k];
    for (int i = k + 1; i < n; ++i) {
      const int row = order[i];
      const double factor = a(row, k) / a(pivotRow, k);
      a(row, k) = factor;
      for (int column = k + 1; column <= n; ++column) {
        a(row, column) -= factor * a(pivotRow, column);
      }
    }
  }
  if (a(order[n - 1], n - 1) == 0.0) return kLinearSystemSingular;

  for (int i = n - 1; i >= 0; --i) {
    const int row = order[i];
    double sum = a(row, n);
    for (int column = i + 1; column < n; ++column) sum -= a(row, column) * solution[column];
    solution[i] = sum / a(row, i);
  }
  return kLinearSystemSolved;
}
