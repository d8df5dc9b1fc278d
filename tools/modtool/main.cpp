// modtool: inspects, renders, times and plays a tracker module with the
// demo's own loader, replayer, mixer and audio callback.
//
//   modtool info FILE.mod
//   modtool render FILE.mod -o OUT.wav [--seconds S] [--bench]
//   modtool timeline FILE.mod [--rows N]
//   modtool play FILE.mod
//
// Exit status: 0 done, 1 a run-time failure (output file, audio device),
// 2 a wrong argument or a file that is not a usable module.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "modfile.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "songwalk.h"
#include "sound/sd.h"
#include "tools/writers/writers.h"

namespace {

constexpr int RATE = MZX_RATE;
// Without --seconds a song that never ends (pattern loops that never run
// out) stops after this long.
constexpr uint64_t MAX_FRAMES = uint64_t(RATE) * 60 * 30;
// The longest --seconds whose WAV its 32-bit header can describe.
constexpr uint64_t MAX_SECONDS = TW_WAV_MAX_FRAMES / RATE;
// The most rows `timeline --rows` prints (the song ends long before).
constexpr long MAX_ROWS = 100000000;

const char USAGE[] =
    "usage: modtool info FILE.mod | render FILE.mod -o OUT.wav [--seconds S] [--bench] | "
    "timeline FILE.mod [--rows N] | play FILE.mod";

int usage_error(const char *what) {
  std::fprintf(stderr, "modtool: %s\n%s\n", what, USAGE);
  return 2;
}

void help() {
  std::printf(
      "%s\n\n"
      "  info      header, order list and the 31 sample headers as stored\n"
      "  render    44100 Hz 16-bit stereo WAV from the start to the song's end (or\n"
      "            for S seconds, at most %llu, or up to an F00 stop); --bench prints\n"
      "            the speed\n"
      "  timeline  one line per row played: FRAME ORDER ROW, FRAME being the output\n"
      "            frame of the row's first tick; until the song ends or N rows\n"
      "  play      plays through the audio device until the song ends or Ctrl-C\n"
      "\n  The song ends where it would repeat: at a row already played, other than\n"
      "  by a pattern loop (E6x), or after a row that sets speed 0 (F00).\n"
      "\n  --help, --version\n\n"
      "example: modtool render song.mod -o song.wav --bench\n",
      USAGE, static_cast<unsigned long long>(MAX_SECONDS));
}

// The checked module image, loaded into the replayer. Returns 0 on success
// or the exit status after printing the problem.
std::vector<uint8_t> image;

int load_checked(const std::string &path, modfile_info &info) {
  std::string problem;
  if (!modfile_read(path, image, problem) || !modfile_check(image, info, problem)) {
    std::fprintf(stderr, "modtool: %s: %s\n", path.c_str(), problem.c_str());
    return 2;
  }
  if (info.missing) {
    // The loader reads the claimed length: the missing end plays as silence.
    std::fprintf(stderr, "modtool: %s: the last sample is %zu %s short; %s as silence\n", path.c_str(), info.missing,
                 info.missing == 1 ? "byte" : "bytes", info.missing == 1 ? "it plays" : "they play");
    image.resize(info.claimed, 0);
  }
  return 0;
}

int start_offline(const std::string &path) {
  mzx_init_offline(RATE, WALK_BLOCK);
  if (!mzx_get(image.data())) {
    std::fprintf(stderr, "modtool: %s: %s\n", path.c_str(), pt_errorstr ? pt_errorstr : "load failed");
    return 2;
  }
  songwalk_observe(true);
  return 0;
}

int cmd_info(const std::string &path) {
  modfile_info info;
  if (int rc = load_checked(path, info)) return rc;
  std::printf("title     \"%s\"\n", info.title.c_str());
  std::printf("tag       %s (%d channels)\n", info.tag.c_str(), info.channels);
  std::printf("length    %d\n", info.song_length);
  std::printf("restart   %d\n", info.restart);
  std::printf("orders   ");
  int shown = info.song_length < 128 ? info.song_length : 128;
  for (int i = 0; i < shown; ++i) std::printf(" %d", info.orders[i]);
  std::printf("\npatterns  %d\n", info.patterns);
  std::printf("size      %zu bytes (%zu claimed)\n", image.size() - info.missing, info.claimed);
  std::printf("samples\n  #  %-22s %6s %4s %3s %6s %6s\n", "name", "length", "fine", "vol", "lstart",
              "llen");
  for (int k = 0; k < 31; ++k) {
    const modfile_sample &s = info.samples[k];
    std::printf(" %2d  %-22s %6" PRIu32 " %4d %3d %6" PRIu32 " %6" PRIu32 "\n", k + 1, s.name.c_str(),
                s.length, s.finetune, s.volume, s.loop_start, s.loop_length);
  }
  return 0;
}

// CPU time of this thread: on a shared machine wall time would count the
// time other processes ran.
double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

int cmd_render(const std::string &path, const std::string &out, double seconds, bool bench) {
  modfile_info info;
  if (int rc = load_checked(path, info)) return rc;
  if (int rc = start_offline(path)) return rc;
  tw_file wav;
  tw_wav_open(wav, out, RATE, 0);
  const bool timed = seconds > 0;
  const uint64_t limit = timed ? uint64_t(std::llround(seconds * RATE)) : MAX_FRAMES;
  uint64_t written = 0;
  double busy = 0;
  while (written < limit) {
    double t0 = cpu_seconds();
    const int16_t *block = songwalk_block();
    busy += cpu_seconds() - t0;
    uint64_t n = std::min<uint64_t>(WALK_BLOCK, limit - written);
    // With --seconds the song plays on past where it would repeat, but
    // not past an F00 stop.
    bool ends = walk_ended && (!timed || walk_stopped);
    if (ends) n = std::min<uint64_t>(n, walk_end_frame - written);
    tw_wav_frames(wav, block, size_t(n));
    written += n;
    if (ends) break;
  }
  tw_wav_close(wav, RATE, written);
  if (bench) {
    double audio = double(written) / RATE;
    std::printf("%.0f x realtime (%.2f s of audio in %.3f s of CPU time)\n", busy > 0 ? audio / busy : 0.0,
                audio, busy);
  }
  return 0;
}

int cmd_timeline(const std::string &path, long rows) {
  modfile_info info;
  if (int rc = load_checked(path, info)) return rc;
  if (int rc = start_offline(path)) return rc;
  while (!walk_ended && walk_frames < MAX_FRAMES && (rows <= 0 || long(walk_rows.size()) < rows)) songwalk_block();
  size_t n = rows > 0 && size_t(rows) < walk_rows.size() ? size_t(rows) : walk_rows.size();
  for (size_t i = 0; i < n; ++i)
    std::printf("%" PRIu64 " %d %d\n", walk_rows[i].frame, walk_rows[i].order, walk_rows[i].row);
  return 0;
}

volatile std::sig_atomic_t interrupted;
void on_sigint(int) { interrupted = 1; }

// Opens the audio device through the front-end with standard error shut:
// SDL's sound libraries and the front-end's own fallback notice would
// otherwise print several lines, some saying it plays on. The caller gives
// the one line that matters.
bool open_device(std::string &reason) {
  std::fflush(stderr);
  const int saved = dup(2), null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) dup2(null, 2);
  bool ok = SDL_Init(SDL_INIT_AUDIO | SDL_INIT_TIMER) == 0;
  if (ok && !mzx_init(RATE, WALK_BLOCK)) ok = false;
  if (!ok) reason = SDL_GetError();
  std::fflush(stderr);
  if (saved >= 0 && null >= 0) dup2(saved, 2);
  if (saved >= 0) close(saved);
  if (null >= 0) close(null);
  return ok;
}

int cmd_play(const std::string &path) {
  modfile_info info;
  if (int rc = load_checked(path, info)) return rc;
  std::string reason;
  if (!open_device(reason)) {
    std::fprintf(stderr, "modtool: no sound device to play on (%s)\n", reason.empty() ? "unknown reason" : reason.c_str());
    SDL_Quit();
    return 1;
  }
  if (!mzx_get(image.data())) {
    std::fprintf(stderr, "modtool: %s: %s\n", path.c_str(), pt_errorstr);
    SDL_Quit();
    return 2;
  }
  songwalk_observe(false);
  std::signal(SIGINT, on_sigint);
  std::printf("playing %s, Ctrl-C to stop\n", path.c_str());
  std::fflush(stdout);
  mzx_start(MZX_TIMER_RATE);
  int32_t shown = -1000;
  while (!interrupted && !walk_ended.load(std::memory_order_relaxed)) {
    int32_t pos = mzx_position();
    if (pos / 100 != shown / 100 && pos >= 0) {
      std::printf("\rposition %3d", pos / 100);
      std::fflush(stdout);
      shown = pos;
    }
    SDL_Delay(20);
  }
  std::printf("\n");
  mzx_stop();
  SDL_Quit();
  return 0;
}

bool parse_seconds(const char *s, double &out) {
  char *end;
  out = std::strtod(s, &end);
  return *s && !*end && std::isfinite(out) && out > 0;
}

bool parse_rows(const char *s, long &out) {
  char *end;
  out = std::strtol(s, &end, 10);
  return *s && !*end && out > 0 && out <= MAX_ROWS;
}

// Refused before anything is rendered: the WAV header's sizes are 32-bit.
int too_long(double seconds) {
  std::fprintf(stderr,
               "modtool: --seconds %g makes a WAV over 4 GiB, more than its header can describe; "
               "the longest is --seconds %llu\n",
               seconds, static_cast<unsigned long long>(MAX_SECONDS));
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  tw_program("modtool");
  if (argc < 2) return usage_error("no command");
  std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h") {
    help();
    return 0;
  }
  if (cmd == "--version") {
    std::printf("modtool %s\n", MODTOOL_VERSION);
    return 0;
  }
  if (cmd != "info" && cmd != "render" && cmd != "timeline" && cmd != "play")
    return usage_error(("unknown command \"" + cmd + "\"").c_str());

  std::string file, out;
  double seconds = 0;
  long rows = 0;
  bool bench = false;
  std::set<std::string> seen;  // options given so far: each may come once
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    bool has_value = i + 1 < argc;
    if (a == "--help" || a == "-h") {
      help();
      return 0;
    }
    if (a.size() > 1 && a[0] == '-' && !seen.insert(a).second) return usage_error((a + " given twice").c_str());
    if (cmd == "render" && a == "-o" && has_value) {
      out = argv[++i];
    } else if (cmd == "render" && a == "--seconds" && has_value) {
      if (!parse_seconds(argv[++i], seconds)) return usage_error("--seconds needs a number of seconds above 0");
    } else if (cmd == "render" && a == "--bench") {
      bench = true;
    } else if (cmd == "timeline" && a == "--rows" && has_value) {
      if (!parse_rows(argv[++i], rows)) return usage_error(("--rows needs a whole number from 1 to " + std::to_string(MAX_ROWS)).c_str());
    } else if (a.size() > 1 && a[0] == '-') {
      return usage_error(("unexpected option \"" + a + "\"").c_str());
    } else if (file.empty()) {
      file = a;
    } else {
      return usage_error(("unexpected argument \"" + a + "\"").c_str());
    }
  }
  if (file.empty()) return usage_error("no module file");
  if (cmd == "info") return cmd_info(file);
  if (cmd == "render") {
    if (out.empty()) return usage_error("render needs -o OUT.wav");
    if (tw_same_file(out, file)) {
      std::fprintf(stderr, "modtool: %s: is the input file; choose another output\n", out.c_str());
      return 2;
    }
    if (seconds > double(MAX_SECONDS)) return too_long(seconds);
    tw_catch_signals();
    return cmd_render(file, out, seconds, bench);
  }
  if (cmd == "timeline") return cmd_timeline(file, rows);
  return cmd_play(file);
}
