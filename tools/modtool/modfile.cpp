// Module file reading and checking.
#include "modfile.h"

#include <cstdio>
#include <cstring>

#include "replayer/pt.h"

namespace {

uint32_t word_at(const std::vector<uint8_t> &b, size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; }

// Printable form of up to n bytes: stops at NUL, escapes the rest.
std::string text_at(const std::vector<uint8_t> &b, size_t at, size_t n, bool stop_at_nul) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    uint8_t c = b[at + i];
    if (c == 0 && stop_at_nul) break;
    if (c >= 32 && c < 127 && c != '\\') {
      s += char(c);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", c);
      s += esc;
    }
  }
  return s;
}

// Channel count of a tag, 0 when it is not one the loader knows.
int tag_channels(const std::vector<uint8_t> &b) {
  for (int i = 0; i < PT_NUMTAGS; ++i) {
    if (std::strcmp(pt_modtags[i], "STOP") == 0) return 0;
    if (std::memcmp(&b[1080], pt_modtags[i], 4) == 0) return pt_modchannels[i];
  }
  return 0;
}

}  // namespace

bool modfile_read(const std::string &path, std::vector<uint8_t> &bytes, std::string &problem) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    problem = "cannot open the file";
    return false;
  }
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad) problem = "read error";
  return !bad;
}

bool modfile_check(const std::vector<uint8_t> &b, modfile_info &info, std::string &problem) {
  char msg[160];
  if (b.size() < MOD_HEADER) {
    std::snprintf(msg, sizeof msg, "truncated: %zu bytes, shorter than the %zu-byte header", b.size(),
                  MOD_HEADER);
    problem = msg;
    return false;
  }
  info.channels = tag_channels(b);
  info.tag = text_at(b, 1080, 4, false);
  if (info.channels == 0) {
    problem = "unknown format tag \"" + info.tag + "\"";
    return false;
  }
  int last = 0;
  for (int i = 0; i < 128; ++i) {
    info.orders[i] = b[952 + size_t(i)];
    if (info.orders[i] > 127) {
      std::snprintf(msg, sizeof msg, "order entry %d names pattern %d, above 127", i, info.orders[i]);
      problem = msg;
      return false;
    }
    if (info.orders[i] > last) last = info.orders[i];
  }
  info.patterns = last + 1;
  info.title = text_at(b, 0, 20, true);
  info.song_length = b[950];
  info.restart = b[951];
  size_t claimed = MOD_HEADER + size_t(info.patterns) * size_t(info.channels) * 256;
  for (int k = 0; k < 31; ++k) {
    size_t h = 20 + 30 * size_t(k);
    modfile_sample &s = info.samples[k];
    s.name = text_at(b, h, 22, true);
    s.length = word_at(b, h + 22) * 2;
    s.finetune = (b[h + 24] & 15) < 8 ? b[h + 24] & 15 : (b[h + 24] & 15) - 16;
    s.volume = b[h + 25];
    s.loop_start = word_at(b, h + 26) * 2;
    s.loop_length = word_at(b, h + 28) * 2;
    claimed += s.length;
  }
  info.claimed = claimed;
  if (b.size() < claimed) {
    std::snprintf(msg, sizeof msg,
                  "truncated: %zu bytes, but header, %d patterns and samples claim %zu", b.size(),
                  info.patterns, claimed);
    problem = msg;
    return false;
  }
  return true;
}
