// Asset generator entry.
//
//   assetgen OUTDIR                 every job, then everything made from them
//   assetgen OUTDIR --only=JOB,...  only those jobs (the build runs one job
//                                   per rule); nothing else in OUTDIR is touched
//   assetgen OUTDIR --catalogue     OUTDIR/assets.S, OUTDIR/assets-wasm.S (the
//                                   web build's) and
//                                   OUTDIR/include/assets/assets.h from the table
//   assetgen OUTDIR --previews      the composed previews from the assets in
//                                   OUTDIR, and the contact sheet
//
// A job writes each of its catalogue entries as OUTDIR/<symbol>.bin, its
// further files, its PNG previews into OUTDIR/preview/ and the stamp
// OUTDIR/jobs/<job>.done. Every file is written whole under a temporary
// name and renamed; an unchanged file keeps its time stamp, so the build
// redoes only what depends on bytes that changed.
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "gen.h"
#include "tools/writers/outfile.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::vector<uint8_t>> buffers;
std::string outdir;

[[noreturn]] void fail(const std::string &what, const std::string &path, const char *why) {
  std::fprintf(stderr, "assetgen: %s %s: %s\n", what.c_str(), path.c_str(), why);
  std::exit(1);
}

// Writes `n` bytes to `path` whole or not at all, through the tools'
// checked writer (a temporary name in the same folder, renamed when
// complete; a failure ends the generator with the reason).
void write_file(const std::string &path, const uint8_t *data, size_t n) {
  fs::path dir = fs::path(path).parent_path();
  std::error_code ec;
  if (!dir.empty()) fs::create_directories(dir, ec);
  if (ec) fail("cannot make folder", dir.string(), ec.message().c_str());
  tw_file f;
  tw_open(f, path);
  tw_write(f, data, n);
  tw_commit({&f});
}

bool same_bytes(const std::string &path, const uint8_t *data, size_t n) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> old(n + 1);
  const size_t got = std::fread(old.data(), 1, n + 1, f);
  std::fclose(f);
  return got == n && std::memcmp(old.data(), data, n) == 0;
}

// Reads OUTDIR/<sym>.bin into the asset's buffer; its size must be the
// catalogue size.
void load_asset(const AssetInfo &a) {
  const std::string path = outdir + "/" + a.sym + ".bin";
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) fail("cannot read", path, std::strerror(errno));
  std::vector<uint8_t> &b = buffers[a.sym];
  const size_t got = std::fread(b.data(), 1, b.size(), f);
  const bool at_end = std::fgetc(f) == EOF;
  std::fclose(f);
  if (got != b.size() || !at_end) fail("wrong size of", path, "not the catalogue size");
}

bool selected(const std::string &only, const char *job) {
  return only.empty() || only.find(std::string(",") + job + ",") != std::string::npos;
}

// Runs the given jobs on up to four threads; each touches only its own
// assets, so the bytes do not depend on the order.
void run_jobs(const std::vector<const JobInfo *> &jobs) {
  std::atomic<size_t> next{0};
  const unsigned nthreads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < nthreads; t++)
    pool.emplace_back([&] {
      for (size_t j; (j = next++) < jobs.size();) jobs[j]->fn();
    });
  for (auto &t : pool) t.join();
}

// Writes the assets of the given jobs and their stamps.
void write_jobs_output(const std::vector<const JobInfo *> &jobs) {
  for (const JobInfo *j : jobs) {
    for (const AssetInfo &a : kCatalogue)
      if (std::strcmp(a.job, j->name) == 0) write_output_file(std::string(a.sym) + ".bin", asset(a.sym), a.size);
    const std::string stamp = std::string(j->name) + "\n";
    write_file(outdir + "/jobs/" + j->name + ".done", reinterpret_cast<const uint8_t *>(stamp.data()),
               stamp.size());
  }
}

// A preview PNG read back as RGB, for the contact sheet.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

Picture read_png_rgb(const std::string &path) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_file(&img, path.c_str())) fail("cannot read", path, img.message);
  img.format = PNG_FORMAT_RGB;
  p.w = int(img.width);
  p.h = int(img.height);
  p.rgb.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, p.rgb.data(), 0, nullptr)) fail("cannot read", path, img.message);
  return p;
}

// Box-filters `p` down by the integer factor f into the sheet at (x0, y0).
void paste(std::vector<uint8_t> &sheet, int W, const Picture &p, int f, int x0, int y0) {
  const int ow = p.w / f, oh = p.h / f;
  for (int y = 0; y < oh; y++)
    for (int x = 0; x < ow; x++)
      for (int c = 0; c < 3; c++) {
        int sum = 0;
        for (int dy = 0; dy < f; dy++)
          for (int dx = 0; dx < f; dx++) sum += p.rgb[(size_t(y * f + dy) * p.w + (x * f + dx)) * 3 + c];
        sheet[(size_t(y0 + y) * W + (x0 + x)) * 3 + c] = uint8_t(sum / (f * f));
      }
}

// Every preview in OUTDIR/preview, each fitted into a 320x200 cell
// (downscaled by an integer box filter when larger), in name order.
void write_contact_sheet() {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(outdir + "/preview"))
    if (e.path().extension() == ".png" && e.path().stem() != "contact") names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  const int cw = 320, ch = 200, gap = 4, cols = 6;
  const int n = int(names.size());
  if (n == 0) return;
  const int rows = (n + cols - 1) / cols;
  const int W = cols * (cw + gap) + gap, H = rows * (ch + gap) + gap;
  std::vector<uint8_t> sheet(size_t(W) * H * 3, 40);
  for (int i = 0; i < n; i++) {
    const Picture p = read_png_rgb(names[i]);
    int f = 1;
    while ((p.w + f - 1) / f > cw || (p.h + f - 1) / f > ch) f++;
    paste(sheet, W, p, f, gap + (i % cols) * (cw + gap) + (cw - p.w / f) / 2,
          gap + (i / cols) * (ch + gap) + (ch - p.h / f) / 2);
  }
  write_png(outdir + "/preview/contact.png", W, H, 3, sheet.data());
}

void make_previews_from_disk() {
  for (const AssetInfo &a : kCatalogue) load_asset(a);
  compose_scene_previews();
  write_contact_sheet();
}

// The jobs named in `only` (",a,b,"; empty: all); exits on an unknown name.
std::vector<const JobInfo *> pick_jobs(const std::string &only) {
  std::vector<const JobInfo *> jobs;
  for (const JobInfo &j : kJobs)
    if (selected(only, j.name)) jobs.push_back(&j);
  for (size_t a = 1, b; a < only.size(); a = b + 1) {
    b = only.find(',', a);
    const std::string name = only.substr(a, b - a);
    if (std::none_of(jobs.begin(), jobs.end(), [&](const JobInfo *j) { return name == j->name; })) {
      std::fprintf(stderr, "assetgen: no job named \"%s\"\n", name.c_str());
      std::exit(2);
    }
  }
  return jobs;
}

void generate(const std::string &only) {
  const std::vector<const JobInfo *> jobs = pick_jobs(only);
  std::error_code ec;
  fs::create_directories(outdir + "/preview", ec);
  if (ec) fail("cannot make folder", outdir + "/preview", ec.message().c_str());
  // The grey previews read pal_grey: the palettes are made first in every
  // run, and written only when their job is one of those asked for.
  job_palettes();
  std::vector<const JobInfo *> rest;
  for (const JobInfo *j : jobs)
    if (j->fn != job_palettes) rest.push_back(j);
  run_jobs(rest);
  write_jobs_output(jobs);
  if (only.empty()) {
    write_catalogue(outdir);
    compose_scene_previews();
    write_contact_sheet();
  }
}

}  // namespace

uint8_t *asset(const char *sym) {
  auto it = buffers.find(sym);
  if (it == buffers.end()) {
    std::fprintf(stderr, "assetgen: unknown asset %s\n", sym);
    std::abort();
  }
  return it->second.data();
}

size_t asset_size(const char *sym) {
  asset(sym);  // aborts on an unknown symbol
  return buffers.find(sym)->second.size();
}

const std::string &output_dir() { return outdir; }

void write_output_file(const std::string &rel, const uint8_t *data, size_t n) {
  const std::string path = outdir + "/" + rel;
  if (!same_bytes(path, data, n)) write_file(path, data, n);
}

void preview_rgb(const std::string &name, int w, int h, const uint8_t *rgb) {
  write_png(outdir + "/preview/" + name + ".png", w, h, 3, rgb);
}

void preview_grey(const std::string &name, int w, int h, const uint8_t *pix, int pitch) {
  if (pitch == 0) pitch = w;
  const uint8_t *grey = asset("pal_grey");  // made before any other job
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < 3; c++) rgb[(size_t(y) * w + x) * 3 + c] = grey[pix[size_t(y) * pitch + x] * 3 + c];
  preview_rgb(name, w, h, rgb.data());
}

int main(int argc, char **argv) {
  tw_program("assetgen");
  const std::string mode = argc == 3 ? argv[2] : "";
  const bool only = mode.rfind("--only=", 0) == 0;
  if (argc < 2 || argc > 3 || (argc == 3 && !only && mode != "--catalogue" && mode != "--previews")) {
    std::fprintf(stderr, "usage: assetgen OUTDIR [--only=JOB,JOB... | --catalogue | --previews]\n");
    return 2;
  }
  outdir = argv[1];
  for (const AssetInfo &a : kCatalogue) buffers[a.sym].assign(a.size, 0);
  if (mode == "--catalogue") {
    write_catalogue(outdir);
  } else if (mode == "--previews") {
    make_previews_from_disk();
  } else {
    generate(only ? "," + mode.substr(7) + "," : "");
  }
  return 0;
}
