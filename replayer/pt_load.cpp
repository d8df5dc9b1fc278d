// Module loader: tag recognition, song and sample tables, in-place pattern
// conversion, sample registration, and the period table the whole replayer
// shares.
#include <cstring>

#include "replayer/pt.h"
#include "sound/sd.h"

namespace {

// The classic finetune tables, three octaves (C-1 to B-3 in tracker terms,
// note indexes 24 to 59), one row per finetune nibble: 0..7, then -8..-1.
constexpr uint16_t classic[16][36] = {
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
     302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113},
    {850, 802, 757, 715, 674, 637, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337, 318,
     300, 284, 268, 253, 239, 225, 213, 201, 189, 179, 169, 159, 150, 142, 134, 126, 119, 113},
    {844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335, 316,
     298, 282, 266, 251, 237, 224, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118, 112},
    {838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332, 314,
     296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118, 111},
    {832, 785, 741, 699, 660, 623, 588, 555, 524, 495, 467, 441, 416, 392, 370, 350, 330, 312,
     294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 124, 117, 110},
    {826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328, 309,
     292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116, 109},
    {820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325, 307,
     290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115, 109},
    {814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323, 305,
     288, 272, 256, 242, 228, 216, 204, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114, 108},
    {907, 856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339,
     320, 302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120},
    {900, 850, 802, 757, 715, 675, 636, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337,
     318, 300, 284, 268, 253, 238, 225, 212, 200, 189, 179, 169, 159, 150, 142, 134, 126, 119},
    {894, 844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335,
     316, 298, 282, 266, 251, 237, 223, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118},
    {887, 838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332,
     314, 296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118},
    {881, 832, 785, 741, 699, 660, 623, 588, 555, 524, 494, 467, 441, 416, 392, 370, 350, 330,
     312, 294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 123, 117},
    {875, 826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328,
     309, 292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116},
    {868, 820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325,
     307, 290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115},
    {862, 814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323,
     305, 288, 272, 256, 242, 228, 216, 203, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114},
};

// 2^(j/12) for j = 0..11: one equal-tempered semitone per step.
constexpr double semitone[12] = {
    1.0,
    1.0594630943592953,
    1.122462048309373,
    1.189207115002721,
    1.2599210498948732,
    1.3348398541700344,
    1.4142135623730951,
    1.4983070768766815,
    1.5874010519681994,
    1.681792830507429,
    1.7817974362806785,
    1.8877486253633868,
};

// 2^(k/12) for k = 0..24, exact at k = 12 and 24.
constexpr double pow2_12(int k) { return semitone[k % 12] * double(1 << (k / 12)); }

constexpr uint16_t nearest(double x) { return uint16_t(x + 0.5); }

// Row 0: octaves 0 and 1 are the classic first octave times 4 and 2; octaves
// 5 and 6 are the last classic octave halved twice, remainders dropped.
constexpr pt_periodrow build_row0() {
  pt_periodrow r{};
  for (int i = 0; i < 36; ++i) r[24 + i] = classic[0][i];
  for (int i = 0; i < 12; ++i) {
    r[i] = uint16_t(classic[0][i] * 4);
    r[12 + i] = uint16_t(classic[0][i] * 2);
    r[60 + i] = uint16_t(classic[0][24 + i] / 2);
    r[72 + i] = uint16_t(r[60 + i] / 2);
  }
  r[84] = r[83];
  return r;
}

// Rows 1..15: the extended octaves continue the row's tuning in
// equal-tempered semitones from index 24 downwards and from index 59
// upwards. Downwards to the nearest whole period, so index 0 and 12 come
// out as exactly 4 and 2 times index 24. Upwards with the fraction dropped,
// as row 0 drops the remainder when it halves: index 71 and 83 are then
// index 59 halved once and twice, and every entry lies within one unit of
// the exact continuation.
constexpr pt_periodrow build_row(int f) {
  pt_periodrow r{};
  for (int i = 0; i < 36; ++i) r[24 + i] = classic[f][i];
  for (int k = 1; k <= 24; ++k) {
    r[24 - k] = nearest(classic[f][0] * pow2_12(k));
    r[59 + k] = uint16_t(classic[f][35] / pow2_12(k));
  }
  r[84] = r[83];
  return r;
}

constexpr std::array<pt_periodrow, 16> build_periods() {
  std::array<pt_periodrow, 16> t{};
  t[0] = build_row0();
  for (int f = 1; f < 16; ++f) t[f] = build_row(f);
  return t;
}

constexpr bool falls_along_rows(const std::array<pt_periodrow, 16> &t) {
  for (const auto &r : t)
    for (int n = 1; n < PT_NOTES; ++n)
      if (r[n] > r[n - 1]) return false;
  return true;
}

}  // namespace

constexpr std::array<pt_periodrow, 16> pt_periodtable = build_periods();

static_assert(pt_periodtable[0][0] == 3424 && pt_periodtable[0][11] == 1812);
static_assert(pt_periodtable[0][23] == 906 && pt_periodtable[0][36] == 428);
static_assert(pt_periodtable[0][60] == 107 && pt_periodtable[0][71] == 56);
static_assert(pt_periodtable[0][72] == 53 && pt_periodtable[0][83] == 28);
static_assert(pt_periodtable[0][84] == 28);
static_assert(pt_periodtable[8][0] == PT_MAXPERIOD && pt_periodtable[7][83] == PT_MINPERIOD);
static_assert(falls_along_rows(pt_periodtable));

// ---- Read cursor -------------------------------------------------------

uint8_t *rb_src;
uint32_t rb_ofs;

uint16_t rb_getword() {
  uint16_t w = uint16_t(rb_src[rb_ofs] << 8 | rb_src[rb_ofs + 1]);
  rb_ofs += 2;
  return w;
}

uint8_t rb_getbyte() { return rb_src[rb_ofs++]; }

void rb_skip(uint32_t n) { rb_ofs += n; }

// ---- Loader state ------------------------------------------------------

const char *const pt_modtags[PT_NUMTAGS] = {
    "2CHN", "4CHN", "M.K.", "M!K!", "FLT4", "FLT8", "OCTA", "6CHN", "8CHN", "10CH", "12CH",
    "14CH", "16CH", "18CH", "20CH", "22CH", "24CH", "26CH", "28CH", "30CH", "32CH", "STOP"};
const int32_t pt_modchannels[PT_NUMTAGS] = {2,  4,  4,  4,  4,  8,  8,  6,  8,  10, 12,
                                            14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 0};

int32_t pt_tagchannels(const char *tag) {
  int i = 0;
  while (std::strcmp(pt_modtags[i], "STOP") != 0 && std::strncmp(tag, pt_modtags[i], 4) != 0) ++i;
  return pt_modchannels[i];
}

int pt_highestpattern(const uint8_t *orders) {
  int highest = 0;
  for (int i = 0; i < 128; ++i)
    if (orders[i] > highest) highest = orders[i];
  return highest;
}

int32_t pt_slen[32];
int32_t pt_loops[32];
int32_t pt_loope[32];
int32_t pt_svol[32];
uint8_t pt_finetune[32];
uint8_t pt_songlen;
int32_t pt_repstart;
uint8_t pt_order[128];
char pt_modid[5];
int32_t pt_channels;
uint8_t pt_lastpattern;
pt_cell *pt_patterns[128];
const char *pt_errorstr;

namespace {

constexpr int ORDER_ENTRIES = 128;
constexpr int ROWS = 64;

void read_sample_headers() {
  for (int k = 1; k < 32; ++k) {
    rb_skip(22);
    pt_slen[k] = rb_getword() * 2;
    pt_finetune[k] = rb_getbyte() & 15;
    uint8_t v = rb_getbyte();
    pt_svol[k] = v > 64 ? 64 : v;
    pt_loops[k] = rb_getword() * 2;
    pt_loope[k] = rb_getword() * 2;
  }
}

// First note index whose row-0 period is not above the raw period; 84 for
// a period of 0 or one below the shortest period.
uint8_t note_index(uint32_t period) {
  for (int n = 0; n < PT_NONOTE; ++n)
    if (period >= pt_periodtable[0][n]) return uint8_t(n);
  return PT_NONOTE;
}

// Rewrites a raw cell in place. A sample number above 31 lies outside the
// sample tables and is dropped (no sample).
void convert_cell(uint8_t *b) {
  uint32_t period = uint32_t(b[0] & 15) << 8 | b[1];
  uint8_t sample = uint8_t((b[0] & 0xF0) + (b[2] >> 4));
  b[1] = note_index(period);
  b[0] = sample < 32 ? sample : 0;
  b[2] &= 15;
}

void convert_patterns(uint8_t *image) {
  uint32_t pattern_bytes = uint32_t(pt_channels) * ROWS * 4;
  for (int p = 0; p <= pt_lastpattern; ++p) {
    uint8_t *cells = image + rb_ofs;
    pt_patterns[p] = reinterpret_cast<pt_cell *>(cells);
    for (uint32_t i = 0; i < pattern_bytes; i += 4) convert_cell(cells + i);
    rb_skip(pattern_bytes);
  }
}

void register_samples(uint8_t *image) {
  for (int k = 1; k < 32; ++k) {
    if (pt_slen[k] == 0) continue;
    const int8_t *data = reinterpret_cast<const int8_t *>(image + rb_ofs);
    int looping = pt_loope[k] > 2 ? 1 : 0;
    sd_getsample(k, data, pt_slen[k], pt_loops[k], pt_loops[k] + pt_loope[k], looping);
    rb_skip(uint32_t(pt_slen[k]));
  }
}

int fail(const char *message) {
  pt_channels = 0;
  pt_errorstr = message;
  return 0;
}

}  // namespace

int pt_takemod(uint8_t *image) {
  rb_src = image;
  rb_ofs = 20;
  read_sample_headers();
  // The order list holds 128 entries; a longer song would index past it.
  pt_songlen = rb_getbyte();
  if (pt_songlen > ORDER_ENTRIES) pt_songlen = ORDER_ENTRIES;
  pt_repstart = rb_getbyte();
  if (pt_repstart >= 127) pt_repstart = 0;
  for (int i = 0; i < ORDER_ENTRIES; ++i) pt_order[i] = rb_getbyte();
  for (int i = 0; i < 4; ++i) pt_modid[i] = char(rb_getbyte());
  pt_modid[4] = 0;

  pt_channels = pt_tagchannels(pt_modid);
  if (pt_channels == 0) return fail("pt_takemod error: unknown module type!");

  // There are 128 pattern slots; a larger pattern number cannot be played
  // and would make the stored pattern block suspect, so the module is
  // refused before anything is converted.
  const int highest = pt_highestpattern(pt_order);
  if (highest >= PT_MAXPATTERNS) return fail("pt_takemod error: pattern number out of range!");
  pt_lastpattern = uint8_t(highest);

  convert_patterns(image);
  register_samples(image);
  sd_setactivechannels(pt_channels);
  return 1;
}
