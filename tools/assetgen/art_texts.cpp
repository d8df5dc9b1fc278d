// Text lines `lapinaa` and the portrait captions `tamsktxt`, `dorltxt`,
// `vesktxt`.
//
// Text lines: 26 strips of 320x24, white anti-aliased text on 0. The
// writer shows text column t of a line placed at x in frame column
// x + 32 + t and never shows columns 288..319, so each line is set within
// columns 0..min(287, 287 - x) for the x it is shown at, and centred on the
// screen where that room allows.
#include "gen.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int LINE_W = 320, LINE_H = 24, LINES = 26;

struct Line {
  const char *text;
  int x;      // frame offset of the block where the line is shown
  int style;  // 0 roman, 1 italic, 2 blackletter
};

// Lines 10 and 15 to 18 are never shown; they are set at x = -8 anyway.
const Line lines[LINES] = {
    {"in the year", 95, 1},                          // intro strip
    {"of the long rain", 70, 1},                     //
    {"the chapter presents", 50, 0},                 //
    {"stonework by the masons of the crypt", -8, 0},  // credits under the star
    {"bells and organ by the choir loft", -8, 0},    //
    {"glass and shadow by the glaziers", -8, 0},     //
    {"words by the scribe of the north aisle", -8, 0},
    {"the worms keep the old hours", 20, 1},  // worm strip
    {"beneath the flagstones", 40, 1},        //
    {"nothing is forgotten", 52, 1},          //
    {"silence in the nave", -8, 1},           // never shown
    {"stone remembers", -8, 1},               // verse over the gargoyle
    {"what the rain forgets;", -8, 1},        //
    {"the bells are cold", -8, 1},            //
    {"and the candles low", -8, 1},           //
    {"out of the dark", -8, 1},               // never shown
    {"into the choir", -8, 1},                //
    {"under the bells", -8, 1},               //
    {"ashes and chalk", -8, 1},               //
    {"memento mori", -8, 2},                  // over the skull
    {"all flesh is grass", -8, 1},            //
    {"as you are, so were we", -8, 1},        //
    {"as we are, so shall you be", -8, 1},    //
    {"and still the rain falls on Ulvenor", -12, 1},  // outro
    {"vespers", 92, 1},                               // top of the church animation
    {"Amen", 108, 2},                                 // the end
};

const char *const fonts[3] = {FONT_SERIF, FONT_SERIF_ITALIC, FONT_BLACKLETTER};
const int sizes[3] = {20, 20, 22};
const int baseline = 17;  // ink of every face at its size stays in rows 1..23

// Columns right of the screen's middle that line k is set at, and rows it
// is raised by (lowered when negative): the worm strip's lines sit where
// the worms cross them least while they show (measured with
// `ulvenor-artfigures --worms`, their ink at least 4 columns clear of the
// screen's right edge and inside the line); every other line is centred on
// the common baseline.
int worm_shift(int k) {
  switch (k) {
    case 7: return 47;
    case 8: return 70;
    case 9: return 86;
    default: return 0;
  }
}
int worm_rise(int k) { return k == 7 ? 2 : k == 9 ? -1 : 0; }

// Sets line k into its strip.
void set_line(TextFont *f, int k, uint8_t *strip) {
  const Line &l = lines[k];
  const TextFont &tf = f[l.style];
  TextBox b = text_bounds(tf, l.text);
  int last = std::min(287, 287 - l.x);  // last column the screen shows
  int w = b.x1 - b.x0;
  int centre = 128 - l.x + worm_shift(k);  // text column at the line's middle
  int left = std::clamp(centre - w / 2, 0, last + 1 - w);
  const int base = baseline - worm_rise(k);
  if (w > last + 1 || base + b.y0 < 0 || base + b.y1 > LINE_H) {
    std::fprintf(stderr, "assetgen: text line %d does not fit\n", k);
    std::abort();
  }
  text_draw(tf, strip, LINE_W, LINE_H, left - b.x0, base, l.text);
}

// Caption: a name in spaced capitals over a thin rule, and an italic title
// of one or two lines, 196x120, 0 transparent. Each piece is placed by the
// top left corner of its ink (the name's with its rule), where the portrait
// scene's worms cross it least while the caption flashes (measured with
// `ulvenor-artfigures --worms`, 4 pixels clear of the image's edges); the
// title may stand above the name.
struct Piece {
  const char *text;  // nullptr: no such piece
  int x, y;          // top left corner of its ink
};

// Draws `s` so that its ink's top left corner lands on (x, y); the ink box
// it covers, in caption pixels.
TextBox draw_at(const TextFont &f, uint8_t *c, const char *s, int x, int y, int track) {
  const TextBox b = text_bounds(f, s, track);
  const int W = 196, H = 120;
  if (x < 4 || y < 4 || x + b.x1 - b.x0 > W - 4 || y + b.y1 - b.y0 > H - 4) {
    std::fprintf(stderr, "assetgen: caption piece \"%s\" at (%d, %d) leaves the caption\n", s, x, y);
    std::abort();
  }
  text_draw(f, c, W, H, x - b.x0, y - b.y0, s, 255, track);
  return {x, y, x + b.x1 - b.x0, y + b.y1 - b.y0};
}

void caption(const char *sym, TextFont &big, TextFont &small, Piece name, Piece title1, Piece title2) {
  const int W = 196;
  uint8_t *c = asset(sym);
  const TextBox nb = draw_at(big, c, name.text, name.x, name.y, 5);
  draw_at(small, c, title1.text, title1.x, title1.y, 0);
  if (title2.text) draw_at(small, c, title2.text, title2.x, title2.y, 0);
  // The rule, 8 rows under the name, reaches 12 columns past its ends and
  // fades out towards them, with a small lozenge at its middle.
  const int rule = nb.y1 + 8, mid = (nb.x0 + nb.x1) / 2, half = (nb.x1 - nb.x0) / 2 + 12;
  for (int x = std::max(4, mid - half); x < std::min(W - 4, mid + half); x++) {
    double d = std::abs(x - mid) / double(half);
    int v = int(220 * (1 - d * d));
    c[rule * W + x] = uint8_t(std::max<int>(c[rule * W + x], v));
  }
  for (int dy = -3; dy <= 3; dy++)
    for (int dx = -3; dx <= 3; dx++)
      if (std::abs(dx) + std::abs(dy) <= 3) c[(rule + dy) * W + mid + dx] = 255;
}

void preview_lines() {
  // Each line as the screen shows it, at its x (text begins 32 columns
  // right of x), to check the placement.
  std::vector<uint8_t> img(size_t(LINE_W) * LINE_H * LINES, 0);
  const uint8_t *t = asset("lapinaa");
  for (int k = 0; k < LINES; k++)
    for (int r = 0; r < LINE_H; r++)
      for (int c = 0; c < 288; c++) {
        int fx = lines[k].x + 32 + c;
        if (fx >= 0 && fx < LINE_W) img[(k * LINE_H + r) * LINE_W + fx] = t[k * 7680 + r * LINE_W + c];
      }
  for (int k = 0; k < LINES; k++) img[(k * LINE_H) * LINE_W + 160] = 90;  // screen middle
  preview_grey("lapinaa", LINE_W, LINE_H * LINES, img.data());
}

}  // namespace

void job_texts() {
  TextFont f[3];
  for (int i = 0; i < 3; i++) text_open(f[i], fonts[i], sizes[i]);
  uint8_t *t = asset("lapinaa");
  for (int k = 0; k < LINES; k++) set_line(f, k, t + k * LINE_W * LINE_H);
  preview_lines();
  for (TextFont &x : f) text_close(x);

  TextFont big, small;
  text_open(big, FONT_SERIF, 32);
  text_open(small, FONT_SERIF_ITALIC, 19);
  caption("tamsktxt", big, small, {"TAMSK", 46, 80}, {"master of", 4, 13}, {"the masons", 4, 50});
  caption("dorltxt", big, small, {"DORL", 4, 80}, {"ringer of the bells", 4, 58}, {});
  caption("vesktxt", big, small, {"VESK", 4, 22}, {"keeper of the organ", 32, 93}, {});
  text_close(big);
  text_close(small);
  std::vector<uint8_t> sheet(size_t(196 * 3 + 8) * 120, 0);
  const char *caps[3] = {"tamsktxt", "dorltxt", "vesktxt"};
  for (int i = 0; i < 3; i++)
    for (int y = 0; y < 120; y++) std::memcpy(&sheet[y * (196 * 3 + 8) + i * 200], asset(caps[i]) + y * 196, 196);
  preview_grey("captions", 196 * 3 + 8, 120, sheet.data());
}
