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
// nothing.mod); path is relative to the output folder.
void write_output_file(const std::string &rel, const uint8_t *data, size_t n);
const std::string &output_dir();

// Runs `fn` after every job has finished, on one thread, in registration
// order by job; for previews that need another job's asset (an object
// composed with its texture, for example).
void after_all(void (*fn)());

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

// Jobs. Each fills the assets named in its comment.
void job_palettes();   // pal_blue .. pal_sepia
void job_title();      // ulvenor
void job_strips();     // koottikarry1, koottikarry2, koottikarry3
void job_panorama();   // takamehta, etumehta
void job_skull();      // skulle, skulletc, skulle2, skulle2tc
void job_gargoyle();   // gargoyle, gargoyletc, gargoyle2, gargoyle2tc
void job_church();     // kirkko, kirkkotc, kirkko2, kirkko2tc
void job_textures();   // kiehkura
void job_dracula();    // dracula
void job_greets();     // greets
void job_rose();       // drose, rosic
void job_portraits();  // tamsk, dorl, vesk
void job_texts();      // lapinaa, tamsktxt, dorltxt, vesktxt
void job_models();     // model1, ch_u, ch_r, ch_e, ch_t
void job_pieces();     // piece1, piece2
void job_music();      // nothing
void job_icon();       // no asset: icon/ulvenor-64.png and icon/ulvenor-256.png
