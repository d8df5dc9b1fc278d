// mixfigures: prints the mix figures of one render, or of two side by side
// (before and after), with the goals the mix is held to.
//
//   mixfigures SONG.wav [OTHER.wav] [--flashes]
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "figures.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: mixfigures SONG.wav [OTHER.wav] [--flashes]\n"
               "  prints band shares, stereo width, flash-row contrast, the worm section's\n"
               "  centroid and clipping of 44100 Hz 16-bit stereo renders of the song;\n"
               "  --flashes also lists every flash row.\n");
  return 2;
}

struct Line {
  const char *name, *unit, *goal;
  double (*get)(const MfFigures &);
};

const Line kLines[] = {
    {"energy below 500 Hz", "%", "", [](const MfFigures &f) { return 100 * f.low; }},
    {"energy 500 Hz - 2 kHz", "%", "<= 16", [](const MfFigures &f) { return 100 * f.mid_band; }},
    {"energy above 4 kHz", "%", ">= 2", [](const MfFigures &f) { return 100 * f.top; }},
    {"side / mid", "dB", ">= -7", [](const MfFigures &f) { return f.side_mid_db; }},
    {"left-right correlation", "", "", [](const MfFigures &f) { return f.correlation; }},
    {"flash rows +3 dB over downbeats", "of 25", ">= 20", [](const MfFigures &f) { return double(f.flashes_3db); }},
    {"flash contrast, median", "dB", "", [](const MfFigures &f) { return f.flash_median_db; }},
    {"worm section centroid", "Hz", "> 300", [](const MfFigures &f) { return f.worm_centroid_hz; }},
    {"worm section below 500 Hz", "%", "", [](const MfFigures &f) { return 100 * f.worm_low; }},
    {"worm section side / mid", "dB", "", [](const MfFigures &f) { return f.worm_side_mid_db; }},
    {"clipped values", "", "0", [](const MfFigures &f) { return double(f.clipped); }},
    {"peak", "dBFS", "", [](const MfFigures &f) { return 20 * std::log10(f.peak / 32768.0 + 1e-9); }},
    {"peak at position", "", "", [](const MfFigures &f) { return double(f.peak_pos); }},
    {"DC left", "LSB", "", [](const MfFigures &f) { return f.dc_left; }},
    {"DC right", "LSB", "", [](const MfFigures &f) { return f.dc_right; }},
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

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> files;
  bool flashes = false;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--flashes"))
      flashes = true;
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
  std::printf("%-34s %-6s %-8s", "figure", "unit", "goal");
  for (const std::string &path : files) std::printf("  %12.12s", path.substr(path.find_last_of('/') + 1).c_str());
  std::printf("\n");
  for (const Line &l : kLines) {
    std::printf("%-34s %-6s %-8s", l.name, l.unit, l.goal);
    for (const MfFigures &f : figs) std::printf("  %12.2f", l.get(f));
    std::printf("\n");
  }
  if (flashes) print_flashes(figs);
  return 0;
}
