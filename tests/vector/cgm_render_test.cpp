// Picture rasteriser: row and span rounding, clipping, segments.
// Pictures are drawn through the identity transform, so picture values are
// quarter pixels; frames carry guard bytes on both sides.
#include <gtest/gtest.h>

#include <vector>

#include "vector/cgm.h"

namespace {

constexpr int GUARD = 4096;

struct Frame {
  std::vector<uint8_t> mem = std::vector<uint8_t>(64000 + 2 * GUARD, 0xEE);
  Frame() { std::fill(mem.begin() + GUARD, mem.end() - GUARD, 0); }
  uint8_t *fb() { return mem.data() + GUARD; }
  uint8_t at(int x, int y) { return fb()[y * 320 + x]; }
  bool guards_intact() {
    for (int i = 0; i < GUARD; i++)
      if (mem[i] != 0xEE || mem[mem.size() - 1 - i] != 0xEE) return false;
    return true;
  }
  int count(uint8_t c) { return int(std::count(mem.begin() + GUARD, mem.end() - GUARD, c)); }
  int first_in_row(int y, uint8_t c) {
    for (int x = 0; x < 320; x++)
      if (at(x, y) == c) return x;
    return -1;
  }
};

int xform_calls;
void counted_identity(int x, int y, int *X, int *Y) {
  xform_calls++;
  *X = x;
  *Y = y;
}

// One element, owning its coordinate arrays.
struct Picture {
  std::vector<int32_t> tris, pts;
  cgm_element e{};
  cgm_picture pic{};
  Picture(int flags, std::vector<int32_t> t, std::vector<int32_t> p = {}, int width = 1) : tris(t), pts(p) {
    e.flags = flags;
    e.fillcolr = 0x107;  // only the low byte is drawn
    e.linecolr = 9;
    e.linewidth = width;
    e.ntriangles = int(tris.size() / 6);
    e.triangles = tris.data();
    e.npoints = int(pts.size() / 2);
    e.points = pts.data();
    pic.elements = &e;
  }
  void draw(Frame &f) { cgm_render(&pic, f.fb(), counted_identity); }
};

TEST(CgmRender, TriangleRowsFollowQuarterPixelRounding) {
  Frame f;
  Picture({CGM_FILL, {0, 1, 400, 1, 0, 5}}).draw(f);  // rows (1+2)>>2 = 0 to (5+2)>>2 = 1
  EXPECT_EQ(f.at(0, 0), 7);
  EXPECT_EQ(f.at(0, 1), 7);
  EXPECT_EQ(f.first_in_row(2, 7), -1);
  EXPECT_TRUE(f.guards_intact());

  Frame g;  // all three corners in one row: nothing, however wide
  Picture({CGM_FILL, {0, 398, 1200, 401, 40, 400}}).draw(g);
  EXPECT_EQ(g.count(7), 0);
}

TEST(CgmRender, SpanEndsRoundHalvesDown) {
  // Left edge from 2.5 px in row 0 down to row 10000 one quarter pixel
  // further right: its 16.16 x is 0x28000 in row 0 and 0x28001 in row 1.
  Frame f;
  Picture({CGM_FILL, {10, 0, 11, 40000, 400, 0}}).draw(f);
  EXPECT_EQ(f.first_in_row(0, 7), 2);
  EXPECT_EQ(f.first_in_row(1, 7), 3);
  EXPECT_TRUE(f.guards_intact());
}

TEST(CgmRender, TrianglesOffTheFrameAreClipped) {
  Frame f;
  Picture({CGM_FILL, {0, -100, 400, -60, 800, -20}}).draw(f);      // rows -25..-5
  Picture({CGM_FILL, {0, 820, 400, 900, 800, 1000}}).draw(f);      // rows 205..250
  Picture({CGM_FILL, {-4000, 100, -2000, 400, -100, 700}}).draw(f);  // left of column 0
  Picture({CGM_FILL, {1300, 100, 3000, 400, 2000, 700}}).draw(f);    // right of 319
  EXPECT_EQ(f.count(7), 0);

  // Reaching far past every side: every pixel, and nothing around the frame.
  Picture({CGM_FILL, {-20000, -20000, 30000, -20000, -20000, 30000}}).draw(f);
  EXPECT_EQ(f.count(7), 64000);
  EXPECT_TRUE(f.guards_intact());
}

TEST(CgmRender, BothWindingsFillTheSameSpans) {
  Frame a, b;
  Picture({CGM_FILL, {100, 100, 900, 300, 300, 700}}).draw(a);
  Picture({CGM_FILL, {300, 700, 900, 300, 100, 100}}).draw(b);
  EXPECT_GT(a.count(7), 0);
  EXPECT_EQ(a.mem, b.mem);
}

TEST(CgmRender, ThickSegmentCoversRowsAcrossItsLine) {
  Frame f;
  Picture({CGM_OUTLINE, {}, {40, 400, 80, 400}, 3}).draw(f);
  for (int x = 10; x <= 20; x++)
    for (int y = 98; y <= 102; y++) EXPECT_EQ(f.at(x, y), y >= 99 && y <= 101 ? 9 : 0) << x << "," << y;
  EXPECT_EQ(f.count(9), 33);

  Frame v;  // y-major with width 2: two columns, rows of both ends included
  Picture({CGM_OUTLINE, {}, {400, 40, 400, 80}, 2}).draw(v);
  EXPECT_EQ(v.count(9), 2 * 11);
  EXPECT_EQ(v.at(99, 10), 9);
  EXPECT_EQ(v.at(100, 20), 9);
}

TEST(CgmRender, ThinSegmentsAndSinglePoints) {
  Frame f;
  Picture({CGM_OUTLINE, {}, {0, 0, 40, 20}, 1}).draw(f);  // x-major, (0,0) to (10,5) px
  EXPECT_EQ(f.at(0, 0), 9);
  EXPECT_EQ(f.at(10, 5), 9);
  int total = 0;
  for (int x = 0; x <= 10; x++) {
    int n = 0;
    for (int y = 0; y <= 6; y++) n += f.at(x, y) == 9;
    EXPECT_TRUE(n == 1 || n == 2) << "column " << x;  // a thin line: no gaps, no runs
    total += n;
  }
  EXPECT_EQ(f.count(9), total);  // nothing outside the line's box

  Frame p;  // equal ends: exactly one pixel, whatever the width
  Picture({CGM_OUTLINE, {}, {642, 401, 642, 401}, 5}).draw(p);
  EXPECT_EQ(p.count(9), 1);
  EXPECT_EQ(p.at(161, 100), 9);

  Frame z;  // width 0 draws nothing but the single-point case
  Picture({CGM_OUTLINE, {}, {0, 0, 400, 300}, 0}).draw(z);
  EXPECT_EQ(z.count(9), 0);

  Frame c;  // a long line leaving the frame is clipped pixel by pixel
  Picture({CGM_OUTLINE, {}, {-4000, 100, 6000, 700, -4000, 700}, 4}).draw(c);
  EXPECT_GT(c.count(9), 0);
  EXPECT_TRUE(c.guards_intact());
}

TEST(CgmRender, FillOnlyElementsNeverReadTheirOutline) {
  Frame f;
  Picture fill({CGM_FILL, {0, 0, 400, 0, 0, 400}});
  fill.e.npoints = 1 << 30;  // unset outline fields
  fill.e.points = nullptr;
  xform_calls = 0;
  fill.draw(f);
  EXPECT_EQ(xform_calls, 3);  // one call per corner, nothing else
  EXPECT_GT(f.count(7), 0);
}

TEST(CgmRender, OutlineIsDrawnOverTheFillAndLaterElementsOverEarlier) {
  Frame f;
  Picture under({CGM_FILL | CGM_OUTLINE, {0, 0, 400, 0, 0, 400}, {0, 0, 400, 0}, 1});
  Picture over({CGM_FILL, {0, 0, 40, 0, 0, 40}});
  over.e.fillcolr = 3;
  under.e.next = &over.e;
  xform_calls = 0;
  under.draw(f);
  EXPECT_EQ(xform_calls, 3 + 2 + 3);
  EXPECT_EQ(f.at(50, 0), 9);   // outline over the fill along row 0
  EXPECT_EQ(f.at(50, 1), 7);   // fill below it
  EXPECT_EQ(f.at(3, 3), 3);    // the later element on top
}

}  // namespace
