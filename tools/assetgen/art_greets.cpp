// Greetings `greets`: a tall texture of 256 columns by 1256 rows, white
// text on black, thanking the free software the demo stands on: a
// blackletter heading, then each name in bold with a short bold line.
//
// The church scrolls it by one row per 20 ms and jumps back from row 998
// to row 0, while the 256-row window it shows reaches 257 rows further
// down; so the greetings repeat every 999 rows and rows 999..1255 repeat
// rows 0..256, which makes the jump invisible.
#include "gen.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int W = 256, H = 1256, PERIOD = 999;

struct Greet {
  const char *name;
  const char *why;
};

// Short lines: the window shows the texture's 256 columns on about 115
// screen pixels, so a line of letters 7 pixels high holds some twelve.
const Greet greets_list[] = {
    {"SDL", "the window"},
    {"FreeType", "the letters"},
    {"Debian", "the ground"},
    {"GCC", "the compiler"},
    {"GNU", "the tools"},
    {"CMake", "the scaffold"},
    {"libpng & zlib", "the pictures"},
    {"Garamond", "the roman"},
    {"Blankenburg", "the gothic"},
    {"libxmp", "listening"},
    {"Linux & Git", "the machine"},
};
constexpr int COUNT = sizeof(greets_list) / sizeof(greets_list[0]);

// The scroll sways the texture up to 30 columns either way, so a line kept
// within the middle 256 - 60 columns is never cut by the window's sides.
constexpr int SAFE_W = W - 60;

// Draws `s` centred on baseline `base`, its strokes thickened by one texel
// on every side (a 3x3 maximum): the window samples about one texel in two
// each way, and a stroke under 4 texels would come and go as it scrolls.
void centred(const TextFont &f, uint8_t *img, int base, const char *s) {
  TextBox b = text_bounds(f, s);
  if (b.x1 - b.x0 + 2 > SAFE_W) {
    std::fprintf(stderr, "assetgen: greeting too wide: %s\n", s);
    std::abort();
  }
  std::vector<uint8_t> ink(size_t(W) * PERIOD, 0);
  text_draw(f, ink.data(), W, PERIOD, (W - (b.x1 - b.x0)) / 2 - b.x0, base, s, 255);
  for (int y = std::max(1, base + b.y0 - 1); y <= std::min(PERIOD - 2, base + b.y1); y++)
    for (int x = 1; x < W - 1; x++) {
      uint8_t v = 0;
      for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) v = std::max(v, ink[size_t(y + dy) * W + x + dx]);
      uint8_t &d = img[size_t(y) * W + x];
      d = std::max(d, v);
    }
}

}  // namespace

void job_greets() {
  uint8_t *g = asset("greets");
  TextFont head, name, why;
  text_open(head, FONT_BLACKLETTER, 38);
  text_open(name, FONT_SERIF_BOLD, 36);
  text_open(why, FONT_SERIF_BOLD, 33);
  // One slot for the heading, then one per greeting, spread evenly over
  // the period. Text stays clear of the period's ends so no glyph is cut
  // where the texture repeats.
  const int slots = COUNT + 1;
  centred(head, g, 52, "with thanks to");
  for (int i = 0; i < COUNT; i++) {
    int top = (i + 1) * PERIOD / slots;
    centred(name, g, top + 34, greets_list[i].name);
    centred(why, g, top + 66, greets_list[i].why);
  }
  text_close(head);
  text_close(name);
  text_close(why);
  for (int y = PERIOD; y < H; y++) std::memcpy(g + y * W, g + (y - PERIOD) * W, W);
  preview_grey("greets", W, H, g);
}
