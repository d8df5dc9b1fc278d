// One fresh run of the whole generator makes exactly the bytes the build
// embedded (made by one build rule per job): the art depends neither on the
// run, nor on which jobs run together, nor on thread timing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> read_all(const fs::path &p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(Generator, FreshRunOfEveryJobMatchesTheEmbeddedAssets) {
  const fs::path dir = fs::temp_directory_path() / ("ulv_generator_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const std::string cmd = std::string("'") + ULV_ASSETGEN + "' '" + dir.string() + "' > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  int previews = 0;
  for (const asset_entry &a : asset_catalogue) {
    SCOPED_TRACE(a.symbol);
    const std::vector<uint8_t> fresh = read_all(dir / (std::string(a.symbol) + ".bin"));
    ASSERT_EQ(fresh.size(), a.size);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), a.data)) << "differs from the embedded asset";
    // Every preview the build made, the fresh run makes too.
    const std::string preview = "preview/" + std::string(a.symbol) + ".png";
    if (fs::exists(fs::path(ULV_ASSET_DIR) / preview)) {
      previews++;
      EXPECT_TRUE(fs::exists(dir / preview)) << preview;
    }
  }
  EXPECT_GT(previews, 0);
  fs::remove_all(dir);
}

}  // namespace
