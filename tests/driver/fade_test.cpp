// Palette fades, the fixed palettes and the presentation of a frame.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"

namespace {

// A 565 surface stands in for the window: only its pixel format is read.
class Fades : public ::testing::Test {
 protected:
  void SetUp() override {
    scr = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(scr, nullptr);
    demo_reset();
    map_palette(pal_black);
  }
  void TearDown() override {
    SDL_FreeSurface(scr);
    scr = nullptr;
  }
  static uint16_t rgb(int r, int g, int b) { return uint16_t(SDL_MapRGB(scr->format, r, g, b)); }
  static bool shows(const uint8_t *pal) {
    for (int k = 0; k < 256; k++)
      if (pixtab[k] != rgb(pal[3 * k], pal[3 * k + 1], pal[3 * k + 2])) return false;
    return true;
  }
};

TEST_F(Fades, FirstFadeStartsFromBlackAndEndsOnGrey) {
  run_fades(31, 900);
  EXPECT_TRUE(shows(pal_black));
  EXPECT_EQ(fades[0].state, -1);
  run_fades(32, 1000);  // e = 0 reproduces `from`
  EXPECT_EQ(fades[0].state, 1000);
  EXPECT_TRUE(shows(pal_black));
  run_fades(33, 1250);  // halfway: (250 * 254) / 500 = 127 for index 255
  EXPECT_EQ(workpal[765], 127);
  EXPECT_EQ(pixtab[255], rgb(127, 127, 127));
  run_fades(34, 1499);
  EXPECT_EQ(workpal[765], 253);  // 1 * 0 / 500 + 499 * 254 / 500 truncates
  run_fades(35, 1500);  // the frame in which it ends shows `to` exactly
  EXPECT_TRUE(shows(pal_grey));
  EXPECT_EQ(fades[0].state, -2);
  // Finished and no other fade running: pixtab stays as it is.
  std::memset(pixtab, 0x5A, sizeof pixtab);
  run_fades(40, 5000);
  EXPECT_EQ(pixtab[17], 0x5A5A);
}

TEST_F(Fades, InterpolationTruncatesEachTermOnItsOwn) {
  // Record 1 fades grey to red over 2000 ms; at e = 1 the red curve's
  // index 255 is 254 * 1999 / 2000 + 255 * 1 / 2000 = 253 + 0.
  run_fades(100, 0);
  run_fades(100, 1);
  EXPECT_EQ(workpal[765], 253);
  EXPECT_EQ(workpal[766], 253);
}

TEST_F(Fades, LaterRecordWinsWhenFadesOverlap) {
  // 332 starts sepia -> bright (200 ms); 334 starts bright -> sepia later in
  // the table: on its first frame it shows pal_bright exactly.
  run_fades(332, 0);
  EXPECT_EQ(fades[8].state, 0);
  run_fades(334, 50);
  EXPECT_EQ(fades[9].state, 50);
  EXPECT_TRUE(shows(pal_bright));
}

TEST_F(Fades, WhiteToWhiteHoldsWhiteOverARunningFade) {
  run_fades(634, 0);  // record 21: white -> sepia over 500 ms
  run_fades(662, 100);
  EXPECT_TRUE(shows(pal_white));
  run_fades(662, 299);
  EXPECT_TRUE(shows(pal_white));
  run_fades(663, 300);  // record 22 ends: maps white and finishes
  EXPECT_TRUE(shows(pal_white));
  EXPECT_EQ(fades[22].state, -2);
  run_fades(663, 350);  // record 21 alone again, 350 ms into white -> sepia
  EXPECT_FALSE(shows(pal_white));
  EXPECT_EQ(pixtab[0], rgb(76, 76, 76));  // 255 * 150 / 500 + 0
}

TEST_F(Fades, ScheduleHasFiftyNineRecordsAndATerminator) {
  int n = 0;
  while (fade_table[n].from) {
    EXPECT_GE(fade_table[n].duration, 70) << n;
    EXPECT_EQ(fade_table[n].state, -1);
    n++;
  }
  EXPECT_EQ(n, 59);
  EXPECT_EQ(fade_table[58].start, 2920);
  EXPECT_EQ(fade_table[58].to, pal_black);
}

TEST(Palettes, OneBlockInOrderAndBlackIsZero) {
  const uint8_t *const order[] = {pal_blue, pal_bright, pal_grey, pal_green, pal_red, pal_white, pal_sepia};
  const uintptr_t base = reinterpret_cast<uintptr_t>(pal_blue);
  for (int i = 0; i < 7; i++) EXPECT_EQ(reinterpret_cast<uintptr_t>(order[i]), base + 768u * i) << i;
  for (int i = 0; i < 768; i++) ASSERT_EQ(pal_black[i], 0);
}

TEST(Palettes, ChannelsHitTheirControlValuesAndRiseMonotonically) {
  const int knots[10] = {0, 16, 32, 64, 96, 128, 160, 192, 224, 255};
  const int ramp = -1, white = -2;
  struct Want {
    const uint8_t *pal;
    int ch;
    int kind;  // ramp, white or 0 for a curve
    int v[10];
  };
  const Want wants[] = {
      {pal_blue, 0, ramp, {}},
      {pal_blue, 1, ramp, {}},
      {pal_blue, 2, 0, {0, 40, 78, 122, 136, 146, 165, 193, 224, 255}},
      {pal_bright, 0, 0, {0, 85, 149, 204, 223, 233, 240, 245, 250, 255}},
      {pal_bright, 1, 0, {0, 85, 149, 204, 223, 233, 240, 245, 250, 255}},
      {pal_bright, 2, 0, {0, 85, 149, 204, 223, 233, 240, 245, 250, 255}},
      {pal_grey, 0, ramp, {}},
      {pal_grey, 1, ramp, {}},
      {pal_grey, 2, ramp, {}},
      {pal_green, 0, ramp, {}},
      {pal_green, 1, 0, {0, 23, 47, 85, 112, 135, 161, 191, 223, 254}},
      {pal_green, 2, ramp, {}},
      {pal_red, 0, 0, {0, 29, 58, 101, 128, 150, 170, 194, 223, 255}},
      {pal_red, 1, ramp, {}},
      {pal_red, 2, ramp, {}},
      {pal_white, 0, white, {}},
      {pal_white, 1, white, {}},
      {pal_white, 2, white, {}},
      {pal_sepia, 0, ramp, {}},
      {pal_sepia, 1, 0, {0, 9, 18, 39, 69, 108, 149, 188, 222, 254}},
      {pal_sepia, 2, 0, {0, 4, 8, 18, 39, 85, 142, 187, 223, 254}},
  };
  for (const Want &w : wants) {
    SCOPED_TRACE(testing::Message() << "palette " << (w.pal - pal_blue) / 768 << " channel " << w.ch);
    for (int k = 0; k < 256; k++) {
      const int v = w.pal[3 * k + w.ch];
      if (w.kind == ramp) {
        ASSERT_EQ(v, k == 0 ? 0 : k - 1) << k;
      } else if (w.kind == white) {
        ASSERT_EQ(v, 255) << k;
      } else if (k > 0) {
        ASSERT_GE(v, w.pal[3 * (k - 1) + w.ch]) << k;
      }
    }
    if (w.kind == 0) {
      for (int i = 0; i < 10; i++) EXPECT_EQ(w.pal[3 * knots[i] + w.ch], w.v[i]) << knots[i];
    }
  }
}

// Every byte value in each palette: from[i] = i mod 256, to[i] = 255 - that.
// One fade record from `from` to `to` over `d` ms, started at time 0 and
// run at every elapsed time `e` listed, against the plain arithmetic.
int interpolation_mismatches(int32_t d, const std::vector<int32_t> &times) {
  static uint8_t from[768], to[768];
  for (int i = 0; i < 768; i++) from[i] = uint8_t(i), to[i] = uint8_t(255 - i % 256);
  int bad = 0;
  for (int32_t e : times) {
    fades[0] = {0, d, from, to, 0};
    fades[1] = {0, 0, nullptr, nullptr, -1};
    run_fades(0, e);
    for (int i = 0; i < 768; i++)
      if (workpal[i] != uint8_t((d - e) * from[i] / d + e * to[i] / d)) bad++;
  }
  return bad;
}

TEST_F(Fades, InterpolationMatchesThePlainDivisionsAtEveryStepOfEveryDuration) {
  for (int32_t d : {70, 100, 200, 300, 500, 800, 1000, 1500, 2000, 4000, 6000, 7000}) {
    std::vector<int32_t> times;
    for (int32_t e = 0; e < d; e++) times.push_back(e);
    EXPECT_EQ(interpolation_mismatches(d, times), 0) << d;
  }
  uint32_t r = 5;  // durations up to 2^23 with their ends and random steps
  for (int i = 0; i < 3000; i++) {
    r = r * 1664525u + 1013904223u;
    const int32_t d = int32_t(1 + (r >> 9));
    r = r * 1664525u + 1013904223u;
    EXPECT_EQ(interpolation_mismatches(d, {0, d - 1, int32_t(uint64_t(r) * uint32_t(d) >> 32)}), 0) << d;
  }
}

// Presentation into a surface-like buffer with guard rows: rows 0-19 and
// 220-239 are never written, whatever the pitch. `skew` bytes before the
// surface make it start off a word boundary.
void check_present(int pitch, int skew = 0) {
  std::vector<uint8_t> buffer(size_t(pitch) * 240 + 4, 0xAB);
  uint8_t *pixels = buffer.data() + skew;
  std::vector<uint8_t> frame(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) frame[i] = uint8_t(i * 7 + i / 320);
  for (int k = 0; k < 256; k++) pixtab[k] = uint16_t(0x1000 + k * 3);
  convert_frame(frame.data(), pixels, pitch);
  for (int y = 0; y < 240; y++)
    for (int b = 0; b < pitch; b++) {
      const uint8_t got = pixels[size_t(y) * pitch + b];
      if (y < 20 || y >= 220 || b >= 640) {
        ASSERT_EQ(got, 0xAB) << "row " << y << " byte " << b;
      } else {
        uint16_t want = pixtab[frame[(y - 20) * 320 + b / 2]];
        ASSERT_EQ(got, b % 2 ? want >> 8 : want & 0xFF) << "row " << y << " byte " << b;
      }
    }
}

TEST(Present, FillsRows20To219Only) { check_present(640); }
TEST(Present, UsesTheSurfacePitch) { check_present(704); }
TEST(Present, SurfacesOffWordBoundariesTakeHalfwordStores) {
  check_present(642);
  check_present(640, 2);
}

}  // namespace
