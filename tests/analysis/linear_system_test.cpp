#include "analysis/linear_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Row-major augmented matrices [A | b].
int solve(int n, std::vector<double> system, std::vector<double>* solution) {
  solution->assign(static_cast<std::size_t>(n), 0.0);
  return solveLinearSystem(n, system.data(), solution->data());
}

TEST(LinearSystemTest, SolvesWhatPivotingMakesSolvable) {
  const double v = 45, h = -75;
  struct RCase {
    int n;
    std::vector<double> system, expected;  // no expected solution: singular
  };
  // clang-format off
  const RCase cases[] = {
      // The first row has nothing in the first column; a pure permutation.
      {3, {0, 2, 1, 7,  1, 1, 1, 6,  2, 0, 3, 11}, {1, 2, 3}},
      {4, {0, 0, 0, 1, 4,  0, 0, 1, 0, 3,  1, 0, 0, 0, 1,  0, 1, 0, 0, 2}, {1, 2, 3, 4}},
      // Pivots relative to the row scale: taking the first row would lose x
      // (1e20 - 1 == 1e20); a tiny leading coefficient needs an exchange.
      {2, {1, 1e20, 1e20,  1, 1, 2}, {1, 1}},
      {2, {1e-20, 1, 1,  1, 1, 2}, {1, 1}},
      // Singular: a row without coefficients, dependent rows, a column
      // without coefficients, the normal equations of a single fit block.
      {3, {1, 2, 3, 4,  0, 0, 0, 5,  4, 5, 7, 6}, {}},
      {2, {1, 2, 3,  2, 4, 6}, {}},
      {3, {1, 2, 3, 1,  2, 1, 1, 2,  3, 3, 4, 3}, {}},
      {3, {0, 1, 2, 1,  0, 3, 1, 2,  0, 2, 5, 3}, {}},
      {4, {1, 0, v, h, 1,  0, 1, h, -v, 2,  v, h, v * v + h * h, 0, v + 2 * h,
           h, -v, 0, v * v + h * h, h - 2 * v}, {}},
  };
  // clang-format on
  for (const RCase& c : cases) {
    std::vector<double> x;
    const int result = solve(c.n, c.system, &x);
    if (c.expected.empty()) {
      EXPECT_EQ(result, kLinearSystemSingular) << c.system[0] << " " << c.n;
      continue;
    }
    ASSERT_EQ(result, kLinearSystemSolved) << c.system[0] << " " << c.n;
    for (int i = 0; i < c.n; ++i) EXPECT_NEAR(x[i], c.expected[i], 1e-12) << i;
  }
}

}  // namespace
