// mixfigures: prints the mix figures of one render, or of two side by side
// (before and after), with the goals the mix is held to and, with --real,
// beside the quartiles of renders of real four-channel songs.
//
//   mixfigures SONG.wav [OTHER.wav] [--flashes] [--real DIR]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "figures.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: mixfigures SONG.wav [OTHER.wav] [--flashes] [--real DIR]\n"
               "  prints loudness (BS.1770), band shares, stereo width, flash-row contrast,\n"
               "  the worm section's centroid and clipping of 44100 Hz 16-bit stereo renders\n"
               "  of the song; --flashes also lists every flash row; --real measures every\n"
               "  .wav in DIR (renders of real songs, through a 20 Hz high-pass for their DC)\n"
               "  and prints their quartiles beside the song's figures.\n");
  return 2;
}

// One figure; `real` when it means the same for any song (not only ours).
struct Line {
  const char *name, *unit, *goal;
  double (*get)(const MfFigures &);
  bool real;
};

const Line kLines[] = {
    {"integrated loudness", "LUFS", "-13.5..-10.5", [](const MfFigures &f) { return f.lufs; }, true},
    {"loudness range", "LU", "", [](const MfFigures &f) { return f.lra; }, true},
    {"lost through a 300 Hz high-pass", "LU", "", [](const MfFigures &f) { return f.small_speaker_loss; }, true},
    {"energy below 100 Hz", "%", "<= 30", [](const MfFigures &f) { return 100 * f.sub; }, true},
    {"energy below 500 Hz", "%", "", [](const MfFigures &f) { return 100 * f.low; }, true},
    {"energy 1 - 3 kHz", "%", ">= 9", [](const MfFigures &f) { return 100 * f.presence; }, true},
    {"energy above 4 kHz", "%", ">= 2", [](const MfFigures &f) { return 100 * f.top; }, true},
    {"side / mid", "dB", ">= -7", [](const MfFigures &f) { return f.side_mid_db; }, true},
    {"left-right correlation", "", "", [](const MfFigures &f) { return f.correlation; }, true},
    {"flash rows +3 dB over downbeats", "of 25", ">= 20", [](const MfFigures &f) { return double(f.flashes_3db); }, false},
    {"flash contrast, median", "dB", "", [](const MfFigures &f) { return f.flash_median_db; }, false},
    {"worm section centroid", "Hz", "> 300", [](const MfFigures &f) { return f.worm_centroid_hz; }, false},
    {"worm section below 500 Hz", "%", "", [](const MfFigures &f) { return 100 * f.worm_low; }, false},
    {"worm section side / mid", "dB", "", [](const MfFigures &f) { return f.worm_side_mid_db; }, false},
    {"clipped values", "", "0", [](const MfFigures &f) { return double(f.clipped); }, true},
    {"peak", "dBFS", "", [](const MfFigures &f) { return 20 * std::log10(f.peak / 32768.0 + 1e-9); }, true},
    {"peak at position", "", "", [](const MfFigures &f) { return double(f.peak_pos); }, false},
    {"DC left", "LSB", "", [](const MfFigures &f) { return f.dc_left; }, false},
    {"DC right", "LSB", "", [](const MfFigures &f) { return f.dc_right; }, false},
};

void print_flashes(const std::vector<MfFigures> &figs) {
  std::printf("\n%-6s", "row");
  for (size_t k = 0; k < figs.size(); k++) std::printf("  %8s %8s %8s", "hit dB", "beats dB", "contrast");
  std::printf("\n");
  for (size_t i = 0; i < figs[0].flashes.size(); i++) {
    std::printf("%-6d", figs[0].flashes[i].pos);
    for (const MfFigures &f : figs)
      std::printf("  %8.1f %8.1f %+8.1f", f.flashes[i].hit_db, f.flashes[i].downbeat_db, f.flashes[i].contrast_db);
    std::printf("\n");
  }
}

// Quantile q of sorted values, linear between neighbours.
double quantile(const std::vector<double> &v, double q) {
  const double at = q * (v.size() - 1);
  const size_t i = size_t(at);
  return i + 1 < v.size() ? v[i] + (at - i) * (v[i + 1] - v[i]) : v[i];
}

// Figures of every .wav in `dir`, in name order; false with a message when
// the folder cannot be read or holds none.
bool measure_real(const std::string &dir, std::vector<MfFigures> &out) {
  std::error_code ec;
  std::vector<std::string> paths;
  for (const auto &e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".wav") paths.push_back(e.path().string());
  if (ec) {
    std::fprintf(stderr, "mixfigures: %s: %s\n", dir.c_str(), ec.message().c_str());
    return false;
  }
  if (paths.empty()) {
    std::fprintf(stderr, "mixfigures: %s: no .wav files\n", dir.c_str());
    return false;
  }
  std::sort(paths.begin(), paths.end());
  for (const std::string &p : paths) {
    std::string err;
    const std::vector<int16_t> s = mf_read_wav(p, err);
    if (s.empty()) {
      std::fprintf(stderr, "mixfigures: %s: %s\n", p.c_str(), err.c_str());
      return false;
    }
    out.push_back(mf_measure(mf_highpassed(s, 20), {}));
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> files;
  bool flashes = false;
  std::string real_dir;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--flashes"))
      flashes = true;
    else if (!std::strcmp(argv[i], "--real") && i + 1 < argc)
      real_dir = argv[++i];
    else if (argv[i][0] == '-')
      return usage();
    else
      files.push_back(argv[i]);
  }
  if (files.empty() || files.size() > 2) return usage();
  std::vector<MfFigures> figs;
  for (const std::string &path : files) {
    std::string err;
    const std::vector<int16_t> s = mf_read_wav(path, err);
    if (s.empty()) {
      std::fprintf(stderr, "mixfigures: %s: %s\n", path.c_str(), err.c_str());
      return 1;
    }
    figs.push_back(mf_measure(s));
  }
  std::vector<MfFigures> real;
  if (!real_dir.empty() && !measure_real(real_dir, real)) return 1;
  std::printf("%-34s %-6s %-12s", "figure", "unit", "goal");
  for (const std::string &path : files) std::printf("  %12.12s", path.substr(path.find_last_of('/') + 1).c_str());
  if (!real.empty()) std::printf("  %8s %8s %8s %8s %8s  (%zu real songs)", "min", "q1", "median", "q3", "max", real.size());
  std::printf("\n");
  for (const Line &l : kLines) {
    std::printf("%-34s %-6s %-12s", l.name, l.unit, l.goal);
    for (const MfFigures &f : figs) std::printf("  %12.2f", l.get(f));
    if (!real.empty() && l.real) {
      std::vector<double> v;
      for (const MfFigures &f : real) v.push_back(l.get(f));
      std::sort(v.begin(), v.end());
      for (double q : {0.0, 0.25, 0.5, 0.75, 1.0}) std::printf(" %8.2f", quantile(v, q));
    }
    std::printf("\n");
  }
  if (flashes) print_flashes(figs);
  return 0;
}
