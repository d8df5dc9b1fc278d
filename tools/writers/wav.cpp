// WAV (RIFF, 16-bit stereo PCM) with a header checked against its 32-bit
// size fields.
#include "tools/writers/writers.h"

#include <cstdio>

namespace {

void put32(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void put16(uint8_t *p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// A stream cannot go back to its header, so one opened with its length
// unknown says the longest length the header can hold, as streamed WAVs do.
void header(tw_file &file, int rate, uint64_t frames) {
  if (frames == 0 && file.stream) frames = TW_WAV_MAX_FRAMES;
  if (frames > TW_WAV_MAX_FRAMES) {
    char reason[120];
    std::snprintf(reason, sizeof reason, "%llu frames are more than a WAV file can describe (%llu)",
                  static_cast<unsigned long long>(frames), static_cast<unsigned long long>(TW_WAV_MAX_FRAMES));
    tw_fail(file.path, reason);
  }
  const uint32_t bytes = uint32_t(frames * 4);
  uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  put32(h + 4, 36 + bytes);
  put32(h + 16, 16);
  put16(h + 20, 1);  // PCM
  put16(h + 22, 2);  // stereo
  put32(h + 24, uint32_t(rate));
  put32(h + 28, uint32_t(rate) * 4);
  put16(h + 32, 4);  // bytes per frame
  put16(h + 34, 16);
  h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
  put32(h + 40, bytes);
  tw_write(file, h, sizeof h);
}

}  // namespace

void tw_wav_open(tw_file &file, const std::string &path, int rate, uint64_t frames) {
  tw_open(file, path);
  header(file, rate, frames);
}

void tw_wav_frames(tw_file &file, const int16_t *frames, size_t n) {
  // The samples are already little-endian: both targets are.
  tw_write(file, frames, n * 4);
}

void tw_wav_close(tw_file &file, int rate, uint64_t frames) {
  if (!file.stream) {
    tw_seek(file, 0);
    header(file, rate, frames);
  } else if (frames > TW_WAV_MAX_FRAMES) {
    header(file, rate, frames);  // fails: more than the header said
  }
  tw_commit({&file});
}

void tw_wav(const std::string &path, int rate, const uint8_t *pcm, size_t bytes) {
  tw_file file;
  tw_wav_open(file, path, rate, bytes / 4);
  tw_write(file, pcm, bytes);
  tw_commit({&file});
}
