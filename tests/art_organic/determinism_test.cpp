// The skull, gargoyle and portrait jobs make the same bytes on every run,
// alone or together with every other job (as embedded).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/assets.h"

namespace {

struct Output {
  const char *sym;
  const uint8_t *embedded;
  size_t size;
};
const Output kOutputs[] = {
    {"skulle", skulle, 64000},     {"skulletc", skulletc, 128000},     {"skulle2", skulle2, 64000},
    {"skulle2tc", skulle2tc, 128000}, {"gargoyle", gargoyle, 64000}, {"gargoyletc", gargoyletc, 128000},
    {"gargoyle2", gargoyle2, 64000}, {"gargoyle2tc", gargoyle2tc, 128000}, {"tamsk", tamsk, 64000},
    {"dorl", dorl, 64000},         {"vesk", vesk, 64000},
};

std::vector<uint8_t> read_all(const std::string &path) {
  std::vector<uint8_t> d;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return d;
  for (int c; (c = std::fgetc(f)) != EOF;) d.push_back(uint8_t(c));
  std::fclose(f);
  return d;
}

// Runs the generator on our jobs into a fresh folder; returns the folder.
std::string run_jobs(const char *tag) {
  std::string dir = (std::filesystem::temp_directory_path() /
                     ("ulv_art_organic_" + std::to_string(::getpid()) + "_" + tag)).string();
  std::filesystem::remove_all(dir);
  std::string cmd = std::string(ULV_BINARY_DIR "/tools/assetgen/assetgen ") + dir +
                    " --only=skull,gargoyle,portraits > /dev/null";
  EXPECT_EQ(0, std::system(cmd.c_str())) << cmd;
  return dir;
}

TEST(ArtJobs, SameBytesOnEveryRunAndAsEmbedded) {
  std::string a = run_jobs("a"), b = run_jobs("b");
  for (const Output &o : kOutputs) {
    std::vector<uint8_t> da = read_all(a + "/" + o.sym + ".bin"), db = read_all(b + "/" + o.sym + ".bin");
    ASSERT_EQ(da.size(), o.size) << o.sym;
    EXPECT_TRUE(da == db) << o.sym << " differs between two runs";
    EXPECT_TRUE(std::equal(da.begin(), da.end(), o.embedded)) << o.sym << " differs from the embedded asset";
  }
  std::filesystem::remove_all(a);
  std::filesystem::remove_all(b);
}

}  // namespace
