// Software mixer: channel operations, period conversion and block renderer.
#include "sound/mix.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__ARM_FEATURE_DSP)
#include <arm_acle.h>
#endif

#include "sound/sd.h"

mix_sample mix_samples[MIX_SLOTS];
mix_channel mix_channels[MIX_CHANNELS];
mix_channel mix_voices[MIX_CHANNELS];
int mix_rate = 44100;
int mix_activechannels = 4;
int mix_mainvolume = 63;
mix_channel *mix_selected;
int32_t mix_accum[MIX_MAXFRAMES][2];

namespace {

// Amiga PAL clock / 2: the period of a note counts ticks of this clock per
// sample frame.
constexpr double AMIGA_CLOCK = 3546836.0;
constexpr int AMIGA_CLOCK_INT = 3546836;

void reset_channel(mix_channel &c) {
  c.data = nullptr;
  c.sample = 0;
  c.volume = 0;
  c.pos_frac = c.pos = 0;
  c.step_frac = c.step = 0;
  c.loop_start = c.loop_end = 0;
  c.looping = 0;
  c.panning = 127;
  c.new_period = 1;
  c.new_offset = 1;
}

int op_getsample(int slot, const int8_t *data, int length, int loop_start, int loop_end, int looping) {
  mix_sample &s = mix_samples[slot];
  s.data = data;
  s.length = uint32_t(length);
  s.loop_start = uint32_t(loop_start);
  s.loop_end = uint32_t(loop_end);
  s.looping = looping;
  return 1;
}

void op_setactivechannels(int n) { mix_activechannels = n; }

void op_setmainvolume(int v) { mix_mainvolume = v < 253 ? v : 252; }

void op_selectchannel(int channel) { mix_selected = &mix_channels[channel]; }

// Attaches slot `slot` without touching position, step or flags: a sample
// change on a playing channel keeps its place and pitch.
void op_setsample(int slot) {
  const mix_sample &s = mix_samples[slot];
  mix_channel &c = *mix_selected;
  c.data = s.data;
  c.loop_start = s.loop_start;
  c.loop_end = s.loop_end;
  c.looping = s.looping;
  c.length = s.length;
  c.sample = slot;
}

void op_setvolume(int volume) { mix_selected->volume = volume; }

void op_setpanning(int panning) { mix_selected->panning = panning; }

// Step per output frame = clock / (period x rate). The integer part comes
// from two integer divisions, the fraction from double precision kept to 24
// bits (its low 8 bits are 0).
int op_setamigaperiod(int period) {
  mix_channel &c = *mix_selected;
  c.step = c.step_frac = 0;
  if (period != 0 && mix_rate > 0) {
    double q = AMIGA_CLOCK / (double(period) * double(mix_rate));
    double whole;
    double frac = std::modf(q, &whole);
    c.step = uint32_t((AMIGA_CLOCK_INT / period) / mix_rate);
    c.step_frac = uint32_t(int64_t(frac * 16777216.0)) << 8;
  }
  c.new_period = 1;
  return 1;
}

// An offset past the loop end switches looping off; an offset at or past
// the sample length leaves the position alone.
int op_setoffset(uint32_t offset) {
  mix_channel &c = *mix_selected;
  if (c.loop_end < offset) c.looping = 0;
  if (offset < c.length) {
    c.pos = offset;
    c.pos_frac = 0;
    c.new_offset = 1;
  }
  return 1;
}

// Step 1 of a block: the voice takes the settings, but keeps its running
// position and step unless a new offset or period was flagged.
void take_over(int c) {
  mix_channel &set = mix_channels[c];
  mix_channel &v = mix_voices[c];
  uint32_t pos_frac = v.pos_frac, pos = v.pos, step_frac = v.step_frac, step = v.step;
  v = set;
  if (set.new_offset == 1) {
    set.new_offset = 0;
  } else {
    v.pos_frac = pos_frac;
    v.pos = pos;
  }
  if (set.new_period == 1) {
    set.new_period = 0;
  } else {
    v.step_frac = step_frac;
    v.step = step;
  }
}

// Frame i of the voice's sample as the interpolation sees it. Inside the
// sample it is the stored byte. Past the end, a looped sample continues at
// its loop start (frame loop_end reads as loop_start, which is where the
// play position goes next); anything else reads as 0, so the mixer never
// reads outside the sample, whatever loop points it was given.
int frame_at(const mix_channel &v, uint64_t i) {
  if (i < v.length) return v.data[i];
  if (v.looping && i >= v.loop_end) {
    uint64_t j = uint64_t(v.loop_start) + (i - v.loop_end);
    if (j < v.length) return v.data[j];
  }
  return 0;
}

// Frames pos and pos + 1 of voice v, read through frame_at, as bits 0..7
// and 8..15 (the slow path's frame pair).
inline uint32_t pair_at(const mix_channel &v, uint32_t pos) {
  return uint8_t(frame_at(v, pos)) | uint32_t(uint8_t(frame_at(v, uint64_t(pos) + 1))) << 8;
}

// The loop and park bounds for integer position pos of the 32.32 position
// p: a looped voice past loop_end goes on at loop_start + 1 (fraction
// kept); a one-shot past its end parks at 0 and stops (step s made 0).
// Returns the position to read.
inline uint32_t bound_position(const mix_channel &v, uint64_t &p, uint64_t &s, uint32_t pos) {
  if (v.looping) {
    if (pos > v.loop_end) {
      pos = v.loop_start + 1;
      p = uint64_t(pos) << 32 | uint32_t(p);
    }
  } else if (pos >= v.length) {
    pos = 0;
    p = uint32_t(p);
    s = 0;
  }
  return pos;
}

// The first position at which a frame needs the loop or park test or would
// read its second byte past the sample: loop_end + 1 for a looped voice,
// else the length, and never past length - 1.
inline uint32_t fast_end_of(const mix_channel &v) {
  const uint64_t length = v.length;
  const uint64_t end = v.looping ? uint64_t(v.loop_end) + 1 : length;
  return uint32_t(std::min(end, length > 0 ? length - 1 : 0));
}

// What the voice being mixed reads in each frame of the pass, one word a
// frame: data[pos] in bits 0..7, data[pos + 1] in bits 8..15 and the
// weight w (0..63) in bits 16..21.
uint32_t reads[MIX_MAXFRAMES];

// Short loops. A looped voice whose step is below one frame passes its loop
// end only onto loop_end + 1, and the bound takes it back to loop_start + 1:
// by exactly the loop length L = loop_end - loop_start, fraction untouched.
// From a position inside the loop (loop_start + 1 .. loop_end) it therefore
// runs through the loop periodically, and a table whose entry t is what
// position loop_start + 1 + ((from + t) mod L) reads, from the voice's place
// `from` in the loop, plays it with no test: the table index only grows, by
// the same carries as the position. Loops of up to SHORT_LOOP frames, which
// would otherwise leave the fast runs every few hundred frames or more
// often, are played that way; the table is filled from the sample at each
// block (the data is referenced, never kept), as far as the block reaches,
// up to LOOP_TABLE entries.
//
// The split form fills its table entry by entry, and its wraps cost less
// (one division and one frame with every test): it takes the tables for
// loops of up to SHORT_LOOP_SPLIT frames only.
constexpr uint32_t SHORT_LOOP = 256;
constexpr uint32_t SHORT_LOOP_SPLIT = 64;
constexpr uint32_t LOOP_TABLE = 1024;  // entries; well above SHORT_LOOP
static_assert(LOOP_TABLE >= 2 * SHORT_LOOP && SHORT_LOOP_SPLIT <= SHORT_LOOP);

// The split form's table: entry t the frame pair (pair_at) of table
// position t.
uint16_t loop_pairs[LOOP_TABLE];
// The fused form's tables. Entry t of loop_first is the byte (frame_at) of
// table position t, so entry t + 1 is the second byte of t's pair, except
// where t is the loop's last position and the byte after the loop end does
// not read as the loop's first (a loop ending inside the sample): then
// loop_second holds the second bytes.
int8_t loop_first[LOOP_TABLE + 1];
int8_t loop_second[LOOP_TABLE];

// The two bytes at d as bits 0..7 and 8..15, read as one 16-bit word.
inline uint32_t byte_pair(const int8_t *d) {
  uint16_t pair;
  std::memcpy(&pair, d, 2);
  if constexpr (std::endian::native == std::endian::big) pair = uint16_t(pair << 8 | pair >> 8);
  return pair;
}

// Whether voice v, with 32.32 step s, plays on from a loop table (see
// SHORT_LOOP): looped, a step below one frame, a loop of 1..most frames;
// and whether its 32.32 position p is inside the loop. A loop end
// of 2^32 - 1 is left out: there, loop_end + 1 wraps to 0, which the bound
// does not catch.
inline bool loop_ready(const mix_channel &v, uint64_t s, uint32_t most) {
  return v.looping && s >> 32 == 0 && v.loop_start < v.loop_end && v.loop_end - v.loop_start <= most &&
         v.loop_end != UINT32_MAX;
}
inline bool in_loop(const mix_channel &v, uint64_t p) {
  const uint32_t pos = uint32_t(p >> 32);
  return pos > v.loop_start && pos <= v.loop_end;
}

// One pass of a voice through its loop table: the loop's length, the
// voice's place in the loop (table entry 0), the entries the pass reads and
// the entries filled (at most LOOP_TABLE).
struct loop_pass {
  uint32_t len, from;
  uint64_t reach;
  uint32_t w;
};

// The pass of n frames of voice v (loop_ready, in_loop) from position p with
// step s; the table index q (32.32) starts at entry 0 with p's fraction.
inline loop_pass loop_begin(const mix_channel &v, uint64_t p, uint64_t s, int n, uint64_t &q) {
  q = uint32_t(p);
  const uint64_t reach = ((q + uint64_t(n) * s) >> 32) + 1;
  return {v.loop_end - v.loop_start, uint32_t(p >> 32) - v.loop_start - 1, reach,
          uint32_t(std::min<uint64_t>(reach, LOOP_TABLE))};
}

// The loop position of table position t, 0..L-1 (t below 2L).
inline uint32_t loop_place(const loop_pass &lp, uint32_t t) {
  const uint32_t j = lp.from + t;
  return j < lp.len ? j : j - lp.len;
}

// Table index q brought back into the first loop period.
inline uint64_t loop_wrap(uint64_t q, uint32_t len) {
  const uint32_t j = uint32_t(q >> 32);
  return j < len ? q : uint64_t(j % len) << 32 | uint32_t(q);
}

// The frames of a pass go in one run when the table holds all it reaches;
// else in runs of at most the table's length less the index (each frame
// moves the index by at most one), the index taken back into the first
// period between runs. Returns the run's length from index q, frame i.
inline int loop_run(const loop_pass &lp, uint64_t q, int i, int n) {
  return lp.reach <= lp.w ? n - i : std::min(n - i, int(lp.w - 1 - uint32_t(q >> 32)));
}

// The voice's position after its pass, from the final table index q.
inline uint64_t loop_end_position(const mix_channel &v, const loop_pass &lp, uint64_t q) {
  q = loop_wrap(q, lp.len);
  return uint64_t(v.loop_start + 1 + loop_place(lp, uint32_t(q >> 32))) << 32 | uint32_t(q);
}

// Entries t..t + count - 1 of loop_pairs from loop position `at` on (no
// wrap), byte pairs straight from the sample where both lie inside it.
void loop_pairs_from(const mix_channel &v, uint32_t t, uint32_t at, uint32_t count) {
  const uint32_t pos = v.loop_start + 1 + at;
  // Positions pos + k with pos + k + 1 < length read inside the sample.
  const uint32_t direct = v.length > pos + 1 ? std::min(count, v.length - 1 - pos) : 0;
  uint32_t k = 0;
  for (; k < direct; ++k) loop_pairs[t + k] = uint16_t(byte_pair(v.data + pos + k));
  for (; k < count; ++k) loop_pairs[t + k] = uint16_t(pair_at(v, pos + k));
}

// t[k] = frame_at(from + k) for k = 0..count - 1, copied straight from the
// sample as far as it reaches.
void loop_bytes_from(const mix_channel &v, int8_t *t, uint64_t from, uint32_t count) {
  uint32_t k = 0;
  if (from < v.length) {
    k = uint32_t(std::min<uint64_t>(count, v.length - from));
    std::memcpy(t, v.data + from, k);
  }
  for (; k < count; ++k) t[k] = int8_t(frame_at(v, from + k));
}

// Entries L..w-1 of a table of `size`-byte entries whose first L are filled:
// copies of the first L, doubling the copied span each time.
inline void repeat_period(void *table, uint32_t len, uint32_t w, size_t size) {
  uint8_t *t = static_cast<uint8_t *>(table);
  for (uint32_t have = len; have < w; have *= 2)
    std::memcpy(t + have * size, t, std::min(have, w - have) * size);
}

// n frames of voice v (loop_ready, in_loop) from the 32.32 position p with
// step s, stored into out as step_voice does, through loop_pairs.
void loop_reads(const mix_channel &v, uint64_t &p, uint64_t s, uint32_t *out, int n) {
  uint64_t q;
  const loop_pass lp = loop_begin(v, p, s, n, q);
  const uint32_t first = std::min(lp.w, lp.len), upto_end = std::min(first, lp.len - lp.from);
  loop_pairs_from(v, 0, lp.from, upto_end);
  loop_pairs_from(v, upto_end, 0, first - upto_end);
  repeat_period(loop_pairs, lp.len, lp.w, sizeof loop_pairs[0]);
  const uint16_t *pairs = loop_pairs;
  for (int i = 0; i < n;) {
    q = loop_wrap(q, lp.len);
    for (const int end = i + loop_run(lp, q, i, n); i < end; ++i) {
      q += s;
      out[i] = pairs[uint32_t(q >> 32)] | (uint32_t(q) >> 26) << 16;
    }
  }
  p = loop_end_position(v, lp, q);
}

// One frame of step_voice with every test: advance, then the loop and park
// bounds, then the two reads, through frame_at outside the fast range.
inline uint32_t step_frame(mix_channel &v, uint64_t &p, uint64_t &s, uint32_t fast_end) {
  p += s;
  uint32_t pos = uint32_t(p >> 32);
  uint32_t pair;
  if (pos < fast_end) {
    pair = byte_pair(v.data + pos);
  } else {
    pos = bound_position(v, p, s, pos);
    pair = pair_at(v, pos);
  }
  return pair | (uint32_t(p) >> 26) << 16;
}

// Steps voice v through its first n frames, or up to the frame from which
// it stands still (step 0), and stores what each frame reads. Returns the
// number of frames stepped.
//
// The 32.32 position and step are held as one 64-bit word each: adding them
// is the fraction add with its carry into the integer word, modulo 2^32 for
// both. Positions below `fast_end` need neither the loop nor the park test
// and read two bytes inside the sample. Such frames come in runs whose
// length one division gives (positions only grow until a bound is met), and
// a run's loop has no test at all; the frames between runs take step_frame.
// A voice inside a short loop plays the rest of the pass from loop_pairs.
int step_voice(mix_channel &v, int n) {
  uint64_t p = uint64_t(v.pos) << 32 | v.pos_frac;
  uint64_t s = uint64_t(v.step) << 32 | v.step_frac;
  const int8_t *d = v.data;
  const uint32_t fast_end = fast_end_of(v);
  const uint64_t limit = uint64_t(fast_end) << 32;
  const bool short_loop = loop_ready(v, s, SHORT_LOOP_SPLIT);
  uint32_t *out = reads;

  int i = 0;
  while (i < n && s != 0) {
    if (short_loop && in_loop(v, p)) {
      loop_reads(v, p, s, out + i, n - i);
      i = n;
      break;
    }
    if (p < limit) {
      // Frames 1..run after p stay at or below limit - 1.
      uint64_t run = (limit - 1 - p) / s;
      int end = run < uint64_t(n - i) ? i + int(run) : n;
      for (; i < end; ++i) {
        p += s;
        out[i] = byte_pair(d + uint32_t(p >> 32)) | (uint32_t(p) >> 26) << 16;
      }
      if (i == n) break;
    }
    out[i++] = step_frame(v, p, s, fast_end);
  }
  v.pos = uint32_t(p >> 32);
  v.pos_frac = uint32_t(p);
  v.step = uint32_t(s >> 32);
  v.step_frac = uint32_t(s);
  return i;
}

#if defined(__SSE2__)
// apply_gains for 4 frames at a time with 16-bit multiplies: the terms a and
// b and the gains all fit in 16 bits, and the low and high halves of each
// 16 x 16 product rebuild it exactly as a 32-bit value. Returns the number
// of frames done (a multiple of 4).
int apply_gains_sse2(int n, int16_t l, int16_t r) {
  __m128i *acc = reinterpret_cast<__m128i *>(&mix_accum[0][0]);
  const __m128i *in = reinterpret_cast<const __m128i *>(reads);
  const __m128i gl = _mm_set1_epi16(l), gr = _mm_set1_epi16(r), k63 = _mm_set1_epi32(63);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i v = _mm_loadu_si128(in++);
    __m128i s0 = _mm_srai_epi32(_mm_slli_epi32(v, 24), 24);
    __m128i s1 = _mm_srai_epi32(_mm_slli_epi32(v, 16), 24);
    __m128i w = _mm_srli_epi32(v, 16);
    // a0..a3 and b0..b3 as 16-bit lanes: data x weight, within -8064..8001.
    __m128i ab = _mm_mullo_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(_mm_sub_epi32(k63, w), w));
    __m128i lo = _mm_mullo_epi16(ab, gl), hi = _mm_mulhi_epi16(ab, gl);
    __m128i left = _mm_add_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 6),
                                 _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 6));
    lo = _mm_mullo_epi16(ab, gr);
    hi = _mm_mulhi_epi16(ab, gr);
    __m128i right = _mm_add_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 6),
                                  _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 6));
    __m128i *a = acc + i / 2;
    _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), _mm_unpacklo_epi32(left, right)));
    _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), _mm_unpackhi_epi32(left, right)));
  }
  return i;
}
#endif

// Adds n frames to mix_accum with gains L and R: a = data[pos] x (63 - w),
// b = data[pos + 1] x w (the weights add up to 63, not 64), and each product
// with a gain is a signed 32-bit value shifted on its own before the two are
// added: ((a L) >> 6) + ((b L) >> 6), not ((a + b) L) >> 6.
//
// Gains within 0..32767 (every volume 0..255 at any main volume) keep all
// products and sums inside int32 and take the first path (4 frames at a
// time with SSE2 where the target has it). Other gains (a negative or huge
// volume) take the second, which wraps as unsigned 32-bit words.
void apply_gains(int n, int32_t gl, int32_t gr) {
  int32_t *acc = &mix_accum[0][0];
  const uint32_t *in = reads;
  if (gl >= 0 && gl <= 32767 && gr >= 0 && gr <= 32767) {
    const int16_t l = int16_t(gl), r = int16_t(gr);
    int i = 0;
#if defined(__SSE2__)
    i = apply_gains_sse2(n, l, r);
#endif
    for (; i < n; ++i) {
      uint32_t v = in[i];
      int32_t w = int32_t(v >> 16);
      int32_t a = int8_t(v) * (63 - w), b = int8_t(v >> 8) * w;
      acc[2 * i] += ((a * l) >> 6) + ((b * l) >> 6);
      acc[2 * i + 1] += ((a * r) >> 6) + ((b * r) >> 6);
    }
    return;
  }
  const uint32_t ul = uint32_t(gl), ur = uint32_t(gr);
  for (int i = 0; i < n; ++i) {
    uint32_t v = in[i];
    int32_t w = int32_t(v >> 16);
    uint32_t a = uint32_t(int8_t(v) * (63 - w)), b = uint32_t(int8_t(v >> 8) * w);
    acc[2 * i] = int32_t(uint32_t(acc[2 * i]) + uint32_t(int32_t(a * ul) >> 6) +
                         uint32_t(int32_t(b * ul) >> 6));
    acc[2 * i + 1] = int32_t(uint32_t(acc[2 * i + 1]) + uint32_t(int32_t(a * ur) >> 6) +
                             uint32_t(int32_t(b * ur) >> 6));
  }
}

// Adds one frame to acc[0..1]: a = s0 (63 - w), b = s1 w (the weights add
// up to 63, not 64), and each product with a gain is shifted on its own
// before the two are added: ((a L) >> 6) + ((b L) >> 6), not ((a + b) L)
// >> 6. Products and sums wrap as 32-bit words, so any gain is defined;
// within 0..32767 (every volume 0..255 at any main volume) nothing wraps.
inline void mix_frame(int32_t *acc, int32_t s0, int32_t s1, uint32_t w, uint32_t l, uint32_t r) {
  const uint32_t a = uint32_t(s0) * (63 - w), b = uint32_t(s1) * w;
  acc[0] = int32_t(uint32_t(acc[0]) + uint32_t(int32_t(a * l) >> 6) + uint32_t(int32_t(b * l) >> 6));
  acc[1] = int32_t(uint32_t(acc[1]) + uint32_t(int32_t(a * r) >> 6) + uint32_t(int32_t(b * r) >> 6));
}

// One frame with every test: advance, then the loop and park bounds, then
// the two reads through frame_at. Returns the pair as pair_at does.
inline uint32_t step_slow(const mix_channel &v, uint64_t &p, uint64_t &s) {
  p += s;
  return pair_at(v, bound_position(v, p, s, uint32_t(p >> 32)));
}

// Frames from..n-1 of voice v, which stands still (step 0): the first of
// them takes the loop and park tests, after which every frame reads the
// same two bytes with the same weight and adds one constant, nothing when
// that is 0 (a parked one-shot on its leading zero bytes).
void add_still(mix_channel &v, int from, int n, uint32_t l, uint32_t r) {
  if (from >= n) return;
  uint64_t p = uint64_t(v.pos) << 32 | v.pos_frac, s = 0;
  const uint32_t pair = step_slow(v, p, s);
  v.pos = uint32_t(p >> 32);
  v.pos_frac = uint32_t(p);
  int32_t still[2] = {0, 0};
  mix_frame(still, int8_t(pair), int8_t(pair >> 8), uint32_t(p) >> 26, l, r);
  if (still[0] == 0 && still[1] == 0) return;
  for (int32_t *acc = mix_accum[from]; from < n; ++from, acc += 2) {
    acc[0] = int32_t(uint32_t(acc[0]) + uint32_t(still[0]));
    acc[1] = int32_t(uint32_t(acc[1]) + uint32_t(still[1]));
  }
}

// acc + ((x * g) >> 16) with g the low (bottom) or high (top) signed
// halfword of gains: the target's multiply-accumulate of a word by a
// halfword. With x = a << 10 it is acc + ((a * gain) >> 6).
#if defined(__ARM_FEATURE_DSP)
inline int32_t mla_bottom(int32_t x, int32_t gains, int32_t acc) { return __smlawb(x, gains, acc); }
inline int32_t mla_top(int32_t x, int32_t gains, int32_t acc) { return __smlawt(x, gains, acc); }
#else
inline int32_t mla_bottom(int32_t x, int32_t gains, int32_t acc) {
  return int32_t(uint32_t(acc) + uint32_t(int32_t((int64_t(x) * int16_t(gains)) >> 16)));
}
inline int32_t mla_top(int32_t x, int32_t gains, int32_t acc) {
  return int32_t(uint32_t(acc) + uint32_t(int32_t((int64_t(x) * (gains >> 16)) >> 16)));
}
#endif

// k frames of a voice whose step is below one frame (integer step 0) and
// whose position stays below its fast end throughout: no test at all. The
// frame at position pos reads d0[pos] and d1[pos] (d and d + 1 on the
// sample, or a loop table: two base registers, no add a frame). gains =
// R << 16 | L, both within 0..32767. The weights carry 10 more bits,
// (63 - w) << 10 and w << 10, which the halfword multiply's >> 16 takes
// back with the >> 6 of the gain law: ((a << 10) L) >> 16 = (a L) >> 6
// exactly, for each of the four products on its own. Kept out of line:
// inlined into its callers, its loop loses registers on a 32-bit target.
[[gnu::noinline]] void run_fraction(const int8_t *d0, const int8_t *d1, uint64_t &p, uint32_t step_frac,
                                    int32_t *acc, int k, int32_t gains) {
  uint64_t q = p;
  for (int32_t *end = acc + 2 * k; acc != end; acc += 2) {
    q += step_frac;
    const uint32_t pos = uint32_t(q >> 32);
    const int32_t wb = int32_t((uint32_t(q) >> 16) & 0xFC00), wa = 0xFC00 - wb;
    const int32_t a = d0[pos] * wa, b = d1[pos] * wb;
    const int32_t left = mla_bottom(b, gains, mla_bottom(a, gains, acc[0]));
    const int32_t right = mla_top(b, gains, mla_top(a, gains, acc[1]));
    acc[0] = left;
    acc[1] = right;
  }
  p = q;
}

// n frames of voice v (loop_ready, in_loop) mixed into acc from the 32.32
// position p with step s and gains = R << 16 | L, both within 0..32767:
// run_fraction on loop_first (entries 0..w, the last read as a second byte)
// and loop_first + 1 or loop_second.
void loop_mix(const mix_channel &v, uint64_t &p, uint64_t s, int32_t *acc, int n, int32_t gains) {
  uint64_t q;
  const loop_pass lp = loop_begin(v, p, s, n, q);
  const uint32_t first = std::min(lp.w + 1, lp.len), upto_end = std::min(first, lp.len - lp.from);
  const uint32_t loop_first_pos = v.loop_start + 1;
  loop_bytes_from(v, loop_first, loop_first_pos + lp.from, upto_end);
  loop_bytes_from(v, loop_first + upto_end, loop_first_pos, first - upto_end);
  repeat_period(loop_first, lp.len, lp.w + 1, 1);
  const int8_t *second = loop_first + 1;
  // The loop's last position is table position L - 1 - from (mod L).
  const uint32_t last = lp.len - 1 - lp.from;
  const int8_t after_end = int8_t(frame_at(v, uint64_t(v.loop_end) + 1));
  if (last < lp.w && after_end != int8_t(frame_at(v, loop_first_pos))) {
    std::memcpy(loop_second, loop_first + 1, std::min(lp.w, lp.len));
    loop_second[last] = after_end;
    repeat_period(loop_second, lp.len, lp.w, 1);
    second = loop_second;
  }
  for (int i = 0; i < n;) {
    q = loop_wrap(q, lp.len);
    const int k = loop_run(lp, q, i, n);
    run_fraction(loop_first, second, q, uint32_t(s), acc + 2 * i, k, gains);
    i += k;
  }
  p = loop_end_position(v, lp, q);
}

// Mixes the first n frames of voice v into mix_accum with gains l and r,
// advancing it, up to the frame from which it stands still; returns the
// number of frames mixed. The position and step are 32.32 words as in
// step_voice. Positions below `fast_end` need neither the loop nor the park
// test and read two bytes inside the sample; a step below one frame moves
// the position by at most one frame a frame, so from position pos the next
// fast_end - 1 - pos frames need no test (run_fraction). A voice inside a
// short loop plays the rest of the pass from loop tables (loop_mix). Other
// frames take one test each.
int fused_voice(mix_channel &v, int n, uint32_t l, uint32_t r) {
  uint64_t p = uint64_t(v.pos) << 32 | v.pos_frac;
  uint64_t s = uint64_t(v.step) << 32 | v.step_frac;
  const int8_t *d = v.data;
  const uint32_t fast_end = fast_end_of(v);
  const bool short_loop = loop_ready(v, s, SHORT_LOOP) && l <= 32767 && r <= 32767;
  int i = 0;
  while (i < n && s != 0) {
    if (short_loop && in_loop(v, p)) {
      loop_mix(v, p, s, mix_accum[i], n - i, int32_t(r << 16 | l));
      i = n;
      break;
    }
    const uint32_t pos = uint32_t(p >> 32);
    if (s >> 32 == 0 && uint64_t(pos) + 1 < fast_end && l <= 32767 && r <= 32767) {
      const int k = std::min(uint32_t(n - i), fast_end - 1 - pos);
      run_fraction(d, d + 1, p, uint32_t(s), mix_accum[i], k, int32_t(r << 16 | l));
      i += k;
      continue;
    }
    p += s;
    const uint32_t next = uint32_t(p >> 32);
    if (next < fast_end) {
      mix_frame(mix_accum[i], d[next], d[next + 1], uint32_t(p) >> 26, l, r);
    } else {
      p -= s;
      const uint32_t pair = step_slow(v, p, s);
      mix_frame(mix_accum[i], int8_t(pair), int8_t(pair >> 8), uint32_t(p) >> 26, l, r);
    }
    i++;
  }
  v.pos = uint32_t(p >> 32);
  v.pos_frac = uint32_t(p);
  v.step = uint32_t(s >> 32);
  v.step_frac = uint32_t(s);
  return i;
}

// Gain law: L = (((255 - p) m v) >> 7) / 63, R = ((p v m) >> 7) / 63, the
// products taken as unsigned 32-bit words and shifted logically. 63, not 64:
// at main volume 64, volume 64 and centre panning 127, L = 65 and R = 64.
int32_t gain(int pan, int volume) {
  uint32_t prod = uint32_t(pan) * uint32_t(mix_mainvolume) * uint32_t(volume);
  return int32_t((prod >> 7) / 63);
}

inline int32_t clip16(int32_t x) { return x < -32768 ? -32768 : x > 32767 ? 32767 : x; }

// Each accumulator value clipped to -32768..32767 and stored as signed
// 16-bit little-endian, left then right. With SSE2 the pack instruction
// does the clipping 8 values at a time; on a little-endian target a
// word-aligned output takes each frame as one word; anything else goes byte
// by byte.
void write16(uint8_t *out, int n) {
  const int32_t *acc = &mix_accum[0][0];
  int i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= 2 * n; i += 8) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(acc + i));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(acc + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i), _mm_packs_epi32(lo, hi));
  }
#endif
  if (std::endian::native == std::endian::little && reinterpret_cast<uintptr_t>(out) % 4 == 0) {
    for (; i < 2 * n; i += 2) {
      const uint32_t word = (uint32_t(clip16(acc[i])) & 0xFFFF) | uint32_t(clip16(acc[i + 1])) << 16;
      std::memcpy(__builtin_assume_aligned(out + 2 * i, 4), &word, 4);
    }
  }
  for (; i < 2 * n; ++i) {
    const int32_t x = clip16(acc[i]);
    out[2 * i] = uint8_t(x);
    out[2 * i + 1] = uint8_t(uint32_t(x) >> 8);
  }
}

void write8(uint8_t *out, int n) {
  const int32_t *acc = &mix_accum[0][0];
  for (int i = 0; i < 2 * n; ++i) {
    int32_t x = acc[i] >> 9;
    x = x < -128 ? -128 : x > 127 ? 127 : x;
    out[i] = uint8_t(x + 128);
  }
}

void mix_pass(uint8_t *out, int n, int bits16) {
  int active = mix_activechannels < 0 ? 0 : mix_activechannels > MIX_CHANNELS ? MIX_CHANNELS
                                                                              : mix_activechannels;
  for (int c = 0; c < active; ++c) take_over(c);
  std::memset(mix_accum, 0, sizeof(int32_t) * 2 * size_t(n));
  for (int c = 0; c < active; ++c) {
    mix_channel &v = mix_voices[c];
    // A muted voice does not advance: muting pauses the sample where it
    // stands. A voice without data (slot never registered) stays silent.
    if (v.length == 0 || v.volume == 0 || v.data == nullptr) continue;
#if defined(__SSE2__)
    mix_voice_split(v, n, gain(255 - v.panning, v.volume), gain(v.panning, v.volume));
#else
    mix_voice_fused(v, n, gain(255 - v.panning, v.volume), gain(v.panning, v.volume));
#endif
  }
  if (bits16)
    write16(out, n);
  else
    write8(out, n);
}

}  // namespace

void mix_voice_split(mix_channel &v, int n, int32_t l, int32_t r) {
  const int moving = step_voice(v, n);
  apply_gains(moving, l, r);
  add_still(v, moving, n, uint32_t(l), uint32_t(r));
}

void mix_voice_fused(mix_channel &v, int n, int32_t l, int32_t r) {
  add_still(v, fused_voice(v, n, uint32_t(l), uint32_t(r)), n, uint32_t(l), uint32_t(r));
}

int sd_mix_init(int rate, int) {
  mix_rate = rate;
  for (int c = 0; c < MIX_CHANNELS; ++c) {
    reset_channel(mix_channels[c]);
    reset_channel(mix_voices[c]);
  }
  for (mix_sample &s : mix_samples) {
    s.data = nullptr;
    s.loop_start = s.loop_end = 0;
    s.looping = 0;
  }
  return 1;
}

void sd_mix_setfunctions() {
  sd_getsample = op_getsample;
  sd_selectchannel = op_selectchannel;
  sd_setsample = op_setsample;
  sd_setamigaperiod = op_setamigaperiod;
  sd_setvolume = op_setvolume;
  sd_setpanning = op_setpanning;
  sd_setoffset = op_setoffset;
  sd_setmainvolume = op_setmainvolume;
  sd_setactivechannels = op_setactivechannels;
}

void sd_mix_stereo(void *out, int frames, int bits16) {
  uint8_t *o = static_cast<uint8_t *>(out);
  const int frame_bytes = bits16 ? 4 : 2;
  while (frames > 0) {
    int n = frames < MIX_MAXFRAMES ? frames : MIX_MAXFRAMES;
    mix_pass(o, n, bits16);
    o += n * frame_bytes;
    frames -= n;
  }
}
