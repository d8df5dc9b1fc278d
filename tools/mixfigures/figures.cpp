#include "figures.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numbers>
#include <string_view>

#include "driver/script.h"

namespace {

// The demo's script (driver/script.def) as plain records: the music
// positions are read from it, never copied.
struct ScriptScene {
  const char *id;
  int first;
};
struct ScriptText {
  int start;
};
struct ScriptFade {
  int start, duration;
  const char *from, *to;
};
constexpr ScriptScene kScenes[] = {
#define ULV_SCENE(id, name, first, last) {#id, first},
#include "driver/script.def"
};
constexpr ScriptText kTexts[] = {
#define ULV_TEXT(x, y, text, start, duration) {start},
#include "driver/script.def"
};
constexpr ScriptFade kFades[] = {
#define ULV_FADE(start, duration, from, to) {start, duration, #from, #to},
#include "driver/script.def"
};

// The index of the scene `id` in playing order; the table's size if none.
constexpr size_t scene_index(std::string_view id) {
  size_t i = 0;
  while (i < std::size(kScenes) && kScenes[i].id != id) i++;
  return i;
}

constexpr int scene_first(std::string_view id) { return kScenes[scene_index(id)].first; }

// The row of the song (from its first, 64 rows an order) at a position.
constexpr long song_row(int position) { return position / 100 * 64 + position % 100; }

bool is_flash_palette(const char *pal) {
  return std::strcmp(pal, "pal_bright") == 0 || std::strcmp(pal, "pal_white") == 0;
}

// The flash rows from the script: every short fade (at most 200 ms) into
// the bright or the white palette from another one, the first text of each
// of the gargoyle's bursts (texts two rows apart), and the portrait
// switches; ascending.
std::vector<int> script_flash_rows() {
  std::vector<int> v;
  for (const ScriptFade &f : kFades)
    if (f.duration <= 200 && is_flash_palette(f.to) && std::strcmp(f.from, f.to) != 0) v.push_back(f.start);
  const int gargoyle = scene_first("SCENE_GARGOYLE"), after = scene_first("SCENE_LETTERS");
  for (const ScriptText &t : kTexts) {
    if (t.start < gargoyle || t.start >= after) continue;
    bool follows = false;
    for (const ScriptText &u : kTexts) follows = follows || u.start == t.start - 2;
    if (!follows) v.push_back(t.start);
  }
  v.push_back(PORTRAIT_DORL);
  v.push_back(PORTRAIT_VESK);
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

}  // namespace

const std::vector<int> kMfFlashRows = script_flash_rows();
const std::vector<int> kMfAccentRows = [] {
  std::vector<int> v = kMfFlashRows;
  v.push_back(scene_first("SCENE_TITLE"));
  v.push_back(scene_first("SCENE_SKULL"));
  std::sort(v.begin(), v.end());
  return v;
}();

namespace {

constexpr int kN = 4096;   // FFT length: 10.8 Hz bins at 44100 Hz
constexpr int kHop = kN / 2;
constexpr double kRate = 44100.0;
// The worm section: song rows of the worm strip, up to the next scene's first.
constexpr long kWormFrom = song_row(scene_first("SCENE_WORMS"));
constexpr long kWormTo = song_row(kScenes[scene_index("SCENE_WORMS") + 1].first);

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

// A biquad section, direct form I, run on one channel.
struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// High-pass at f0 with quality q (0.7071 is Butterworth), bilinear with
// prewarping.
Biquad highpass(double f0, double q) {
  const double k = std::tan(std::numbers::pi * f0 / kRate), a0 = 1 + k / q + k * k;
  return {1 / a0, -2 / a0, 1 / a0, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

// The K-weighting of BS.1770 at 44100 Hz: its high-frequency shelf (+4 dB
// above about 1.7 kHz, the head's effect) and its high-pass (the RLB curve),
// from the analogue prototypes whose 48 kHz forms the standard tabulates.
Biquad k_shelf() {
  const double f0 = 1681.974450955533, gain_db = 3.999843853973347, q = 0.7071752369554196;
  const double k = std::tan(std::numbers::pi * f0 / kRate), vh = std::pow(10.0, gain_db / 20);
  const double vb = std::pow(vh, 0.4996667741545416), a0 = 1 + k / q + k * k;
  return {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
          2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}
Biquad k_highpass() { return highpass(38.13547087602444, 0.5003270373238773); }

double lufs_of(double mean_square) { return -0.691 + 10 * std::log10(mean_square + 1e-30); }

// Mean squares of the K-weighted sum of both channels over windows of
// `len` frames every `step` frames (complete windows only).
std::vector<double> block_powers(const std::vector<double> &k2, long len, long step) {
  std::vector<double> prefix(k2.size() + 1, 0.0);
  for (size_t i = 0; i < k2.size(); i++) prefix[i + 1] = prefix[i] + k2[i];
  std::vector<double> out;
  for (long at = 0; at + len <= long(k2.size()); at += step) out.push_back((prefix[at + len] - prefix[at]) / len);
  return out;
}

// Blocks above the absolute gate (-70 LUFS) and then above the relative
// gate, `rel_lu` under the loudness of the first set.
std::vector<double> gated(const std::vector<double> &powers, double rel_lu) {
  std::vector<double> kept;
  for (double p : powers)
    if (lufs_of(p) > -70) kept.push_back(p);
  if (kept.empty()) return kept;
  double mean = 0;
  for (double p : kept) mean += p;
  const double gate = lufs_of(mean / kept.size()) - rel_lu;
  std::vector<double> out;
  for (double p : kept)
    if (lufs_of(p) > gate) out.push_back(p);
  return out;
}

}  // namespace

std::vector<double> mf_scaled(const std::vector<int16_t> &s, double cut_hz) {
  std::vector<double> x(s.size());
  Biquad l = highpass(cut_hz > 0 ? cut_hz : 1, 0.7071067811865476), r = l;
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    x[i] = s[i] / 32768.0;
    x[i + 1] = s[i + 1] / 32768.0;
    if (cut_hz > 0) {
      x[i] = l.run(x[i]);
      x[i + 1] = r.run(x[i + 1]);
    }
  }
  return x;
}

std::vector<int16_t> mf_highpassed(const std::vector<int16_t> &s, double cut_hz) {
  const std::vector<double> x = mf_scaled(s, cut_hz);
  std::vector<int16_t> out(x.size());
  for (size_t i = 0; i < x.size(); i++) out[i] = int16_t(std::clamp(std::lround(x[i] * 32768), -32768L, 32767L));
  return out;
}

MfLoudness mf_loudness(const std::vector<double> &stereo) {
  const long frames = long(stereo.size() / 2);
  Biquad sl = k_shelf(), sr = sl, hl = k_highpass(), hr = hl;
  // Per frame, the sum over both channels (weights 1) of the weighted
  // value squared.
  std::vector<double> k2(static_cast<size_t>(frames));
  for (long i = 0; i < frames; i++) {
    const double l = hl.run(sl.run(stereo[2 * i])), r = hr.run(sr.run(stereo[2 * i + 1]));
    k2[size_t(i)] = l * l + r * r;
  }
  MfLoudness out{-70, 0};
  // Integrated: 400 ms blocks overlapping by 75 %, relative gate -10 LU.
  const std::vector<double> blocks = gated(block_powers(k2, 17640, 4410), 10);
  if (!blocks.empty()) {
    double mean = 0;
    for (double p : blocks) mean += p;
    out.integrated = lufs_of(mean / blocks.size());
  }
  // Range: 3 s windows every 100 ms, relative gate -20 LU, from the 10th to
  // the 95th percentile of what is left.
  std::vector<double> st = gated(block_powers(k2, 132300, 4410), 20);
  if (!st.empty()) {
    std::vector<double> l;
    for (double p : st) l.push_back(lufs_of(p));
    std::sort(l.begin(), l.end());
    auto pct = [&l](double q) { return l[size_t(std::lround(q * (l.size() - 1)))]; };
    out.range = pct(0.95) - pct(0.10);
  }
  return out;
}

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
  f.sub = all.share(0, 100);
  f.low = all.share(0, 500);
  f.presence = all.share(1000, 3000);
  f.top = all.share(4000, 1e9);
  const MfLoudness loud = mf_loudness(mf_scaled(s)), small = mf_loudness(mf_scaled(s, 300));
  f.lufs = loud.integrated;
  f.lra = loud.range;
  f.small_speaker_loss = loud.integrated - small.integrated;
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
