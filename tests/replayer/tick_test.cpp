// Replayer tick: start-up, row and position advance, pattern delay, note
// triggering and its device call order.
#include <gtest/gtest.h>

#include "replayer/pt.h"
#include "rig.h"

namespace {

using Calls = std::vector<SdCall>;

TEST(Tick, FirstAndSeventhCall) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 428, 0, 0);
  set_cell(m, 0, 1, 2, 0, 856, 0, 0);
  ASSERT_NO_FATAL_FAILURE(start(m));
  EXPECT_EQ(position(), -37);
  EXPECT_EQ(pt_ramptable[16], 127);
  EXPECT_EQ(pt_ramptable[63], -249);
  for (int16_t r : pt_randtable) EXPECT_TRUE(r >= -256 && r <= 254) << r;
  tick();
  EXPECT_EQ(position(), 0);
  EXPECT_EQ(pt_vbcount, 0u);
  EXPECT_EQ(sent("per"), (std::vector<int64_t>{428}));
  ticks(5);
  EXPECT_EQ(position(), 0);
  EXPECT_EQ(sd_log.size(), 4u);  // later ticks select every channel, nothing else
  tick();
  EXPECT_EQ(position(), 1);
  EXPECT_EQ(pt_vbcount, 0u);
  EXPECT_EQ(sent("per", 2), (std::vector<int64_t>{856}));
}

TEST(Tick, SongWrapsToRestartPosition) {
  TestModule m = make_module(3);
  set_order(m, {0, 1, 2}, 1);
  set_cell(m, 0, 0, 0, 0, 0, 0xF, 1);  // speed 1: one call per row
  ASSERT_NO_FATAL_FAILURE(start(m));
  ticks(3 * 64);
  EXPECT_EQ(position(), 263);
  tick();
  EXPECT_EQ(position(), 100);
}

// Speed 6: the row's end is followed by held rows whose tick 0 selects no
// channel; their later ticks repeat the row's effects.
TEST(Tick, PatternDelayHoldsRow) {
  for (auto [d0, d1, holds] : {std::tuple{2, 0, 2}, std::tuple{2, 4, 4}}) {
    TestModule m = make_module();
    set_cell(m, 0, 0, 0, 1, 428, 0xE, 0xE0 | d0);
    set_cell(m, 0, 0, 1, 1, 428, 0xE, 0xE0 | d1);
    set_cell(m, 0, 0, 2, 1, 428, 0xA, 0x01);
    ASSERT_NO_FATAL_FAILURE(start(m));
    ticks(6);
    for (int h = 0; h < holds; ++h) {
      tick();
      EXPECT_TRUE(sd_log.empty());
      EXPECT_EQ(position(), 0);
      tick();
      EXPECT_EQ(sent("vol", 2), (std::vector<int64_t>{64 - 6 - 5 * h}));
      ticks(4);
    }
    tick();
    EXPECT_EQ(position(), 1);
  }
}

TEST(Tick, NoteAndSampleCallOrder) {
  TestModule m = make_module();
  set_sample(m, 3, 2, 0, 40);
  set_cell(m, 0, 0, 0, 3, 0, 8, 0x80);    // sample, no note, set panning
  set_cell(m, 0, 0, 1, 3, 428, 8, 0x80);  // sample and note, set panning
  set_cell(m, 0, 0, 2, 1, 428, 9, 0x02);  // sample offset instead of offset 0
  set_cell(m, 0, 0, 3, 0, 428, 0xC, 5);   // note alone: no sample calls
  set_cell(m, 0, 1, 0, 1, 0, 0xC, 9);     // set volume replaces the sample's
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  Calls expect = {{"sel", 0, 0},   {"vol", 0, 40},  {"smp", 0, 3},   {"pan", 0, 0x80},
                  {"sel", 1, 1},   {"vol", 1, 40},  {"smp", 1, 3},   {"per", 1, 428},
                  {"ofs", 1, 0},   {"pan", 1, 0x80}, {"sel", 2, 2},  {"vol", 2, 64},
                  {"pan", 2, 0},   {"smp", 2, 1},   {"per", 2, 428}, {"ofs", 2, 0x200},
                  {"sel", 3, 3},   {"per", 3, 428}, {"ofs", 3, 0},   {"vol", 3, 5}};
  EXPECT_EQ(sd_log, expect);
  ticks(6);
  EXPECT_EQ(sent("vol"), (std::vector<int64_t>{9}));
  EXPECT_EQ(sent("pan"), (std::vector<int64_t>{0}));
}

TEST(Tick, DefaultPanningPerChannel) {
  TestModule m = make_module(1, 8, "8CHN");
  for (int c = 0; c < 8; ++c) set_cell(m, 0, 0, c, 1, 0, 0, 0);
  ASSERT_NO_FATAL_FAILURE(start(m));
  tick();
  std::vector<int64_t> pans;
  for (int c = 0; c < 8; ++c) pans.push_back(last("pan", c));
  EXPECT_EQ(pans, (std::vector<int64_t>{0, 240, 0, 240, 112, 144, 144, 112}));
}

TEST(Tick, SpeedZeroReplaysFirstTick) {
  TestModule m = make_module();
  set_cell(m, 0, 0, 0, 1, 428, 0xF, 0x00);
  ASSERT_NO_FATAL_FAILURE(start(m));
  for (int i = 0; i < 20; ++i) {
    tick();
    EXPECT_EQ(sent("per"), (std::vector<int64_t>{428}));
  }
  EXPECT_EQ(position(), 0);
}

TEST(Tick, NothingLoadedIsQuiet) {
  TestModule m = make_module(1, 4, "nope");
  sd_record();
  EXPECT_EQ(pt_takemod(finish(m)), 0);
  pt_init();
  ticks(10);
  EXPECT_TRUE(sd_log.empty());

  // Loaded but never reset: speed 0 and no current row.
  TestModule ok = make_module();
  set_cell(ok, 0, 0, 0, 1, 428, 0, 0);
  ASSERT_EQ(pt_takemod(finish(ok)), 1);
  pt_vbtempo = 0;
  pt_lineptr = nullptr;
  ticks(3);
  EXPECT_TRUE(sd_log.empty());
}

// A jump to -1 or past the order list, overridden by a loop on a later
// channel of the same row, never reaches the next row unchecked.
TEST(Tick, JumpCancelledByLoopStaysInOrderList) {
  for (int target : {0x00, 0xFF}) {
    TestModule m = make_module(2);
    set_order(m, {1, 0}, 1);
    set_cell(m, 1, 0, 0, 0, 0, 0xB, target);
    set_cell(m, 1, 0, 1, 0, 0, 0xE, 0x61);
    set_cell(m, 1, 0, 2, 0, 0, 0xF, 1);
    ASSERT_NO_FATAL_FAILURE(start(m));
    tick();
    tick();
    EXPECT_EQ(position(), 100);
    EXPECT_EQ(pt_curpattern, 0);
  }
}

}  // namespace
