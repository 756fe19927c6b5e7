// The integer application of the per-row maps of rolling-shutter video.
#include "render/row_tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::int64_t kOne = std::int64_t{1} << 26;

std::int64_t dropLowBits(std::int64_t v) { return (v >> 8) * 256; }

// A table whose every item maps a row onto itself and moves x by (item index)
// pixels, so that a result tells which item was used.
std::vector<RRowTableItem> markedIdentityTable(int h) {
  std::vector<RRowTableItem> table(static_cast<std::size_t>(3 * h));
  for (int r = -h; r < 2 * h; ++r) {
    table[static_cast<std::size_t>(r + h)] = {{(r + h) * kOne, r * kOne, kOne, 0, 0, kOne}};
  }
  return table;
}

TEST(RowTablesTest, PositionsBeyondTheTableUseItsOuterRowsMeasuredFromThoseRows) {
  const int h = 4;
  const std::vector<RRowTableItem> table = markedIdentityTable(h);
  struct RCase {
    std::int64_t Y;
    int item;
  };
  const RCase cases[] = {
      {kOne + kOne / 3, h + 1},                 // inside: row 1
      {(2 * h - 1) * kOne + 12345, 3 * h - 1},  // the top row of the table
      {2 * h * kOne, 3 * h - 1},                // one row past it
      {100 * kOne + 98765, 3 * h - 1},          // far above the frame
      {-h * kOne, 0},                           // the bottom row of the table
      {-h * kOne - 1, 0},                       // just below it
      {-100 * kOne - 777, 0},                   // far below the frame
  };
  const std::int64_t X = 3 * kOne + 4321;
  for (const RCase& c : cases) {
    std::int64_t outX = 0, outY = 0;
    applyRowTable(table.data(), h, X, c.Y, &outX, &outY);
    // The per-row change carries the position within (or beyond) the row:
    // an identity in y proves that f was measured from the item's own row.
    EXPECT_EQ(outY, dropLowBits(c.Y)) << c.Y;
    EXPECT_EQ(outX, dropLowBits(X) + c.item * kOne) << c.Y;
  }
}

}  // namespace
