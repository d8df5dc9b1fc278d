// Replays the module fuzz corpus through modtool's file check, the loader
// and a few hundred mixed replayer ticks. A file named ok_* must pass the
// check, one named bad_* must be refused; every file that passes must load,
// be read to exactly the size the check computed, play with its rows inside
// their patterns, and mix to the same bytes on a second run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "mod_path.h"

namespace {

std::vector<std::filesystem::path> corpus() {
  std::vector<std::filesystem::path> files;
  for (auto &e : std::filesystem::directory_iterator(std::string(ULV_SOURCE_DIR) + "/tests/fuzz_mod/corpus"))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void expect_plays(const std::vector<uint8_t> &bytes) {
  modpath::result first = modpath::run(bytes.data(), bytes.size());
  ASSERT_TRUE(first.accepted);
  EXPECT_TRUE(first.loaded);
  EXPECT_EQ(first.consumed, first.claimed);
  EXPECT_GE(first.ticks, modpath::TICKS);
  EXPECT_TRUE(first.in_range);
  modpath::result again = modpath::run(bytes.data(), bytes.size());
  EXPECT_EQ(again.digest, first.digest);
}

TEST(ModCorpus, EveryFileKeepsItsVerdictAndPlaysTheSameTwice) {
  auto files = corpus();
  ASSERT_FALSE(files.empty());
  int good = 0, bad = 0;
  for (const auto &path : files) {
    SCOPED_TRACE(path.string());
    const std::string name = path.filename().string();
    std::vector<uint8_t> bytes = slurp(path);
    if (name.rfind("bad_", 0) == 0) {
      EXPECT_FALSE(modpath::run(bytes.data(), bytes.size()).accepted);
      ++bad;
    } else {
      ASSERT_EQ(name.rfind("ok_", 0), 0u) << "corpus files are named ok_* or bad_*";
      expect_plays(bytes);
      ++good;
    }
  }
  EXPECT_GT(good, 0);
  EXPECT_GT(bad, 0);
}

// Cutting a playable file anywhere before its last sample must be refused
// by the check, never reach the loader; cut inside the last sample it plays
// (the missing end as silence) through the loader's whole path.
TEST(ModCorpus, EveryTruncationBeforeTheLastSampleIsRefused) {
  for (const char *name : {"ok_minimal.mod", "ok_effects.mod"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = slurp(std::string(ULV_SOURCE_DIR) + "/tests/fuzz_mod/corpus/" + name);
    ASSERT_GT(bytes.size(), MOD_HEADER);
    modfile_info info;
    std::string problem;
    ASSERT_TRUE(modfile_check(bytes, info, problem)) << problem;
    uint32_t last = 0;
    for (const modfile_sample &s : info.samples)
      if (s.length) last = s.length;
    ASSERT_GT(last, 0u);
    for (size_t n = 0; n < bytes.size(); n += n < MOD_HEADER ? 97 : 1) {
      modpath::result r = modpath::run(bytes.data(), n);
      ASSERT_EQ(r.accepted, n >= info.claimed - last) << "at " << n << " bytes";
      if (r.accepted) {
        EXPECT_TRUE(modpath::consistent(r)) << "at " << n << " bytes";
      }
    }
  }
}

// The demo's own module passes the file check with every byte accounted
// for, and plays through the same path.
TEST(ModCorpus, EmbeddedModulePassesTheCheck) {
  std::vector<uint8_t> bytes(nothing, nothing + sizeof nothing);
  modpath::result r = modpath::run(bytes.data(), bytes.size());
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.claimed, sizeof nothing);
  expect_plays(bytes);
}

}  // namespace
