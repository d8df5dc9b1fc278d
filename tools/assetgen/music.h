// The embedded module `nothing`: instruments synthesised in code, patterns
// composed in code, written out as a 4-channel "M.K." module.
//
// Layout of the image (big-endian words):
//   0      title, 20 bytes
//   20     31 sample headers of 30 bytes (name, length in words, finetune,
//          volume 0..64, loop start in words, loop length in words)
//   950    song length (32), restart byte (127)
//   952    128 order entries
//   1080   tag "M.K."
//   1084   patterns 0..24, 1024 bytes each (64 rows x 4 channels x 4 bytes)
//   26684  sample data of samples 1..31, back to back, signed 8-bit
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace music {

constexpr int kModuleBytes = 704624;
constexpr int kChannels = 4;
constexpr int kRows = 64;
constexpr int kSongLength = 32;
constexpr int kPatterns = 25;  // patterns 0..24
constexpr int kSamples = 31;
constexpr int kHeaderBytes = 1084;
constexpr int kPatternBytes = kRows * kChannels * 4;
constexpr int kSampleBytes = kModuleBytes - kHeaderBytes - kPatterns * kPatternBytes;  // 677940
constexpr int kMaxSampleBytes = 65535 * 2;

// Speed 6 and 136 BPM for the whole song: a row is 6 ticks of 810 output
// frames at 44100 Hz.
constexpr int kSpeed = 6;
constexpr int kTempo = 136;

// Note indices of the period table: 0 is C-0, 24 C-1 (period 856), 36 C-2,
// 48 C-3 (period 214), 59 B-3 (period 113), 84 no note. The module keeps to
// 24..59, the classic three octaves that every player accepts.
constexpr int kNoNote = 84;
constexpr int kLowestNote = 24;
constexpr int kHighestNote = 59;

// Row 0 (finetune 0) of the Amiga period table for note indices 0..84.
inline constexpr std::array<uint16_t, 85> kPeriods = {
    3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1812,  // C-0
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960,  906,   // C-0 + 12
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480,  453,   // C-1
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240,  226,   // C-2
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120,  113,   // C-3
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,   56,    // C-4
    53,   50,   47,   45,   42,   40,   37,   35,   33,   31,   30,   28,   28};

// Output rate in Hz of a sample played at note index `note`.
double note_rate(int note);

// Tracker note names, octaves as in the period table's naming: "C-1" -> 24
// (period 856), "D-2" -> 38, "C#3" -> 49. Aborts on a malformed name.
int note_index(const char *name);

// One instrument as stored in the module. `data` starts with two zero bytes
// (a parked voice reads them) and has an even length; a loop is given in
// bytes, word-aligned, with loop_len 0 for a one-shot sample.
struct Sample {
  std::string name;  // up to 22 characters
  std::vector<int8_t> data;
  int volume = 64;  // 0..64
  int loop_start = 0;
  int loop_len = 0;
};

// The 31 instruments, in slot order (slot = index + 1). Their lengths add up
// to exactly kSampleBytes.
std::vector<Sample> make_samples();

// One pattern cell before it is packed: sample 0 keeps the channel's
// sample, note kNoNote plays none.
struct Cell {
  uint8_t sample = 0;
  uint8_t note = kNoNote;
  uint8_t cmd = 0;
  uint8_t param = 0;
};

struct Pattern {
  Cell cell[kRows][kChannels];
};

struct Song {
  std::array<Pattern, kPatterns> patterns;
  std::array<uint8_t, kSongLength> order;
};

// The composition: every pattern and the order list. Fades read the
// instruments' volumes.
Song compose(const std::vector<Sample> &samples);

// Packs samples and song into the module image of exactly kModuleBytes.
std::vector<uint8_t> write_module(const std::vector<Sample> &samples, const Song &song);

// Instrument slots (1-based, as written in the cells).
enum Slot : uint8_t {
  S_KICK = 1,
  S_SNARE,
  S_HAT,
  S_OPENHAT,
  S_CRASH,
  S_BOOM,
  S_TOM,
  S_SWELL,
  S_BASS,
  S_GROWL,
  S_ORGAN_MIN,
  S_ORGAN_MAJ,
  S_CHOIR_MIN,
  S_CHOIR_MAJ,
  S_LEAD,
  S_BELL,
  S_STRINGS_MIN,
  S_STRINGS_MAJ,
  S_STAB,
  S_HARP,
  S_DRONE,
  S_VOICE,
  S_CLAP,
  S_RIDE,
  S_RIM,
  S_PLUCK,
  S_SUB,
  S_RISER,
  S_THUNDER,
  S_CELESTA,
  S_ATMOS,
};

}  // namespace music
