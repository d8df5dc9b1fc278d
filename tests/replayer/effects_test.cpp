// Tracker effects, one family per test, each played from a small module at
// speed 6 with sample 1 (volume 64, finetune 0) unless it says otherwise.
#include <gtest/gtest.h>

#include "replayer/pt.h"
#include "rig.h"

namespace {

using V = std::vector<int64_t>;

// Last value of op sent to ch on each of the next n ticks, -1 where none.
V each_tick(int n, const char *op, int ch = 0) {
  V out;
  for (int i = 0; i < n; ++i) {
    tick();
    out.push_back(last(op, ch));
  }
  return out;
}

// A one-pattern module whose row 0, channel 0 holds note 428 with sample s.
TestModule note_row(int cmd, int param, int period = 428, int s = 1) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, s, period, cmd, param);
  return m;
}

TEST(Effects, Arpeggio) {
  TestModule m = note_row(0, 0x37);
  set_cell(m, 0, 1, 0, 0, 33, 0, 0xFF);  // index 80: +15 plays the last column
  ASSERT_NO_FATAL_FAILURE(start(m));
  EXPECT_EQ(each_tick(6, "per"), (V{428, 360, 285, 428, 360, 285}));
  EXPECT_EQ(each_tick(6, "per"), (V{33, 28, 28, 33, 28, 28}));
}

TEST(Effects, VibratoAndTremolo) {
  TestModule m = note_row(4, 0x8F);
  set_cell(m, 0, 1, 0, 0, 0, 6, 0x10);
  ASSERT_NO_FATAL_FAILURE(start(m));
  EXPECT_EQ(each_tick(4, "per"), (V{428, 428, 449, 458}));
  EXPECT_EQ(pt_vibc[0], 24);
  ticks(2);
  EXPECT_EQ(each_tick(2, "per"), (V{-1, 428 - 180 * 15 / 127}));  // 6xy: sine at 40
  EXPECT_EQ(last("vol"), 64);

  TestModule t = note_row(7, 0x18);
  set_sample(t, 1, 4, 0, 20);
  ASSERT_NO_FATAL_FAILURE(start(t));
  tick();
  pt_trmc[0] = 48;  // sine -255: 20 - 32 clamps to 0
  EXPECT_EQ(each_tick(1, "vol"), (V{0}));
  EXPECT_EQ(pt_trmd[0], 16);
  EXPECT_EQ(pt_trmc[0], 49);
  pt_trmc[0] = 16;  // sine 255: 20 + 32
  EXPECT_EQ(each_tick(1, "vol"), (V{52}));
  EXPECT_EQ(pt_curvol[0], 20);
}

// A deep vibrato below the shortest period sends 0, never a negative period.
TEST(Effects, VibratoNeverSendsNegativePeriod) {
  TestModule m = note_row(4, 0x0F, 28);
  set_cell(m, 0, 0, 1, 0, 0, 0xE, 0x42);  // square waveform for all channels
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  pt_vibc[0] = 48;  // square -256: 28 - 30
  EXPECT_EQ(each_tick(1, "per"), (V{0}));
}

TEST(Effects, WaveformSelection) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 0, 0, 0xE, 0x45);
  set_cell(m, 0, 0, 1, 0, 0, 0xE, 0x73);
  set_cell(m, 0, 1, 0, 0, 0, 0xE, 0x40);
  ASSERT_NO_FATAL_FAILURE(start(m));
  pt_vibc[0] = pt_trmc[1] = 10;
  tick();
  EXPECT_EQ(pt_vibratotable, pt_ramptable);
  EXPECT_EQ(pt_vibc[0], 10);
  EXPECT_EQ(pt_tremolotable, pt_randtable);
  EXPECT_EQ(pt_trmc[1], 0);
  ticks(6);
  EXPECT_EQ(pt_vibratotable, pt_sinetable);
  EXPECT_EQ(pt_vibc[0], 0);
}

TEST(Effects, VolumeSlides) {
  const std::tuple<int, int, V> cases[] = {{0x12, 10, V{11, 12, 13, 14, 15}},
                                           {0x02, 5, V{3, 1, 0, 0, 0}},
                                           {0x40, 63, V{64, 64, 64, 64, 64}}};
  for (const auto &[param, vol, expect] : cases) {
    TestModule m = note_row(0xA, param);
    set_sample(m, 1, 4, 0, vol);
    ASSERT_NO_FATAL_FAILURE(start(m));
    tick();
    EXPECT_EQ(each_tick(5, "vol"), expect) << param;
  }
  TestModule m = note_row(0xC, 0x80);
  set_cell(m, 0, 1, 0, 0, 0, 0xA, 0x01);
  ASSERT_NO_FATAL_FAILURE(start(m));
  EXPECT_EQ(each_tick(1, "vol"), (V{128}));
  ticks(5);
  EXPECT_EQ(each_tick(2, "vol"), (V{-1, 64}));
}

TEST(Effects, FineStepsAreOne) {
  const std::tuple<int, const char *, int64_t> cases[] = {
      {0xE1F, "per", 427}, {0xE2F, "per", 429}, {0xEAF, "vol", 21}, {0xEBF, "vol", 19}};
  for (const auto &[code, op, expect] : cases) {
    TestModule m = make_module();
    set_sample(m, 1, 4, 0, 20);
    set_cell(m, 0, 0, 0, 1, 428, 0, 0);
    set_cell(m, 0, 1, 0, 0, 0, code >> 8, code & 0xFF);
    ASSERT_NO_FATAL_FAILURE(start(m));
    ticks(6);
    tick();
    EXPECT_EQ(sent(op), (V{expect})) << code;
  }
}

TEST(Effects, SlidesStopAtTableLimits) {
  TestModule m = note_row(1, 0xFF);
  set_cell(m, 0, 1, 0, 1, 3424, 2, 0xFF);
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  EXPECT_EQ(each_tick(5, "per"), (V{173, 27, 27, 27, 27}));
  tick();
  EXPECT_EQ(each_tick(2, "per"), (V{3628, 3628}));
}

TEST(Effects, TonePortamentoAndGlissando) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 428, 0, 0);
  set_cell(m, 0, 1, 0, 0, 404, 3, 0x08);  // sets the target only
  set_cell(m, 0, 2, 0, 0, 428, 5, 0x02);  // stored speed, volume down 2
  ASSERT_NO_FATAL_FAILURE(start(m));
  ticks(6);
  EXPECT_EQ(each_tick(6, "per"), (V{-1, 420, 412, 404, 404, 404}));
  EXPECT_EQ(each_tick(6, "per"), (V{-1, 412, 420, 428, 428, 428}));
  EXPECT_EQ(last("vol"), 54);

  TestModule g = note_row(0xE, 0x31);
  set_cell(g, 0, 1, 0, 0, 360, 3, 0x0A);
  ASSERT_NO_FATAL_FAILURE(start(g));
  ticks(6);
  EXPECT_EQ(each_tick(6, "per"), (V{-1, 428, 428, 404, 404, 381}));
}

TEST(Effects, NoteCutDelayRetrigger) {
  const std::tuple<int, const char *, V> cases[] = {
      {0xC3, "vol", V{-1, -1, 0, -1, -1}}, {0xC9, "vol", V{-1, -1, -1, -1, 0}},
      {0xC0, "vol", V{-1, -1, -1, -1, -1}}, {0xD9, "per", V{-1, -1, -1, -1, 428}},
      {0xD0, "per", V{-1, -1, -1, -1, -1}}, {0x93, "per", V{-1, -1, 428, -1, -1}},
      {0x90, "per", V{-1, -1, -1, -1, -1}}};
  for (const auto &[param, op, expect] : cases) {
    SCOPED_TRACE(param);
    TestModule m = note_row(0xE, param);
    ASSERT_NO_FATAL_FAILURE(start(m));
    tick();
    bool delayed = (param >> 4) == 0xD;
    EXPECT_EQ(last("per"), delayed ? -1 : 428);
    EXPECT_EQ(each_tick(5, op), expect);
  }
  // Retrigger without a note restarts nothing.
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 428, 0, 0);
  set_cell(m, 0, 1, 0, 0, 0, 0xE, 0x93);
  ASSERT_NO_FATAL_FAILURE(start(m));
  ticks(6);
  EXPECT_EQ(each_tick(6, "per"), (V{-1, -1, -1, -1, -1, -1}));
}

TEST(Effects, Panning) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 0, 0xE, 0x83);
  set_cell(m, 0, 0, 1, 1, 0, 8, 0xC0);
  set_cell(m, 0, 1, 0, 1, 0, 0, 0);
  set_cell(m, 0, 1, 1, 1, 0, 0, 0);
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  EXPECT_EQ(sent("pan", 0), (V{0, 48}));
  EXPECT_EQ(sent("pan", 1), (V{0xC0}));
  ticks(6);
  EXPECT_EQ(sent("pan", 0), (V{48}));
  EXPECT_EQ(sent("pan", 1), (V{240}));
}

TEST(Effects, OffsetFinetuneSpeed) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 428, 0xE, 0x51);
  set_cell(m, 0, 0, 1, 0, 0, 9, 0x10);
  set_cell(m, 0, 0, 2, 0, 0, 0xF, 0x20);
  set_cell(m, 0, 1, 0, 0, 0, 0, 0x10);
  set_cell(m, 0, 1, 2, 0, 0, 0xF, 0x1F);
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  EXPECT_EQ(last("per"), 428);  // the finetune follows the note
  EXPECT_EQ(sent("ofs", 1), (V{0x1000}));
  EXPECT_EQ(pt_bpmtempo, 32);
  ticks(6);
  EXPECT_EQ(last("per"), 425);
  EXPECT_EQ(pt_vbtempo, 31u);
}

// Speed 1: one call per row.
TEST(Effects, PatternLoop) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 3, 0, 0, 0xF, 1);
  set_cell(m, 0, 8, 0, 0, 0, 0xE, 0x60);
  set_cell(m, 0, 11, 0, 0, 0, 0xE, 0x62);
  ASSERT_NO_FATAL_FAILURE(start(m));
  V rows;
  for (int i = 0; i < 21; ++i) {
    tick();
    rows.push_back(pt_lineptr - pt_patterns[0]);
  }
  V expect;
  for (int r = 0; r < 12; ++r) expect.push_back(r * 4);
  for (int rep = 0; rep < 2; ++rep)
    for (int r = 8; r < 12; ++r) expect.push_back(r * 4);
  expect.push_back(12 * 4);
  EXPECT_EQ(rows, expect);

  TestModule z = make_module();
  set_cell(z, 0, 0, 0, 0, 0, 0xE, 0x61);
  ASSERT_NO_FATAL_FAILURE(start(z));
  tick();
  EXPECT_EQ(position(), -1);
}

// Speed 1; the jump or break sits on song position 2 of 8 (restart 1).
TEST(Effects, JumpsAndBreaks) {
  const std::tuple<int, int, int, int> cases[] = {
      {0xB, 0x07, 663, 700},  {0xB, 0x00, -37, 0},   {0xB, 0x20, 3163, 100},
      {0xD, 0x25, 263, 325},  {0xD, 0x63, 263, 363}, {0xD, 0x99, 263, 300}};
  for (const auto &[cmd, param, during, after] : cases) {
    SCOPED_TRACE(param);
    TestModule m = make_module(2);
    set_order(m, {0, 0, 1, 0, 0, 0, 0, 0}, 1);
    set_cell(m, 0, 0, 0, 0, 0, 0xF, 1);
    set_cell(m, 1, 0, 0, 0, 0, cmd, param);
    ASSERT_NO_FATAL_FAILURE(start(m));
    ticks(129);
    EXPECT_EQ(position(), during);
    tick();
    EXPECT_EQ(position(), after);
  }
}

}  // namespace
