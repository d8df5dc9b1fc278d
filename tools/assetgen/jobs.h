// The generator's job table (jobs.def) as C++: the jobs, the catalogue of
// embedded assets in embedding order, and the further files jobs write.
#pragma once

#include <cstddef>
#include <string>

#define ULV_JOB(name, sources) void job_##name();
#define ULV_ASSET(job, sym, size, access, what)
#define ULV_FILE(job, path)
#include "jobs.def"
#undef ULV_JOB
#undef ULV_ASSET
#undef ULV_FILE

struct JobInfo {
  const char *name;
  void (*fn)();
};
struct AssetInfo {
  const char *job;
  const char *sym;
  size_t size;      // bytes, exact
  bool writable;    // converted in place at start-up: lives in writable storage
  const char *what; // one line for the header
};
struct FileInfo {
  const char *job;
  const char *path;  // relative to the output folder
};

#define RO false
#define RW true
#define ULV_JOB(name, sources) {#name, job_##name},
#define ULV_ASSET(job, sym, size, access, what)
#define ULV_FILE(job, path)
inline constexpr JobInfo kJobs[] = {
#include "jobs.def"
};
#undef ULV_JOB
#undef ULV_ASSET
#define ULV_JOB(name, sources)
#define ULV_ASSET(job, sym, size, access, what) {#job, #sym, size, access, what},
inline constexpr AssetInfo kCatalogue[] = {
#include "jobs.def"
};
#undef ULV_ASSET
#undef ULV_FILE
#define ULV_ASSET(job, sym, size, access, what)
#define ULV_FILE(job, path) {#job, path},
inline constexpr FileInfo kJobFiles[] = {
#include "jobs.def"
};
#undef ULV_JOB
#undef ULV_ASSET
#undef ULV_FILE
#undef RO
#undef RW

// Writes OUTDIR/assets.S (the embedding) and OUTDIR/include/assets/assets.h
// (the declarations), each only when its text changed.
void write_catalogue(const std::string &outdir);
