// Replays the fuzz corpus through the normal readers: every file is read,
// drawn and written back without fault, the memory and file readers of the
// compact form agree, and the compact writer round-trips what it reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"

namespace {

std::vector<std::string> corpus(const char *kind) {
  std::vector<std::string> files;
  for (auto &e : std::filesystem::directory_iterator(std::string(ULV_SOURCE_DIR) + "/tests/fuzz/corpus/" + kind))
    if (e.is_regular_file()) files.push_back(e.path().string());
  return files;
}

std::vector<uint8_t> slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(CgmCorpus, CompactFiles) {
  auto files = corpus("compact");
  ASSERT_FALSE(files.empty());
  for (const std::string &path : files) {
    SCOPED_TRACE(path);
    std::vector<uint8_t> bytes = slurp(path);
    cgm_picture *mem = cgm_getn(bytes.data(), bytes.size());
    cgm_picture *file = cgm_getfile(path.c_str());
    ASSERT_EQ(mem == nullptr, file == nullptr);
    if (!mem) continue;
    EXPECT_EQ(mem->ncolours, file->ncolours);
    fuzzcheck::render(mem);
    EXPECT_TRUE(fuzzcheck::compact_round_trip(mem));
    cgm_free(mem);
    cgm_free(file);
  }
}

TEST(CgmCorpus, ClearTextFiles) {
  auto files = corpus("text");
  ASSERT_FALSE(files.empty());
  for (const std::string &path : files) {
    SCOPED_TRACE(path);
    cgm_picture *pic = cgm_readtext(path.c_str());
    if (!pic) continue;
    fuzzcheck::render(pic);
    EXPECT_TRUE(fuzzcheck::compact_round_trip(pic));
    cgm_free(pic);
  }
}

}  // namespace
