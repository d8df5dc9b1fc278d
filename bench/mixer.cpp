// Rendering speed of the demo's replayer and mixer against libxmp and
// libopenmpt (both at linear interpolation), on one synthetic four-channel
// song of about 77 seconds: a looped bass, a looped lead with volume and
// period slides, one-shot drums and a looped pad with tremolo, every
// channel busy. Each engine renders the whole song to memory per iteration,
// loading included; the counters give output frames per second and the
// real-time factor (seconds of music per second of CPU time of the
// benchmark thread).
//
// The engine's run also labels itself with a checksum of its output, so a
// change to the mixer's loops can be shown to leave every sample unchanged.
//
// With --real_mods=DIR (bench/real-mods.sh fills such a folder with
// four-channel modules from Debian's game data packages) it then renders
// the first 60 s of every "M.K." module in DIR with the engine and with
// libxmp, each three times alternately, and prints the speed of each
// (best of three, CPU time of this thread) and the engine's factor over
// libxmp per song, with the median.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "refplayers/modbuild.h"
#include "refplayers/players.h"

namespace {

using namespace refplay;

constexpr int kPatterns = 10;
constexpr size_t kSongFrames = size_t(kPatterns) * 64 * 6 * 882;  // speed 6, tempo 125

// Drum hit: a pitch-dropping sine (kick) or filtered noise (snare, hat),
// one-shot, `len` bytes, starting with two zero bytes.
std::vector<int8_t> drum(int len, double start_cycles, double drop, double noise, uint32_t state) {
  std::vector<int8_t> d(size_t(len), 0);
  double phase = 0, lp = 0;
  for (int i = 2; i < len; ++i) {
    double t = double(i - 2) / len;
    phase += start_cycles * std::exp(-drop * t) / len;
    state = state * 1664525u + 1013904223u;
    double n = (int((state >> 16) & 255) - 128) / 128.0;
    lp += 0.5 * (n - lp);
    double v = (1 - noise) * std::sin(2 * M_PI * phase) + noise * (n - lp);
    d[size_t(i)] = int8_t(std::lround(std::clamp(120 * std::exp(-5 * t) * v, -127.0, 127.0)));
  }
  return d;
}

// Ten patterns of a four-channel song. Channel 0: bass line on a looped
// sample, notes on every other row. Channel 1: lead melody with slides.
// Channel 2: kick, snare and hat (one-shots). Channel 3: looped pad chords
// with tremolo and volume changes.
std::vector<uint8_t> song() {
  ModBuilder b;
  b.sample(1, sine_wave(2048, 8, 110), 64, 2, 2046)          // bass
      .sample(2, pluck(1024, 8, 0, 5), 48, 2, 1022)          // lead buzz, looped
      .sample(3, drum(6000, 400, 3, 0.1, 9), 64)              // kick
      .sample(4, drum(5000, 900, 1, 0.7, 21), 56)             // snare
      .sample(5, drum(1800, 3000, 0, 0.95, 33), 40)           // hat
      .sample(6, sine_wave(4096, 24, 90), 44, 1024, 3072);   // pad, loop inside the sample
  std::vector<uint8_t> order;
  const int bass[8] = {0, 0, 7, 5, 3, 3, 10, 7};
  const int lead[16] = {24, 27, 29, 31, 29, 27, 24, 22, 24, 27, 31, 34, 32, 31, 29, 27};
  for (int p = 0; p < kPatterns; ++p) {
    order.push_back(uint8_t(p));
    for (int r = 0; r < 64; ++r) {
      int bar = r / 8;
      if (r % 2 == 0) b.cell(p, r, 0, 1, period(bass[(bar + p) % 8] + (r % 8 == 4 ? 12 : 0)), 0xC, 40 + (r % 4) * 8);
      if (r % 4 == 0)
        b.cell(p, r, 1, 2, period(lead[(r / 4 + p) % 16] - 12), 0xA, 0x01);
      else if (r % 4 == 2)
        b.fx(p, r, 1, (p + r) % 3 == 0 ? 0x1 : 0x2, 1 + (r % 3));
      else
        b.fx(p, r, 1, 0xA, 0x10);
      if (r % 8 == 0) b.cell(p, r, 2, 3, period(2));
      else if (r % 8 == 4) b.cell(p, r, 2, 4, period(12));
      else if (r % 2 == 0) b.cell(p, r, 2, 5, period(30), 0xC, 20 + 8 * (r % 3));
      if (r % 16 == 0) b.cell(p, r, 3, 6, period(12 + bass[(bar + p) % 8]), 0x7, 0x34);
      else if (r % 16 == 8) b.cell(p, r, 3, 6, period(16 + bass[(bar + p) % 8]), 0xC, 36);
      else b.fx(p, r, 3, 0x7, 0x00);
    }
  }
  b.orders(order);
  return b.build();
}

const std::vector<uint8_t> &song_bytes() {
  static const std::vector<uint8_t> bytes = song();
  return bytes;
}

void set_counters(benchmark::State &state, size_t frames_per_iteration) {
  double frames = double(frames_per_iteration) * double(state.iterations());
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["realtime_x"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// FNV-1a over the output bytes.
uint64_t checksum(const int16_t *pcm, size_t samples) {
  uint64_t h = 1469598103934665603ull;
  const uint8_t *p = reinterpret_cast<const uint8_t *>(pcm);
  for (size_t i = 0; i < samples * 2; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

void BM_Ours(benchmark::State &state) {
  const size_t blocks = (kSongFrames + kBlock - 1) / kBlock;
  std::vector<int16_t> out(blocks * kBlock * 2);
  std::vector<uint8_t> image;
  for (auto _ : state) {
    image = song_bytes();  // the loader converts the patterns in place
    image.push_back(0);    // the interpolating read looks one byte past the last sample
    if (!engine_start(image)) {
      state.SkipWithError("the engine refused the module");
      return;
    }
    for (size_t b = 0; b < blocks; ++b) engine_block(&out[b * kBlock * 2]);
    engine_stop();
    benchmark::DoNotOptimize(out.data());
  }
  set_counters(state, blocks * kBlock);
  char label[40];
  std::snprintf(label, sizeof label, "fnv %016llx", (unsigned long long)checksum(out.data(), kSongFrames * 2));
  state.SetLabel(label);
}
BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond);

void BM_Libxmp(benchmark::State &state) {
  std::vector<uint8_t> bytes = song_bytes();
  std::vector<int16_t> out(kBlock * 2);
  size_t frames = 0;
  for (auto _ : state) {
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())) != 0) {
      xmp_free_context(ctx);
      state.SkipWithError("libxmp refused the module");
      return;
    }
    xmp_start_player(ctx, kRate, 0);
    xmp_set_player(ctx, XMP_PLAYER_MODE, XMP_MODE_PROTRACKER);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    xmp_set_player(ctx, XMP_PLAYER_DSP, 0);
    frames = 0;
    while (frames < kSongFrames) {
      xmp_play_buffer(ctx, out.data(), kBlock * 4, 0);
      benchmark::DoNotOptimize(out.data());
      frames += kBlock;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
  }
  set_counters(state, frames);
}
BENCHMARK(BM_Libxmp)->Unit(benchmark::kMillisecond);

void BM_Libopenmpt(benchmark::State &state) {
  const std::vector<uint8_t> &bytes = song_bytes();
  std::vector<int16_t> out(kBlock * 2);
  size_t frames = 0;
  for (auto _ : state) {
    openmpt::module mod(bytes);
    openmpt_plain(mod);
    mod.set_repeat_count(-1);
    frames = 0;
    while (frames < kSongFrames) {
      size_t n = mod.read_interleaved_stereo(kRate, kBlock, out.data());
      benchmark::DoNotOptimize(out.data());
      if (n == 0) break;
      frames += n;
    }
  }
  set_counters(state, frames);
}
BENCHMARK(BM_Libopenmpt)->Unit(benchmark::kMillisecond);

// ---- real songs ----

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

constexpr size_t kRealFrames = size_t(60) * kRate;

// CPU seconds for the engine to render kRealFrames of `bytes`; negative when
// the loader refuses the module.
double time_ours(const std::vector<uint8_t> &bytes, std::vector<int16_t> &out) {
  std::vector<uint8_t> image = bytes;
  image.push_back(0);  // the interpolating read looks one byte past the last sample
  const double t0 = thread_seconds();
  if (!engine_start(image)) return -1;
  for (size_t b = 0; b * kBlock < kRealFrames; ++b) engine_block(out.data());
  engine_stop();
  benchmark::DoNotOptimize(out.data());
  return thread_seconds() - t0;
}

// The same for libxmp at linear interpolation in ProTracker mode; a song
// that ends early is played again from its start, as the engine does.
double time_xmp(const std::vector<uint8_t> &bytes, std::vector<int16_t> &out) {
  const double t0 = thread_seconds();
  xmp_context ctx = xmp_create_context();
  if (xmp_load_module_from_memory(ctx, const_cast<uint8_t *>(bytes.data()), long(bytes.size())) != 0) {
    xmp_free_context(ctx);
    return -1;
  }
  xmp_start_player(ctx, kRate, 0);
  xmp_set_player(ctx, XMP_PLAYER_MODE, XMP_MODE_PROTRACKER);
  xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
  xmp_set_player(ctx, XMP_PLAYER_DSP, 0);
  for (size_t b = 0; b * kBlock < kRealFrames; ++b) {
    xmp_play_buffer(ctx, out.data(), kBlock * 4, 0);
    benchmark::DoNotOptimize(out.data());
  }
  xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  return thread_seconds() - t0;
}

std::vector<std::string> mk_modules(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  for (const std::string &n : names) {
    std::ifstream f(dir + "/" + n, std::ios::binary);
    char tag[4] = {};
    if (f.seekg(1080) && f.read(tag, 4) && std::memcmp(tag, "M.K.", 4) == 0) paths.push_back(dir + "/" + n);
  }
  return paths;
}

int real_songs(const std::string &dir) {
  const std::vector<std::string> paths = mk_modules(dir);
  if (paths.empty()) {
    std::fprintf(stderr, "bench_mixer: no M.K. modules in %s\n", dir.c_str());
    return 1;
  }
  std::vector<int16_t> out(kBlock * 2);
  std::vector<double> factors;
  std::printf("\n%-48s %10s %10s %8s\n", "song (first 60 s)", "engine x", "libxmp x", "factor");
  for (const std::string &path : paths) {
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
    double ours = 1e9, xmp = 1e9;
    for (int round = 0; round < 3; ++round) {
      ours = std::min(ours, time_ours(bytes, out));
      xmp = std::min(xmp, time_xmp(bytes, out));
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    if (ours < 0 || xmp < 0) {
      std::printf("%-48s refused by %s\n", name.c_str(), ours < 0 ? "the engine" : "libxmp");
      continue;
    }
    factors.push_back(xmp / ours);
    std::printf("%-48s %10.0f %10.0f %8.2f\n", name.c_str(), 60 / ours, 60 / xmp, xmp / ours);
  }
  if (factors.empty()) return 1;
  std::sort(factors.begin(), factors.end());
  const size_t n = factors.size();
  const double median = n % 2 ? factors[n / 2] : (factors[n / 2 - 1] + factors[n / 2]) / 2;
  std::printf("%zu songs: engine over libxmp median %.2f, lowest %.2f, highest %.2f\n", n, median, factors[0],
              factors[n - 1]);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::string mods;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--real_mods=", 12) == 0) {
      mods = argv[i] + 12;
      std::copy(argv + i + 1, argv + argc, argv + i);
      --argc;
      break;
    }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return mods.empty() ? 0 : real_songs(mods);
}
