// The module tool under real conditions: where songs that jump backwards,
// loop or stop really end; inputs that are endless, huge or not files;
// outputs on a full disk, past the WAV header's reach, or interrupted;
// standard output that cannot be written; no sound device.
//
// Every module here plays at speed 6 and 125 BPM: a tick is 882 frames, a
// row 5292.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/module_builder.h"
#include "music/tool_run.h"

namespace {

constexpr uint64_t ROW = 5292, TICK = 882;

// One sample note at row 0 of each of `patterns` patterns.
ModuleBuilder notes(int patterns) {
  std::vector<int8_t> wave(256);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = int8_t(i * 8);
  ModuleBuilder b;
  b.sample(1, wave, 64, 0, 256);
  for (int p = 0; p < patterns; ++p) b.cell(p, 0, 0, 1, 428);
  return b;
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) out.push_back(text.substr(at, nl - at));
  return out;
}

// Frames in a rendered WAV, from its file size.
uint64_t wav_frames(const std::string &path) { return (slurp(path).size() - 44) / 4; }

std::string row_list(const std::vector<std::string> &rows) {
  std::string s;
  for (const std::string &r : rows) s += r.substr(r.find(' ') + 1) + ", ";
  return s;
}

// The timeline's rows as "ORDER ROW" and the rendered length in frames.
struct SongEnd {
  std::vector<std::string> rows;
  uint64_t frames;
};

SongEnd song_end(const ModuleBuilder &b, const std::string &name) {
  const std::string mod = write(name + ".mod", b.build()), wav = temp(name + ".wav");
  ToolRun t = modtool("timeline " + mod);
  EXPECT_EQ(t.status, 0) << t.err;
  ToolRun r = modtool("render " + mod + " -o " + wav);
  EXPECT_EQ(r.status, 0) << r.err;
  SongEnd e{{}, wav_frames(wav)};
  for (const std::string &l : lines(t.out)) e.rows.push_back(l.substr(l.find(' ') + 1));
  return e;
}

// ---- where the song ends -------------------------------------------------

// Row 0 breaks to row 63 of the same position and every later row to the
// row above it: the pattern plays backwards, each row once, and the song
// ends when row 0 comes round again.
TEST(ModToolSongEnd, APatternPlayedBackwardsPlaysEveryRow) {
  ModuleBuilder b = notes(1);
  b.orders({0}).fx(0, 0, 1, 0xB, 0).fx(0, 0, 2, 0xD, 0x63);
  for (int r = 1; r < 64; ++r) b.fx(0, r, 1, 0xB, 0).fx(0, r, 2, 0xD, ((r - 1) / 10) * 16 + (r - 1) % 10);
  SongEnd e = song_end(b, "backwards");
  ASSERT_EQ(e.rows.size(), 64u) << row_list(e.rows);
  EXPECT_EQ(e.rows[1], "0 63");
  EXPECT_EQ(e.rows[63], "0 1");
  EXPECT_EQ(e.frames, 64 * ROW);
}

// A jump back to a position not played yet goes on: 0:0-2 jumps to
// position 2, whose row 10 jumps back to position 1, which plays through
// into position 2 again: the end.
TEST(ModToolSongEnd, AJumpBackToAPositionNotPlayedGoesOn) {
  ModuleBuilder b = notes(3);
  b.orders({0, 1, 2}).fx(0, 2, 1, 0xB, 2).fx(2, 10, 1, 0xB, 1);
  SongEnd e = song_end(b, "jumpback");
  ASSERT_EQ(e.rows.size(), 3u + 11 + 64) << row_list(e.rows);
  EXPECT_EQ(e.rows[3], "2 0");
  EXPECT_EQ(e.rows[14], "1 0");
  EXPECT_EQ(e.rows.back(), "1 63");
  EXPECT_EQ(e.frames, 78 * ROW);
}

// A loop over rows 1-3 played three times, then a break to position 1 and
// a jump from its row 2 back to the start: the loop's repeats are not the
// end, the jump to the first row is.
TEST(ModToolSongEnd, APatternLoopThenABreakPlaysOn) {
  ModuleBuilder b = notes(2);
  b.orders({0, 1}).fx(0, 1, 3, 0xE, 0x60).fx(0, 3, 3, 0xE, 0x62).fx(0, 4, 2, 0xD, 0).fx(1, 2, 2, 0xB, 0);
  SongEnd e = song_end(b, "loopbreak");
  const std::vector<std::string> want = {"0 0", "0 1", "0 2", "0 3", "0 1", "0 2", "0 3",
                                         "0 1", "0 2", "0 3", "0 4", "1 0", "1 1", "1 2"};
  EXPECT_EQ(e.rows, want) << row_list(e.rows);
  EXPECT_EQ(e.frames, 14 * ROW);
  // The same loop and a jump straight back to the start from row 4.
  b = notes(2);
  b.orders({0, 1}).fx(0, 1, 3, 0xE, 0x60).fx(0, 3, 3, 0xE, 0x62).fx(0, 4, 2, 0xB, 0);
  e = song_end(b, "loopjump");
  EXPECT_EQ(e.rows.size(), 11u) << row_list(e.rows);
  EXPECT_EQ(e.frames, 11 * ROW);
}

// F00 on row 8: that row starts, plays its first tick and the song stops,
// instead of repeating the frozen tick for ever.
TEST(ModToolSongEnd, SpeedZeroStopsTheSongAfterItsRowsFirstTick) {
  ModuleBuilder b = notes(2);
  b.orders({0, 1}).fx(0, 8, 2, 0xF, 0);
  SongEnd e = song_end(b, "f00");
  ASSERT_EQ(e.rows.size(), 9u) << row_list(e.rows);
  EXPECT_EQ(e.rows.back(), "0 8");
  EXPECT_EQ(e.frames, 8 * ROW + TICK);
  // --seconds plays a song on past its repeat, but nothing plays after a stop.
  const std::string wav = temp("f00-10s.wav");
  ToolRun r = modtool("render " + temp("f00.mod") + " -o " + wav + " --seconds 10");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(wav_frames(wav), 8 * ROW + TICK);
}

// play follows the same rule: with a sound device that plays nothing, it
// ends by itself at the F00 row.
TEST(ModToolSongEnd, PlayStopsWhereRenderStops) {
  ModuleBuilder b = notes(1);
  b.orders({0}).fx(0, 3, 2, 0xF, 0);
  const std::string mod = write("playend.mod", b.build());
  ToolRun r = shell("SDL_AUDIODRIVER=dummy timeout 60 " + std::string(MODTOOL_EXE) + " play " + mod);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("playing"), std::string::npos) << r.out;
}

// ---- inputs ----------------------------------------------------------------

// Refused from their size or kind before anything is read, in bounded
// memory (256 MB of address space): an old version read /dev/zero until
// it ran out of memory.
TEST(ModToolInput, EndlessHugeAndNonFileInputsAreRefusedAtOnce) {
  const std::string sparse = temp("sparse.mod");
  ASSERT_EQ(shell("truncate -s 2G " + sparse).status, 0);
  const std::string dir = temp("folder.mod");
  mkdir(dir.c_str(), 0777);
  const std::string fifo = temp("fifo.mod");  // no writer: read as empty, never waited for
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const std::string limit = "";  // the sanitizers reserve more address space than any limit allows
#else
  const std::string limit = "ulimit -v 262144; ";
#endif
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/dev/zero", "is a device"},
      {"/dev/urandom", "is a device"},
      {dir, "is a directory"},
      {"/proc/self/status", "a file of the kernel's /proc, not a module file"},
      {fifo, "a FIFO or pipe with nothing written into it, not a module file"},
      {sparse, "2147483648 bytes, larger than any module can be"}};
  for (const auto &[path, problem] : cases) {
    ToolRun r = shell(limit + "timeout 20 " + MODTOOL_EXE + " info " + path);
    EXPECT_EQ(r.status, 2) << path << ": " << r.err;
    EXPECT_EQ(r.err.rfind("modtool: " + path + ": " + problem, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // A pipe has no size: it is read up to one byte past the largest module.
  ToolRun r = shell(limit + "cat /dev/zero | timeout 20 " + MODTOOL_EXE + " info /dev/stdin");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.err.rfind("modtool: /dev/stdin: a stream longer than any module can be", 0), 0u) << r.err;
  const std::string mod = write("piped.mod", notes(1).orders({0}).build());
  r = shell("cat " + mod + " | " + MODTOOL_EXE + " info /dev/stdin");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("M.K. (4 channels)"), std::string::npos) << r.out;
  std::remove(sparse.c_str());
  std::remove(fifo.c_str());
  rmdir(dir.c_str());
}

// ---- outputs ---------------------------------------------------------------

// A folder of its own for a test's output, emptied first.
std::string out_dir() {
  const std::string dir = temp("out");
  shell("rm -rf " + dir + " && mkdir -p " + dir);
  return dir;
}

std::string files_in(const std::string &dir) { return shell("ls -A " + dir).out; }

// A file-size limit stands in for a full disk: the write fails, the tool
// says why and exits 1, and the WAV already under the name is untouched.
TEST(ModToolOutput, AFullDiskKeepsTheEarlierWav) {
  const std::string mod = write("song.mod", notes(2).orders({0, 1}).build()), dir = out_dir();
  const std::string wav = dir + "/song.wav";
  ASSERT_EQ(modtool("render " + mod + " -o " + wav + " --seconds 0.5").status, 0);
  const std::string before = slurp(wav);
  ToolRun r = shell("ulimit -f 64; trap '' XFSZ; " + std::string(MODTOOL_EXE) + " render " + mod + " -o " + wav);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "modtool: cannot write " + wav + ": File too large\n");
  EXPECT_TRUE(slurp(wav) == before) << "the earlier WAV was changed";
  EXPECT_EQ(files_in(dir), "song.wav\n") << "an unfinished file was left behind";
  // A folder that does not exist: the reason, not a bare failure.
  r = modtool("render " + mod + " -o " + dir + "/missing/song.wav");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "modtool: cannot write " + dir + "/missing/song.wav: No such file or directory\n");
}

// The WAV header's sizes are 32-bit: 24347 s fit, 24348 s do not and are
// refused before rendering (under a 1-block size limit a render that
// started would fail with "File too large" and status 1 instead).
TEST(ModToolOutput, SecondsPastTheWavLimitAreRefusedFirst) {
  const std::string mod = write("song.mod", notes(2).orders({0, 1}).build()), dir = out_dir();
  const std::string run = "ulimit -f 1; trap '' XFSZ; " + std::string(MODTOOL_EXE) + " render " + mod + " -o " + dir + "/long.wav";
  ToolRun r = shell(run + " --seconds 24348");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("the longest is --seconds 24347"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  r = shell(run + " --seconds 1e300");
  EXPECT_EQ(r.status, 2) << r.err;
  r = shell(run + " --seconds 24347");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(files_in(dir), "");
}

// Ctrl-C (SIGINT) and SIGTERM during a long render: the unfinished file is
// removed, the earlier WAV stays, the tool says so and exits 128 + signal.
TEST(ModToolOutput, AnInterruptedRenderKeepsTheEarlierWav) {
  const std::string mod = write("song.mod", notes(2).orders({0, 1}).build()), dir = out_dir();
  const std::string wav = dir + "/song.wav";
  ASSERT_EQ(modtool("render " + mod + " -o " + wav + " --seconds 0.5").status, 0);
  const std::string before = slurp(wav);
  for (const auto &[sig, status] : {std::pair<std::string, int>{"INT", 130}, {"TERM", 143}}) {
    // Waits (at most 60 s) until the unfinished file holds a few blocks,
    // looking often: the render runs on at full speed until the signal.
    ToolRun r = shell(std::string(MODTOOL_EXE) + " render " + mod + " -o " + wav + " --seconds 20000 & pid=$!; " +
                      "for i in $(seq 3000); do [ -n \"$(find " + dir + " -name '.*part' -size +64k)\" ] && break; " +
                      "sleep 0.02; done; kill -" + sig + " $pid; wait $pid; echo $?");
    EXPECT_EQ(r.out, std::to_string(status) + "\n") << sig;
    EXPECT_NE(r.err.find(sig == "INT" ? "modtool: interrupted" : "modtool: terminated"), std::string::npos) << r.err;
    EXPECT_TRUE(slurp(wav) == before) << "the earlier WAV was changed";
    EXPECT_EQ(files_in(dir), "song.wav\n") << "an unfinished file was left behind";
  }
}

// Standard output that cannot be written is a failure, not a success.
TEST(ModToolOutput, StandardOutputErrorsAreFailures) {
  const std::string mod = write("song.mod", notes(2).orders({0, 1}).build());
  for (const std::string &args : {"info " + mod, "timeline " + mod, std::string("--help"), std::string("info --help")}) {
    ToolRun r = modtool(args + " >/dev/full");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err, "modtool: cannot write standard output: No space left on device\n") << args;
  }
}

// ---- the command line and the device ----------------------------------------

TEST(ModToolCommandLine, HelpAfterAnyCommandWord) {
  for (const char *args : {"info --help", "render x.mod --help", "timeline -h", "play --help"}) {
    ToolRun r = modtool(args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_NE(r.out.find("usage: modtool"), std::string::npos) << args;
  }
}

// No sound device: one line that says so, exit 1, and no "playing" first.
TEST(ModToolCommandLine, PlayWithoutASoundDeviceIsOneLine) {
  const std::string mod = write("song.mod", notes(2).orders({0, 1}).build());
  ToolRun r = shell("SDL_AUDIODRIVER=no-such-driver " + std::string(MODTOOL_EXE) + " play " + mod);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.rfind("modtool: no sound device", 0), 0u) << r.err;
}

}  // namespace
