// ulvenor-capture: the demo rendered offline, for recording and checking.
//
// Runs the demo's own start-up, frame code and audio callback with no window
// and no sound device, on a virtual clock: video frame k is drawn at
// now = k * 1000 / fps ms, after the music has been advanced, in 4096-frame
// callback blocks as the device asks for them, over every audio frame that
// has played by then. The output is the same bytes on every run.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "music/mzx.h"
#include "sound/dsp16.h"
#include "tools/writers/writers.h"

namespace {

constexpr int RATE = 44100;
constexpr int BLOCK = 4096;  // frames per callback block, as the demo opens the device
constexpr int WIN_W = 320, WIN_H = 240;
constexpr const char *VERSION = "ulvenor-capture 0.1.0";

struct Options {
  std::string out;
  int fps = 50;
  int scale = 1;
  int from = 0;
  int to = 3000;
  std::vector<int> shots;
  bool quiet = false;
  bool bench = false;
};

[[noreturn]] void usage_error(const char *what) {
  std::fprintf(stderr, "ulvenor-capture: %s\n", what);
  std::fprintf(stderr,
               "usage: ulvenor-capture --out DIR [--fps N] [--scale N] [--from POS] [--to POS] [--quiet]\n"
               "       ulvenor-capture --out DIR --shot POS [--shot POS ...]\n"
               "       ulvenor-capture --bench\n");
  std::exit(2);
}

void help() {
  std::printf(
      "ulvenor-capture: render the demo offline to video, sound and still pictures\n\n"
      "usage: ulvenor-capture --out DIR [--fps N] [--scale N] [--from POS] [--to POS] [--quiet]\n"
      "       ulvenor-capture --out DIR --shot POS [--shot POS ...]\n"
      "       ulvenor-capture --bench\n\n"
      "  --out DIR     write DIR/video.y4m (YUV4MPEG2, 4:4:4) and DIR/audio.wav (44100 Hz,\n"
      "                16-bit stereo), or with --shot only DIR/shot-POS.png\n"
      "  --fps N       video frames per second (default 50)\n"
      "  --scale N     enlarge the 320x240 picture N times, nearest neighbour (default 1)\n"
      "  --from POS    first music position to write (order x 100 + row, default 0)\n"
      "  --to POS      last music position to write (default 3000, the end)\n"
      "  --shot POS    write the first frame at or after POS as DIR/shot-POS.png\n"
      "  --quiet       no progress on standard error\n"
      "  --bench       draw the whole demo as fast as possible and print the cost per scene\n"
      "  --help, --version\n\n"
      "example: ulvenor-capture --out cap --scale 3 && ffmpeg -i cap/video.y4m -i cap/audio.wav out.mkv\n");
}

int number(const char *s, int lo, int hi, const char *what) {
  char *end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (!*s || *end || v < lo || v > hi) usage_error((std::string("bad value for ") + what + ": " + s).c_str());
  return int(v);
}

Options parse(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&](const char *what) -> const char * {
      if (i + 1 >= argc) usage_error((std::string(what) + " needs a value").c_str());
      return argv[++i];
    };
    if (a == "--help") {
      help();
      std::exit(0);
    } else if (a == "--version") {
      std::printf("%s\n", VERSION);
      std::exit(0);
    } else if (a == "--out") {
      o.out = value("--out");
    } else if (a == "--fps") {
      o.fps = number(value("--fps"), 1, 1000, "--fps");
    } else if (a == "--scale") {
      o.scale = number(value("--scale"), 1, 16, "--scale");
    } else if (a == "--from") {
      o.from = number(value("--from"), 0, 3199, "--from");
    } else if (a == "--to") {
      o.to = number(value("--to"), 0, 3199, "--to");
    } else if (a == "--shot") {
      o.shots.push_back(number(value("--shot"), 0, 3199, "--shot"));
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--bench") {
      o.bench = true;
    } else {
      usage_error(("unknown argument: " + a).c_str());
    }
  }
  if (!o.bench && o.out.empty()) usage_error("--out DIR is required");
  if (o.from > o.to) usage_error("--from is after --to");
  std::sort(o.shots.begin(), o.shots.end());
  return o;
}

// The music, advanced by the virtual clock: `produced` frames have been
// handed out in whole callback blocks; all of them are kept for the WAV.
struct Music {
  std::vector<uint8_t> pcm;  // 16-bit stereo little-endian, reserved once
  int64_t produced = 0;
  bool keep = true;

  void advance_to(int64_t played) {
    static uint8_t block[BLOCK * 4];
    while (produced <= played) {
      mix_newhand(nullptr, block, int(sizeof block));
      if (keep) pcm.insert(pcm.end(), block, block + sizeof block);
      produced += BLOCK;
    }
  }
};

void startup() {
  demo_reset();
  scr = SDL_CreateRGBSurface(SDL_SWSURFACE, WIN_W, WIN_H, 16, 0xF800, 0x07E0, 0x001F, 0);
  if (!scr) {
    std::fprintf(stderr, "ulvenor-capture: cannot make a surface: %s\n", SDL_GetError());
    std::exit(1);
  }
  std::memset(scr->pixels, 0, size_t(scr->pitch) * WIN_H);
  mzx_init_offline(RATE, BLOCK);
  if (!mzx_get(nothing)) {
    // Without music the position never moves and the run would not end.
    std::fprintf(stderr, "ulvenor-capture: the embedded module does not load\n");
    std::exit(1);
  }
  demo_startup_effects();
  demo_convert_models();
  mzx_start(54);
  map_palette(pal_black);
}

// The window's contents as 8-bit RGB, each 5- or 6-bit channel widened by
// repeating its top bits.
void window_rgb(std::vector<uint8_t> &rgb) {
  rgb.resize(size_t(WIN_W) * WIN_H * 3);
  for (int y = 0; y < WIN_H; y++) {
    const uint16_t *row = reinterpret_cast<const uint16_t *>(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch);
    for (int x = 0; x < WIN_W; x++) {
      const uint16_t p = row[x];
      const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
      uint8_t *o = &rgb[(size_t(y) * WIN_W + x) * 3];
      o[0] = uint8_t((r << 3) | (r >> 2));
      o[1] = uint8_t((g << 2) | (g >> 4));
      o[2] = uint8_t((b << 3) | (b >> 2));
    }
  }
}

// Scenes as the timeline selects them, for the bench's report.
struct Scene {
  const char *name;
  int first, last;
};
const Scene scenes[] = {
    {"intro strip", 0, 231},      {"title", 232, 299},           {"skull", 300, 699},
    {"spinning models", 700, 1099}, {"worm strip", 1100, 1299},  {"gargoyle", 1300, 1799},
    {"letter wave", 1800, 1999},  {"halftone", 2000, 2199},      {"portraits", 2200, 2399},
    {"church animation", 2400, 2499}, {"greetings", 2500, 2799}, {"outro strip", 2800, 2999},
    {"end frame", 3000, 1 << 30},
};
constexpr int NSCENES = int(sizeof scenes / sizeof scenes[0]);

int scene_of(int32_t pos) {
  for (int i = 0; i < NSCENES; i++)
    if (pos <= scenes[i].last) return i;
  return NSCENES - 1;
}

int bench(const Options &o) {
  using clock = std::chrono::steady_clock;
  Music music;
  music.keep = false;
  double sum[NSCENES] = {}, worst[NSCENES] = {};
  long count[NSCENES] = {};
  double present_sum = 0;
  long frames = 0;
  const auto t_start = clock::now();
  for (int64_t k = 0;; k++) {
    const int32_t now = int32_t(k * 1000 / o.fps);
    music.advance_to(int64_t(now) * RATE / 1000);
    const int32_t pos = mzx_position();
    const auto t0 = clock::now();
    uint8_t *out = demo_frame(pos, now);
    const auto t1 = clock::now();
    convert_frame(out, static_cast<uint8_t *>(scr->pixels), scr->pitch);
    const auto t2 = clock::now();
    const double us = std::chrono::duration<double, std::micro>(t1 - t0).count();
    const int s = scene_of(pos);
    sum[s] += us;
    worst[s] = std::max(worst[s], us);
    count[s]++;
    present_sum += std::chrono::duration<double, std::micro>(t2 - t1).count();
    frames++;
    if (demo_done(pos, 0)) break;
  }
  const double total = std::chrono::duration<double>(clock::now() - t_start).count();
  std::printf("%-18s %8s %10s %10s\n", "scene", "frames", "mean us", "worst us");
  for (int i = 0; i < NSCENES; i++)
    if (count[i]) std::printf("%-18s %8ld %10.1f %10.1f\n", scenes[i].name, count[i], sum[i] / count[i], worst[i]);
  std::printf("%-18s %8ld %10.1f\n", "present (8 to 16)", frames, present_sum / frames);
  std::printf("overall: %ld frames in %.2f s, %.0f frames per second (music included)\n", frames, total,
              frames / total);
  return 0;
}

int capture(const Options &o) {
  const bool video = o.shots.empty();
  tw_file y4m;
  if (video) tw_y4m_open(y4m, o.out + "/video.y4m", WIN_W * o.scale, WIN_H * o.scale, o.fps);
  Music music;
  music.keep = video;
  if (video) music.pcm.reserve(size_t(240) * RATE * 4);
  std::vector<uint8_t> rgb, planes;
  size_t next_shot = 0;
  int64_t first_ms = -1, end_ms = 0;
  const auto t_start = std::chrono::steady_clock::now();
  int last_report = -1;
  int32_t last_pos = 0;
  for (int64_t k = 0;; k++) {
    const int32_t now = int32_t(k * 1000 / o.fps);
    music.advance_to(int64_t(now) * RATE / 1000);
    const int32_t pos = mzx_position();
    last_pos = pos;
    uint8_t *out = demo_frame(pos, now);
    convert_frame(out, static_cast<uint8_t *>(scr->pixels), scr->pitch);
    if (video && pos >= o.from && pos <= o.to) {
      window_rgb(rgb);
      tw_y4m_frame(y4m, rgb.data(), WIN_W, WIN_H, o.scale, planes);
      if (first_ms < 0) first_ms = now;
      end_ms = (k + 1) * 1000 / o.fps;
    }
    bool shot = false;
    while (next_shot < o.shots.size() && pos >= o.shots[next_shot]) {
      if (!shot) window_rgb(rgb);
      shot = true;
      const std::string path = o.out + "/shot-" + std::to_string(o.shots[next_shot]) + ".png";
      tw_png(path, WIN_W, WIN_H, 3, rgb.data());
      next_shot++;
    }
    if (!o.quiet && now / 1000 != last_report) {
      last_report = now / 1000;
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t_start).count();
      std::fprintf(stderr, "\rposition %4d  %6.0f frames/s", pos, s > 0 ? (k + 1) / s : 0.0);
    }
    if (demo_done(pos, 0)) break;
    if (video ? pos > o.to : next_shot == o.shots.size()) break;
  }
  if (!o.quiet) std::fprintf(stderr, "\n");
  if (next_shot < o.shots.size()) {
    // The run ends with the first frame at 3000 or more; no frame is drawn
    // at a later position.
    std::fprintf(stderr, "ulvenor-capture: the demo ends at position %d, before --shot %d\n", int(last_pos),
                 o.shots[next_shot]);
    return 1;
  }
  if (video) {
    if (first_ms < 0) first_ms = end_ms = 0;
    // The sound of the frames written: from the first frame's time to the
    // end of the last frame's time.
    size_t a = size_t(first_ms * RATE / 1000) * 4, b = size_t(end_ms * RATE / 1000) * 4;
    b = std::min(b, music.pcm.size());
    a = std::min(a, b);
    tw_file wav;
    tw_wav_open(wav, o.out + "/audio.wav", RATE, (b - a) / 4);
    tw_write(wav, music.pcm.data() + a, b - a);
    tw_commit({&y4m, &wav});
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  tw_program("ulvenor-capture");
  tw_catch_signals();
  const Options o = parse(argc, argv);
  startup();
  return o.bench ? bench(o) : capture(o);
}
