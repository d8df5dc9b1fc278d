#include "rig.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/module_builder.h"
#include "replayer/pt.h"
#include "sound/sd.h"

std::vector<SdCall> sd_log;

namespace {

int selected;

void rec(const char *op, int64_t v) { sd_log.push_back({op, selected, v}); }

// pt_defaultpan and pt_glissando outlive pt_init; each test starts from
// the program's initial state.
struct InitialState {
  uint8_t pan[32];
  InitialState() { std::memcpy(pan, pt_defaultpan, sizeof pan); }
} initial;

int sample_words(const TestModule &m, int k) {
  const uint8_t *h = &m.image[20 + 30 * (k - 1) + 22];
  return h[0] << 8 | h[1];
}

}  // namespace

TestModule make_module(int patterns, int channels, const char *tag) {
  TestModule m;
  m.channels = channels;
  m.image.assign(modimage::kPatternsAt + size_t(patterns) * channels * 256, 0);
  std::memcpy(&m.image[modimage::kTagAt], tag, 4);
  m.image[950] = 1;
  for (int p = 0; p < patterns; ++p) m.image[modimage::kOrdersAt + p] = uint8_t(p);
  set_sample(m, 1, 4, 0, 64);
  return m;
}

void set_cell(TestModule &m, int pattern, int row, int ch, int sample, int period, int cmd,
              int param) {
  modimage::put_cell(&m.image[modimage::cell_at(m.channels, pattern, row, ch)], sample, period, cmd, param);
}

void set_sample(TestModule &m, int k, int words, int finetune, int volume, int loop_start,
                int loop_len) {
  modimage::put_sample(m.image.data(), k, unsigned(words), finetune, volume, unsigned(loop_start),
                       unsigned(loop_len));
}

void set_order(TestModule &m, std::vector<int> entries, int restart) {
  m.image[950] = uint8_t(entries.size());
  m.image[951] = uint8_t(restart);
  for (size_t i = 0; i < entries.size(); ++i) m.image[modimage::kOrdersAt + i] = uint8_t(entries[i]);
}

uint8_t *finish(TestModule &m) {
  for (int k = 1; k < 32; ++k) m.image.insert(m.image.end(), size_t(sample_words(m, k)) * 2, uint8_t(k));
  return m.image.data();
}

void sd_record() {
  sd_log.clear();
  selected = -1;
  sd_init = [](int r, int) { rec("init", r); };
  sd_start = [] { rec("start", 0); };
  sd_stop = [] { rec("stop", 0); };
  sd_shutdown = [] { rec("shutdown", 0); };
  sd_secondhand = [] { rec("secondhand", 0); };
  sd_getsample = [](int slot, const int8_t *, int len, int ls, int le, int loop) {
    sd_log.push_back({"getsample " + std::to_string(ls) + " " + std::to_string(le) + " " +
                          std::to_string(loop),
                      slot, len});
    return 1;
  };
  sd_setactivechannels = [](int n) { rec("active", n); };
  sd_setmainvolume = [](int v) { rec("mainvol", v); };
  sd_selectchannel = [](int c) {
    selected = c;
    rec("sel", c);
  };
  sd_setsample = [](int s) { rec("smp", s); };
  sd_setvolume = [](int v) { rec("vol", v); };
  sd_setpanning = [](int p) { rec("pan", p); };
  sd_setamigaperiod = [](int p) {
    rec("per", p);
    return 1;
  };
  sd_setoffset = [](uint32_t o) {
    rec("ofs", o);
    return 1;
  };
}

void start(TestModule &m) {
  std::memcpy(pt_defaultpan, initial.pan, sizeof pt_defaultpan);
  std::memset(pt_glissando, 0, sizeof pt_glissando);
  uint8_t *image = finish(m);
  sd_record();
  ASSERT_EQ(pt_takemod(image), 1);
  pt_init();
}

void tick() {
  sd_log.clear();
  pt_play();
}

void ticks(int n) {
  for (int i = 0; i < n; ++i) tick();
}

std::vector<int64_t> sent(const std::string &op, int ch) {
  std::vector<int64_t> out;
  for (const SdCall &c : sd_log)
    if (c.op == op && c.ch == ch) out.push_back(c.v);
  return out;
}

int64_t last(const std::string &op, int ch) {
  std::vector<int64_t> v = sent(op, ch);
  return v.empty() ? -1 : v.back();
}

int position() {
  return pt_songpos.load(std::memory_order_relaxed) * 100 +
         int32_t(pt_rowcount.load(std::memory_order_relaxed));
}
