// Row timing against libxmp in ProTracker mode: for modules that change
// speed and tempo, break patterns, jump between positions, loop and delay
// rows, the engine must play the same rows in the same order as libxmp,
// each starting on exactly the same output frame; so must the timeline
// that modtool prints. Both players cut a tick at 110250 / tempo frames
// (truncated) and apply a tempo change to the tick that makes it, so there
// is no tolerance.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "refplayers/modbuild.h"
#include "refplayers/players.h"

namespace {

using namespace refplay;

// A bass line and a lead that keep every channel busy, so the timing is
// checked with notes, sample changes and volume commands in play.
ModBuilder busy(int patterns) {
  ModBuilder b;
  b.sample(1, sine_wave(2000, 20), 64, 2, 1998)
      .sample(2, pluck(4000, 60, 5, 7), 48)
      .sample(3, sine_wave(512, 8, 80), 40, 0, 512);
  for (int p = 0; p < patterns; ++p)
    for (int r = 0; r < 64; r += 4) {
      b.cell(p, r, 0, 1, period((r / 4 + p) % 12));
      b.cell(p, r + 1, 1, 2, period(12 + (r * 5 + p) % 24), 0xC, 16 + r / 2);
      b.cell(p, r + 2, 2, 3, period(24 + r % 12));
    }
  return b;
}

// The timeline that `modtool timeline FILE --rows N` prints: one
// "FRAME ORDER ROW" line per row, up to N rows or the song's first wrap.
std::vector<row_start> modtool_timeline(const std::string &path, size_t count) {
  std::vector<row_start> rows;
  std::string cmd = std::string(MODTOOL_EXE) + " timeline '" + path + "' --rows " + std::to_string(count);
  FILE *p = popen(cmd.c_str(), "r");
  if (!p) return rows;
  unsigned long long frame;
  int order, row;
  while (std::fscanf(p, "%llu %d %d", &frame, &order, &row) == 3) rows.push_back({frame, order, row});
  pclose(p);
  return rows;
}

// Index of the first entry where a and b differ, or their common length.
size_t first_difference(const std::vector<row_start> &a, const std::vector<row_start> &b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

std::string describe(const std::vector<row_start> &rows, size_t i) {
  if (i >= rows.size()) return "(none)";
  std::ostringstream s;
  s << "frame " << rows[i].frame << " order " << rows[i].order << " row " << rows[i].row;
  return s.str();
}

class Timing : public ::testing::Test {
 protected:
  std::vector<row_start> ours;  // the engine's timeline of the last comparison

  // Writes the module, plays `count` rows on the engine and on libxmp and
  // compares the two timelines, and the module tool's; on a difference,
  // names the first row where they part.
  void expect_same_rows(const ModBuilder &b, size_t count) {
    std::vector<uint8_t> bytes = b.build();
    std::string path = ::testing::TempDir() + "refplayers_" + std::to_string(getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".mod";
    ASSERT_TRUE(write_file(path, bytes));
    ours = engine_timeline(bytes, count);
    std::vector<row_start> ref = xmp_timeline(path, count);
    std::vector<row_start> tool = modtool_timeline(path, count);
    std::remove(path.c_str());
    ASSERT_EQ(ours.size(), count);
    ASSERT_EQ(ref.size(), count);
    size_t i = first_difference(ours, ref);
    EXPECT_EQ(i, count) << "row entry " << i << ": ours " << describe(ours, i) << ", libxmp " << describe(ref, i)
                        << "; previous row " << (i > 0 ? describe(ref, i - 1) : "(none)");
    // The tool stops at the song's first wrap, so it may print fewer rows.
    ASSERT_FALSE(tool.empty()) << "modtool printed no timeline";
    i = first_difference(tool, ref);
    EXPECT_EQ(i, tool.size()) << "modtool row entry " << i << ": " << describe(tool, i) << ", libxmp "
                              << describe(ref, i);
  }

  // True when row (order, row) is followed at once by (next_order, next_row)
  // somewhere in the last timeline: the module took the path it was built for.
  bool plays(int order, int row, int next_order, int next_row) const {
    for (size_t i = 0; i + 1 < ours.size(); ++i)
      if (ours[i].order == order && ours[i].row == row && ours[i + 1].order == next_order &&
          ours[i + 1].row == next_row)
        return true;
    return false;
  }
};

// The default speed 6 and tempo 125 alone: 882 frames a tick, 5292 a row,
// across a pattern boundary and the song's wrap to its start.
TEST_F(Timing, DefaultSpeedAcrossPatternsAndTheWrap) {
  ModBuilder b = busy(2);
  b.orders({0, 1});
  expect_same_rows(b, 140);
}

// Speeds 3, 8, 1, 31 and 2 in turn, set on different channels, a speed set
// twice in one row (the higher channel's value stands) and the speed reset
// to 6.
TEST_F(Timing, SpeedChanges) {
  ModBuilder b = busy(2);
  b.orders({0, 1});
  b.fx(0, 0, 3, 0xF, 3).fx(0, 8, 0, 0xF, 8).fx(0, 16, 1, 0xF, 1).fx(0, 24, 2, 0xF, 31);
  b.fx(0, 25, 3, 0xF, 2).fx(0, 40, 0, 0xF, 5).fx(0, 40, 3, 0xF, 4);
  b.fx(1, 0, 1, 0xF, 6).fx(1, 33, 3, 0xF, 1).fx(1, 34, 3, 0xF, 6);
  expect_same_rows(b, 128);
}

// Tempos from 32 to 255 BPM, including lengths that do not divide evenly
// (110250 / 32 = 3445.3, / 255 = 432.4, / 97 = 1136.6), a tempo and a
// speed set on the same row, and a tempo change at speed 1 where every
// tick is a row.
TEST_F(Timing, TempoChanges) {
  ModBuilder b = busy(2);
  b.orders({0, 1});
  b.fx(0, 0, 0, 0xF, 32).fx(0, 2, 1, 0xF, 255).fx(0, 5, 3, 0xF, 0x7D).fx(0, 6, 1, 0xF, 4);
  b.fx(0, 6, 2, 0xF, 97).fx(0, 12, 0, 0xF, 1).fx(0, 13, 0, 0xF, 200).fx(0, 14, 0, 0xF, 33);
  b.fx(0, 15, 0, 0xF, 181).fx(0, 16, 0, 0xF, 6).fx(0, 30, 3, 0xF, 0xE7);
  b.fx(1, 0, 2, 0xF, 77).fx(1, 10, 2, 0xF, 3).fx(1, 11, 2, 0xF, 0x40).fx(1, 50, 2, 0xF, 125);
  expect_same_rows(b, 128);
}

// Pattern breaks to row 0, to a decimal row (D25 is row 25), on two
// channels of one row (the higher channel's row stands), to a row past 63
// (row 0, as in classic players), and from the last position, which goes
// back to the start at the break's row.
TEST_F(Timing, PatternBreaks) {
  ModBuilder b = busy(4);
  b.orders({0, 1, 2, 1, 3});
  b.fx(0, 10, 0, 0xD, 0x05).fx(1, 20, 1, 0xD, 0x25).fx(2, 30, 2, 0xD, 0x00);
  b.fx(2, 0, 0, 0xF, 3).fx(2, 30, 0, 0xD, 0x10).fx(2, 30, 3, 0xD, 0x20);
  b.fx(3, 30, 1, 0xD, 0x70);
  expect_same_rows(b, 250);
  EXPECT_TRUE(plays(0, 10, 1, 5));
  EXPECT_TRUE(plays(1, 20, 2, 25));
  EXPECT_TRUE(plays(2, 30, 3, 20));
  EXPECT_TRUE(plays(3, 20, 4, 25));
  EXPECT_TRUE(plays(4, 30, 0, 0));
}

// Position jumps forward and back (which loops the song for good), a jump
// with a break on another channel (to that row of the jump's position), a
// jump to the position being played, and speed and tempo set on a jump's row.
TEST_F(Timing, PositionJumps) {
  ModBuilder b = busy(4);
  b.orders({0, 1, 2, 3, 2});
  b.fx(0, 3, 0, 0xB, 2).fx(2, 7, 1, 0xB, 1).fx(2, 7, 3, 0xD, 0x12);
  b.fx(1, 40, 2, 0xB, 3).fx(1, 40, 0, 0xF, 0x90).fx(3, 20, 3, 0xF, 4);
  b.fx(3, 50, 1, 0xB, 0).fx(3, 50, 2, 0xF, 125);
  expect_same_rows(b, 300);
  EXPECT_TRUE(plays(0, 3, 2, 0));
  EXPECT_TRUE(plays(2, 7, 1, 12));
  EXPECT_TRUE(plays(3, 50, 0, 0));
}

// A jump and a break in one row on the last position, and a jump past the
// song's end: both go back to the start.
TEST_F(Timing, JumpsAtTheSongEnd) {
  ModBuilder b = busy(2);
  b.orders({0, 1, 0});
  b.fx(0, 5, 2, 0xB, 1).fx(1, 30, 0, 0xB, 9).fx(1, 31, 0, 0xF, 2);
  expect_same_rows(b, 150);
}

// A song with restart position 1: past the last position it goes on at
// position 1, keeping the speed and tempo it had.
TEST_F(Timing, RestartPosition) {
  ModBuilder b = busy(3);
  b.orders({0, 1, 2}, 1);
  b.fx(0, 0, 2, 0xF, 3).fx(0, 2, 1, 0xD, 0).fx(1, 0, 3, 0xF, 0x90).fx(1, 2, 1, 0xD, 0);
  b.fx(2, 0, 2, 0xF, 5).fx(2, 3, 1, 0xD, 0);
  expect_same_rows(b, 60);
  EXPECT_TRUE(plays(2, 3, 1, 0));
}

// Pattern loops (a body played three times, a loop back to row 0) and
// pattern delays (one row held for two more repetitions, a delay at speed
// 3, and delays of 2 and 4 on two channels of one row, which hold it for
// 4), with their rows counted once.
TEST_F(Timing, PatternLoopsAndDelays) {
  ModBuilder b = busy(2);
  b.orders({0, 1});
  b.fx(0, 4, 1, 0xE, 0xE2).fx(0, 8, 3, 0xE, 0x60).fx(0, 11, 3, 0xE, 0x62);
  b.fx(0, 20, 3, 0xE, 0xE1).fx(0, 20, 0, 0xF, 3).fx(0, 40, 0, 0xF, 6);
  b.fx(1, 0, 3, 0xE, 0x60).fx(1, 2, 3, 0xE, 0x61).fx(1, 5, 1, 0xE, 0xE2).fx(1, 5, 2, 0xE, 0xE4);
  expect_same_rows(b, 140);
  EXPECT_TRUE(plays(0, 11, 0, 8));
  EXPECT_TRUE(plays(0, 11, 0, 12));
  EXPECT_TRUE(plays(1, 2, 1, 0));
}

// libxmp's rows up to the point where it counts the song as repeated
// (its loop counter turns 1): the song's end as libxmp sees it.
std::vector<row_start> xmp_rows_until_repeat(const std::string &path) {
  std::vector<row_start> rows;
  xmp_context ctx = xmp_create_context();
  if (xmp_load_module(ctx, const_cast<char *>(path.c_str())) == 0 && xmp_start_player(ctx, kRate, 0) == 0) {
    xmp_set_player(ctx, XMP_PLAYER_MODE, XMP_MODE_PROTRACKER);
    uint64_t frame = 0;
    xmp_frame_info fi;
    while (frame < uint64_t(kRate) * 600 && xmp_play_frame(ctx) == 0) {
      xmp_get_frame_info(ctx, &fi);
      if (fi.loop_count > 0) break;
      if (fi.frame == 0) rows.push_back({frame, fi.pos, fi.row});
      frame += uint64_t(fi.buffer_size / 4);
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
  }
  xmp_free_context(ctx);
  return rows;
}

// The module tool's song end (its whole timeline) against libxmp's for
// songs that play backwards, jump back to positions not played yet, loop
// and then break or jump, and restart past the end.
TEST(SongEnd, ModtoolEndsWhereLibxmpRepeats) {
  std::vector<std::pair<const char *, ModBuilder>> songs;
  ModBuilder b = busy(1);
  // The jump on a lower channel than the break, so the break's row stands.
  b.orders({0}).fx(0, 0, 1, 0xB, 0).fx(0, 0, 2, 0xD, 0x63);
  for (int r = 1; r < 64; ++r) b.fx(0, r, 1, 0xB, 0).fx(0, r, 2, 0xD, ((r - 1) / 10) * 16 + (r - 1) % 10);
  songs.emplace_back("backwards", b);
  b = busy(3);
  b.orders({0, 1, 2}).fx(0, 2, 3, 0xB, 2).fx(2, 10, 3, 0xB, 1);
  songs.emplace_back("jump back to an unplayed position", b);
  b = busy(2);
  b.orders({0, 1}).fx(0, 1, 3, 0xE, 0x60).fx(0, 3, 3, 0xE, 0x62).fx(0, 4, 2, 0xD, 0).fx(1, 2, 2, 0xB, 0);
  songs.emplace_back("loop, then break", b);
  b = busy(2);
  b.orders({0, 1}).fx(0, 8, 3, 0xE, 0x60).fx(0, 11, 3, 0xE, 0x61).fx(0, 12, 3, 0xB, 0);
  songs.emplace_back("loop, then jump to the start", b);
  b = busy(3);
  b.orders({0, 1, 2}, 1).fx(0, 2, 3, 0xD, 0).fx(1, 2, 3, 0xD, 0).fx(2, 3, 3, 0xD, 0);
  songs.emplace_back("restart position 1", b);
  for (const auto &[name, song] : songs) {
    const std::string path = ::testing::TempDir() + "refplayers_songend_" + std::to_string(getpid()) + ".mod";
    ASSERT_TRUE(write_file(path, song.build()));
    std::vector<row_start> ref = xmp_rows_until_repeat(path), tool = modtool_timeline(path, 100000);
    std::remove(path.c_str());
    ASSERT_FALSE(ref.empty()) << name;
    EXPECT_EQ(tool.size(), ref.size()) << name;
    size_t i = first_difference(tool, ref);
    EXPECT_EQ(i, ref.size()) << name << ": modtool row entry " << i << ": " << describe(tool, i) << ", libxmp "
                             << describe(ref, i);
  }
}

}  // namespace
