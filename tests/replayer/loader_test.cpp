// Module loader: tags, sample headers, pattern storage, cell conversion and
// the period table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "replayer/pt.h"
#include "rig.h"

namespace {

const pt_cell &cell_at(int pattern, int row, int ch) {
  return pt_patterns[pattern][row * pt_channels + ch];
}

// Loads m and expects a refusal with `error`: nothing loaded, the image
// untouched and no device call.
void expect_refused(TestModule &m, const char *error) {
  uint8_t *image = finish(m);
  std::vector<uint8_t> before = m.image;
  sd_record();
  EXPECT_EQ(pt_takemod(image), 0);
  EXPECT_STREQ(pt_errorstr, error);
  EXPECT_EQ(pt_channels, 0);
  EXPECT_EQ(m.image, before);
  EXPECT_TRUE(sd_log.empty());
}

TEST(Loader, TagSelectsChannelCountAndPatternLayout) {
  const std::pair<const char *, int> tags[] = {
      {"M.K.", 4}, {"2CHN", 2}, {"FLT8", 8}, {"OCTA", 8}, {"6CHN", 6}, {"32CH", 32}};
  for (auto [tag, n] : tags) {
    SCOPED_TRACE(tag);
    TestModule m = make_module(2, n, tag);
    set_cell(m, 1, 63, n - 1, 1, 428, 0xC, 0x20);
    uint8_t *image = finish(m);
    sd_record();
    ASSERT_EQ(pt_takemod(image), 1);
    EXPECT_EQ(pt_channels, n);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(pt_patterns[1]), image + 1084 + n * 256);
    const pt_cell &c = cell_at(1, 63, n - 1);
    EXPECT_EQ((std::vector<int>{c.sample, c.note, c.command, c.param}),
              (std::vector<int>{1, 36, 0xC, 0x20}));
    EXPECT_EQ(sd_log.back(), (SdCall{"active", -1, n}));
  }
}

TEST(Loader, UnknownTagFailsAndLeavesImageAlone) {
  for (const char *tag : {"m.k.", "STOP", "M.K "}) {
    SCOPED_TRACE(tag);
    TestModule m = make_module(1, 4, tag);
    set_cell(m, 0, 0, 0, 1, 428, 0, 0);
    expect_refused(m, "pt_takemod error: unknown module type!");
    EXPECT_STREQ(pt_modid, tag);
  }
}

// A pattern number past the 128 pattern slots is refused the same way.
TEST(Loader, PatternNumberAbove127IsRefused) {
  TestModule m = make_module();
  m.image[952 + 100] = 128;
  expect_refused(m, "pt_takemod error: pattern number out of range!");
}

TEST(Loader, SampleHeadersAndRegistration) {
  TestModule m = make_module();
  set_sample(m, 1, 8, 0xF7, 200, 1, 1);  // loop of one word: not looping
  set_sample(m, 2, 0, 0, 30);            // empty: no bytes, not registered
  set_sample(m, 3, 6, 9, 64, 2, 2);      // loop of two words: looping
  set_sample(m, 31, 1, 0, 10, 4, 3);     // loop past the end passed as stored
  uint8_t *image = finish(m);
  sd_record();
  ASSERT_EQ(pt_takemod(image), 1);
  EXPECT_EQ(pt_svol[1], 64);
  EXPECT_EQ(pt_finetune[1], 7);
  EXPECT_EQ(pt_finetune[3], 9);
  EXPECT_EQ(pt_slen[2], 0);
  EXPECT_EQ(pt_loope[3], 4);
  std::vector<SdCall> expect = {{"getsample 2 4 0", 1, 16},
                                {"getsample 4 8 1", 3, 12},
                                {"getsample 8 14 1", 31, 2},
                                {"active", -1, 4}};
  EXPECT_EQ(sd_log, expect);
  // Sample data follows the one pattern without gaps: 1, then 3, then 31.
  EXPECT_EQ(image[1084 + 1024], 1);
  EXPECT_EQ(image[1084 + 1024 + 16], 3);
  EXPECT_EQ(image[1084 + 1024 + 16 + 12], 31);
}

TEST(Loader, SongTableEdges) {
  TestModule m = make_module(4);  // storage for patterns 0..3
  for (int i = 1; i < 4; ++i) m.image[952 + i] = 0;
  m.image[950] = 200;  // past the 128-entry order list
  m.image[951] = 127;
  m.image[952 + 120] = 3;  // beyond the played entries, still stored
  ASSERT_NO_FATAL_FAILURE(start(m));
  EXPECT_EQ(pt_songlen, 128);
  EXPECT_EQ(pt_repstart, 0);
  EXPECT_EQ(pt_lastpattern, 3);
  EXPECT_EQ(reinterpret_cast<uint8_t *>(pt_patterns[3]), m.image.data() + 1084 + 3 * 1024);
  EXPECT_EQ(m.image[1084 + 4 * 1024], 1);  // sample data after pattern 3

  TestModule r = make_module(1);
  r.image[951] = 126;
  ASSERT_NO_FATAL_FAILURE(start(r));
  EXPECT_EQ(pt_repstart, 126);
}

TEST(Loader, CellConversion) {
  const std::pair<int, int> notes[] = {{428, 36}, {0, 84},   {27, 84},  {4000, 0},
                                       {429, 36}, {427, 37}, {3424, 0}, {28, 83}};
  TestModule m = make_module();
  for (int i = 0; i < 8; ++i) set_cell(m, 0, i, 0, 0, notes[i].first, 0, 0);
  set_cell(m, 0, 8, 1, 0x1F, 856, 0xE, 0xD5);
  set_cell(m, 0, 9, 1, 0x21, 856, 0xF, 0x06);  // sample 33 lies outside the tables
  ASSERT_NO_FATAL_FAILURE(start(m));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(cell_at(0, i, 0).note, notes[i].second) << notes[i].first;
  const pt_cell &a = cell_at(0, 8, 1);
  EXPECT_EQ((std::vector<int>{a.sample, a.note, a.command, a.param}),
            (std::vector<int>{31, 24, 0xE, 0xD5}));
  EXPECT_EQ(cell_at(0, 9, 1).sample, 0);
  EXPECT_EQ(cell_at(0, 9, 1).command, 0xF);
}

TEST(PeriodTable, RowZeroFirstAndLastEntries) {
  const int row0[85] = {
      3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1812, 1712, 1616, 1524,
      1440, 1356, 1280, 1208, 1140, 1076, 1016, 960,  906,  856,  808,  762,  720,  678,  640,
      604,  570,  538,  508,  480,  453,  428,  404,  381,  360,  339,  320,  302,  285,  269,
      254,  240,  226,  214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120,  113,
      107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,   56,   53,   50,   47,
      45,   42,   40,   37,   35,   33,   31,   30,   28,   28};
  for (int n = 0; n < 85; ++n) EXPECT_EQ(pt_periodtable[0][n], row0[n]) << n;
  const int first[16] = {3424, 3400, 3376, 3352, 3328, 3304, 3280, 3256,
                         3628, 3600, 3576, 3548, 3524, 3500, 3472, 3448};
  // Row 9 ends at 29: its classic octave ends at 119, a quarter of which
  // is 29.75; every other row ends as listed for the original tuning.
  const int lastp[16] = {28, 28, 28, 27, 27, 27, 27, 27, 30, 29, 29, 29, 29, 29, 28, 28};
  int lo = 65535, hi = 0;
  for (int f = 0; f < 16; ++f) {
    const pt_periodrow &r = pt_periodtable[f];
    EXPECT_EQ(r[0], first[f]) << f;
    EXPECT_EQ(r[12], 2 * r[24]) << f;
    EXPECT_EQ(r[83], lastp[f]) << f;
    EXPECT_EQ(r[84], r[83]) << f;
    // The extended octaves stay within one unit of the equal-tempered
    // continuation of the row.
    for (int k = 1; k <= 24 && f > 0; ++k) {
      EXPECT_NEAR(r[24 - k], r[24] * std::pow(2.0, k / 12.0), 1.0) << f << " " << k;
      EXPECT_NEAR(r[59 + k], r[59] * std::pow(2.0, -k / 12.0), 1.0) << f << " " << k;
    }
    for (int n = 0; n < 85; ++n) lo = std::min<int>(lo, r[n]), hi = std::max<int>(hi, r[n]);
  }
  EXPECT_EQ(lo, PT_MINPERIOD);
  EXPECT_EQ(hi, PT_MAXPERIOD);
}

// The embedded module: header, 25 patterns and the samples fill it exactly.
TEST(Loader, EmbeddedModule) {
  if (std::memcmp(nothing + 1080, "M.K.", 4) != 0) GTEST_SKIP() << "module not generated yet";
  std::vector<uint8_t> image(nothing, nothing + sizeof nothing);
  sd_record();
  ASSERT_EQ(pt_takemod(image.data()), 1);
  EXPECT_EQ(pt_channels, 4);
  EXPECT_EQ(pt_songlen, 32);
  EXPECT_EQ(pt_repstart, 0);
  EXPECT_EQ(pt_lastpattern, 24);
  EXPECT_EQ(rb_ofs, sizeof nothing);
}

}  // namespace
