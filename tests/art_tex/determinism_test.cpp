// The generator makes the same bytes for these assets on every run, and
// those bytes are what the program embeds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "assets/assets.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> slurp(const fs::path &p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

fs::path run_generator(const std::string &tag) {
  fs::path out = fs::temp_directory_path() / ("ulv_art_tex_" + tag + "_" + std::to_string(getpid()));
  fs::remove_all(out);
  std::string cmd = std::string("'") + ULV_BINARY_DIR + "/tools/assetgen/assetgen' '" + out.string() +
                    "' --only=textures,dracula,greets,texts,title,models";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return out;
}

struct Embedded {
  const char *sym;
  const uint8_t *data;
  size_t size;
};

}  // namespace

TEST(Generator, SameBytesEveryRunAndAsEmbedded) {
  const Embedded mine[] = {
      {"kiehkura", kiehkura, 65536},  {"dracula", dracula, 1900544}, {"greets", greets, 321536},
      {"lapinaa", lapinaa, 200960},   {"tamsktxt", tamsktxt, 23520}, {"dorltxt", dorltxt, 23520},
      {"vesktxt", vesktxt, 23520},    {"ulvenor", ulvenor, 64000},   {"model1", model1, 11804},
      {"ch_u", ch_u, 3680},           {"ch_r", ch_r, 2480},          {"ch_e", ch_e, 824},
      {"ch_t", ch_t, 2120},
  };
  fs::path a = run_generator("a"), b = run_generator("b");
  for (const Embedded &e : mine) {
    SCOPED_TRACE(e.sym);
    std::vector<uint8_t> first = slurp(a / (std::string(e.sym) + ".bin"));
    std::vector<uint8_t> second = slurp(b / (std::string(e.sym) + ".bin"));
    ASSERT_EQ(first.size(), e.size);
    EXPECT_TRUE(first == second);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), e.data));
  }
  fs::remove_all(a);
  fs::remove_all(b);
}
