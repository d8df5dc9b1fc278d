// The generated module as a file: layout, order list, commands and samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kSize = 704624;
constexpr size_t kPatternsAt = 1084;
constexpr int kPatterns = 25;
constexpr size_t kSamplesAt = kPatternsAt + kPatterns * 1024;

std::vector<uint8_t> load_module() {
  std::vector<uint8_t> m;
  FILE *f = std::fopen(ULV_ASSET_DIR "/nothing.mod", "rb");
  if (!f) return m;
  uint8_t buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) m.insert(m.end(), buf, buf + n);
  std::fclose(f);
  return m;
}

int word(const std::vector<uint8_t> &m, size_t at) { return m[at] << 8 | m[at + 1]; }

struct Cmd {
  int pattern, row, channel, cmd, param, period, sample;
};

std::vector<Cmd> cells(const std::vector<uint8_t> &m) {
  std::vector<Cmd> v;
  for (int p = 0; p < kPatterns; p++)
    for (int r = 0; r < 64; r++)
      for (int c = 0; c < 4; c++) {
        const uint8_t *b = &m[kPatternsAt + p * 1024 + (r * 4 + c) * 4];
        v.push_back({p, r, c, b[2] & 15, b[3], (b[0] & 15) << 8 | b[1], (b[0] & 0xF0) | b[2] >> 4});
      }
  return v;
}

class Module : public ::testing::Test {
 protected:
  void SetUp() override {
    m = load_module();
    ASSERT_EQ(m.size(), kSize) << "nothing.mod missing or of the wrong size";
  }
  std::vector<uint8_t> m;
};

TEST_F(Module, HeaderAndOrderList) {
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(&m[1080]), 4), "M.K.");
  EXPECT_EQ(m[950], 32);
  EXPECT_EQ(m[951], 127);
  int largest = 0;
  std::vector<bool> used(128, false);
  for (int i = 0; i < 128; i++) {
    largest = std::max<int>(largest, m[952 + i]);
    if (i < 32) used[m[952 + i]] = true;
  }
  EXPECT_EQ(largest, 24);  // so exactly 25 patterns are stored
  for (int p = 0; p < kPatterns; p++) EXPECT_TRUE(used[p]) << "pattern " << p << " is stored but never played";
}

TEST_F(Module, SamplesFillTheRestExactlyAndStartSilent) {
  size_t at = kSamplesAt;
  for (int k = 0; k < 31; k++) {
    const size_t h = 20 + 30 * k;
    const int len = word(m, h + 22) * 2, ls = word(m, h + 26) * 2, ll = word(m, h + 28) * 2;
    SCOPED_TRACE("sample " + std::to_string(k + 1));
    EXPECT_LE(m[h + 25], 64);
    EXPECT_EQ(m[h + 24] & 15, 0) << "finetune";
    ASSERT_GE(len, 2);
    ASSERT_LE(at + len, m.size());
    EXPECT_EQ(m[at], 0);
    EXPECT_EQ(m[at + 1], 0);
    if (ll > 2) {
      EXPECT_LE(ls + ll, len) << "loop reaches past the sample";
    } else {
      EXPECT_EQ(ls, 0) << "a one-shot sample keeps its loop start at 0";
    }
    at += len;
  }
  EXPECT_EQ(at, kSize) << "sample data must end exactly at the end of the module";
}

// Looped samples repeat: the byte after the loop's end (which an
// interpolating mixer reads) continues the loop, and the jump back does not
// click: the step across the seam is no larger than the steps inside.
TEST_F(Module, LoopsAreSeamless) {
  size_t at = kSamplesAt;
  int loops = 0;
  for (int k = 0; k < 31; k++) {
    const size_t h = 20 + 30 * k;
    const int len = word(m, h + 22) * 2, ls = word(m, h + 26) * 2, ll = word(m, h + 28) * 2;
    if (ll > 2) {
      loops++;
      const int8_t *d = reinterpret_cast<const int8_t *>(&m[at]);
      int biggest = 0;
      for (int i = ls; i + 1 < ls + ll; i++) biggest = std::max(biggest, std::abs(d[i + 1] - d[i]));
      const int seam = std::abs(d[ls] - d[ls + ll - 1]);
      EXPECT_LE(seam, biggest + 2) << "sample " << k + 1 << " clicks at its loop";
      if (ls + ll < len) {
        EXPECT_NEAR(d[ls + ll], d[ls], 2) << "sample " << k + 1;
      }
    }
    at += len;
  }
  EXPECT_GE(loops, 8);  // bass, organ, choir, strings, lead, voice, drone at least
}

TEST_F(Module, SpeedAndTempoOnlyOnTheFirstRowAndNoJumps) {
  const int first = m[952];
  bool speed = false, tempo = false;
  for (const Cmd &c : cells(m)) {
    SCOPED_TRACE("pattern " + std::to_string(c.pattern) + " row " + std::to_string(c.row) + " channel " +
                 std::to_string(c.channel));
    EXPECT_NE(c.cmd, 0xB) << "position jump";
    EXPECT_NE(c.cmd, 0xD) << "pattern break";
    EXPECT_FALSE(c.cmd == 0xE && (c.param >> 4) == 6) << "pattern loop";
    EXPECT_FALSE(c.cmd == 0xE && (c.param >> 4) == 0xE) << "pattern delay";
    if (c.cmd == 0xF) {
      const bool at_start = c.pattern == first && c.row == 0;
      EXPECT_TRUE(at_start && (c.param == 0x06 || c.param == 0x88)) << "F" << std::hex << c.param;
      speed |= at_start && c.param == 0x06;
      tempo |= at_start && c.param == 0x88;
    }
  }
  EXPECT_TRUE(speed && tempo) << "the first row sets speed 6 and 136 BPM";
  int uses_first = 0;
  for (int i = 0; i < 32; i++) uses_first += m[952 + i] == first;
  EXPECT_EQ(uses_first, 1) << "the pattern with F06/F88 must not be replayed later in the song";
}

// Notes are exact periods of the classic three octaves (856..113) and name
// an existing sample, so every player pitches them alike.
TEST_F(Module, NotesAreClassicPeriodsOfExistingSamples) {
  static const int periods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                  428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                                  214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
  int notes = 0;
  for (const Cmd &c : cells(m)) {
    EXPECT_LE(c.sample, 31);
    if (!c.period) continue;
    notes++;
    EXPECT_NE(std::find(periods, periods + 36, c.period), periods + 36)
        << "period " << c.period << " in pattern " << c.pattern << " row " << c.row;
  }
  EXPECT_GT(notes, 1500);
}

// Every stored instrument is heard: each of the 31 samples is named by a
// cell of a pattern that the song plays.
TEST_F(Module, EverySampleIsPlayed) {
  std::vector<bool> played(128, false), heard(32, false);
  for (int i = 0; i < m[950]; i++) played[m[952 + i]] = true;
  for (const Cmd &c : cells(m))
    if (played[c.pattern] && c.sample) heard[c.sample] = true;
  for (int k = 1; k <= 31; k++) EXPECT_TRUE(heard[k]) << "sample " << k << " is never played";
}

// The groove lives in the volume column: hats, snare and lead are each
// heard at four levels or more (a note without a set-volume plays at its
// sample's volume), and at least a third of the hats are off that level.
// The crash, the bass channel's hit, rings: no note cuts it within four
// rows. The four-channel tricks are there: arpeggio chords (effect 0 with
// a parameter) and sample offsets.
TEST_F(Module, AccentsGhostsTricksAndARingingCrash) {
  const int hat = 3, snare = 2, lead = 15, crash = 5, bass_channel = 1;
  std::vector<Cmd> all = cells(m);
  std::vector<std::vector<int>> levels(32);
  int hats = 0, hats_off = 0, crashes = 0, arpeggios = 0, offsets = 0;
  for (int i = 0; i < 30; i++) {  // the song as the demo plays it
    const int pat = m[952 + i];
    for (const Cmd &c : all) {
      if (c.pattern != pat) continue;
      arpeggios += c.cmd == 0 && c.param != 0;
      offsets += c.cmd == 9 && c.param != 0 && c.sample;
      if (!c.sample || !c.period) continue;
      const int own = m[20 + 30 * (c.sample - 1) + 25];
      const int level = c.cmd == 0xC ? c.param : own;
      auto &l = levels[c.sample];
      if (std::find(l.begin(), l.end(), level) == l.end()) l.push_back(level);
      if (c.sample == hat) {
        hats++;
        hats_off += level != own;
      }
      if (c.sample == crash && c.channel == bass_channel && c.row + 4 < 64) {
        crashes++;
        for (int r = c.row + 1; r < c.row + 4; r++)
          EXPECT_EQ(all[(pat * 64 + r) * 4 + bass_channel].period, 0)
              << "crash in pattern " << pat << " row " << c.row << " cut at row " << r;
      }
    }
  }
  EXPECT_GE(levels[hat].size(), 4u);
  EXPECT_GE(levels[snare].size(), 4u);
  EXPECT_GE(levels[lead].size(), 4u);
  EXPECT_GE(3 * hats_off, hats) << hats_off << " of " << hats << " hats off their sample's volume";
  EXPECT_GE(crashes, 10);
  EXPECT_GE(arpeggios, 20);
  EXPECT_GE(offsets, 4);
}

}  // namespace
