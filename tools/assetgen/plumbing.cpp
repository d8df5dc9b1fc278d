// The generator's plumbing, shared by every job: the asset buffers, running
// the jobs, writing their files whole and only when their bytes changed.
// Every job's rule depends on this file; the contact sheet (contact.cpp) and
// the embedding (catalogue.cpp) are apart, so editing them reruns only their
// own rules.
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
#include "plumbing.h"
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

}  // namespace

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

void set_output_dir(const std::string &dir) {
  outdir = dir;
  for (const AssetInfo &a : kCatalogue) buffers[a.sym].assign(a.size, 0);
}

[[noreturn]] void gen_fail(const std::string &what, const std::string &path, const char *why) {
  fail(what, path, why);
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
