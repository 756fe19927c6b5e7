#include "analysis/linear_system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Row-major augmented matrix [A | b].
using CAugmented = std::vector<double>;

// Largest |A x - b| over the rows.
double residual(int n, const CAugmented& system, const std::vector<double>& x) {
  double worst = 0.0;
  for (int row = 0; row < n; ++row) {
    double sum = -system[static_cast<std::size_t>(row * (n + 1) + n)];
    for (int column = 0; column < n; ++column) {
      sum += system[static_cast<std::size_t>(row * (n + 1) + column)] *
             x[static_cast<std::size_t>(column)];
    }
    worst = std::max(worst, std::fabs(sum));
  }
  return worst;
}

int solve(int n, CAugmented system, std::vector<double>* solution) {
  solution->assign(static_cast<std::size_t>(n), 0.0);
  return solveLinearSystem(n, system.data(), solution->data());
}

TEST(LinearSystemTest, RandomWellConditionedSystemsAreSolved) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> uniform(-10.0, 10.0);
  for (int n : {4, 8}) {
    for (int trial = 0; trial < 20; ++trial) {
      // Rows with a dominant entry in a shuffled column, so the system is
      // well conditioned but still needs pivoting.
      std::vector<int> dominant(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i) dominant[static_cast<std::size_t>(i)] = i;
      std::shuffle(dominant.begin(), dominant.end(), random);
      std::vector<double> expected(static_cast<std::size_t>(n));
      for (double& value : expected) value = uniform(random);
      CAugmented system(static_cast<std::size_t>(n * (n + 1)));
      for (int row = 0; row < n; ++row) {
        double b = 0.0;
        for (int column = 0; column < n; ++column) {
          double a = uniform(random);
          if (column == dominant[static_cast<std::size_t>(row)]) a += 50.0 * (a < 0 ? -1 : 1);
          system[static_cast<std::size_t>(row * (n + 1) + column)] = a;
          b += a * expected[static_cast<std::size_t>(column)];
        }
        system[static_cast<std::size_t>(row * (n + 1) + n)] = b;
      }
      std::vector<double> x;
      ASSERT_EQ(solve(n, system, &x), kLinearSystemSolved) << n << " " << trial;
      EXPECT_LT(residual(n, system, x), 1e-10) << n << " " << trial;
      for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(x[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)], 1e-10);
      }
    }
  }
}

TEST(LinearSystemTest, ZeroPivotIsAvoidedByExchangingRows) {
  // x = 1, y = 2, z = 3; the first row has nothing in the first column.
  const CAugmented system = {0, 2, 1, 7,  //
                             1, 1, 1, 6,  //
                             2, 0, 3, 11};
  std::vector<double> x;
  ASSERT_EQ(solve(3, system, &x), kLinearSystemSolved);
  EXPECT_NEAR(x[0], 1.0, 1e-12);
  EXPECT_NEAR(x[1], 2.0, 1e-12);
  EXPECT_NEAR(x[2], 3.0, 1e-12);

  // A pure permutation: the solution comes out in unknown order.
  const CAugmented swapped = {0, 0, 0, 1, 4,  //
                              0, 0, 1, 0, 3,  //
                              1, 0, 0, 0, 1,  //
                              0, 1, 0, 0, 2};
  ASSERT_EQ(solve(4, swapped, &x), kLinearSystemSolved);
  EXPECT_EQ(x, (std::vector<double>{1, 2, 3, 4}));
}

TEST(LinearSystemTest, PivotsAreChosenRelativeToTheRowScale) {
  // Both rows have 1 in the first column. Compared with its row's largest
  // entry the second row's is far bigger, so it must be the pivot; taking the
  // first row would lose x entirely (1e20 - 1 == 1e20).
  const CAugmented system = {1, 1e20, 1e20,  //
                             1, 1,    2};
  std::vector<double> x;
  ASSERT_EQ(solve(2, system, &x), kLinearSystemSolved);
  EXPECT_NEAR(x[0], 1.0, 1e-12);
  EXPECT_NEAR(x[1], 1.0, 1e-12);

  // A tiny leading coefficient: plain elimination without exchange fails.
  const CAugmented tiny = {1e-20, 1, 1,  //
                           1,     1, 2};
  ASSERT_EQ(solve(2, tiny, &x), kLinearSystemSolved);
  EXPECT_NEAR(x[0], 1.0, 1e-12);
  EXPECT_NEAR(x[1], 1.0, 1e-12);
}

TEST(LinearSystemTest, SingularSystemsAreReported) {
  std::vector<double> x;
  // A row without coefficients (its right side does not matter).
  EXPECT_EQ(solve(3,
                  {1, 2, 3, 4,  //
                   0, 0, 0, 5,  //
                   4, 5, 7, 6},
                  &x),
            kLinearSystemSingular);
  // Linearly dependent rows: the last pivot becomes exactly zero.
  EXPECT_EQ(solve(2,
                  {1, 2, 3,  //
                   2, 4, 6},
                  &x),
            kLinearSystemSingular);
  EXPECT_EQ(solve(3,
                  {1, 2, 3, 1,  //
                   2, 1, 1, 2,  //
                   3, 3, 4, 3},
                  &x),
            kLinearSystemSingular);
  // A column without coefficients: no row can serve as its pivot.
  EXPECT_EQ(solve(3,
                  {0, 1, 2, 1,  //
                   0, 3, 1, 2,  //
                   0, 2, 5, 3},
                  &x),
            kLinearSystemSingular);
  // The normal equations of a single block of the motion fit (rank 2).
  const double v = 45, h = -75;
  EXPECT_EQ(solve(4,
                  {1,
                   0,
                   v,
                   h,
                   1,  //
                   0,
                   1,
                   h,
                   -v,
                   2,  //
                   v,
                   h,
                   v * v + h * h,
                   0,
                   v + 2 * h,  //
                   h,
                   -v,
                   0,
                   v * v + h * h,
                   h - 2 * v},
                  &x),
            kLinearSystemSingular);
}

}  // namespace
