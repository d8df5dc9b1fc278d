// Clear-text CGM as drawing programs write it: points without separators,
// comments and strings anywhere, line and edge attributes apart, curves,
// hatching, skipped text, polygons the ear clipping cannot fill, the
// reader's limits, and the compact form's exact end and record splitting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "tools/cgmtext/cgm_text.h"
#include "tools/cgmtext/cgm_shape.h"

namespace {

// Reads `text` (a whole file) with the given limits; the demo's limits are
// restored afterwards.
cgm_picture *read_with(const std::string &text, cgm_textlimits limits = {500, 99, 160, 0}) {
  std::string path = test_temp_dir("cgm_test") + "/" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_drawing.cgm";
  FILE *f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  cgm_limits = limits;
  cgm_picture *p = cgm_readtext(path.c_str());
  cgm_limits = {500, 99, 160, 0};
  return p;
}

// " (x,y)" (built with snprintf: g++ 12 warns falsely on some chains of
// std::string additions).
std::string pt(long x, long y) {
  char b[48];
  std::snprintf(b, sizeof b, " (%ld,%ld)", x, y);
  return b;
}

// Black, white, red, then `body`.
const std::string HEAD = "BEGMF 'x'; colrtable 1 0 0 0 255 255 255 255 0 0;\n";

std::vector<const cgm_element *> elements(const cgm_picture *p) {
  std::vector<const cgm_element *> v;
  for (const cgm_element *e = p->elements; e; e = e->next) v.push_back(e);
  return v;
}

// Area covered by the triangles, in picture units squared (both windings
// count positive).
double area(const cgm_element *e) {
  double a = 0;
  for (int i = 0; i < e->ntriangles; i++) {
    const int32_t *t = e->triangles + 6 * i;
    a += std::fabs(double(t[2] - t[0]) * (t[5] - t[1]) - double(t[4] - t[0]) * (t[3] - t[1])) / 2;
  }
  return a;
}

// Pixels of `colour` when the picture is drawn with its half extent 64
// pixels around the frame centre.
int count_pixels(const cgm_picture *p, int colour, std::vector<uint8_t> *frame_out = nullptr) {
  std::vector<uint8_t> frame(64000, 0);
  cgm_render(p, frame.data(), [](int x, int y, int *X, int *Y) {
    *X = 640 + x / 256;
    *Y = 400 - y / 256;
  });
  int n = 0;
  for (uint8_t v : frame) n += v == colour;
  if (frame_out) *frame_out = frame;
  return n;
}

TEST(CgmDrawing, PointsWithoutSeparators) {
  // An arrowhead, a dot, and an element after them: nothing swallowed.
  cgm_picture *p = read_with(HEAD + "polygon (0,0)(10,0)(10,10);\nline (5,5)(5,5);\nline (0,10)(10,10);\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  auto e = elements(p);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0]->npoints, 4);  // three corners, closed
  EXPECT_EQ(e[0]->ntriangles, 1);
  EXPECT_EQ(e[1]->npoints, 2);
  EXPECT_EQ(e[1]->points[0], e[1]->points[2]);
  EXPECT_EQ(e[2]->npoints, 2);
  cgm_free(p);

  // A file ending in a dot, with no newline; "x y" points without brackets.
  p = read_with(HEAD + "line 0 0 10 10;\nline (3,3)(3,3);");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  ASSERT_EQ(elements(p).size(), 2u);
  EXPECT_EQ(p->elements->points[2], 65536);
  cgm_free(p);
}

TEST(CgmDrawing, CommentsAndStringsAreSkippedAnywhere) {
  cgm_picture *p = read_with(HEAD +
                             "% the red line; polygon (0,0) (9,9); %\nlinewidth 30;\nlinecolr % in between % 3;\n"
                             "line (0,0) (10,10);\ntext (1,1) final 'a line (2,2) (3,3); polygon';\n"
                             "restrtext 1 1 (2,2) final 'x';\ncellarray (0,0) (1,1) (1,0) 1 1 8 0;\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  auto e = elements(p);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0]->linewidth, 2);
  EXPECT_EQ(e[0]->linecolr, 3);
  EXPECT_EQ(cgm_lastinfo.text, 2);
  EXPECT_EQ(cgm_lastinfo.images, 1);
  cgm_free(p);
}

TEST(CgmDrawing, LineAndEdgeAttributesStayApart) {
  cgm_picture *p = read_with(HEAD +
                             "linewidth 30; linecolr 3; edgewidth 0; edgecolr 2; edgevis ON; intstyle EMPTY;\n"
                             "line (0,0) (10,0);\npolygon (0,0) (10,0) (10,10);\n"
                             "edgewidth 45;\npolygon (0,0) (10,0) (10,10);\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  auto e = elements(p);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0]->flags, CGM_OUTLINE);  // the line keeps its own width after edgewidth 0
  EXPECT_EQ(e[0]->linewidth, 2);
  EXPECT_EQ(e[0]->linecolr, 3);
  EXPECT_EQ(e[1]->flags, 0);  // no interior, invisible edge: nothing to draw
  EXPECT_EQ(e[2]->flags, CGM_OUTLINE);
  EXPECT_EQ(e[2]->linewidth, 3);
  EXPECT_EQ(e[2]->linecolr, 2);  // the edge colour, not the line colour
  cgm_free(p);
}

TEST(CgmDrawing, CirclesEllipsesAndArcsBecomePolygons) {
  cgm_picture *p = read_with(HEAD +
                             "fillcolr 3; edgevis OFF;\ncircle (0,0) 100;\nellipse (0,0) (50,0) (0,25);\n"
                             "arcctr (0,0) (1,0) (0,1) 100;\narc3ptclose (100,0) (0,100) (-100,0) PIE;\n"
                             "arcctrclose (0,0) (0,1) (1,0) 100 CHORD;\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  auto e = elements(p);
  ASSERT_EQ(e.size(), 5u);
  const int coarse = e[0]->npoints;
  // The circle spans the whole drawing: its area is pi * 65536^2, within
  // what its flattening (a quarter pixel at 160 pixels) leaves out.
  const double disc = M_PI * 65536.0 * 65536.0;
  EXPECT_EQ(e[0]->flags, CGM_FILL);
  EXPECT_NEAR(area(e[0]), disc, disc * 0.01);
  EXPECT_GE(e[0]->npoints, 30);
  EXPECT_NEAR(area(e[1]), disc / 8, disc / 8 * 0.01);
  // The quarter arc is an open line from (65536, 0) to (0, 65536).
  EXPECT_EQ(e[2]->flags, CGM_OUTLINE);
  EXPECT_EQ(e[2]->points[0], 65536);
  EXPECT_EQ(e[2]->points[2 * e[2]->npoints - 1], 65536);
  // The pie through the top is half the disc; the chord from the top
  // clockwise round to the right is three quarters of it less a triangle.
  EXPECT_NEAR(area(e[3]), disc / 2, disc * 0.01);
  EXPECT_EQ(e[3]->points[0], 0);  // a pie starts at its centre
  EXPECT_NEAR(area(e[4]), disc * 3 / 4 + 65536.0 * 65536 / 2, disc * 0.01);
  cgm_free(p);

  // Finer output, finer curves.
  p = read_with(HEAD + "circle (0,0) 100;\n", {500, 99, 2000});
  ASSERT_NE(p, nullptr);
  EXPECT_GT(p->elements->npoints, 2 * coarse);
  cgm_free(p);
}

TEST(CgmDrawing, HatchedInteriorsDrawLinesInTheFillColour) {
  cgm_picture *p = read_with(HEAD +
                             "intstyle HATCH; hatchindex 1; fillcolr 3; edgevis ON; edgecolr 1;\n"
                             "rect (0,0) (100,100);\nhatchindex 6;\nrect (200,0) (300,100);\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  auto e = elements(p);
  int horizontal = 0, diagonal = 0, boxes = 0;
  for (const cgm_element *x : e) {
    EXPECT_FALSE(x->flags & CGM_FILL);  // never a solid block
    if (x->npoints == 5) {
      boxes++;
      EXPECT_EQ(x->linecolr, 1);
      continue;
    }
    ASSERT_EQ(x->npoints, 2);
    EXPECT_EQ(x->linecolr, 3);
    if (x->points[1] == x->points[3]) horizontal++;
    if (x->points[1] != x->points[3] && x->points[0] != x->points[2]) diagonal++;
  }
  EXPECT_EQ(boxes, 2);
  EXPECT_GE(horizontal, 5);
  EXPECT_GE(diagonal, 10);
  EXPECT_EQ(e.back()->npoints, 5);  // the hatch lines come before their box
  std::vector<uint8_t> frame;
  int red = count_pixels(p, 3, &frame);
  EXPECT_GT(red, 100);
  EXPECT_LT(red, 64 * 64 / 2);  // lines, not a filled box
  cgm_free(p);
}

TEST(CgmDrawing, SimplePolygonsFillCompletely) {
  // A clockwise square whose lowest corner is doubled: the orientation test
  // sees no turn there, the ear clipping finds no ear, the sweep fills it.
  cgm_picture *p = read_with(HEAD + "polygon (0,0) (0,0) (0,10) (10,10) (10,0);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_NEAR(area(p->elements), 131072.0 * 131072.0, 131072.0 * 131072.0 * 1e-6);
  cgm_free(p);

  // A comb of 523 points (beyond the ear clipping's 500) fills exactly:
  // 260 teeth 4 wide and 100 high on a strip 1040 by 10.
  std::string comb = "polygon";
  for (int i = 0; i < 260; i++) comb += pt(4 * i, 0) + pt(4 * i + 2, 100);
  p = read_with(HEAD + comb + " (1040,0) (1040,-10) (0,-10);\n", {1000, 99, 160});
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  EXPECT_GT(p->elements->ntriangles, 0);
  const double unit = 65536.0 / 520;
  const double expected = (260 * 200.0 + 1040 * 10.0) * unit * unit;
  EXPECT_NEAR(area(p->elements), expected, expected * 0.001);
  cgm_free(p);
}

TEST(CgmDrawing, SelfCrossingPolygonsFillByNonzeroWinding) {
  // A bow tie: two triangles, the crossing in the middle.
  cgm_picture *p = read_with(HEAD + "polygon (0,0) (10,10) (10,0) (0,10);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_NEAR(area(p->elements), 131072.0 * 131072.0 / 2, 131072.0 * 131072.0 * 0.001);
  cgm_free(p);

  // A pentagram: the nonzero rule fills its middle too (even-odd would not).
  std::string star = "fillcolr 3; edgevis OFF; polygon";
  for (int i = 0; i < 5; i++) {
    double a = M_PI / 2 + i * 4 * M_PI / 5;
    star += pt(std::lround(1000 * std::cos(a)), std::lround(1000 * std::sin(a)));
  }
  p = read_with(HEAD + star + ";\n");
  ASSERT_NE(p, nullptr);
  std::vector<uint8_t> frame;
  count_pixels(p, 3, &frame);
  EXPECT_EQ(frame[400 / 4 * 320 + 640 / 4], 3);  // the centre
  EXPECT_EQ(frame[63 * 320 + 186], 0);           // between two tips, 45 pixels out
  EXPECT_EQ(frame[100 * 320 + 160 + 45], 0);
  cgm_free(p);

  // The sweep alone: a square crossed by itself twice over fills once.
  const int32_t twice[] = {0, 0, 100, 0, 100, 100, 0, 100, 0, 0, 100, 0, 100, 100, 0, 100};
  std::vector<int32_t> tri;
  ASSERT_TRUE(cgm_sweepfill(twice, 8, tri));
  double a = 0;
  for (size_t i = 0; i < tri.size(); i += 6)
    a += (double(tri[i + 2] - tri[i]) * (tri[i + 5] - tri[i + 1]) -
          double(tri[i + 4] - tri[i]) * (tri[i + 3] - tri[i + 1])) /
         2;
  EXPECT_EQ(a, 10000.0);
  const int32_t far[] = {0, 0, 300000, 0, 0, 10};
  EXPECT_FALSE(cgm_sweepfill(far, 3, tri));
}

TEST(CgmDrawing, LimitsForDrawings) {
  std::string big = "polygon";
  for (int i = 0; i < 100000; i++) {
    double a = 2 * M_PI * i / 100000;
    big += pt(std::lround(30000 * std::cos(a)), std::lround(30000 * std::sin(a)));
  }
  big += ";\n";
  EXPECT_EQ(read_with(HEAD + big), nullptr);  // the demo's 500 points
  cgm_picture *p = read_with(HEAD + big, {100000, 99, 160});
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  EXPECT_EQ(p->elements->npoints, 100001);
  const double disc = M_PI * 65536.0 * 65536.0;
  EXPECT_NEAR(area(p->elements), disc, disc * 0.001);
  cgm_free(p);

  // Colour index 101 of a table that defines it.
  std::string table = "BEGMF 'x'; colrtable 0";
  for (int i = 0; i < 102; i++) {
    table += ' ';
    table += std::to_string(i);
    table += " 0 0";
  }
  table += ";\nfillcolr 101;\npolygon (0,0) (1,0) (0,1);\n";
  EXPECT_EQ(read_with(table), nullptr);
  p = read_with(table, {500, 65535, 160});
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  EXPECT_EQ(p->colrtable[p->elements->fillcolr], 100u << 16);
  cgm_free(p);

  // A first table of 269 entries repeating two colours: each colour is
  // held once, and each index stands for the entry of its colour.
  table = "BEGMF 'x'; colrtable 1";
  for (int i = 0; i < 269; i++) table += i % 2 ? " 9 9 9" : " 7 7 7";
  table += ";\nfillcolr 250;\npolygon (0,0) (1,0) (0,1);\nfillcolr 251;\npolygon (0,0) (1,0) (0,1);\n";
  p = read_with(table, {500, 65535, 160});
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  EXPECT_EQ(p->ncolours, 2);
  EXPECT_EQ(p->colrtable[1], 0x070707u);
  EXPECT_EQ(p->elements->fillcolr, 2);  // index 250: 9 9 9
  EXPECT_EQ(p->elements->next->fillcolr, 1);
  cgm_free(p);

  // A new colour once the 199 entries are full: refused, or with `nearest`
  // drawn in the nearest held colour and counted.
  std::string full = "BEGMF 'x'; colrtable 1";
  for (int i = 0; i < 199; i++) full += i == 100 ? " 9 9 9" : " 7 7 7";
  full += ";\ncolrtable 300 10 8 9;\nfillcolr 300;\nline (0,0) (1,1);\n";
  EXPECT_EQ(read_with(full, {500, 65535, 160, 0}), nullptr);
  p = read_with(full, {500, 65535, 160, 1});
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  EXPECT_EQ(p->elements->fillcolr, 101);  // 9 9 9
  EXPECT_EQ(cgm_lastinfo.approximated, 1);
  cgm_free(p);

  // Far from the centre: mapped, not wrapped; beyond 2^30: refused.
  p = read_with(HEAD + "line (-1000000,0) (1000000,0) (999999,1);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elements->points[0], -65536);
  EXPECT_EQ(p->elements->points[2], 65536);
  EXPECT_EQ(p->elements->points[4], 65535);
  cgm_free(p);
  EXPECT_EQ(read_with(HEAD + "line (0,0) (1073741824,0);\n"), nullptr);
  EXPECT_STREQ(cgm_errorstr, "coordinate beyond +-1073741823");
}

TEST(CgmDrawing, CompactFormEndsAtItsTerminatorAndSplitsLargeElements) {
  const uint8_t tail[] = {1, 0, 0, 0, 0xFF, 0};
  EXPECT_EQ(cgm_getn(tail, sizeof tail), nullptr);
  cgm_picture *p = cgm_getn(tail, sizeof tail - 1);
  ASSERT_NE(p, nullptr);
  cgm_free(p);

  // 300 triangles: two records, 255 and 45, which read back in order.
  std::string body = "fillcolr 3; edgevis OFF; polygon";
  for (int i = 0; i <= 301; i++) body += pt(i, i % 2 ? 10 : 0);
  p = read_with(HEAD + body + " (301,-5) (0,-5);\n");
  ASSERT_NE(p, nullptr) << cgm_errorstr;
  ASSERT_EQ(p->elements->ntriangles, 302);
  size_t n = cgm_put(p, nullptr, 0);
  std::vector<uint8_t> bytes(n);
  ASSERT_EQ(cgm_put(p, bytes.data(), n), n);
  cgm_picture *back = cgm_getn(bytes.data(), n);
  ASSERT_NE(back, nullptr);
  auto e = elements(back);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0]->ntriangles, 255);
  EXPECT_EQ(e[1]->ntriangles, 47);
  EXPECT_EQ(e[1]->triangles[0], (p->elements->triangles[6 * 255] + 2) >> 2 << 2);
  cgm_free(back);
  cgm_free(p);
}

}  // namespace
