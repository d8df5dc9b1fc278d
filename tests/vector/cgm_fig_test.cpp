// Drawings made with a real drawing tool: FIG files converted to clear-text
// CGM by fig2dev, then read back. The expectations come from the FIG files
// (fig2dev keeps their units, flips y and moves the origin).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "tools/cgmtext/cgm_text.h"

namespace {

cgm_picture *convert(const char *name) {
  std::string fig = std::string(ULV_SOURCE_DIR) + "/tests/vector/fig/" + name + ".fig";
  std::string cgm = test_temp_dir("cgm_test") + "/" + name + ".cgm";
  std::string cmd = "fig2dev -L cgm '" + fig + "' '" + cgm + "'";
  int rc = std::system(cmd.c_str());
  EXPECT_EQ(rc, 0) << cmd;
  if (rc != 0) return nullptr;
  cgm_picture *pic = cgm_readtext(cgm.c_str());
  EXPECT_NE(pic, nullptr) << cgm << ": " << cgm_errorstr;
  return pic;
}

std::vector<const cgm_element *> element_list(const cgm_picture *p) {
  std::vector<const cgm_element *> v;
  for (const cgm_element *e = p->elements; e; e = e->next) v.push_back(e);
  return v;
}

struct Box {
  int minx = 1 << 30, maxx = -(1 << 30), miny = 1 << 30, maxy = -(1 << 30);
};

Box outline_box(const cgm_picture *p) {
  Box b;
  for (const cgm_element *e = p->elements; e; e = e->next)
    for (int i = 0; i < e->npoints; i++) {
      b.minx = std::min(b.minx, e->points[2 * i]), b.maxx = std::max(b.maxx, e->points[2 * i]);
      b.miny = std::min(b.miny, e->points[2 * i + 1]), b.maxy = std::max(b.maxy, e->points[2 * i + 1]);
    }
  return b;
}

double ccw_area(const cgm_element *e) {
  double a = 0;
  for (int i = 0; i < e->ntriangles; i++) {
    const int32_t *t = e->triangles + 6 * i;
    double a2 = double(t[2] - t[0]) * (t[5] - t[1]) - double(t[4] - t[0]) * (t[3] - t[1]);
    EXPECT_GT(a2, 0) << "triangle " << i << " runs clockwise";
    a += a2 / 2;
  }
  return a;
}

TEST(CgmFig, FilledAndConcavePolygonsWithAUserColour) {
  cgm_picture *p = convert("polygons");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ncolours, 33);  // 32 standard colours and the user colour
  EXPECT_EQ(p->colrtable[1], 0x000000u);
  EXPECT_EQ(p->colrtable[5], 0xFF0000u);
  EXPECT_EQ(p->colrtable[33], 0xA05028u);
  EXPECT_EQ(p->backcolr, 0xFFFFFFu);
  auto e = element_list(p);
  ASSERT_EQ(e.size(), 3u);

  EXPECT_EQ(e[0]->flags, CGM_FILL | CGM_OUTLINE);  // red pentagon, width 1
  EXPECT_EQ(e[0]->fillcolr, 5);
  EXPECT_EQ(e[0]->linewidth, 1);
  EXPECT_EQ(e[0]->npoints, 6);
  EXPECT_EQ(e[0]->ntriangles, 3);

  EXPECT_EQ(e[1]->flags, CGM_FILL | CGM_OUTLINE);  // concave U, width 2, user colour
  EXPECT_EQ(e[1]->fillcolr, 33);
  EXPECT_EQ(e[1]->linewidth, 2);
  EXPECT_EQ(e[1]->npoints, 9);
  ASSERT_EQ(e[1]->ntriangles, 6);
  // 1800 x 1800 less a 600 x 1200 notch, drawing 5400 wide: 65536 per 2700.
  const double unit = 65536.0 / 2700;
  EXPECT_NEAR(ccw_area(e[1]), (1800.0 * 1800 - 600.0 * 1200) * unit * unit, 0.001 * 2520000 * unit * unit);

  EXPECT_EQ(e[2]->flags, CGM_OUTLINE);  // unfilled triangle
  EXPECT_EQ(e[2]->ntriangles, 0);

  // 5400 wide, 3600 high: x spans the full range, y two thirds of it.
  Box b = outline_box(p);
  EXPECT_EQ(b.minx, -65536);
  EXPECT_EQ(b.maxx, 65536);
  EXPECT_NEAR(b.maxy - b.miny, 131072.0 * 3600 / 5400, 2);
  EXPECT_LE(std::abs(b.maxy + b.miny), 2);
  cgm_free(p);
}

TEST(CgmFig, BoxesWithWidthsAndEmptyInterior) {
  cgm_picture *p = convert("boxes");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ncolours, 32);
  auto e = element_list(p);
  ASSERT_EQ(e.size(), 4u);
  const int flags[4] = {CGM_FILL | CGM_OUTLINE, CGM_FILL | CGM_OUTLINE, CGM_FILL, CGM_OUTLINE};
  const int fill[4] = {2, 3, 7, 7};  // blue, green, yellow; the last keeps yellow
  const int width[4] = {1, 3, 0, 2};
  const int tris[4] = {2, 2, 2, 0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(e[i]->flags, flags[i]) << i;
    EXPECT_EQ(e[i]->fillcolr, fill[i]) << i;
    EXPECT_EQ(e[i]->linewidth, width[i]) << i;
    EXPECT_EQ(e[i]->ntriangles, tris[i]) << i;
    EXPECT_EQ(e[i]->npoints, 5) << i;
    EXPECT_EQ(e[i]->points[0], e[i]->points[8]);  // closed outline
    EXPECT_EQ(e[i]->points[1], e[i]->points[9]);
  }
  // The first box is 1800 x 1200 of a drawing 4200 wide.
  const double unit = 65536.0 / 2100;
  EXPECT_NEAR(ccw_area(e[0]), 1800.0 * 1200 * unit * unit, 0.001 * 1800 * 1200 * unit * unit);
  Box b = outline_box(p);
  EXPECT_EQ(b.minx, -65536);
  EXPECT_EQ(b.maxx, 65536);
  cgm_free(p);
}

TEST(CgmFig, PolylinesKeepTheirPointsColoursAndWidths) {
  cgm_picture *p = convert("lines");
  ASSERT_NE(p, nullptr);
  auto e = element_list(p);
  ASSERT_EQ(e.size(), 3u);
  const int colour[3] = {5, 2, 3};  // red, blue, green
  const int width[3] = {1, 2, 4};
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(e[i]->flags, CGM_OUTLINE) << i;
    EXPECT_EQ(e[i]->linecolr, colour[i]) << i;
    EXPECT_EQ(e[i]->linewidth, width[i]) << i;
    EXPECT_EQ(e[i]->npoints, i + 2) << i;
    EXPECT_EQ(e[i]->ntriangles, 0) << i;
  }
  // 2400 wide, 2700 high: now y spans the full range. The first line is
  // horizontal and lies at the top of the FIG page, so at the top here.
  Box b = outline_box(p);
  EXPECT_EQ(b.miny, -65536);
  EXPECT_EQ(b.maxy, 65536);
  EXPECT_NEAR(b.maxx - b.minx, 131072.0 * 2400 / 2700, 2);
  EXPECT_EQ(e[0]->points[1], e[0]->points[3]);
  EXPECT_EQ(e[0]->points[1], 65536);
  cgm_free(p);
}

}  // namespace
