// The driver's scenes on their own: texture mapping arithmetic on small
// known maps, picture placement on the real assets, the depth colour tables.
#include <algorithm>
#include <cmath>

#include "fx/scene_pixels.h"
#include "timeline/startup.h"

namespace {

using tl::Frame;
using tl::Timeline;

constexpr uint16_t UNCOVERED = 0xFFFF;

// A map with every 7th pixel uncovered and the rest walking the texture.
std::vector<uint16_t> walk_map(uint32_t first) {
  std::vector<uint16_t> uv(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) uv[i] = i % 7 == 3 ? UNCOVERED : uint16_t((first + uint32_t(i) * 37) % 0xFFFF);
  return uv;
}

std::vector<uint8_t> ramp_image() {
  std::vector<uint8_t> img(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) img[i] = uint8_t(255 - (i * 13) % 256);
  return img;
}

int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

TEST_F(Timeline, SkullDividesExactlyForEveryDepthFactor) {
  const auto uv = walk_map(11);
  const auto img = ramp_image();
  // Texture fully shown (20 s in): T = kiehkura, S = 256 * (now / 20),
  // D = (int)(sin(now * 0.02) * 70 + 100), v = T * img / D + img >> 2.
  // One period of the sine (314 ms) sweeps D over 30..169.
  int checked_d = 0, d_min = 1000, d_max = 0;
  for (int32_t now = 20000; now < 20000 + 320; now += 3) {
    const int D = int(std::sin(now * 0.02) * 70 + 100);
    d_min = std::min(d_min, D);
    d_max = std::max(d_max, D);
    uv_skull(img.data(), uv.data(), now, 0);
    const uint32_t S = uint32_t(256 * (now / 20));
    for (int i = 0; i < FRAME_BYTES; i++) {
      const int want =
          uv[i] == UNCOVERED ? 0 : clamp255(kiehkura[(S + uv[i]) & 0xFFFF] * img[i] / D + (img[i] >> 2));
      ASSERT_EQ(vbuf[i], want) << "now " << now << " D " << D << " pixel " << i;
    }
    checked_d++;
  }
  EXPECT_GT(checked_d, 100);
  EXPECT_EQ(d_min, 30);
  EXPECT_GE(d_max, 168);
}

TEST_F(Timeline, SkullTextureGrowsUpFromItsBottomRowAfter240Ms) {
  const auto img = std::vector<uint8_t>(FRAME_BYTES, 255);
  const int32_t start = 1000;
  // Point every covered pixel at texture row 255 for the frame at 240 ms.
  const int32_t now = start + 240;
  const uint32_t S = uint32_t(256 * (now / 20));
  std::vector<uint16_t> uv(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) uv[i] = i % 5 == 0 ? UNCOVERED : uint16_t((0xFF00 + i % 256 - S) & 0xFFFF);
  const int D = int(std::sin(now * 0.02) * 70 + 100);

  uv_skull(img.data(), uv.data(), now - 1, start);  // 239 ms: nothing shown
  // S is the same at now - 1 only if (now - 1) / 20 == now / 20; it is not
  // here, but the texture is all 0 anyway.
  for (int i = 0; i < FRAME_BYTES; i++) ASSERT_EQ(vbuf[i], i % 5 == 0 ? 0 : 255 >> 2) << i;

  uv_skull(img.data(), uv.data(), now, start);  // row 255 revealed
  int lit = 0;
  for (int i = 0; i < FRAME_BYTES; i++) {
    const int want = i % 5 == 0 ? 0 : clamp255(kiehkura[0xFF00 + i % 256] * 255 / D + 63);
    ASSERT_EQ(vbuf[i], want) << i;
    lit += want > 63;
  }
  EXPECT_GT(lit, 1000);
  // Row 254 waits for the next 40 ms.
  for (int i = 0; i < FRAME_BYTES; i++) uv[i] = i % 5 == 0 ? UNCOVERED : uint16_t((0xFE00 + i % 256 - S) & 0xFFFF);
  uv_skull(img.data(), uv.data(), now, start);
  for (int i = 0; i < FRAME_BYTES; i++) ASSERT_EQ(vbuf[i], i % 5 == 0 ? 0 : 63) << i;
}

TEST_F(Timeline, GargoyleLayersAtTimeZero) {
  // now = 0: A = B = 0, c1 = c2 = 120.
  const auto uv = walk_map(5);
  const auto img = ramp_image();
  uv_gargoyle(img.data(), uv.data(), 0);
  int clamped = 0;
  for (int i = 0; i < FRAME_BYTES; i++) {
    if (uv[i] == UNCOVERED) {
      ASSERT_EQ(vbuf[i], 0) << i;
      continue;
    }
    const int v = ((kiehkura[~uint32_t(uv[i]) & 0xFFFF] * 120) >> 8) - ((kiehkura[uv[i]] * 120) >> 8) + (img[i] >> 1);
    clamped += v < 0;
    ASSERT_EQ(vbuf[i], clamp255(v)) << i;
  }
  EXPECT_GT(clamped, 0);
}

TEST_F(Timeline, UncoveredPixelsStayBlackOverABrightPicture) {
  const std::vector<uint8_t> white(FRAME_BYTES, 255);
  const std::vector<uint16_t> none(FRAME_BYTES, UNCOVERED);
  for (int32_t now : {0, 12345, 99999}) {
    std::memset(vbuf, 0x77, FRAME_BYTES);
    uv_skull(white.data(), none.data(), now, 0);
    EXPECT_TRUE(tl::all_zero(vbuf));
    std::memset(vbuf, 0x77, FRAME_BYTES);
    uv_gargoyle(white.data(), none.data(), now);
    EXPECT_TRUE(tl::all_zero(vbuf));
  }
}

TEST_F(Timeline, ChurchAnimationLoopsEvery29Frames) {
  const uint16_t *uv = tl::uv_map(kirkkotc);
  auto expect_frame = [&](int32_t now, int f) {
    uv_church(now);
    const int c1 = int(std::sin(now * (1.0 / 150)) * 84 + 120);
    int covered = 0;
    for (int i = 0; i < FRAME_BYTES; i++) {
      const int want = uv[i] == UNCOVERED ? 0 : clamp255(((dracula[65536 * f + uv[i]] * c1) >> 6) + (kirkko[i] >> 1));
      ASSERT_EQ(vbuf[i], want) << "now " << now << " pixel " << i;
      covered += uv[i] != UNCOVERED;
    }
    EXPECT_GT(covered, 10000);
  };
  expect_frame(2900, 0);
  expect_frame(2899, 28);
  expect_frame(150, 1);
  // Frame 0 and frame 1 really differ where the map points.
  uv_church(2900);
  const Frame f0 = tl::snapshot(vbuf);
  uv_church(3000);
  EXPECT_NE(tl::snapshot(vbuf), f0);
}

TEST_F(Timeline, GreetingsReadTexelZeroBeforeTheTallTexture) {
  // First frame: e = 0, so P2 = 256 * (-10) + (int)(20 * sin(now * 0.002) + 0.2)
  // falls before the texture for every small u.
  const int32_t now = 200000;
  uv_greets(2500, now, now);
  const uint16_t *uv = tl::uv_map(kirkkotc);
  const int32_t P1 = int(30 * std::sin(now * 0.002));
  const int c1 = int(std::sin(now * (1.0 / 150)) * 84 + 120), c2 = int(std::sin(now * (1.0 / 130)) * 84 + 120);
  const int32_t P2 = -2560 + int(20 * std::sin(now * 0.002) + 0.2);
  int shadowless = 0;
  for (int i = 0; i < FRAME_BYTES; i++) {
    if (uv[i] == UNCOVERED) {
      ASSERT_EQ(vbuf[i], 0);
      continue;
    }
    const int32_t a = P1 + uv[i], b = P2 + uv[i];
    const int t1 = a < 0 ? 0 : greets[a], t2 = b < 0 ? 0 : greets[b];
    shadowless += b < 0;
    ASSERT_EQ(vbuf[i], clamp255(((t1 * c1) >> 7) + (kirkko[i] >> 1) - ((t2 * c2) >> 9))) << i;
  }
  EXPECT_GT(shadowless, 0);
}

// greets_span against the formula, one pixel at a time, over random maps
// and pictures with runs of uncovered entries: offsets at both ends of the
// fast range, inside the lead, one past it, and past the top; factors at
// the ends of what the clamp table holds and beyond; spans the fast path
// cannot take (a count not a multiple of 8, a misaligned map). The bytes
// after the span stay as they were.
TEST(GreetsSpan, EqualsTheFormulaOverEveryPath) {
  constexpr int N = 65536 + 3000, COUNT = 8192, GUARD = 16;
  std::vector<uint8_t> tex(N), lead(GREETS_LEAD + 65536, 0), img(COUNT);
  std::vector<uint16_t> uv(COUNT + 2);
  std::vector<uint8_t> dst(COUNT + 4 + GUARD);
  uint32_t state = 1;
  auto draw = [&state]() { return (state = state * 1664525u + 1013904223u) >> 8; };
  for (auto &t : tex) t = uint8_t(draw());
  std::memcpy(lead.data() + GREETS_LEAD, tex.data(), 65536);
  const int32_t offsets[] = {0, 1, N - 65536, N - 65535, -1, -255, -GREETS_LEAD, -GREETS_LEAD - 1, 1 << 20};
  const int factors[][2] = {{36, 204}, {204, 36}, {0, 0}, {255, 255}, {257, 257}, {258, 100}, {100, 259}, {-3, 90}};
  int cases = 0;
  for (int round = 0; round < 3; round++)
    for (int32_t P1 : offsets)
      for (int32_t P2 : offsets)
        for (const auto &c : factors) {
          for (int i = 0; i < COUNT + 2; i++) {
            const uint32_t r = draw();
            uv[i] = r % 23 < 3 ? UNCOVERED : r % 17 == 0 ? uint16_t(r % 2 ? 0 : 0xFFFE) : uint16_t(r);
          }
          for (auto &p : img) p = uint8_t(draw());
          greets_pixels f;
          greets_frame(f, tex.data(), N, P1, P2, c[0], c[1]);
          const bool odd = (cases & 3) == 3;  // a shorter span, from a misaligned map entry
          const int count = odd ? COUNT - 5 : COUNT;
          const uint16_t *map = uv.data() + (odd ? 1 : 0);
          std::memset(dst.data(), 0xA5, dst.size());
          greets_span(f, cases % 5 == 4 ? nullptr : lead.data(), map, img.data(), dst.data(), count);
          for (int i = 0; i < count; i++)
            ASSERT_EQ(dst[i], map[i] == UNCOVERED ? 0 : greets_pixel(f, map[i], img[i]))
                << "P1 " << P1 << " P2 " << P2 << " c " << c[0] << "," << c[1] << " pixel " << i;
          for (size_t i = count; i < dst.size(); i++) ASSERT_EQ(dst[i], 0xA5) << "after the span, " << i;
          cases++;
        }
  EXPECT_EQ(cases, 3 * 9 * 9 * 8);
}

TEST_F(Timeline, StripScrollsOneColumnPer40MsAndWrapsAt512) {
  std::vector<uint8_t> strip(80 * 512);
  for (int r = 0; r < 80; r++)
    for (int c = 0; c < 512; c++) strip[r * 512 + c] = uint8_t(1 + (c * 3 + r * 5) % 250);
  auto expect_columns = [&](int32_t now, auto column_of) {
    std::memset(vbuf, 0x55, FRAME_BYTES);
    strip_scroll(strip.data(), now);
    for (int y = 0; y < FRAME_H; y++)
      for (int x = 0; x < FRAME_W; x++) {
        const uint8_t want = y >= 80 && y < 160 ? strip[(y - 80) * 512 + column_of(x)] : 0;
        ASSERT_EQ(vbuf[y * FRAME_W + x], want) << "now " << now << " at " << x << "," << y;
      }
  };
  expect_columns(0, [](int x) { return x; });
  expect_columns(39, [](int x) { return x; });
  // 200 columns on: 200..511, then 0..7.
  expect_columns(8000, [](int x) { return x < 312 ? x + 200 : x - 312; });
  expect_columns(40 * 512 + 40, [](int x) { return x + 1; });
}

TEST_F(Timeline, PanoramaWindowRunsOnIntoTheNextRowUnderItsMask) {
  std::memset(vbuf, 0xAB, FRAME_BYTES);
  panorama_masked(799 * 20);  // c = 799, m0 = 798
  for (int y = 0; y < 199; y++) {
    ASSERT_EQ(vbuf[y * FRAME_W], mask_pixel(takamehta[800 * y + 799], etumehta[800 * y + 798])) << y;
    ASSERT_EQ(vbuf[y * FRAME_W + 2], mask_pixel(takamehta[800 * (y + 1) + 1], etumehta[800 * (y + 1)])) << y;
    for (int x = 1; x < FRAME_W; x++)
      ASSERT_EQ(vbuf[y * FRAME_W + x], mask_pixel(takamehta[800 * (y + 1) + x - 1], etumehta[800 * y + 798 + x]))
          << x << "," << y;
  }
  for (int x = 0; x < FRAME_W; x++) ASSERT_EQ(vbuf[199 * FRAME_W + x], 0);  // row 199 is black
  panorama_masked(800 * 20 + 9);  // c and m0 wrap to 0
  for (int y = 0; y < 199; y++)
    for (int x = 0; x < FRAME_W; x++)
      ASSERT_EQ(vbuf[y * FRAME_W + x], mask_pixel(takamehta[800 * y + x], etumehta[800 * y + x])) << x << "," << y;
}

TEST_F(Timeline, MaskScalesByM256ButKeeps255) {
  // At now = 0 pixel (x, y) is takamehta[800 y + x] under etumehta[800 y + x].
  panorama_masked(0);
  int kept = 0, halved = 0, cleared = 0, scaled = 0;
  for (int y = 0; y < 199; y++)
    for (int x = 0; x < FRAME_W; x++) {
      const int m = etumehta[800 * y + x], p = takamehta[800 * y + x];
      const int got = vbuf[y * FRAME_W + x];
      if (m == 255) {
        ASSERT_EQ(got, p);
        kept++;
      } else if (m == 128) {
        ASSERT_EQ(got, p >> 1);  // the fraction dropped
        halved++;
      } else {
        ASSERT_EQ(got, (m * p) >> 8) << x << "," << y;
        (m == 0 ? cleared : scaled)++;
      }
    }
  // The mask's art holds every kind of byte at this offset.
  EXPECT_GT(kept, 0);
  EXPECT_GT(halved, 0);
  EXPECT_GT(cleared, 0);
  EXPECT_GT(scaled, 0);
}

TEST_F(Timeline, OverlayTreats255AsTransparentAndWritesZero) {
  std::vector<uint8_t> out(FRAME_BYTES, 77);
  overlay_rosic(out.data());
  int clear = 0, zero = 0;
  for (int i = 0; i < FRAME_BYTES; i++) {
    ASSERT_EQ(out[i], rosic[i] == 255 ? 77 : rosic[i]);
    clear += rosic[i] == 255;
    zero += rosic[i] == 0;
  }
  EXPECT_GT(clear, 0);
  EXPECT_LT(clear, FRAME_BYTES);
  EXPECT_GT(zero, 0);
}

Frame depth_table() { return Frame(auxbuf, auxbuf + 256); }

TEST_F(Timeline, SpinningModelsDepthTables) {
  spin_models(899, 50000);
  EXPECT_EQ(depth_table(), Frame(256, 0));
  spin_models(900, 50001);
  EXPECT_EQ(depth_table(), Frame(256, 255));
  spin_models(999, 60000);
  EXPECT_EQ(depth_table(), Frame(256, 255));
  // From 1000 a function of now alone: bands 12 entries wide every 192,
  // sliding up one entry every 10 ms.
  spin_models(1000, 70000);
  const Frame t = depth_table();
  spin_models(1099, 70000);
  EXPECT_EQ(depth_table(), t);
  spin_models(1050, 70009);
  EXPECT_EQ(depth_table(), t);
  int lit = 0;
  for (int j = 0; j < 256; j++) {
    ASSERT_TRUE(t[j] == 0 || t[j] == 255);
    lit += t[j] == 255;
    if (j >= 192) {
      EXPECT_EQ(t[j - 192], t[j]) << j;
    }
  }
  EXPECT_GE(lit, 12);
  EXPECT_LE(lit, 24);
  spin_models(1000, 70010);
  const Frame later = depth_table();
  for (int j = 1; j < 256; j++) ASSERT_EQ(later[j], t[j - 1]) << j;
}

TEST_F(Timeline, LetterWaveFirstFrame) {
  // e = 0: phase 0, scale 1/30, letter i raised by cos(i / 3) * 140 / 30 - 0.1
  // (4.57 units for letter 0, 1.0 for letter 4). The higher letters leave the
  // top of the picture, so the left of the frame is the background alone.
  const int32_t now = 80000;
  draw_scene(1800, now);
  EXPECT_EQ(letters_start, now);
  Frame bg(drose, drose + FRAME_BYTES);
  overlay_rosic(bg.data());
  const Frame first = tl::snapshot(vbuf);
  // Table of the letter wave: index 240 on entries with (j >> 2) & 15 == 0.
  for (int j = 0; j < 256; j++) ASSERT_EQ(auxbuf[j], ((j >> 2) & 15) == 0 ? 240 : 0) << j;

  // Rows where each column first differs from the background.
  auto top_of_letters = [&](const Frame &f, int x0, int x1) {
    for (int y = 0; y < FRAME_H; y++)
      for (int x = x0; x < x1; x++)
        if (f[y * FRAME_W + x] != bg[y * FRAME_W + x]) return y;
    return FRAME_H;
  };
  // Letter 4 (x = 2.6, screen column about 280) sits 1.0 unit up, letter 3
  // (x = 1.2, about 215) 2.4 units up: higher on screen.
  const int top4 = top_of_letters(first, 255, 320), top3 = top_of_letters(first, 195, 240);
  EXPECT_LT(top4, FRAME_H);
  EXPECT_LT(top3, top4);
  // A minute in the wave has calmed (scale about 1/7000): every letter sits
  // near the middle, letter 0 included.
  draw_scene(1900, now + 60000);
  const Frame calm = tl::snapshot(vbuf);
  const int calm0 = top_of_letters(calm, 30, 90);
  EXPECT_GT(calm0, 40);
  EXPECT_LT(calm0, 100);
  // On the first frame letter 0, 4.57 units up, is above the picture.
  EXPECT_EQ(top_of_letters(first, 30, 90), FRAME_H);
}

}  // namespace
