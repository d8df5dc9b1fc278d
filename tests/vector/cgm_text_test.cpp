// Clear-text CGM reader: keywords and state, rectangles, ear clipping,
// colour definitions, normalisation, and refusal of broken files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/temp_dir.h"
#include "tools/cgmtext/cgm_text.h"

namespace {

// A file name of the running test's own: ctest runs tests in parallel.
std::string own_path(const char *name) {
  return test_temp_dir("cgm_test") + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
         name;
}

// A file with the usual head and a four-entry colour table (black, blue,
// red, green as file indices 1..4), then `body`.
std::string drawing(const std::string &body, const char *name = "text_test.cgm") {
  std::string path = own_path(name);
  FILE *f = std::fopen(path.c_str(), "wb");
  std::string text = "BEGMF 'test';\nmfversion 1;\nBEGMFDEFAULTS;\n  colrtable 1\n\t0 0 0\n\t0 0 255\n"
                     "\t255 0 0\n\t0 255 0;\nENDMFDEFAULTS;\nBEGPIC 'test';\n" +
                     body;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

cgm_picture *read(const std::string &body) { return cgm_readtext(drawing(body).c_str()); }

// Raw file contents, no head.
cgm_picture *read_raw(const std::string &text) {
  std::string path = own_path("text_test_raw.cgm");
  FILE *f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return cgm_readtext(path.c_str());
}

int count(const cgm_picture *p) {
  int n = 0;
  for (const cgm_element *e = p->elements; e; e = e->next) n++;
  return n;
}

const cgm_element *nth(const cgm_picture *p, int i) {
  const cgm_element *e = p->elements;
  while (e && i-- > 0) e = e->next;
  return e;
}

// Twice the signed area of a triangle; positive when counter-clockwise.
int64_t area2(const int32_t *t) {
  return int64_t(t[2] - t[0]) * (t[5] - t[1]) - int64_t(t[4] - t[0]) * (t[3] - t[1]);
}

TEST(CgmText, RectBecomesAClosedFivePointPolygon) {
  cgm_picture *p = read("rect (0,0) (10,20);\nENDMF;\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ncolours, 4);
  ASSERT_EQ(count(p), 1);
  const cgm_element *e = p->elements;
  EXPECT_EQ(e->flags, CGM_OUTLINE | CGM_FILL);
  ASSERT_EQ(e->npoints, 5);
  // Box 10 x 20 around (5, 10): half the larger extent is 10.
  const int32_t pts[10] = {-32768, -65536, -32768, 65536, 32768, 65536, 32768, -65536, -32768, -65536};
  for (int i = 0; i < 10; i++) EXPECT_EQ(e->points[i], pts[i]) << i;
  ASSERT_EQ(e->ntriangles, 2);
  EXPECT_EQ(area2(e->triangles) + area2(e->triangles + 6), int64_t(65536) * 131072 * 2);
  cgm_free(p);
}

TEST(CgmText, TriangulationRunsCounterClockwise) {
  // A clockwise square is reversed first.
  cgm_picture *p = read("polygon (0,0) (0,10) (10,10) (10,0);\n");
  ASSERT_NE(p, nullptr);
  const cgm_element *e = p->elements;
  ASSERT_EQ(e->ntriangles, 2);
  for (int i = 0; i < 2; i++) EXPECT_GT(area2(e->triangles + 6 * i), 0) << i;
  EXPECT_EQ(e->points[2], -65536);  // the outline keeps the order as read
  EXPECT_EQ(e->points[3], 65536);
  cgm_free(p);

  // A concave L of six corners: four triangles covering exactly its area.
  p = read("polygon (0,0) (20,0) (20,10) (10,10) (10,20) (0,20) (0,0);\n");
  ASSERT_NE(p, nullptr);
  e = p->elements;
  EXPECT_EQ(e->npoints, 7);
  ASSERT_EQ(e->ntriangles, 4);
  int64_t sum = 0;
  for (int i = 0; i < 4; i++) {
    EXPECT_GT(area2(e->triangles + 6 * i), 0) << i;
    sum += area2(e->triangles + 6 * i);
  }
  // 300 square units of a 20-unit drawing: 3/4 of the (2 * 65536)^2 square.
  EXPECT_EQ(sum, int64_t(131072) * 131072 * 3 / 4 * 2);
  cgm_free(p);

  // All points on one line: no ear, no triangles, still a filled element.
  p = read("polygon (0,0) (5,5) (10,10) (20,20);\nline (0,0) (20,0);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elements->flags & CGM_FILL, CGM_FILL);
  EXPECT_EQ(p->elements->ntriangles, 0);
  EXPECT_EQ(p->elements->triangles, nullptr);
  cgm_free(p);
}

TEST(CgmText, DegeneratePolygonsGetNoTriangles) {
  cgm_picture *p = read("polygon (3,3) (3,3);\npolygon (0,0);\npolygon (0,0) (9,9) (0,0);\nrect (0,0) (0,0);\n");
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(count(p), 4);
  for (const cgm_element *e = p->elements; e; e = e->next) EXPECT_EQ(e->ntriangles, 0);
  EXPECT_EQ(nth(p, 3)->npoints, 5);
  cgm_free(p);
}

TEST(CgmText, InteriorStyleAndEdgeVisibilityWords) {
  cgm_picture *p = read(
      "intstyle solid;\npolygon (0,0) (1,0) (0,1);\n"        // lower case: unchanged (solid)
      "intstyle EMPTY;\npolygon (0,0) (1,0) (0,1);\n"        // empty: outline only
      "intstyle solid;\npolygon (0,0) (1,0) (0,1);\n"        // still empty
      "edgevis OFF;\nintstyle SOLID;\npolygon (0,0) (1,0) (0,1);\n"
      "edgevis X;\npolygon (0,0) (1,0) (0,1);\n"             // unchanged (off)
      "edgevis ON;\nline (0,0) (1,1);\n");
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(count(p), 6);
  const int flags[6] = {CGM_FILL | CGM_OUTLINE, CGM_OUTLINE, CGM_OUTLINE, CGM_FILL, CGM_FILL, CGM_OUTLINE};
  for (int i = 0; i < 6; i++) EXPECT_EQ(nth(p, i)->flags, flags[i]) << i;
  EXPECT_EQ(nth(p, 1)->ntriangles, 0);
  cgm_free(p);
}

TEST(CgmText, LineWidthsAndColours) {
  cgm_picture *p = read(
      "linewidth 30;\nlinecolr 2;\nfillcolr 3;\nline (0,0) (1,1);\n"
      "edgewidth 14;\nedgevis ON;\npolygon (0,0) (1,0) (0,1);\n"
      "edgewidth -31;\nbackcolr 1 2 3;\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elements->linewidth, 2);
  EXPECT_EQ(p->elements->linecolr, 2);
  EXPECT_EQ(p->elements->fillcolr, 3);
  const cgm_element *e = p->elements->next;
  EXPECT_EQ(e->linewidth, 0);
  EXPECT_EQ(e->flags, CGM_FILL);  // width 0: no outline bit, edges visible or not
  EXPECT_EQ(p->backcolr, 0x010203u);
  cgm_free(p);
}

TEST(CgmText, ColourDefinitionsReuseExistingEntries) {
  cgm_picture *p = read(
      "colrtable 7 255 0 0;\nfillcolr 7;\npolygon (0,0) (1,0) (0,1);\n"
      "colrtable 8 1 2 3;\nfillcolr 8;\npolygon (0,0) (1,0) (0,1);\n"
      "colrtable 9 1 2 3;\nlinecolr 9;\nline (0,0) (1,1);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(cgm_colrmap[7], 3);  // (255,0,0) is entry 3 already
  EXPECT_EQ(nth(p, 0)->fillcolr, 3);
  EXPECT_EQ(p->ncolours, 5);  // only (1,2,3) is new
  EXPECT_EQ(p->colrtable[5], 0x010203u);
  EXPECT_EQ(nth(p, 1)->fillcolr, 5);
  EXPECT_EQ(nth(p, 2)->linecolr, 5);
  EXPECT_EQ(p->colrtable[0], 0u);
  cgm_free(p);

  // The initial table keeps duplicates; a later definition maps to the last.
  p = read_raw("BEGMF 'd';\ncolrtable 0\n9 9 9\n9 9 9;\ncolrtable 5 9 9 9;\nfillcolr 5;\nline (0,0) (1,1);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ncolours, 2);
  EXPECT_EQ(p->elements->fillcolr, 2);
  cgm_free(p);
}

TEST(CgmText, NormalisesToHalfTheLargerExtent) {
  // 200 wide, 100 high, away from the origin and beyond +-10000.
  cgm_picture *p = read("line (20000,-15000) (20200,-14900);\nline (20100,-14950) (20100,-14950);\n");
  ASSERT_NE(p, nullptr);
  const int32_t *a = p->elements->points, *b = p->elements->next->points;
  EXPECT_EQ(a[0], -65536);
  EXPECT_EQ(a[1], -32768);
  EXPECT_EQ(a[2], 65536);
  EXPECT_EQ(a[3], 32768);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 0);
  cgm_free(p);

  // No extent at all: every point at the centre, no division by zero.
  p = read("line (7,7) (7,7);\npolygon (7,7) (7,7) (7,7) (7,7);\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elements->points[2], 0);
  EXPECT_EQ(p->elements->next->ntriangles, 0);
  cgm_free(p);
}

TEST(CgmText, LastKeywordAtEndOfFileMakesOneElement) {
  // No ENDMF and no newline: the last word is seen again at end of file,
  // which must neither repeat the rectangle nor refuse the file.
  cgm_picture *p = read("rect (0,0) (4,4);");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(count(p), 1);
  cgm_free(p);
  p = read("polygon (0,0) (4,0) (0,4);\nfillcolr 2");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(count(p), 1);
  cgm_free(p);
}

TEST(CgmText, RefusesBrokenFiles) {
  EXPECT_EQ(read_raw("BEGM 'x'; colrtable 1 0 0 0;"), nullptr);
  EXPECT_EQ(read_raw("begmf 'x'; colrtable 1 0 0 0;"), nullptr);
  EXPECT_EQ(read_raw("BEGMF 'x'; polygon (0,0) (1,0) (0,1);"), nullptr);  // no colour table
  EXPECT_EQ(read_raw("BEGMF 'x'; colrtable 1 0 0"), nullptr);
  EXPECT_EQ(cgm_readtext((test_temp_dir("cgm_test") + "/no_such_drawing.cgm").c_str()), nullptr);

  EXPECT_EQ(read("polygon (0,0) (1,0) (0,"), nullptr);        // ends inside a point
  EXPECT_EQ(read("polygon (0,0) (1,0) (0,1)"), nullptr);      // ends before ';'
  EXPECT_EQ(read("polygon (0,0) (1,0) (x,1);"), nullptr);
  EXPECT_EQ(read("rect (0,0) (1,0) (0,1);"), nullptr);
  EXPECT_EQ(read("fillcolr 100;"), nullptr);
  EXPECT_EQ(read("linecolr -1;"), nullptr);
  EXPECT_EQ(read("colrtable 100 1 2 3;"), nullptr);

  std::string many = "polygon";
  for (int i = 0; i < 500; i++) many += " (" + std::to_string(i) + "," + std::to_string(i % 7) + ")";
  cgm_picture *p = read(many + ";\n");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elements->npoints, 501);  // the outline closes back to its first point
  cgm_free(p);
  EXPECT_EQ(read(many + " (1,1);\n"), nullptr);

  std::string colours;
  for (int i = 0; i < 196; i++) colours += "colrtable 50 " + std::to_string(i) + " 7 7;\n";
  p = read(colours);  // 4 + 195 entries; the 196th definition would be the 200th entry
  EXPECT_EQ(p, nullptr);
  p = read(colours.substr(0, colours.rfind("colrtable")));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ncolours, 199);
  cgm_free(p);

  std::string table = "BEGMF 'x'; colrtable 1";
  for (int i = 0; i < 200; i++) table += " 1 1 " + std::to_string(i);
  EXPECT_EQ(read_raw(table + ";"), nullptr);
}

TEST(CgmText, LongWordsDoNotOverrun) {
  std::string word(5000, 'w');
  cgm_picture *p = read(word + " " + std::string(103, 'p') + "polygon (0,0) (1,0) (0,1);\nline (0,0) (2,2);\n");
  ASSERT_NE(p, nullptr);
  // The long run is one name, too long for any keyword: that element is
  // skipped up to its terminator, and the line after it is read.
  EXPECT_EQ(count(p), 1);
  EXPECT_EQ(p->elements->flags, CGM_OUTLINE);
  cgm_free(p);
}

}  // namespace
