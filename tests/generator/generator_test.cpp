// The generator against the build. One fresh run of the whole generator
// makes exactly the bytes the build embedded (made by one build rule per
// job): the art depends neither on the run, nor on which jobs run together,
// nor on thread timing. A run of some jobs touches no other job's files.
#include <gtest/gtest.h>

#include <sys/wait.h>
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

fs::path fresh_dir(const char *tag) {
  const fs::path dir = fs::temp_directory_path() / ("ulv_generator_" + std::string(tag) + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  return dir;
}

// Runs the generator on `dir` with `args`; returns its exit status.
int run_generator(const fs::path &dir, const std::string &args) {
  const std::string cmd = std::string("'") + ULV_ASSETGEN + "' '" + dir.string() + "' " + args + " > /dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Generator, FreshRunOfEveryJobMatchesTheEmbeddedAssets) {
  const fs::path dir = fresh_dir("all");
  ASSERT_EQ(run_generator(dir, ""), 0);
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

// The worm pieces are the cheapest job: run alone into a folder that holds
// another job's asset, it writes its own two assets (the embedded bytes)
// and its stamp, and leaves the other file, the embedding and the header
// alone. An unknown job name is refused before anything is written.
TEST(Generator, OnlyTouchesTheNamedJobsFiles) {
  const fs::path dir = fresh_dir("only");
  fs::create_directories(dir);
  const std::vector<uint8_t> other = {'n', 'o', 't', ' ', 'm', 'i', 'n', 'e'};
  std::ofstream(dir / "ulvenor.bin", std::ios::binary).write(reinterpret_cast<const char *>(other.data()), 8);

  ASSERT_EQ(run_generator(dir, "--only=pieces"), 0);
  EXPECT_EQ(read_all(dir / "ulvenor.bin"), other);
  const std::vector<uint8_t> p1 = read_all(dir / "piece1.bin"), p2 = read_all(dir / "piece2.bin");
  EXPECT_EQ(p1, std::vector<uint8_t>(piece1, piece1 + sizeof piece1));
  EXPECT_EQ(p2, std::vector<uint8_t>(piece2, piece2 + sizeof piece2));
  EXPECT_TRUE(fs::exists(dir / "jobs" / "pieces.done"));
  int bins = 0;
  for (const auto &e : fs::directory_iterator(dir)) bins += e.path().extension() == ".bin";
  EXPECT_EQ(bins, 3);  // ulvenor, piece1, piece2: not the palettes every run makes in memory
  EXPECT_FALSE(fs::exists(dir / "assets.S"));
  EXPECT_FALSE(fs::exists(dir / "include"));

  const fs::path refused = fresh_dir("refused");
  EXPECT_EQ(run_generator(refused, "--only=pieces,no_such_job"), 2);
  EXPECT_FALSE(fs::exists(refused));
  fs::remove_all(dir);
  fs::remove_all(refused);
}

// --help answers on standard output; an option where the output folder
// belongs is refused. Neither makes a folder named after the option.
TEST(Generator, AnOptionIsNotAnOutputFolder) {
  const fs::path dir = fresh_dir("options");
  fs::create_directories(dir);
  const auto run_in = [&](const char *args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" + ULV_ASSETGEN + "' " + args + " > out.txt 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run_in("--help"), 0);
  const std::vector<uint8_t> out = read_all(dir / "out.txt");
  EXPECT_EQ(std::string(out.begin(), out.end()).rfind("usage: assetgen OUTDIR", 0), 0u);
  EXPECT_EQ(run_in("--catalogue"), 2);
  EXPECT_EQ(run_in("--only=pieces"), 2);
  int entries = 0;
  for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir)) entries++;
  EXPECT_EQ(entries, 1);  // out.txt alone
  fs::remove_all(dir);
}

}  // namespace
