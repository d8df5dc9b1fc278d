#include "figures.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

const std::vector<int> kMfFlashRows = {332,  400,  432,  500,  532,  600,  632,  900,  1000,
                                       1248, 1300, 1316, 1400, 1416, 1432, 1500, 1516, 1600,
                                       1616, 1632, 1700, 1732, 2242, 2320, 2462};
const std::vector<int> kMfAccentRows = [] {
  std::vector<int> v = kMfFlashRows;
  v.push_back(232);
  v.push_back(300);
  std::sort(v.begin(), v.end());
  return v;
}();

namespace {

constexpr int kN = 4096;   // FFT length: 10.8 Hz bins at 44100 Hz
constexpr int kHop = kN / 2;
constexpr double kRate = 44100.0;
constexpr int kWormFrom = 11 * 64, kWormTo = 13 * 64;  // song rows of positions 1100..1299

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

// Twiddles e^(-2 pi i k / kN) for k < kN / 2, each from its own cosine and
// sine, and the bit-reversed order of kN indices; made once.
struct FftTables {
  std::vector<double> cos_k = std::vector<double>(kN / 2), sin_k = std::vector<double>(kN / 2);
  std::vector<int> reversed = std::vector<int>(kN);
  FftTables() {
    for (int k = 0; k < kN / 2; k++) {
      const double ang = -2 * std::numbers::pi * k / kN;
      cos_k[k] = std::cos(ang);
      sin_k[k] = std::sin(ang);
    }
    for (int i = 1, j = 0; i < kN; i++) {
      int bit = kN >> 1;
      for (; j & bit; bit >>= 1) j ^= bit;
      j |= bit;
      reversed[i] = j;
    }
  }
};

const FftTables &fft_tables() {
  static const FftTables t;
  return t;
}

// In-place radix-2 FFT of kN values, real parts in `re` and imaginary parts
// in `im`.
void fft(double *re, double *im) {
  const FftTables &t = fft_tables();
  for (int i = 1; i < kN; i++)
    if (i < t.reversed[i]) {
      std::swap(re[i], re[t.reversed[i]]);
      std::swap(im[i], im[t.reversed[i]]);
    }
  for (int len = 2; len <= kN; len <<= 1) {
    const int half = len / 2, step = kN / len;
    for (int i = 0; i < kN; i += len)
      for (int k = 0; k < half; k++) {
        const double wr = t.cos_k[k * step], wi = t.sin_k[k * step];
        const int a = i + k, b = a + half;
        const double yr = re[b] * wr - im[b] * wi, yi = re[b] * wi + im[b] * wr;
        re[b] = re[a] - yr;
        im[b] = im[a] - yi;
        re[a] += yr;
        im[a] += yi;
      }
  }
}

// Energy per bin (1..N/2) summed over Hann-windowed blocks of a signal.
struct Spectrum {
  std::vector<double> bin = std::vector<double>(kN / 2 + 1, 0.0);
  std::vector<double> hann = [] {
    std::vector<double> w(kN);
    for (int i = 0; i < kN; i++) w[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kN);
    return w;
  }();
  std::vector<double> re = std::vector<double>(kN), im = std::vector<double>(kN);

  // Energy of bin k of the last transform.
  double energy(int k) const { return re[k] * re[k] + im[k] * im[k]; }

  // Adds both channels of the block of kN stereo frames starting at frame
  // `at` of x; frames past `count` count as silence. One transform serves
  // both: with left as the real part and right as the imaginary part, the
  // two channels' energies at bin k add up to (|Z[k]|^2 + |Z[kN - k]|^2) / 2.
  void add_stereo_block(const int16_t *x, long count, long at) {
    for (int i = 0; i < kN; i++) {
      const long k = at + i;
      re[i] = k < count ? hann[i] * x[2 * k] : 0.0;
      im[i] = k < count ? hann[i] * x[2 * k + 1] : 0.0;
    }
    fft(re.data(), im.data());
    for (int k = 1; k <= kN / 2; k++) bin[k] += (energy(k) + energy(kN - k)) / 2;
  }
  void add_double(const std::vector<double> &x, long at) {
    for (int i = 0; i < kN; i++) {
      const size_t k = size_t(at + i);
      re[i] = k < x.size() ? hann[i] * x[k] : 0.0;
      im[i] = 0;
    }
    fft(re.data(), im.data());
    for (int k = 1; k <= kN / 2; k++) bin[k] += energy(k);
  }
  double share(double lo, double hi) const {
    double in = 0, all = 0;
    for (int k = 1; k <= kN / 2; k++) {
      const double f = k * kRate / kN;
      all += bin[k];
      if (f >= lo && f < hi) in += bin[k];
    }
    return all > 0 ? in / all : 0;
  }
  double centroid() const {
    double fm = 0, all = 0;
    for (int k = 1; k <= kN / 2; k++) {
      fm += k * kRate / kN * bin[k];
      all += bin[k];
    }
    return all > 0 ? fm / all : 0;
  }
};

// Spectrum of both channels of frames [from, to).
void add_stereo(Spectrum &sp, const std::vector<int16_t> &s, long from, long to) {
  const long frames = std::min(long(s.size() / 2), to);
  for (long at = from; at < frames; at += kHop) {
    sp.add_stereo_block(s.data(), frames, at);
  }
}

// Side over mid energy in dB of frames [from, to).
double side_mid_db(const std::vector<int16_t> &s, long from, long to) {
  double side = 0, mid = 0;
  to = std::min(to, long(s.size() / 2));
  for (long i = std::max(0L, from); i < to; i++) {
    const double l = s[2 * i], r = s[2 * i + 1];
    side += (l - r) * (l - r) / 4;
    mid += (l + r) * (l + r) / 4;
  }
  return mid > 0 ? 10 * std::log10(side / mid + 1e-12) : 0;
}

long song_row(int pos) { return pos / 100 * 64 + pos % 100; }

// Level of a row: the louder of its first two 50 ms windows, dBFS.
double row_level_db(const std::vector<int16_t> &s, long row) {
  const long at = long(row * kMfFramesPerRow + 0.5);
  const double e = std::max(mf_window_energy(s, at), mf_window_energy(s, at + kMfWindow));
  return 10 * std::log10(e / (2.0 * kMfWindow * 32768.0 * 32768.0) + 1e-12);
}

// The four plain downbeats (bar starts that are no accent row) nearest to
// song row `row`, within two patterns on either side.
std::vector<long> plain_downbeats(long row, long rows) {
  std::vector<long> near;
  for (long d = row - 128 - row % 16; d <= row + 128; d += 16) {
    if (d < 0 || d >= rows || d == row) continue;
    bool accent = false;
    for (int a : kMfAccentRows) accent |= song_row(a) == d;
    if (!accent) near.push_back(d);
  }
  std::stable_sort(near.begin(), near.end(), [row](long a, long b) { return std::labs(a - row) < std::labs(b - row); });
  if (near.size() > 4) near.resize(4);
  return near;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void measure_flashes(MfFigures &f, const std::vector<int16_t> &s, const std::vector<int> &rows) {
  const long song_rows = long(f.frames / kMfFramesPerRow);
  std::vector<double> contrasts;
  for (int pos : rows) {
    MfFlash fl{pos, row_level_db(s, song_row(pos)), 0, 0};
    std::vector<double> around;
    for (long d : plain_downbeats(song_row(pos), song_rows)) around.push_back(row_level_db(s, d));
    fl.downbeat_db = median(around);
    fl.contrast_db = fl.hit_db - fl.downbeat_db;
    contrasts.push_back(fl.contrast_db);
    f.flashes_3db += fl.contrast_db >= 3.0;
    f.flashes.push_back(fl);
  }
  f.flash_median_db = median(contrasts);
}

}  // namespace

double mf_window_energy(const std::vector<int16_t> &s, long frame) {
  const long frames = long(s.size() / 2);
  double e = 0;
  for (long i = std::max(0L, frame); i < std::min(frames, frame + kMfWindow); i++) {
    const double l = s[2 * i], r = s[2 * i + 1];
    e += l * l + r * r;
  }
  return e;
}

std::vector<int16_t> mf_read_wav(const std::string &path, std::string &err) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    err = std::strerror(errno);
    return {};
  }
  std::vector<uint8_t> b;
  // Room for the whole file up front, where its size can be told.
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0) b.reserve(size_t(size));
    std::rewind(f);
  }
  uint8_t chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) b.insert(b.end(), chunk, chunk + n);
  const bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) {
    err = "read error";
    return {};
  }
  if (b.size() < 12 || std::memcmp(&b[0], "RIFF", 4) || std::memcmp(&b[8], "WAVE", 4)) {
    err = "not a RIFF WAVE file";
    return {};
  }
  bool fmt_ok = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = le32(&b[at + 4]);
    const size_t body = at + 8;
    if (!std::memcmp(&b[at], "fmt ", 4) && size >= 16 && body + 16 <= b.size())
      fmt_ok = le16(&b[body]) == 1 && le16(&b[body + 2]) == 2 && le32(&b[body + 4]) == 44100 &&
               le16(&b[body + 14]) == 16;
    if (!std::memcmp(&b[at], "data", 4)) {
      if (!fmt_ok) {
        err = "not 44100 Hz 16-bit stereo PCM";
        return {};
      }
      const size_t n = std::min<size_t>(size, b.size() - body) / 4 * 2;
      std::vector<int16_t> s(n);
      for (size_t i = 0; i < n; i++) s[i] = int16_t(le16(&b[body + 2 * i]));
      if (s.empty()) err = "no sound data";
      return s;
    }
    at = body + size + (size & 1);
  }
  err = "no data chunk";
  return {};
}

MfFigures mf_measure(const std::vector<int16_t> &s, const std::vector<int> &flash_rows) {
  MfFigures f;
  f.frames = long(s.size() / 2);
  Spectrum all, worm;
  add_stereo(all, s, 0, f.frames);
  f.low = all.share(0, 500);
  f.mid_band = all.share(500, 2000);
  f.top = all.share(4000, 1e9);
  const long wf = long(kWormFrom * kMfFramesPerRow), wt = long(kWormTo * kMfFramesPerRow);
  add_stereo(worm, s, wf, wt);
  f.worm_centroid_hz = worm.centroid();
  f.worm_low = worm.share(0, 500);
  f.worm_side_mid_db = side_mid_db(s, wf, wt);
  f.side_mid_db = side_mid_db(s, 0, f.frames);
  double ll = 0, rr = 0, lr = 0, sl = 0, sr = 0;
  for (long i = 0; i < f.frames; i++) {
    const double l = s[2 * i], r = s[2 * i + 1];
    ll += l * l;
    rr += r * r;
    lr += l * r;
    sl += l;
    sr += r;
  }
  f.correlation = ll > 0 && rr > 0 ? lr / std::sqrt(ll * rr) : 0;
  f.dc_left = f.frames ? sl / f.frames : 0;
  f.dc_right = f.frames ? sr / f.frames : 0;
  for (size_t i = 0; i < s.size(); i++) {
    const int v = s[i];
    f.clipped += v == 32767 || v == -32768;
    if (std::abs(v) > f.peak) {
      f.peak = std::abs(v);
      const long row = long(double(i / 2) / kMfFramesPerRow);
      f.peak_pos = int(row / 64 * 100 + row % 64);
    }
  }
  measure_flashes(f, s, flash_rows);
  return f;
}

double mf_band_share(const std::vector<double> &mono, double lo_hz, double hi_hz) {
  Spectrum sp;
  for (long at = 0; at < long(mono.size()); at += kHop) sp.add_double(mono, at);
  return sp.share(lo_hz, hi_hz);
}

double mf_centroid(const std::vector<double> &mono) {
  Spectrum sp;
  for (long at = 0; at < long(mono.size()); at += kHop) sp.add_double(mono, at);
  return sp.centroid();
}
