// Test rig for the replayer: an in-memory module builder and a recording
// stand-in for the sd_ operation table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A raw module image: header, patterns, then sample k's data (words x 2
// bytes of value k) for every non-empty sample, in order.
struct TestModule {
  std::vector<uint8_t> image;
  int channels = 4;
};

// One pattern per order entry 0..patterns-1 is stored (song length 1,
// order all 0 unless set_order says otherwise). Sample 1 is 4 words long,
// volume 64, finetune 0, no loop; the other samples are empty.
TestModule make_module(int patterns = 1, int channels = 4, const char *tag = "M.K.");
// Raw cell: period 0 for no note, param as in the tracker ("0x37").
void set_cell(TestModule &m, int pattern, int row, int ch, int sample, int period, int cmd,
              int param);
// Sample header k; lengths in words. Call before load().
void set_sample(TestModule &m, int k, int words, int finetune, int volume, int loop_start = 0,
                int loop_len = 0);
// Song length = entries, order list = entries; the rest of the order stays 0.
void set_order(TestModule &m, std::vector<int> entries, int restart = 0);
// Appends the sample data and returns the image to load (kept in m).
uint8_t *finish(TestModule &m);

// One recorded device call, tagged with the channel selected at the time.
struct SdCall {
  std::string op;
  int ch;
  int64_t v;
  bool operator==(const SdCall &) const = default;
};
extern std::vector<SdCall> sd_log;
// Fills all fourteen sd_ pointers with recorders and clears the log.
void sd_record();

// finish + record + pt_takemod + pt_init; fails the test if loading fails.
void start(TestModule &m);
// One pt_play; the log holds only its calls.
void tick();
// Runs n ticks.
void ticks(int n);
// Values of op sent to channel ch in the log, in order.
std::vector<int64_t> sent(const std::string &op, int ch = 0);
// Last value of op sent to ch, or -1 when none was sent.
int64_t last(const std::string &op, int ch = 0);
// Song position x 100 + row, as the front-end reads it.
int position();
