// Scene selection, flicker-outs, the halftone phase and the end frame,
// through draw_scene with the real embedded assets.
#include "fx/halftone.h"
#include "fx/writer.h"
#include "timeline/startup.h"

namespace {

using tl::Frame;
using tl::Timeline;

// The skull before its texture shows: covered pixels are img >> 2.
Frame dim_skull() {
  Frame f(FRAME_BYTES);
  const uint16_t *uv = tl::uv_map(skulletc);
  for (int i = 0; i < FRAME_BYTES; i++) f[i] = uv[i] == 0xFFFF ? 0 : uint8_t(skulle[i] >> 2);
  return f;
}

// The script's scenes cover every position from 0 on, one after another,
// and every switch lies inside the scene it changes.
TEST(Script, ScenesFollowOneAnotherAndSwitchesLieInTheirScenes) {
  EXPECT_EQ(scene_table[SCENE_INTRO].first, 0);
  for (int i = 1; i < SCENES; i++) EXPECT_EQ(scene_table[i].first, scene_table[i - 1].last + 1) << i;
  EXPECT_EQ(scene_table[SCENE_END].first, 3000);
  EXPECT_EQ(scene_table[SCENE_END].last, INT32_MAX);
  const std::pair<int32_t, scene_id> switches[] = {
      {SKULL_ALTERNATE, SCENE_SKULL},     {SKULL_FLICKER, SCENE_SKULL},       {SPIN_SOLID, SCENE_SPINNING},
      {SPIN_BANDS, SCENE_SPINNING},       {GARGOYLE_SECOND, SCENE_GARGOYLE}, {GARGOYLE_FLICKER, SCENE_GARGOYLE},
      {PORTRAIT_DORL, SCENE_PORTRAITS},   {PORTRAIT_VESK, SCENE_PORTRAITS}};
  for (const auto &[pos, scene] : switches) EXPECT_EQ(scene_of(pos), scene) << pos;
  // A flicker-out runs its 16 rows before the scene ends.
  EXPECT_LE(SKULL_FLICKER + 16, scene_table[SCENE_SKULL].last);
  EXPECT_LE(GARGOYLE_FLICKER + 16, scene_table[SCENE_GARGOYLE].last);
  EXPECT_EQ(TEXT_RECORDS, 52);
}

TEST_F(Timeline, TitleAt299ThenSkullFrom300TakesItsStartOnce) {
  draw_scene(-37, 0);  // not yet started: the intro strip, nothing else
  EXPECT_FALSE(tl::all_zero(vbuf));
  draw_scene(299, 4000);
  EXPECT_EQ(tl::snapshot(vbuf), Frame(ulvenor, ulvenor + FRAME_BYTES));
  EXPECT_EQ(skull_start, -1);

  draw_scene(300, 4100);
  EXPECT_EQ(skull_start, 4100);
  EXPECT_EQ(tl::snapshot(vbuf), dim_skull());
  // 239 ms in: still no texture row; the start stays that of the first frame.
  draw_scene(340, 4339);
  EXPECT_EQ(skull_start, 4100);
  EXPECT_EQ(tl::snapshot(vbuf), dim_skull());
  draw_scene(340, 4100 + 2000);
  EXPECT_NE(tl::snapshot(vbuf), dim_skull());
}

TEST_F(Timeline, IntroStripForEveryPositionBelow232) {
  for (int32_t pos : {-37, 0, 231}) {
    draw_scene(pos, 0);
    for (int y = 0; y < FRAME_H; y++)
      for (int x = 0; x < FRAME_W; x += 7) {
        const uint8_t want = y >= 80 && y < 160 ? koottikarry1[(y - 80) * 512 + x] : 0;
        ASSERT_EQ(vbuf[y * FRAME_W + x], want) << "pos " << pos << " at " << x << "," << y;
      }
  }
}

// Flicker phases: one random draw holds for 31 ms at least; a frame is
// blank exactly when the draw is below the rows past the base.
void check_flicker(int32_t base, int32_t first_now) {
  int32_t now = first_now;
  for (int k = 0; k < 200; k++, now += 31) {
    draw_scene(base, now);
    ASSERT_FALSE(tl::all_zero(vbuf)) << "blank at the base, frame " << k;
    ASSERT_EQ(flicker_time, now);
  }
  int blank = 0, shown = 0;
  for (int k = 0; k < 400; k++, now += 31) {
    draw_scene(base + 8, now);
    ASSERT_GE(flicker_value, 0);
    ASSERT_LE(flicker_value, 15);
    const bool is_blank = tl::all_zero(vbuf);
    ASSERT_EQ(is_blank, flicker_value < 8) << "value " << flicker_value;
    (is_blank ? blank : shown)++;
    // 30 ms later the draw is kept, and so is the decision.
    const int32_t held = flicker_value;
    draw_scene(base + 8, now + 30);
    ASSERT_EQ(flicker_value, held);
    ASSERT_EQ(flicker_time, now);
    ASSERT_EQ(tl::all_zero(vbuf), is_blank);
  }
  EXPECT_GT(blank, 100);
  EXPECT_GT(shown, 100);
  for (int32_t pos = base + 16; pos < base + 52; pos++, now += 31) {
    draw_scene(pos, now);
    ASSERT_TRUE(tl::all_zero(vbuf)) << "pos " << pos;
  }
}

TEST_F(Timeline, SkullFlickersOutFrom648) {
  draw_scene(600, 1000);
  check_flicker(648, 20000);
}

TEST_F(Timeline, GargoyleFlickersOutFrom1748) { check_flicker(1748, 90000); }

TEST_F(Timeline, BlankedFrameStillCarriesItsTexts) {
  draw_scene(664, 30000);
  ASSERT_TRUE(tl::all_zero(vbuf));
  draw_texts(vbuf, 664, 30000);
  // Every record whose start is 664 or below begins on this frame, at level 32.
  Frame want(FRAME_BYTES, 0);
  int started = 0;
  for (const text_record &t : text_table) {
    if (t.duration == 0) break;
    if (t.start > 664) continue;
    writer(want.data(), t.text, t.x, t.y, 32);
    started++;
  }
  EXPECT_EQ(started, 9);
  EXPECT_FALSE(tl::all_zero(vbuf));
  EXPECT_EQ(tl::snapshot(vbuf), want);
}

TEST_F(Timeline, HalftoneStartsAtAmountZeroAndGrowsWithRowsAndTime) {
  const int32_t t0 = 70000;
  draw_scene(1900, t0);
  ASSERT_EQ(letters_start, t0);
  const Frame before = tl::snapshot(draw_scene(1999, t0 + 500));
  EXPECT_EQ(halftone_start, -1);
  // First halftone frame: amount 0 draws no dots, so the picture is the
  // one the letter wave showed at the same moment, drawn over in vbuf.
  const uint8_t *out = draw_scene(2000, t0 + 500);
  ASSERT_EQ(out, vbuf);
  EXPECT_EQ(halftone_start, t0 + 500);
  EXPECT_EQ(tl::snapshot(out), before);

  // amount = (now - halftone_start) / 80 + 80 * ((64 q + r) / 16).
  auto expect_amount = [&](int32_t pos, int32_t now, int amount) {
    std::memcpy(vbuf, drose, FRAME_BYTES);
    letter_wave(now, letters_start);
    const Frame letters = tl::snapshot(vbuf);  // drose with the letters
    draw_scene(pos, now);
    Frame want = letters;
    halftone(want.data(), letters.data(), amount);
    overlay_rosic(want.data());
    EXPECT_EQ(tl::snapshot(vbuf), want) << "pos " << pos << " amount " << amount;
    Frame lower = letters;
    halftone(lower.data(), letters.data(), amount - 6);
    overlay_rosic(lower.data());
    EXPECT_NE(tl::snapshot(vbuf), lower) << "pos " << pos;
  };
  expect_amount(2016, t0 + 500 + 79, 80);
  expect_amount(2016, t0 + 500 + 800, 90);
  expect_amount(2100, t0 + 500 + 160, 322);  // order 1, row 0: 64 rows in
  EXPECT_EQ(halftone_start, t0 + 500);
}

TEST_F(Timeline, CaptionFlashesOnRowBit2) {
  const int32_t now = 120000;
  // Same picture, same worms: rows with bit 2 clear show no caption, rows
  // with it set add caption k at (0, 60).
  struct Case {
    int32_t off, on;
    int caption;
  };
  for (const Case c : {Case{2200, 2204, 0}, Case{2243, 2244, 1}, Case{2324, 2320, 2}, Case{2399, 2395, 2}}) {
    draw_scene(c.off, now);
    const Frame off = tl::snapshot(vbuf);
    Frame want = off;
    writer2(want.data(), c.caption, 0, 60);
    draw_scene(c.on, now);
    EXPECT_EQ(tl::snapshot(vbuf), want) << "pos " << c.on;
    EXPECT_NE(want, off);
  }
  // Rows 0 to 3 of each group of 8 never show one.
  draw_scene(2208, now);
  const Frame a = tl::snapshot(vbuf);
  draw_scene(2203, now);
  EXPECT_EQ(tl::snapshot(vbuf), a);
}

TEST_F(Timeline, EndFrameKeepsThePreviousPicture) {
  draw_scene(2999, 230000);
  const Frame last = tl::snapshot(vbuf);
  for (int32_t pos : {3000, 3001, 3100}) {
    EXPECT_EQ(draw_scene(pos, 231000), vbuf);
    EXPECT_EQ(tl::snapshot(vbuf), last);
  }
  // The texts and noise are still laid over it.
  const Frame shown = tl::snapshot(demo_frame(3000, 231000));
  EXPECT_NE(shown, last);
  EXPECT_TRUE(demo_done(3000, 0));
}

}  // namespace
