// Asset generator: shared declarations.
//
// The generator makes every embedded asset of the demo. Work is split into
// jobs; a job fills one or more catalogue entries (asset(), sized exactly
// as the catalogue says and zeroed beforehand) and may write previews.
// Jobs run on worker threads, each touching only its own assets, so the
// output is the same bytes on every run. Nothing here reads the network;
// fonts come from Debian's font packages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Buffer of the catalogue entry `sym` (exact catalogue size, zero-filled
// before the job runs). Aborts on an unknown symbol.
uint8_t *asset(const char *sym);
size_t asset_size(const char *sym);

// Previews go to <out>/preview/<name>.png and into the contact sheet.
// Grey previews show the indices through pal_grey (index = brightness).
void preview_grey(const std::string &name, int w, int h, const uint8_t *pix, int pitch = 0);
void preview_rgb(const std::string &name, int w, int h, const uint8_t *rgb);
// Writes a PNG file (8-bit grey when channels is 1, RGB when 3).
void write_png(const std::string &path, int w, int h, int channels, const uint8_t *data);
// Writes an extra file into the output folder (for example the module as
// nothing.mod), whole or not at all, and only when its bytes changed (so an
// unchanged file keeps its time stamp); path is relative to the output
// folder, whose subfolders it makes. Exits with a message on failure.
void write_output_file(const std::string &rel, const uint8_t *data, size_t n);
const std::string &output_dir();

// Previews that compose several jobs' assets (an object with its texture,
// as its scene shows it); run once every asset is there.
void compose_scene_previews();

// Small deterministic tools for the art.
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t init) : s(init * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  uint64_t next() {  // splitmix64
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
  int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }  // [lo, hi]
};

// Value noise in [0, 1], smooth, periodic with period `per` cells in both
// axes when per > 0 (for tiling textures). Same result for the same salt (a per-use constant).
double vnoise(double x, double y, uint32_t salt, int per = 0);
// Fractal sum of `oct` octaves of vnoise, normalised to [0, 1]; periodic
// when per > 0 (period doubles with each octave so tiling is kept).
double fbm(double x, double y, uint32_t salt, int oct, int per = 0);

// Quantise a brightness 0..1 to an index 0..255 with ordered dithering at
// pixel (x, y), so gradients do not band.
uint8_t quantise(double v, int x, int y);

// The jobs, the assets each fills and the files each writes: jobs.def.
#include "jobs.h"
