// Module file reading and checking.
#include "modfile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

// What the file is, when it is not a regular file; null when it is.
const char *not_a_file(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISDIR(mode)) return "is a directory, not a module file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a module file";
  if (S_ISFIFO(mode)) return nullptr;  // read up to the largest module, see modfile_read
  return "is not a regular file";
}

std::string size_problem(uint64_t size) {
  char msg[160];
  std::snprintf(msg, sizeof msg, "%llu bytes, larger than any module can be (at most %zu)",
                static_cast<unsigned long long>(size), modfile_largest());
  return msg;
}

// Reads exactly bytes.size() bytes or up to the end of the file.
bool read_all(int fd, std::vector<uint8_t> &bytes, std::string &problem) {
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      problem = std::strerror(errno);
      return false;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  bytes.resize(got);
  return true;
}

}  // namespace

size_t modfile_largest() {
  int32_t widest = 0;
  for (int i = 0; i < PT_NUMTAGS; ++i) widest = std::max(widest, pt_modchannels[i]);
  return MOD_HEADER + size_t(PT_MAXPATTERNS) * size_t(widest) * 256 + 31 * size_t(65535) * 2;
}

bool modfile_read(const std::string &path, std::vector<uint8_t> &bytes, std::string &problem) {
  // Non-blocking, so that opening a FIFO with no writer does not wait.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) {
    problem = std::strerror(errno);
  } else if (const char *what = not_a_file(st.st_mode)) {
    problem = what;
    ok = false;
  } else if (S_ISFIFO(st.st_mode)) {
    // A pipe has no size to learn: read one byte more than a module can
    // hold, which tells an endless stream from a module.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bytes.assign(modfile_largest() + 1, 0);
    ok = read_all(fd, bytes, problem);
    if (ok && bytes.empty()) {
      problem = "a FIFO or pipe with nothing written into it, not a module file";
      ok = false;
    } else if (ok && bytes.size() > modfile_largest()) {
      problem = "a stream longer than any module can be (at most " + std::to_string(modfile_largest()) + " bytes)";
      ok = false;
    }
  } else if (st.st_size == 0) {
    // The kernel's files say size 0 whatever they hold.
    struct statfs fs;
    problem = fstatfs(fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC ? "a file of the kernel's /proc, not a module file"
                                                                      : "an empty file, not a module file";
    ok = false;
  } else if (uint64_t(st.st_size) > modfile_largest()) {
    problem = size_problem(uint64_t(st.st_size));
    ok = false;
  } else {
    // What fstat promised and no more: a file that grows meanwhile is read
    // as it was.
    bytes.assign(size_t(st.st_size), 0);
    ok = read_all(fd, bytes, problem);
  }
  close(fd);
  return ok;
}

bool modfile_check(const std::vector<uint8_t> &b, modfile_info &info, std::string &problem) {
  char msg[160];
  if (b.size() < MOD_HEADER) {
    std::snprintf(msg, sizeof msg, "truncated: %zu bytes, shorter than the %zu-byte header", b.size(),
                  MOD_HEADER);
    problem = msg;
    return false;
  }
  info.channels = pt_tagchannels(reinterpret_cast<const char *>(&b[1080]));
  info.tag = text_at(b, 1080, 4, false);
  if (info.channels == 0) {
    problem = "unknown format tag \"" + info.tag + "\"";
    return false;
  }
  std::memcpy(info.orders, &b[952], 128);
  const int highest = pt_highestpattern(info.orders);
  if (highest >= PT_MAXPATTERNS) {
    std::snprintf(msg, sizeof msg, "the order list names pattern %d, above %d", highest, PT_MAXPATTERNS - 1);
    problem = msg;
    return false;
  }
  info.patterns = highest + 1;
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
  info.missing = 0;
  // Only the last sample's end missing (a transfer cut short): played with
  // the missing bytes as silence, as other players do.
  int last = 30;
  while (last >= 0 && info.samples[last].length == 0) last--;
  if (b.size() < claimed && last >= 0 && claimed - b.size() <= info.samples[last].length) {
    info.missing = claimed - b.size();
    return true;
  }
  if (b.size() < claimed) {
    std::snprintf(msg, sizeof msg,
                  "truncated: %zu bytes, but header, %d patterns and samples claim %zu", b.size(),
                  info.patterns, claimed);
    problem = msg;
    return false;
  }
  return true;
}
