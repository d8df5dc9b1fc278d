#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fx/guarded_frame.h"
#include "fx/maf.h"
#include "fx/writer.h"

namespace {

class Writer : public ::testing::Test {
 protected:
  void SetUp() override { init_maf(); }
  // A 320x24 text line, all zero unless set.
  std::vector<uint8_t> line = std::vector<uint8_t>(320 * 24, 0);
  uint8_t &text(int x, int y) { return line[320 * y + x]; }
};

TEST_F(Writer, SharpLineStartsThirtyTwoColumnsRightOfItsWindow) {
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 320; x++) text(x, y) = static_cast<uint8_t>(1 + (7 * y + x) % 200);
  GuardedFrame f(0);
  writer_image(f.data(), line.data(), 0, 0, 1);
  for (int y = 0; y < 24; y++) {
    for (int x = 0; x < 32; x++) ASSERT_EQ(f.at(x, y), 0) << x << "," << y;
    for (int x = 32; x < 320; x++) ASSERT_EQ(f.at(x, y), text(x - 32, y)) << x << "," << y;
  }
  for (int x = 0; x < 320; x++) ASSERT_EQ(f.at(x, 24), 0);
  // Levels below 1 draw sharp as well.
  GuardedFrame g(0);
  writer_image(g.data(), line.data(), 0, 0, -5);
  EXPECT_TRUE(std::equal(f.data(), f.data() + 64000, g.data()));
}

TEST_F(Writer, BlurSpreadsAPixelOverTheBoxWidth) {
  text(100, 5) = 200;
  GuardedFrame f(0);
  writer_image(f.data(), line.data(), 0, 0, 4);
  // Strip column 132: two to its left, its own and one to its right.
  for (int x = 130; x <= 133; x++) EXPECT_EQ(f.at(x, 5), 50) << x;
  EXPECT_EQ(f.count(0), 64000 - 4);
}

TEST_F(Writer, BlurReachesIntoTheLeftMarginAndTheRightMarginIsCutOff) {
  for (int y = 0; y < 24; y++) text(0, y) = text(319, y) = 160;
  GuardedFrame f(0);
  writer_image(f.data(), line.data(), 0, 0, 32);  // 160 / 32 = 5 per term
  for (int y = 0; y < 24; y++) {
    EXPECT_EQ(f.at(16, y), 5);   // strip column 32 reaches back to 16
    EXPECT_EQ(f.at(15, y), 0);
    EXPECT_EQ(f.at(47, y), 5);   // and forward to 47
    EXPECT_EQ(f.at(48, y), 0);
    EXPECT_EQ(f.at(319, y), 0);  // text column 319 is strip column 351
  }
}

TEST_F(Writer, RowsOutsideTheFrameAreSkipped) {
  std::fill(line.begin(), line.end(), 1);
  GuardedFrame f(0);
  writer_image(f.data(), line.data(), 0, 190, 1);  // strip rows 0..9 only
  for (int y = 0; y < 200; y++) EXPECT_EQ(f.at(100, y), y >= 190 ? 1 : 0) << y;
  writer_image(f.data(), line.data(), 0, -20, 1);  // strip rows 20..23 only
  for (int y = 0; y < 6; y++) EXPECT_EQ(f.at(100, y), y < 4 ? 1 : 0) << y;
  EXPECT_TRUE(f.guards_intact());
}

TEST_F(Writer, ColumnsRunOnIntoTheNextRowAndNeverOutOfTheFrame) {
  for (int x = 0; x < 320; x++) text(x, 0) = 1;
  GuardedFrame f(0);
  writer_image(f.data(), line.data(), 100, 0, 1);
  // Frame offsets 132..419: the end of row 0 and columns 0..99 of row 1.
  EXPECT_EQ(f.at(131, 0), 0);
  EXPECT_EQ(f.at(132, 0), 1);
  EXPECT_EQ(f.at(99, 1), 1);
  EXPECT_EQ(f.at(100, 1), 0);
  EXPECT_EQ(f.count(1), 288);

  // Windows that start before the frame or end after it lose those bytes.
  std::fill(line.begin(), line.end(), 1);
  GuardedFrame g(0);
  writer_image(g.data(), line.data(), -40, 0, 1);
  writer_image(g.data(), line.data(), 108, 176, 1);
  writer_image(g.data(), line.data(), 108, 176, 6);
  EXPECT_TRUE(g.guards_intact());
  EXPECT_EQ(g.at(0, 0), 1);  // text column 8 at offset 0
}

TEST_F(Writer, AdditionSaturates) {
  std::fill(line.begin(), line.end(), 10);
  GuardedFrame f(250);
  writer_image(f.data(), line.data(), 0, 0, 1);
  EXPECT_EQ(f.at(40, 3), 255);
  EXPECT_EQ(f.at(20, 3), 250);

  std::vector<uint8_t> caption(196 * 120, 10);
  caption[0] = 0;
  GuardedFrame g(250);
  writer2_image(g.data(), caption.data(), 0, 60);
  EXPECT_EQ(g.at(0, 60), 250);  // 0 is transparent
  EXPECT_EQ(g.at(1, 60), 255);
  EXPECT_EQ(g.at(195, 179), 255);
  EXPECT_EQ(g.at(196, 100), 250);
  EXPECT_EQ(g.at(50, 59), 250);
  EXPECT_EQ(g.at(50, 180), 250);
  EXPECT_EQ(g.count(255), 196 * 120 - 1);
}

// Captions against the byte rule (every image byte added to the frame
// byte under it, saturating; bytes outside the frame dropped): mostly black
// random images, read from each of the four byte alignments, at windows
// inside the frame and cut at its top, bottom and ends.
TEST_F(Writer, SparseCaptionsEqualTheByteRule) {
  uint32_t state = 7;
  auto draw = [&state]() { return (state = state * 1664525u + 1013904223u) >> 8; };
  std::vector<uint8_t> store(196 * 120 + 4), before(64000);
  const int windows[][2] = {{0, 60}, {3, 61}, {125, 0}, {-7, -30}, {200, 150}, {1, 199}};
  for (int align = 0; align < 4; align++)
    for (const auto &xy : windows) {
      uint8_t *img = store.data() + align;
      for (int i = 0; i < 196 * 120; i++) {
        const uint32_t r = draw();
        img[i] = r % 8 == 0 ? uint8_t(r >> 8) : r % 61 == 0 ? 255 : 0;
      }
      for (auto &b : before) b = uint8_t(draw());
      GuardedFrame f(0);
      std::copy(before.begin(), before.end(), f.data());
      writer2_image(f.data(), img, xy[0], xy[1]);
      std::vector<int> want(before.begin(), before.end());
      for (int r = 0; r < 120; r++)
        for (int c = 0; c < 196; c++) {
          const long off = 320L * (xy[1] + r) + xy[0] + c;
          if (off >= 0 && off < 64000) want[off] = std::min(want[off] + img[196 * r + c], 255);
        }
      for (int i = 0; i < 64000; i++)
        ASSERT_EQ(f.data()[i], want[i]) << "alignment " << align << " window " << xy[0] << "," << xy[1] << " at " << i;
      EXPECT_TRUE(f.guards_intact());
    }
}

TEST_F(Writer, OutOfRangeLinesAndCaptionsDrawNothing) {
  GuardedFrame f(0);
  writer(f.data(), 26, 0, 0, 1);
  writer(f.data(), -1, 0, 0, 1);
  writer2(f.data(), 3, 0, 60);
  writer2(f.data(), -1, 0, 60);
  EXPECT_EQ(f.count(0), 64000);
  EXPECT_TRUE(f.guards_intact());
}

TEST(Rain, TwoStreakSetsStartTogetherAtTimeZero) {
  GuardedFrame f(200);
  sade(f.data(), 0);
  // Thin streak 0 and pattern streak 0 both at (0, 0): halved twice.
  for (auto [x, y] : {std::pair{3, 0}, {2, 1}, {1, 2}, {0, 3}}) EXPECT_EQ(f.at(x, y), 50);
  // Thin streak 50 at (70, 150) has no pattern partner.
  for (auto [x, y] : {std::pair{73, 150}, {72, 151}, {71, 152}, {70, 153}})
    EXPECT_EQ(f.at(x, y), 100);
  // Streak 26 starts at row 198 (x 62): two pixels, the rest would leave the frame.
  EXPECT_EQ(f.at(65, 198), 50);
  EXPECT_EQ(f.at(64, 199), 50);
  EXPECT_TRUE(f.guards_intact());
}

TEST(Rain, StaysInsideTheFrameAtAllTimes) {
  GuardedFrame f(255);
  for (int t = 0; t < 60000; t += 7) sade(f.data(), t);
  sade(f.data(), 2147483647);
  EXPECT_TRUE(f.guards_intact());
  GuardedFrame g(255);
  sade(g.data(), -1);
  EXPECT_EQ(g.count(255), 64000);
}

}  // namespace
