// The module tool on files written here: the checks that stop a bad file
// before the loader, the row timeline, the render length and the argument
// handling.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/module_builder.h"
#include "music/tool_run.h"

namespace {

// Two positions of pattern 0 and 1, one sample, 125 BPM and speed 6.
ModuleBuilder song() {
  std::vector<int8_t> wave(256);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = int8_t(i * 8);
  return ModuleBuilder().sample(1, wave, 64, 0, 256).orders({0, 1}).cell(0, 0, 0, 1, 428);
}

void expect_rejected(const std::string &path, const std::string &problem) {
  for (const char *cmd : {"info", "timeline", "render"}) {
    std::string extra = std::string(cmd) == "render" ? " -o " + temp("never.wav") : "";
    ToolRun r = modtool(std::string(cmd) + " " + path + extra);
    EXPECT_EQ(r.status, 2) << cmd;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(problem), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
}

TEST(ModTool, RejectsTruncatedFiles) {
  std::vector<uint8_t> m = song().build();
  m.resize(m.size() - 256 - 1);  // the only sample gone, and a byte of the patterns
  expect_rejected(write("short.mod", m), "truncated");
  m.resize(2 * 1024 + 1084 - 1);  // patterns cut
  expect_rejected(write("nopattern.mod", m), "truncated");
  m.resize(1000);  // not even a header
  expect_rejected(write("tiny.mod", m), "truncated");
  expect_rejected(write("empty.mod", {}), "an empty file, not a module file");
}

TEST(ModTool, RejectsUnknownTags) {
  expect_rejected(write("lower.mod", ModuleBuilder(4, "m.k.").build()), "unknown format tag");
  expect_rejected(write("stop.mod", ModuleBuilder(4, "STOP").build()), "unknown format tag");
}

TEST(ModTool, RejectsOrderEntriesAbove127) {
  std::vector<uint8_t> m = song().build();
  m[952 + 100] = 200;  // past the song length, still counted
  expect_rejected(write("order.mod", m), "above 127");
  m[952 + 100] = 128;
  expect_rejected(write("order128.mod", m), "above 127");
}

TEST(ModTool, MissingFileIsAnError) {
  ToolRun r = modtool("info " + temp("does-not-exist.mod"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("does-not-exist.mod"), std::string::npos);
}

TEST(ModTool, InfoShowsTheHeaderAsStored) {
  std::vector<uint8_t> m = song().sample(7, std::vector<int8_t>(100), 200, 10, 20, 15).build();
  ToolRun r = modtool("info " + write("info.mod", m));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("M.K. (4 channels)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("orders    0 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("patterns  2"), std::string::npos) << r.out;
  // Sample 7: 100 bytes, finetune -1, volume 200 as stored, loop 10 + 20.
  EXPECT_NE(r.out.find("    100   -1 200     10     20"), std::string::npos) << r.out;
}

TEST(ModTool, TimelineGivesTheFrameOfEachRow) {
  ToolRun r = modtool("timeline " + write("timeline.mod", song().build()) + " --rows 3");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0 0 0\n5292 0 1\n10584 0 2\n");
  // Until the wrap: 128 rows, the last one position 1, row 63.
  r = modtool("timeline " + temp("timeline.mod"));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 128);
  EXPECT_NE(r.out.find("\n672084 1 63\n"), std::string::npos);
}

uint32_t le32(const std::string &s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}

TEST(ModTool, RenderStopsWhereTheSongWraps) {
  // A jump back to position 0 on row 5 of position 1 is where this song
  // wraps: 64 + 6 rows of 5292 frames.
  std::string in = write("jump.mod", song().cell(1, 5, 3, 0, 0, 0xB, 0).build());
  std::string out = temp("jump.wav");
  ToolRun r = modtool("render " + in + " -o " + out);
  EXPECT_EQ(r.status, 0) << r.err;
  std::string wav = slurp(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(le32(wav, 24), 44100u);
  EXPECT_EQ(le32(wav, 40), 70u * 5292 * 4);
  EXPECT_EQ(wav.size(), 44 + 70u * 5292 * 4);
  EXPECT_EQ(le32(wav, 4), wav.size() - 8);
  bool sound = false;
  for (size_t i = 44; i < wav.size() && !sound; ++i) sound = wav[i] != 0;
  EXPECT_TRUE(sound);

  r = modtool("render " + in + " -o " + out + " --seconds 0.5 --bench");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(out).size(), 44 + 22050u * 4);
  EXPECT_NE(r.out.find("x realtime"), std::string::npos);
}

TEST(ModTool, ArgumentsAndUsage) {
  std::string mod = write("args.mod", song().build());
  for (const std::string &args :
       {std::string(""), std::string("frobnicate ") + mod, "render " + mod, "render " + mod + " -o",
        "timeline " + mod + " --rows x", "timeline " + mod + " --rows 0", "render " + mod + " -o x.wav --seconds -1",
        "info " + mod + " " + mod, "info " + mod + " --bench", std::string("info")}) {
    ToolRun r = modtool(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("usage: modtool"), std::string::npos) << args;
  }
  // A refused count names the real limit, and the limit itself is taken.
  ToolRun r = modtool("timeline " + mod + " --rows 999999999");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("modtool: --rows needs a whole number from 1 to 100000000\n", 0), 0u) << r.err;
  EXPECT_EQ(modtool("timeline " + mod + " --rows 100000000").status, 0);
  r = modtool("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: modtool"), std::string::npos);
  r = modtool("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("modtool ", 0), 0u);
}

}  // namespace
