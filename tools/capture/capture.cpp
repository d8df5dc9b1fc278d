// ulvenor-capture: the demo rendered offline, for recording and checking.
//
// Runs the demo's own start-up, frame code and audio callback with no window
// and no sound device, on a virtual clock: video frame k is drawn at
// now = k * 1000 / fps ms, after the music has been advanced, in 4096-frame
// callback blocks as the device asks for them, over every audio frame that
// has played by then. The output is the same bytes on every run.
//
// With --video the picture and sound are encoded as they are made into one
// file (encoder.h) instead.
//
// Every option is checked before the first frame is drawn, and the
// destination's free space against an estimate of the output; the files
// are written under temporary names and renamed into place together at
// the end, so a failed or interrupted run leaves an earlier capture as it
// was.
#include <SDL.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "driver/demo.h"
#include "driver/timeline.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "tools/capture/hashes.h"
#include "tools/writers/writers.h"
#ifdef ULV_VIDEO
#include "tools/capture/encoder.h"
#endif

namespace {

constexpr int RATE = MZX_RATE;
constexpr int BLOCK = MZX_BLOCK;
constexpr int WIN_W = 320, WIN_H = 240;
constexpr const char *VERSION = "ulvenor-capture 0.1.0";
// The last frame is the first at or after this position.
const int32_t END_POS = scene_table[SCENE_END].first;

struct Options {
  std::string out;
  std::string video;  // --video FILE
  int fps = 50;  // 60 with --video
  int scale = 1;  // 3 with --video
  bool fps_given = false, scale_given = false;
  bool lossless = false;
  int from = 0;
  int to = END_POS;
  bool from_given = false, to_given = false;
  std::vector<int> shots;
  bool quiet = false;
  bool bench = false;
  std::string hashes;  // --hashes FILE
};

[[noreturn]] void usage_error(const std::string &what) {
  std::fprintf(stderr, "ulvenor-capture: %s\n", what.c_str());
  std::fprintf(stderr,
               "usage: ulvenor-capture --video FILE [--scale N] [--fps N] [--from POS] [--to POS] [--lossless] [--quiet] [--bench]\n"
               "       ulvenor-capture --out DIR [--fps N] [--scale N] [--from POS] [--to POS] [--quiet]\n"
               "       ulvenor-capture --out DIR [--scale N] --shot POS [--shot POS ...]\n"
               "       ulvenor-capture --bench [--fps N] [--out DIR --shot POS ...]\n"
               "       ulvenor-capture --hashes FILE [--fps N]\n");
  std::exit(2);
}

void help() {
  std::printf(
      "ulvenor-capture: render the demo offline to video, sound and still pictures\n\n"
      "usage: ulvenor-capture --video FILE [--scale N] [--fps N] [--from POS] [--to POS] [--lossless] [--quiet] [--bench]\n"
      "       ulvenor-capture --out DIR [--fps N] [--scale N] [--from POS] [--to POS] [--quiet]\n"
      "       ulvenor-capture --out DIR [--scale N] --shot POS [--shot POS ...]\n"
      "       ulvenor-capture --bench [--fps N] [--out DIR --shot POS ...]\n"
      "       ulvenor-capture --hashes FILE [--fps N]\n\n"
      "  --video FILE  encode picture and sound into FILE as they are made; its extension\n"
      "                chooses .mp4 (H.264 + AAC), .mkv (H.264 + FLAC) or .webm (VP9 + Opus),\n"
      "                4:2:0 at constant quality; --scale 3 and --fps 60 unless given;\n"
      "                a progress line on a terminal; with --bench, where the time went;\n"
      "                a FIFO or device is written into as it is made (an .mp4 fragmented)\n"
      "  --lossless    with --video FILE.mkv: H.264 4:4:4 at qp 0 and FLAC, which decode\n"
      "                to exactly the frames and samples that --out writes\n"
      "  --out DIR     write DIR/video.y4m (YUV4MPEG2, 4:4:4) and DIR/audio.wav (44100 Hz,\n"
      "                16-bit stereo), or with --shot only DIR/shot-POS.png; DIR is\n"
      "                created when missing, earlier files are replaced only when\n"
      "                the new ones are complete\n"
      "  --fps N       video frames per second (default 50, 60 with --video)\n"
      "  --scale N     enlarge the 320x240 picture N times, nearest neighbour (default 1,\n"
      "                3 with --video)\n"
      "  --from POS    first music position to write (order x 100 + row, rows 0..63, default 0)\n"
      "  --to POS      last music position to write (default %d, the end)\n"
      "  --shot POS    write the first frame at or after POS as DIR/shot-POS.png\n"
      "  --quiet       no size estimate or progress on standard error\n"
      "  --bench       draw the whole demo as fast as possible and print the cost per scene;\n"
      "                with --shot, also write those stills (not timed)\n"
      "  --hashes FILE write to FILE a 64-bit FNV-1a hash of every sound block (\"a K HASH\",\n"
      "                4096 frames) and of every video frame (\"f K POS HASH\", 320x240 RGB)\n"
      "                of the whole demo, in the order they are made; nothing else\n"
      "  --help, --version\n\n"
      "example: ulvenor-capture --video ulvenor.mp4\n"
      "example: ulvenor-capture --out cap --scale 3 && ffmpeg -i cap/video.y4m -i cap/audio.wav out.mkv\n",
      int(END_POS));
}

int number(const char *s, int lo, int hi, const char *what) {
  char *end = nullptr;
  errno = 0;
  long v = std::strtol(s, &end, 10);
  if (!*s || *end || errno || v < lo || v > hi) usage_error(std::string("bad value for ") + what + ": " + s);
  return int(v);
}

// ---- options -------------------------------------------------------------

// True when [from, to] holds a position that exists: row 0..63 of an order.
bool holds_a_row(int from, int to) {
  const int first = from % 100 < 64 ? from : (from / 100 + 1) * 100;
  return first <= to;
}

void check_ranges(const Options &o) {
  const std::string end = std::to_string(END_POS);
  if (o.from > END_POS) usage_error("--from " + std::to_string(o.from) + " is past the demo's end at position " + end);
  if (o.to > END_POS) usage_error("--to " + std::to_string(o.to) + " is past the demo's end at position " + end);
  if (o.from > o.to)
    usage_error("--from " + std::to_string(o.from) + " is after --to " + std::to_string(o.to));
  if (!holds_a_row(o.from, o.to))
    usage_error("--from " + std::to_string(o.from) + " --to " + std::to_string(o.to) +
                " holds no music position (rows run from 0 to 63)");
  for (int s : o.shots)
    if (s > END_POS) usage_error("--shot " + std::to_string(s) + " is past the demo's end at position " + end);
  if (!o.shots.empty() && (o.from_given || o.to_given)) usage_error("--from and --to choose the video's range, not --shot's");
}

Options parse(int argc, char **argv) {
  Options o;
  std::set<std::string> seen;  // options given so far: each but --shot may come once
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a != "--shot" && a.size() > 1 && a[0] == '-' && !seen.insert(a).second) usage_error(a + " given twice");
    auto value = [&](const char *what) -> const char * {
      if (i + 1 >= argc) usage_error(std::string(what) + " needs a value");
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
    } else if (a == "--video") {
      o.video = value("--video");
      if (o.video.empty()) usage_error("--video needs a file name");
    } else if (a == "--lossless") {
      o.lossless = true;
    } else if (a == "--fps") {
      o.fps = number(value("--fps"), 1, 1000, "--fps");
      o.fps_given = true;
    } else if (a == "--scale") {
      o.scale = number(value("--scale"), 1, 16, "--scale");
      o.scale_given = true;
    } else if (a == "--from") {
      o.from = number(value("--from"), 0, 99999, "--from");
      o.from_given = true;
    } else if (a == "--to") {
      o.to = number(value("--to"), 0, 99999, "--to");
      o.to_given = true;
    } else if (a == "--shot") {
      o.shots.push_back(number(value("--shot"), 0, 99999, "--shot"));
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--bench") {
      o.bench = true;
    } else if (a == "--hashes") {
      o.hashes = value("--hashes");
    } else {
      usage_error("unknown argument: " + a);
    }
  }
  if (!o.hashes.empty()) {
    if (!o.out.empty() || !o.video.empty() || o.bench || !o.shots.empty() || o.from_given || o.to_given ||
        o.scale != 1 || o.lossless)
      usage_error("--hashes takes only --fps");
    return o;
  }
  if (!o.video.empty()) {
    if (!o.out.empty()) usage_error("--video FILE and --out DIR are two ways to record: give one");
    if (!o.shots.empty()) usage_error("--shot writes stills into --out DIR, not --video");
    if (!o.fps_given) o.fps = 60;
    if (!o.scale_given) o.scale = 3;
  } else {
    if (o.lossless) usage_error("--lossless is for --video FILE");
    if (o.out.empty() && (!o.bench || !o.shots.empty())) usage_error("--out DIR is required");
    if (o.bench && !o.out.empty() && o.shots.empty()) usage_error("--bench writes only stills: --out needs --shot");
  }
  check_ranges(o);
  std::sort(o.shots.begin(), o.shots.end());
  o.shots.erase(std::unique(o.shots.begin(), o.shots.end()), o.shots.end());
  return o;
}

// ---- the destination -------------------------------------------------------

// Creates `dir` and its missing parents, as mkdir -p does.
void make_folder(const std::string &dir) {
  for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
    const std::string part = dir.substr(0, at);
    struct stat st;
    if (stat(part.c_str(), &st) != 0 && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "ulvenor-capture: cannot create %s: %s\n", part.c_str(), std::strerror(errno));
      std::exit(1);
    }
    if (at == std::string::npos) break;
  }
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "ulvenor-capture: cannot write into %s: %s\n", dir.c_str(), std::strerror(ENOTDIR));
    std::exit(1);
  }
}

// Speed (ticks per row) and tempo (BPM) set on the song's first row, or the
// defaults 6 and 125: the estimate assumes they hold for the whole song.
double row_seconds() {
  int speed = 6, tempo = 125;
  const pt_cell *row = pt_patterns[pt_order[0]];
  for (int c = 0; row && c < pt_channels; c++)
    if (row[c].command == 15 && row[c].param != 0) (row[c].param < 32 ? speed : tempo) = row[c].param;
  return speed * 2.5 / tempo;
}

// Seconds of music in the positions from..to.
double range_seconds(const Options &o) {
  int rows = 0;
  for (int p = o.from; p <= o.to; p++) rows += p % 100 < 64;
  return rows * row_seconds();
}

// Video frames in the positions from..to, at most one too many.
uint64_t estimate_frames(const Options &o) { return uint64_t(std::ceil(range_seconds(o) * o.fps)) + 1; }

// Bytes of video and sound for the positions from..to.
uint64_t estimate_bytes(const Options &o) {
  const double seconds = range_seconds(o);
  const uint64_t frames = estimate_frames(o);
  const uint64_t video = 64 + frames * tw_y4m_frame_bytes(WIN_W * o.scale, WIN_H * o.scale);
  return video + 44 + uint64_t(std::ceil(seconds)) * RATE * 4;
}

std::string size_text(uint64_t bytes) {
  char s[32];
  if (bytes >= 1000000000)
    std::snprintf(s, sizeof s, "%.1f GB", double(bytes) / 1e9);
  else
    std::snprintf(s, sizeof s, "%.0f MB", std::ceil(double(bytes) / 1e6));
  return s;
}

// Says how much the capture will write and refuses to start when the
// destination's file system has less room than that.
void check_space(const Options &o) {
  const uint64_t need = estimate_bytes(o);
  struct statvfs fs;
  if (statvfs(o.out.c_str(), &fs) == 0) {
    const uint64_t room = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (room < need) {
      std::fprintf(stderr, "ulvenor-capture: %s has %s free, the capture needs about %s\n", o.out.c_str(),
                   size_text(room).c_str(), size_text(need).c_str());
      std::exit(1);
    }
  }
  if (!o.quiet) std::fprintf(stderr, "ulvenor-capture: writing about %s to %s\n", size_text(need).c_str(), o.out.c_str());
}

// ---- the demo --------------------------------------------------------------

// The music, advanced by the virtual clock in whole callback blocks; all
// of them are kept for the WAV.
struct Music {
  std::vector<uint8_t> pcm;  // 16-bit stereo little-endian, reserved once
  bool keep = true;
  tw_file *hashes = nullptr;  // when set, every block's hash line goes there

  static void take(void *ctx, const uint8_t *block, int bytes, int64_t first) {
    Music &m = *static_cast<Music *>(ctx);
    if (m.keep) m.pcm.insert(m.pcm.end(), block, block + bytes);
    if (m.hashes) {
      char s[64];
      const int n = cap_block_line(s, sizeof s, long(first / BLOCK), cap_hash(block, size_t(bytes), 1, 1));
      tw_write(*m.hashes, s, size_t(n));
    }
  }
  void advance_to(int64_t played) {
    const mzx_sink sink{take, this};
    mzx_render(played, &sink);
  }
};

void startup() {
  if (!screen_offscreen()) {
    std::fprintf(stderr, "ulvenor-capture: cannot make a surface: %s\n", SDL_GetError());
    std::exit(1);
  }
  if (!demo_start(demo_sound::offline)) {
    // Without music the position never moves and the run would not end.
    std::fprintf(stderr, "ulvenor-capture: the embedded module does not load\n");
    std::exit(1);
  }
}

// Frame k: the music advanced to its time, the demo's frame drawn and
// converted into the window surface. Returns the music position.
int32_t draw_frame(Music &music, int32_t now) {
  music.advance_to(int64_t(now) * RATE / 1000);
  const int32_t pos = mzx_position();
  uint8_t *out = demo_frame(pos, now);
  convert_frame(out, static_cast<uint8_t *>(scr->pixels), scr->pitch);
  return pos;
}

// One window pixel (RGB 5:6:5) as 8-bit RGB, each channel widened by
// repeating its top bits.
void pixel_rgb(uint16_t p, uint8_t o[3]) {
  const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  o[0] = uint8_t((r << 3) | (r >> 2));
  o[1] = uint8_t((g << 2) | (g >> 4));
  o[2] = uint8_t((b << 3) | (b >> 2));
}

const uint16_t *window_row(int y) {
  return reinterpret_cast<const uint16_t *>(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch);
}

// The window's contents as 8-bit RGB.
void window_rgb(std::vector<uint8_t> &rgb) {
  rgb.resize(size_t(WIN_W) * WIN_H * 3);
  for (int y = 0; y < WIN_H; y++) {
    const uint16_t *row = window_row(y);
    for (int x = 0; x < WIN_W; x++) pixel_rgb(row[x], &rgb[(size_t(y) * WIN_W + x) * 3]);
  }
}

// `rgb` (WIN_W x WIN_H) enlarged `scale` times, nearest neighbour.
void enlarge(const std::vector<uint8_t> &rgb, int scale, std::vector<uint8_t> &big) {
  const size_t W = size_t(WIN_W) * scale, H = size_t(WIN_H) * scale;
  big.resize(W * H * 3);
  for (size_t y = 0; y < H; y++)
    for (size_t x = 0; x < W; x++)
      std::memcpy(&big[(y * W + x) * 3], &rgb[((y / scale) * WIN_W + x / scale) * 3], 3);
}

// ---- stills ----------------------------------------------------------------

// The stills asked for, in order of position; `next` is the first not yet
// taken. Each is written and closed under its temporary name as it is
// taken, and all are renamed into place together at the end (a run is
// whole or leaves nothing).
struct Shots {
  const Options &o;
  size_t next = 0;
  std::vector<uint8_t> rgb, big;
  // Sized once: the signal handler holds pointers to the names inside.
  std::vector<tw_file> files;

  explicit Shots(const Options &opts) : o(opts), files(opts.shots.size()) {}
  bool all_taken() const { return next == o.shots.size(); }
};

// Every still asked for at or before `pos`, from this frame.
void take_shots(Shots &s, int32_t pos) {
  bool drawn = false;
  for (; s.next < s.o.shots.size() && pos >= s.o.shots[s.next]; s.next++) {
    if (!drawn) {
      window_rgb(s.rgb);
      enlarge(s.rgb, s.o.scale, s.big);
      drawn = true;
    }
    const std::string path = s.o.out + "/shot-" + std::to_string(s.o.shots[s.next]) + ".png";
    tw_png_write(s.files[s.next], path, WIN_W * s.o.scale, WIN_H * s.o.scale, 3, s.big.data());
  }
}

// The stills taken renamed into place together when all were taken, else
// removed.
void finish_shots(Shots &s, bool whole) {
  std::vector<tw_file *> taken;
  for (size_t i = 0; i < s.next; i++) taken.push_back(&s.files[i]);
  if (whole) return tw_commit(taken.data(), taken.size());
  for (tw_file *f : taken) tw_discard(*f);
}

// False, with a message, when the demo ended before a still asked for (not
// reached when the ranges were checked, unless the music ends early).
bool shots_complete(const Shots &s, int32_t last_pos) {
  if (s.all_taken()) return true;
  std::fprintf(stderr, "ulvenor-capture: the demo ends at position %d, before --shot %d\n", int(last_pos),
               s.o.shots[s.next]);
  return false;
}

// ---- bench -----------------------------------------------------------------

int bench(const Options &o) {
  using clock = std::chrono::steady_clock;
  Music music;
  music.keep = false;
  double sum[SCENES] = {}, worst[SCENES] = {};
  long count[SCENES] = {};
  double present_sum = 0;
  long frames = 0;
  Shots shots(o);
  int32_t pos = 0;
  const auto t_start = clock::now();
  for (int64_t k = 0;; k++) {
    const int32_t now = int32_t(k * 1000 / o.fps);
    music.advance_to(int64_t(now) * RATE / 1000);
    pos = mzx_position();
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
    take_shots(shots, pos);
    if (demo_done(pos, 0)) break;
  }
  const double total = std::chrono::duration<double>(clock::now() - t_start).count();
  std::printf("%-18s %8s %10s %10s\n", "scene", "frames", "mean us", "worst us");
  for (int i = 0; i < SCENES; i++)
    if (count[i])
      std::printf("%-18s %8ld %10.1f %10.1f\n", scene_table[i].name, count[i], sum[i] / count[i], worst[i]);
  std::printf("%-18s %8ld %10.1f\n", "present (8 to 16)", frames, present_sum / frames);
  std::printf("overall: %ld frames in %.2f s, %.0f frames per second (music included)\n", frames, total,
              frames / total);
  const bool whole = shots_complete(shots, pos);
  finish_shots(shots, whole);
  return whole ? 0 : 1;
}

// ---- hashes ----------------------------------------------------------------

// The whole demo on the virtual clock, as a capture draws it, every block
// and frame as one hash line (tools/capture/hashes.h).
int hash_list(const Options &o) {
  tw_file f;
  tw_open(f, o.hashes);
  Music music;
  music.keep = false;
  music.hashes = &f;
  std::vector<uint8_t> rgb;
  for (int64_t k = 0;; k++) {
    const int32_t pos = draw_frame(music, int32_t(k * 1000 / o.fps));
    window_rgb(rgb);
    char s[64];
    const int n = cap_frame_line(s, sizeof s, long(k), pos, cap_hash(rgb.data(), rgb.size(), 1, 1));
    tw_write(f, s, size_t(n));
    if (demo_done(pos, 0)) break;
  }
  tw_commit({&f});
  return 0;
}

// ---- capture ---------------------------------------------------------------

struct Capture {
  const Options &o;
  bool video;
  Music music;
  tw_file y4m;
  Shots shots;
  std::vector<uint8_t> planes;
  std::vector<uint32_t> yuv_table;  // Y, U and V of every window pixel value
  int64_t frames = 0, first_ms = -1, end_ms = 0;
  int32_t last_pos = 0;
  int last_report = -1;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  explicit Capture(const Options &opts) : o(opts), video(opts.shots.empty()), shots(opts) {}
};

void write_video_frame(Capture &c, int64_t k, int32_t now) {
  tw_y4m_frame16(c.y4m, window_row(0), size_t(scr->pitch) / 2, WIN_W, WIN_H, c.o.scale, c.yuv_table, c.planes);
  if (c.first_ms < 0) c.first_ms = now;
  c.end_ms = (k + 1) * 1000 / c.o.fps;
  c.frames++;
}

void report_progress(Capture &c, int64_t k, int32_t now, int32_t pos) {
  if (c.o.quiet || now / 1000 == c.last_report) return;
  c.last_report = now / 1000;
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - c.started).count();
  std::fprintf(stderr, "\rposition %4d  %6.0f frames/s", pos, s > 0 ? (k + 1) / s : 0.0);
  tw_line_open(true);
}

// The sound of the frames written, from the first frame's time to the end
// of the last frame's, and both files renamed into place together.
int finish_video(Capture &c) {
  if (c.frames == 0) {
    tw_discard(c.y4m);
    std::fprintf(stderr, "ulvenor-capture: no frame at %d fps falls between positions %d and %d\n", c.o.fps,
                 c.o.from, c.o.to);
    return 1;
  }
  size_t a = size_t(c.first_ms * RATE / 1000) * 4, b = size_t(c.end_ms * RATE / 1000) * 4;
  b = std::min(b, c.music.pcm.size());
  a = std::min(a, b);
  tw_file wav;
  tw_wav_open(wav, c.o.out + "/audio.wav", RATE, (b - a) / 4);
  tw_write(wav, c.music.pcm.data() + a, b - a);
  tw_commit({&c.y4m, &wav});
  return 0;
}

int capture(const Options &o) {
  Capture c(o);
  c.music.keep = c.video;
  if (c.video) {
    tw_y4m_open(c.y4m, o.out + "/video.y4m", WIN_W * o.scale, WIN_H * o.scale, o.fps);
    tw_y4m_table(c.yuv_table, pixel_rgb);
    c.music.pcm.reserve(size_t(240) * RATE * 4);
  }
  for (int64_t k = 0;; k++) {
    const int32_t now = int32_t(k * 1000 / o.fps);
    const int32_t pos = c.last_pos = draw_frame(c.music, now);
    if (c.video && pos >= o.from && pos <= o.to) write_video_frame(c, k, now);
    take_shots(c.shots, pos);
    report_progress(c, k, now, pos);
    if (demo_done(pos, 0) || (c.video ? pos > o.to : c.shots.all_taken())) break;
  }
  if (!o.quiet) std::fprintf(stderr, "\n");
  tw_line_open(false);
  const bool whole = shots_complete(c.shots, c.last_pos);
  finish_shots(c.shots, whole);
  if (!whole) return 1;
  return c.video ? finish_video(c) : 0;
}

// ---- video ---------------------------------------------------------------

#ifdef ULV_VIDEO

double cpu_seconds(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

std::string clock_text(double seconds) {
  const long s = long(seconds);
  char t[32];
  std::snprintf(t, sizeof t, "%ld:%02ld", s / 60, s % 60);
  return t;
}

struct Recording {
  const Options &o;
  Music music;
  venc_stream *enc = nullptr;
  std::vector<uint32_t> yuv_table;  // Y, U and V of every window pixel value
  std::vector<uint8_t> planes;
  int64_t frames = 0, total = 0;  // total: the estimate, for the progress line
  int64_t first_sample = -1, end_sample = 0, fed = 0;  // sound frames of the recorded range
  double draw_cpu = 0, convert_cpu = 0, encode_cpu = 0;  // this thread's CPU seconds
  bool progress = false;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now(), shown;

  explicit Recording(const Options &opts) : o(opts) {}
};

// The sound made so far, up to the end of the last frame recorded, to the
// encoder: the samples that --out would put in the WAV.
void feed_sound(Recording &r) {
  const int64_t made = int64_t(r.music.pcm.size() / 4);
  const int64_t upto = std::min(r.end_sample, made);
  if (upto <= r.fed) return;
  venc_sound(r.enc, reinterpret_cast<const int16_t *>(r.music.pcm.data()) + 2 * r.fed, size_t(upto - r.fed));
  r.fed = upto;
}

void record_frame(Recording &r, int64_t k, int32_t now) {
  const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
  tw_y4m_planes16(window_row(0), size_t(scr->pitch) / 2, WIN_W, WIN_H, r.o.scale, r.yuv_table, r.planes);
  const double t1 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
  if (r.first_sample < 0) r.fed = r.first_sample = int64_t(now) * RATE / 1000;
  r.end_sample = (k + 1) * 1000 / r.o.fps * RATE / 1000;
  venc_picture(r.enc, r.planes.data());
  feed_sound(r);
  r.encode_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t1;
  r.convert_cpu += t1 - t0;
  r.frames++;
}

// "frame 1234 of 12697  skull  0:41 elapsed, about 6:02 left  81 MB",
// twice a second at most.
void show_progress(Recording &r, int32_t pos) {
  const auto t = std::chrono::steady_clock::now();
  if (!r.progress || r.frames == 0 || t - r.shown < std::chrono::milliseconds(500)) return;
  r.shown = t;
  r.total = std::max(r.total, r.frames);
  const double spent = std::chrono::duration<double>(t - r.started).count();
  const double left = spent * double(r.total - r.frames) / double(r.frames);
  std::fprintf(stderr, "\rframe %lld of %lld  %-16s  %s elapsed, about %s left  %s   ", (long long)r.frames,
               (long long)r.total, scene_table[scene_of(pos)].name, clock_text(spent).c_str(),
               clock_text(left).c_str(), size_text(venc_bytes(r.enc)).c_str());
  tw_line_open(true);
}

// Where the time of a recording went: drawing against encoding.
void print_video_bench(const Recording &r, double wall, double process_cpu, double thread_cpu, uint64_t bytes) {
  const double others = std::max(0.0, process_cpu - thread_cpu);
  const double draw = r.draw_cpu, conv = r.convert_cpu, enc = r.encode_cpu;
  auto line = [&](const char *what, double cpu) {
    std::printf("  %-40s %8.2f s  %5.1f %%\n", what, cpu, process_cpu > 0 ? 100 * cpu / process_cpu : 0.0);
  };
  std::printf("%lld frames of %dx%d at %d fps in %.2f s, %.1f frames per second; CPU %.2f s\n",
              (long long)r.frames, WIN_W * r.o.scale, WIN_H * r.o.scale, r.o.fps, wall, r.frames / wall,
              process_cpu);
  line("drawing (music, demo, 16-bit window)", draw);
  line("conversion to YUV planes", conv);
  line("encoders and muxer, on the main thread", enc);
  line("encoders' own threads", others);
  line("the rest of the main thread", std::max(0.0, thread_cpu - draw - conv - enc));
  std::printf("file: %s, %llu bytes\n", r.o.video.c_str(), (unsigned long long)bytes);
}

int record(const Options &o) {
  venc_check(o.video, o.lossless);
  tw_catch_signals();
  startup();
  Recording r(o);
  venc_params p;
  p.width = WIN_W * o.scale;
  p.height = WIN_H * o.scale;
  p.fps = o.fps;
  p.rate = RATE;
  p.lossless = o.lossless;
  r.enc = venc_open(o.video, p);
  tw_y4m_table(r.yuv_table, pixel_rgb);
  r.music.pcm.reserve(size_t(240) * RATE * 4);
  r.total = int64_t(estimate_frames(o));
  r.progress = !o.quiet && isatty(2);
  const double cpu0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID), thread0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
  for (int64_t k = 0;; k++) {
    const int32_t now = int32_t(k * 1000 / o.fps);
    const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
    const int32_t pos = draw_frame(r.music, now);
    r.draw_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0;
    if (pos >= o.from && pos <= o.to) record_frame(r, k, now);
    show_progress(r, pos);
    if (demo_done(pos, 0) || pos > o.to) break;
  }
  if (r.progress) std::fprintf(stderr, "\n");
  tw_line_open(false);
  if (r.frames == 0) {
    venc_discard(r.enc);
    std::fprintf(stderr, "ulvenor-capture: no frame at %d fps falls between positions %d and %d\n", o.fps, o.from,
                 o.to);
    return 1;
  }
  const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
  feed_sound(r);
  const uint64_t bytes = venc_finish(r.enc);
  r.encode_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0;
  if (o.bench) {
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.started).count();
    print_video_bench(r, wall, cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0,
                      cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - thread0, bytes);
  }
  return 0;
}

#else

int record(const Options &) {
  std::fprintf(stderr, "ulvenor-capture: built without FFmpeg's libraries: --video is not available\n");
  return 1;
}

#endif

}  // namespace

int main(int argc, char **argv) {
  tw_program("ulvenor-capture");
  const Options o = parse(argc, argv);
  if (!o.video.empty()) return record(o);
  if (!o.out.empty()) make_folder(o.out);
  tw_catch_signals();
  startup();
  if (!o.hashes.empty()) return hash_list(o);
  if (!o.bench && o.shots.empty()) check_space(o);
  return o.bench ? bench(o) : capture(o);
}
