// The music job: synthesises the instruments, composes the song and packs
// both into the embedded module `nothing`, also written as nothing.mod.
#include "music.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gen.h"

namespace music {

static_assert(kPeriods[36] == 428 && kPeriods[48] == 214 && kPeriods[59] == 113);

double note_rate(int note) { return 3546836.0 / kPeriods[note]; }

int note_index(const char *name) {
  static const char *const names = "C-C#D-D#E-F-F#G-G#A-A#B-";
  for (int i = 0; i < 12; i++)
    if (name[0] == names[2 * i] && name[1] == names[2 * i + 1] && name[2] >= '0' && name[2] <= '5' && !name[3])
      return (name[2] - '0' + 1) * 12 + i;
  std::fprintf(stderr, "assetgen: music: bad note name %s\n", name);
  std::abort();
}

namespace {

void put16(uint8_t *p, int v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}

void fail(const char *what, int a, int b) {
  std::fprintf(stderr, "assetgen: music: %s (%d, %d)\n", what, a, b);
  std::exit(1);
}

}  // namespace

std::vector<uint8_t> write_module(const std::vector<Sample> &samples, const Song &song) {
  std::vector<uint8_t> m(kModuleBytes, 0);
  std::memcpy(m.data(), "ulvenor tarquel", 15);
  if (int(samples.size()) != kSamples) fail("sample count", int(samples.size()), kSamples);
  size_t total = 0;
  for (int k = 0; k < kSamples; k++) {
    const Sample &s = samples[k];
    const int len = int(s.data.size());
    if (len % 2 || len > kMaxSampleBytes || len < 2 || s.data[0] || s.data[1]) fail("sample shape", k + 1, len);
    if (s.loop_len && (s.loop_start % 2 || s.loop_len % 2 || s.loop_len < 4 || s.loop_start + s.loop_len > len))
      fail("loop outside the sample", k + 1, s.loop_start);
    uint8_t *h = &m[20 + 30 * k];
    std::strncpy(reinterpret_cast<char *>(h), s.name.c_str(), 22);
    put16(h + 22, len / 2);
    h[24] = 0;
    h[25] = uint8_t(s.volume);
    put16(h + 26, s.loop_len ? s.loop_start / 2 : 0);
    put16(h + 28, s.loop_len ? s.loop_len / 2 : 1);  // one word: no loop
    total += len;
  }
  if (total != size_t(kSampleBytes)) fail("sample bytes", int(total), kSampleBytes);
  m[950] = kSongLength;
  m[951] = 127;
  for (int i = 0; i < kSongLength; i++) m[952 + i] = song.order[i];
  std::memcpy(&m[1080], "M.K.", 4);
  uint8_t *p = &m[kHeaderBytes];
  for (const Pattern &pat : song.patterns)
    for (int r = 0; r < kRows; r++)
      for (int c = 0; c < kChannels; c++, p += 4) {
        const Cell &cell = pat.cell[r][c];
        const int period = cell.note == kNoNote ? 0 : kPeriods[cell.note];
        if (cell.note != kNoNote && (cell.note < kLowestNote || cell.note > kHighestNote)) fail("note range", r, c);
        p[0] = uint8_t((cell.sample & 0xF0) | (period >> 8));
        p[1] = uint8_t(period);
        p[2] = uint8_t((cell.sample << 4) | (cell.cmd & 15));
        p[3] = cell.param;
      }
  for (const Sample &s : samples) {
    std::memcpy(p, s.data.data(), s.data.size());
    p += s.data.size();
  }
  return m;
}

}  // namespace music

void job_music() {
  std::vector<music::Sample> samples = music::make_samples();
  music::Song song = music::compose(samples);
  std::vector<uint8_t> mod = music::write_module(samples, song);
  std::memcpy(asset("nothing"), mod.data(), mod.size());
  write_output_file("nothing.mod", mod.data(), mod.size());
}
