// Instruments of the module, synthesised at the rate each one is played at
// (a sample played at note n runs at 3546836 / period(n) Hz).
//
// Tonal instruments are additive: every partial of a looped sample is a
// whole multiple of rate / loop length, so the sustain repeats exactly and
// loops without a click; vibrato and chorus rates sit on the same grid.
// Noisy and distorted sounds are rendered at four times the rate and
// low-passed before decimation, so nothing folds back. Every sample then
// loses its DC, is normalised and quantised to 8 bits with triangular
// dither, and gets two zero bytes in front.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gen.h"
#include "music.h"

namespace music {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kOversample = 4;

// Pitch of the notes as written: A-3 (index 57) sounds 440 Hz times `shift`.
double pitch(int note, double shift = 1.0) { return 440.0 * std::pow(2.0, (note - 57) / 12.0) * shift; }

int even(double v) { return 2 * int(std::lround(v / 2)); }

// sin(2 pi c) for a phase c in cycles, from a table with linear interpolation
// (error below 1e-7, far under the 8-bit step). The hot loops fetch the table
// once and call sin_from; sin_cycles is the same value for the others.
constexpr int kSinSteps = 16384;

const double *sin_table() {
  static const std::vector<double> table = [] {
    std::vector<double> t(kSinSteps + 1);
    for (int i = 0; i <= kSinSteps; i++) t[i] = std::sin(2 * kPi * i / kSinSteps);
    return t;
  }();
  return table.data();
}

// std::floor(c) on the short path phases take (they stay far inside
// +-2^31), where the library's sequence also handles values beyond 2^52.
// Only -0 comes out as +0, and c minus either is a fraction of zero.
inline double floor_phase(double c) {
  if (!(c > -0x1p31 && c < 0x1p31)) return std::floor(c);
  const double t = double(int(c));  // c rounded towards zero
  return t > c ? t - 1 : t;
}

inline double sin_from(const double *table, double c) {
  double x = (c - floor_phase(c)) * kSinSteps;
  int i = int(x);
  return table[i] + (x - i) * (table[i + 1] - table[i]);
}

double sin_cycles(double c) { return sin_from(sin_table(), c); }

// Steps through m * i mod `len` for i = 0, 1, 2, ... without a division per
// step: `len` > 0, m >= 0.
struct ModCounter {
  int r = 0, step, len;
  ModCounter(int64_t m, int l) : step(int(m % l)), len(l) {}
  int next() {
    const int v = r;
    r += step;
    if (r >= len) r -= len;
    return v;
  }
};

// ---- filters (run at whatever rate they are fed) --------------------------

struct OnePole {  // low-pass; high-pass is input minus this
  double a = 0, y = 0;
  OnePole(double cutoff, double rate) : a(1 - std::exp(-2 * kPi * cutoff / rate)) {}
  double lp(double x) { return y += a * (x - y); }
  double hp(double x) { return x - lp(x); }
};

struct Svf {  // Chamberlin state-variable filter; stable well below rate / 6
  double f, q, low = 0, band = 0;
  Svf(double cutoff, double res, double rate) : f(2 * std::sin(kPi * cutoff / rate)), q(1 / res) {}
  void tune(double cutoff, double rate) { f = 2 * std::sin(kPi * std::min(cutoff, rate / 7) / rate); }
  double bp(double x) {
    step(x);
    return band;
  }
  double hp(double x) { return step(x); }
  // One sample in; the high-pass output out, low and band updated.
  double step(double x) {
    low += f * band;
    double high = x - low - q * band;
    band += f * high;
    return high;
  }
};

// ---- rendering helpers ------------------------------------------------------

// n frames at `rate` of fn(t), t in seconds, evaluated at four times the rate
// in time order and low-passed (windowed sinc, cut at 0.45 x rate) before
// every fourth value is kept.
std::vector<double> render_os(int n, double rate, const std::function<double(double)> &fn) {
  const int taps = 95, half = taps / 2;
  const double fc = 0.45 / kOversample;
  std::vector<double> h(taps);
  double sum = 0;
  for (int i = 0; i < taps; i++) {
    double m = i - half;
    double s = m == 0 ? 2 * fc : std::sin(2 * kPi * fc * m) / (kPi * m);
    double w = 0.42 - 0.5 * std::cos(2 * kPi * i / (taps - 1)) + 0.08 * std::cos(4 * kPi * i / (taps - 1));
    h[i] = s * w;
    sum += h[i];
  }
  for (double &v : h) v /= sum;
  const int m = n * kOversample + taps;
  std::vector<double> hi(m);
  const double hr = rate * kOversample;
  for (int i = 0; i < m; i++) hi[i] = fn(i / hr);
  std::vector<double> out(n);
  for (int i = 0; i < n; i++) {
    double acc = 0;
    const int c = i * kOversample;  // centre; values before 0 count as silence
    for (int j = 0; j < taps; j++) {
      int k = c + j - half;
      if (k >= 0) acc += h[j] * hi[k];
    }
    out[i] = acc;
  }
  return out;
}

struct Partial {
  double freq, amp, decay;  // Hz, linear, seconds to 1/e
};

// One-shot sum of decaying sines with a short attack.
std::vector<double> partials(double rate, double seconds, const std::vector<Partial> &ps, double attack = 0.002,
                             uint64_t init = 1) {
  int n = int(seconds * rate);
  std::vector<double> out(n, 0.0);
  Rng rng(init);
  for (const Partial &p : ps) {
    if (p.freq >= 0.45 * rate) continue;
    double ph = rng.uniform() * 2 * kPi, w = 2 * kPi * p.freq / rate;
    double d = std::exp(-1.0 / (p.decay * rate)), a = p.amp;
    for (int i = 0; i < n; i++, a *= d) out[i] += a * sin_cycles((ph + w * i) / (2 * kPi));
  }
  int na = std::max(1, int(attack * rate));
  for (int i = 0; i < std::min(n, na); i++) out[i] *= double(i) / na;
  return out;
}

// A held tone or chord whose sustain repeats every `loop` frames.
struct Pad {
  double rate;
  double attack;      // seconds until the sustain, which is where the loop starts
  double loop_sec;    // loop length
  int unison = 1;     // voices per tone
  double spread = 0;  // cents between neighbouring unison voices
  double vib_hz = 0, vib_depth = 0;  // vibrato rate and depth (fraction of the frequency)
  // Amplitude of partial k (frequency f) at attack progress p (0 onset .. 1 sustain).
  std::function<double(double f, int k, double p)> spectrum;
  double max_freq = 0;  // partials above are left out; 0 = 0.45 x rate
};

// A pad played at `note`'s rate, without vibrato and spectrum yet.
Pad pad_at(int note, double attack, double loop_sec, int unison, double spread) {
  Pad p;
  p.rate = note_rate(note);
  p.attack = attack;
  p.loop_sec = loop_sec;
  p.unison = unison;
  p.spread = spread;
  return p;
}

struct Tone {
  double freq, amp;
};

struct Looped {
  std::vector<double> x;
  int loop_start, loop_len;
};

// One partial of a pad: its frequency in grid steps (m) and in Hz (f), its
// harmonic number k within its voice, level, start phase (radians) and
// vibrato index, and the voice whose vibrato it follows.
struct PadOsc {
  int m;
  double amp, phase, vib;
  int k, voice;
  double f;
};

struct PadVib {
  int m;         // vibrato rate in grid steps
  double phase;  // radians
};

// Frames after which m x i mod L comes round again: L / gcd(m, L).
int grid_period(int64_t m, int L) { return L / int(std::gcd(m % L, int64_t(L))); }

// acc[i] += a x s[i] for i < n and, with a weight w, acc[i] += w[i] x a x
// s[i]: two frames at a time with SSE2 where it is there, lane for lane the
// same operations as the plain loops that finish them.
void add_scaled(double *acc, double a, const double *s, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128d av = _mm_set1_pd(a);
  for (; i + 2 <= n; i += 2)
    _mm_storeu_pd(acc + i, _mm_add_pd(_mm_loadu_pd(acc + i), _mm_mul_pd(av, _mm_loadu_pd(s + i))));
#endif
  for (; i < n; i++) acc[i] += a * s[i];
}

void add_weighted(double *acc, const double *w, double a, const double *s, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128d av = _mm_set1_pd(a);
  for (; i + 2 <= n; i += 2) {
    const __m128d ws = _mm_mul_pd(_mm_mul_pd(_mm_loadu_pd(w + i), av), _mm_loadu_pd(s + i));
    _mm_storeu_pd(acc + i, _mm_add_pd(_mm_loadu_pd(acc + i), ws));
  }
#endif
  for (; i < n; i++) acc[i] += w[i] * a * s[i];
}

// The start of partial_sines' loop, two frames at a time where SSE2 is
// there: each lane does exactly the operations of sin_from(table, r / L +
// phase(i)), so the values are the same bits. It stops before the first
// pair with a phase off floor_phase's short path (and before an odd last
// frame) and returns how many frames it wrote; the caller does the rest.
#if defined(__SSE2__)
template <class Phase>
int sines_in_pairs(const double *table, ModCounter &r, int L, Phase &phase, double *out, int count) {
  const __m128d len = _mm_set1_pd(double(L)), steps = _mm_set1_pd(double(kSinSteps)), one = _mm_set1_pd(1.0);
  const __m128d lo = _mm_set1_pd(-0x1p31), hi = _mm_set1_pd(0x1p31);
  for (int i = 0; i + 2 <= count; i += 2) {
    const ModCounter before = r;
    const double r0 = r.next(), r1 = r.next();
    const __m128d c = _mm_add_pd(_mm_div_pd(_mm_set_pd(r1, r0), len), _mm_set_pd(phase(i + 1), phase(i)));
    if (_mm_movemask_pd(_mm_and_pd(_mm_cmpgt_pd(c, lo), _mm_cmplt_pd(c, hi))) != 3) {
      r = before;
      return i;
    }
    const __m128d t = _mm_cvtepi32_pd(_mm_cvttpd_epi32(c));  // towards zero
    const __m128d whole = _mm_sub_pd(t, _mm_and_pd(_mm_cmpgt_pd(t, c), one));
    const __m128d x = _mm_mul_pd(_mm_sub_pd(c, whole), steps);
    const __m128i k = _mm_cvttpd_epi32(x);
    const int k0 = _mm_cvtsi128_si32(k), k1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(k, 1));
    const __m128d a = _mm_set_pd(table[k1], table[k0]), b = _mm_set_pd(table[k1 + 1], table[k0 + 1]);
    const __m128d frac = _mm_sub_pd(x, _mm_cvtepi32_pd(k));
    _mm_storeu_pd(out + i, _mm_add_pd(a, _mm_mul_pd(frac, _mm_sub_pd(b, a))));
  }
  return count & ~1;
}
#else
template <class Phase>
int sines_in_pairs(const double *, ModCounter &, int, Phase &, double *, int) {
  return 0;
}
#endif

// sin of a partial at frames 0..size-1 of `out`: m grid steps of a loop of
// L frames, at phase(i) cycles plus r / L where r = m x i mod L. The phase
// repeats every `phase_period` frames (a divisor of L; 1 for a constant), so
// the sines repeat exactly once both have come round and are copied from
// there on.
template <class Phase>
void partial_sines(int64_t m, int L, int phase_period, Phase phase, std::vector<double> &out) {
  const double *table = sin_table();
  const int period = std::lcm(grid_period(m, L), phase_period);
  const int n = int(out.size()), first = std::min(n, period);
  ModCounter r(m, L);
  int i = sines_in_pairs(table, r, L, phase, out.data(), first);
  for (; i < first; i++) out[i] = sin_from(table, double(r.next()) / L + phase(i));
  for (; i < n; i++) out[i] = out[i - period];
}

// The vibrato of voice v, sin of its phase, at every frame of `out`, for a
// loop of L frames.
void vibrato_phases(const PadVib &v, int L, std::vector<double> &out) {
  partial_sines(v.m, L, 1, [&v](int) { return v.phase / (2 * kPi); }, out);
}

// Adds partial c to acc, frame by frame. The spectrum moves during the
// attack (the first ls frames); it is sampled every 32 frames and once more
// where the sustain starts (p = 1). `vphase` holds c's voice's vibrato,
// which repeats every `vphase_period` frames. `sines` is scratch of acc's
// size.
void add_partial(const Pad &s, const PadOsc &c, int ls, int L, const std::vector<double> &vphase, int vphase_period,
                 std::vector<double> &sines, std::vector<double> &acc) {
  const int n = int(acc.size());
  const double still = c.phase / (2 * kPi);  // c.phase + 0 x vphase is c.phase itself
  if (c.vib == 0)
    partial_sines(c.m, L, 1, [still](int) { return still; }, sines);
  else
    partial_sines(c.m, L, vphase_period, [&](int i) { return (c.phase + c.vib * vphase[i]) / (2 * kPi); }, sines);
  for (int i0 = 0; i0 < n;) {
    const int i1 = i0 < ls ? std::min(i0 + 32, ls) : n;
    const double a = c.amp * s.spectrum(c.f, c.k, i0 < ls ? double(i0) / ls : 1.0);
    add_scaled(&acc[i0], a, &sines[i0], i1 - i0);
    i0 = i1;
  }
}

Looped pad(const Pad &s, const std::vector<Tone> &tones, uint64_t init) {
  const int L = even(s.loop_sec * s.rate), ls = even(s.attack * s.rate);
  const double g = s.rate / L;  // frequency grid: every partial repeats within L
  const int n = ls + L + 2;
  const double top = s.max_freq > 0 ? s.max_freq : 0.45 * s.rate;
  Rng rng(init);
  std::vector<PadOsc> osc;
  std::vector<PadVib> vib;
  for (const Tone &t : tones)
    for (int u = 0; u < s.unison; u++) {
      double cents = (u - (s.unison - 1) / 2.0) * s.spread;
      int m0 = std::max(1, int(std::lround(t.freq * std::pow(2.0, cents / 1200) / g)));
      int vm = s.vib_hz > 0 ? std::max(1, int(std::lround(s.vib_hz * (1 + 0.08 * (rng.uniform() - 0.5)) / g))) : 0;
      vib.push_back({vm, rng.uniform() * 2 * kPi});
      double f0 = m0 * g;
      for (int k = 1; k * f0 * (1 + s.vib_depth) < top; k++) {
        double index = vm ? k * s.vib_depth * f0 / (vm * g) : 0;
        osc.push_back({k * m0, t.amp / std::sqrt(double(s.unison)), rng.uniform() * 2 * kPi, index, k,
                       int(vib.size()) - 1, k * f0});
      }
    }
  // Partial by partial in their order, so every frame sums them as a
  // frame-by-frame loop would; a voice's partials follow each other.
  std::vector<double> acc(n, 0.0), vphase(n), sines(n);
  int phased = -1;  // the voice whose vibrato vphase holds
  for (const PadOsc &c : osc) {
    if (c.vib != 0 && c.voice != phased) {
      vibrato_phases(vib[c.voice], L, vphase);
      phased = c.voice;
    }
    add_partial(s, c, ls, L, vphase, grid_period(vib[c.voice].m, L), sines, acc);
  }
  std::vector<double> out(n);
  for (int i = 0; i < n; i++) {
    const double p = i < ls ? double(i) / ls : 1.0;
    const double e = p < 1 ? std::sin(0.5 * kPi * p) : 1.0;
    out[i] = acc[i] * e * e;
  }
  return {out, ls, L};
}

// Formant response of a sung vowel at frequency f.
double vowel(double f, const double (&fm)[4], const double (&bw)[4], const double (&gain)[4]) {
  double r = 0.02;
  for (int i = 0; i < 4; i++) {
    double d = (f - fm[i]) / bw[i];
    r += gain[i] / (1 + d * d);
  }
  return r;
}
double vowel_ah(double f) {
  static const double fm[4] = {700, 1150, 2700, 3500}, bw[4] = {110, 130, 200, 250}, g[4] = {1, 0.55, 0.22, 0.1};
  return vowel(f, fm, bw, g);
}
double vowel_oo(double f) {
  static const double fm[4] = {330, 800, 2400, 3300}, bw[4] = {80, 120, 200, 250}, g[4] = {1, 0.3, 0.06, 0.03};
  return vowel(f, fm, bw, g);
}

// Open voicing of a triad on root r (Hz): r, fifth, octave, third, and a
// soft fifth on top, so the chord sits under the tune rather than beside it.
std::vector<Tone> voicing(double r, bool minor) {
  double third = std::pow(2.0, (minor ? 15 : 16) / 12.0), fifth = std::pow(2.0, 7 / 12.0);
  return {{r, 0.9}, {r * fifth, 0.8}, {r * 2, 0.75}, {r * third, 0.7}, {r * 2 * fifth, 0.3}};
}

double lowpass_shape(double f, double fc, int order = 4) { return 1 / std::sqrt(1 + std::pow(f / fc, order)); }

// ---- finishing ----------------------------------------------------------------

// DC removal (one-shots: high-pass at 12 Hz; loops are built without DC),
// normalisation to +-126, triangular dither, 8-bit rounding, two zero bytes
// in front and an even length. A loop's tail past its end is copied from the
// loop's start so the read-ahead of an interpolating player sees the loop.
Sample finish(const char *name, const std::vector<double> &x, double rate, int volume, int loop_start = -1,
              int loop_len = 0, uint64_t init = 7) {
  std::vector<double> y = x;
  if (loop_start < 0) {
    OnePole hp(12, rate);
    for (double &v : y) v = hp.hp(v);
    // A gentle fade over the last 3 ms so a one-shot ends at zero.
    int nf = std::min(int(y.size()), int(0.003 * rate) + 1);
    for (int i = 0; i < nf; i++) y[y.size() - 1 - i] *= double(i) / nf;
  }
  double peak = 1e-9;
  for (double v : y) peak = std::max(peak, std::fabs(v));
  Sample s;
  s.name = name;
  s.volume = volume;
  Rng rng(init);
  s.data.assign(2, 0);
  for (double v : y) {
    double d = rng.uniform() - rng.uniform();
    s.data.push_back(int8_t(std::clamp(std::lround(v * 126.0 / peak + d), -127L, 127L)));
  }
  if (s.data.size() % 2) s.data.push_back(0);
  if (loop_start >= 0) {
    s.loop_start = loop_start + 2;
    s.loop_len = loop_len;
    for (size_t i = s.loop_start + loop_len; i < s.data.size(); i++) s.data[i] = s.data[i - loop_len];
  }
  return s;
}

Sample finish_loop(const char *name, const Looped &l, double rate, int volume, uint64_t init = 7) {
  return finish(name, l.x, rate, volume, l.loop_start, l.loop_len, init);
}

// A sum of many partials peaks far above its average; a soft saturation
// (tanh of `drive` times the sound over its peak) brings the peaks down
// towards the body, so the sound plays louder at the same headroom, and
// adds a little odd-harmonic edge. A memoryless curve: a loop stays a loop.
// The curve turns a lopsided wave into one with DC, so the loop's mean is
// taken off again (the same offset everywhere keeps the seam). drive 0
// leaves the sound alone.
void saturate(Looped &l, double drive) {
  if (drive <= 0) return;
  double peak = 1e-9;
  for (double v : l.x) peak = std::max(peak, std::fabs(v));
  for (double &v : l.x) v = std::tanh(drive * v / peak);
  double mean = 0;
  for (int i = l.loop_start; i < l.loop_start + l.loop_len; i++) mean += l.x[i];
  mean /= l.loop_len;
  for (double &v : l.x) v -= mean;
}

// A looped sample of pad `p` sounding `tones`, saturated by `drive`; `init`
// starts its phases.
Sample looped_sample(const char *name, const Pad &p, const std::vector<Tone> &tones, uint64_t init, int volume,
                     double drive = 0) {
  Looped l = pad(p, tones, init);
  saturate(l, drive);
  return finish_loop(name, l, p.rate, volume);
}

// Adds a band of noise between lo and hi Hz (a band reaching below 0 Hz
// starts at 0) that repeats with the loop: random-phase partials on the
// loop's grid, each of amplitude up to `amp`, fading in over the attack.
void add_band_noise(Looped &l, double rate, double lo, double hi, double amp, uint64_t init) {
  const int L = l.loop_len;
  Rng rng(init);
  std::vector<double> fade(l.x.size()), sines(l.x.size());
  for (size_t i = 0; i < l.x.size(); i++) fade[i] = i < size_t(l.loop_start) ? double(i) / l.loop_start : 1.0;
  for (int m = std::max(0, int(lo * L / rate)); m < int(hi * L / rate); m++) {
    double a = amp * rng.uniform(), ph = rng.uniform() * 2 * kPi;
    partial_sines(m, L, 1, [ph](int) { return ph / (2 * kPi); }, sines);
    add_weighted(l.x.data(), fade.data(), a, sines.data(), int(l.x.size()));
  }
}

// Root mean square of a looped sound's loop.
double loop_rms(const Looped &l) {
  double e = 0;
  for (int i = l.loop_start; i < l.loop_start + l.loop_len; i++) e += l.x[i] * l.x[i];
  return std::sqrt(e / l.loop_len);
}

// A looped tone with breath: noise between lo and hi Hz at `air` of the
// tone's level (RMS), so the note has a top above its harmonics.
Sample breathy_sample(const char *name, const Pad &p, const std::vector<Tone> &tones, uint64_t init, int volume,
                      double lo, double hi, double air, double drive = 0) {
  Looped l = pad(p, tones, init);
  saturate(l, drive);
  // The partials' amplitudes are uniform in [0, amp): their sum has an RMS
  // of amp x sqrt(count / 6).
  const double count = std::max(1.0, (hi - lo) * l.loop_len / p.rate);
  add_band_noise(l, p.rate, lo, hi, air * loop_rms(l) * std::sqrt(6 / count), init + 100);
  return finish_loop(name, l, p.rate, volume);
}

double noise(Rng &r) { return 2 * r.uniform() - 1; }

// ---- drums (C-3: 16574 Hz; metal at A-3: 27928 Hz) --------------------------------

// Kick: a sine body falling to 54 Hz, and above it the beater's attack:
// a band of noise near 3 kHz and a short knock near 1.6 kHz, so the kick
// is heard where a small speaker has no low end.
Sample kick() {
  const double R = note_rate(48), hr = R * kOversample;
  Rng rng(11);
  double ph = 0;
  Svf click(3200, 1.2, hr);
  auto x = render_os(int(0.45 * R), R, [&](double t) {
    double f = 54 + 110 * std::exp(-t / 0.028) + 300 * std::exp(-t / 0.004);
    ph += 2 * kPi * f / hr;
    double body = std::sin(ph) * std::exp(-t / 0.12);
    double c = 1.6 * click.bp(noise(rng)) * std::exp(-t / 0.006);
    double knock = 0.5 * std::sin(2 * kPi * 1600 * t) * std::exp(-t / 0.008);
    return std::tanh(1.8 * (body + c + knock));
  });
  return finish("kick", x, R, 60);
}

// Played at A-3 like the cymbals, so the wires reach 12 kHz.
Sample snare() {
  const double R = note_rate(57), hr = R * kOversample;
  Rng rng(12);
  Svf bp(3200, 0.7, hr);
  OnePole lp(11000, hr);
  double p1 = 0, p2 = 0;
  Svf crack_band(1900, 1.4, hr);
  auto x = render_os(int(0.42 * R), R, [&](double t) {
    p1 += 2 * kPi * (200 + 60 * std::exp(-t / 0.01)) / hr;
    p2 += 2 * kPi * 340 / hr;
    double body = (std::sin(p1) + 0.5 * std::sin(p2)) * std::exp(-t / 0.04);
    double n = lp.lp(noise(rng));
    double wires = (bp.bp(n) * 1.2 + 0.8 * n) * (std::exp(-t / 0.11) + 0.12 * std::exp(-t / 0.3));
    // The crack: the stick's first 15 ms, a loud band between 1 and 3 kHz.
    double crack = 2.2 * crack_band.bp(n) * std::exp(-t / 0.015);
    return std::tanh(1.4 * (0.55 * body + wires + crack));
  });
  return finish("snare", x, R, 64);
}

// Cymbal noise: white noise through a high-pass at `hp_hz` and two resonant
// bands (Hz) that give the metal its colour, at the rate `hr` it is run at.
// The bands are noise too, so the cymbal shows in a spectrogram as a
// broad wash, not as lines.
struct Cymbal {
  Svf hp, b1, b2;
  double w1, w2;
  Cymbal(double hp_hz, double band1, double band2, double hr, double weight1 = 0.6, double weight2 = 0.4)
      : hp(hp_hz, 0.7, hr), b1(band1, 3.0, hr), b2(band2, 3.0, hr), w1(weight1), w2(weight2) {}
  double next(Rng &rng) {
    const double n = noise(rng);
    const double h = hp.hp(n);
    return h + w1 * b1.bp(h) + w2 * b2.bp(h);
  }
};

Sample hat(bool open) {
  const double R = note_rate(57), hr = R * kOversample;
  Rng rng(open ? 14 : 13);
  Cymbal c(6500, 8200, 11000, hr);
  auto x = render_os(int((open ? 0.45 : 0.16) * R), R, [&](double t) {
    const double env = open ? std::exp(-t / 0.2) : 0.7 * std::exp(-t / 0.04) + 0.3 * std::exp(-t / 0.08);
    return c.next(rng) * env;
  });
  return finish(open ? "open hat" : "hat", x, R, open ? 54 : 64);
}

Sample crash() {
  const double R = note_rate(57), hr = R * kOversample;
  Rng rng(15);
  Cymbal c(3800, 5600, 9400, hr, 0.5, 0.5);
  auto x = render_os(int(1.8 * R), R, [&](double t) {
    const double env = (1 - std::exp(-t / 0.002)) * (0.6 * std::exp(-t / 0.6) + 0.4 * std::exp(-t / 0.08));
    return c.next(rng) * env;
  });
  return finish("crash", x, R, 64);
}

// Ride: a narrow band of noise near 5 kHz for the bell of the cymbal and a
// wider wash above it, both decaying slowly.
Sample ride() {
  const double R = note_rate(57), hr = R * kOversample;
  Rng rng(16);
  Cymbal wash(5500, 7400, 10200, hr);
  Svf bell(5100, 8.0, hr);
  auto x = render_os(int(0.8 * R), R, [&](double t) {
    const double w = wash.next(rng);
    return 1.6 * bell.bp(w) * std::exp(-t / 0.3) + 0.7 * w * std::exp(-t / 0.4);
  });
  return finish("ride", x, R, 48);
}

// Reverse cymbal that peaks at its very end: played at E-3 it lasts 14 rows.
Sample swell() {
  const double R = note_rate(52), hr = R * kOversample;
  const double T = 14 * 4860 / 44100.0;
  Rng rng(17);
  Svf hp(3000, 0.6, hr);
  auto x = render_os(int(T * R), R, [&](double t) {
    return hp.hp(noise(rng)) * std::exp(-(T - t) / 0.45);
  });
  return finish("reverse crash", x, R, 44);
}

Sample riser() {
  const double R = note_rate(48), hr = R * kOversample;
  const double T = 2.5;
  Rng rng(18);
  Svf bp(400, 3, hr);
  auto x = render_os(int(T * R), R, [&](double t) {
    double u = t / T;
    bp.tune(300 * std::pow(30.0, u), hr);
    return bp.bp(noise(rng)) * u * u * (u < 0.98 ? 1 : (1 - u) / 0.02);
  });
  return finish("riser", x, R, 40);
}

Sample tom() {
  const double R = note_rate(48);
  Rng rng(19);
  double p1 = 0, p2 = 0;
  auto x = render_os(int(0.65 * R), R, [&](double t) {
    double f = 110 + 60 * std::exp(-t / 0.05);
    p1 += 2 * kPi * f / (R * kOversample);
    p2 += 2 * kPi * f * 1.6 / (R * kOversample);
    double v = (std::sin(p1) + 0.3 * std::sin(p2)) * std::exp(-t / 0.22) + 0.2 * noise(rng) * std::exp(-t / 0.01);
    return std::tanh(1.5 * v);
  });
  return finish("tom", x, R, 54);
}

// Impact: low kick, timpani on C, a burst of noise and a dark tail.
Sample boom() {
  const double R = note_rate(48), hr = R * kOversample;
  Rng rng(20);
  OnePole tail(900, hr), tail2(300, hr);
  double ph = 0;
  const double modes[4] = {1, 1.5, 1.99, 2.44};
  auto x = render_os(int(1.4 * R), R, [&](double t) {
    ph += 2 * kPi * (38 + 90 * std::exp(-t / 0.05)) / hr;
    double k = std::sin(ph) * std::exp(-t / 0.45);
    double timp = 0;
    for (int i = 0; i < 4; i++) timp += std::sin(2 * kPi * 65.4 * modes[i] * t) * std::exp(-t / (0.6 / (1 + i))) / (1 + i);
    double n = noise(rng);
    double burst = n * std::exp(-t / 0.03);
    double room = tail2.lp(tail.lp(n)) * 2.5 * std::exp(-t / 0.5) * (1 - std::exp(-t / 0.05));
    // Driven hard: the first 100 ms are nearly full scale, so the hit
    // stands well above a plain kick.
    return std::tanh(2.8 * (1.6 * k + 0.6 * timp + 0.5 * burst + room));
  });
  return finish("boom", x, R, 64);
}

Sample sub() {
  const double R = note_rate(48);
  double ph = 0;
  auto x = render_os(int(0.7 * R), R, [&](double t) {
    ph += 2 * kPi * (55 + 40 * std::exp(-t / 0.04)) / (R * kOversample);
    return std::tanh(2.2 * std::sin(ph) * std::exp(-t / 0.5));
  });
  return finish("sub hit", x, R, 60);
}

Sample clap() {
  const double R = note_rate(48), hr = R * kOversample;
  Rng rng(21);
  Svf bp(2200, 1.0, hr);
  auto x = render_os(int(0.3 * R), R, [&](double t) {
    double e = 0;
    for (int i = 0; i < 3; i++) {
      double u = t - i * 0.011;
      if (u >= 0) e += std::exp(-u / 0.006);
    }
    e += 0.5 * std::exp(-t / 0.09) * (t > 0.022);
    return bp.bp(noise(rng)) * e;
  });
  return finish("clap", x, R, 50);
}

Sample rim() {
  const double R = note_rate(48), hr = R * kOversample;
  Rng rng(22);
  Svf bp(3200, 1.5, hr);
  auto x = render_os(int(0.22 * R), R, [&](double t) {
    double tone = std::sin(2 * kPi * 820 * t) * std::exp(-t / 0.02);
    return tone + bp.bp(noise(rng)) * 1.5 * std::exp(-t / 0.06);
  });
  return finish("snare roll", x, R, 46);
}

Sample thunder() {
  const double R = note_rate(36), hr = R * kOversample;
  Rng rng(23);
  OnePole a(250, hr), b(250, hr);
  auto x = render_os(int(2.0 * R), R, [&](double t) {
    double rumble = b.lp(a.lp(noise(rng)));
    double flutter = 0.6 + 0.4 * std::sin(2 * kPi * 2.3 * t) * std::sin(2 * kPi * 0.7 * t);
    double env = (1 - std::exp(-t / 0.04)) * std::exp(-t / 1.1);
    return rumble * flutter * env;
  });
  return finish("thunder", x, R, 48);
}

// ---- tonal instruments ----------------------------------------------------------

// Bass: C-2 (8287 Hz) sounds C2 (65.4 Hz). A saw whose filter closes
// during the attack but stays open enough for the upper harmonics to carry
// the line on a small speaker (its fundamental is weak there); two voices 6
// cents apart.
Sample bass(bool growl) {
  Pad p = pad_at(36, 0.22, 1.0, 2, 7);
  // The growl leans to odd harmonics (a hollow, square-like body) with a
  // nasal resonance near 650 Hz and a bite near 1.4 kHz.
  p.spectrum = [growl](double f, int k, double prog) {
    double fc = (growl ? 1500 : 800) + (growl ? 2600 : 2000) * (1 - prog) * (1 - prog);
    double odd = growl && k % 2 == 0 ? 0.45 : 1.0;
    double nasal = growl ? 1 + 2.5 * std::exp(-std::pow((f - 650) / 220, 2)) + 1.2 * std::exp(-std::pow((f - 1400) / 400, 2))
                         : 1 + 0.8 * std::exp(-std::pow((f - 1100) / 500, 2));
    return odd * nasal / k * lowpass_shape(f, fc, growl ? 3 : 4);
  };
  return looped_sample(growl ? "growl bass" : "bass", p, {{pitch(36, 0.5), 1.0}}, growl ? 31 : 30, growl ? 56 : 58, 1.6);
}

double drawbars(int k) {
  switch (k) {
    case 1: return 1.0;
    case 2: return 0.7;
    case 3: return 0.45;
    case 4: return 0.5;
    case 6: return 0.25;
    case 8: return 0.3;
    case 5: return 0.2;
    case 10: return 0.22;
    case 12: return 0.28;
    case 16: return 0.3;
    default: return 0.0;
  }
}

// Chords: C-3 (16574 Hz) sounds the open voicing on C3.
Sample organ(bool minor) {
  Pad p = pad_at(48, 0.04, 1.6, 2, 5);
  // The drawbars up to the 16th harmonic through a gentle low-pass near
  // 3 kHz, with a little key-click brightness in the attack.
  p.spectrum = [](double f, int k, double prog) {
    return drawbars(k) * lowpass_shape(f, 3000 + 2000 * (1 - prog), 2);
  };
  auto tones = voicing(pitch(48, 0.5), minor);
  tones.push_back({pitch(48, 0.25), 0.35});  // 16' pedal tone
  return looped_sample(minor ? "organ minor" : "organ major", p, tones, minor ? 40 : 41, 58, 1.8);
}

Sample choir(bool minor) {
  Pad p = pad_at(48, 0.4, 2.0, 3, 9);
  p.vib_hz = 5.2;
  p.vib_depth = 0.004;
  // An open "ah" with its formants at 700 Hz, 1.15 kHz and 2.7 kHz, so the
  // choir sings in the band where the ear is keenest.
  p.spectrum = [](double f, int k, double prog) {
    return (vowel_ah(f) + 0.3 * vowel_oo(f)) / std::sqrt(double(k)) * lowpass_shape(f, 4000, 4) * (0.6 + 0.4 * prog);
  };
  return looped_sample(minor ? "choir minor" : "choir major", p, voicing(pitch(48, 0.5), minor), minor ? 42 : 43, 54, 1.8);
}

Sample strings(bool minor) {
  Pad p = pad_at(48, 0.5, 1.6, 3, 12);
  p.vib_hz = 5.8;
  p.vib_depth = 0.003;
  p.spectrum = [](double f, int k, double prog) {
    return 1.0 / k * lowpass_shape(f, 2200 + 1200 * prog, 3) * (1 + 0.8 * std::exp(-std::pow((f - 2500) / 700, 2)));
  };
  return looped_sample(minor ? "strings minor" : "strings major", p, voicing(pitch(48, 0.5), minor), minor ? 44 : 45,
                      54, 1.8);
}

// Singing lead: C-3 sounds C4. A bright saw through an open "ah" with a
// presence peak near 2.2 kHz, so the tune's harmonics sing between 1 and
// 4 kHz, and a breath of noise above 4 kHz; two voices 5 cents apart.
// Vibrato comes from the pattern.
Sample lead() {
  Pad p = pad_at(48, 0.03, 0.5, 2, 6);
  p.spectrum = [](double f, int k, double prog) {
    const double presence = 1 + 1.5 * std::exp(-std::pow((f - 2200) / 800, 2));
    return (1.0 / k) * (k == 1 ? 1.2 : 1.0) * (0.4 + vowel_ah(f)) * presence * lowpass_shape(f, 5000 + 1500 * prog, 3);
  };
  return breathy_sample("lead", p, {{pitch(48, 1.0), 1.0}}, 50, 62, 4000, 7400, 0.14, 1.5);
}

// Solo voice "oo" with its own slow vibrato and a breath above 4 kHz: C-3
// sounds C4.
Sample voice() {
  Pad p = pad_at(48, 0.25, 1.2, 2, 4);
  p.vib_hz = 5.0;
  p.vib_depth = 0.006;
  p.spectrum = [](double f, int k, double) { return (vowel_oo(f * 0.8) + 0.7 * vowel_ah(f)) / std::sqrt(double(k)); };
  return breathy_sample("voice", p, {{pitch(48, 1.0), 1.0}}, 51, 58, 4000, 7400, 0.14, 1.5);
}

// Dark drone for the intro: C-2 (8287 Hz) sounds C2 and G2 with a breathy
// band of partials on the loop's grid (noise that repeats every 3 s).
Sample drone() {
  Pad p = pad_at(36, 0.8, 2.0, 3, 10);
  p.spectrum = [](double f, int k, double) { return 1.0 / k * lowpass_shape(f, 1200, 3); };
  Looped l = pad(p, {{pitch(36, 0.5), 1.0}, {pitch(43, 0.5), 0.6}, {pitch(36, 1.0), 0.4}}, 52);
  add_band_noise(l, p.rate, 150, 900, 0.015, 53);  // wind
  return finish_loop("drone", l, p.rate, 38);
}

Sample bell() {
  const double R = note_rate(48), f = pitch(48, 0.5);  // C-3 strikes C3 (hum C2)
  std::vector<Partial> ps = {{f * 0.5, 0.5, 3.5}, {f, 0.6, 2.4},       {f * 1.19, 0.45, 2.0}, {f * 1.5, 0.3, 1.5},
                             {f * 2, 0.7, 1.6},   {f * 2.51, 0.25, 1.0}, {f * 2.66, 0.2, 0.9},  {f * 3.01, 0.22, 0.8},
                             {f * 4.07, 0.15, 0.5}, {f * 5.2, 0.1, 0.35}, {f * 6.3, 0.07, 0.25}};
  auto x = partials(R, 2.6, ps, 0.001, 60);
  return finish("bell", x, R, 50);
}

Sample harp() {
  const double R = note_rate(48), f = pitch(48, 2.0);  // C-3 sounds C5
  std::vector<Partial> ps;
  for (int k = 1; k * f < 0.45 * R; k++) ps.push_back({k * f * (1 + 0.0004 * k * k), 0.9 / (k * k * 0.5 + 0.5), 1.3 / k});
  auto x = partials(R, 1.0, ps, 0.002, 61);
  return finish("harp", x, R, 50);
}

Sample celesta() {
  const double R = note_rate(48), f = pitch(48, 2.0);  // C-3 sounds C5
  std::vector<Partial> ps = {{f, 1.0, 0.7},        {f * 2, 0.3, 0.35},   {f * 3, 0.15, 0.25},
                             {f * 4, 0.4, 0.18},   {f * 5.4, 0.15, 0.1}, {f * 8.9, 0.08, 0.06}};
  auto x = partials(R, 0.8, ps, 0.001, 62);
  return finish("celesta", x, R, 48);
}

// Synth pluck for sequences: a pulse whose upper partials die first.
Sample pluck() {
  const double R = note_rate(48), f = pitch(48, 2.0);  // C-3 sounds C5
  std::vector<Partial> ps;
  for (int k = 1; k * f < 0.45 * R; k++) {
    double a = std::fabs(std::sin(kPi * k * 0.3)) / k;
    ps.push_back({k * f, a * (k <= 6 ? 1.0 : 0.6), 0.35 / (1 + 0.15 * k)});
  }
  auto x = partials(R, 0.5, ps, 0.001, 63);
  return finish("pluck", x, R, 46);
}

// Orchestral hit on an open fifth of C (no third, so it fits a major or a
// minor chord): brass, timpani and a splash.
Sample stab() {
  const double R = note_rate(48), hr = R * kOversample;
  Rng rng(64);
  OnePole lp(4000, hr);
  const double r = pitch(48, 0.5);
  const std::vector<double> fr = {r, r * 1.4983, r * 2, r * 2.9966, r * 4};
  auto x = render_os(int(1.2 * R), R, [&](double t) {
    double brass = 0;
    for (double f : fr)
      for (int k = 1; k * f < 5000; k++) brass += sin_cycles(f * k * t + k / (2 * kPi)) / k;
    double env = (1 - std::exp(-t / 0.005)) * (0.75 * std::exp(-t / 0.16) + 0.25 * std::exp(-t / 0.6));
    double timp = std::sin(2 * kPi * 65.4 * t) * std::exp(-t / 0.5) + 0.5 * std::sin(2 * kPi * 98.1 * t) * std::exp(-t / 0.3);
    double splash = lp.lp(noise(rng)) * std::exp(-t / 0.12);
    return std::tanh(1.7 * (0.35 * brass * env + 0.9 * timp + 0.7 * splash));
  });
  return finish("stab", x, R, 64);
}

// Whatever room is left: a long breathing chord of low voices (C-2 gives a
// C minor cluster around C3), rising and falling once.
Sample atmos(int bytes) {
  const double R = note_rate(36);
  const int n = bytes - 2;
  const double T = n / R;
  const double r = pitch(36, 1.0);
  std::vector<Partial> ps;
  Rng rng(70);
  for (double mul : {1.0, 1.5, 2.0, 2.378, 3.0}) {
    for (int d = -1; d <= 1; d++) {
      double f = r * mul * (1 + 0.003 * d);
      for (int k = 1; k * f < 0.42 * R; k++) ps.push_back({k * f, vowel_oo(k * f) / std::sqrt(double(k)), 1e9});
    }
  }
  std::vector<double> x(n, 0.0);
  for (const Partial &p : ps) {
    double ph = rng.uniform() * 2 * kPi, w = 2 * kPi * p.freq / R;
    for (int i = 0; i < n; i++) x[i] += p.amp * sin_cycles((ph + w * i) / (2 * kPi));
  }
  Rng wind(71);
  OnePole a(600, R), b(600, R);
  for (int i = 0; i < n; i++) {
    double u = i / R / T;
    double env = std::pow(std::sin(kPi * u), 2.0);
    x[i] = (x[i] + 3 * b.lp(a.lp(noise(wind)))) * env;
  }
  return finish("atmosphere", x, R, 44);
}

}  // namespace

std::vector<Sample> make_samples() {
  std::vector<Sample> s(kSamples);
  s[S_KICK - 1] = kick();
  s[S_SNARE - 1] = snare();
  s[S_HAT - 1] = hat(false);
  s[S_OPENHAT - 1] = hat(true);
  s[S_CRASH - 1] = crash();
  s[S_BOOM - 1] = boom();
  s[S_TOM - 1] = tom();
  s[S_SWELL - 1] = swell();
  s[S_BASS - 1] = bass(false);
  s[S_GROWL - 1] = bass(true);
  s[S_ORGAN_MIN - 1] = organ(true);
  s[S_ORGAN_MAJ - 1] = organ(false);
  s[S_CHOIR_MIN - 1] = choir(true);
  s[S_CHOIR_MAJ - 1] = choir(false);
  s[S_LEAD - 1] = lead();
  s[S_BELL - 1] = bell();
  s[S_STRINGS_MIN - 1] = strings(true);
  s[S_STRINGS_MAJ - 1] = strings(false);
  s[S_STAB - 1] = stab();
  s[S_HARP - 1] = harp();
  s[S_DRONE - 1] = drone();
  s[S_VOICE - 1] = voice();
  s[S_CLAP - 1] = clap();
  s[S_RIDE - 1] = ride();
  s[S_RIM - 1] = rim();
  s[S_PLUCK - 1] = pluck();
  s[S_SUB - 1] = sub();
  s[S_RISER - 1] = riser();
  s[S_THUNDER - 1] = thunder();
  s[S_CELESTA - 1] = celesta();
  int used = 0;
  for (int i = 0; i < kSamples - 1; i++) used += int(s[i].data.size());
  const int left = kSampleBytes - used;
  if (left < 4 || left > kMaxSampleBytes || left % 2) {
    std::fprintf(stderr, "assetgen: music: %d bytes left for the last sample\n", left);
    std::exit(1);
  }
  s[S_ATMOS - 1] = atmos(left);
  return s;
}

}  // namespace music
