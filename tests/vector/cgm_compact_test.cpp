// Compact vector pictures: decoding from memory and file, the writer, and
// the two embedded pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "common/temp_dir.h"
#include "vector/cgm.h"

namespace {

// Builds compact bytes: colours, then element records, then the terminator.
struct Compact {
  std::vector<uint8_t> b;
  explicit Compact(std::vector<uint32_t> colours) {
    b.push_back(uint8_t(colours.size()));
    for (uint32_t c : colours) b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  }
  Compact &element(int fill, std::vector<int16_t> coords) {
    b.push_back(uint8_t(fill));
    b.push_back(uint8_t(coords.size() / 6));
    for (int16_t v : coords) b.insert(b.end(), {uint8_t(uint16_t(v) >> 8), uint8_t(v)});
    return *this;
  }
  std::vector<uint8_t> done() {
    b.push_back(0xFF);
    return b;
  }
};

// Named after the running test: ctest runs tests in parallel.
std::string temp_path(const char *name) {
  return test_temp_dir("cgm_test") + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
         name;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

TEST(CgmCompact, DecodesColoursElementsAndCoordinates) {
  auto bytes = Compact({0x102030, 0xFF00FF})
                   .element(5, {100, -200, 0x7FFF, -0x8000, 0, -1})
                   .element(254, {})
                   .element(0, {1, 2, 3, 4, 5, 6, -7, -8, -9, -10, -11, -12})
                   .done();
  cgm_picture *pic = cgm_get(bytes.data());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->ncolours, 2);
  EXPECT_EQ(pic->colrtable[0], 0u);
  EXPECT_EQ(pic->colrtable[1], 0x102030u);  // the first triplet lands in entry 1
  EXPECT_EQ(pic->colrtable[2], 0xFF00FFu);
  EXPECT_EQ(pic->backcolr, 0u);

  const cgm_element *e = pic->elements;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->flags, CGM_FILL);
  EXPECT_EQ(e->fillcolr, 5);
  ASSERT_EQ(e->ntriangles, 1);
  const int32_t first[6] = {400, -800, 131068, -131072, 0, -4};
  for (int i = 0; i < 6; i++) EXPECT_EQ(e->triangles[i], first[i]) << "value " << i;

  e = e->next;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->fillcolr, 254);
  EXPECT_EQ(e->ntriangles, 0);  // an empty element does not end the list

  e = e->next;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->fillcolr, 0);
  ASSERT_EQ(e->ntriangles, 2);
  EXPECT_EQ(e->triangles[6], -28);
  EXPECT_EQ(e->triangles[11], -48);
  EXPECT_EQ(e->next, nullptr);
  cgm_free(pic);
}

TEST(CgmCompact, EmptyPictureHasNoElements) {
  auto bytes = Compact({}).done();
  cgm_picture *pic = cgm_get(bytes.data());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->ncolours, 0);
  EXPECT_EQ(pic->elements, nullptr);
  cgm_free(pic);
}

TEST(CgmCompact, RefusesTruncatedDataAndTooManyColours) {
  auto bytes = Compact({0x010203}).element(1, {1, 2, 3, 4, 5, 6}).element(2, {}).done();
  for (size_t n = 0; n < bytes.size(); n++) EXPECT_EQ(cgm_getn(bytes.data(), n), nullptr) << "length " << n;
  cgm_picture *pic = cgm_getn(bytes.data(), bytes.size());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->elements->next->fillcolr, 2);
  cgm_free(pic);

  std::vector<uint8_t> many(1 + 3 * 200 + 1, 0);
  many[0] = 200;
  many.back() = 0xFF;
  EXPECT_EQ(cgm_getn(many.data(), many.size()), nullptr);
  EXPECT_EQ(cgm_get(many.data()), nullptr);
  many.erase(many.begin() + 1, many.begin() + 4);
  many[0] = 199;
  pic = cgm_getn(many.data(), many.size());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->ncolours, 199);
  cgm_free(pic);
}

TEST(CgmCompact, FileReaderMatchesMemoryAndStopsAtEndOfFile) {
  auto bytes = Compact({0xABCDEF, 0x000001}).element(3, {-5, 6, 7, -8, 9, 10}).done();
  std::string path = temp_path("compact_test.bin");
  write_file(path, bytes);
  cgm_picture *pic = cgm_getfile(path.c_str());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->ncolours, 2);
  EXPECT_EQ(pic->colrtable[1], 0xABCDEFu);
  ASSERT_NE(pic->elements, nullptr);
  EXPECT_EQ(pic->elements->triangles[0], -20);
  EXPECT_EQ(pic->elements->triangles[5], 40);
  cgm_free(pic);

  // Without its terminator, and cut inside the triangle list.
  for (size_t cut : {bytes.size() - 1, bytes.size() - 5, size_t(3)}) {
    write_file(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
    EXPECT_EQ(cgm_getfile(path.c_str()), nullptr) << "cut at " << cut;
  }
  EXPECT_EQ(cgm_getfile((path + ".missing").c_str()), nullptr);
}

TEST(CgmCompact, WriterReproducesTheBytesItReads) {
  auto bytes = Compact({0x112233, 0x445566, 0x778899})
                   .element(7, {-32768, 32767, 0, -1, 1, 16384})
                   .element(9, {})
                   .element(200, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120})
                   .done();
  cgm_picture *pic = cgm_get(bytes.data());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(cgm_put(pic, nullptr, 0), bytes.size());  // measuring writes nothing
  std::vector<uint8_t> out(bytes.size());
  ASSERT_EQ(cgm_put(pic, out.data(), out.size()), bytes.size());
  EXPECT_EQ(out, bytes);

  // Rounds to the nearest stored value; refuses what 16 bits cannot hold.
  pic->elements->triangles[1] = 6;  // 1.5 stored units round up to 2
  pic->elements->triangles[2] = -7; // -1.75 rounds to -2
  ASSERT_EQ(cgm_put(pic, out.data(), out.size()), bytes.size());
  EXPECT_EQ(out[1 + 9 + 2 + 2], 0x00);
  EXPECT_EQ(out[1 + 9 + 2 + 3], 0x02);
  EXPECT_EQ(out[1 + 9 + 2 + 4], 0xFF);
  EXPECT_EQ(out[1 + 9 + 2 + 5], 0xFE);
  pic->elements->triangles[0] = 131070;
  EXPECT_EQ(cgm_put(pic, out.data(), out.size()), 0u);
  pic->elements->triangles[0] = 0;
  pic->elements->fillcolr = 0x1FF;  // its low byte would read as the terminator
  EXPECT_EQ(cgm_put(pic, out.data(), out.size()), 0u);
  cgm_free(pic);
}

// The worms' pieces: a dark edge drawn first at full size, then lit
// elements inside it (fills are palette indices, brightness in the grey
// palettes).
TEST(CgmCompact, EmbeddedPieces) {
  cgm_picture *p1 = cgm_get(piece1);
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(p1->ncolours, 6);
  const cgm_element *rim = p1->elements;
  ASSERT_NE(rim, nullptr);
  EXPECT_LE(rim->fillcolr, 10);
  ASSERT_EQ(rim->ntriangles, 6);
  const int32_t first[6] = {45196, -47460, 65536, -1608, 47456, 45196};
  for (int i = 0; i < 6; i++) EXPECT_EQ(rim->triangles[i], first[i]);
  // The rim is a regular octagon of radius 65536: every corner within 1%
  // of it; everything drawn after it lies inside it, and gets brighter.
  for (int i = 0; i < 18; i++) {
    double x = rim->triangles[2 * i], y = rim->triangles[2 * i + 1];
    EXPECT_NEAR(x * x + y * y, 65536.0 * 65536.0, 0.02 * 65536.0 * 65536.0);
  }
  int elements = 1, prev_fill = rim->fillcolr;
  for (const cgm_element *e = rim->next; e; e = e->next, elements++) {
    EXPECT_GT(e->fillcolr, prev_fill);
    prev_fill = e->fillcolr;
    for (int i = 0; i < 3 * e->ntriangles; i++) {
      double x = e->triangles[2 * i], y = e->triangles[2 * i + 1];
      EXPECT_LT(x * x + y * y, 0.9 * 65536.0 * 65536.0);
    }
  }
  EXPECT_EQ(elements, 4);
  EXPECT_GE(rim->next->fillcolr, 120);  // the body is lit

  cgm_picture *p2 = cgm_get(piece2);
  ASSERT_NE(p2, nullptr);
  EXPECT_EQ(p2->ncolours, 10);
  int n = 0, dark = 0, lit = 0;
  int minx = 1 << 30, maxx = -minx, miny = minx, maxy = -minx;
  for (const cgm_element *e = p2->elements; e; e = e->next, n++) {
    dark += e->fillcolr <= 10;
    lit += e->fillcolr >= 120;
    for (int i = 0; i < 3 * e->ntriangles; i++) {
      minx = std::min(minx, e->triangles[2 * i]), maxx = std::max(maxx, e->triangles[2 * i]);
      miny = std::min(miny, e->triangles[2 * i + 1]), maxy = std::max(maxy, e->triangles[2 * i + 1]);
    }
  }
  EXPECT_EQ(n, 5);
  EXPECT_GE(dark, 1);
  EXPECT_GE(lit, 1);
  EXPECT_EQ(miny, -65536);
  EXPECT_EQ(maxy, 65536);
  EXPECT_NEAR(minx / 4, -9450, 10);
  EXPECT_NEAR(maxx / 4, 9455, 10);
  cgm_free(p1);
  cgm_free(p2);
}

// Shared corners: the worms' pieces drawn with each distinct point
// transformed once give the frames of every corner transformed, across
// placements that cut them at every side of the frame and sizes that take
// the small and the wide triangle paths, with one transform call per
// distinct point.
int place_x, place_y, place_scale, place_calls;
void placed(int x, int y, int *X, int *Y) {
  place_calls++;
  *X = place_x + int(int64_t(x) * place_scale >> 16);
  *Y = place_y - int(int64_t(y) * place_scale >> 16);
}

TEST(CgmCompact, SharedCornersDrawTheSameFrames) {
  for (const uint8_t *piece : {piece1, piece2}) {
    cgm_picture *plain = cgm_get(piece), *shared = cgm_get(piece);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(shared, nullptr);
    cgm_share_corners(shared);
    int corners = 0, distinct = 0;
    for (const cgm_element *e = shared->elements; e; e = e->next) {
      ASSERT_NE(e->corners, nullptr);
      for (int k = 0; k < 3 * e->ntriangles; k++) {
        const int j = e->corners[k];
        ASSERT_LE(j, k);
        EXPECT_EQ(e->triangles[2 * j], e->triangles[2 * k]);
        EXPECT_EQ(e->triangles[2 * j + 1], e->triangles[2 * k + 1]);
        distinct += j == k;
      }
      corners += 3 * e->ntriangles;
    }
    EXPECT_LT(distinct, corners);
    std::vector<uint8_t> a(64000), b(64000);
    int differ = 0;
    for (int i = 0; i < 4000; i++) {
      place_x = (i * 7919) % 1500 - 100, place_y = (i * 104729) % 1000 - 100;
      place_scale = 2000 + (i * 31) % 60000;
      if (i % 4 == 0) place_scale *= 2;  // corners beyond the small triangles' range too
      std::fill(a.begin(), a.end(), 0);
      std::fill(b.begin(), b.end(), 0);
      place_calls = 0;
      cgm_render(plain, a.data(), placed);
      EXPECT_EQ(place_calls, corners);
      place_calls = 0;
      cgm_render(shared, b.data(), placed);
      EXPECT_EQ(place_calls, distinct);
      differ += a != b;
    }
    EXPECT_EQ(differ, 0);
    cgm_free(plain);
    cgm_free(shared);
  }
}

}  // namespace
