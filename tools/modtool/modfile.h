// Reading and checking a module file before the loader sees it.
//
// The loader trusts its image; every file modtool opens is first checked
// here so that a damaged or foreign file ends in a one-line error, never in
// a read past the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replayer/pt.h"

constexpr size_t MOD_HEADER = PT_HEADERBYTES;  // title, 31 sample headers, song, orders, tag

// Sample header fields as stored, lengths and loop points in bytes.
struct modfile_sample {
  std::string name;
  uint32_t length;
  int finetune;  // -8..7
  int volume;    // as stored, may exceed 64
  uint32_t loop_start;
  uint32_t loop_length;
};

// Header of a checked module file.
struct modfile_info {
  std::string title;
  std::string tag;
  int channels;
  int song_length;   // as stored
  int restart;       // as stored
  uint8_t orders[128];
  int patterns;      // largest of all 128 order entries + 1
  modfile_sample samples[31];
  size_t claimed;    // bytes the header says the file holds
  size_t missing;    // bytes missing from the end of the last sample (0 when whole)
};

// The largest file the format can describe: the header, 128 patterns of
// the widest tag and 31 samples of 65535 words. Anything longer is not a
// module (trailing bytes past what the header claims are allowed up to it).
size_t modfile_largest();

// Reads the whole file into `bytes`, after learning its size: a directory,
// a device or a file larger than modfile_largest() is refused without
// reading it, and a pipe is read up to one byte past that size at most, so
// an endless or huge input costs neither time nor memory. False with
// `problem` set when it cannot or must not be read.
bool modfile_read(const std::string &path, std::vector<uint8_t> &bytes, std::string &problem);

// Checks the image: long enough for its header, a known format tag, every
// order entry 127 or below, long enough for the patterns and samples the
// header claims, except that the end of the last sample (the last of
// non-zero length) may be missing, counted in info.missing. Fills `info`
// and returns true, or returns false with a one-line `problem`.
bool modfile_check(const std::vector<uint8_t> &bytes, modfile_info &info, std::string &problem);
