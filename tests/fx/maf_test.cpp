#include <gtest/gtest.h>

#include <vector>

#include "fx/maf.h"

namespace {

class BoxBlur : public ::testing::Test {
 protected:
  void SetUp() override { init_maf(); }

  // Blurs one row given as values, returns the output row. Bytes on both
  // sides of the output are guards and must not change.
  std::vector<int> blur(const std::vector<uint8_t> &row, int n) {
    const int w = static_cast<int>(row.size());
    std::vector<uint8_t> dst(w + 16, 0xA5);
    horiz_maf(row.data(), dst.data() + 8, 0, 0, 0, 0, w, 1, w, 1, n);
    for (int i = 0; i < 8; i++) {
      EXPECT_EQ(dst[i], 0xA5);
      EXPECT_EQ(dst[w + 8 + i], 0xA5);
    }
    return std::vector<int>(dst.begin() + 8, dst.begin() + 8 + w);
  }
};

TEST_F(BoxBlur, WorkedRows) {
  EXPECT_EQ(blur({30, 60, 90, 0, 0}, 3), (std::vector<int>{30, 60, 50, 30, 0}));
  EXPECT_EQ(blur(std::vector<uint8_t>(8, 255), 4),
            (std::vector<int>{189, 252, 252, 252, 252, 252, 189, 126}));
  EXPECT_EQ(blur({1, 1}, 2), (std::vector<int>{0, 0}));
  // A box wider than the row still sums only the pixels inside it.
  EXPECT_EQ(blur({255, 255, 255}, 8), (std::vector<int>{93, 93, 93}));
  EXPECT_EQ(blur({200}, 1), (std::vector<int>{200}));
}

TEST_F(BoxBlur, WidthOneCopiesTheRectangleAndNothingElse) {
  // 12x6 pictures, rectangle 5x3 from (2, 1) to (6, 2).
  const int pitch = 12;
  std::vector<uint8_t> src(pitch * 6), dst(pitch * 6, 9);
  for (size_t i = 0; i < src.size(); i++) src[i] = static_cast<uint8_t>(10 + i);
  for (int n : {1, 0, -3}) {  // widths below 1 count as 1
    std::fill(dst.begin(), dst.end(), 9);
    horiz_maf(src.data(), dst.data(), 2, 1, 6, 2, 5, 3, pitch, 3, n);
    for (int y = 0; y < 6; y++)
      for (int x = 0; x < pitch; x++) {
        const bool inside = y >= 2 && y < 5 && x >= 6 && x < 11;
        const int want = inside ? src[pitch * (y - 1) + x - 4] : 9;
        ASSERT_EQ(dst[pitch * y + x], want) << "n " << n << " at " << x << "," << y;
      }
  }
}

TEST_F(BoxBlur, UniformRunComesOutAsTruncatedTermsTimesWidth) {
  std::vector<uint8_t> row(40, 100);
  const std::vector<int> out = blur(row, 7);  // 7 * (100 / 7) = 98
  for (int c = 3; c < 37; c++) EXPECT_EQ(out[c], 98) << c;
  EXPECT_EQ(out[0], 4 * 14);   // pixels -3..3: four inside
  EXPECT_EQ(out[39], 4 * 14);  // pixels 36..42: four inside
}

}  // namespace
